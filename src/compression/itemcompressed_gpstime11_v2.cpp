#include "compression/itemcompressed_gpstime11_v2.h"

#include <cstring>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/arithmodel.h"
#include "compression/itemcompressed_helpers.h"

namespace {

// Symbols of the multiplier model.
constexpr uint32_t kMulti = 500;           // 2..499 multiplier, 500 for 500 and more
constexpr int32_t kMultiMinus = -10;       // 501..509 for -1..-9, 510 for -10 and less
constexpr uint32_t kMultiUnchanged = 511;  // kMulti - kMultiMinus + 1
constexpr uint32_t kMultiCodeFull = 512;   // new sequence; 513..515 switch sequence
constexpr uint32_t kMultiTotal = 516;

// Symbols of the zero-difference model: 0 unchanged, 1 difference, 2 new
// sequence, 3..5 switch sequence.
constexpr uint32_t kZeroDiffTotal = 6;

// Contexts of the integer coder.
constexpr uint32_t kContexts = 9;
constexpr uint32_t kContextUpperHalf = 8;

// The multiplier of the last difference nearest to d: the quotient in single
// precision, rounded half away from zero in double precision.
int32_t multiplier(int32_t d, int32_t last_d) {
  const double q = static_cast<float>(d) / static_cast<float>(last_d);
  return i32_truncate(q >= 0 ? q + 0.5 : q - 0.5);
}

int32_t upper_half(uint64_t t) { return static_cast<int32_t>(t >> 32); }

}  // namespace

LASwriteItemCompressed_GPSTIME11_v2::LASwriteItemCompressed_GPSTIME11_v2(ArithEncoder* enc)
    : enc(enc),
      m_gpstime_multi(enc->create_symbol_model(kMultiTotal)),
      m_gpstime_0diff(enc->create_symbol_model(kZeroDiffTotal)),
      ic_gpstime(enc, 32, kContexts, 8, 0) {}

LASwriteItemCompressed_GPSTIME11_v2::~LASwriteItemCompressed_GPSTIME11_v2() = default;

bool LASwriteItemCompressed_GPSTIME11_v2::init(const uint8_t* item, uint32_t& /*context*/) {
  last = next = 0;
  for (int i = 0; i < 4; i++) {
    last_gpstime[i] = 0;
    last_gpstime_diff[i] = 0;
    multi_extreme_counter[i] = 0;
  }
  enc->init_symbol_model(*m_gpstime_multi);
  enc->init_symbol_model(*m_gpstime_0diff);
  ic_gpstime.init_encoding();
  last_gpstime[0] = load_u64(item);
  return true;
}

