#include "compression/laschunkreader.h"

#include <algorithm>
#include <cstring>

#include "compression/lasreaditemraw.h"
#include "compression/qopack.h"
#include "las/bytestreamin.h"
#include "las/laspoint.h"

LASchunkReader::LASchunkReader(uint32_t decompress_selective) : decompress_selective(decompress_selective) {}

LASchunkReader::~LASchunkReader() = default;

bool LASchunkReader::setup(uint32_t num_items, const LASitem* items, const Qopack* qopack) {
  if (num_items == 0 || items == nullptr) return false;
  if (qopack && (num_items != qopack->num_items || items != qopack->items)) return false;
  // The item codecs are not part of this build: only raw records can be read.
  if (qopack && qopack->compressor != Qopack::COMPRESSOR_NONE) return false;

  raw_items.clear();
  readers_raw.clear();
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
  (void)decompress_selective;  // only the LAS 1.4 codecs skip fields
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

bool LASchunkReader::read(uint8_t* const* point) {
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

bool LASchunkReader::seek(int64_t current, int64_t target) {
  if (instream == nullptr || !instream->is_seekable() || target < 0) return false;
  if (current == target) return true;
  if (target > (INT64_MAX - point_start) / point_size) return false;
  const int64_t position = point_start + target * static_cast<int64_t>(point_size);
  if (!instream->seek(position)) return false;
  if (blocks) reset_block(position);
  return true;
}

bool LASchunkReader::check_end() { return true; }

bool LASchunkReader::done() {
  instream = nullptr;
  for (auto& reader : readers_raw) reader->init(nullptr);
  block_records = block_next = 0;
  return true;
}
