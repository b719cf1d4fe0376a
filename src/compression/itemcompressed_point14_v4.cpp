#include "compression/itemcompressed_point14_v4.h"

LASwriteItemCompressed_POINT14_v4::LASwriteItemCompressed_POINT14_v4(ArithEncoder* enc)
    : LASwriteItemCompressed_POINT14_v3(enc, true) {}

LASreadItemCompressed_POINT14_v4::LASreadItemCompressed_POINT14_v4(ArithDecoder* dec, uint32_t decompress_selective)
    : LASreadItemCompressed_POINT14_v3(dec, decompress_selective, true) {}