bool LASwriteItemCompressed_GPSTIME11_v2::write(const uint8_t* item, uint32_t& /*context*/) {
  const uint64_t this_gpstime = load_u64(item);
  // At most one switch: the sequence switched to fits by construction.
  for (;;) {
    if (last_gpstime_diff[last] == 0) {
      if (this_gpstime == last_gpstime[last]) {
        enc->encode_symbol(*m_gpstime_0diff, 0);
        return true;
      }
      const int64_t diff64 = i64_diff(this_gpstime, last_gpstime[last]);
      if (i64_fits_i32(diff64)) {
        const int32_t diff = static_cast<int32_t>(diff64);
        enc->encode_symbol(*m_gpstime_0diff, 1);
        ic_gpstime.compress(0, diff, 0);
        last_gpstime_diff[last] = diff;
        multi_extreme_counter[last] = 0;
        last_gpstime[last] = this_gpstime;
        return true;
      }
      bool switched = false;
      for (uint32_t i = 1; i < 4 && !switched; i++) {
        const uint32_t other = (last + i) & 3;
        if (i64_fits_i32(i64_diff(this_gpstime, last_gpstime[other]))) {
          enc->encode_symbol(*m_gpstime_0diff, i + 2);
          last = other;
          switched = true;
        }
      }
      if (switched) continue;
      enc->encode_symbol(*m_gpstime_0diff, 2);
    } else {
      if (this_gpstime == last_gpstime[last]) {
        enc->encode_symbol(*m_gpstime_multi, kMultiUnchanged);
        return true;
      }
      const int64_t diff64 = i64_diff(this_gpstime, last_gpstime[last]);
      if (i64_fits_i32(diff64)) {
        const int32_t diff = static_cast<int32_t>(diff64);
        const int32_t last_diff = last_gpstime_diff[last];
        const int32_t multi = multiplier(diff, last_diff);
        bool extreme = false;
        if (multi == 1) {
          enc->encode_symbol(*m_gpstime_multi, 1);
          ic_gpstime.compress(last_diff, diff, 1);
          multi_extreme_counter[last] = 0;
        } else if (multi > 0) {
          if (multi < static_cast<int32_t>(kMulti)) {
            enc->encode_symbol(*m_gpstime_multi, static_cast<uint32_t>(multi));
            ic_gpstime.compress(i32_mul(multi, last_diff), diff, multi < 10 ? 2 : 3);
          } else {
            enc->encode_symbol(*m_gpstime_multi, kMulti);
            ic_gpstime.compress(i32_mul(kMulti, last_diff), diff, 4);
            extreme = true;
          }
        } else if (multi < 0) {
          if (multi > kMultiMinus) {
            enc->encode_symbol(*m_gpstime_multi, static_cast<uint32_t>(static_cast<int32_t>(kMulti) - multi));
            ic_gpstime.compress(i32_mul(multi, last_diff), diff, 5);
          } else {
            enc->encode_symbol(*m_gpstime_multi, kMulti - kMultiMinus);
            ic_gpstime.compress(i32_mul(kMultiMinus, last_diff), diff, 6);
            extreme = true;
          }
        } else {
          enc->encode_symbol(*m_gpstime_multi, 0);
          ic_gpstime.compress(0, diff, 7);
          extreme = true;
        }
        // A run of extreme multipliers means the difference itself changed.
        if (extreme && ++multi_extreme_counter[last] > 3) {
          last_gpstime_diff[last] = diff;
          multi_extreme_counter[last] = 0;
        }
        last_gpstime[last] = this_gpstime;
        return true;
      }
      bool switched = false;
      for (uint32_t i = 1; i < 4 && !switched; i++) {
        const uint32_t other = (last + i) & 3;
        if (i64_fits_i32(i64_diff(this_gpstime, last_gpstime[other]))) {
          enc->encode_symbol(*m_gpstime_multi, kMultiCodeFull + i);
          last = other;
          switched = true;
        }
      }
      if (switched) continue;
      enc->encode_symbol(*m_gpstime_multi, kMultiCodeFull);
    }
    // A new sequence: upper half predicted from the current one, lower half raw.
    ic_gpstime.compress(upper_half(last_gpstime[last]), upper_half(this_gpstime), kContextUpperHalf);
    enc->write_int(static_cast<uint32_t>(this_gpstime));
    next = (next + 1) & 3;
    last = next;
    last_gpstime_diff[last] = 0;
    multi_extreme_counter[last] = 0;
    last_gpstime[last] = this_gpstime;
    return true;
  }
}

LASreadItemCompressed_GPSTIME11_v2::LASreadItemCompressed_GPSTIME11_v2(ArithDecoder* dec)
    : dec(dec),
      m_gpstime_multi(dec->create_symbol_model(kMultiTotal)),
      m_gpstime_0diff(dec->create_symbol_model(kZeroDiffTotal)),
      ic_gpstime(dec, 32, kContexts, 8, 0) {}

LASreadItemCompressed_GPSTIME11_v2::~LASreadItemCompressed_GPSTIME11_v2() = default;

