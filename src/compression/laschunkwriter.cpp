#include "compression/laschunkwriter.h"

#include <algorithm>
#include <cstring>

#include "compression/arithencoder.h"
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
#include "compression/laswriteitemraw.h"
#include "compression/qopack.h"
#include "las/bytestreamout.h"
#include "las/laspoint.h"

namespace {

// The codec of an item in a chunk of legacy items, or null when there is
// none for its type and version.
std::unique_ptr<LASwriteItemCompressed> make_legacy_item_writer(const LASitem& item, ArithEncoder* enc) {
  switch (item.type) {
    case LASitem::BYTE:
      if (item.version == 1) return std::make_unique<LASwriteItemCompressed_BYTE_v1>(enc, item.size);
      if (item.version == 2) return std::make_unique<LASwriteItemCompressed_BYTE_v2>(enc, item.size);
      break;
    case LASitem::POINT10:
      if (item.version == 1) return std::make_unique<LASwriteItemCompressed_POINT10_v1>(enc);
      if (item.version == 2) return std::make_unique<LASwriteItemCompressed_POINT10_v2>(enc);
      break;
    case LASitem::GPSTIME11:
      if (item.version == 1) return std::make_unique<LASwriteItemCompressed_GPSTIME11_v1>(enc);
      if (item.version == 2) return std::make_unique<LASwriteItemCompressed_GPSTIME11_v2>(enc);
      break;
    case LASitem::RGB12:
      if (item.version == 1) return std::make_unique<LASwriteItemCompressed_RGB12_v1>(enc);
      if (item.version == 2) return std::make_unique<LASwriteItemCompressed_RGB12_v2>(enc);
      break;
    case LASitem::WAVEPACKET13:
      if (item.version == 1) return std::make_unique<LASwriteItemCompressed_WAVEPACKET13_v1>(enc);
      break;
    default:
      // The LAS 1.4 items are coded only in layered chunks.
      break;
  }
  return nullptr;
}

// The codec of an item in a layered chunk, or null when there is none for
// its type and version (the legacy items have no layers).
std::unique_ptr<LASwriteItemCompressed> make_layered_item_writer(const LASitem& item, ArithEncoder* enc) {
  const bool v3 = item.version == 3;
  const bool v4 = item.version == 4;
  switch (item.type) {
    case LASitem::POINT14:
      if (v3) return std::make_unique<LASwriteItemCompressed_POINT14_v3>(enc);
      if (v4) return std::make_unique<LASwriteItemCompressed_POINT14_v4>(enc);
      break;
    case LASitem::RGB14:
      if (v3) return std::make_unique<LASwriteItemCompressed_RGB14_v3>(enc);
      if (v4) return std::make_unique<LASwriteItemCompressed_RGB14_v4>(enc);
      break;
    case LASitem::RGBNIR14:
      if (v3) return std::make_unique<LASwriteItemCompressed_RGBNIR14_v3>(enc);
      if (v4) return std::make_unique<LASwriteItemCompressed_RGBNIR14_v4>(enc);
      break;
    case LASitem::WAVEPACKET14:
      if (v3) return std::make_unique<LASwriteItemCompressed_WAVEPACKET14_v3>(enc);
      if (v4) return std::make_unique<LASwriteItemCompressed_WAVEPACKET14_v4>(enc);
      break;
    case LASitem::BYTE14:
      if (v3) return std::make_unique<LASwriteItemCompressed_BYTE14_v3>(enc, item.size);
      if (v4) return std::make_unique<LASwriteItemCompressed_BYTE14_v4>(enc, item.size);
      break;
    default:
      break;
  }
  return nullptr;
}

bool put_i64(ByteStreamOut* out, int64_t value) { return out->put_64bits_le(reinterpret_cast<const uint8_t*>(&value)); }
bool put_u32(ByteStreamOut* out, uint32_t value) {
  return out->put_32bits_le(reinterpret_cast<const uint8_t*>(&value));
}

}  // namespace

LASchunkWriter::LASchunkWriter() = default;

LASchunkWriter::~LASchunkWriter() = default;

