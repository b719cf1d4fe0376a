#ifndef TIECHECK_LAS_BYTESTREAMIN_H
#define TIECHECK_LAS_BYTESTREAMIN_H

#include <cstdint>

// Thrown as an int by every read that runs out of data.
constexpr int byte_stream_end_of_data = -1;

// Abstract byte input. Reads either deliver exactly what was asked for or throw
// byte_stream_end_of_data (the destination may then hold part of the bytes).
//
// The "_le" reads deliver a little-endian field of the source in host order,
// the "_be" reads a big-endian one. Which of them copy and which reverse is
// decided by the concrete class (its LE or BE suffix names the byte order the
// "_le" reads find in the data).
class ByteStreamIn {
 public:
  ByteStreamIn() = default;
  ByteStreamIn(const ByteStreamIn&) = delete;
  ByteStreamIn& operator=(const ByteStreamIn&) = delete;

  // Next byte, 0..255.
  virtual uint32_t get_byte() = 0;
  // Exactly num_bytes bytes; 0 bytes succeed even at the end of data.
  virtual void get_bytes(uint8_t* bytes, uint32_t num_bytes) = 0;
  virtual void get_16bits_le(uint8_t* bytes) = 0;
  virtual void get_32bits_le(uint8_t* bytes) = 0;
  virtual void get_64bits_le(uint8_t* bytes) = 0;
  virtual void get_16bits_be(uint8_t* bytes) = 0;
  virtual void get_32bits_be(uint8_t* bytes) = 0;
  virtual void get_64bits_be(uint8_t* bytes) = 0;
  [[nodiscard]] virtual bool is_seekable() const = 0;
  [[nodiscard]] virtual int64_t tell() const = 0;
  // Moves to an absolute position.
  [[nodiscard]] virtual bool seek(int64_t position) = 0;
  // Moves to (end - distance).
  [[nodiscard]] virtual bool seek_end(int64_t distance = 0) = 0;
  // Seeks to tell() + num_bytes (so it fails on streams that cannot seek).
  [[nodiscard]] virtual bool skip_bytes(uint32_t num_bytes);
  virtual ~ByteStreamIn() = default;

 protected:
  uint64_t bit_buffer = 0;
  uint32_t num_buffer = 0;
};

#endif
