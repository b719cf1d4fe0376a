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

class ArithDecoder;
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
//
// Compressed points come in chunks, each a raw first point followed by one
// arithmetic code for the rest (legacy items), or by the chunk's point count
// and the layers of its LAS 1.4 items (layered chunks: every item's layer
// sizes, then the layer bytes; layers the owner does not need are skipped).
// The chunk table at the end of the point area
// gives the start of every chunk (and, for chunks of varying size, their
// point counts); it is read at the first chunk. A file whose writer stopped
// before writing the table is read chunk by chunk with the table built on the
// way. A chunk whose extent the table gives is read into memory at once and
// decoded from there (a chunk decoded again after a seek backwards is not
// read again); the code of a damaged chunk that runs past its end reads on
// from the stream, as it would without the memory. Layered chunks are not:
// their codecs load the layers they need into memory themselves.
class LASchunkReader {
 public:
  // Bytes of raw records read at once.
  static constexpr uint32_t block_bytes = 262144;
  // The chunk table is refused when it announces more chunks than this, or
  // more than the point area between its pointer and the table can hold.
  static constexpr uint32_t max_chunks = 1u << 28;
  // A chunk whose extent the table gives is read into memory at once and
  // decoded from there, unless it is larger than this.
  static constexpr uint32_t max_buffered_chunk_bytes = 1u << 26;

  // `decompress_selective` is the mask of point fields the owner needs; the
  // LAS 1.4 codecs skip the layers of the others, whose fields then keep the
  // values of the chunk's first point.
  explicit LASchunkReader(uint32_t decompress_selective = 0xFFFFFFFF);
  ~LASchunkReader();
  LASchunkReader(const LASchunkReader&) = delete;
  LASchunkReader& operator=(const LASchunkReader&) = delete;

  // Binds the reader to an item list. With a descriptor, num_items and items
  // must be the descriptor's own list. Fails without a message for an empty
  // or mismatched list, an item type without a reader, a coder other than the
  // arithmetic one, or a compressed item without a codec of its version for
  // the compressor: layered chunks (compressor 3) take only the LAS 1.4
  // items (POINT14, RGB14, RGBNIR14, BYTE14 versions 2 to 4, WAVEPACKET14
  // versions 3 and 4), the other compressors only the legacy items.
  [[nodiscard]] bool setup(uint32_t num_items, const LASitem* items, const Qopack* qopack = nullptr);

  // Attaches the stream, positioned at the first point record (not owned).
  // False for a null stream or a seekable stream that cannot return to its
  // position.
  [[nodiscard]] bool init(ByteStreamIn* instream);

  // Fills the items of the next point; `point` holds one pointer per item
  // (LASpoint::point). False when no complete point is left (raw records
  // then have no error) or on corrupt data, with the reason in
  // get_last_error() and what was survived in get_last_warning():
  // "end-of-file during chunk with index %u", "chunk with index %u of %u is
  // corrupt" (the next read continues with the next chunk when the table
  // knows where it starts), "compressor was interrupted before writing
  // adaptive chunk table of QPK file"; the warnings "compressor was
  // interrupted before writing chunk table of QPK file", "corrupt chunk
  // table", "chunk table and %lld bytes are missing. QPK file truncated
  // during copy or transfer?", "chunk table is missing. improper use of QPK
  // compressor?". A layered chunk whose stored point count, layer sizes or
  // layer codes do not hold together is corrupt.
  [[nodiscard]] bool read(uint8_t* const* point);

  // Moves from point index `current` to point index `target`: compressed
  // points decode at most from the start of the target's chunk. False when
  // the stream cannot seek or the target cannot be reached.
  [[nodiscard]] bool seek(int64_t current, int64_t target);

  // Called after the last point: whether the code of the last chunk ended
  // where the chunk table says the next one starts, and a layered chunk
  // delivered all the points it holds ("chunk with index %u of %u is
  // corrupt" otherwise).
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
  bool read_raw(uint8_t* const* point);
  bool seek_raw(int64_t current, int64_t target);