bool LASchunkWriter::setup(uint32_t num_items, const LASitem* items, const Qopack* qopack) {
  if (num_items == 0 || items == nullptr) return false;
  if (qopack && (num_items != qopack->num_items || items != qopack->items)) return false;
  const bool compressed = qopack && qopack->compressor != Qopack::COMPRESSOR_NONE;
  if (compressed && qopack->coder != Qopack::CODER_ARITHMETIC) return false;

  raw_items.clear();
  writers_raw.clear();
  writers_compressed.clear();
  enc.reset();
  uint32_t size = 0;
  for (uint32_t i = 0; i < num_items; i++) {
    std::unique_ptr<LASwriteItemRaw> writer = make_raw_item_writer(items[i]);
    if (!writer || items[i].size == 0) {
      raw_items.clear();
      writers_raw.clear();
      return false;
    }
    raw_items.push_back({items[i].type, items[i].size, size});
    writers_raw.push_back(std::move(writer));
    size += items[i].size;
  }
  point_size = size;
  block_capacity = std::max<uint32_t>(1, block_bytes / point_size);

  chunk_size = 0xFFFFFFFF;
  varying_chunks = false;
  pointwise = false;
  layered = false;
  if (!compressed) return true;

  layered = qopack->compressor == Qopack::COMPRESSOR_LAYERED_CHUNKED;
  enc = std::make_unique<ArithEncoder>();
  for (uint32_t i = 0; i < num_items; i++) {
    std::unique_ptr<LASwriteItemCompressed> writer =
        layered ? make_layered_item_writer(items[i], enc.get()) : make_legacy_item_writer(items[i], enc.get());
    if (!writer) {
      writers_compressed.clear();
      enc.reset();
      layered = false;
      return false;
    }
    writers_compressed.push_back(std::move(writer));
  }
  if (qopack->compressor == Qopack::COMPRESSOR_POINTWISE) {
    pointwise = true;
  } else {
    if (qopack->chunk_size != 0) chunk_size = qopack->chunk_size;
    varying_chunks = chunk_size == Qopack::variable_chunk_size_alt;
  }
  return true;
}

bool LASchunkWriter::init(ByteStreamOut* stream) {
  if (stream == nullptr || point_size == 0) return false;
  outstream = stream;
  for (auto& writer : writers_raw) writer->init(stream);
  failed = false;
  if (!enc) {
    block.resize(static_cast<size_t>(block_capacity) * point_size);
    block_records = 0;
    return true;
  }
  encoding = false;
  chunk_count = 0;
  number_chunks = 0;
  chunk_point_counts.clear();
  chunk_byte_counts.clear();
  chunk_start = -1;
  chunk_table_start_position = -1;
  if (pointwise) return true;
  // The placeholder points at itself until done() writes the table, so a
  // reader can tell an interrupted file.
  chunk_table_start_position = stream->is_seekable() ? stream->tell() : -1;
  if (!put_i64(stream, chunk_table_start_position)) return false;
  chunk_start = stream->tell();
  return true;
}

// Raw records.

bool LASchunkWriter::flush_block() {
  if (block_records == 0) return !failed;
  if (!outstream->put_bytes(block.data(), block_records * point_size)) failed = true;
  block_records = 0;
  return !failed;
}

bool LASchunkWriter::write_raw(const uint8_t* const* point) {
  if (block_records == block_capacity && !flush_block()) return false;
  uint8_t* record = block.data() + static_cast<size_t>(block_records) * point_size;
  const size_t n = raw_items.size();
  for (size_t i = 0; i < n; i++) {
    const RawItem& item = raw_items[i];
    if (item.type == LASitem::POINT14) {
      reinterpret_cast<const LASpointcore*>(point[i])->write_point14(record + item.offset);
    } else {
      memcpy(record + item.offset, point[i], item.size);
    }
  }
  block_records++;
  return !failed;
}

// Compressed points.

bool LASchunkWriter::write(const uint8_t* const* point) {
  if (outstream == nullptr) return false;
  if (!enc) return write_raw(point);
  uint32_t context = 0;
  if (encoding && chunk_count != chunk_size) {
    chunk_count++;
    const size_t n = writers_compressed.size();
    for (size_t i = 0; i < n; i++) {
      if (!writers_compressed[i]->write(point[i], context)) return false;
    }
    return true;
  }
  if (encoding && (!finish_chunk() || !start_chunk())) return false;
  chunk_count++;
  return write_chunk_start(point);
}

