#include "compression/integercoder.h"

#include <cassert>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"

IntegerCoder::IntegerCoder(ArithEncoder* enc, uint32_t bits, uint32_t contexts, uint32_t bits_high, uint32_t range)
    : IntegerCoder(enc, nullptr, bits, contexts, bits_high, range) {}

IntegerCoder::IntegerCoder(ArithDecoder* dec, uint32_t bits, uint32_t contexts, uint32_t bits_high, uint32_t range)
    : IntegerCoder(nullptr, dec, bits, contexts, bits_high, range) {}

IntegerCoder::IntegerCoder(ArithEncoder* enc, ArithDecoder* dec, uint32_t bits, uint32_t contexts,
                           uint32_t bits_high, uint32_t range)
    : enc(enc), dec(dec), contexts(contexts), bits_high(bits_high) {
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

