// WAVEPACKET14 codec, version 4: version 3 except that a switch back to a scanner
// channel already in use predicts from that channel's own last packet.
#ifndef TIECHECK_COMPRESSION_ITEMCOMPRESSED_WAVEPACKET14_V4_H
#define TIECHECK_COMPRESSION_ITEMCOMPRESSED_WAVEPACKET14_V4_H

#include <cstdint>

#include "compression/itemcompressed_wavepacket14_v3.h"

class LASwriteItemCompressed_WAVEPACKET14_v4 : public LASwriteItemCompressed_WAVEPACKET14_v3 {
 public:
  explicit LASwriteItemCompressed_WAVEPACKET14_v4(ArithEncoder* enc);
};

class LASreadItemCompressed_WAVEPACKET14_v4 : public LASreadItemCompressed_WAVEPACKET14_v3 {
 public:
  LASreadItemCompressed_WAVEPACKET14_v4(ArithDecoder* dec, uint32_t decompress_selective);
};

#endif
