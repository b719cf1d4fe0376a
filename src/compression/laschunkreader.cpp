#include "compression/laschunkreader.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>

#include "compression/arithdecoder.h"
#include "compression/integercoder.h"
#include "compression/itemcompressed_byte14_v3.h"
#include "compression/itemcompressed_byte14_v4.h"
#include "compression/itemcompressed_byte_v1.h"
#include "compression/itemcompressed_byte_v2.h"
#include "compression/itemcompressed_gpstime11_v1.h"
#include "compression/itemcompressed_gpstime11_v2.h"
#include "compression/itemcompressed_point10_v1.h"
#include "compression/itemcompressed_point10_v2.h"
#include "compression/itemcompressed_point14_v3.h"
#include "compression/itemcompressed_point14_v4.h"
#include "compression/itemcompressed_rgb12_v1.h"
#include "compression/itemcompressed_rgb12_v2.h"
#include "compression/itemcompressed_rgb14_v3.h"
#include "compression/itemcompressed_rgb14_v4.h"
#include "compression/itemcompressed_rgbnir14_v3.h"
#include "compression/itemcompressed_rgbnir14_v4.h"
#include "compression/itemcompressed_wavepacket13_v1.h"
#include "compression/itemcompressed_wavepacket14_v3.h"
#include "compression/itemcompressed_wavepacket14_v4.h"
#include "compression/lasreaditemraw.h"
#include "compression/qopack.h"
#include "las/bytestreamin.h"
#include "las/laspoint.h"

namespace {

// The codec of an item in a chunk of legacy items, or null when there is
// none for its type and version.
std::unique_ptr<LASreadItemCompressed> make_legacy_item_reader(const LASitem& item, ArithDecoder* dec) {
  switch (item.type) {
    case LASitem::BYTE:
      if (item.version == 1) return std::make_unique<LASreadItemCompressed_BYTE_v1>(dec, item.size);
      if (item.version == 2) return std::make_unique<LASreadItemCompressed_BYTE_v2>(dec, item.size);
      break;
    case LASitem::POINT10:
      if (item.version == 1) return std::make_unique<LASreadItemCompressed_POINT10_v1>(dec);
      if (item.version == 2) return std::make_unique<LASreadItemCompressed_POINT10_v2>(dec);
      break;
    case LASitem::GPSTIME11:
      if (item.version == 1) return std::make_unique<LASreadItemCompressed_GPSTIME11_v1>(dec);
      if (item.version == 2) return std::make_unique<LASreadItemCompressed_GPSTIME11_v2>(dec);
      break;
    case LASitem::RGB12:
      if (item.version == 1) return std::make_unique<LASreadItemCompressed_RGB12_v1>(dec);
      if (item.version == 2) return std::make_unique<LASreadItemCompressed_RGB12_v2>(dec);
      break;
    case LASitem::WAVEPACKET13:
      if (item.version == 1) return std::make_unique<LASreadItemCompressed_WAVEPACKET13_v1>(dec);
      break;
    default:
      // The LAS 1.4 items are coded only in layered chunks.
      break;
  }
  return nullptr;
}

// The codec of an item in a layered chunk, or null when there is none for
// its type and version. Version 2 of the LAS 1.4 items was never coded
// differently from version 3. The legacy items have no layers: their codecs
// would decode from the chunk stream, where the layers lie.
std::unique_ptr<LASreadItemCompressed> make_layered_item_reader(const LASitem& item, ArithDecoder* dec,
                                                                uint32_t selective) {
  const bool v3 = item.version == 2 || item.version == 3;
  const bool v4 = item.version == 4;
  switch (item.type) {
    case LASitem::POINT14:
      if (v3) return std::make_unique<LASreadItemCompressed_POINT14_v3>(dec, selective);
      if (v4) return std::make_unique<LASreadItemCompressed_POINT14_v4>(dec, selective);
      break;
    case LASitem::RGB14:
      if (v3) return std::make_unique<LASreadItemCompressed_RGB14_v3>(dec, selective);
      if (v4) return std::make_unique<LASreadItemCompressed_RGB14_v4>(dec, selective);
      break;
    case LASitem::RGBNIR14:
      if (v3) return std::make_unique<LASreadItemCompressed_RGBNIR14_v3>(dec, selective);
      if (v4) return std::make_unique<LASreadItemCompressed_RGBNIR14_v4>(dec, selective);
      break;
    case LASitem::WAVEPACKET14:
      if (item.version == 3) return std::make_unique<LASreadItemCompressed_WAVEPACKET14_v3>(dec, selective);
      if (v4) return std::make_unique<LASreadItemCompressed_WAVEPACKET14_v4>(dec, selective);
      break;
    case LASitem::BYTE14:
      if (v3) return std::make_unique<LASreadItemCompressed_BYTE14_v3>(dec, item.size, selective);
      if (v4) return std::make_unique<LASreadItemCompressed_BYTE14_v4>(dec, item.size, selective);
      break;
    default:
      break;
  }
  return nullptr;
}

// The number of layers an item has in a layered chunk.
uint32_t number_of_layers(const LASitem& item) {
  switch (item.type) {
    case LASitem::POINT14:
      return 9;
    case LASitem::RGBNIR14:
      return 2;
    case LASitem::BYTE14:
      return item.size;  // one per byte
    default:
      return 1;
  }
}

// Bytes an item takes in a point: the POINT14 item is the whole point core
// (its legacy and LAS 1.4 fields), the others their record bytes.
uint32_t place_size(const LASitem& item) {
  return item.type == LASitem::POINT14 ? static_cast<uint32_t>(sizeof(LASpointcore)) : item.size;
}

std::string format_message(const char* format, uint32_t a, uint32_t b = 0) {
  char text[128];
  snprintf(text, sizeof(text), format, a, b);
  return text;
}

}  // namespace

