#ifndef TIECHECK_LAS_BYTESTREAMIN_ARRAY_H
#define TIECHECK_LAS_BYTESTREAMIN_ARRAY_H

#include <cstdint>

#include "las/bytestreamin.h"

// Input from a memory block owned by the caller, which must outlive the stream.
class ByteStreamInArray : public ByteStreamIn {
 public:
  ByteStreamInArray() = default;
  ByteStreamInArray(const uint8_t* data, int64_t size) { (void)init(data, size); }

  // Attaches a block and rewinds to 0. A null data pointer gives size 0.
  // Returns false (and attaches nothing) for a negative size.
  [[nodiscard]] bool init(const uint8_t* data, int64_t size);

  // Throws byte_stream_end_of_data at position == size.
  uint32_t get_byte() override;
  // Throws byte_stream_end_of_data, copying nothing, if fewer than num_bytes remain.
  void get_bytes(uint8_t* bytes, uint32_t num_bytes) override;
  bool is_seekable() const override { return true; }
  int64_t tell() const override { return curr; }
  // Fails for a position outside 0..size.
  bool seek(int64_t position) override;
  // Fails for a distance outside 0..size.
  bool seek_end(int64_t distance = 0) override;

 protected:
  const uint8_t* data = nullptr;
  int64_t size = 0;
  int64_t curr = 0;
};

// Memory whose little-endian reads copy the bytes as stored.
class ByteStreamInArrayLE : public ByteStreamInArray {
 public:
  ByteStreamInArrayLE() = default;
  ByteStreamInArrayLE(const uint8_t* data, int64_t size) : ByteStreamInArray(data, size) {}

  void get_16bits_le(uint8_t* bytes) override;
  void get_32bits_le(uint8_t* bytes) override;
  void get_64bits_le(uint8_t* bytes) override;
  void get_16bits_be(uint8_t* bytes) override;
  void get_32bits_be(uint8_t* bytes) override;
  void get_64bits_be(uint8_t* bytes) override;

 private:
  uint8_t swapped[8] = {};
};

#endif
