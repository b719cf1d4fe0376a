#include "compression/itemcompressed_rgb14_v3.h"

#include <cstring>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/arithmodel.h"
#include "compression/itemcompressed_helpers.h"

namespace {

constexpr uint32_t kItemBytes = 6;
constexpr uint32_t kSelectiveRGB = 0x100;

inline int32_t lo(uint16_t v) { return v & 0xFF; }
inline int32_t hi(uint16_t v) { return v >> 8; }

inline void load_rgb(const uint8_t* item, uint16_t rgb[3]) {
  for (int i = 0; i < 3; i++) rgb[i] = load_u16(item + 2 * i);
}
inline void store_rgb(uint8_t* item, const uint16_t rgb[3]) {
  for (int i = 0; i < 3; i++) store_u16(item + 2 * i, rgb[i]);
}

}  // namespace

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

struct LASwriteItemCompressed_RGB14_v3::Context {
  bool vacant = true;
  uint8_t last_item[kItemBytes] = {};
  LASrgbModels models;
  explicit Context(ArithEncoder* coder) : models(coder) {}
  uint8_t* last() { return last_item; }
};

struct LASreadItemCompressed_RGB14_v3::Context {
  bool vacant = true;
  uint8_t last_item[kItemBytes] = {};
  LASrgbModels models;
  explicit Context(ArithDecoder* coder) : models(coder) {}
  uint8_t* last() { return last_item; }
};

// Writer.

LASwriteItemCompressed_RGB14_v3::LASwriteItemCompressed_RGB14_v3(ArithEncoder* enc)
    : LASwriteItemCompressed_RGB14_v3(enc, false) {}

LASwriteItemCompressed_RGB14_v3::LASwriteItemCompressed_RGB14_v3(ArithEncoder* enc, bool own_last_value)
    : enc(enc), own_last_value(own_last_value), layers(1, 0) {}

LASwriteItemCompressed_RGB14_v3::~LASwriteItemCompressed_RGB14_v3() = default;

void LASwriteItemCompressed_RGB14_v3::init_context(uint32_t k, const uint8_t* from) {
  if (!contexts[k]) contexts[k] = std::make_unique<Context>(layers[0].encoder());
  contexts[k]->models.init();
  memcpy(contexts[k]->last_item, from, kItemBytes);
  contexts[k]->vacant = false;
}

bool LASwriteItemCompressed_RGB14_v3::init(const uint8_t* item, uint32_t& context) {
  if (!layers.start()) return false;
  for (auto& ctx : contexts) {
    if (ctx) ctx->vacant = true;
  }
  current_context = context & 3;
  init_context(current_context, item);
  return true;
}

bool LASwriteItemCompressed_RGB14_v3::write(const uint8_t* item, uint32_t& context) {
  uint8_t* last = switch_context(contexts, current_context, context, own_last_value,
                                 [this](uint32_t k, const uint8_t* from) { init_context(k, from); });
  uint16_t q[3], c[3];
  load_rgb(last, q);
  load_rgb(item, c);
  if (write_rgb_change(layers[0].encoder(), contexts[current_context]->models, q, c)) layers[0].set_changed();
  memcpy(last, item, kItemBytes);
  return true;
}

bool LASwriteItemCompressed_RGB14_v3::chunk_sizes() {
  ByteStreamOut* out = enc->get_outstream();
  return out != nullptr && layers.write_sizes(out);
}

bool LASwriteItemCompressed_RGB14_v3::chunk_bytes() {
  ByteStreamOut* out = enc->get_outstream();
  return out != nullptr && layers.write_bytes(out);
}

// Reader.

LASreadItemCompressed_RGB14_v3::LASreadItemCompressed_RGB14_v3(ArithDecoder* dec, uint32_t decompress_selective)
    : LASreadItemCompressed_RGB14_v3(dec, decompress_selective, false) {}

LASreadItemCompressed_RGB14_v3::LASreadItemCompressed_RGB14_v3(ArithDecoder* dec, uint32_t decompress_selective,
                                                               bool own_last_value)
    : dec(dec), own_last_value(own_last_value), layers(1) {
  layers[0].requested = (decompress_selective & kSelectiveRGB) != 0;
}

LASreadItemCompressed_RGB14_v3::~LASreadItemCompressed_RGB14_v3() = default;

void LASreadItemCompressed_RGB14_v3::init_context(uint32_t k, const uint8_t* from) {
  if (!contexts[k]) contexts[k] = std::make_unique<Context>(&layers[0].dec);
  if (layers[0].present) contexts[k]->models.init();
  memcpy(contexts[k]->last_item, from, kItemBytes);
  contexts[k]->vacant = false;
}

bool LASreadItemCompressed_RGB14_v3::chunk_sizes() {
  ByteStreamIn* in = dec->get_instream();
  if (in == nullptr) return false;
  layers.read_sizes(in);
  return true;
}

bool LASreadItemCompressed_RGB14_v3::init(const uint8_t* item, uint32_t& context) {
  ByteStreamIn* in = dec->get_instream();
  if (in == nullptr || !layers.load(in)) return false;
  for (auto& ctx : contexts) {
    if (ctx) ctx->vacant = true;
  }
  current_context = context & 3;
  init_context(current_context, item);
  return true;
}

void LASreadItemCompressed_RGB14_v3::read(uint8_t* item, uint32_t& context) {
  uint8_t* last = switch_context(contexts, current_context, context, own_last_value,
                                 [this](uint32_t k, const uint8_t* from) { init_context(k, from); });
  if (layers[0].present) {
    uint16_t q[3], c[3];
    load_rgb(last, q);
    read_rgb_change(&layers[0].dec, contexts[current_context]->models, q, c);
    store_rgb(last, c);
  }
  memcpy(item, last, kItemBytes);
}