LASchunkReader::LASchunkReader(uint32_t decompress_selective) : decompress_selective(decompress_selective) {}

LASchunkReader::~LASchunkReader() = default;

bool LASchunkReader::setup(uint32_t num_items, const LASitem* items, const Qopack* qopack) {
  if (num_items == 0 || items == nullptr) return false;
  if (qopack && (num_items != qopack->num_items || items != qopack->items)) return false;
  const bool compressed = qopack && qopack->compressor != Qopack::COMPRESSOR_NONE;
  if (compressed && qopack->coder != Qopack::CODER_ARITHMETIC) return false;

  raw_items.clear();
  readers_raw.clear();
  readers_compressed.clear();
  dec.reset();
  uint32_t size = 0;
  for (uint32_t i = 0; i < num_items; i++) {
    std::unique_ptr<LASreadItemRaw> reader = make_raw_item_reader(items[i]);
    if (!reader || items[i].size == 0) {
      raw_items.clear();
      readers_raw.clear();
      return false;
    }
    raw_items.push_back({items[i].type, items[i].size, size});
    readers_raw.push_back(std::move(reader));
    size += items[i].size;
  }
  point_size = size;

  chunk_size = 0xFFFFFFFF;
  varying_chunks = false;
  pointwise = false;
  layered = false;
  number_chunks = 0xFFFFFFFF;
  if (!compressed) return true;

  layered = qopack->compressor == Qopack::COMPRESSOR_LAYERED_CHUNKED;
  dec = std::make_unique<ArithDecoder>();
  for (uint32_t i = 0; i < num_items; i++) {
    std::unique_ptr<LASreadItemCompressed> reader =
        layered ? make_layered_item_reader(items[i], dec.get(), decompress_selective)
                : make_legacy_item_reader(items[i], dec.get());
    if (!reader) {
      readers_compressed.clear();
      dec.reset();
      layered = false;
      return false;
    }
    readers_compressed.push_back(std::move(reader));
  }
  layer_size_fields = 0;
  if (layered) {
    for (uint32_t i = 0; i < num_items; i++) layer_size_fields += number_of_layers(items[i]);
  }
  // The points skipped by a seek are decoded here. Each item gets the room
  // it has in a LASpoint, on an 8-byte boundary: the POINT14 codecs fill a
  // whole point core, which is larger than the record.
  std::vector<size_t> places(num_items);
  size_t bytes = 0;
  for (uint32_t i = 0; i < num_items; i++) {
    places[i] = bytes;
    bytes += (place_size(items[i]) + 7) & ~size_t(7);
  }
  seek_buffer.assign(bytes / 8 + 1, 0);
  uint8_t* base = reinterpret_cast<uint8_t*>(seek_buffer.data());
  seek_point.resize(num_items);
  for (uint32_t i = 0; i < num_items; i++) {
    seek_point[i] = base + places[i];
    if (items[i].type == LASitem::POINT14) {
      // A point core filled from POINT14 records.
      LASpointcore* core = new (seek_point[i]) LASpointcore();
      core->extended_point_type = 1;
    }
  }

  if (qopack->compressor == Qopack::COMPRESSOR_POINTWISE) {
    // One code for all points: a single chunk and no table.
    pointwise = true;
    number_chunks = 0;
  } else {
    if (qopack->chunk_size != 0) chunk_size = qopack->chunk_size;
    varying_chunks = chunk_size == Qopack::variable_chunk_size_alt;
  }
  return true;
}

