#include "compression/itemcompressed_rgbnir14_v3.h"

#include <cstring>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/arithmodel.h"
#include "compression/itemcompressed_helpers.h"
#include "compression/itemcompressed_rgb14_v3.h"

namespace {

constexpr uint32_t kItemBytes = 8;
constexpr int kNir = 6;  // offset of the near infrared in the item
enum Layer : uint32_t { kLayerRGB, kLayerNIR, kNumLayers };
constexpr uint32_t kSelectiveRGB = 0x100;
constexpr uint32_t kSelectiveNIR = 0x200;

inline void load_rgb(const uint8_t* item, uint16_t rgb[3]) {
  for (int i = 0; i < 3; i++) rgb[i] = load_u16(item + 2 * i);
}
inline void store_rgb(uint8_t* item, const uint16_t rgb[3]) {
  for (int i = 0; i < 3; i++) store_u16(item + 2 * i, rgb[i]);
}

// The near-infrared models of one context.
struct NirModels {
  std::unique_ptr<SymbolModel> byte_used;  // bit 1 low byte, bit 2 high byte changed
  std::unique_ptr<SymbolModel> diff[2];    // low byte, high byte
  template <typename Coder>
  explicit NirModels(Coder* coder) : byte_used(coder->create_symbol_model(4)) {
    for (auto& m : diff) m.reset(coder->create_symbol_model(256));
  }
  void init() {
    byte_used->init();
    for (auto& m : diff) m->init();
  }
};

}  // namespace

struct LASwriteItemCompressed_RGBNIR14_v3::Context {
  bool vacant = true;
  uint8_t last_item[kItemBytes] = {};
  LASrgbModels rgb;
  NirModels nir;
  Context(ArithEncoder* rgb_coder, ArithEncoder* nir_coder) : rgb(rgb_coder), nir(nir_coder) {}
  uint8_t* last() { return last_item; }
};

struct LASreadItemCompressed_RGBNIR14_v3::Context {
  bool vacant = true;
  uint8_t last_item[kItemBytes] = {};
  LASrgbModels rgb;
  NirModels nir;
  Context(ArithDecoder* rgb_coder, ArithDecoder* nir_coder) : rgb(rgb_coder), nir(nir_coder) {}
  uint8_t* last() { return last_item; }
};

// Writer.

LASwriteItemCompressed_RGBNIR14_v3::LASwriteItemCompressed_RGBNIR14_v3(ArithEncoder* enc)
    : LASwriteItemCompressed_RGBNIR14_v3(enc, false) {}

LASwriteItemCompressed_RGBNIR14_v3::LASwriteItemCompressed_RGBNIR14_v3(ArithEncoder* enc, bool own_last_value)
    : enc(enc), own_last_value(own_last_value), layers(kNumLayers, 0) {}

LASwriteItemCompressed_RGBNIR14_v3::~LASwriteItemCompressed_RGBNIR14_v3() = default;

void LASwriteItemCompressed_RGBNIR14_v3::init_context(uint32_t k, const uint8_t* from) {
  if (!contexts[k]) contexts[k] = std::make_unique<Context>(layers[kLayerRGB].encoder(), layers[kLayerNIR].encoder());
  contexts[k]->rgb.init();
  contexts[k]->nir.init();
  memcpy(contexts[k]->last_item, from, kItemBytes);
  contexts[k]->vacant = false;
}

bool LASwriteItemCompressed_RGBNIR14_v3::init(const uint8_t* item, uint32_t& context) {
  if (!layers.start()) return false;
  restart_contexts(contexts, current_context, context, item,
                   [this](uint32_t k, const uint8_t* from) { init_context(k, from); });
  return true;
}

