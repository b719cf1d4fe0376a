#include "compression/itemcompressed_byte14_v3.h"

#include <cstring>
#include <vector>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/arithmodel.h"
#include "compression/itemcompressed_helpers.h"

namespace {

// Bytes 0 to 15 have a selective-decompression bit each.
constexpr uint32_t kSelectiveByte0 = 0x10000;
constexpr uint32_t kSelectiveBytes = 16;

// The writer's layers start small: an item may have thousands of bytes.
constexpr int64_t kLayerAllocBytes = 1024;

}  // namespace

struct LASwriteItemCompressed_BYTE14_v3::Context {
  bool vacant = true;
  std::vector<uint8_t> last_item;
  std::vector<std::unique_ptr<SymbolModel>> m_byte;  // one per byte
  explicit Context(uint32_t number) : last_item(number), m_byte(number) {}
  uint8_t* last() { return last_item.data(); }
};

struct LASreadItemCompressed_BYTE14_v3::Context {
  bool vacant = true;
  std::vector<uint8_t> last_item;
  // One per byte, created when its layer is first present: the models of
  // bytes that are never decoded cost nothing.
  std::vector<std::unique_ptr<SymbolModel>> m_byte;
  explicit Context(uint32_t number) : last_item(number), m_byte(number) {}
  uint8_t* last() { return last_item.data(); }
};

// Writer.

LASwriteItemCompressed_BYTE14_v3::LASwriteItemCompressed_BYTE14_v3(ArithEncoder* enc, uint32_t number)
    : LASwriteItemCompressed_BYTE14_v3(enc, number, false) {}

LASwriteItemCompressed_BYTE14_v3::LASwriteItemCompressed_BYTE14_v3(ArithEncoder* enc, uint32_t number,
                                                                   bool own_last_value)
    : enc(enc), number(number), own_last_value(own_last_value), layers(number, 0, kLayerAllocBytes) {}

LASwriteItemCompressed_BYTE14_v3::~LASwriteItemCompressed_BYTE14_v3() = default;

void LASwriteItemCompressed_BYTE14_v3::init_context(uint32_t k, const uint8_t* from) {
  if (!contexts[k]) {
    contexts[k] = std::make_unique<Context>(number);
    for (uint32_t i = 0; i < number; i++) contexts[k]->m_byte[i].reset(layers[i].encoder()->create_symbol_model(256));
  }
  Context& ctx = *contexts[k];
  for (auto& m : ctx.m_byte) m->init();
  memcpy(ctx.last(), from, number);
  ctx.vacant = false;
}

bool LASwriteItemCompressed_BYTE14_v3::init(const uint8_t* item, uint32_t& context) {
  if (!layers.start()) return false;
  restart_contexts(contexts, current_context, context, item,
                   [this](uint32_t k, const uint8_t* from) { init_context(k, from); });
  return true;
}

bool LASwriteItemCompressed_BYTE14_v3::write(const uint8_t* item, uint32_t& context) {
  uint8_t* last = switch_context(contexts, current_context, context, own_last_value,
                                 [this](uint32_t k, const uint8_t* from) { init_context(k, from); });
  Context& ctx = *contexts[current_context];
  for (uint32_t i = 0; i < number; i++) {
    const uint8_t diff = u8_fold(item[i] - last[i]);
    layers[i].encoder()->encode_symbol(*ctx.m_byte[i], diff);
    if (diff) layers[i].set_changed();
    last[i] = item[i];
  }
  return true;
}

bool LASwriteItemCompressed_BYTE14_v3::chunk_sizes() {
  ByteStreamOut* out = enc->get_outstream();
  return out != nullptr && layers.write_sizes(out);
}

bool LASwriteItemCompressed_BYTE14_v3::chunk_bytes() {
  ByteStreamOut* out = enc->get_outstream();
  return out != nullptr && layers.write_bytes(out);
}

// Reader.

LASreadItemCompressed_BYTE14_v3::LASreadItemCompressed_BYTE14_v3(ArithDecoder* dec, uint32_t number,
                                                                 uint32_t decompress_selective)
    : LASreadItemCompressed_BYTE14_v3(dec, number, decompress_selective, false) {}

LASreadItemCompressed_BYTE14_v3::LASreadItemCompressed_BYTE14_v3(ArithDecoder* dec, uint32_t number,
                                                                 uint32_t decompress_selective, bool own_last_value)
    : dec(dec), number(number), own_last_value(own_last_value), layers(number) {
  for (uint32_t i = 0; i < number && i < kSelectiveBytes; i++) {
    layers[i].requested = (decompress_selective & (kSelectiveByte0 << i)) != 0;
  }
}

LASreadItemCompressed_BYTE14_v3::~LASreadItemCompressed_BYTE14_v3() = default;

void LASreadItemCompressed_BYTE14_v3::init_context(uint32_t k, const uint8_t* from) {
  if (!contexts[k]) contexts[k] = std::make_unique<Context>(number);
  Context& ctx = *contexts[k];
  for (uint32_t i = 0; i < number; i++) {
    if (!layers[i].present) continue;
    if (!ctx.m_byte[i]) ctx.m_byte[i].reset(layers[i].dec.create_symbol_model(256));
    ctx.m_byte[i]->init();
  }
  memcpy(ctx.last(), from, number);
  ctx.vacant = false;
}

bool LASreadItemCompressed_BYTE14_v3::chunk_sizes() { return read_layer_sizes(dec, layers); }

bool LASreadItemCompressed_BYTE14_v3::init(const uint8_t* item, uint32_t& context) {
  return start_layered_chunk(dec, layers, contexts, current_context, context, item,
                             [this](uint32_t k, const uint8_t* from) { init_context(k, from); });
}

void LASreadItemCompressed_BYTE14_v3::read(uint8_t* item, uint32_t& context) {
  uint8_t* last = switch_context(contexts, current_context, context, own_last_value,
                                 [this](uint32_t k, const uint8_t* from) { init_context(k, from); });
  Context& ctx = *contexts[current_context];
  for (uint32_t i = 0; i < number; i++) {
    LASlayerIn& layer = layers[i];
    if (layer.present) last[i] = u8_fold(last[i] + static_cast<int32_t>(layer.dec.decode_symbol(*ctx.m_byte[i])));
  }
  memcpy(item, last, number);
}
