// Test harness for the layered codecs of LAS 1.4 points: codes point records
// of one point data format as one layered chunk the way the chunk writer
// does (the first point starts every codec, the others are written, then
// every item's layer sizes and then every item's layer bytes) and decodes
// such a chunk with the mirror readers (sizes, init with the raw first
// point, reads), passing the context from item to item within a point.
#ifndef TIECHECK_TESTS_COMPRESSION_LAYERED_CHUNK_H
#define TIECHECK_TESTS_COMPRESSION_LAYERED_CHUNK_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/layered_codecs.h"
#include "las/bytestreamin_array.h"
#include "las/bytestreamout_array.h"
#include "las/lasitem.h"
#include "las/laspoint.h"

namespace layered {

constexpr uint32_t kAllLayers = 0xFFFFFFFF;

// Point records of one format in the on-disk layout, back to back.
struct Records {
  size_t record_length;
  std::vector<uint8_t> bytes;

  explicit Records(size_t record_length) : record_length(record_length) {}
  size_t count() const { return bytes.size() / record_length; }
  const uint8_t* at(size_t i) const { return bytes.data() + i * record_length; }
  uint8_t* at(size_t i) { return bytes.data() + i * record_length; }
  uint8_t* add() {
    bytes.resize(bytes.size() + record_length);
    return bytes.data() + bytes.size() - record_length;
  }
};

// Offsets of the fields inside the 30-byte POINT14 record (the first item).
enum Point14Offset { kX = 0, kY = 4, kZ = 8, kIntensity = 12, kReturns = 14, kFlags = 15, kClass = 16,
                     kUserData = 17, kScanAngle = 18, kPointSource = 20, kGpsTime = 22 };

// One point layout: a format 6 to 10 with `extra` extra bytes, and the codec
// version of every item (3 or 4).
struct Layout {
  uint8_t format;
  uint16_t extra;
  int version;

  uint16_t record_length() const { return static_cast<uint16_t>(LASitem::base_size(format) + extra); }
};

// Where each layer of a chunk lies: per item, per layer, offset and size.
struct LayerSpan {
  size_t offset;
  uint32_t size;
};
using ChunkLayers = std::vector<std::vector<LayerSpan>>;

class ChunkWriter {
 public:
  explicit ChunkWriter(const Layout& layout) {
    EXPECT_TRUE(point.init(&quantizer, layout.format, layout.record_length()));
    for (uint16_t i = 0; i < point.num_items; i++) {
      writers.emplace_back(make_writer(point.items[i], &enc, layout.version));
    }
  }

  // The layer sizes and bytes of records [begin, end) as one chunk; the
  // context each point hands from POINT14 to the following items goes to
  // `contexts` (one per point, the first from init).
  std::vector<uint8_t> write(const Records& r, size_t begin, size_t end, std::vector<uint32_t>* contexts = nullptr) {
    ByteStreamOutArrayLE out;
    EXPECT_TRUE(enc.init(&out));
    for (size_t p = begin; p < end; p++) {
      point.copy_from(r.at(p));
      uint32_t context = 0;
      for (size_t i = 0; i < writers.size(); i++) {
        if (p == begin) {
          EXPECT_TRUE(writers[i]->init(point.point[i], context));
        } else {
          EXPECT_TRUE(writers[i]->write(point.point[i], context));
        }
        if (i == 0 && contexts) contexts->push_back(context);
      }
    }
    for (auto& w : writers) EXPECT_TRUE(w->chunk_sizes());
    for (auto& w : writers) EXPECT_TRUE(w->chunk_bytes());
    return std::vector<uint8_t>(out.get_data(), out.get_data() + out.get_size());
  }

  std::vector<uint8_t> write(const Records& r) { return write(r, 0, r.count()); }

  LASquantizer quantizer;
  LASpoint point;
  ArithEncoder enc;
  std::vector<std::unique_ptr<LASwriteItemCompressed>> writers;
};

class ChunkReader {
 public:
  ChunkReader(const Layout& layout, uint32_t selective) {
    EXPECT_TRUE(point.init(&quantizer, layout.format, layout.record_length()));
    for (uint16_t i = 0; i < point.num_items; i++) {
      readers.emplace_back(make_reader(point.items[i], &dec, layout.version, selective));
    }
  }

