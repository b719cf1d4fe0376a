// The layered codecs of the items that follow POINT14 (RGB14, RGBNIR14,
// WAVEPACKET14, BYTE14, versions 3 and 4): layers dropped when nothing
// changed, selective decoding, and the context switch rules that make
// version 3 and version 4 code differently.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "compression/arithmodel.h"
#include "compression/integercoder.h"
#include "compression/layered_chunk.h"

namespace {

using layered::ChunkReader;
using layered::ChunkWriter;
using layered::kAllLayers;
using layered::Layout;
using layered::Records;

// A record of `layout` with X = i, the scanner channel and the bytes after
// POINT14 given.
void put(Records& r, int32_t x, uint8_t channel, const std::vector<uint8_t>& rest) {
  uint8_t* b = r.add();
  memset(b, 0, 30);
  memcpy(b + layered::kX, &x, 4);
  b[layered::kReturns] = 0x11;
  b[layered::kFlags] = static_cast<uint8_t>(channel << 4);
  memcpy(b + 30, rest.data(), rest.size());
}

std::vector<uint8_t> rgb_bytes(uint16_t r, uint16_t g, uint16_t b) {
  std::vector<uint8_t> v(6);
  memcpy(v.data(), &r, 2);
  memcpy(v.data() + 2, &g, 2);
  memcpy(v.data() + 4, &b, 2);
  return v;
}

// The colour layer is dropped exactly when every colour equals the last and
// is grey: a constant colour that is not grey still codes its grey bit.
TEST(Rgb14, ConstantColourLayer) {
  struct Case {
    const char* name;
    std::vector<uint8_t> colour;
    bool kept;
  };
  const Case cases[] = {{"grey", rgb_bytes(300, 300, 300), false},
                        {"black", rgb_bytes(0, 0, 0), false},
                        {"not grey", rgb_bytes(300, 301, 300), true}};
  for (int version : {3, 4}) {
    const Layout layout{7, 0, version};
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      Records r(layout.record_length());
      for (int i = 0; i < 50; i++) put(r, i, static_cast<uint8_t>(i % 3), c.colour);
      ChunkWriter writer(layout);
      const std::vector<uint8_t> chunk = writer.write(r);
      EXPECT_EQ(layered::layers_of(layout, chunk)[1][0].size > 0, c.kept);
      ChunkReader reader(layout, kAllLayers);
      Records decoded(r.record_length);
      ASSERT_TRUE(reader.read(chunk, r.at(0), r.count(), decoded));
      layered::expect_same_records(r, decoded);
    }
  }
}