bool LASchunkWriter::write_chunk_start(const uint8_t* const* point) {
  uint32_t context = 0;
  const size_t n = writers_raw.size();
  for (size_t i = 0; i < n; i++) {
    if (!writers_raw[i]->write(point[i], context)) return false;
  }
  for (size_t i = 0; i < n; i++) {
    if (!writers_compressed[i]->init(point[i], context)) return false;
  }
  encoding = enc->init(outstream);
  return encoding;
}

bool LASchunkWriter::finish_chunk() {
  encoding = false;
  if (layered) {
    // The point count, every item's layer sizes, then every item's layers.
    // The encoder only lent the codecs its stream.
    if (!put_u32(outstream, chunk_count)) return false;
    for (auto& writer : writers_compressed) {
      if (!writer->chunk_sizes()) return false;
    }
    for (auto& writer : writers_compressed) {
      if (!writer->chunk_bytes()) return false;
    }
  } else if (!enc->done()) {
    return false;
  }
  return pointwise || add_chunk_to_table();
}

bool LASchunkWriter::add_chunk_to_table() {
  const int64_t position = outstream->tell();
  const int64_t length = position - chunk_start;
  // The table codes lengths as signed 32-bit numbers.
  if (length <= 0 || length > INT32_MAX) return false;
  if (chunk_byte_counts.size() == chunk_byte_counts.capacity()) {
    const size_t capacity = chunk_byte_counts.empty() ? 1024 : 2 * chunk_byte_counts.size();
    chunk_byte_counts.reserve(capacity);
    if (varying_chunks) chunk_point_counts.reserve(capacity);
  }
  if (varying_chunks) chunk_point_counts.push_back(chunk_count);
  chunk_byte_counts.push_back(static_cast<uint32_t>(length));
  chunk_start = position;
  number_chunks++;
  return true;
}

bool LASchunkWriter::start_chunk() {
  encoding = false;
  chunk_count = 0;
  return true;
}

bool LASchunkWriter::chunk() {
  // Only a chunk that holds points can end.
  if (!enc || !varying_chunks || outstream == nullptr || !encoding) return false;
  return finish_chunk() && start_chunk();
}

bool LASchunkWriter::write_chunk_table() {
  ByteStreamOut* out = outstream;
  const int64_t position = out->tell();
  if (chunk_table_start_position != -1) {
    if (!out->seek(chunk_table_start_position)) return false;
    // A sink that only counts bytes does not move: there is nothing to fill
    // in, and counting the pointer twice would overstate the size.
    if (out->tell() == chunk_table_start_position && !put_i64(out, position)) return false;
    if (!out->seek(position)) return false;
  }
  if (!put_u32(out, 0) || !put_u32(out, number_chunks)) return false;
  if (number_chunks > 0) {
    if (!enc->init(out)) return false;
    IntegerCoder ic(enc.get(), 32, 2, 8, 0);
    ic.init_encoding();
    // Each entry is predicted by the one before, the first by 0.
    for (uint32_t i = 0; i < number_chunks; i++) {
      if (varying_chunks) {
        ic.compress(i ? static_cast<int32_t>(chunk_point_counts[i - 1]) : 0,
                    static_cast<int32_t>(chunk_point_counts[i]), 0);
      }
      ic.compress(i ? static_cast<int32_t>(chunk_byte_counts[i - 1]) : 0, static_cast<int32_t>(chunk_byte_counts[i]),
                  1);
    }
    if (!enc->done()) return false;
  }
  if (chunk_table_start_position == -1 && !put_i64(out, position)) return false;
  return true;
}

bool LASchunkWriter::done() {
  if (outstream == nullptr) return !failed;
  bool ok;
  if (!enc) {
    ok = flush_block();
  } else {
    ok = true;
    if (encoding) ok = finish_chunk();
    if (ok && !pointwise) ok = write_chunk_table();
    encoding = false;
  }
  outstream = nullptr;
  for (auto& writer : writers_raw) writer->init(nullptr);
  return ok;
}
