// Test harness for item codecs: codes a sequence of item records the way a
// chunk does (the first record raw through init, the others through write,
// then the encoder's done), decodes it with the mirror reader and compares
// every record byte for byte.
#ifndef TIECHECK_TESTS_COMPRESSION_ITEMCODEC_ROUNDTRIP_H
#define TIECHECK_TESTS_COMPRESSION_ITEMCODEC_ROUNDTRIP_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/lasreaditem.h"
#include "compression/laswriteitem.h"
#include "las/bytestreamin_array.h"
#include "las/bytestreamout_array.h"

namespace itemcodec {

struct Codec {
  const char* name;
  size_t item_size;
  std::function<LASwriteItemCompressed*(ArithEncoder*)> make_writer;
  std::function<LASreadItemCompressed*(ArithDecoder*)> make_reader;
};

// Item records laid out back to back.
struct Records {
  size_t item_size = 0;
  std::vector<uint8_t> bytes;

  explicit Records(size_t item_size) : item_size(item_size) {}
  size_t count() const { return item_size ? bytes.size() / item_size : 0; }
  const uint8_t* at(size_t i) const { return bytes.data() + i * item_size; }
  uint8_t* add() {
    bytes.resize(bytes.size() + item_size);
    return bytes.data() + bytes.size() - item_size;
  }
};

// The code of records [begin, end) as one chunk, with the given writer
// (which may have coded earlier chunks).
inline std::vector<uint8_t> encode_chunk(LASwriteItemCompressed& writer, ArithEncoder& enc, const Records& r,
                                         size_t begin, size_t end) {
  ByteStreamOutArrayLE out(static_cast<int64_t>((end - begin) * r.item_size + 4096));
  uint32_t context = 0;
  EXPECT_TRUE(writer.init(r.at(begin), context));
  EXPECT_TRUE(enc.init(&out));
  for (size_t i = begin + 1; i < end; i++) EXPECT_TRUE(writer.write(r.at(i), context));
  EXPECT_TRUE(enc.done());
  return std::vector<uint8_t>(out.get_data(), out.get_data() + out.get_size());
}

// The code of all records as one chunk, from a fresh writer.
inline std::vector<uint8_t> encode_all(const Codec& codec, const Records& r) {
  ArithEncoder enc;
  std::unique_ptr<LASwriteItemCompressed> writer(codec.make_writer(&enc));
  return encode_chunk(*writer, enc, r, 0, r.count());
}

// Decodes a chunk code into records [begin, end) of `decoded`; the first
// record is given raw. Returns the number of code bytes read. Throws what
// the decoder throws.
inline int64_t decode_chunk(LASreadItemCompressed& reader, ArithDecoder& dec, const std::vector<uint8_t>& code,
                            const uint8_t* first, Records& decoded, size_t points) {
  ByteStreamInArrayLE in(code.data(), static_cast<int64_t>(code.size()));
  uint32_t context = 0;
  memcpy(decoded.add(), first, decoded.item_size);
  EXPECT_TRUE(reader.init(first, context));
  EXPECT_TRUE(dec.init(&in));
  for (size_t i = 1; i < points; i++) reader.read(decoded.add(), context);
  dec.done();
  return in.tell();
}

inline void expect_same_records(const Records& expected, const Records& got) {
  ASSERT_EQ(expected.count(), got.count());
  for (size_t i = 0; i < expected.count(); i++) {
    if (memcmp(expected.at(i), got.at(i), expected.item_size) != 0) {
      size_t b = 0;
      while (expected.at(i)[b] == got.at(i)[b]) b++;
      FAIL() << "record " << i << " differs first at byte " << b << ": " << int(got.at(i)[b]) << " instead of "
             << int(expected.at(i)[b]);
    }
  }
}

// Codes the records in chunks of chunk_points with one writer, checks that
// every chunk's code equals that of a fresh writer (so init restarts every
// model, including those created in earlier chunks), then decodes them with
// one reader and compares. Also checks that the decoder reads exactly the
// code's bytes.
inline void expect_round_trip(const Codec& codec, const Records& r, size_t chunk_points) {
  ASSERT_GT(r.count(), 0u);
  ArithEncoder enc;
  std::unique_ptr<LASwriteItemCompressed> writer(codec.make_writer(&enc));
  std::vector<std::vector<uint8_t>> codes;
  for (size_t begin = 0; begin < r.count(); begin += chunk_points) {
    const size_t end = std::min(r.count(), begin + chunk_points);
    codes.push_back(encode_chunk(*writer, enc, r, begin, end));
    if (begin > 0) {
      ArithEncoder fresh_enc;
      std::unique_ptr<LASwriteItemCompressed> fresh(codec.make_writer(&fresh_enc));
      EXPECT_EQ(codes.back(), encode_chunk(*fresh, fresh_enc, r, begin, end)) << "chunk at " << begin;
    }
  }
  ArithDecoder dec;
  std::unique_ptr<LASreadItemCompressed> reader(codec.make_reader(&dec));
  Records decoded(r.item_size);
  size_t chunk = 0;
  for (size_t begin = 0; begin < r.count(); begin += chunk_points, chunk++) {
    const size_t end = std::min(r.count(), begin + chunk_points);
    EXPECT_EQ(decode_chunk(*reader, dec, codes[chunk], r.at(begin), decoded, end - begin),
              static_cast<int64_t>(codes[chunk].size()))
        << "chunk at " << begin;
  }
  expect_same_records(r, decoded);
}

// Decodes every truncation of a chunk code: each must stop with the byte
// stream's end-of-data exception, never read past the kept bytes.
inline void expect_truncations_end_with_end_of_data(const Codec& codec, const Records& r) {
  const std::vector<uint8_t> code = encode_all(codec, r);
  for (size_t cut = 0; cut < code.size(); cut += (cut < 32 || code.size() - cut < 32) ? 1 : 61) {
    SCOPED_TRACE(cut);
    const std::vector<uint8_t> kept(code.begin(), code.begin() + static_cast<long>(cut));
    ArithDecoder dec;
    std::unique_ptr<LASreadItemCompressed> reader(codec.make_reader(&dec));
    Records decoded(r.item_size);
    try {
      decode_chunk(*reader, dec, kept, r.at(0), decoded, r.count());
      ADD_FAILURE() << "decoded a truncated code";
    } catch (int e) {
      EXPECT_EQ(e, byte_stream_end_of_data);
    }
  }
}

// Decodes random bytes as a chunk code: wrong records or one of the decoder
// exceptions, never a crash, over-read or endless loop.
inline void expect_garbage_decodes_safely(const Codec& codec, const Records& r, uint32_t seed) {
  uint32_t state = seed;
  for (int trial = 0; trial < 50; trial++) {
    std::vector<uint8_t> garbage(16 + (trial * 37) % 400);
    for (uint8_t& b : garbage) {
      state = state * 1103515245u + 12345u;
      b = static_cast<uint8_t>(trial % 5 == 0 ? 0xFF : state >> 16);
    }
    ArithDecoder dec;
    std::unique_ptr<LASreadItemCompressed> reader(codec.make_reader(&dec));
    Records decoded(r.item_size);
    try {
      decode_chunk(*reader, dec, garbage, r.at(0), decoded, 100000);
    } catch (int e) {
      EXPECT_TRUE(e == byte_stream_end_of_data || e == arith_corrupt_data) << e;
    }
  }
}

}  // namespace itemcodec

#endif
