// Small helpers shared by the item codecs: unaligned little-endian field
// access inside item bytes, byte folding and clamping, and the wrapping
// 32-bit arithmetic that the predictions use.
#ifndef TIECHECK_COMPRESSION_ITEMCOMPRESSED_HELPERS_H
#define TIECHECK_COMPRESSION_ITEMCOMPRESSED_HELPERS_H

#include <cstdint>
#include <cstring>
#include <memory>

#include "compression/arithmodel.h"

// Item bytes are stored little-endian and the host is little-endian (the byte
// streams assert it), so fields are plain unaligned copies.
inline uint16_t load_u16(const uint8_t* p) {
  uint16_t v;
  memcpy(&v, p, sizeof(v));
  return v;
}
inline uint32_t load_u32(const uint8_t* p) {
  uint32_t v;
  memcpy(&v, p, sizeof(v));
  return v;
}
inline int32_t load_i32(const uint8_t* p) {
  int32_t v;
  memcpy(&v, p, sizeof(v));
  return v;
}
inline uint64_t load_u64(const uint8_t* p) {
  uint64_t v;
  memcpy(&v, p, sizeof(v));
  return v;
}
inline void store_u16(uint8_t* p, uint16_t v) { memcpy(p, &v, sizeof(v)); }
inline void store_u32(uint8_t* p, uint32_t v) { memcpy(p, &v, sizeof(v)); }
inline void store_i32(uint8_t* p, int32_t v) { memcpy(p, &v, sizeof(v)); }
inline void store_u64(uint8_t* p, uint64_t v) { memcpy(p, &v, sizeof(v)); }

// A byte difference or sum modulo 256.
inline uint8_t u8_fold(int32_t n) { return static_cast<uint8_t>(n); }
inline uint8_t u8_clamp(int32_t n) { return static_cast<uint8_t>(n <= 0 ? 0 : (n >= 255 ? 255 : n)); }

// Signed 32-bit arithmetic that wraps instead of overflowing.
inline int32_t i32_add(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t i32_sub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t i32_mul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// The difference a - b of two 64-bit images, wrapping modulo 2^64.
inline int64_t i64_diff(uint64_t a, uint64_t b) { return static_cast<int64_t>(a - b); }
// Whether a 64-bit difference fits a signed 32-bit integer.
inline bool i64_fits_i32(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

// Conversion of a double to i32 truncating toward zero, giving INT32_MIN for
// values outside the range (as the x86 conversion instruction does): the
// multipliers of the time codecs depend on it for their bytes.
inline int32_t i32_truncate(double v) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// Context models of 256 symbols chosen by a previous byte value exist only
// for the values that occur: created and initialised on first use, and
// re-initialised (not recreated) at every chunk start.
template <typename Coder>
SymbolModel& model_on_first_use(Coder* coder, std::unique_ptr<SymbolModel>& model) {
  if (!model) {
    model.reset(coder->create_symbol_model(256));
    coder->init_symbol_model(*model);
  }
  return *model;
}

template <typename Coder>
void reinit_created(Coder* coder, std::unique_ptr<SymbolModel> (&models)[256]) {
  for (auto& m : models) {
    if (m) coder->init_symbol_model(*m);
  }
}

#endif
