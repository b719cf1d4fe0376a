#include "compression/laswriteitemraw.h"

#include "las/bytestreamout.h"
#include "las/laspoint.h"

bool LASwriteItemRaw_BYTE::write(const uint8_t* item, uint32_t&) { return outstream->put_bytes(item, number); }

bool LASwriteItemRaw_POINT10_LE::write(const uint8_t* item, uint32_t&) { return outstream->put_bytes(item, 20); }

bool LASwriteItemRaw_GPSTIME11_LE::write(const uint8_t* item, uint32_t&) { return outstream->put_bytes(item, 8); }

bool LASwriteItemRaw_RGB12_LE::write(const uint8_t* item, uint32_t&) { return outstream->put_bytes(item, 6); }

bool LASwriteItemRaw_WAVEPACKET13_LE::write(const uint8_t* item, uint32_t&) {
  return outstream->put_bytes(item, 29);
}

bool LASwriteItemRaw_RGBNIR14_LE::write(const uint8_t* item, uint32_t&) { return outstream->put_bytes(item, 8); }

bool LASwriteItemRaw_POINT14_LE::write(const uint8_t* item, uint32_t&) {
  reinterpret_cast<const LASpointcore*>(item)->write_point14(buffer);
  return outstream->put_bytes(buffer, 30);
}

std::unique_ptr<LASwriteItemRaw> make_raw_item_writer(const LASitem& item) {
  switch (item.type) {
    case LASitem::BYTE:
    case LASitem::BYTE14:
      return std::make_unique<LASwriteItemRaw_BYTE>(item.size);
    case LASitem::POINT10:
      return std::make_unique<LASwriteItemRaw_POINT10_LE>();
    case LASitem::GPSTIME11:
      return std::make_unique<LASwriteItemRaw_GPSTIME11_LE>();
    case LASitem::RGB12:
    case LASitem::RGB14:
      return std::make_unique<LASwriteItemRaw_RGB12_LE>();
    case LASitem::WAVEPACKET13:
    case LASitem::WAVEPACKET14:
      return std::make_unique<LASwriteItemRaw_WAVEPACKET13_LE>();
    case LASitem::RGBNIR14:
      return std::make_unique<LASwriteItemRaw_RGBNIR14_LE>();
    case LASitem::POINT14:
      return std::make_unique<LASwriteItemRaw_POINT14_LE>();
  }
  return nullptr;
}

