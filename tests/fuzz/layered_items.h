// Layered chunks of LAS 1.4 points for the fuzz targets: a point layout
// chosen by two bytes, and the coding and decoding of one chunk the way the
// chunk writer and reader do it (layer sizes, then layer bytes; the raw
// first point starts every codec; the context passes from item to item).
#ifndef TIECHECK_TESTS_FUZZ_LAYERED_ITEMS_H
#define TIECHECK_TESTS_FUZZ_LAYERED_ITEMS_H

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/layered_codecs.h"
#include "las/bytestreamin.h"
#include "las/bytestreamout_array.h"
#include "las/laspoint.h"

namespace layered_items {

// Format 6 to 10, codec version 3 or 4, 0 to 23 extra bytes.
struct Layout {
  uint8_t format;
  int version;
  uint16_t extra;
};

inline Layout choose(uint8_t selector, uint8_t extra) {
  return {static_cast<uint8_t>(6 + selector % 5), 3 + (selector / 5) % 2, static_cast<uint16_t>(extra % 24)};
}

// A point of the layout with one codec per item.
template <typename Codec>
struct Point {
  LASquantizer quantizer;
  LASpoint point;
  std::vector<std::unique_ptr<Codec>> codecs;
  uint32_t record_length = 0;

  explicit Point(const Layout& layout) {
    record_length = LASitem::base_size(layout.format) + layout.extra;
    if (!point.init(&quantizer, layout.format, static_cast<uint16_t>(record_length))) abort();
  }
};

struct Writer : Point<LASwriteItemCompressed> {
  ArithEncoder enc;
  explicit Writer(const Layout& layout) : Point(layout) {
    for (uint16_t i = 0; i < point.num_items; i++) {
      codecs.emplace_back(layered::make_writer(point.items[i], &enc, layout.version));
    }
  }
  // Codes `count` records (back to back) as one chunk into `out`.
  void write(const uint8_t* records, size_t count, ByteStreamOutArrayLE& out) {
    if (!enc.init(&out)) abort();
    for (size_t p = 0; p < count; p++) {
      point.copy_from(records + p * record_length);
      uint32_t context = 0;
      for (size_t i = 0; i < codecs.size(); i++) {
        const bool ok = p == 0 ? codecs[i]->init(point.point[i], context) : codecs[i]->write(point.point[i], context);
        if (!ok) abort();
      }
    }
    for (auto& c : codecs) {
      if (!c->chunk_sizes()) abort();
    }
    for (auto& c : codecs) {
      if (!c->chunk_bytes()) abort();
    }
  }
};

struct Reader : Point<LASreadItemCompressed> {
  ArithDecoder dec;
  Reader(const Layout& layout, uint32_t selective) : Point(layout) {
    for (uint16_t i = 0; i < point.num_items; i++) {
      codecs.emplace_back(layered::make_reader(point.items[i], &dec, layout.version, selective));
    }
  }
  // Decodes up to `count` points of the chunk at `in` whose raw first point
  // is `first` into `out` (back to back); returns the number decoded, which
  // is less only when a codec's init refused the chunk. Throws what the
  // codecs throw.
  size_t read(ByteStreamIn& in, const uint8_t* first, size_t count, std::vector<uint8_t>* out) {
    if (!dec.init(&in, false)) abort();
    for (auto& c : codecs) {
      if (!c->chunk_sizes()) abort();
    }
    point.copy_from(first);
    uint32_t context = 0;
    for (size_t i = 0; i < codecs.size(); i++) {
      if (!codecs[i]->init(point.point[i], context)) return 0;
    }
    std::vector<uint8_t> record(record_length);
    for (size_t p = 0; p < count; p++) {
      if (p > 0) {
        context = 0;
        for (size_t i = 0; i < codecs.size(); i++) codecs[i]->read(point.point[i], context);
      }
      if (out) {
        point.copy_to(record.data());
        out->insert(out->end(), record.begin(), record.end());
      }
    }
    return count;
  }
};

}  // namespace layered_items

#endif
