#ifndef TIECHECK_LAS_BYTESTREAMIN_FILE_H
#define TIECHECK_LAS_BYTESTREAMIN_FILE_H

#include <cstdint>
#include <cstdio>

#include "las/bytestreamin.h"

// Input from a FILE* opened by the caller. The stream never closes the file;
// buffering is left to the C library (callers may setvbuf a large buffer).
class ByteStreamInFile : public ByteStreamIn {
 public:
  explicit ByteStreamInFile(FILE* file) : file(file) {}

  // Throws byte_stream_end_of_data at the end of the file.
  uint32_t get_byte() override;
  // Throws byte_stream_end_of_data if fewer than num_bytes bytes arrive.
  void get_bytes(uint8_t* bytes, uint32_t num_bytes) override;
  // False for the process's standard input.
  bool is_seekable() const override;
  int64_t tell() const override;
  // True at once when already at the position (keeps the read buffer).
  bool seek(int64_t position) override;
  bool seek_end(int64_t distance = 0) override;

 protected:
  FILE* file;
};

// File whose little-endian reads copy the bytes as stored.
class ByteStreamInFileLE : public ByteStreamInFile {
 public:
  explicit ByteStreamInFileLE(FILE* file) : ByteStreamInFile(file) {}

  void get_16bits_le(uint8_t* bytes) override;
  void get_32bits_le(uint8_t* bytes) override;
  void get_64bits_le(uint8_t* bytes) override;
  void get_16bits_be(uint8_t* bytes) override;
  void get_32bits_be(uint8_t* bytes) override;
  void get_64bits_be(uint8_t* bytes) override;

 private:
  uint8_t swapped[8] = {};
};

// The mirror of ByteStreamInFileLE for big-endian sources: its little-endian
// reads reverse the bytes and its big-endian reads copy them, so a reader that
// only calls the "_le" operations gets host values from a big-endian file.
class ByteStreamInFileBE : public ByteStreamInFile {
 public:
  explicit ByteStreamInFileBE(FILE* file) : ByteStreamInFile(file) {}

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
