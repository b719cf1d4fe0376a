#include "las/bytestreamout_file.h"

#include <sys/types.h>

bool ByteStreamOutFile::put_byte(uint8_t byte) {
  return fputc(byte, file) == byte;
}

bool ByteStreamOutFile::put_bytes(const uint8_t* bytes, uint32_t num_bytes) {
  if (num_bytes == 0) return true;
  return fwrite(bytes, 1, num_bytes, file) == num_bytes;
}

bool ByteStreamOutFile::is_seekable() const {
  return file != stdout;
}

int64_t ByteStreamOutFile::tell() const {
  return static_cast<int64_t>(ftello(file));
}

bool ByteStreamOutFile::seek(int64_t position) {
  return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
}

bool ByteStreamOutFile::seek_end() {
  return fseeko(file, 0, SEEK_END) == 0;
}

namespace {

bool put_reversed(ByteStreamOut* stream, uint8_t* scratch, const uint8_t* bytes, uint32_t n) {
  for (uint32_t i = 0; i < n; i++) scratch[i] = bytes[n - 1 - i];
  return stream->put_bytes(scratch, n);
}

}  // namespace

bool ByteStreamOutFileLE::put_16bits_le(const uint8_t* bytes) { return put_bytes(bytes, 2); }
bool ByteStreamOutFileLE::put_32bits_le(const uint8_t* bytes) { return put_bytes(bytes, 4); }
bool ByteStreamOutFileLE::put_64bits_le(const uint8_t* bytes) { return put_bytes(bytes, 8); }
bool ByteStreamOutFileLE::put_16bits_be(const uint8_t* bytes) { return put_reversed(this, swapped, bytes, 2); }
bool ByteStreamOutFileLE::put_32bits_be(const uint8_t* bytes) { return put_reversed(this, swapped, bytes, 4); }
bool ByteStreamOutFileLE::put_64bits_be(const uint8_t* bytes) { return put_reversed(this, swapped, bytes, 8); }
