#include "compression/itemcompressed_byte_v1.h"

#include <cstring>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"

LASwriteItemCompressed_BYTE_v1::LASwriteItemCompressed_BYTE_v1(ArithEncoder* enc, uint32_t number)
    : number(number), last_item(number), ic_byte(enc, 8, number ? number : 1, 8, 0) {}

LASwriteItemCompressed_BYTE_v1::~LASwriteItemCompressed_BYTE_v1() = default;

bool LASwriteItemCompressed_BYTE_v1::init(const uint8_t* item, uint32_t& /*context*/) {
  ic_byte.init_encoding();
  if (number) memcpy(last_item.data(), item, number);
  return true;
}

bool LASwriteItemCompressed_BYTE_v1::write(const uint8_t* item, uint32_t& /*context*/) {
  for (uint32_t i = 0; i < number; i++) {
    ic_byte.compress(last_item[i], item[i], i);
    last_item[i] = item[i];
  }
  return true;
}

LASreadItemCompressed_BYTE_v1::LASreadItemCompressed_BYTE_v1(ArithDecoder* dec, uint32_t number)
    : number(number), last_item(number), ic_byte(dec, 8, number ? number : 1, 8, 0) {}

LASreadItemCompressed_BYTE_v1::~LASreadItemCompressed_BYTE_v1() = default;

bool LASreadItemCompressed_BYTE_v1::init(const uint8_t* item, uint32_t& /*context*/) {
  ic_byte.init_decoding();
  if (number) memcpy(last_item.data(), item, number);
  return true;
}

void LASreadItemCompressed_BYTE_v1::read(uint8_t* item, uint32_t& /*context*/) {
  for (uint32_t i = 0; i < number; i++) {
    last_item[i] = static_cast<uint8_t>(ic_byte.decompress(last_item[i], i));
  }
  if (number) memcpy(item, last_item.data(), number);
}
