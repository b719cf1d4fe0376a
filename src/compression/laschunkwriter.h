// Moves point records from a LASpoint to a stream, item by item: raw records
// through the raw item writers, compressed chunks through the item codecs.
#ifndef TIECHECK_COMPRESSION_LASCHUNKWRITER_H
#define TIECHECK_COMPRESSION_LASCHUNKWRITER_H

#include <cstdint>
#include <memory>
#include <vector>

#include "compression/laswriteitem.h"
#include "las/lasitem.h"

class ByteStreamOut;
class Qopack;

// Lifecycle: setup() with the item list, init() on the stream positioned
// where the point records begin, write() once per point, done().
//
// Raw records are gathered into blocks and handed to the stream a block at a
// time, so a failed write may only show at a later write() or at done(); the
// stream holds every record once done() has succeeded.
class LASchunkWriter {
 public:
  // Bytes of raw records written at once.
  static constexpr uint32_t block_bytes = 262144;

  LASchunkWriter();
  ~LASchunkWriter();
  LASchunkWriter(const LASchunkWriter&) = delete;
  LASchunkWriter& operator=(const LASchunkWriter&) = delete;

  // Binds the writer to an item list. With a descriptor, num_items and items
  // must be the descriptor's own list. Fails without a message for an empty
  // or mismatched list, an item type without a writer, or a descriptor that
  // asks for a codec (there are no item codecs in this build).
  [[nodiscard]] bool setup(uint32_t num_items, const LASitem* items, const Qopack* qopack = nullptr);

  // Attaches the stream (not owned). False for a null stream.
  [[nodiscard]] bool init(ByteStreamOut* outstream);

  // Writes the items of one point; `point` holds one pointer per item
  // (LASpoint::point). False when the stream refused bytes.
  [[nodiscard]] bool write(const uint8_t* const* point);

  // Ends the current chunk. Raw records have no chunks: always false.
  [[nodiscard]] bool chunk();

  // Writes everything still held back; false when the stream refused bytes
  // (now or at an earlier write).
  [[nodiscard]] bool done();

  uint32_t get_point_size() const { return point_size; }

 private:
  struct RawItem {
    LASitem::Type type;
    uint16_t size;
    uint32_t offset;  // inside the record
  };

  bool flush_block();

  ByteStreamOut* outstream = nullptr;
  uint32_t point_size = 0;
  std::vector<RawItem> raw_items;
  std::vector<std::unique_ptr<LASwriteItemRaw>> writers_raw;

  std::vector<uint8_t> block;
  uint32_t block_capacity = 0;  // records
  uint32_t block_records = 0;
  bool failed = false;
};

#endif