  // Decodes `count` points of a chunk read from `in` (positioned at its
  // layer sizes), whose raw first point is `first`, appending them to
  // `out`. Returns false when a codec's init fails. Throws what the codecs
  // throw.
  bool read(ByteStreamIn& in, const uint8_t* first, size_t count, Records& out,
            std::vector<uint32_t>* contexts = nullptr) {
    EXPECT_TRUE(dec.init(&in, false));
    for (auto& r : readers) EXPECT_TRUE(r->chunk_sizes());
    point.copy_from(first);
    uint32_t context = 0;
    for (size_t i = 0; i < readers.size(); i++) {
      if (!readers[i]->init(point.point[i], context)) return false;
      if (i == 0 && contexts) contexts->push_back(context);
    }
    point.copy_to(out.add());
    for (size_t p = 1; p < count; p++) {
      context = 0;
      for (size_t i = 0; i < readers.size(); i++) {
        readers[i]->read(point.point[i], context);
        if (i == 0 && contexts) contexts->push_back(context);
      }
      point.copy_to(out.add());
    }
    dec.done();
    return true;
  }

  // The same from the chunk's bytes; every byte of the chunk must have been
  // loaded or skipped by the codecs' init.
  bool read(const std::vector<uint8_t>& chunk, const uint8_t* first, size_t count, Records& out,
            std::vector<uint32_t>* contexts = nullptr) {
    ByteStreamInArrayLE in(chunk.data(), static_cast<int64_t>(chunk.size()));
    const bool ok = read(in, first, count, out, contexts);
    if (ok) {
      EXPECT_EQ(in.tell(), static_cast<int64_t>(chunk.size()));
    }
    return ok;
  }

  LASquantizer quantizer;
  LASpoint point;  // holds the last point read, legacy fields included
  ArithDecoder dec;
  std::vector<std::unique_ptr<LASreadItemCompressed>> readers;
};

// The layers of a chunk coded for `layout`, from its size fields.
inline ChunkLayers layers_of(const Layout& layout, const std::vector<uint8_t>& chunk) {
  LASpoint point;
  LASquantizer quantizer;
  EXPECT_TRUE(point.init(&quantizer, layout.format, layout.record_length()));
  ChunkLayers layers;
  size_t pos = 0;
  for (uint16_t i = 0; i < point.num_items; i++) {
    layers.emplace_back();
    for (uint32_t l = 0; l < number_of_layers(point.items[i]); l++) {
      uint32_t size;
      memcpy(&size, chunk.data() + pos, 4);
      pos += 4;
      layers.back().push_back({0, size});
    }
  }
  for (auto& item : layers) {
    for (auto& layer : item) {
      layer.offset = pos;
      pos += layer.size;
    }
  }
  EXPECT_EQ(pos, chunk.size());
  return layers;
}

inline void expect_same_records(const Records& expected, const Records& got) {
  ASSERT_EQ(expected.count(), got.count());
  for (size_t i = 0; i < expected.count(); i++) {
    if (memcmp(expected.at(i), got.at(i), expected.record_length) != 0) {
      size_t b = 0;
      while (expected.at(i)[b] == got.at(i)[b]) b++;
      FAIL() << "record " << i << " differs first at byte " << b << ": " << int(got.at(i)[b]) << " instead of "
             << int(expected.at(i)[b]);
    }
  }
}

// Codes the records in chunks of chunk_points with one writer, checks that
// every later chunk's code equals that of a fresh writer (so init restarts
// every context, including models created in earlier chunks), decodes them
// with one reader and compares.
inline void expect_round_trip(const Layout& layout, const Records& r, size_t chunk_points) {
  ASSERT_GT(r.count(), 0u);
  ChunkWriter writer(layout);
  ChunkReader reader(layout, kAllLayers);
  Records decoded(r.record_length);
  for (size_t begin = 0; begin < r.count(); begin += chunk_points) {
    const size_t end = std::min(r.count(), begin + chunk_points);
    const std::vector<uint8_t> chunk = writer.write(r, begin, end);
    if (begin > 0) {
      ChunkWriter fresh(layout);
      EXPECT_EQ(chunk, fresh.write(r, begin, end)) << "chunk at " << begin;
    }
    EXPECT_TRUE(reader.read(chunk, r.at(begin), end - begin, decoded)) << "chunk at " << begin;
  }
  expect_same_records(r, decoded);
}

}  // namespace layered

#endif
