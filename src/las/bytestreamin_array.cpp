#include "las/bytestreamin_array.h"

#include <cstring>

bool ByteStreamInArray::init(const uint8_t* data, int64_t size) {
  if (size < 0) return false;
  this->data = data;
  this->size = data ? size : 0;
  curr = 0;
  return true;
}

uint32_t ByteStreamInArray::get_byte() {
  if (curr >= size) throw byte_stream_end_of_data;
  return data[curr++];
}

void ByteStreamInArray::get_bytes(uint8_t* bytes, uint32_t num_bytes) {
  if (num_bytes > size - curr) throw byte_stream_end_of_data;
  if (num_bytes == 0) return;
  memcpy(bytes, data + curr, num_bytes);
  curr += num_bytes;
}

bool ByteStreamInArray::seek(int64_t position) {
  if (position < 0 || position > size) return false;
  curr = position;
  return true;
}

bool ByteStreamInArray::seek_end(int64_t distance) {
  if (distance < 0 || distance > size) return false;
  curr = size - distance;
  return true;
}

namespace {

void reverse_into(const uint8_t* scratch, uint8_t* bytes, uint32_t n) {
  for (uint32_t i = 0; i < n; i++) bytes[i] = scratch[n - 1 - i];
}

}  // namespace

void ByteStreamInArrayLE::get_16bits_le(uint8_t* bytes) { get_bytes(bytes, 2); }
void ByteStreamInArrayLE::get_32bits_le(uint8_t* bytes) { get_bytes(bytes, 4); }
void ByteStreamInArrayLE::get_64bits_le(uint8_t* bytes) { get_bytes(bytes, 8); }

void ByteStreamInArrayLE::get_16bits_be(uint8_t* bytes) {
  get_bytes(swapped, 2);
  reverse_into(swapped, bytes, 2);
}

void ByteStreamInArrayLE::get_32bits_be(uint8_t* bytes) {
  get_bytes(swapped, 4);
  reverse_into(swapped, bytes, 4);
}

void ByteStreamInArrayLE::get_64bits_be(uint8_t* bytes) {
  get_bytes(swapped, 8);
  reverse_into(swapped, bytes, 8);
}