bool LASchunkReader::init(ByteStreamIn* stream) {
  if (stream == nullptr || point_size == 0) return false;
  instream = stream;
  for (auto& reader : readers_raw) reader->init(stream);
  last_error.clear();
  last_warning.clear();
  point_start = stream->tell();
  blocks = false;
  block_records = block_next = 0;
  if (dec) {
    stream_size = -1;
    buffered = false;
    buffered_chunk = 0xFFFFFFFF;
    if (stream->is_seekable() && stream->seek_end(0)) {
      stream_size = stream->tell();
      if (!stream->seek(point_start)) return false;
    }
    table_ready = false;
    table_failed = false;
    table_complete = false;
    chunk_open = false;
    decoding = false;
    chunk_count = 0;
    current_chunk = 0;
    tabled_chunks = 0;
    if (!pointwise) number_chunks = 0xFFFFFFFF;
    chunk_totals.clear();
    chunk_starts.clear();
    return true;
  }
  if (stream->is_seekable()) {
    // The number of complete records the stream holds decides how much can
    // be read at once without running into a cut record.
    if (stream->seek_end(0)) {
      stream_end = stream->tell();
      blocks = stream_end >= point_start;
    }
    if (!stream->seek(point_start)) return false;
    if (blocks) {
      const uint32_t records = std::max<uint32_t>(1, block_bytes / point_size);
      block.resize(static_cast<size_t>(records) * point_size);
      block_end = point_start;
    }
  }
  return true;
}

// Raw records.

void LASchunkReader::decode_record(const uint8_t* record, uint8_t* const* point) const {
  const size_t n = raw_items.size();
  for (size_t i = 0; i < n; i++) {
    const RawItem& item = raw_items[i];
    if (item.type == LASitem::POINT14) {
      reinterpret_cast<LASpointcore*>(point[i])->read_point14(record + item.offset);
    } else {
      memcpy(point[i], record + item.offset, item.size);
    }
  }
}

bool LASchunkReader::read_block() {
  const int64_t complete = (stream_end - block_end) / point_size;
  if (complete <= 0) return false;
  const int64_t capacity = static_cast<int64_t>(block.size() / point_size);
  const uint32_t records = static_cast<uint32_t>(std::min(complete, capacity));
  instream->get_bytes(block.data(), records * point_size);
  block_end += static_cast<int64_t>(records) * point_size;
  block_records = records;
  block_next = 0;
  return true;
}

bool LASchunkReader::read_items(uint8_t* const* point) {
  uint32_t context = 0;
  for (size_t i = 0; i < readers_raw.size(); i++) readers_raw[i]->read(point[i], context);
  return true;
}

bool LASchunkReader::read_raw(uint8_t* const* point) {
  if (block_next < block_records) {
    decode_record(block.data() + static_cast<size_t>(block_next) * point_size, point);
    block_next++;
    return true;
  }
  if (instream == nullptr) {
    last_error = "no input stream";
    return false;
  }
  try {
    if (!blocks) return read_items(point);
    // No complete record left: what follows, if anything, is a cut record.
    if (!read_block()) return false;
  } catch (int error) {
    // Raw records simply end where the data end; only a codec can find
    // them corrupt.
    if (error != byte_stream_end_of_data) last_error = "corrupt point data";
    return false;
  }
  decode_record(block.data(), point);
  block_next = 1;
  return true;
}

