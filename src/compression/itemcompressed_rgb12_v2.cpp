#include "compression/itemcompressed_rgb12_v2.h"

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/arithmodel.h"
#include "compression/itemcompressed_helpers.h"

namespace {

inline int32_t lo(uint16_t v) { return v & 0xFF; }
inline int32_t hi(uint16_t v) { return v >> 8; }

inline void load_rgb(const uint8_t* item, uint16_t rgb[3]) {
  for (int i = 0; i < 3; i++) rgb[i] = load_u16(item + 2 * i);
}

}  // namespace

LASrgbModels::~LASrgbModels() = default;

void LASrgbModels::init() {
  byte_used->init();
  for (auto& m : diff) m->init();
}

uint32_t write_rgb_change(ArithEncoder* enc, LASrgbModels& models, const uint16_t q[3], const uint16_t c[3]) {
  // Bits 1..32: red lo/hi, green lo/hi, blue lo/hi differ from the last
  // colour; 64: the colour is not grey.
  uint32_t sym = 0;
  for (int i = 0; i < 3; i++) {
    if (lo(q[i]) != lo(c[i])) sym |= 1u << (2 * i);
    if (hi(q[i]) != hi(c[i])) sym |= 2u << (2 * i);
  }
  if (c[0] != c[1] || c[0] != c[2]) sym |= 64;
  enc->encode_symbol(*models.byte_used, sym);
  int32_t diff_l = 0;
  int32_t diff_h = 0;
  if (sym & 1) {
    diff_l = lo(c[0]) - lo(q[0]);
    enc->encode_symbol(*models.diff[0], u8_fold(diff_l));
  }
  if (sym & 2) {
    diff_h = hi(c[0]) - hi(q[0]);
    enc->encode_symbol(*models.diff[1], u8_fold(diff_h));
  }
  if (sym & 64) {
    // Green follows red's change, blue the mean of red's and green's.
    if (sym & 4) enc->encode_symbol(*models.diff[2], u8_fold(lo(c[1]) - u8_clamp(diff_l + lo(q[1]))));
    if (sym & 16) {
      diff_l = (diff_l + lo(c[1]) - lo(q[1])) / 2;
      enc->encode_symbol(*models.diff[4], u8_fold(lo(c[2]) - u8_clamp(diff_l + lo(q[2]))));
    }
    if (sym & 8) enc->encode_symbol(*models.diff[3], u8_fold(hi(c[1]) - u8_clamp(diff_h + hi(q[1]))));
    if (sym & 32) {
      diff_h = (diff_h + hi(c[1]) - hi(q[1])) / 2;
      enc->encode_symbol(*models.diff[5], u8_fold(hi(c[2]) - u8_clamp(diff_h + hi(q[2]))));
    }
  }
  return sym;
}

void read_rgb_change(ArithDecoder* dec, LASrgbModels& models, const uint16_t q[3], uint16_t rgb[3]) {
  ArithDecoder::State s = dec->state();
  const uint32_t sym = dec->decode_symbol(s, *models.byte_used);
  int32_t r_lo = lo(q[0]);
  int32_t r_hi = hi(q[0]);
  if (sym & 1) r_lo = u8_fold(static_cast<int32_t>(dec->decode_symbol(s, *models.diff[0])) + lo(q[0]));
  if (sym & 2) r_hi = u8_fold(static_cast<int32_t>(dec->decode_symbol(s, *models.diff[1])) + hi(q[0]));
  const uint16_t red = static_cast<uint16_t>((r_hi << 8) | r_lo);
  uint16_t green = red;
  uint16_t blue = red;
  if (sym & 64) {
    int32_t diff = r_lo - lo(q[0]);
    int32_t g_lo = lo(q[1]);
    int32_t b_lo = lo(q[2]);
    if (sym & 4) {
      g_lo = u8_fold(static_cast<int32_t>(dec->decode_symbol(s, *models.diff[2])) + u8_clamp(diff + lo(q[1])));
    }
    if (sym & 16) {
      const int32_t corr = static_cast<int32_t>(dec->decode_symbol(s, *models.diff[4]));
      diff = (diff + g_lo - lo(q[1])) / 2;
      b_lo = u8_fold(corr + u8_clamp(diff + lo(q[2])));
    }
    diff = r_hi - hi(q[0]);
    int32_t g_hi = hi(q[1]);
    int32_t b_hi = hi(q[2]);
    if (sym & 8) {
      g_hi = u8_fold(static_cast<int32_t>(dec->decode_symbol(s, *models.diff[3])) + u8_clamp(diff + hi(q[1])));
    }
    if (sym & 32) {
      const int32_t corr = static_cast<int32_t>(dec->decode_symbol(s, *models.diff[5]));
      diff = (diff + g_hi - hi(q[1])) / 2;
      b_hi = u8_fold(corr + u8_clamp(diff + hi(q[2])));
    }
    green = static_cast<uint16_t>((g_hi << 8) | g_lo);
    blue = static_cast<uint16_t>((b_hi << 8) | b_lo);
  }
  dec->set_state(s);
  rgb[0] = red;
  rgb[1] = green;
  rgb[2] = blue;
}

LASwriteItemCompressed_RGB12_v2::LASwriteItemCompressed_RGB12_v2(ArithEncoder* enc) : enc(enc), models(enc) {}

LASwriteItemCompressed_RGB12_v2::~LASwriteItemCompressed_RGB12_v2() = default;

bool LASwriteItemCompressed_RGB12_v2::init(const uint8_t* item, uint32_t& /*context*/) {
  models.init();
  load_rgb(item, last_item);
  return true;
}

bool LASwriteItemCompressed_RGB12_v2::write(const uint8_t* item, uint32_t& /*context*/) {
  uint16_t c[3];
  load_rgb(item, c);
  write_rgb_change(enc, models, last_item, c);
  for (int i = 0; i < 3; i++) last_item[i] = c[i];
  return true;
}

LASreadItemCompressed_RGB12_v2::LASreadItemCompressed_RGB12_v2(ArithDecoder* dec) : dec(dec), models(dec) {}

LASreadItemCompressed_RGB12_v2::~LASreadItemCompressed_RGB12_v2() = default;

bool LASreadItemCompressed_RGB12_v2::init(const uint8_t* item, uint32_t& /*context*/) {
  models.init();
  load_rgb(item, last_item);
  return true;
}

void LASreadItemCompressed_RGB12_v2::read(uint8_t* item, uint32_t& /*context*/) {
  uint16_t c[3];
  read_rgb_change(dec, models, last_item, c);
  for (int i = 0; i < 3; i++) {
    last_item[i] = c[i];
    store_u16(item + 2 * i, c[i]);
  }
}
