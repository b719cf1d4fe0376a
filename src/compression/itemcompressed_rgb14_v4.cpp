#include "compression/itemcompressed_rgb14_v4.h"

LASwriteItemCompressed_RGB14_v4::LASwriteItemCompressed_RGB14_v4(ArithEncoder* enc)
    : LASwriteItemCompressed_RGB14_v3(enc, true) {}

LASreadItemCompressed_RGB14_v4::LASreadItemCompressed_RGB14_v4(ArithDecoder* dec, uint32_t decompress_selective)
    : LASreadItemCompressed_RGB14_v3(dec, decompress_selective, true) {}
