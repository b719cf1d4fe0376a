#include "las/bytestreamout_array.h"

#include <cstdlib>
#include <cstring>

ByteStreamOutArray::ByteStreamOutArray(int64_t alloc) {
  if (alloc > 0 && alloc <= max_array_bytes) {
    data = static_cast<uint8_t*>(malloc(static_cast<size_t>(alloc)));
    if (data) this->alloc = alloc;
  }
}

ByteStreamOutArray::~ByteStreamOutArray() {
  free(data);
}

bool ByteStreamOutArray::grow_to(int64_t new_alloc) {
  if (new_alloc > max_array_bytes) {
    failed = true;
    return false;
  }
  uint8_t* grown = static_cast<uint8_t*>(realloc(data, static_cast<size_t>(new_alloc)));
  if (!grown) {
    failed = true;
    return false;
  }
  data = grown;
  alloc = new_alloc;
  return true;
}

bool ByteStreamOutArray::put_byte(uint8_t byte) {
  if (failed) return false;
  if (curr == alloc && !grow_to(alloc + array_growth_bytes)) return false;
  data[curr++] = byte;
  if (curr > size) size = curr;
  return true;
}

bool ByteStreamOutArray::put_bytes(const uint8_t* bytes, uint32_t num_bytes) {
  if (failed) return false;
  if (num_bytes == 0) return true;
  if (alloc < curr + num_bytes && !grow_to(alloc + num_bytes + array_growth_bytes)) return false;
  memcpy(data + curr, bytes, num_bytes);
  curr += num_bytes;
  if (curr > size) size = curr;
  return true;
}

bool ByteStreamOutArray::seek(int64_t position) {
  if (position < 0 || position > size) return false;
  curr = position;
  return true;
}

bool ByteStreamOutArray::seek_end() {
  curr = size;
  return true;
}

uint8_t* ByteStreamOutArray::take_data() {
  uint8_t* taken = data;
  data = nullptr;
  alloc = 0;
  curr = 0;
  size = 0;
  return taken;
}

namespace {

bool put_reversed(ByteStreamOut* stream, uint8_t* scratch, const uint8_t* bytes, uint32_t n) {
  for (uint32_t i = 0; i < n; i++) scratch[i] = bytes[n - 1 - i];
  return stream->put_bytes(scratch, n);
}

}  // namespace

bool ByteStreamOutArrayLE::put_16bits_le(const uint8_t* bytes) { return put_bytes(bytes, 2); }
bool ByteStreamOutArrayLE::put_32bits_le(const uint8_t* bytes) { return put_bytes(bytes, 4); }
bool ByteStreamOutArrayLE::put_64bits_le(const uint8_t* bytes) { return put_bytes(bytes, 8); }
bool ByteStreamOutArrayLE::put_16bits_be(const uint8_t* bytes) { return put_reversed(this, swapped, bytes, 2); }
bool ByteStreamOutArrayLE::put_32bits_be(const uint8_t* bytes) { return put_reversed(this, swapped, bytes, 4); }
bool ByteStreamOutArrayLE::put_64bits_be(const uint8_t* bytes) { return put_reversed(this, swapped, bytes, 8); }
