#include "compression/itemcompressed_point14_v3.h"

#include <cstring>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/arithmodel.h"
#include "compression/integercoder.h"
#include "compression/itemcompressed_helpers.h"
#include "compression/median5.h"
#include "las/laspoint.h"

namespace {

// Offsets in the 30-byte POINT14 record.
constexpr int kX = 0, kY = 4, kZ = 8, kIntensity = 12, kReturns = 14, kFlags = 15, kClassification = 16,
              kUserData = 17, kScanAngle = 18, kPointSource = 20, kGpsTime = 22;
constexpr int kRecordBytes = 30;

// The layers in the order of their sizes and bytes in a chunk.
enum Layer : uint32_t {
  kLayerChannelReturnsXY,
  kLayerZ,
  kLayerClassification,
  kLayerFlags,
  kLayerIntensity,
  kLayerScanAngle,
  kLayerUserData,
  kLayerPointSource,
  kLayerGpsTime,
  kNumLayers
};
// Selective-decompression bit of each layer (the first is always decoded).
constexpr uint32_t kLayerSelectiveBit[kNumLayers] = {0, 0x1, 0x2, 0x4, 0x8, 0x10, 0x20, 0x40, 0x80};

// Bits of the change mask.
constexpr uint32_t kChangedChannel = 64, kChangedPointSource = 32, kChangedGpsTime = 16, kChangedScanAngle = 8,
                   kChangedNumberOfReturns = 4;
constexpr uint32_t kReturnSame = 0, kReturnNext = 1, kReturnPrevious = 2, kReturnOther = 3;

// Symbols of the time models: multiplier 1..499 and 500 for 500 or more,
// 501..509 for -1..-9, 510 for -10 or less, 511 a new sequence, 512..514 a
// switch to sequence L + 1..3; zero difference 0 a 32-bit difference, 1 a
// new sequence, 2..4 a switch.
constexpr uint32_t kMulti = 500;
constexpr int32_t kMultiMinus = -10;
constexpr uint32_t kMultiCodeFull = 511;
constexpr uint32_t kMultiTotal = 515;
constexpr uint32_t kZeroDiffCodeFull = 1;
constexpr uint32_t kZeroDiffTotal = 5;
constexpr uint32_t kGpsContextUpperHalf = 8;

// [number of returns][return number]: which pair of coordinate medians a
// point uses. Single returns, first, last and intermediate returns get
// their own; the many-return rows share.
constexpr uint8_t number_return_map_6ctx[16][16] = {
    {0, 1, 2, 3, 4, 5, 3, 4, 4, 5, 5, 5, 5, 5, 5, 5}, {1, 0, 1, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3},
    {2, 1, 2, 4, 4, 4, 4, 4, 4, 4, 4, 3, 3, 3, 3, 3}, {3, 3, 4, 5, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4},
    {4, 3, 4, 4, 5, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4}, {5, 3, 4, 4, 4, 5, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4},
    {3, 3, 4, 4, 4, 4, 5, 4, 4, 4, 4, 4, 4, 4, 4, 4}, {4, 3, 4, 4, 4, 4, 4, 5, 4, 4, 4, 4, 4, 4, 4, 4},
    {4, 3, 4, 4, 4, 4, 4, 4, 5, 4, 4, 4, 4, 4, 4, 4}, {5, 3, 4, 4, 4, 4, 4, 4, 4, 5, 4, 4, 4, 4, 4, 4},
    {5, 3, 4, 4, 4, 4, 4, 4, 4, 4, 5, 4, 4, 4, 4, 4}, {5, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 4, 4, 4},
    {5, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 4, 4}, {5, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 4},
    {5, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5}, {5, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5}};

// [number of returns][return number]: min(|n - r|, 7), the height memory.
struct ReturnLevels {
  uint8_t level[16][16];
  constexpr ReturnLevels() : level() {
    for (int n = 0; n < 16; n++) {
      for (int r = 0; r < 16; r++) {
        const int d = n > r ? n - r : r - n;
        level[n][r] = static_cast<uint8_t>(d < 7 ? d : 7);
      }
    }
  }
};
constexpr ReturnLevels number_return_level_8ctx;

inline uint32_t return_number(const uint8_t* raw) { return raw[kReturns] & 15; }
inline uint32_t number_of_returns(const uint8_t* raw) { return raw[kReturns] >> 4; }
inline uint32_t scanner_channel(const uint8_t* raw) { return (raw[kFlags] >> 4) & 3; }
inline void set_scanner_channel(uint8_t* raw, uint32_t c) {
  raw[kFlags] = static_cast<uint8_t>((raw[kFlags] & 0xCF) | (c << 4));
}
// Edge of flight line (bit 5), scan direction (bit 4), classification flags
// (bits 0-3).
inline uint32_t flag_bits(const uint8_t* raw) { return ((raw[kFlags] >> 2) & 0x30) | (raw[kFlags] & 0x0F); }
inline void set_flag_bits(uint8_t* raw, uint32_t f) {
  raw[kFlags] = static_cast<uint8_t>((raw[kFlags] & 0x30) | ((f & 0x30) << 2) | (f & 0x0F));
}
inline double gps_time_value(const uint8_t* raw) {
  double t;
  memcpy(&t, raw + kGpsTime, sizeof(t));
  return t;
}

// First or last return class of a point: 2 for the first return, + 1 for
// the last (3: a single return).
inline uint32_t return_class(uint32_t r, uint32_t n) { return (r == 1 ? 2u : 0u) + (r >= n ? 1u : 0u); }
// The same idea for the last point of a context, with bit 2 for a GPS time
// change at it; selects the change-mask model.
inline uint32_t last_return_class(const uint8_t* raw, bool gps_time_change) {
  const uint32_t r = return_number(raw);
  const uint32_t n = number_of_returns(raw);
  return (r == 1 ? 1u : 0u) + (r >= n ? 2u : 0u) + (gps_time_change ? 4u : 0u);
}

// Context of dy and z from the magnitude class k of earlier coordinates:
// even classes only, capped.
inline uint32_t k_context(uint32_t k, uint32_t cap) { return k < cap ? (k & ~1u) : cap; }

inline uint32_t upper_half(uint64_t t) { return static_cast<uint32_t>(t >> 32); }

// The multiplier of the last difference nearest to d: the quotient in single
// precision, rounded half away from zero in double precision.
int32_t multiplier(int32_t d, int32_t last_d) {
  const double q = static_cast<float>(d) / static_cast<float>(last_d);
  return i32_truncate(q >= 0 ? q + 0.5 : q - 0.5);
}

// One scanner channel's models and predictions; Coder is ArithEncoder or
// ArithDecoder, coders[i] the coder of layer i.
template <typename Coder>
struct Point14Context {
  bool vacant = true;

