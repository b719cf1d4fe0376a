#include "compression/lasreaditemraw.h"

#include "las/bytestreamin.h"
#include "las/laspoint.h"

void LASreadItemRaw_BYTE::read(uint8_t* item, uint32_t&) { instream->get_bytes(item, number); }

void LASreadItemRaw_POINT10_LE::read(uint8_t* item, uint32_t&) { instream->get_bytes(item, 20); }

void LASreadItemRaw_GPSTIME11_LE::read(uint8_t* item, uint32_t&) { instream->get_bytes(item, 8); }

void LASreadItemRaw_RGB12_LE::read(uint8_t* item, uint32_t&) { instream->get_bytes(item, 6); }

void LASreadItemRaw_WAVEPACKET13_LE::read(uint8_t* item, uint32_t&) { instream->get_bytes(item, 29); }

void LASreadItemRaw_RGBNIR14_LE::read(uint8_t* item, uint32_t&) { instream->get_bytes(item, 8); }

void LASreadItemRaw_POINT14_LE::read(uint8_t* item, uint32_t&) {
  instream->get_bytes(buffer, 30);
  reinterpret_cast<LASpointcore*>(item)->read_point14(buffer);
}

std::unique_ptr<LASreadItemRaw> make_raw_item_reader(const LASitem& item) {
  switch (item.type) {
    case LASitem::BYTE:
    case LASitem::BYTE14:
      return std::make_unique<LASreadItemRaw_BYTE>(item.size);
    case LASitem::POINT10:
      return std::make_unique<LASreadItemRaw_POINT10_LE>();
    case LASitem::GPSTIME11:
      return std::make_unique<LASreadItemRaw_GPSTIME11_LE>();
    case LASitem::RGB12:
    case LASitem::RGB14:
      return std::make_unique<LASreadItemRaw_RGB12_LE>();
    case LASitem::WAVEPACKET13:
    case LASitem::WAVEPACKET14:
      return std::make_unique<LASreadItemRaw_WAVEPACKET13_LE>();
    case LASitem::RGBNIR14:
      return std::make_unique<LASreadItemRaw_RGBNIR14_LE>();
    case LASitem::POINT14:
      return std::make_unique<LASreadItemRaw_POINT14_LE>();
  }
  return nullptr;
}

