// Adaptive probability models of the arithmetic coder: SymbolModel over an
// alphabet of 2 to 2048 symbols and BitModel over {0, 1}. Both adapt by
// counting the symbols coded and rescaling their distribution on a cycle that
// lengthens geometrically. Encoder and decoder must drive their models
// through the same sequence of symbols to stay in lock step.
#ifndef TIECHECK_COMPRESSION_ARITHMODEL_H
#define TIECHECK_COMPRESSION_ARITHMODEL_H

#include <cstdint>
#include <memory>

// Fixed by the compressed format: changing any of them breaks every file.
constexpr uint32_t arith_buffer_block_bytes = 4096;   // encoder output block; its ring holds two
constexpr uint32_t arith_min_length = 0x01000000;     // renormalise below this interval length
constexpr uint32_t arith_max_length = 0xFFFFFFFF;     // interval length at (re)start
constexpr uint32_t bit_model_length_shift = 13;       // bit_0_prob is a 13-bit fraction
constexpr uint32_t bit_model_max_count = 1u << 13;    // bit counts are halved above this
constexpr uint32_t symbol_model_length_shift = 15;    // distribution is a 15-bit fraction
constexpr uint32_t symbol_model_max_count = 1u << 15; // symbol counts are halved above this
constexpr uint32_t symbol_model_min_symbols = 2;
constexpr uint32_t symbol_model_max_symbols = 2048;
constexpr uint32_t symbol_model_table_threshold = 16; // decoding models above this get a table

// Thrown as an int by the arithmetic decoder when the code holds a value that
// no encoder can have produced.
constexpr int arith_corrupt_data = 4711;

class SymbolModel {
 public:
  // A model is created empty; init() allocates it on first use. A model that
  // serves a decoder (compress false) and has more than 16 symbols also gets
  // a look-up table that narrows the search for a decoded symbol.
  SymbolModel(uint32_t symbols, bool compress);
  SymbolModel(const SymbolModel&) = delete;
  SymbolModel& operator=(const SymbolModel&) = delete;

  // Restarts the model with every symbol counted once. Returns 0, or -1 (and
  // allocates nothing) when the alphabet is outside 2..2048.
  int init();

  uint32_t get_symbols() const { return symbols; }
  uint32_t get_table_size() const { return table_size; }
  uint32_t get_table_shift() const { return table_shift; }

 private:
  friend class ArithEncoder;
  friend class ArithDecoder;

  // Rescales the distribution (and table) from the counts.
  void update();

  // One block: distribution, then counts, then table_size + 2 table words.
  // 16-bit words: distribution values stay below 2^15, counts below
  // 2^15 plus an update cycle (at most 8 x 2054) and symbols below 2^11,
  // and the smaller models stay in the processor's nearest cache.
  std::unique_ptr<uint16_t[]> storage;
  uint16_t* distribution = nullptr;
  uint16_t* symbol_count = nullptr;
  uint16_t* decoder_table = nullptr;
  uint32_t total_count = 0;
  uint32_t update_cycle = 0;
  uint32_t symbols_until_update = 0;
  uint32_t symbols = 0;
  uint32_t last_symbol = 0;
  uint32_t table_size = 0;
  uint32_t table_shift = 0;
  bool compress = true;
};

class BitModel {
 public:
  // A new model is already initialised.
  BitModel() { init(); }

  // Restarts the model at probability one half.
  void init();

 private:
  friend class ArithEncoder;
  friend class ArithDecoder;

  void update();

  uint32_t update_cycle = 0;
  uint32_t bits_until_update = 0;
  uint32_t bit_0_prob = 0;
  uint32_t bit_0_count = 0;
  uint32_t bit_count = 0;
};

#endif
