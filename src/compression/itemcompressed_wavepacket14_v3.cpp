#include "compression/itemcompressed_wavepacket14_v3.h"

#include <cstring>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/arithmodel.h"
#include "compression/integercoder.h"
#include "compression/itemcompressed_helpers.h"

namespace {

constexpr uint32_t kItemBytes = 29;
constexpr uint32_t kSelectiveWavepacket = 0x400;

// Offsets inside the item (index at 0).
constexpr int kOffset = 1, kPacketSize = 9, kReturnPoint = 13, kXt = 17, kYt = 21, kZt = 25;

// Offset kinds.
constexpr uint32_t kSameOffset = 0;
constexpr uint32_t kBackToBack = 1;  // offset = last offset + last packet size
constexpr uint32_t kDifference = 2;  // 32-bit difference to the last offset
constexpr uint32_t kRawOffset = 3;

// One channel's models and state; Coder is ArithEncoder or ArithDecoder.
template <typename Coder>
struct WavepacketContext {
  bool vacant = true;
  uint8_t last_item[kItemBytes] = {};
  int32_t last_diff_32 = 0;
  uint32_t sym_last_offset_diff = 0;

  std::unique_ptr<SymbolModel> m_packet_index;
  std::unique_ptr<SymbolModel> m_offset_diff[4];  // by the previous offset kind
  IntegerCoder ic_offset_diff;
  IntegerCoder ic_packet_size;
  IntegerCoder ic_return_point;
  IntegerCoder ic_xyz;

  explicit WavepacketContext(Coder* coder)
      : m_packet_index(coder->create_symbol_model(256)),
        ic_offset_diff(coder, 32, 1, 8, 0),
        ic_packet_size(coder, 32, 1, 8, 0),
        ic_return_point(coder, 32, 1, 8, 0),
        ic_xyz(coder, 32, 3, 8, 0) {
    for (auto& m : m_offset_diff) m.reset(coder->create_symbol_model(4));
  }

  void init_models(Coder* coder) {
    m_packet_index->init();
    for (auto& m : m_offset_diff) m->init();
    init_integer_coder(ic_offset_diff, coder);
    init_integer_coder(ic_packet_size, coder);
    init_integer_coder(ic_return_point, coder);
    init_integer_coder(ic_xyz, coder);
  }

  uint8_t* last() { return last_item; }
};

}  // namespace

struct LASwriteItemCompressed_WAVEPACKET14_v3::Context : WavepacketContext<ArithEncoder> {
  using WavepacketContext::WavepacketContext;
};

struct LASreadItemCompressed_WAVEPACKET14_v3::Context : WavepacketContext<ArithDecoder> {
  using WavepacketContext::WavepacketContext;
};

// Writer.

LASwriteItemCompressed_WAVEPACKET14_v3::LASwriteItemCompressed_WAVEPACKET14_v3(ArithEncoder* enc)
    : LASwriteItemCompressed_WAVEPACKET14_v3(enc, false) {}

LASwriteItemCompressed_WAVEPACKET14_v3::LASwriteItemCompressed_WAVEPACKET14_v3(ArithEncoder* enc,
                                                                               bool own_last_value)
    : enc(enc), own_last_value(own_last_value), layers(1, 0) {}

LASwriteItemCompressed_WAVEPACKET14_v3::~LASwriteItemCompressed_WAVEPACKET14_v3() = default;

void LASwriteItemCompressed_WAVEPACKET14_v3::init_context(uint32_t k, const uint8_t* from) {
  if (!contexts[k]) contexts[k] = std::make_unique<Context>(layers[0].encoder());
  Context& ctx = *contexts[k];
  ctx.init_models(layers[0].encoder());
  memcpy(ctx.last_item, from, kItemBytes);
  ctx.last_diff_32 = 0;
  ctx.sym_last_offset_diff = 0;
  ctx.vacant = false;
}

bool LASwriteItemCompressed_WAVEPACKET14_v3::init(const uint8_t* item, uint32_t& context) {
  if (!layers.start()) return false;
  restart_contexts(contexts, current_context, context, item,
                   [this](uint32_t k, const uint8_t* from) { init_context(k, from); });
  return true;
}