// Colour and near infrared are separate layers: either is dropped when it
// never changes, and either can be left undecoded, keeping the first
// point's value.
TEST(RgbNir14, LayersAndSelectiveDecoding) {
  const Layout layout{8, 0, 3};
  Records r(layout.record_length());
  std::mt19937 rng(4);
  for (int i = 0; i < 300; i++) {
    std::vector<uint8_t> rest = rgb_bytes(static_cast<uint16_t>(rng()), static_cast<uint16_t>(rng()),
                                          static_cast<uint16_t>(rng()));
    const uint16_t nir = static_cast<uint16_t>(i < 150 ? 1000 : 1000 + i);
    rest.push_back(static_cast<uint8_t>(nir));
    rest.push_back(static_cast<uint8_t>(nir >> 8));
    put(r, i, static_cast<uint8_t>(i / 7 % 4), rest);
  }
  ChunkWriter writer(layout);
  const std::vector<uint8_t> chunk = writer.write(r);
  const layered::ChunkLayers layers = layered::layers_of(layout, chunk);
  EXPECT_GT(layers[1][0].size, 0u);
  EXPECT_GT(layers[1][1].size, 0u);
  struct Case {
    const char* name;
    uint32_t selective;
    bool rgb, nir;
  };
  const Case cases[] = {{"all", kAllLayers, true, true},
                        {"colour", 0x100, true, false},
                        {"near infrared", 0x200, false, true},
                        {"neither", 0x1, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChunkReader reader(layout, c.selective);
    Records decoded(r.record_length);
    ASSERT_TRUE(reader.read(chunk, r.at(0), r.count(), decoded));
    for (size_t i = 0; i < r.count(); i++) {
      EXPECT_EQ(0, memcmp(decoded.at(i) + 30, (c.rgb ? r.at(i) : r.at(0)) + 30, 6)) << "colour of point " << i;
      EXPECT_EQ(0, memcmp(decoded.at(i) + 36, (c.nir ? r.at(i) : r.at(0)) + 36, 2)) << "NIR of point " << i;
    }
  }

  // The near infrared of the first half only: constant, so dropped.
  Records half(layout.record_length());
  half.bytes.assign(r.bytes.begin(), r.bytes.begin() + 150 * static_cast<long>(r.record_length));
  ChunkWriter half_writer(layout);
  const std::vector<uint8_t> half_chunk = half_writer.write(half);
  EXPECT_GT(layered::layers_of(layout, half_chunk)[1][0].size, 0u);
  EXPECT_EQ(layered::layers_of(layout, half_chunk)[1][1].size, 0u);
  ChunkReader reader(layout, kAllLayers);
  Records decoded(r.record_length);
  ASSERT_TRUE(reader.read(half_chunk, half.at(0), half.count(), decoded));
  layered::expect_same_records(half, decoded);
}

std::vector<uint8_t> packet(uint8_t index, uint64_t offset, uint32_t size, float location, float xt) {
  std::vector<uint8_t> v(29);
  v[0] = index;
  memcpy(v.data() + 1, &offset, 8);
  memcpy(v.data() + 9, &size, 4);
  memcpy(v.data() + 13, &location, 4);
  memcpy(v.data() + 17, &xt, 4);
  memcpy(v.data() + 21, &xt, 4);
  memcpy(v.data() + 25, &xt, 4);
  return v;
}

// Packets back to back, at 32-bit and at 64-bit distances, repeated, with
// changing descriptor index, across interleaving channels; a chunk whose
// packets never change drops the layer.
TEST(Wavepacket14, RoundTripsAndConstantPackets) {
  for (int version : {3, 4}) {
    SCOPED_TRACE(version);
    const Layout layout{9, 2, version};
    Records r(layout.record_length());
    uint64_t offset = 1000;
    std::mt19937 rng(8);
    for (int i = 0; i < 400; i++) {
      const uint32_t size = 256 + (i % 3) * 16;
      std::vector<uint8_t> rest = packet(static_cast<uint8_t>(1 + i % 2), offset, size, 0.5f * i, 1e-3f * i);
      rest.push_back(static_cast<uint8_t>(i));
      rest.push_back(7);
      put(r, i, static_cast<uint8_t>(rng() % 4), rest);
      switch (i % 5) {
        case 0:
          offset += size;  // back to back
          break;
        case 1:
          offset += 12345;
          break;
        case 2:
          offset += 1ull << 40;
          break;
        case 3:
          offset -= 99;
          break;
        default:
          break;  // the same offset
      }
    }
    layered::expect_round_trip(layout, r, 150);

    Records constant(layout.record_length());
    for (int i = 0; i < 30; i++) put(constant, i, static_cast<uint8_t>(i % 2), std::vector<uint8_t>(r.at(0) + 30, r.at(0) + 61));
    ChunkWriter writer(layout);
    const std::vector<uint8_t> chunk = writer.write(constant);
    EXPECT_EQ(layered::layers_of(layout, chunk)[1][0].size, 0u);
    ChunkReader reader(layout, kAllLayers);
    Records decoded(constant.record_length);
    ASSERT_TRUE(reader.read(chunk, constant.at(0), constant.count(), decoded));
    layered::expect_same_records(constant, decoded);
  }
}

// Twenty extra bytes, of which byte i changes only when i is odd: even bytes
// store no layer. With nothing selected, bytes 0 to 15 keep the first
// point's values and bytes 16 to 19 (which have no selective bit) are
// decoded; selecting one byte decodes exactly that one in addition.
TEST(Byte14, LayersPerByteAndSelectiveDecoding) {
  const Layout layout{6, 20, 3};
  Records r(layout.record_length());
  for (int i = 0; i < 200; i++) {
    std::vector<uint8_t> rest(20);
    for (int b = 0; b < 20; b++) rest[b] = static_cast<uint8_t>(b % 2 ? i * b : b);
    put(r, i, static_cast<uint8_t>(i % 4), rest);
  }
  ChunkWriter writer(layout);
  const std::vector<uint8_t> chunk = writer.write(r);
  const layered::ChunkLayers layers = layered::layers_of(layout, chunk);
  for (int b = 0; b < 20; b++) EXPECT_EQ(layers[1][b].size > 0, b % 2 == 1) << "byte " << b;

  struct Case {
    const char* name;
    uint32_t selective;
  };
  const Case cases[] = {{"nothing", 0}, {"byte 3", 0x10000u << 3}, {"byte 15", 0x10000u << 15},
                        {"all", kAllLayers}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChunkReader reader(layout, c.selective);
    Records decoded(r.record_length);
    ASSERT_TRUE(reader.read(chunk, r.at(0), r.count(), decoded));
    for (size_t i = 0; i < r.count(); i++) {
      for (int b = 0; b < 20; b++) {
        const bool decoded_byte = b >= 16 || (c.selective & (0x10000u << b));
        EXPECT_EQ(decoded.at(i)[30 + b], (decoded_byte ? r.at(i) : r.at(0))[30 + b])
            << "byte " << b << " of point " << i;
      }
    }
  }
}

// Points of channels 1, 1, 2, 1 with one extra byte a, b, c, d. POINT14
// version 3 hands over the contexts 1, 0, 2, 1, so BYTE14 version 3 codes
// b - a in context 0, c - b in context 2 and, switching back to context 1
// which is in use, d - c: the last value of context 2. Version 4 receives
// 1, 1, 2, 1 and codes b - a in context 1, c - b in context 2 and d - b in
// context 1 again, from context 1's own last value. The symbols are decoded
// with one model per context, as the codec keeps them.
TEST(Byte14, ContextSwitchPredictsFromTheLastValueByVersion) {
  const uint8_t a = 10, b = 30, c = 70, d = 15;
  const uint8_t channels[] = {1, 1, 2, 1};
  const uint8_t values[] = {a, b, c, d};
  struct Coded {
    uint8_t symbol;
    int context;
  };
  struct Case {
    int version;
    Coded coded[3];
  };
  const Case cases[] = {
      {3, {{static_cast<uint8_t>(b - a), 0}, {static_cast<uint8_t>(c - b), 2}, {static_cast<uint8_t>(d - c), 1}}},
      {4, {{static_cast<uint8_t>(b - a), 1}, {static_cast<uint8_t>(c - b), 2}, {static_cast<uint8_t>(d - b), 1}}}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.version);
    const Layout layout{6, 1, k.version};
    Records r(layout.record_length());
    for (int i = 0; i < 4; i++) put(r, i, channels[i], {values[i]});
    ChunkWriter writer(layout);
    const std::vector<uint8_t> chunk = writer.write(r);
    const layered::LayerSpan span = layered::layers_of(layout, chunk)[1][0];
    ByteStreamInArrayLE in(chunk.data() + span.offset, span.size);
    ArithDecoder dec;
    ASSERT_TRUE(dec.init(&in));
    std::vector<std::unique_ptr<SymbolModel>> models;
    for (int i = 0; i < 4; i++) {
      models.emplace_back(new SymbolModel(256, false));
      ASSERT_EQ(models.back()->init(), 0);
    }
    for (const Coded& coded : k.coded) EXPECT_EQ(dec.decode_symbol(*models[coded.context]), coded.symbol);
    ChunkReader reader(layout, kAllLayers);
    Records decoded(r.record_length);
    ASSERT_TRUE(reader.read(chunk, r.at(0), r.count(), decoded));
    layered::expect_same_records(r, decoded);
  }
}

// The same rule for colours: version 3 predicts the fourth point from the
// colour of channel 2, version 4 from channel 1's own; both read back.
TEST(Rgb14, ContextSwitchRoundTripsAndCodesDifferentlyByVersion) {
  std::vector<std::vector<uint8_t>> chunks;
  for (int version : {3, 4}) {
    const Layout layout{7, 0, version};
    Records r(layout.record_length());
    put(r, 0, 1, rgb_bytes(100, 200, 300));
    put(r, 1, 1, rgb_bytes(100, 200, 300));
    put(r, 2, 2, rgb_bytes(5000, 6000, 7000));
    put(r, 3, 1, rgb_bytes(100, 200, 300));
    ChunkWriter writer(layout);
    chunks.push_back(writer.write(r));
    ChunkReader reader(layout, kAllLayers);
    Records decoded(r.record_length);
    ASSERT_TRUE(reader.read(chunks.back(), r.at(0), r.count(), decoded));
    layered::expect_same_records(r, decoded);
  }
  EXPECT_NE(chunks[0], chunks[1]);
}

}  // namespace
