#include "compression/itemcompressed_layers.h"

#include <algorithm>
#include <cstring>

#include "las/bytestreamin.h"
#include "las/bytestreamout.h"

namespace {

// The buffer grows by at least this much at a time while a layer whose
// size is not yet backed by data is being read.
constexpr uint64_t read_step_bytes = 1u << 20;

}  // namespace

LASlayerOut::LASlayerOut(bool kept, int64_t alloc) : stream(alloc), kept(kept) {}

bool LASlayerOut::start() {
  changed = false;
  size = 0;
  // Rewinding keeps the stream's high-water mark; the size of the layer is
  // therefore taken from tell(), never from get_size().
  if (!stream.seek(0)) return false;
  return enc.init(&stream);
}

bool LASlayerOut::finish() {
  size = 0;
  if (!is_written()) return true;
  if (!enc.done() || stream.has_failed()) return false;
  size = static_cast<uint32_t>(stream.tell());
  return true;
}

bool LASlayerOut::write_bytes(ByteStreamOut* out) const {
  if (!is_written() || size == 0) return true;
  return out->put_bytes(stream.get_data(), size);
}

LASlayersOut::LASlayersOut(uint32_t num_layers, uint32_t kept, int64_t alloc) {
  layers.reserve(num_layers);
  for (uint32_t i = 0; i < num_layers; i++) layers.push_back(std::make_unique<LASlayerOut>(i < kept, alloc));
}

bool LASlayersOut::start() {
  for (auto& layer : layers) {
    if (!layer->start()) return false;
  }
  return true;
}

bool LASlayersOut::write_sizes(ByteStreamOut* out) {
  for (auto& layer : layers) {
    if (!layer->finish()) return false;
    uint32_t size = layer->get_size();
    if (!out->put_32bits_le(reinterpret_cast<const uint8_t*>(&size))) return false;
  }
  return true;
}

bool LASlayersOut::write_bytes(ByteStreamOut* out) const {
  for (const auto& layer : layers) {
    if (!layer->write_bytes(out)) return false;
  }
  return true;
}

LASlayersIn::LASlayersIn(uint32_t num_layers) : num_layers(num_layers), layers(new LASlayerIn[num_layers]) {}

LASlayersIn::~LASlayersIn() { free(buffer); }

void LASlayersIn::read_sizes(ByteStreamIn* in) {
  for (uint32_t i = 0; i < num_layers; i++) in->get_32bits_le(reinterpret_cast<uint8_t*>(&layers[i].size));
}

bool LASlayersIn::reserve(uint64_t bytes) {
  if (bytes <= buffer_size) return true;
  uint8_t* grown = static_cast<uint8_t*>(realloc(buffer, static_cast<size_t>(bytes)));
  if (grown == nullptr) return false;
  buffer = grown;
  buffer_size = bytes;
  return true;
}

bool LASlayersIn::read_into(ByteStreamIn* in, uint64_t offset, uint32_t n, uint64_t total) {
  uint64_t done = 0;
  while (done < n) {
    const uint64_t end = offset + done;
    if (buffer_size <= end) {
      // Grow geometrically, but never far beyond the bytes already read.
      const uint64_t wanted = std::max(end + read_step_bytes, buffer_size * 2);
      if (!reserve(std::min(wanted, total))) return false;
    }
    const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(n - done, buffer_size - end));
    in->get_bytes(buffer + end, piece);
    done += piece;
  }
  return true;
}

void LASlayersIn::skip(ByteStreamIn* in, uint32_t n) {
  if (n == 0 || in->skip_bytes(n)) return;
  // A stream that cannot seek (a pipe) is read and the bytes dropped.
  uint8_t scratch[4096];
  while (n > 0) {
    const uint32_t piece = std::min<uint32_t>(n, sizeof(scratch));
    in->get_bytes(scratch, piece);
    n -= piece;
  }
}

bool LASlayersIn::load(ByteStreamIn* in) {
  uint64_t total = 0;
  for (uint32_t i = 0; i < num_layers; i++) {
    if (layers[i].requested) total += layers[i].size;
  }
  if (total > max_chunk_layer_bytes) return false;
  uint64_t offset = 0;
  for (uint32_t i = 0; i < num_layers; i++) {
    LASlayerIn& layer = layers[i];
    layer.present = false;
    if (!layer.requested) {
      skip(in, layer.size);
    } else if (layer.size > 0) {
      if (!read_into(in, offset, layer.size, total)) return false;
      layer.offset = offset;
      layer.present = true;
      offset += layer.size;
    }
  }
  // The buffer has its final place only now: the streams point into it.
  for (uint32_t i = 0; i < num_layers; i++) {
    LASlayerIn& layer = layers[i];
    if (layer.present) {
      // Decoded straight from the buffer: no call per code byte.
      layer.dec.init(buffer + layer.offset, layer.size, nullptr);
    } else {
      // Attached to nothing: a decode from it ends in the end-of-data
      // exception instead of reading another chunk's bytes.
      (void)layer.stream.init(nullptr, 0);
      (void)layer.dec.init(&layer.stream, false);
    }
  }
  return true;
}