bool LASreadItemCompressed_GPSTIME11_v2::init(const uint8_t* item, uint32_t& /*context*/) {
  last = next = 0;
  for (int i = 0; i < 4; i++) {
    last_gpstime[i] = 0;
    last_gpstime_diff[i] = 0;
    multi_extreme_counter[i] = 0;
  }
  dec->init_symbol_model(*m_gpstime_multi);
  dec->init_symbol_model(*m_gpstime_0diff);
  ic_gpstime.init_decoding();
  last_gpstime[0] = load_u64(item);
  return true;
}

void LASreadItemCompressed_GPSTIME11_v2::read(uint8_t* item, uint32_t& /*context*/) {
  ArithDecoder::State s = dec->state();
  for (int pass = 0;; pass++) {
    bool new_sequence = false;
    uint32_t switch_by = 0;
    if (last_gpstime_diff[last] == 0) {
      const uint32_t multi = dec->decode_symbol(s, *m_gpstime_0diff);
      if (multi == 1) {
        const int32_t diff = ic_gpstime.decompress(s, 0, 0);
        last_gpstime_diff[last] = diff;
        multi_extreme_counter[last] = 0;
        last_gpstime[last] += static_cast<uint64_t>(static_cast<int64_t>(diff));
      } else if (multi == 2) {
        new_sequence = true;
      } else if (multi > 2) {
        switch_by = multi - 2;
      }
    } else {
      const uint32_t multi = dec->decode_symbol(s, *m_gpstime_multi);
      const int32_t last_diff = last_gpstime_diff[last];
      if (multi == 1) {
        last_gpstime[last] += static_cast<uint64_t>(static_cast<int64_t>(ic_gpstime.decompress(s, last_diff, 1)));
        multi_extreme_counter[last] = 0;
      } else if (multi < kMultiUnchanged) {
        int32_t diff;
        bool extreme = false;
        if (multi == 0) {
          diff = ic_gpstime.decompress(s, 0, 7);
          extreme = true;
        } else if (multi < kMulti) {
          diff = ic_gpstime.decompress(s, i32_mul(static_cast<int32_t>(multi), last_diff), multi < 10 ? 2 : 3);
        } else if (multi == kMulti) {
          diff = ic_gpstime.decompress(s, i32_mul(kMulti, last_diff), 4);
          extreme = true;
        } else if (multi < kMulti - kMultiMinus) {
          const int32_t negative = static_cast<int32_t>(kMulti) - static_cast<int32_t>(multi);
          diff = ic_gpstime.decompress(s, i32_mul(negative, last_diff), 5);
        } else {
          diff = ic_gpstime.decompress(s, i32_mul(kMultiMinus, last_diff), 6);
          extreme = true;
        }
        if (extreme && ++multi_extreme_counter[last] > 3) {
          last_gpstime_diff[last] = diff;
          multi_extreme_counter[last] = 0;
        }
        last_gpstime[last] += static_cast<uint64_t>(static_cast<int64_t>(diff));
      } else if (multi == kMultiCodeFull) {
        new_sequence = true;
      } else if (multi > kMultiCodeFull) {
        switch_by = multi - kMultiCodeFull;
      }
    }
    if (switch_by) {
      if (pass > 0) throw arith_corrupt_data;
      last = (last + switch_by) & 3;
      continue;
    }
    if (new_sequence) {
      const uint32_t upper = static_cast<uint32_t>(ic_gpstime.decompress(s, upper_half(last_gpstime[last]), kContextUpperHalf));
      const uint32_t low = dec->read_short(s);
      const uint32_t lower = low | static_cast<uint32_t>(dec->read_short(s)) << 16;
      next = (next + 1) & 3;
      last = next;
      last_gpstime_diff[last] = 0;
      multi_extreme_counter[last] = 0;
      last_gpstime[last] = (static_cast<uint64_t>(upper) << 32) | lower;
    }
    dec->set_state(s);
    store_u64(item, last_gpstime[last]);
    return;
  }
}
