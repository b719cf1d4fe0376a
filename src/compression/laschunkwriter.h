// Moves point records from a LASpoint to a stream, item by item: raw records
// through the raw item writers, compressed chunks through the item codecs.
#ifndef TIECHECK_COMPRESSION_LASCHUNKWRITER_H
#define TIECHECK_COMPRESSION_LASCHUNKWRITER_H

#include <cstdint>
#include <memory>
#include <vector>

#include "compression/laswriteitem.h"
#include "las/lasitem.h"

class ArithEncoder;
class ByteStreamOut;
class Qopack;

// Lifecycle: setup() with the item list, init() on the stream positioned
// where the point records begin, write() once per point (chunk() to end a
// chunk early when chunks vary in size), done().
//
// Raw records are gathered into blocks and handed to the stream a block at a
// time, so a failed write may only show at a later write() or at done(); the
// stream holds every record once done() has succeeded.
//
// Compressed points start with the position of the chunk table (filled in by
// done() on a seekable stream, -1 otherwise, when done() appends it after the
// table), then chunks of a raw first point and one arithmetic code for the
// rest (legacy items) or, in layered chunks, the chunk's point count, every
// item's layer sizes and then every item's layer bytes; then the chunk
// table. A writer stopped before done() leaves the
// placeholder pointing at itself, which readers recognise.
class LASchunkWriter {
 public:
  // Bytes of raw records written at once.
  static constexpr uint32_t block_bytes = 262144;

  LASchunkWriter();
  ~LASchunkWriter();
  LASchunkWriter(const LASchunkWriter&) = delete;
  LASchunkWriter& operator=(const LASchunkWriter&) = delete;

  // Binds the writer to an item list. With a descriptor, num_items and items
  // must be the descriptor's own list, and its compressor decides: none
  // (raw records), pointwise (a single code) or chunked, with the
  // descriptor's chunk size (0 and 0xFFFFFFFF: chunks of varying size).
  // Fails without a message for an empty or mismatched list, an item type
  // without a writer, a coder other than the arithmetic one, or a compressed
  // item without a codec of its version for the compressor: layered chunks
  // (compressor 3) take only the LAS 1.4 items (versions 3 and 4), the
  // other compressors only the legacy items.
  [[nodiscard]] bool setup(uint32_t num_items, const LASitem* items, const Qopack* qopack = nullptr);

  // Attaches the stream (not owned). False for a null stream, or when the
  // chunk table pointer cannot be written.
  [[nodiscard]] bool init(ByteStreamOut* outstream);

  // Writes the items of one point; `point` holds one pointer per item
  // (LASpoint::point). False when the stream refused bytes.
  [[nodiscard]] bool write(const uint8_t* const* point);

  // Ends the current chunk now. False unless chunks vary in size and at
  // least one point was written since the last chunk began.
  [[nodiscard]] bool chunk();

  // Finishes the last chunk and writes the chunk table (compressed), or
  // writes everything still held back (raw); false when the stream refused
  // bytes (now or at an earlier write).
  [[nodiscard]] bool done();

  uint32_t get_point_size() const { return point_size; }

 private:
  struct RawItem {
    LASitem::Type type;
    uint16_t size;
    uint32_t offset;  // inside the record
  };

  bool flush_block();
  bool write_raw(const uint8_t* const* point);

  // Compressed points.
  bool write_chunk_start(const uint8_t* const* point);
  // Ends the code of the chunk and enters the chunk into the table.
  bool finish_chunk();
  bool add_chunk_to_table();
  bool start_chunk();
  bool write_chunk_table();

  ByteStreamOut* outstream = nullptr;
  uint32_t point_size = 0;
  std::vector<RawItem> raw_items;
  std::vector<std::unique_ptr<LASwriteItemRaw>> writers_raw;

  std::vector<uint8_t> block;
  uint32_t block_capacity = 0;  // records
  uint32_t block_records = 0;
  bool failed = false;

  // Compressed points: null encoder for raw records.
  std::unique_ptr<ArithEncoder> enc;
  std::vector<std::unique_ptr<LASwriteItemCompressed>> writers_compressed;
  bool pointwise = false;     // compressor 1: one code, no chunk table
  bool layered = false;       // compressor 3: LAS 1.4 items coded in layers
  bool encoding = false;      // the codecs are current (the chunk's first point is written)
  bool varying_chunks = false;
  uint32_t chunk_size = 0xFFFFFFFF;
  uint32_t chunk_count = 0;
  uint32_t number_chunks = 0xFFFFFFFF;  // until the first init()
  std::vector<uint32_t> chunk_point_counts;  // varying sizes only
  std::vector<uint32_t> chunk_byte_counts;
  int64_t chunk_start = -1;  // stream position of the current chunk; -1 before init
  int64_t chunk_table_start_position = -1;
};

#endif
