// Codes a signed integer as the corrector between the actual value and a
// prediction. The corrector's magnitude class k (its number of significant
// bits) is coded with a per-context model; the corrector itself with a model
// per class, whose low bits beyond bits_high go out raw.
#ifndef TIECHECK_COMPRESSION_INTEGERCODER_H
#define TIECHECK_COMPRESSION_INTEGERCODER_H

#include <cassert>
#include <cstdint>
#include <memory>
#include <vector>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/arithmodel.h"

class IntegerCoder {
 public:
  // Values have `bits` significant bits (0 or 32 and more: full 32-bit
  // values, exact modulo 2^32), or lie in 0..range-1 when range is non-zero
  // (2 to 2^31: decoding folds by the sign of the i32 result). `contexts` (>= 1) models for the magnitude class;
  // bits_high (1 to 11) bits of a corrector are modelled, the rest raw.
  // The coder (not owned) must outlive this object.
  IntegerCoder(ArithEncoder* enc, uint32_t bits, uint32_t contexts, uint32_t bits_high, uint32_t range);
  IntegerCoder(ArithDecoder* dec, uint32_t bits, uint32_t contexts, uint32_t bits_high, uint32_t range);
  IntegerCoder(const IntegerCoder&) = delete;
  IntegerCoder& operator=(const IntegerCoder&) = delete;
  ~IntegerCoder();

  // Create the models on the first call, then (re)initialise all of them.
  void init_encoding();
  void init_decoding();

  // Codes real against pred in the given context (below `contexts`).
  // compress and decompress are defined below, inline, as the item codecs
  // call them for every coordinate.
  void compress(int32_t pred, int32_t real, uint32_t context);
  // Decodes the value coded against pred in the given context. Throws what
  // the decoder throws.
  int32_t decompress(int32_t pred, uint32_t context) {
    ArithDecoder::State s = dec->state();
    const int32_t real = decompress(s, pred, context);
    dec->set_state(s);
    return real;
  }
  // The same on a decoder state the caller holds (ArithDecoder::state()).
  int32_t decompress(ArithDecoder::State& s, int32_t pred, uint32_t context);

  // Magnitude class of the last corrector coded or decoded (0 to 32).
  uint32_t get_k() const { return k; }

 private:
  IntegerCoder(ArithEncoder* enc, ArithDecoder* dec, uint32_t bits, uint32_t contexts, uint32_t bits_high,
               uint32_t range);
  void create_models(bool compress);
  void write_corrector(int32_t c, SymbolModel& k_model);
  int32_t read_corrector(ArithDecoder::State& s, SymbolModel& k_model);

  ArithEncoder* enc = nullptr;
  ArithDecoder* dec = nullptr;
  uint32_t contexts;
  uint32_t bits_high;
  uint32_t corr_bits = 0;
  uint32_t corr_range = 0;
  int32_t corr_min = 0;
  int32_t corr_max = 0;
  uint32_t k = 0;

  // k_models[context] has corr_bits + 1 symbols; corrector_models[i] for
  // i = 1..corr_bits has 2^min(i, bits_high) symbols (entry 0 unused, the
  // bit model stands for class 0).
  std::vector<std::unique_ptr<SymbolModel>> k_models;
  std::unique_ptr<BitModel> corrector_bit;
  std::vector<std::unique_ptr<SymbolModel>> corrector_models;
};

namespace integercoder_detail {

// Number of significant bits of v (0 for 0).
inline uint32_t bit_width(uint32_t v) { return v ? 32 - static_cast<uint32_t>(__builtin_clz(v)) : 0; }

}  // namespace integercoder_detail

inline void IntegerCoder::compress(int32_t pred, int32_t real, uint32_t context) {
  assert(context < contexts);
  // Wrapping difference, folded into [corr_min, corr_max].
  uint32_t c = static_cast<uint32_t>(real) - static_cast<uint32_t>(pred);
  if (static_cast<int32_t>(c) < corr_min) {
    c += corr_range;
  } else if (static_cast<int32_t>(c) > corr_max) {
    c -= corr_range;
  }
  write_corrector(static_cast<int32_t>(c), *k_models[context]);
}

ARITH_ALWAYS_INLINE int32_t IntegerCoder::decompress(ArithDecoder::State& s, int32_t pred, uint32_t context) {
  assert(context < contexts);
  uint32_t real = static_cast<uint32_t>(pred) + static_cast<uint32_t>(read_corrector(s, *k_models[context]));
  if (static_cast<int32_t>(real) < 0) {
    real += corr_range;
  } else if (real >= corr_range) {
    real -= corr_range;  // with corr_range 0 (32-bit values) nothing to fold
  }
  return static_cast<int32_t>(real);
}

inline void IntegerCoder::write_corrector(int32_t c, SymbolModel& k_model) {
  // c lies in [-(2^k - 1), 2^k] for the k coded here.
  const uint32_t uc = static_cast<uint32_t>(c);
  k = integercoder_detail::bit_width(c <= 0 ? 0u - uc : uc - 1);
  enc->encode_symbol(k_model, k);
  if (k == 0) {
    enc->encode_bit(*corrector_bit, uc);  // c is 0 or 1
  } else if (k < 32) {
    // Map [-(2^k - 1), -2^(k-1)] and [2^(k-1) + 1, 2^k] onto [0, 2^k - 1].
    const uint32_t mapped = c < 0 ? uc + ((1u << k) - 1) : uc - 1;
    if (k <= bits_high) {
      enc->encode_symbol(*corrector_models[k], mapped);
    } else {
      const uint32_t k1 = k - bits_high;
      enc->encode_symbol(*corrector_models[k], mapped >> k1);
      enc->write_bits(k1, mapped & ((1u << k1) - 1));
    }
  }
  // k = 32 is only c = -2^31, which the class alone tells.
}

ARITH_ALWAYS_INLINE int32_t IntegerCoder::read_corrector(ArithDecoder::State& s, SymbolModel& k_model) {
  k = dec->decode_symbol(s, k_model);
  if (k == 0) return static_cast<int32_t>(dec->decode_bit(s, *corrector_bit));
  if (k >= 32) return corr_min;
  uint32_t c;
  if (k <= bits_high) {
    c = dec->decode_symbol(s, *corrector_models[k]);
  } else {
    const uint32_t k1 = k - bits_high;
    c = dec->decode_symbol(s, *corrector_models[k]);
    c = (c << k1) | dec->read_bits(s, k1);
  }
  // [0, 2^(k-1)) maps back to [-(2^k - 1), -2^(k-1)], the rest to
  // [2^(k-1) + 1, 2^k]; the sign follows no pattern, so no branch.
  const uint32_t negative = 0u - static_cast<uint32_t>(c < (1u << (k - 1)));
  return static_cast<int32_t>(c + 1 - ((1u << k) & negative));
}

#endif
