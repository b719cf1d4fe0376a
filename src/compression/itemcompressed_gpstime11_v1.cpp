#include "compression/itemcompressed_gpstime11_v1.h"

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/arithmodel.h"
#include "compression/itemcompressed_helpers.h"

namespace {

// Multiplier model: 0..509 multipliers (limited), 510 raw time, 511 unchanged.
constexpr uint32_t kMultiMax = 512;
constexpr int32_t kMultiLimit = 509;
constexpr uint32_t kMultiRaw = 510;
constexpr uint32_t kMultiUnchanged = 511;
// Zero-difference model: 0 unchanged, 1 difference, 2 raw time.
constexpr uint32_t kZeroDiffTotal = 3;
constexpr uint32_t kContexts = 6;

// The multiplier of the last difference: the single-precision quotient plus
// one half, truncated, limited to 0..509.
int32_t multiplier(int32_t d, int32_t last_d) {
  const float q = static_cast<float>(d) / static_cast<float>(last_d) + 0.5f;
  const int32_t m = i32_truncate(q);
  return m < 0 ? 0 : (m > kMultiLimit ? kMultiLimit : m);
}

// Context of the integer coder for multipliers other than 0 and 1.
uint32_t multiplier_context(int32_t m) { return m < 10 ? 3 : (m < 50 ? 4 : 5); }

}  // namespace

LASwriteItemCompressed_GPSTIME11_v1::LASwriteItemCompressed_GPSTIME11_v1(ArithEncoder* enc)
    : enc(enc),
      m_gpstime_multi(enc->create_symbol_model(kMultiMax)),
      m_gpstime_0diff(enc->create_symbol_model(kZeroDiffTotal)),
      ic_gpstime(enc, 32, kContexts, 8, 0) {}

LASwriteItemCompressed_GPSTIME11_v1::~LASwriteItemCompressed_GPSTIME11_v1() = default;

bool LASwriteItemCompressed_GPSTIME11_v1::init(const uint8_t* item, uint32_t& /*context*/) {
  last_gpstime_diff = 0;
  multi_extreme_counter = 0;
  enc->init_symbol_model(*m_gpstime_multi);
  enc->init_symbol_model(*m_gpstime_0diff);
  ic_gpstime.init_encoding();
  last_gpstime = load_u64(item);
  return true;
}

bool LASwriteItemCompressed_GPSTIME11_v1::write(const uint8_t* item, uint32_t& /*context*/) {
  const uint64_t this_gpstime = load_u64(item);
  const int64_t diff64 = i64_diff(this_gpstime, last_gpstime);
  const bool fits = i64_fits_i32(diff64);
  const int32_t diff = static_cast<int32_t>(diff64);
  if (last_gpstime_diff == 0) {
    if (this_gpstime == last_gpstime) {
      enc->encode_symbol(*m_gpstime_0diff, 0);
    } else if (fits) {
      enc->encode_symbol(*m_gpstime_0diff, 1);
      ic_gpstime.compress(0, diff, 0);
      last_gpstime_diff = diff;
    } else {
      enc->encode_symbol(*m_gpstime_0diff, 2);
      enc->write_int64(this_gpstime);
    }
  } else {
    if (this_gpstime == last_gpstime) {
      enc->encode_symbol(*m_gpstime_multi, kMultiUnchanged);
    } else if (fits) {
      const int32_t multi = multiplier(diff, last_gpstime_diff);
      enc->encode_symbol(*m_gpstime_multi, static_cast<uint32_t>(multi));
      if (multi == 1) {
        ic_gpstime.compress(last_gpstime_diff, diff, 1);
        last_gpstime_diff = diff;
        multi_extreme_counter = 0;
      } else if (multi == 0) {
        ic_gpstime.compress(last_gpstime_diff / 4, diff, 2);
        if (++multi_extreme_counter > 3) {
          last_gpstime_diff = diff;
          multi_extreme_counter = 0;
        }
      } else {
        ic_gpstime.compress(i32_mul(multi, last_gpstime_diff), diff, multiplier_context(multi));
        if (multi == kMultiLimit && ++multi_extreme_counter > 3) {
          last_gpstime_diff = diff;
          multi_extreme_counter = 0;
        }
      }
    } else {
      enc->encode_symbol(*m_gpstime_multi, kMultiRaw);
      enc->write_int64(this_gpstime);
    }
  }
  last_gpstime = this_gpstime;
  return true;
}

LASreadItemCompressed_GPSTIME11_v1::LASreadItemCompressed_GPSTIME11_v1(ArithDecoder* dec)
    : dec(dec),
      m_gpstime_multi(dec->create_symbol_model(kMultiMax)),
      m_gpstime_0diff(dec->create_symbol_model(kZeroDiffTotal)),
      ic_gpstime(dec, 32, kContexts, 8, 0) {}

LASreadItemCompressed_GPSTIME11_v1::~LASreadItemCompressed_GPSTIME11_v1() = default;

bool LASreadItemCompressed_GPSTIME11_v1::init(const uint8_t* item, uint32_t& /*context*/) {
  last_gpstime_diff = 0;
  multi_extreme_counter = 0;
  dec->init_symbol_model(*m_gpstime_multi);
  dec->init_symbol_model(*m_gpstime_0diff);
  ic_gpstime.init_decoding();
  last_gpstime = load_u64(item);
  return true;
}

void LASreadItemCompressed_GPSTIME11_v1::read(uint8_t* item, uint32_t& /*context*/) {
  if (last_gpstime_diff == 0) {
    const uint32_t multi = dec->decode_symbol(*m_gpstime_0diff);
    if (multi == 1) {
      last_gpstime_diff = ic_gpstime.decompress(0, 0);
      last_gpstime += static_cast<uint64_t>(static_cast<int64_t>(last_gpstime_diff));
    } else if (multi == 2) {
      last_gpstime = dec->read_int64();
    }
  } else {
    const uint32_t multi = dec->decode_symbol(*m_gpstime_multi);
    if (multi < kMultiRaw) {
      int32_t diff;
      if (multi == 1) {
        diff = ic_gpstime.decompress(last_gpstime_diff, 1);
        last_gpstime_diff = diff;
        multi_extreme_counter = 0;
      } else if (multi == 0) {
        diff = ic_gpstime.decompress(last_gpstime_diff / 4, 2);
        if (++multi_extreme_counter > 3) {
          last_gpstime_diff = diff;
          multi_extreme_counter = 0;
        }
      } else {
        const int32_t m = static_cast<int32_t>(multi);
        diff = ic_gpstime.decompress(i32_mul(m, last_gpstime_diff), multiplier_context(m));
        if (m == kMultiLimit && ++multi_extreme_counter > 3) {
          last_gpstime_diff = diff;
          multi_extreme_counter = 0;
        }
      }
      last_gpstime += static_cast<uint64_t>(static_cast<int64_t>(diff));
    } else if (multi == kMultiRaw) {
      last_gpstime = dec->read_int64();
    }
  }
  store_u64(item, last_gpstime);
}