  // The last point of this channel as a POINT14 record, and whether its GPS
  // time changed.
  uint8_t last_item[kRecordBytes] = {};
  bool last_gps_time_change = false;

  uint16_t last_intensity[8] = {};
  Median5 last_X_diff_median5[12];
  Median5 last_Y_diff_median5[12];
  int32_t last_Z[8] = {};

  // Channel, returns and XY.
  std::unique_ptr<SymbolModel> m_changed_values[8];
  std::unique_ptr<SymbolModel> m_scanner_channel;
  std::unique_ptr<SymbolModel> m_number_of_returns[16];  // by the last count; on first use
  std::unique_ptr<SymbolModel> m_return_number[16];      // by the last return; on first use
  std::unique_ptr<SymbolModel> m_return_number_gps_same;
  IntegerCoder ic_dX;
  IntegerCoder ic_dY;
  // Z.
  IntegerCoder ic_Z;
  // Classification, flags, user data: models chosen by earlier values, on
  // first use.
  std::unique_ptr<SymbolModel> m_classification[64];
  std::unique_ptr<SymbolModel> m_flags[64];
  std::unique_ptr<SymbolModel> m_user_data[64];
  IntegerCoder ic_intensity;
  IntegerCoder ic_scan_angle;
  IntegerCoder ic_point_source_ID;

  // GPS time: four sequences (interleaved flight lines), each predicting
  // the next time as a multiple of its last difference.
  uint32_t last = 0;
  uint32_t next = 0;
  uint64_t last_gpstime[4] = {};
  int32_t last_gpstime_diff[4] = {};
  int32_t multi_extreme_counter[4] = {};
  std::unique_ptr<SymbolModel> m_gpstime_multi;
  std::unique_ptr<SymbolModel> m_gpstime_0diff;
  IntegerCoder ic_gpstime;

  explicit Point14Context(Coder* const* coders)
      : m_scanner_channel(coders[kLayerChannelReturnsXY]->create_symbol_model(3)),
        m_return_number_gps_same(coders[kLayerChannelReturnsXY]->create_symbol_model(13)),
        ic_dX(coders[kLayerChannelReturnsXY], 32, 2, 8, 0),
        ic_dY(coders[kLayerChannelReturnsXY], 32, 22, 8, 0),
        ic_Z(coders[kLayerZ], 32, 20, 8, 0),
        ic_intensity(coders[kLayerIntensity], 16, 4, 8, 0),
        ic_scan_angle(coders[kLayerScanAngle], 16, 2, 8, 0),
        ic_point_source_ID(coders[kLayerPointSource], 16, 1, 8, 0),
        m_gpstime_multi(coders[kLayerGpsTime]->create_symbol_model(kMultiTotal)),
        m_gpstime_0diff(coders[kLayerGpsTime]->create_symbol_model(kZeroDiffTotal)),
        ic_gpstime(coders[kLayerGpsTime], 32, 9, 8, 0) {
    for (auto& m : m_changed_values) m.reset(coders[kLayerChannelReturnsXY]->create_symbol_model(128));
  }

