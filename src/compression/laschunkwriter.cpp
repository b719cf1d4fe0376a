#include "compression/laschunkwriter.h"

#include <algorithm>
#include <cstring>

#include "compression/laswriteitemraw.h"
#include "compression/qopack.h"
#include "las/bytestreamout.h"
#include "las/laspoint.h"

LASchunkWriter::LASchunkWriter() = default;

LASchunkWriter::~LASchunkWriter() = default;

bool LASchunkWriter::setup(uint32_t num_items, const LASitem* items, const Qopack* qopack) {
  if (num_items == 0 || items == nullptr) return false;
  if (qopack && (num_items != qopack->num_items || items != qopack->items)) return false;
  // The item codecs are not part of this build: only raw records can be written.
  if (qopack && qopack->compressor != Qopack::COMPRESSOR_NONE) return false;

  raw_items.clear();
  writers_raw.clear();
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
  return true;
}

bool LASchunkWriter::init(ByteStreamOut* stream) {
  if (stream == nullptr || point_size == 0) return false;
  outstream = stream;
  for (auto& writer : writers_raw) writer->init(stream);
  block.resize(static_cast<size_t>(block_capacity) * point_size);
  block_records = 0;
  failed = false;
  return true;
}

bool LASchunkWriter::flush_block() {
  if (block_records == 0) return !failed;
  if (!outstream->put_bytes(block.data(), block_records * point_size)) failed = true;
  block_records = 0;
  return !failed;
}

bool LASchunkWriter::write(const uint8_t* const* point) {
  if (outstream == nullptr) return false;
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

bool LASchunkWriter::chunk() { return false; }

bool LASchunkWriter::done() {
  if (outstream == nullptr) return !failed;
  const bool ok = flush_block();
  outstream = nullptr;
  for (auto& writer : writers_raw) writer->init(nullptr);
  return ok;
}
