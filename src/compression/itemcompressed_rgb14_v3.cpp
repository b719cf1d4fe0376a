#include "compression/itemcompressed_rgb14_v3.h"

#include <cstring>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/arithmodel.h"
#include "compression/itemcompressed_helpers.h"

namespace {

constexpr uint32_t kItemBytes = 6;
constexpr uint32_t kSelectiveRGB = 0x100;

inline void load_rgb(const uint8_t* item, uint16_t rgb[3]) {
  for (int i = 0; i < 3; i++) rgb[i] = load_u16(item + 2 * i);
}
inline void store_rgb(uint8_t* item, const uint16_t rgb[3]) {
  for (int i = 0; i < 3; i++) store_u16(item + 2 * i, rgb[i]);
}

}  // namespace

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
  restart_contexts(contexts, current_context, context, item,
                   [this](uint32_t k, const uint8_t* from) { init_context(k, from); });
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

bool LASreadItemCompressed_RGB14_v3::chunk_sizes() { return read_layer_sizes(dec, layers); }

bool LASreadItemCompressed_RGB14_v3::init(const uint8_t* item, uint32_t& context) {
  return start_layered_chunk(dec, layers, contexts, current_context, context, item,
                             [this](uint32_t k, const uint8_t* from) { init_context(k, from); });
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
