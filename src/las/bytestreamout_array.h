#ifndef TIECHECK_LAS_BYTESTREAMOUT_ARRAY_H
#define TIECHECK_LAS_BYTESTREAMOUT_ARRAY_H

#include <cstdint>

#include "las/bytestreamout.h"

// Output into a growable memory buffer owned by the stream until take_data().
// The buffer grows with realloc in steps of 4096 bytes beyond what is needed
// and stays below 4 GiB (max_array_bytes).
//
// When the buffer cannot grow (realloc fails or the cap would be passed), the
// write returns false and the stream is marked failed: the bytes written
// before stay readable through get_data(), and every later write returns false
// so that no write after a lost one can look successful.
class ByteStreamOutArray : public ByteStreamOut {
 public:
  static constexpr int64_t max_array_bytes = 0xFFFFFFFF;
  static constexpr int64_t array_growth_bytes = 4096;

  // Allocates alloc bytes up front (4096 where there is no better estimate).
  explicit ByteStreamOutArray(int64_t alloc = 4096);
  ~ByteStreamOutArray() override;

  bool put_byte(uint8_t byte) override;
  bool put_bytes(const uint8_t* bytes, uint32_t num_bytes) override;
  bool is_seekable() const override { return true; }
  int64_t tell() const override { return curr; }
  // Fails for a position outside 0..get_size(); rewriting inside the written
  // part is allowed and leaves get_size() unchanged.
  bool seek(int64_t position) override;
  // Moves to get_size().
  bool seek_end() override;

  const uint8_t* get_data() const { return data; }
  // Bytes written: the highest position ever reached.
  int64_t get_size() const { return size; }
  // True once a write could not grow the buffer.
  bool has_failed() const { return failed; }
  // Hands the buffer (allocated with malloc; free it with free) to the caller;
  // the stream forgets it and starts again empty.
  [[nodiscard]] uint8_t* take_data();

 protected:
  // Reallocates to new_alloc bytes; false (and failed) when it cannot.
  bool grow_to(int64_t new_alloc);

  uint8_t* data = nullptr;
  int64_t alloc = 0;
  int64_t curr = 0;
  int64_t size = 0;
  bool failed = false;
};

// Memory whose little-endian writes copy the host bytes.
class ByteStreamOutArrayLE : public ByteStreamOutArray {
 public:
  explicit ByteStreamOutArrayLE(int64_t alloc = 4096) : ByteStreamOutArray(alloc) {}

  bool put_16bits_le(const uint8_t* bytes) override;
  bool put_32bits_le(const uint8_t* bytes) override;
  bool put_64bits_le(const uint8_t* bytes) override;
  bool put_16bits_be(const uint8_t* bytes) override;
  bool put_32bits_be(const uint8_t* bytes) override;
  bool put_64bits_be(const uint8_t* bytes) override;

 private:
  uint8_t swapped[8] = {};
};

#endif