  // Compressed points.
  void read_compressed(uint8_t* const* point);
  void read_chunk_start(uint8_t* const* point);
  // The head of a layered chunk: raw first point, point count, every item's
  // layer sizes, then the layers the owner needs.
  void read_layered_chunk_start(uint8_t* const* point);
  // Throws arith_corrupt_data unless the layer sizes that follow add up to
  // the bytes left before chunk_end; leaves the stream where it was.
  void check_layer_sizes(int64_t chunk_end);
  // Whether no chunk is known to follow the current one.
  bool last_known_chunk() const;
  // Reads the current chunk into memory and starts decoding it there; false
  // when its extent is not known or it is too large.
  bool buffer_chunk(uint8_t* const* point);
  // Whether the code of the chunk just decoded ended where the next chunk
  // starts.
  bool chunk_ended_right() const;
  // Ends the chunk being read and starts the next one (throws 4711 when the
  // code did not end where the table says the next chunk starts).
  void open_next_chunk();
  // Reads the chunk table at the first chunk and stands at the chunk data.
  bool open_first_chunk();
  // Registers the chunk starting at point_start when the table does not
  // know it yet, and takes its point count from the table.
  void enter_chunk();
  // Positions the stream at tabled chunk k, ready for its raw first point.
  bool restart_chunk(uint32_t k);
  bool read_chunk_table();
  // Where the first point of tabled chunk k lies, counted in points.
  int64_t first_point_of_chunk(uint32_t k) const;
  void fail(int exception);

  ByteStreamIn* instream = nullptr;
  uint32_t decompress_selective;
  uint32_t point_size = 0;
  std::vector<RawItem> raw_items;
  std::vector<std::unique_ptr<LASreadItemRaw>> readers_raw;

  int64_t point_start = 0;  // stream position of the first record / current chunk

  // Block reading of raw records (seekable streams only).
  bool blocks = false;
  int64_t stream_end = 0;  // end of the stream
  int64_t block_end = 0;   // stream position after the current block
  std::vector<uint8_t> block;
  uint32_t block_records = 0;  // records in the block
  uint32_t block_next = 0;     // next record to deliver

  // Compressed points: null decoder for raw records.
  std::unique_ptr<ArithDecoder> dec;
  std::vector<std::unique_ptr<LASreadItemCompressed>> readers_compressed;
  bool pointwise = false;       // compressor 1: one code, no chunk table
  bool layered = false;         // compressor 3: LAS 1.4 items coded in layers
  uint32_t chunk_points = 0;    // points the current layered chunk holds
  uint32_t layer_size_fields = 0;  // layer sizes at the head of a layered chunk
  bool table_ready = false;     // the chunk table was read (or found missing)
  bool table_failed = false;    // ... and the chunks cannot be read without it
  bool table_complete = false;  // every chunk is tabled, with the end of the last
  bool decoding = false;        // the codecs are current (the chunk's first point was read)
  bool chunk_open = false;      // a chunk is being read (chunk_count counts its points)
  bool varying_chunks = false;  // chunk_size came as 0 or 0xFFFFFFFF
  uint32_t chunk_size = 0xFFFFFFFF;
  uint32_t chunk_count = 0;
  uint32_t current_chunk = 0;
  uint32_t number_chunks = 0xFFFFFFFF;  // until the chunk table has been read
  uint32_t tabled_chunks = 0;
  std::vector<uint32_t> chunk_totals;  // cumulative point counts (varying sizes)
  std::vector<int64_t> chunk_starts;   // stream positions
  // The chunk being decoded from memory.
  int64_t stream_size = -1;  // of a seekable stream, else -1
  std::vector<uint8_t> chunk_buffer;
  uint32_t buffered_chunk = 0xFFFFFFFF;  // which chunk chunk_buffer holds
  bool buffered = false;                 // the decoder reads chunk_buffer
  // Receives the points decoded while seeking (8-byte words, so that a
  // point core placed in it is aligned).
  std::vector<uint64_t> seek_buffer;
  std::vector<uint8_t*> seek_point;

  std::string last_error;
  std::string last_warning;
};

#endif