  // Restarts the models of the layers in use (a reader leaves the models of
  // layers it does not decode alone) and the predictions from the record.
  void init(Coder* const* coders, const bool* in_use, const uint8_t* raw) {
    Coder* xy = coders[kLayerChannelReturnsXY];
    for (auto& m : m_changed_values) m->init();
    m_scanner_channel->init();
    for (auto& m : m_number_of_returns) init_if_created(m);
    for (auto& m : m_return_number) init_if_created(m);
    m_return_number_gps_same->init();
    init_integer_coder(ic_dX, xy);
    init_integer_coder(ic_dY, xy);
    if (in_use[kLayerZ]) init_integer_coder(ic_Z, coders[kLayerZ]);
    if (in_use[kLayerClassification]) {
      for (auto& m : m_classification) init_if_created(m);
    }
    if (in_use[kLayerFlags]) {
      for (auto& m : m_flags) init_if_created(m);
    }
    if (in_use[kLayerIntensity]) init_integer_coder(ic_intensity, coders[kLayerIntensity]);
    if (in_use[kLayerScanAngle]) init_integer_coder(ic_scan_angle, coders[kLayerScanAngle]);
    if (in_use[kLayerUserData]) {
      for (auto& m : m_user_data) init_if_created(m);
    }
    if (in_use[kLayerPointSource]) init_integer_coder(ic_point_source_ID, coders[kLayerPointSource]);
    if (in_use[kLayerGpsTime]) {
      m_gpstime_multi->init();
      m_gpstime_0diff->init();
      init_integer_coder(ic_gpstime, coders[kLayerGpsTime]);
    }

    for (int i = 0; i < 12; i++) {
      last_X_diff_median5[i].init();
      last_Y_diff_median5[i].init();
    }
    const int32_t z = load_i32(raw + kZ);
    const uint16_t intensity = load_u16(raw + kIntensity);
    for (int i = 0; i < 8; i++) {
      last_Z[i] = z;
      last_intensity[i] = intensity;
    }
    last = next = 0;
    for (int i = 0; i < 4; i++) {
      last_gpstime[i] = 0;
      last_gpstime_diff[i] = 0;
      multi_extreme_counter[i] = 0;
    }
    last_gpstime[0] = load_u64(raw + kGpsTime);

    memcpy(last_item, raw, kRecordBytes);
    last_gps_time_change = false;
    vacant = false;
  }
};

// The raw record of a point handed to a codec: what the raw POINT14 writer
// stores for it.
inline void record_of(const uint8_t* item, uint8_t* raw) {
  reinterpret_cast<const LASpointcore*>(item)->write_point14(raw);
}

}  // namespace

struct LASwriteItemCompressed_POINT14_v3::Context : Point14Context<ArithEncoder> {
  using Point14Context::Point14Context;
};

struct LASreadItemCompressed_POINT14_v3::Context : Point14Context<ArithDecoder> {
  using Point14Context::Point14Context;
};

// Writer.

LASwriteItemCompressed_POINT14_v3::LASwriteItemCompressed_POINT14_v3(ArithEncoder* enc)
    : LASwriteItemCompressed_POINT14_v3(enc, false) {}

LASwriteItemCompressed_POINT14_v3::LASwriteItemCompressed_POINT14_v3(ArithEncoder* enc, bool hand_over_every_channel)
    : enc(enc), hand_over_every_channel(hand_over_every_channel), layers(kNumLayers, 2) {}

LASwriteItemCompressed_POINT14_v3::~LASwriteItemCompressed_POINT14_v3() = default;

void LASwriteItemCompressed_POINT14_v3::init_context(uint32_t c, const uint8_t* raw) {
  ArithEncoder* coders[kNumLayers];
  for (uint32_t i = 0; i < kNumLayers; i++) coders[i] = layers[i].encoder();
  if (!contexts[c]) contexts[c] = std::make_unique<Context>(coders);
  static constexpr bool all_layers[kNumLayers] = {true, true, true, true, true, true, true, true, true};
  contexts[c]->init(coders, all_layers, raw);
}

bool LASwriteItemCompressed_POINT14_v3::init(const uint8_t* item, uint32_t& context) {
  if (!layers.start()) return false;
  for (auto& ctx : contexts) {
    if (ctx) ctx->vacant = true;
  }
  uint8_t raw[kRecordBytes];
  record_of(item, raw);
  current_context = scanner_channel(raw);
  context = current_context;
  init_context(current_context, raw);
  return true;
}

