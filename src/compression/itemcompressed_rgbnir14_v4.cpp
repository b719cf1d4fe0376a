#include "compression/itemcompressed_rgbnir14_v4.h"

LASwriteItemCompressed_RGBNIR14_v4::LASwriteItemCompressed_RGBNIR14_v4(ArithEncoder* enc)
    : LASwriteItemCompressed_RGBNIR14_v3(enc, true) {}

LASreadItemCompressed_RGBNIR14_v4::LASreadItemCompressed_RGBNIR14_v4(ArithDecoder* dec, uint32_t decompress_selective)
    : LASreadItemCompressed_RGBNIR14_v3(dec, decompress_selective, true) {}
