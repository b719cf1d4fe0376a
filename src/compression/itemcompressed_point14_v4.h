// POINT14 codec, version 4: version 3 except that the scanner channel is
// handed to the items that follow POINT14 at every point, so that they
// always code in the context of the point's own channel.
#ifndef TIECHECK_COMPRESSION_ITEMCOMPRESSED_POINT14_V4_H
#define TIECHECK_COMPRESSION_ITEMCOMPRESSED_POINT14_V4_H

#include <cstdint>

#include "compression/itemcompressed_point14_v3.h"

class LASwriteItemCompressed_POINT14_v4 : public LASwriteItemCompressed_POINT14_v3 {
 public:
  explicit LASwriteItemCompressed_POINT14_v4(ArithEncoder* enc);
};

class LASreadItemCompressed_POINT14_v4 : public LASreadItemCompressed_POINT14_v3 {
 public:
  LASreadItemCompressed_POINT14_v4(ArithDecoder* dec, uint32_t decompress_selective);
};

#endif