bool LASwriteItemCompressed_RGBNIR14_v3::write(const uint8_t* item, uint32_t& context) {
  uint8_t* last = switch_context(contexts, current_context, context, own_last_value,
                                 [this](uint32_t k, const uint8_t* from) { init_context(k, from); });
  Context& ctx = *contexts[current_context];
  uint16_t q[3], c[3];
  load_rgb(last, q);
  load_rgb(item, c);
  if (write_rgb_change(layers[kLayerRGB].encoder(), ctx.rgb, q, c)) layers[kLayerRGB].set_changed();

  ArithEncoder* e = layers[kLayerNIR].encoder();
  const uint8_t* nir = item + kNir;
  const uint8_t* last_nir = last + kNir;
  const uint32_t sym = (nir[0] != last_nir[0] ? 1u : 0u) | (nir[1] != last_nir[1] ? 2u : 0u);
  e->encode_symbol(*ctx.nir.byte_used, sym);
  if (sym & 1) e->encode_symbol(*ctx.nir.diff[0], u8_fold(nir[0] - last_nir[0]));
  if (sym & 2) e->encode_symbol(*ctx.nir.diff[1], u8_fold(nir[1] - last_nir[1]));
  if (sym) layers[kLayerNIR].set_changed();

  memcpy(last, item, kItemBytes);
  return true;
}

bool LASwriteItemCompressed_RGBNIR14_v3::chunk_sizes() {
  ByteStreamOut* out = enc->get_outstream();
  return out != nullptr && layers.write_sizes(out);
}

bool LASwriteItemCompressed_RGBNIR14_v3::chunk_bytes() {
  ByteStreamOut* out = enc->get_outstream();
  return out != nullptr && layers.write_bytes(out);
}

// Reader.

LASreadItemCompressed_RGBNIR14_v3::LASreadItemCompressed_RGBNIR14_v3(ArithDecoder* dec, uint32_t decompress_selective)
    : LASreadItemCompressed_RGBNIR14_v3(dec, decompress_selective, false) {}

LASreadItemCompressed_RGBNIR14_v3::LASreadItemCompressed_RGBNIR14_v3(ArithDecoder* dec,
                                                                     uint32_t decompress_selective,
                                                                     bool own_last_value)
    : dec(dec), own_last_value(own_last_value), layers(kNumLayers) {
  layers[kLayerRGB].requested = (decompress_selective & kSelectiveRGB) != 0;
  layers[kLayerNIR].requested = (decompress_selective & kSelectiveNIR) != 0;
}

LASreadItemCompressed_RGBNIR14_v3::~LASreadItemCompressed_RGBNIR14_v3() = default;

void LASreadItemCompressed_RGBNIR14_v3::init_context(uint32_t k, const uint8_t* from) {
  if (!contexts[k]) contexts[k] = std::make_unique<Context>(&layers[kLayerRGB].dec, &layers[kLayerNIR].dec);
  if (layers[kLayerRGB].present) contexts[k]->rgb.init();
  if (layers[kLayerNIR].present) contexts[k]->nir.init();
  memcpy(contexts[k]->last_item, from, kItemBytes);
  contexts[k]->vacant = false;
}

bool LASreadItemCompressed_RGBNIR14_v3::chunk_sizes() { return read_layer_sizes(dec, layers); }

bool LASreadItemCompressed_RGBNIR14_v3::init(const uint8_t* item, uint32_t& context) {
  return start_layered_chunk(dec, layers, contexts, current_context, context, item,
                             [this](uint32_t k, const uint8_t* from) { init_context(k, from); });
}

void LASreadItemCompressed_RGBNIR14_v3::read(uint8_t* item, uint32_t& context) {
  uint8_t* last = switch_context(contexts, current_context, context, own_last_value,
                                 [this](uint32_t k, const uint8_t* from) { init_context(k, from); });
  Context& ctx = *contexts[current_context];
  if (layers[kLayerRGB].present) {
    uint16_t q[3], c[3];
    load_rgb(last, q);
    read_rgb_change(&layers[kLayerRGB].dec, ctx.rgb, q, c);
    store_rgb(last, c);
  }
  if (layers[kLayerNIR].present) {
    ArithDecoder* d = &layers[kLayerNIR].dec;
    uint8_t* nir = last + kNir;
    const uint32_t sym = d->decode_symbol(*ctx.nir.byte_used);
    if (sym & 1) nir[0] = u8_fold(static_cast<int32_t>(d->decode_symbol(*ctx.nir.diff[0])) + nir[0]);
    if (sym & 2) nir[1] = u8_fold(static_cast<int32_t>(d->decode_symbol(*ctx.nir.diff[1])) + nir[1]);
  }
  memcpy(item, last, kItemBytes);
}
