// The layered codecs of LAS 1.4 items by item and version, for the tests and
// the fuzz targets.
#ifndef TIECHECK_TESTS_COMPRESSION_LAYERED_CODECS_H
#define TIECHECK_TESTS_COMPRESSION_LAYERED_CODECS_H

#include <cstdint>

#include "compression/itemcompressed_byte14_v3.h"
#include "compression/itemcompressed_byte14_v4.h"
#include "compression/itemcompressed_point14_v3.h"
#include "compression/itemcompressed_point14_v4.h"
#include "compression/itemcompressed_rgb14_v3.h"
#include "compression/itemcompressed_rgb14_v4.h"
#include "compression/itemcompressed_rgbnir14_v3.h"
#include "compression/itemcompressed_rgbnir14_v4.h"
#include "compression/itemcompressed_wavepacket14_v3.h"
#include "compression/itemcompressed_wavepacket14_v4.h"
#include "las/lasitem.h"

namespace layered {

// The number of layers an item has in a chunk.
inline uint32_t number_of_layers(const LASitem& item) {
  switch (item.type) {
    case LASitem::POINT14:
      return 9;
    case LASitem::RGBNIR14:
      return 2;
    case LASitem::BYTE14:
      return item.size;
    default:
      return 1;
  }
}

// The codec of an item, for version 3 or 4 (null for an item without one).
inline LASwriteItemCompressed* make_writer(const LASitem& item, ArithEncoder* enc, int version) {
  switch (item.type) {
    case LASitem::POINT14:
      if (version == 4) return new LASwriteItemCompressed_POINT14_v4(enc);
      return new LASwriteItemCompressed_POINT14_v3(enc);
    case LASitem::RGB14:
      if (version == 4) return new LASwriteItemCompressed_RGB14_v4(enc);
      return new LASwriteItemCompressed_RGB14_v3(enc);
    case LASitem::RGBNIR14:
      if (version == 4) return new LASwriteItemCompressed_RGBNIR14_v4(enc);
      return new LASwriteItemCompressed_RGBNIR14_v3(enc);
    case LASitem::WAVEPACKET14:
      if (version == 4) return new LASwriteItemCompressed_WAVEPACKET14_v4(enc);
      return new LASwriteItemCompressed_WAVEPACKET14_v3(enc);
    case LASitem::BYTE14:
      if (version == 4) return new LASwriteItemCompressed_BYTE14_v4(enc, item.size);
      return new LASwriteItemCompressed_BYTE14_v3(enc, item.size);
    default:
      return nullptr;
  }
}

inline LASreadItemCompressed* make_reader(const LASitem& item, ArithDecoder* dec, int version, uint32_t selective) {
  switch (item.type) {
    case LASitem::POINT14:
      if (version == 4) return new LASreadItemCompressed_POINT14_v4(dec, selective);
      return new LASreadItemCompressed_POINT14_v3(dec, selective);
    case LASitem::RGB14:
      if (version == 4) return new LASreadItemCompressed_RGB14_v4(dec, selective);
      return new LASreadItemCompressed_RGB14_v3(dec, selective);
    case LASitem::RGBNIR14:
      if (version == 4) return new LASreadItemCompressed_RGBNIR14_v4(dec, selective);
      return new LASreadItemCompressed_RGBNIR14_v3(dec, selective);
    case LASitem::WAVEPACKET14:
      if (version == 4) return new LASreadItemCompressed_WAVEPACKET14_v4(dec, selective);
      return new LASreadItemCompressed_WAVEPACKET14_v3(dec, selective);
    case LASitem::BYTE14:
      if (version == 4) return new LASreadItemCompressed_BYTE14_v4(dec, item.size, selective);
      return new LASreadItemCompressed_BYTE14_v3(dec, item.size, selective);
    default:
      return nullptr;
  }
}

}  // namespace layered

#endif