void LASchunkReader::reset_block(int64_t position) {
  block_records = block_next = 0;
  block_end = position;
}

bool LASchunkReader::seek_raw(int64_t current, int64_t target) {
  if (current == target) return true;
  if (target > (INT64_MAX - point_start) / point_size) return false;
  const int64_t position = point_start + target * static_cast<int64_t>(point_size);
  if (!instream->seek(position)) return false;
  if (blocks) reset_block(position);
  return true;
}

// Compressed points.

bool LASchunkReader::read(uint8_t* const* point) {
  if (!dec) return read_raw(point);
  if (instream == nullptr) {
    last_error = "no input stream";
    return false;
  }
  try {
    if (decoding && chunk_count != chunk_size) {
      chunk_count++;
      read_compressed(point);
      return true;
    }
    if (!chunk_open) {
      // Past check_end() only a seek goes on reading.
      if (table_ready) throw byte_stream_end_of_data;
      if (!open_first_chunk()) return false;
    } else if (chunk_count == chunk_size) {
      open_next_chunk();
    }
    chunk_count++;
    if (decoding) {
      read_compressed(point);
    } else {
      read_chunk_start(point);
    }
  } catch (int exception) {
    fail(exception);
    return false;
  }
  return true;
}

void LASchunkReader::read_compressed(uint8_t* const* point) {
  uint32_t context = 0;
  const size_t n = readers_compressed.size();
  if (!layered) {
    for (size_t i = 0; i < n; i++) readers_compressed[i]->read(point[i], context);
    return;
  }
  // A layered chunk says how many points it holds: a reader that wants more
  // from it has run past the last chunk, or the chunk is corrupt.
  if (chunk_count > chunk_points) throw last_known_chunk() ? byte_stream_end_of_data : arith_corrupt_data;
  try {
    for (size_t i = 0; i < n; i++) readers_compressed[i]->read(point[i], context);
  } catch (int exception) {
    // The layers are in memory, loaded whole when the chunk began: one that
    // ends early holds a corrupt code, whatever the file holds after it.
    throw exception == byte_stream_end_of_data ? arith_corrupt_data : exception;
  }
}

void LASchunkReader::check_layer_sizes(int64_t chunk_end) {
  // The sizes come from the file: before any layer is loaded they must add
  // up to the chunk's extent, so that a corrupt size costs neither memory
  // nor the reading of other chunks.
  const int64_t sizes_start = instream->tell();
  uint64_t total = 0;
  for (uint32_t i = 0; i < layer_size_fields; i++) {
    uint32_t size;
    instream->get_32bits_le(reinterpret_cast<uint8_t*>(&size));
    total += size;
  }
  const int64_t left = chunk_end - instream->tell();
  if (left < 0 || static_cast<uint64_t>(left) != total) throw arith_corrupt_data;
  if (!instream->seek(sizes_start)) throw byte_stream_end_of_data;
}

bool LASchunkReader::last_known_chunk() const {
  return table_complete ? current_chunk + 1 >= number_chunks : current_chunk + 1 >= tabled_chunks;
}

bool LASchunkReader::buffer_chunk(uint8_t* const* point) {
  if (stream_size < 0 || pointwise || current_chunk + 1 >= tabled_chunks) return false;
  const int64_t start = chunk_starts[current_chunk];
  int64_t stop = chunk_starts[current_chunk + 1];
  if (stop > stream_size) stop = stream_size;  // a cut file
  const int64_t bytes = stop - start;
  if (bytes < point_size || bytes > max_buffered_chunk_bytes) return false;
  if (buffered_chunk != current_chunk || chunk_buffer.size() != static_cast<size_t>(bytes)) {
    buffered_chunk = 0xFFFFFFFF;
    chunk_buffer.resize(static_cast<size_t>(bytes));
    if (!instream->seek(start)) throw byte_stream_end_of_data;
    instream->get_bytes(chunk_buffer.data(), static_cast<uint32_t>(bytes));
    buffered_chunk = current_chunk;
  } else if (!instream->seek(stop)) {
    // A chunk decoded again after a seek: its bytes are still here.
    throw byte_stream_end_of_data;
  }
  decode_record(chunk_buffer.data(), point);
  uint32_t context = 0;
  const size_t n = readers_compressed.size();
  for (size_t i = 0; i < n; i++) (void)readers_compressed[i]->init(point[i], context);
  // A code running past its chunk reads on into the next, as from the
  // stream, and is found corrupt where the chunk should end; past the last
  // chunk lies the chunk table, which holds no points.
  const bool last = table_complete && current_chunk + 1 >= number_chunks;
  dec->init(chunk_buffer.data() + point_size, static_cast<uint32_t>(bytes - point_size), last ? nullptr : instream);
  buffered = true;
  decoding = true;
  return true;
}

