#ifndef TIECHECK_LAS_BYTESTREAMOUT_NIL_H
#define TIECHECK_LAS_BYTESTREAMOUT_NIL_H

#include <cstdint>

#include "las/bytestreamout.h"

// Discards everything and only counts bytes, so that a complete write can be
// run to learn its size. Every operation succeeds; seeking changes nothing.
class ByteStreamOutNil : public ByteStreamOut {
 public:
  ByteStreamOutNil() = default;

  bool put_byte(uint8_t) override { num_bytes++; return true; }
  bool put_bytes(const uint8_t*, uint32_t n) override { num_bytes += n; return true; }
  bool put_16bits_le(const uint8_t*) override { num_bytes += 2; return true; }
  bool put_32bits_le(const uint8_t*) override { num_bytes += 4; return true; }
  bool put_64bits_le(const uint8_t*) override { num_bytes += 8; return true; }
  bool put_16bits_be(const uint8_t*) override { num_bytes += 2; return true; }
  bool put_32bits_be(const uint8_t*) override { num_bytes += 4; return true; }
  bool put_64bits_be(const uint8_t*) override { num_bytes += 8; return true; }
  bool is_seekable() const override { return true; }
  // The number of bytes counted so far.
  int64_t tell() const override { return num_bytes; }
  bool seek(int64_t) override { return true; }
  bool seek_end() override { return true; }

 private:
  int64_t num_bytes = 0;
};

#endif
