#include "compression/itemcompressed_byte_v2.h"

#include <cstring>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/arithmodel.h"
#include "compression/itemcompressed_helpers.h"

LASwriteItemCompressed_BYTE_v2::LASwriteItemCompressed_BYTE_v2(ArithEncoder* enc, uint32_t number)
    : enc(enc), number(number), last_item(number) {
  m_byte.resize(number);
  for (auto& m : m_byte) m.reset(enc->create_symbol_model(256));
}

LASwriteItemCompressed_BYTE_v2::~LASwriteItemCompressed_BYTE_v2() = default;

bool LASwriteItemCompressed_BYTE_v2::init(const uint8_t* item, uint32_t& /*context*/) {
  for (auto& m : m_byte) enc->init_symbol_model(*m);
  if (number) memcpy(last_item.data(), item, number);
  return true;
}

bool LASwriteItemCompressed_BYTE_v2::write(const uint8_t* item, uint32_t& /*context*/) {
  for (uint32_t i = 0; i < number; i++) {
    enc->encode_symbol(*m_byte[i], u8_fold(item[i] - last_item[i]));
    last_item[i] = item[i];
  }
  return true;
}

LASreadItemCompressed_BYTE_v2::LASreadItemCompressed_BYTE_v2(ArithDecoder* dec, uint32_t number)
    : dec(dec), number(number), last_item(number) {
  m_byte.resize(number);
  for (auto& m : m_byte) m.reset(dec->create_symbol_model(256));
}

LASreadItemCompressed_BYTE_v2::~LASreadItemCompressed_BYTE_v2() = default;

bool LASreadItemCompressed_BYTE_v2::init(const uint8_t* item, uint32_t& /*context*/) {
  for (auto& m : m_byte) dec->init_symbol_model(*m);
  if (number) memcpy(last_item.data(), item, number);
  return true;
}

void LASreadItemCompressed_BYTE_v2::read(uint8_t* item, uint32_t& /*context*/) {
  for (uint32_t i = 0; i < number; i++) {
    last_item[i] = u8_fold(static_cast<int32_t>(dec->decode_symbol(*m_byte[i])) + last_item[i]);
  }
  if (number) memcpy(item, last_item.data(), number);
}
