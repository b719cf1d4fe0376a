#include "las/lasitem.h"

#include <cstdio>

namespace {

// Core items of each point data format, in record order.
struct FormatItems {
  uint16_t base_size;
  int count;
  LASitem::Type types[4];
};

const FormatItems kFormats[11] = {
    {20, 1, {LASitem::POINT10}},
    {28, 2, {LASitem::POINT10, LASitem::GPSTIME11}},
    {26, 2, {LASitem::POINT10, LASitem::RGB12}},
    {34, 3, {LASitem::POINT10, LASitem::GPSTIME11, LASitem::RGB12}},
    {57, 3, {LASitem::POINT10, LASitem::GPSTIME11, LASitem::WAVEPACKET13}},
    {63, 4, {LASitem::POINT10, LASitem::GPSTIME11, LASitem::RGB12, LASitem::WAVEPACKET13}},
    {30, 1, {LASitem::POINT14}},
    {36, 2, {LASitem::POINT14, LASitem::RGB14}},
    {38, 2, {LASitem::POINT14, LASitem::RGBNIR14}},
    {59, 2, {LASitem::POINT14, LASitem::WAVEPACKET14}},
    {67, 3, {LASitem::POINT14, LASitem::RGBNIR14, LASitem::WAVEPACKET14}},
};

}  // namespace

const char* LASitem::type_name(uint32_t type) {
  switch (type) {
    case BYTE: return "BYTE";
    case POINT10: return "POINT10";
    case GPSTIME11: return "GPSTIME11";
    case RGB12: return "RGB12";
    case WAVEPACKET13: return "WAVEPACKET13";
    case POINT14: return "POINT14";
    case RGB14: return "RGB14";
    case RGBNIR14: return "RGBNIR14";
    case WAVEPACKET14: return "WAVEPACKET14";
    case BYTE14: return "BYTE14";
    default: return "UNKNOWN";
  }
}

bool LASitem::is_known_type(uint32_t type) {
  return type == BYTE || (type >= POINT10 && type <= BYTE14);
}

uint16_t LASitem::fixed_size(uint32_t type) {
  switch (type) {
    case POINT10: return 20;
    case GPSTIME11: return 8;
    case RGB12: return 6;
    case WAVEPACKET13: return 29;
    case POINT14: return 30;
    case RGB14: return 6;
    case RGBNIR14: return 8;
    case WAVEPACKET14: return 29;
    default: return 0;
  }
}

uint16_t LASitem::base_size(uint8_t point_type) {
  return point_type <= 10 ? kFormats[point_type].base_size : 0;
}

bool LASitem::items_of_point_type(uint8_t point_type, uint16_t point_size, std::vector<LASitem>& items) {
  items.clear();
  if (point_type > 10) return false;
  const FormatItems& format = kFormats[point_type];
  int extra_bytes = static_cast<int>(point_size) - format.base_size;
  if (extra_bytes < 0) {
    fprintf(stderr, "WARNING: point size %d too small by %d bytes for point type %d. assuming point_size of %d\n",
            point_size, -extra_bytes, point_type, format.base_size);
    extra_bytes = 0;
  }
  for (int i = 0; i < format.count; i++) items.emplace_back(format.types[i], fixed_size(format.types[i]));
  if (extra_bytes > 0) items.emplace_back(point_type <= 5 ? BYTE : BYTE14, static_cast<uint16_t>(extra_bytes));
  return true;
}