bool LASwriteItemCompressed_POINT14_v3::write(const uint8_t* item, uint32_t& context) {
  uint8_t p[kRecordBytes];
  record_of(item, p);

  Context* ctx = contexts[current_context].get();
  const uint32_t lpr = last_return_class(ctx->last_item, ctx->last_gps_time_change);
  const uint32_t c = scanner_channel(p);
  const bool channel_change = c != current_context;
  // A channel seen before in this chunk predicts from its own last point.
  const uint8_t* q = ctx->last_item;
  if (channel_change && contexts[c] && !contexts[c]->vacant) q = contexts[c]->last_item;

  const bool point_source_change = load_u16(p + kPointSource) != load_u16(q + kPointSource);
  // Compared as values: +0 and -0 are the same time, a NaN always changes.
  const bool gps_time_change = gps_time_value(p) != gps_time_value(q);
  const bool scan_angle_change = load_u16(p + kScanAngle) != load_u16(q + kScanAngle);
  const uint32_t n = number_of_returns(p);
  const uint32_t r = return_number(p);
  const uint32_t last_n = number_of_returns(q);
  const uint32_t last_r = return_number(q);
  const bool number_of_returns_change = n != last_n;
  uint32_t return_change;
  if (r == last_r) {
    return_change = kReturnSame;
  } else if (r == ((last_r + 1) & 15)) {
    return_change = kReturnNext;
  } else if (r == ((last_r + 15) & 15)) {
    return_change = kReturnPrevious;
  } else {
    return_change = kReturnOther;
  }

  const uint32_t changed_values = (channel_change ? kChangedChannel : 0) |
                                  (point_source_change ? kChangedPointSource : 0) |
                                  (gps_time_change ? kChangedGpsTime : 0) |
                                  (scan_angle_change ? kChangedScanAngle : 0) |
                                  (number_of_returns_change ? kChangedNumberOfReturns : 0) | return_change;
  ArithEncoder* xy = layers[kLayerChannelReturnsXY].encoder();
  xy->encode_symbol(*ctx->m_changed_values[lpr], changed_values);

  if (channel_change) {
    xy->encode_symbol(*ctx->m_scanner_channel, (c - current_context - 1) & 3);
    if (!contexts[c] || contexts[c]->vacant) {
      // A channel new in this chunk starts from the point before.
      uint8_t from[kRecordBytes];
      memcpy(from, ctx->last_item, kRecordBytes);
      init_context(c, from);
      q = contexts[c]->last_item;
    }
    current_context = c;
    ctx = contexts[c].get();
    context = c;
  } else if (hand_over_every_channel) {
    context = current_context;
  }

  if (number_of_returns_change) {
    xy->encode_symbol(layer_model(xy, ctx->m_number_of_returns[last_n], 16), n);
  }
  if (return_change == kReturnOther) {
    if (gps_time_change) {
      xy->encode_symbol(layer_model(xy, ctx->m_return_number[last_r], 16), r);
    } else {
      xy->encode_symbol(*ctx->m_return_number_gps_same, (r - last_r - 2) & 15);
    }
  }

  const uint32_t m = number_return_map_6ctx[n][r];
  const uint32_t l = number_return_level_8ctx.level[n][r];
  const uint32_t cpr = return_class(r, n);
  const uint32_t median = (m << 1) | (gps_time_change ? 1 : 0);
  const uint32_t single = n == 1 ? 1 : 0;

  const int32_t dX = i32_sub(load_i32(p + kX), load_i32(q + kX));
  ctx->ic_dX.compress(ctx->last_X_diff_median5[median].get(), dX, single);
  ctx->last_X_diff_median5[median].add(dX);
  const uint32_t k_dX = ctx->ic_dX.get_k();
  const int32_t dY = i32_sub(load_i32(p + kY), load_i32(q + kY));
  ctx->ic_dY.compress(ctx->last_Y_diff_median5[median].get(), dY, single + k_context(k_dX, 20));
  ctx->last_Y_diff_median5[median].add(dY);

  const uint32_t k_Z = (ctx->ic_dX.get_k() + ctx->ic_dY.get_k()) / 2;
  const int32_t z = load_i32(p + kZ);
  ctx->ic_Z.compress(ctx->last_Z[l], z, single + k_context(k_Z, 18));
  ctx->last_Z[l] = z;

  ArithEncoder* e = layers[kLayerClassification].encoder();
  if (p[kClassification] != q[kClassification]) layers[kLayerClassification].set_changed();
  const uint32_t class_model = ((q[kClassification] & 31u) << 1) + (cpr == 3 ? 1 : 0);
  e->encode_symbol(layer_model(e, ctx->m_classification[class_model], 256), p[kClassification]);

  e = layers[kLayerFlags].encoder();
  const uint32_t flags = flag_bits(p);
  const uint32_t last_flags = flag_bits(q);
  if (flags != last_flags) layers[kLayerFlags].set_changed();
  e->encode_symbol(layer_model(e, ctx->m_flags[last_flags], 64), flags);

  const uint16_t intensity = load_u16(p + kIntensity);
  if (intensity != load_u16(q + kIntensity)) layers[kLayerIntensity].set_changed();
  const uint32_t intensity_slot = (cpr << 1) | (gps_time_change ? 1 : 0);
  ctx->ic_intensity.compress(ctx->last_intensity[intensity_slot], intensity, cpr);
  ctx->last_intensity[intensity_slot] = intensity;

  if (scan_angle_change) {
    layers[kLayerScanAngle].set_changed();
    ctx->ic_scan_angle.compress(load_u16(q + kScanAngle), load_u16(p + kScanAngle), gps_time_change ? 1 : 0);
  }

  e = layers[kLayerUserData].encoder();
  if (p[kUserData] != q[kUserData]) layers[kLayerUserData].set_changed();
  e->encode_symbol(layer_model(e, ctx->m_user_data[q[kUserData] / 4], 256), p[kUserData]);

  if (point_source_change) {
    layers[kLayerPointSource].set_changed();
    ctx->ic_point_source_ID.compress(load_u16(q + kPointSource), load_u16(p + kPointSource), 0);
  }

  if (gps_time_change) {
    layers[kLayerGpsTime].set_changed();
    write_gps_time(*ctx, load_u64(p + kGpsTime));
  }

  // An unchanged time stays as the reader has it: -0 after +0 is equal as
  // a number and not coded, and must not reach a context that a new
  // scanner channel starts from, whose next new sequence would then be
  // predicted from another bit image than the reader's.
  const uint64_t kept_time = load_u64(ctx->last_item + kGpsTime);
  memcpy(ctx->last_item, p, kRecordBytes);
  if (!gps_time_change) store_u64(ctx->last_item + kGpsTime, kept_time);
  ctx->last_gps_time_change = gps_time_change;
  return true;
}