bool LASchunkReader::chunk_ended_right() const {
  if (buffered) return dec->used_exactly_the_memory();
  return instream->tell() == chunk_starts[current_chunk + 1];
}

void LASchunkReader::read_chunk_start(uint8_t* const* point) {
  if (layered) {
    read_layered_chunk_start(point);
    return;
  }
  if (buffer_chunk(point)) return;
  uint32_t context = 0;
  const size_t n = readers_raw.size();
  for (size_t i = 0; i < n; i++) readers_raw[i]->read(point[i], context);
  for (size_t i = 0; i < n; i++) (void)readers_compressed[i]->init(point[i], context);
  (void)dec->init(instream);
  decoding = true;
}

void LASchunkReader::read_layered_chunk_start(uint8_t* const* point) {
  uint32_t context = 0;
  const size_t n = readers_raw.size();
  for (size_t i = 0; i < n; i++) readers_raw[i]->read(point[i], context);
  // The codecs read their layer sizes and bytes through the decoder's
  // stream; it codes nothing itself.
  (void)dec->init(instream, false);
  instream->get_32bits_le(reinterpret_cast<uint8_t*>(&chunk_points));
  // Every chunk holds its first point, and no more points than its size.
  if (chunk_points == 0 || chunk_points > chunk_size) throw arith_corrupt_data;
  if (current_chunk + 1 < tabled_chunks) check_layer_sizes(chunk_starts[current_chunk + 1]);
  for (size_t i = 0; i < n; i++) (void)readers_compressed[i]->chunk_sizes();
  // A shared context: POINT14 hands its scanner channel to the items after it.
  for (size_t i = 0; i < n; i++) {
    // Layers too large to hold in memory cannot come from a writer.
    if (!readers_compressed[i]->init(point[i], context)) throw arith_corrupt_data;
  }
  // Every layer is loaded or skipped now: the stream stands at the end of
  // the chunk, where the table says the next one starts, unless a layer
  // size is corrupt.
  if (current_chunk + 1 < tabled_chunks && instream->tell() != chunk_starts[current_chunk + 1]) {
    throw arith_corrupt_data;
  }
  decoding = true;
}

bool LASchunkReader::open_first_chunk() {
  if (table_failed) return false;
  if (number_chunks == 0xFFFFFFFF && !read_chunk_table()) {
    table_failed = !last_error.empty();
    return false;
  }
  table_ready = true;
  current_chunk = 0;
  point_start = instream->tell();
  chunk_open = true;
  decoding = false;
  enter_chunk();
  chunk_count = 0;
  return true;
}

void LASchunkReader::open_next_chunk() {
  if (current_chunk + 1 < tabled_chunks && !chunk_ended_right()) throw arith_corrupt_data;
  dec->done();
  decoding = false;
  buffered = false;
  current_chunk++;
  point_start = instream->tell();
  enter_chunk();
  chunk_count = 0;
}

void LASchunkReader::enter_chunk() {
  // A complete table ends with the position after the last chunk: there
  // the points end.
  if (table_complete && current_chunk >= number_chunks) throw byte_stream_end_of_data;
  if (current_chunk == tabled_chunks) {
    if (chunk_starts.size() == chunk_starts.capacity()) chunk_starts.reserve(chunk_starts.size() + 256);
    chunk_starts.push_back(point_start);
    tabled_chunks++;
  } else if (varying_chunks) {
    chunk_size = chunk_totals[current_chunk + 1] - chunk_totals[current_chunk];
  }
}

