// Moves point records from a stream into a LASpoint, item by item: raw
// records through the raw item readers, compressed chunks through the item
// codecs.
#ifndef TIECHECK_COMPRESSION_LASCHUNKREADER_H
#define TIECHECK_COMPRESSION_LASCHUNKREADER_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "compression/lasreaditem.h"
#include "las/lasitem.h"

class ByteStreamIn;
class Qopack;

// Lifecycle: setup() with the item list, init() on the stream positioned at
// the first point record, read() once per point, check_end() after the last
// point, done().
//
// Raw records are read in blocks of many records when the stream can tell how
// many complete records it holds (a seekable stream); otherwise, as from a
// pipe, each item is read by its raw reader, so that every complete point
// before a cut is still delivered.
class LASchunkReader {
 public:
  // Bytes of raw records read at once.
  static constexpr uint32_t block_bytes = 262144;

  // `decompress_selective` is the mask of point fields the owner needs; the
  // LAS 1.4 codecs may skip the others.
  explicit LASchunkReader(uint32_t decompress_selective = 0xFFFFFFFF);
  ~LASchunkReader();
  LASchunkReader(const LASchunkReader&) = delete;
  LASchunkReader& operator=(const LASchunkReader&) = delete;

  // Binds the reader to an item list. With a descriptor, num_items and items
  // must be the descriptor's own list. Fails without a message for an empty
  // or mismatched list, an item type without a reader, or a descriptor whose
  // points are stored with a codec (there are no item codecs in this build).
  [[nodiscard]] bool setup(uint32_t num_items, const LASitem* items, const Qopack* qopack = nullptr);

  // Attaches the stream, positioned at the first point record (not owned).
  // False for a null stream or a seekable stream that cannot return to its
  // position.
  [[nodiscard]] bool init(ByteStreamIn* instream);

  // Fills the items of the next point; `point` holds one pointer per item
  // (LASpoint::point). False when no complete point is left (raw records
  // then have no error) or on corrupt data, with the reason in
  // get_last_error().
  [[nodiscard]] bool read(uint8_t* const* point);

  // Moves from point index `current` to point index `target`. False when the
  // stream cannot seek.
  [[nodiscard]] bool seek(int64_t current, int64_t target);

  // Called after the last point: whether the data ended where it should.
  [[nodiscard]] bool check_end();

  // Detaches the stream.
  [[nodiscard]] bool done();

  // Why the last read failed, and what it survived; null when nothing.
  const char* get_last_error() const { return last_error.empty() ? nullptr : last_error.c_str(); }
  const char* get_last_warning() const { return last_warning.empty() ? nullptr : last_warning.c_str(); }

  uint32_t get_point_size() const { return point_size; }

 private:
  // One item's place in a raw record.
  struct RawItem {
    LASitem::Type type;
    uint16_t size;
    uint32_t offset;  // inside the record
  };

  // Reads the next block of complete records; false when none is left.
  bool read_block();
  void decode_record(const uint8_t* record, uint8_t* const* point) const;
  bool read_items(uint8_t* const* point);
  void reset_block(int64_t position);

  ByteStreamIn* instream = nullptr;
  uint32_t decompress_selective;
  uint32_t point_size = 0;
  std::vector<RawItem> raw_items;
  std::vector<std::unique_ptr<LASreadItemRaw>> readers_raw;

  int64_t point_start = 0;  // stream position of the first record

  // Block reading (seekable streams only).
  bool blocks = false;
  int64_t stream_end = 0;  // end of the stream
  int64_t block_end = 0;   // stream position after the current block
  std::vector<uint8_t> block;
  uint32_t block_records = 0;  // records in the block
  uint32_t block_next = 0;     // next record to deliver

  std::string last_error;
  std::string last_warning;
};

#endif
