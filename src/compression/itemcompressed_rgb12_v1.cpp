#include "compression/itemcompressed_rgb12_v1.h"

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/arithmodel.h"
#include "compression/itemcompressed_helpers.h"

// The six bytes in the order red lo, red hi, green lo, green hi, blue lo,
// blue hi: bit i of the changed-bytes symbol and context i of the coder.
namespace {

inline int32_t byte_of(const uint16_t c[3], int i) { return (i & 1) ? c[i / 2] >> 8 : c[i / 2] & 0xFF; }

}  // namespace

LASwriteItemCompressed_RGB12_v1::LASwriteItemCompressed_RGB12_v1(ArithEncoder* enc)
    : enc(enc), m_byte_used(enc->create_symbol_model(64)), ic_rgb(enc, 8, 6, 8, 0) {}

LASwriteItemCompressed_RGB12_v1::~LASwriteItemCompressed_RGB12_v1() = default;

bool LASwriteItemCompressed_RGB12_v1::init(const uint8_t* item, uint32_t& /*context*/) {
  enc->init_symbol_model(*m_byte_used);
  ic_rgb.init_encoding();
  for (int i = 0; i < 3; i++) last_item[i] = load_u16(item + 2 * i);
  return true;
}

bool LASwriteItemCompressed_RGB12_v1::write(const uint8_t* item, uint32_t& /*context*/) {
  const uint16_t c[3] = {load_u16(item), load_u16(item + 2), load_u16(item + 4)};
  uint32_t sym = 0;
  for (int i = 0; i < 6; i++) {
    if (byte_of(c, i) != byte_of(last_item, i)) sym |= 1u << i;
  }
  enc->encode_symbol(*m_byte_used, sym);
  for (int i = 0; i < 6; i++) {
    if (sym & (1u << i)) ic_rgb.compress(byte_of(last_item, i), byte_of(c, i), static_cast<uint32_t>(i));
  }
  for (int i = 0; i < 3; i++) last_item[i] = c[i];
  return true;
}

LASreadItemCompressed_RGB12_v1::LASreadItemCompressed_RGB12_v1(ArithDecoder* dec)
    : dec(dec), m_byte_used(dec->create_symbol_model(64)), ic_rgb(dec, 8, 6, 8, 0) {}

LASreadItemCompressed_RGB12_v1::~LASreadItemCompressed_RGB12_v1() = default;

bool LASreadItemCompressed_RGB12_v1::init(const uint8_t* item, uint32_t& /*context*/) {
  dec->init_symbol_model(*m_byte_used);
  ic_rgb.init_decoding();
  for (int i = 0; i < 3; i++) last_item[i] = load_u16(item + 2 * i);
  return true;
}

void LASreadItemCompressed_RGB12_v1::read(uint8_t* item, uint32_t& /*context*/) {
  const uint32_t sym = dec->decode_symbol(*m_byte_used);
  int32_t bytes[6];
  for (int i = 0; i < 6; i++) {
    bytes[i] = byte_of(last_item, i);
    if (sym & (1u << i)) bytes[i] = ic_rgb.decompress(bytes[i], static_cast<uint32_t>(i)) & 0xFF;
  }
  for (int i = 0; i < 3; i++) {
    last_item[i] = static_cast<uint16_t>((bytes[2 * i + 1] << 8) | bytes[2 * i]);
    store_u16(item + 2 * i, last_item[i]);
  }
}
