#include "compression/integercoder.h"

#include <cassert>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"

namespace {

// Number of significant bits of v (0 for 0).
inline uint32_t bit_width(uint32_t v) {
  return v ? 32 - static_cast<uint32_t>(__builtin_clz(v)) : 0;
}

}  // namespace

IntegerCoder::IntegerCoder(ArithEncoder* enc, uint32_t bits, uint32_t contexts, uint32_t bits_high, uint32_t range)
    : IntegerCoder(enc, nullptr, bits, contexts, bits_high, range) {}

IntegerCoder::IntegerCoder(ArithDecoder* dec, uint32_t bits, uint32_t contexts, uint32_t bits_high, uint32_t range)
    : IntegerCoder(nullptr, dec, bits, contexts, bits_high, range) {}

IntegerCoder::IntegerCoder(ArithEncoder* enc, ArithDecoder* dec, uint32_t bits, uint32_t contexts,
                           uint32_t bits_high, uint32_t range)
    : enc(enc), dec(dec), bits(bits), contexts(contexts), bits_high(bits_high), range(range) {
  assert(contexts >= 1 && bits_high >= 1 && bits_high <= 11 && range != 1 && range <= 0x80000000u);
  if (range) {
    corr_range = range;
    corr_bits = 0;
    while (corr_bits < 32 && (uint64_t{1} << corr_bits) < range) corr_bits++;
    corr_min = -static_cast<int32_t>(range / 2);
    corr_max = static_cast<int32_t>(static_cast<uint32_t>(corr_min) + range - 1);
  } else if (bits && bits < 32) {
    corr_bits = bits;
    corr_range = 1u << bits;
    corr_min = -static_cast<int32_t>(corr_range / 2);
    corr_max = static_cast<int32_t>(static_cast<uint32_t>(corr_min) + corr_range - 1);
  } else {
    corr_bits = 32;
    corr_range = 0;
    corr_min = INT32_MIN;
    corr_max = INT32_MAX;
  }
}

IntegerCoder::~IntegerCoder() = default;

void IntegerCoder::create_models(bool compress) {
  k_models.resize(contexts);
  for (auto& m : k_models) m.reset(new SymbolModel(corr_bits + 1, compress));
  corrector_bit.reset(new BitModel());
  corrector_models.resize(corr_bits + 1);
  for (uint32_t i = 1; i <= corr_bits; i++) {
    corrector_models[i].reset(new SymbolModel(1u << (i <= bits_high ? i : bits_high), compress));
  }
}

void IntegerCoder::init_encoding() {
  if (k_models.empty()) create_models(true);
  for (auto& m : k_models) enc->init_symbol_model(*m);
  enc->init_bit_model(*corrector_bit);
  for (uint32_t i = 1; i <= corr_bits; i++) enc->init_symbol_model(*corrector_models[i]);
}

void IntegerCoder::init_decoding() {
  if (k_models.empty()) create_models(false);
  for (auto& m : k_models) dec->init_symbol_model(*m);
  dec->init_bit_model(*corrector_bit);
  for (uint32_t i = 1; i <= corr_bits; i++) dec->init_symbol_model(*corrector_models[i]);
}

void IntegerCoder::compress(int32_t pred, int32_t real, uint32_t context) {
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

int32_t IntegerCoder::decompress(int32_t pred, uint32_t context) {
  assert(context < contexts);
  uint32_t real = static_cast<uint32_t>(pred) + static_cast<uint32_t>(read_corrector(*k_models[context]));
  if (static_cast<int32_t>(real) < 0) {
    real += corr_range;
  } else if (real >= corr_range) {
    real -= corr_range;  // with corr_range 0 (32-bit values) nothing to fold
  }
  return static_cast<int32_t>(real);
}

void IntegerCoder::write_corrector(int32_t c, SymbolModel& k_model) {
  // c lies in [-(2^k - 1), 2^k] for the k coded here.
  const uint32_t uc = static_cast<uint32_t>(c);
  k = bit_width(c <= 0 ? 0u - uc : uc - 1);
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

int32_t IntegerCoder::read_corrector(SymbolModel& k_model) {
  k = dec->decode_symbol(k_model);
  if (k == 0) return static_cast<int32_t>(dec->decode_bit(*corrector_bit));
  if (k >= 32) return corr_min;
  uint32_t c;
  if (k <= bits_high) {
    c = dec->decode_symbol(*corrector_models[k]);
  } else {
    const uint32_t k1 = k - bits_high;
    c = dec->decode_symbol(*corrector_models[k]);
    c = (c << k1) | dec->read_bits(k1);
  }
  if (c >= (1u << (k - 1))) {
    c += 1;
  } else {
    c -= (1u << k) - 1;
  }
  return static_cast<int32_t>(c);
}
