#ifndef TIECHECK_LAS_BYTESTREAMOUT_FILE_H
#define TIECHECK_LAS_BYTESTREAMOUT_FILE_H

#include <cstdint>
#include <cstdio>

#include "las/bytestreamout.h"

// Output to a FILE* opened by the caller. The stream never closes the file.
class ByteStreamOutFile : public ByteStreamOut {
 public:
  explicit ByteStreamOutFile(FILE* file) : file(file) {}

  bool put_byte(uint8_t byte) override;
  bool put_bytes(const uint8_t* bytes, uint32_t num_bytes) override;
  // False for the process's standard output.
  bool is_seekable() const override;
  int64_t tell() const override;
  bool seek(int64_t position) override;
  bool seek_end() override;

 protected:
  FILE* file;
};

// File whose little-endian writes copy the host bytes.
class ByteStreamOutFileLE : public ByteStreamOutFile {
 public:
  explicit ByteStreamOutFileLE(FILE* file) : ByteStreamOutFile(file) {}

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
