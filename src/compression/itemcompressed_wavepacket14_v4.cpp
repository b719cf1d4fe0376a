#include "compression/itemcompressed_wavepacket14_v4.h"

LASwriteItemCompressed_WAVEPACKET14_v4::LASwriteItemCompressed_WAVEPACKET14_v4(ArithEncoder* enc)
    : LASwriteItemCompressed_WAVEPACKET14_v3(enc, true) {}

LASreadItemCompressed_WAVEPACKET14_v4::LASreadItemCompressed_WAVEPACKET14_v4(ArithDecoder* dec, uint32_t decompress_selective)
    : LASreadItemCompressed_WAVEPACKET14_v3(dec, decompress_selective, true) {}
