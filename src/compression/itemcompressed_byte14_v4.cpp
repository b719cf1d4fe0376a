#include "compression/itemcompressed_byte14_v4.h"

LASwriteItemCompressed_BYTE14_v4::LASwriteItemCompressed_BYTE14_v4(ArithEncoder* enc, uint32_t number)
    : LASwriteItemCompressed_BYTE14_v3(enc, number, true) {}

LASreadItemCompressed_BYTE14_v4::LASreadItemCompressed_BYTE14_v4(ArithDecoder* dec, uint32_t number,
                                                                 uint32_t decompress_selective)
    : LASreadItemCompressed_BYTE14_v3(dec, number, decompress_selective, true) {}