void LASwriteItemCompressed_POINT14_v3::write_gps_time(Context& ctx, uint64_t gps_time) {
  ArithEncoder* e = layers[kLayerGpsTime].encoder();
  // At most one switch: the sequence switched to fits by construction.
  for (;;) {
    const uint32_t L = ctx.last;
    const int64_t diff64 = i64_diff(gps_time, ctx.last_gpstime[L]);
    const bool fits = i64_fits_i32(diff64);
    const int32_t diff = static_cast<int32_t>(diff64);
    const bool zero_diff = ctx.last_gpstime_diff[L] == 0;
    if (fits) {
      if (zero_diff) {
        e->encode_symbol(*ctx.m_gpstime_0diff, 0);
        ctx.ic_gpstime.compress(0, diff, 0);
        ctx.last_gpstime_diff[L] = diff;
        ctx.multi_extreme_counter[L] = 0;
      } else {
        const int32_t last_diff = ctx.last_gpstime_diff[L];
        const int32_t multi = multiplier(diff, last_diff);
        bool extreme = false;
        if (multi == 1) {
          e->encode_symbol(*ctx.m_gpstime_multi, 1);
          ctx.ic_gpstime.compress(last_diff, diff, 1);
          ctx.multi_extreme_counter[L] = 0;
        } else if (multi > 0) {
          if (multi < static_cast<int32_t>(kMulti)) {
            e->encode_symbol(*ctx.m_gpstime_multi, static_cast<uint32_t>(multi));
            ctx.ic_gpstime.compress(i32_mul(multi, last_diff), diff, multi < 10 ? 2 : 3);
          } else {
            e->encode_symbol(*ctx.m_gpstime_multi, kMulti);
            ctx.ic_gpstime.compress(i32_mul(kMulti, last_diff), diff, 4);
            extreme = true;
          }
        } else if (multi < 0) {
          if (multi > kMultiMinus) {
            e->encode_symbol(*ctx.m_gpstime_multi, static_cast<uint32_t>(static_cast<int32_t>(kMulti) - multi));
            ctx.ic_gpstime.compress(i32_mul(multi, last_diff), diff, 5);
          } else {
            e->encode_symbol(*ctx.m_gpstime_multi, kMulti - kMultiMinus);
            ctx.ic_gpstime.compress(i32_mul(kMultiMinus, last_diff), diff, 6);
            extreme = true;
          }
        } else {
          e->encode_symbol(*ctx.m_gpstime_multi, 0);
          ctx.ic_gpstime.compress(0, diff, 7);
          extreme = true;
        }
        // A run of extreme multipliers means the difference itself changed.
        if (extreme && ++ctx.multi_extreme_counter[L] > 3) {
          ctx.last_gpstime_diff[L] = diff;
          ctx.multi_extreme_counter[L] = 0;
        }
      }
      ctx.last_gpstime[L] = gps_time;
      return;
    }
    bool switched = false;
    for (uint32_t i = 1; i < 4 && !switched; i++) {
      const uint32_t other = (L + i) & 3;
      if (i64_fits_i32(i64_diff(gps_time, ctx.last_gpstime[other]))) {
        e->encode_symbol(zero_diff ? *ctx.m_gpstime_0diff : *ctx.m_gpstime_multi,
                         (zero_diff ? kZeroDiffCodeFull : kMultiCodeFull) + i);
        ctx.last = other;
        switched = true;
      }
    }
    if (switched) continue;
    // A new sequence: upper half predicted from the current one, lower half raw.
    e->encode_symbol(zero_diff ? *ctx.m_gpstime_0diff : *ctx.m_gpstime_multi,
                     zero_diff ? kZeroDiffCodeFull : kMultiCodeFull);
    ctx.ic_gpstime.compress(static_cast<int32_t>(upper_half(ctx.last_gpstime[L])),
                            static_cast<int32_t>(upper_half(gps_time)), kGpsContextUpperHalf);
    e->write_int(static_cast<uint32_t>(gps_time));
    ctx.next = (ctx.next + 1) & 3;
    ctx.last = ctx.next;
    ctx.last_gpstime_diff[ctx.last] = 0;
    ctx.multi_extreme_counter[ctx.last] = 0;
    ctx.last_gpstime[ctx.last] = gps_time;
    return;
  }
}