bool LASwriteItemCompressed_WAVEPACKET14_v3::write(const uint8_t* item, uint32_t& context) {
  uint8_t* q = switch_context(contexts, current_context, context, own_last_value,
                              [this](uint32_t k, const uint8_t* from) { init_context(k, from); });
  Context& ctx = *contexts[current_context];
  ArithEncoder* e = layers[0].encoder();
  if (memcmp(item, q, kItemBytes) != 0) layers[0].set_changed();

  e->encode_symbol(*ctx.m_packet_index, item[0]);
  const int64_t diff_64 = i64_diff(load_u64(item + kOffset), load_u64(q + kOffset));
  const int32_t diff_32 = static_cast<int32_t>(diff_64);
  uint32_t kind;
  if (!i64_fits_i32(diff_64)) {
    kind = kRawOffset;
  } else if (diff_64 == 0) {
    kind = kSameOffset;
  } else if (diff_64 == static_cast<int64_t>(load_u32(q + kPacketSize))) {
    // Compared in 64 bits, as for WAVEPACKET13: a 32-bit comparison would
    // also match a packet of 2^31 bytes or more followed by one 2^32 bytes
    // further back, which the reader rebuilds as last offset + size.
    kind = kBackToBack;
  } else {
    kind = kDifference;
  }
  e->encode_symbol(*ctx.m_offset_diff[ctx.sym_last_offset_diff], kind);
  ctx.sym_last_offset_diff = kind;
  if (kind == kDifference) {
    ctx.ic_offset_diff.compress(ctx.last_diff_32, diff_32, 0);
    ctx.last_diff_32 = diff_32;
  } else if (kind == kRawOffset) {
    e->write_int64(load_u64(item + kOffset));
  }
  ctx.ic_packet_size.compress(load_i32(q + kPacketSize), load_i32(item + kPacketSize), 0);
  ctx.ic_return_point.compress(load_i32(q + kReturnPoint), load_i32(item + kReturnPoint), 0);
  ctx.ic_xyz.compress(load_i32(q + kXt), load_i32(item + kXt), 0);
  ctx.ic_xyz.compress(load_i32(q + kYt), load_i32(item + kYt), 1);
  ctx.ic_xyz.compress(load_i32(q + kZt), load_i32(item + kZt), 2);

  memcpy(q, item, kItemBytes);
  return true;
}

bool LASwriteItemCompressed_WAVEPACKET14_v3::chunk_sizes() {
  ByteStreamOut* out = enc->get_outstream();
  return out != nullptr && layers.write_sizes(out);
}

bool LASwriteItemCompressed_WAVEPACKET14_v3::chunk_bytes() {
  ByteStreamOut* out = enc->get_outstream();
  return out != nullptr && layers.write_bytes(out);
}

// Reader.

LASreadItemCompressed_WAVEPACKET14_v3::LASreadItemCompressed_WAVEPACKET14_v3(ArithDecoder* dec,
                                                                             uint32_t decompress_selective)
    : LASreadItemCompressed_WAVEPACKET14_v3(dec, decompress_selective, false) {}

LASreadItemCompressed_WAVEPACKET14_v3::LASreadItemCompressed_WAVEPACKET14_v3(ArithDecoder* dec,
                                                                             uint32_t decompress_selective,
                                                                             bool own_last_value)
    : dec(dec), own_last_value(own_last_value), layers(1) {
  layers[0].requested = (decompress_selective & kSelectiveWavepacket) != 0;
}

LASreadItemCompressed_WAVEPACKET14_v3::~LASreadItemCompressed_WAVEPACKET14_v3() = default;

void LASreadItemCompressed_WAVEPACKET14_v3::init_context(uint32_t k, const uint8_t* from) {
  if (!contexts[k]) contexts[k] = std::make_unique<Context>(&layers[0].dec);
  Context& ctx = *contexts[k];
  if (layers[0].present) ctx.init_models(&layers[0].dec);
  memcpy(ctx.last_item, from, kItemBytes);
  ctx.last_diff_32 = 0;
  ctx.sym_last_offset_diff = 0;
  ctx.vacant = false;
}

bool LASreadItemCompressed_WAVEPACKET14_v3::chunk_sizes() { return read_layer_sizes(dec, layers); }

bool LASreadItemCompressed_WAVEPACKET14_v3::init(const uint8_t* item, uint32_t& context) {
  return start_layered_chunk(dec, layers, contexts, current_context, context, item,
                             [this](uint32_t k, const uint8_t* from) { init_context(k, from); });
}

void LASreadItemCompressed_WAVEPACKET14_v3::read(uint8_t* item, uint32_t& context) {
  uint8_t* q = switch_context(contexts, current_context, context, own_last_value,
                              [this](uint32_t k, const uint8_t* from) { init_context(k, from); });
  if (layers[0].present) {
    Context& ctx = *contexts[current_context];
    ArithDecoder* d = &layers[0].dec;
    q[0] = static_cast<uint8_t>(d->decode_symbol(*ctx.m_packet_index));
    const uint32_t kind = d->decode_symbol(*ctx.m_offset_diff[ctx.sym_last_offset_diff]);
    ctx.sym_last_offset_diff = kind;
    const uint64_t last_offset = load_u64(q + kOffset);
    if (kind == kBackToBack) {
      store_u64(q + kOffset, last_offset + load_u32(q + kPacketSize));
    } else if (kind == kDifference) {
      ctx.last_diff_32 = ctx.ic_offset_diff.decompress(ctx.last_diff_32, 0);
      store_u64(q + kOffset, last_offset + static_cast<uint64_t>(static_cast<int64_t>(ctx.last_diff_32)));
    } else if (kind == kRawOffset) {
      store_u64(q + kOffset, d->read_int64());
    }
    store_i32(q + kPacketSize, ctx.ic_packet_size.decompress(load_i32(q + kPacketSize), 0));
    store_i32(q + kReturnPoint, ctx.ic_return_point.decompress(load_i32(q + kReturnPoint), 0));
    store_i32(q + kXt, ctx.ic_xyz.decompress(load_i32(q + kXt), 0));
    store_i32(q + kYt, ctx.ic_xyz.decompress(load_i32(q + kYt), 1));
    store_i32(q + kZt, ctx.ic_xyz.decompress(load_i32(q + kZt), 2));
  }
  memcpy(item, q, kItemBytes);
}
