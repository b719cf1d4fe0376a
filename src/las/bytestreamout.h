#ifndef TIECHECK_LAS_BYTESTREAMOUT_H
#define TIECHECK_LAS_BYTESTREAMOUT_H

#include <cstdint>

// Abstract byte output. Writes never throw; each returns whether all of its
// bytes were written, and the caller reports a false result.
//
// The "_le" writes store a host value little-endian, the "_be" writes store it
// big-endian.
class ByteStreamOut {
 public:
  ByteStreamOut() = default;
  ByteStreamOut(const ByteStreamOut&) = delete;
  ByteStreamOut& operator=(const ByteStreamOut&) = delete;

  [[nodiscard]] virtual bool put_byte(uint8_t byte) = 0;
  [[nodiscard]] virtual bool put_bytes(const uint8_t* bytes, uint32_t num_bytes) = 0;
  [[nodiscard]] virtual bool put_16bits_le(const uint8_t* bytes) = 0;
  [[nodiscard]] virtual bool put_32bits_le(const uint8_t* bytes) = 0;
  [[nodiscard]] virtual bool put_64bits_le(const uint8_t* bytes) = 0;
  [[nodiscard]] virtual bool put_16bits_be(const uint8_t* bytes) = 0;
  [[nodiscard]] virtual bool put_32bits_be(const uint8_t* bytes) = 0;
  [[nodiscard]] virtual bool put_64bits_be(const uint8_t* bytes) = 0;
  [[nodiscard]] virtual bool is_seekable() const = 0;
  [[nodiscard]] virtual int64_t tell() const = 0;
  [[nodiscard]] virtual bool seek(int64_t position) = 0;
  // Moves to the end.
  [[nodiscard]] virtual bool seek_end() = 0;
  virtual ~ByteStreamOut() = default;

  // Appends the low num_bits bits of value (at most 32) above the bits already
  // buffered, least significant first. Whenever 32 or more bits are buffered
  // their low 32 bits go out through put_32bits_le, whose result is returned.
  // A partly filled buffer is never flushed by the stream: flushing it (with
  // padding) is up to the caller. More than 32 bits at once return false.
  [[nodiscard]] bool put_bits(uint32_t value, uint32_t num_bits);

 protected:
  uint64_t bit_buffer = 0;
  uint32_t num_buffer = 0;
};

#endif