bool LASwriteItemCompressed_POINT14_v3::chunk_sizes() {
  ByteStreamOut* out = enc->get_outstream();
  return out != nullptr && layers.write_sizes(out);
}

bool LASwriteItemCompressed_POINT14_v3::chunk_bytes() {
  ByteStreamOut* out = enc->get_outstream();
  return out != nullptr && layers.write_bytes(out);
}

// Reader.

LASreadItemCompressed_POINT14_v3::LASreadItemCompressed_POINT14_v3(ArithDecoder* dec, uint32_t decompress_selective)
    : LASreadItemCompressed_POINT14_v3(dec, decompress_selective, false) {}

LASreadItemCompressed_POINT14_v3::LASreadItemCompressed_POINT14_v3(ArithDecoder* dec, uint32_t decompress_selective,
                                                                   bool hand_over_every_channel)
    : dec(dec), hand_over_every_channel(hand_over_every_channel), layers(kNumLayers) {
  for (uint32_t i = 1; i < kNumLayers; i++) layers[i].requested = (decompress_selective & kLayerSelectiveBit[i]) != 0;
}

LASreadItemCompressed_POINT14_v3::~LASreadItemCompressed_POINT14_v3() = default;

bool LASreadItemCompressed_POINT14_v3::chunk_sizes() {
  ByteStreamIn* in = dec->get_instream();
  if (in == nullptr) return false;
  layers.read_sizes(in);
  return true;
}

void LASreadItemCompressed_POINT14_v3::init_context(uint32_t c, const uint8_t* raw) {
  ArithDecoder* coders[kNumLayers];
  bool present[kNumLayers];
  for (uint32_t i = 0; i < kNumLayers; i++) {
    coders[i] = &layers[i].dec;
    present[i] = layers[i].present;
  }
  if (!contexts[c]) contexts[c] = std::make_unique<Context>(coders);
  contexts[c]->init(coders, present, raw);
}

bool LASreadItemCompressed_POINT14_v3::init(const uint8_t* item, uint32_t& context) {
  ByteStreamIn* in = dec->get_instream();
  if (in == nullptr) return false;
  if (!layers.load(in)) return false;
  for (auto& ctx : contexts) {
    if (ctx) ctx->vacant = true;
  }
  // The raw first point as the record it came from (the conversion is
  // lossless for a point filled from a POINT14 record).
  LASpointcore first = *reinterpret_cast<const LASpointcore*>(item);
  first.extended_point_type = 1;
  uint8_t raw[kRecordBytes];
  first.write_point14(raw);
  current_context = scanner_channel(raw);
  context = current_context;
  init_context(current_context, raw);
  return true;
}

