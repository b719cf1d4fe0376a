// RGB12 codecs, versions 1 and 2: codes built by hand for grey and coloured
// points, the clamped and halved predictions of green and blue, round trips
// of grey, 8-bit and 16-bit imagery and random colours, truncated and
// garbage codes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "compression/integercoder.h"
#include "compression/itemcompressed_rgb12_v1.h"
#include "compression/itemcompressed_rgb12_v2.h"
#include "compression/itemcodec_roundtrip.h"

namespace {

using itemcodec::Codec;
using itemcodec::Records;

const Codec kV1{"RGB12 v1", 6, [](ArithEncoder* e) { return new LASwriteItemCompressed_RGB12_v1(e); },
                [](ArithDecoder* d) { return new LASreadItemCompressed_RGB12_v1(d); }};
const Codec kV2{"RGB12 v2", 6, [](ArithEncoder* e) { return new LASwriteItemCompressed_RGB12_v2(e); },
                [](ArithDecoder* d) { return new LASreadItemCompressed_RGB12_v2(d); }};

struct Rgb {
  uint16_t r, g, b;
};

void put(Records& records, const Rgb& c) {
  uint8_t* p = records.add();
  memcpy(p, &c.r, 2);
  memcpy(p + 2, &c.g, 2);
  memcpy(p + 4, &c.b, 2);
}

std::vector<uint8_t> code_of(const std::function<void(ArithEncoder&)>& steps) {
  ArithEncoder enc;
  ByteStreamOutArrayLE out;
  EXPECT_TRUE(enc.init(&out));
  steps(enc);
  EXPECT_TRUE(enc.done());
  return std::vector<uint8_t>(out.get_data(), out.get_data() + out.get_size());
}

// Version 2, one colour after another: the changed-bytes symbol, then the
// corrections in the order red lo, red hi, green lo, blue lo, green hi, blue
// hi, each against its prediction.
TEST(Rgb12V2, CodesOfSingleSteps) {
  struct Case {
    const char* name;
    Rgb last, next;
    uint32_t symbol;
    std::vector<std::pair<int, uint8_t>> corrections;  // (model, symbol)
  };
  const Case cases[] = {
      // All three equal: only red is coded, the reader copies it.
      {"grey", {100, 100, 100}, {110, 110, 110}, 1 | 4 | 16, {{0, 10}}},
      {"grey, high byte", {0x1000, 0x1000, 0x1000}, {0x20FF, 0x20FF, 0x20FF}, 63, {{0, 0xFF}, {1, 0x10}}},
      // Green lo predicted as 0x40 + 5, blue lo as 0x60 + (5 + 8) / 2; the
      // high bytes as 0x30 + 1 and 0x50 + (1 + 1) / 2.
      {"coloured",
       {0x1020, 0x3040, 0x5060},
       {0x1125, 0x3148, 0x5262},
       127,
       {{0, 5}, {1, 1}, {2, 3}, {4, static_cast<uint8_t>(-4)}, {3, 0}, {5, 1}}},
      // Predictions clamp to 0..255: green lo 0xFE + 15 -> 255.
      {"clamped", {0x00F0, 0x00FE, 0x0005}, {0x00FF, 0x00FF, 0x0000}, 1 | 4 | 16 | 64,
       {{0, 15}, {2, 0}, {4, static_cast<uint8_t>(0 - 13)}}},
      // The halved difference truncates toward zero: (-7 + 0) / 2 = -3.
      {"halved toward zero", {0x0050, 0x0050, 0x0050}, {0x0049, 0x0050, 0x0040}, 1 | 16 | 64,
       {{0, static_cast<uint8_t>(-7)}, {4, static_cast<uint8_t>(0x40 - 0x4D)}}},
      // Grey compares whole values: red = green but not blue.
      {"not grey in the high byte only", {0, 0, 0}, {0x0100, 0x0100, 0x0000}, 2 | 8 | 64, {{1, 1}, {3, 0}}},
      {"unchanged", {7, 8, 9}, {7, 8, 9}, 64, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Records r(6);
    put(r, c.last);
    put(r, c.next);
    const std::vector<uint8_t> expected = code_of([&](ArithEncoder& enc) {
      std::unique_ptr<SymbolModel> used(enc.create_symbol_model(128));
      enc.init_symbol_model(*used);
      std::unique_ptr<SymbolModel> diff[6];
      for (auto& m : diff) {
        m.reset(enc.create_symbol_model(256));
        enc.init_symbol_model(*m);
      }
      enc.encode_symbol(*used, c.symbol);
      for (const auto& [model, symbol] : c.corrections) enc.encode_symbol(*diff[model], symbol);
    });
    EXPECT_EQ(itemcodec::encode_all(kV2, r), expected);
    itemcodec::expect_round_trip(kV2, r, 2);
  }
}

TEST(Rgb12V1, CodeOfOneStep) {
  // Changed bytes in the order red lo, red hi, green lo, green hi, blue lo,
  // blue hi: bits and contexts 0 to 5, each against the last byte.
  Records r(6);
  put(r, {0x1020, 0x3040, 0x5060});
  put(r, {0x1025, 0x3140, 0x5061});
  put(r, {0x1025, 0x3140, 0x9961});
  const std::vector<uint8_t> expected = code_of([&](ArithEncoder& enc) {
    std::unique_ptr<SymbolModel> used(enc.create_symbol_model(64));
    enc.init_symbol_model(*used);
    IntegerCoder ic(&enc, 8, 6, 8, 0);
    ic.init_encoding();
    enc.encode_symbol(*used, 1 | 8 | 16);
    ic.compress(0x20, 0x25, 0);
    ic.compress(0x30, 0x31, 3);
    ic.compress(0x60, 0x61, 4);
    enc.encode_symbol(*used, 32);
    ic.compress(0x50, 0x99, 5);
  });
  EXPECT_EQ(itemcodec::encode_all(kV1, r), expected);
  itemcodec::expect_round_trip(kV1, r, r.count());
}

// Smooth imagery with noise, as colour is draped over points: 8-bit values
// scaled to 16 bits (low bytes zero), full 16-bit values, or grey.
Records imagery(int points, int kind, uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, 4.0);
  Records r(6);
  for (int i = 0; i < points; i++) {
    const double s = i * 0.01;
    auto channel = [&](double phase) {
      const double v = 128 + 100 * std::sin(s + phase) + noise(rng);
      return v < 0 ? 0.0 : (v > 255 ? 255.0 : v);
    };
    Rgb c;
    if (kind == 0) {  // grey
      const uint16_t v = static_cast<uint16_t>(channel(0) * 256);
      c = {v, v, v};
    } else if (kind == 1) {  // 8-bit colour scaled
      c = {static_cast<uint16_t>(static_cast<int>(channel(0)) * 256),
           static_cast<uint16_t>(static_cast<int>(channel(1)) * 256),
           static_cast<uint16_t>(static_cast<int>(channel(2)) * 256)};
    } else {  // 16-bit colour
      c = {static_cast<uint16_t>(channel(0) * 257), static_cast<uint16_t>(channel(1) * 257),
           static_cast<uint16_t>(channel(2) * 257)};
    }
    put(r, c);
  }
  return r;
}

Records random_colours(int points, uint32_t seed) {
  std::mt19937 rng(seed);
  Records r(6);
  for (int i = 0; i < points; i++) {
    uint8_t* p = r.add();
    for (int j = 0; j < 6; j++) p[j] = static_cast<uint8_t>(rng());
  }
  return r;
}

// Byte values at the clamping edges, grey and not, in every combination.
Records edge_colours() {
  const uint16_t v[] = {0, 1, 0xFF, 0x100, 0x7FFF, 0x8000, 0xFF00, 0xFFFE, 0xFFFF};
  Records r(6);
  for (uint16_t a : v) {
    for (uint16_t b : v) {
      for (uint16_t c : v) put(r, {a, b, c});
      put(r, {a, a, a});
    }
  }
  return r;
}

TEST(Rgb12Codecs, RoundTrips) {
  struct Data {
    const char* name;
    Records records;
    size_t chunk_points;
  };
  const Data data[] = {
      {"grey", imagery(20000, 0, 1), 8000},      {"8-bit colour", imagery(20000, 1, 2), 8000},
      {"16-bit colour", imagery(20000, 2, 3), 8000}, {"random", random_colours(20000, 4), 8000},
      {"edges", edge_colours(), 100},            {"single-point chunks", imagery(10, 2, 5), 1},
  };
  for (const Codec* codec : {&kV1, &kV2}) {
    for (const Data& d : data) {
      SCOPED_TRACE(testing::Message() << codec->name << ", " << d.name);
      itemcodec::expect_round_trip(*codec, d.records, d.chunk_points);
    }
  }
}

TEST(Rgb12Codecs, TruncatedAndGarbageCodes) {
  const Records r = imagery(3000, 2, 6);
  for (const Codec* codec : {&kV1, &kV2}) {
    SCOPED_TRACE(codec->name);
    itemcodec::expect_truncations_end_with_end_of_data(*codec, r);
    itemcodec::expect_garbage_decodes_safely(*codec, r, 17);
  }
}

}  // namespace
