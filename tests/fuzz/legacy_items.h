// The legacy item codecs by number, for the fuzz targets: a selector byte
// picks the item, its version and (for extra bytes) its size.
#ifndef TIECHECK_TESTS_FUZZ_LEGACY_ITEMS_H
#define TIECHECK_TESTS_FUZZ_LEGACY_ITEMS_H

#include <cstdint>
#include <memory>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/itemcompressed_byte_v1.h"
#include "compression/itemcompressed_byte_v2.h"
#include "compression/itemcompressed_gpstime11_v1.h"
#include "compression/itemcompressed_gpstime11_v2.h"
#include "compression/itemcompressed_point10_v1.h"
#include "compression/itemcompressed_point10_v2.h"
#include "compression/itemcompressed_rgb12_v1.h"
#include "compression/itemcompressed_rgb12_v2.h"
#include "compression/itemcompressed_wavepacket13_v1.h"

namespace legacy_items {

constexpr int kCodecs = 9;

struct Choice {
  int codec;          // 0..8
  uint32_t item_size;
};

inline Choice choose(uint8_t selector, uint8_t size_byte) {
  const int codec = selector % kCodecs;
  static constexpr uint32_t sizes[kCodecs] = {20, 20, 8, 8, 6, 6, 0, 0, 29};
  return {codec, sizes[codec] ? sizes[codec] : 1u + size_byte % 40};
}

inline std::unique_ptr<LASwriteItemCompressed> make_writer(const Choice& c, ArithEncoder* enc) {
  switch (c.codec) {
    case 0: return std::make_unique<LASwriteItemCompressed_POINT10_v1>(enc);
    case 1: return std::make_unique<LASwriteItemCompressed_POINT10_v2>(enc);
    case 2: return std::make_unique<LASwriteItemCompressed_GPSTIME11_v1>(enc);
    case 3: return std::make_unique<LASwriteItemCompressed_GPSTIME11_v2>(enc);
    case 4: return std::make_unique<LASwriteItemCompressed_RGB12_v1>(enc);
    case 5: return std::make_unique<LASwriteItemCompressed_RGB12_v2>(enc);
    case 6: return std::make_unique<LASwriteItemCompressed_BYTE_v1>(enc, c.item_size);
    case 7: return std::make_unique<LASwriteItemCompressed_BYTE_v2>(enc, c.item_size);
    default: return std::make_unique<LASwriteItemCompressed_WAVEPACKET13_v1>(enc);
  }
}

inline std::unique_ptr<LASreadItemCompressed> make_reader(const Choice& c, ArithDecoder* dec) {
  switch (c.codec) {
    case 0: return std::make_unique<LASreadItemCompressed_POINT10_v1>(dec);
    case 1: return std::make_unique<LASreadItemCompressed_POINT10_v2>(dec);
    case 2: return std::make_unique<LASreadItemCompressed_GPSTIME11_v1>(dec);
    case 3: return std::make_unique<LASreadItemCompressed_GPSTIME11_v2>(dec);
    case 4: return std::make_unique<LASreadItemCompressed_RGB12_v1>(dec);
    case 5: return std::make_unique<LASreadItemCompressed_RGB12_v2>(dec);
    case 6: return std::make_unique<LASreadItemCompressed_BYTE_v1>(dec, c.item_size);
    case 7: return std::make_unique<LASreadItemCompressed_BYTE_v2>(dec, c.item_size);
    default: return std::make_unique<LASreadItemCompressed_WAVEPACKET13_v1>(dec);
  }
}

}  // namespace legacy_items

#endif
