#include "las/bytestreamin.h"

// Every "copy" operation of the LE classes assumes that the host stores
// multi-byte values least significant byte first.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "byte streams assume a little-endian host");

bool ByteStreamIn::skip_bytes(uint32_t num_bytes) {
  return seek(tell() + num_bytes);
}