bool LASchunkReader::restart_chunk(uint32_t k) {
  dec->done();
  decoding = false;
  buffered = false;
  chunk_open = false;
  if (!instream->seek(chunk_starts[k])) return false;
  current_chunk = k;
  point_start = chunk_starts[k];
  chunk_open = true;
  chunk_count = 0;
  if (varying_chunks) chunk_size = chunk_totals[k + 1] - chunk_totals[k];
  return true;
}

int64_t LASchunkReader::first_point_of_chunk(uint32_t k) const {
  return varying_chunks ? chunk_totals[k] : static_cast<int64_t>(k) * chunk_size;
}

void LASchunkReader::fail(int exception) {
  // A decoder interrupted by an exception is in no state to go on: the
  // chunk is over, and only a seek (or the next chunk) starts decoding again.
  const bool was_open = chunk_open;
  dec->done();
  decoding = false;
  buffered = false;
  chunk_open = false;
  if (exception == byte_stream_end_of_data) {
    last_error = format_message("end-of-file during chunk with index %u", current_chunk);
    return;
  }
  last_error = format_message("chunk with index %u of %u is corrupt", current_chunk, tabled_chunks);
  // The table knows where the next chunk starts: the next read goes on
  // there, and only the points of this chunk are lost.
  if (was_open && current_chunk + 1 < tabled_chunks && instream->seek(chunk_starts[current_chunk + 1])) {
    chunk_open = true;
    chunk_count = chunk_size;  // the next read opens the next chunk
  }
}

bool LASchunkReader::read_chunk_table() {
  int64_t pointer;
  instream->get_64bits_le(reinterpret_cast<uint8_t*>(&pointer));
  const int64_t start = instream->tell();  // where the chunks start
  number_chunks = 0;
  chunk_totals.clear();
  chunk_starts.clear();
  tabled_chunks = 0;
  table_complete = false;

  if (pointer == start - 8) {
    // The writer never came back to fill in the placeholder.
    if (varying_chunks) {
      last_error = "compressor was interrupted before writing adaptive chunk table of QPK file";
      return false;
    }
    chunk_starts.reserve(256 + 1);
    chunk_starts.push_back(start);
    tabled_chunks = 1;
    last_warning = "compressor was interrupted before writing chunk table of QPK file";
    return true;
  }
  if (!instream->is_seekable()) {
    // Chunks of one size are read one after the other without the table.
    if (varying_chunks) {
      last_error = "chunks of varying size cannot be read from a stream that cannot seek";
      return false;
    }
    return true;
  }

  bool header_read = false;
  bool decoded = false;
  try {
    if (pointer == -1) {
      // A writer that could not seek appended the position instead.
      if (!instream->seek_end(8)) throw arith_corrupt_data;
      instream->get_64bits_le(reinterpret_cast<uint8_t*>(&pointer));
    }
    if (pointer < start || !instream->seek(pointer)) throw arith_corrupt_data;
    uint32_t version;
    uint32_t n;
    instream->get_32bits_le(reinterpret_cast<uint8_t*>(&version));
    instream->get_32bits_le(reinterpret_cast<uint8_t*>(&n));
    // Every chunk holds at least its raw first point.
    if (version != 0 || n > max_chunks || n > (pointer - start) / point_size) throw arith_corrupt_data;
    header_read = true;
    number_chunks = n;
    if (varying_chunks) {
      chunk_totals.reserve(static_cast<size_t>(n) + 1);
      chunk_totals.push_back(0);
    }
    chunk_starts.reserve(static_cast<size_t>(n) + 1);
    chunk_starts.push_back(start);
    tabled_chunks = 1;
    if (n > 0) {
      (void)dec->init(instream);
      IntegerCoder ic(dec.get(), 32, 2, 8, 0);
      ic.init_decoding();
      // Each entry is predicted by the one before, the first by 0.
      int32_t count = 0;
      int32_t bytes = 0;
      for (uint32_t i = 1; i <= n; i++) {
        if (varying_chunks) {
          count = ic.decompress(count, 0);
          chunk_totals.push_back(static_cast<uint32_t>(count));
        }
        bytes = ic.decompress(bytes, 1);
        chunk_starts.push_back(bytes);
        tabled_chunks++;
      }
      dec->done();
    }
    decoded = true;
  } catch (int) {
    dec->done();
  }

  // Lengths into positions. A chunk of no bytes, or one reaching beyond the
  // table, ends the usable part of the table.
  for (uint32_t i = 1; i < tabled_chunks; i++) {
    const int64_t length = chunk_starts[i];
    if (length <= 0 || chunk_starts[i - 1] + length > pointer) {
      tabled_chunks = i;
      chunk_starts.resize(i);
      decoded = false;
      break;
    }
    chunk_starts[i] = chunk_starts[i - 1] + length;
  }
  if (decoded && varying_chunks) {
    // Counts into totals; every chunk holds at least one point.
    uint64_t total = 0;
    for (uint32_t i = 1; i <= number_chunks && decoded; i++) {
      total += chunk_totals[i];
      if (chunk_totals[i] == 0 || total > UINT32_MAX) decoded = false;
      chunk_totals[i] = static_cast<uint32_t>(total);
    }
  }

  if (!decoded) {
    chunk_totals.clear();
    if (!header_read) {
      number_chunks = 0;
      chunk_starts.assign(1, start);
      chunk_starts.reserve(256 + 1);
      tabled_chunks = 1;
    }
    int64_t end = -1;
    if (instream->seek_end(0)) end = instream->tell();
    std::string message;
    if (pointer < end) {
      message = "corrupt chunk table";
    } else if (pointer > end) {
      char text[128];
      snprintf(text, sizeof(text),
               "chunk table and %" PRId64 " bytes are missing. QPK file truncated during copy or transfer?",
               pointer - end);
      message = text;
    } else {
      message = "chunk table is missing. improper use of QPK compressor?";
    }
    if (varying_chunks) {
      last_error = message;
      return false;
    }
    last_warning = message;
  } else {
    table_complete = true;
  }
  if (!instream->seek(start)) {
    last_error = "cannot return to the first chunk";
    return false;
  }
  return true;
}

