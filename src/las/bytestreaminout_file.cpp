#include "las/bytestreaminout_file.h"

#include <sys/types.h>

bool ByteStreamInOutFileLE::is_seekable() const {
  return ByteStreamInFileLE::is_seekable() && ByteStreamOutFileLE::is_seekable();
}

int64_t ByteStreamInOutFileLE::tell() const {
  return ByteStreamInFileLE::tell();
}

bool ByteStreamInOutFileLE::seek(int64_t position) {
  return fseeko(ByteStreamInFileLE::file, static_cast<off_t>(position), SEEK_SET) == 0;
}

bool ByteStreamInOutFileLE::seek_end(int64_t distance) {
  return ByteStreamInFileLE::seek_end(distance);
}

bool ByteStreamInOutFileLE::seek_end() {
  return ByteStreamOutFileLE::seek_end();
}
