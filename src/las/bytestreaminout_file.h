#ifndef TIECHECK_LAS_BYTESTREAMINOUT_FILE_H
#define TIECHECK_LAS_BYTESTREAMINOUT_FILE_H

#include <cstdint>
#include <cstdio>

#include "las/bytestreamin_file.h"
#include "las/bytestreamout_file.h"

// One FILE* opened for update (for example "rb+"), readable and writable
// through both interfaces, little-endian.
//
// C requires a seek between a read and a following write (and the other way
// round) on one FILE*; so seek() here always repositions, even when already
// at the requested position. Callers switch direction with a seek.
class ByteStreamInOutFileLE : public ByteStreamInFileLE, public ByteStreamOutFileLE {
 public:
  explicit ByteStreamInOutFileLE(FILE* file) : ByteStreamInFileLE(file), ByteStreamOutFileLE(file) {}

  // False for standard input and standard output.
  bool is_seekable() const override;
  int64_t tell() const override;
  bool seek(int64_t position) override;
  // Input side: to (end - distance).
  bool seek_end(int64_t distance) override;
  // Output side: to the end.
  bool seek_end() override;
};

#endif
