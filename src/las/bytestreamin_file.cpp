#include "las/bytestreamin_file.h"

#include <sys/types.h>

static_assert(sizeof(off_t) == 8, "files beyond 2 GiB need a 64-bit off_t");

namespace {

// Reads n bytes into scratch and stores them reversed into bytes.
void get_reversed(ByteStreamIn* stream, uint8_t* scratch, uint8_t* bytes, uint32_t n) {
  stream->get_bytes(scratch, n);
  for (uint32_t i = 0; i < n; i++) bytes[i] = scratch[n - 1 - i];
}

}  // namespace

uint32_t ByteStreamInFile::get_byte() {
  int byte = getc(file);
  if (byte == EOF) throw byte_stream_end_of_data;
  return static_cast<uint32_t>(byte);
}

void ByteStreamInFile::get_bytes(uint8_t* bytes, uint32_t num_bytes) {
  if (num_bytes == 0) return;
  if (fread(bytes, 1, num_bytes, file) != num_bytes) throw byte_stream_end_of_data;
}

bool ByteStreamInFile::is_seekable() const {
  return file != stdin;
}

int64_t ByteStreamInFile::tell() const {
  return static_cast<int64_t>(ftello(file));
}

bool ByteStreamInFile::seek(int64_t position) {
  if (tell() == position) return true;
  return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
}

bool ByteStreamInFile::seek_end(int64_t distance) {
  return fseeko(file, static_cast<off_t>(-distance), SEEK_END) == 0;
}

void ByteStreamInFileLE::get_16bits_le(uint8_t* bytes) { get_bytes(bytes, 2); }
void ByteStreamInFileLE::get_32bits_le(uint8_t* bytes) { get_bytes(bytes, 4); }
void ByteStreamInFileLE::get_64bits_le(uint8_t* bytes) { get_bytes(bytes, 8); }
void ByteStreamInFileLE::get_16bits_be(uint8_t* bytes) { get_reversed(this, swapped, bytes, 2); }
void ByteStreamInFileLE::get_32bits_be(uint8_t* bytes) { get_reversed(this, swapped, bytes, 4); }
void ByteStreamInFileLE::get_64bits_be(uint8_t* bytes) { get_reversed(this, swapped, bytes, 8); }

void ByteStreamInFileBE::get_16bits_le(uint8_t* bytes) { get_reversed(this, swapped, bytes, 2); }
void ByteStreamInFileBE::get_32bits_le(uint8_t* bytes) { get_reversed(this, swapped, bytes, 4); }
void ByteStreamInFileBE::get_64bits_le(uint8_t* bytes) { get_reversed(this, swapped, bytes, 8); }
void ByteStreamInFileBE::get_16bits_be(uint8_t* bytes) { get_bytes(bytes, 2); }
void ByteStreamInFileBE::get_32bits_be(uint8_t* bytes) { get_bytes(bytes, 4); }
void ByteStreamInFileBE::get_64bits_be(uint8_t* bytes) { get_bytes(bytes, 8); }