void LASreadItemCompressed_POINT14_v3::read(uint8_t* item, uint32_t& context) {
  Context* ctx = contexts[current_context].get();
  uint8_t* q = ctx->last_item;
  const uint32_t lpr = last_return_class(q, ctx->last_gps_time_change);
  ArithDecoder* xy = &layers[kLayerChannelReturnsXY].dec;
  // The layer makes most of the calls of a point: its state in registers.
  ArithDecoder::State sxy = xy->state();
  const uint32_t changed_values = xy->decode_symbol(sxy, *ctx->m_changed_values[lpr]);

  if (changed_values & kChangedChannel) {
    const uint32_t c = (current_context + xy->decode_symbol(sxy, *ctx->m_scanner_channel) + 1) & 3;
    if (!contexts[c] || contexts[c]->vacant) {
      uint8_t from[kRecordBytes];
      memcpy(from, ctx->last_item, kRecordBytes);
      init_context(c, from);
    }
    current_context = c;
    ctx = contexts[c].get();
    q = ctx->last_item;
    set_scanner_channel(q, c);
    context = c;
  } else if (hand_over_every_channel) {
    context = current_context;
  }

  const bool gps_time_change = (changed_values & kChangedGpsTime) != 0;
  const bool scan_angle_change = (changed_values & kChangedScanAngle) != 0;
  const bool point_source_change = (changed_values & kChangedPointSource) != 0;

  const uint32_t last_n = number_of_returns(q);
  const uint32_t last_r = return_number(q);
  uint32_t n = last_n;
  if (changed_values & kChangedNumberOfReturns) {
    n = xy->decode_symbol(sxy, layer_model(xy, ctx->m_number_of_returns[last_n], 16));
  }
  uint32_t r;
  switch (changed_values & 3) {
    case kReturnSame:
      r = last_r;
      break;
    case kReturnNext:
      r = (last_r + 1) & 15;
      break;
    case kReturnPrevious:
      r = (last_r + 15) & 15;
      break;
    default:
      if (gps_time_change) {
        r = xy->decode_symbol(sxy, layer_model(xy, ctx->m_return_number[last_r], 16));
      } else {
        r = (last_r + xy->decode_symbol(sxy, *ctx->m_return_number_gps_same) + 2) & 15;
      }
      break;
  }
  q[kReturns] = static_cast<uint8_t>(r | (n << 4));

  const uint32_t m = number_return_map_6ctx[n][r];
  const uint32_t l = number_return_level_8ctx.level[n][r];
  const uint32_t cpr = return_class(r, n);
  const uint32_t median = (m << 1) | (gps_time_change ? 1 : 0);
  const uint32_t single = n == 1 ? 1 : 0;

  // The layers that do not wait for the coordinates come first: each has
  // its own code, and the processor works on them while the coordinate
  // layer's longer chain of calls runs.
  if (layers[kLayerClassification].present) {
    ArithDecoder* d = &layers[kLayerClassification].dec;
    const uint32_t class_model = ((q[kClassification] & 31u) << 1) + (cpr == 3 ? 1 : 0);
    q[kClassification] = static_cast<uint8_t>(d->decode_symbol(layer_model(d, ctx->m_classification[class_model], 256)));
  }

  if (layers[kLayerFlags].present) {
    ArithDecoder* d = &layers[kLayerFlags].dec;
    set_flag_bits(q, d->decode_symbol(layer_model(d, ctx->m_flags[flag_bits(q)], 64)));
  }

  if (layers[kLayerIntensity].present) {
    const uint32_t intensity_slot = (cpr << 1) | (gps_time_change ? 1 : 0);
    const uint16_t intensity =
        static_cast<uint16_t>(ctx->ic_intensity.decompress(ctx->last_intensity[intensity_slot], cpr));
    ctx->last_intensity[intensity_slot] = intensity;
    store_u16(q + kIntensity, intensity);
  }

  if (scan_angle_change && layers[kLayerScanAngle].present) {
    store_u16(q + kScanAngle, static_cast<uint16_t>(ctx->ic_scan_angle.decompress(load_u16(q + kScanAngle),
                                                                                 gps_time_change ? 1 : 0)));
  }

  if (layers[kLayerUserData].present) {
    ArithDecoder* d = &layers[kLayerUserData].dec;
    q[kUserData] = static_cast<uint8_t>(d->decode_symbol(layer_model(d, ctx->m_user_data[q[kUserData] / 4], 256)));
  }

  if (point_source_change && layers[kLayerPointSource].present) {
    store_u16(q + kPointSource,
              static_cast<uint16_t>(ctx->ic_point_source_ID.decompress(load_u16(q + kPointSource), 0)));
  }

  if (gps_time_change && layers[kLayerGpsTime].present) {
    read_gps_time(*ctx);
    store_u64(q + kGpsTime, ctx->last_gpstime[ctx->last]);
  }

  const int32_t dX = ctx->ic_dX.decompress(sxy, ctx->last_X_diff_median5[median].get(), single);
  store_i32(q + kX, i32_add(load_i32(q + kX), dX));
  ctx->last_X_diff_median5[median].add(dX);
  const uint32_t k_dX = ctx->ic_dX.get_k();
  const int32_t dY = ctx->ic_dY.decompress(sxy, ctx->last_Y_diff_median5[median].get(), single + k_context(k_dX, 20));
  store_i32(q + kY, i32_add(load_i32(q + kY), dY));
  ctx->last_Y_diff_median5[median].add(dY);
  xy->set_state(sxy);

  if (layers[kLayerZ].present) {
    const uint32_t k_Z = (ctx->ic_dX.get_k() + ctx->ic_dY.get_k()) / 2;
    const int32_t z = ctx->ic_Z.decompress(ctx->last_Z[l], single + k_context(k_Z, 18));
    store_i32(q + kZ, z);
    ctx->last_Z[l] = z;
  }

  reinterpret_cast<LASpointcore*>(item)->read_point14(q);
  ctx->last_gps_time_change = gps_time_change;
}

