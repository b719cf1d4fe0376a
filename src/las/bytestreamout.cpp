#include "las/bytestreamout.h"

bool ByteStreamOut::put_bits(uint32_t value, uint32_t num_bits) {
  if (num_bits > 32) return false;
  if (num_bits == 0) return true;
  uint64_t bits = value;
  if (num_bits < 32) bits &= (uint64_t{1} << num_bits) - 1;
  // At most 31 bits are buffered on entry, so 31 + 32 bits fit in 64.
  bit_buffer |= bits << num_buffer;
  num_buffer += num_bits;
  if (num_buffer < 32) return true;
  uint32_t word = static_cast<uint32_t>(bit_buffer);
  bit_buffer >>= 32;
  num_buffer -= 32;
  return put_32bits_le(reinterpret_cast<const uint8_t*>(&word));
}
