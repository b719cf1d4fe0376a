// Codes a signed integer as the corrector between the actual value and a
// prediction. The corrector's magnitude class k (its number of significant
// bits) is coded with a per-context model; the corrector itself with a model
// per class, whose low bits beyond bits_high go out raw.
#ifndef TIECHECK_COMPRESSION_INTEGERCODER_H
#define TIECHECK_COMPRESSION_INTEGERCODER_H

#include <cstdint>
#include <memory>
#include <vector>

#include "compression/arithmodel.h"

class ArithDecoder;
class ArithEncoder;

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
  void compress(int32_t pred, int32_t real, uint32_t context);
  // Decodes the value coded against pred in the given context. Throws what
  // the decoder throws.
  int32_t decompress(int32_t pred, uint32_t context);

  // Magnitude class of the last corrector coded or decoded (0 to 32).
  uint32_t get_k() const { return k; }

 private:
  IntegerCoder(ArithEncoder* enc, ArithDecoder* dec, uint32_t bits, uint32_t contexts, uint32_t bits_high,
               uint32_t range);
  void create_models(bool compress);
  void write_corrector(int32_t c, SymbolModel& k_model);
  int32_t read_corrector(SymbolModel& k_model);

  ArithEncoder* enc = nullptr;
  ArithDecoder* dec = nullptr;
  uint32_t bits;
  uint32_t contexts;
  uint32_t bits_high;
  uint32_t range;
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

#endif