void LASreadItemCompressed_POINT14_v3::read_gps_time(Context& ctx) {
  ArithDecoder* d = &layers[kLayerGpsTime].dec;
  ArithDecoder::State s = d->state();
  for (int pass = 0;; pass++) {
    const uint32_t L = ctx.last;
    uint32_t switch_by = 0;
    bool new_sequence = false;
    if (ctx.last_gpstime_diff[L] == 0) {
      const uint32_t sym = d->decode_symbol(s, *ctx.m_gpstime_0diff);
      if (sym == 0) {
        const int32_t diff = ctx.ic_gpstime.decompress(s, 0, 0);
        ctx.last_gpstime_diff[L] = diff;
        ctx.multi_extreme_counter[L] = 0;
        ctx.last_gpstime[L] += static_cast<uint64_t>(static_cast<int64_t>(diff));
      } else if (sym == kZeroDiffCodeFull) {
        new_sequence = true;
      } else {
        switch_by = sym - kZeroDiffCodeFull;
      }
    } else {
      const uint32_t sym = d->decode_symbol(s, *ctx.m_gpstime_multi);
      const int32_t last_diff = ctx.last_gpstime_diff[L];
      if (sym == 1) {
        ctx.last_gpstime[L] += static_cast<uint64_t>(static_cast<int64_t>(ctx.ic_gpstime.decompress(s, last_diff, 1)));
        ctx.multi_extreme_counter[L] = 0;
      } else if (sym < kMultiCodeFull) {
        int32_t diff;
        bool extreme = false;
        if (sym == 0) {
          diff = ctx.ic_gpstime.decompress(s, 0, 7);
          extreme = true;
        } else if (sym < kMulti) {
          diff = ctx.ic_gpstime.decompress(s, i32_mul(static_cast<int32_t>(sym), last_diff), sym < 10 ? 2 : 3);
        } else if (sym == kMulti) {
          diff = ctx.ic_gpstime.decompress(s, i32_mul(kMulti, last_diff), 4);
          extreme = true;
        } else if (sym < kMulti - kMultiMinus) {
          const int32_t negative = static_cast<int32_t>(kMulti) - static_cast<int32_t>(sym);
          diff = ctx.ic_gpstime.decompress(s, i32_mul(negative, last_diff), 5);
        } else {
          diff = ctx.ic_gpstime.decompress(s, i32_mul(kMultiMinus, last_diff), 6);
          extreme = true;
        }
        if (extreme && ++ctx.multi_extreme_counter[L] > 3) {
          ctx.last_gpstime_diff[L] = diff;
          ctx.multi_extreme_counter[L] = 0;
        }
        ctx.last_gpstime[L] += static_cast<uint64_t>(static_cast<int64_t>(diff));
      } else if (sym == kMultiCodeFull) {
        new_sequence = true;
      } else {
        switch_by = sym - kMultiCodeFull;
      }
    }
    if (switch_by) {
      // A writer switches only to a sequence the time fits, never twice.
      if (pass > 0) throw arith_corrupt_data;
      ctx.last = (L + switch_by) & 3;
      continue;
    }
    if (new_sequence) {
      const uint32_t upper = static_cast<uint32_t>(
          ctx.ic_gpstime.decompress(s, static_cast<int32_t>(upper_half(ctx.last_gpstime[L])), kGpsContextUpperHalf));
      const uint32_t low = d->read_short(s);
      const uint32_t lower = low | static_cast<uint32_t>(d->read_short(s)) << 16;
      ctx.next = (ctx.next + 1) & 3;
      ctx.last = ctx.next;
      ctx.last_gpstime_diff[ctx.last] = 0;
      ctx.multi_extreme_counter[ctx.last] = 0;
      ctx.last_gpstime[ctx.last] = (static_cast<uint64_t>(upper) << 32) | lower;
    }
    d->set_state(s);
    return;
  }
}
