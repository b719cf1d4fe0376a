// BYTE14 codec, version 4: version 3 except that a switch back to a scanner
// channel already in use predicts from that channel's own last bytes.
#ifndef TIECHECK_COMPRESSION_ITEMCOMPRESSED_BYTE14_V4_H
#define TIECHECK_COMPRESSION_ITEMCOMPRESSED_BYTE14_V4_H

#include <cstdint>

#include "compression/itemcompressed_byte14_v3.h"

class LASwriteItemCompressed_BYTE14_v4 : public LASwriteItemCompressed_BYTE14_v3 {
 public:
  LASwriteItemCompressed_BYTE14_v4(ArithEncoder* enc, uint32_t number);
};

class LASreadItemCompressed_BYTE14_v4 : public LASreadItemCompressed_BYTE14_v3 {
 public:
  LASreadItemCompressed_BYTE14_v4(ArithDecoder* dec, uint32_t number, uint32_t decompress_selective);
};

#endif
