// BYTE codecs, versions 1 and 2: codes built by hand (one model or context
// per byte), round trips of extra bytes of several sizes, constant, slowly
// varying and random, truncated and garbage codes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "compression/integercoder.h"
#include "compression/itemcompressed_byte_v1.h"
#include "compression/itemcompressed_byte_v2.h"
#include "compression/itemcodec_roundtrip.h"

namespace {

using itemcodec::Codec;
using itemcodec::Records;

Codec v1(uint32_t size) {
  return {"BYTE v1", size, [size](ArithEncoder* e) { return new LASwriteItemCompressed_BYTE_v1(e, size); },
          [size](ArithDecoder* d) { return new LASreadItemCompressed_BYTE_v1(d, size); }};
}
Codec v2(uint32_t size) {
  return {"BYTE v2", size, [size](ArithEncoder* e) { return new LASwriteItemCompressed_BYTE_v2(e, size); },
          [size](ArithDecoder* d) { return new LASreadItemCompressed_BYTE_v2(d, size); }};
}

std::vector<uint8_t> code_of(const std::function<void(ArithEncoder&)>& steps) {
  ArithEncoder enc;
  ByteStreamOutArrayLE out;
  EXPECT_TRUE(enc.init(&out));
  steps(enc);
  EXPECT_TRUE(enc.done());
  return std::vector<uint8_t>(out.get_data(), out.get_data() + out.get_size());
}

Records records_of(size_t size, const std::vector<std::vector<uint8_t>>& rows) {
  Records r(size);
  for (const auto& row : rows) memcpy(r.add(), row.data(), size);
  return r;
}

TEST(ByteV2, CodeIsPerByteDifferences) {
  const Records r = records_of(3, {{1, 2, 3}, {1, 200, 0}, {0, 200, 255}});
  const std::vector<uint8_t> expected = code_of([&](ArithEncoder& enc) {
    std::unique_ptr<SymbolModel> m[3];
    for (auto& model : m) {
      model.reset(enc.create_symbol_model(256));
      enc.init_symbol_model(*model);
    }
    // (new - last) mod 256, byte by byte.
    const uint32_t symbols[2][3] = {{0, 198, 253}, {255, 0, 255}};
    for (const auto& point : symbols) {
      for (int i = 0; i < 3; i++) enc.encode_symbol(*m[i], point[i]);
    }
  });
  EXPECT_EQ(itemcodec::encode_all(v2(3), r), expected);
}

TEST(ByteV1, CodeIsOneContextPerByte) {
  const Records r = records_of(3, {{1, 2, 3}, {1, 200, 0}, {0, 200, 255}});
  const std::vector<uint8_t> expected = code_of([&](ArithEncoder& enc) {
    IntegerCoder ic(&enc, 8, 3, 8, 0);
    ic.init_encoding();
    ic.compress(1, 1, 0);
    ic.compress(2, 200, 1);
    ic.compress(3, 0, 2);
    ic.compress(1, 0, 0);
    ic.compress(200, 200, 1);
    ic.compress(0, 255, 2);
  });
  EXPECT_EQ(itemcodec::encode_all(v1(3), r), expected);
}

// Extra bytes as attributes hold them: a constant flag, a slowly rising
// 16-bit counter, a small signed value around 0 and a noisy byte.
Records attributes(size_t size, int points, uint32_t seed) {
  std::mt19937 rng(seed);
  Records r(size);
  for (int i = 0; i < points; i++) {
    uint8_t* p = r.add();
    for (size_t j = 0; j < size; j++) {
      switch (j % 5) {
        case 0: p[j] = 7; break;
        case 1: p[j] = static_cast<uint8_t>(i / 3); break;
        case 2: p[j] = static_cast<uint8_t>(i / 768); break;
        case 3: p[j] = static_cast<uint8_t>(static_cast<int>(rng() % 5) - 2); break;
        default: p[j] = static_cast<uint8_t>(rng()); break;
      }
    }
  }
  return r;
}

Records random_bytes(size_t size, int points, uint32_t seed) {
  std::mt19937 rng(seed);
  Records r(size);
  for (int i = 0; i < points; i++) {
    uint8_t* p = r.add();
    for (size_t j = 0; j < size; j++) p[j] = static_cast<uint8_t>(rng());
  }
  return r;
}

TEST(ByteCodecs, RoundTrips) {
  for (uint32_t size : {1u, 2u, 5u, 32u}) {
    for (const Codec& codec : {v1(size), v2(size)}) {
      SCOPED_TRACE(testing::Message() << codec.name << " of " << size << " bytes");
      itemcodec::expect_round_trip(codec, attributes(size, 8000, size), 3000);
      itemcodec::expect_round_trip(codec, random_bytes(size, 3000, size + 1), 1000);
      itemcodec::expect_round_trip(codec, attributes(size, 5, size + 2), 1);
    }
  }
}

TEST(ByteCodecs, TruncatedAndGarbageCodes) {
  const Records r = attributes(5, 2000, 3);
  for (const Codec& codec : {v1(5), v2(5)}) {
    SCOPED_TRACE(codec.name);
    itemcodec::expect_truncations_end_with_end_of_data(codec, r);
    itemcodec::expect_garbage_decodes_safely(codec, r, 5);
  }
}

}  // namespace