bool LASchunkReader::seek(int64_t current, int64_t target) {
  if (instream == nullptr || !instream->is_seekable() || target < 0) return false;
  if (!dec) return seek_raw(current, target);
  try {
    if (!table_ready && !open_first_chunk()) return false;
    if (tabled_chunks == 0) return false;
    uint32_t k;
    if (varying_chunks) {
      if (target >= chunk_totals.back()) return false;
      // The last chunk whose first point is at or before the target.
      const auto after = std::upper_bound(chunk_totals.begin(), chunk_totals.end(), static_cast<uint64_t>(target),
                                          [](uint64_t t, uint32_t total) { return t < total; });
      k = static_cast<uint32_t>(after - chunk_totals.begin() - 1);
    } else {
      const int64_t chunk = target / chunk_size;
      if (table_complete && chunk >= number_chunks) return false;
      // Beyond the chunks known so far, decoding goes on from the last one.
      k = chunk < tabled_chunks ? static_cast<uint32_t>(chunk) : tabled_chunks - 1;
    }
    const int64_t first = first_point_of_chunk(k);
    int64_t position = first + chunk_count;
    if (!(chunk_open && current_chunk == k && (decoding || chunk_count == 0) && position <= target)) {
      if (!restart_chunk(k)) return false;
      position = first;
    }
    (void)current;  // the chunk state knows where the reader stands
    for (; position < target; position++) {
      if (!read(seek_point.data())) return false;
    }
  } catch (int exception) {
    fail(exception);
    return false;
  }
  return true;
}

bool LASchunkReader::check_end() {
  if (!dec || !decoding) return true;
  // A layered chunk also says how many points it holds.
  const bool ended_right =
      (current_chunk + 1 >= tabled_chunks || chunk_ended_right()) && (!layered || chunk_count == chunk_points);
  dec->done();
  decoding = false;
  buffered = false;
  chunk_open = false;
  current_chunk++;
  if (!ended_right) {
    last_error = format_message("chunk with index %u of %u is corrupt", current_chunk - 1, tabled_chunks);
    return false;
  }
  return true;
}

bool LASchunkReader::done() {
  instream = nullptr;
  for (auto& reader : readers_raw) reader->init(nullptr);
  if (dec) dec->done();
  decoding = false;
  buffered = false;
  buffered_chunk = 0xFFFFFFFF;
  chunk_open = false;
  block_records = block_next = 0;
  return true;
}
