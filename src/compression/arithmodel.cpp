#include "compression/arithmodel.h"

SymbolModel::SymbolModel(uint32_t symbols, bool compress) : symbols(symbols), compress(compress) {}

int SymbolModel::init() {
  if (!storage) {
    if (symbols < symbol_model_min_symbols || symbols > symbol_model_max_symbols) return -1;
    last_symbol = symbols - 1;
    uint32_t words = 2 * symbols;
    if (!compress && symbols > symbol_model_table_threshold) {
      // About four table entries per symbol: the symbol decoded is then
      // mostly the only one starting in its bucket, and the search after
      // the look-up has nothing left to do. At most 2^9 entries: the index
      // value / (length >> 15) >> table_shift of a valid code can exceed
      // 2^(15 - table_shift) by 63 >> table_shift, which must stay 0 for
      // the index to stay inside the table.
      uint32_t table_bits = 3;
      while (symbols > (1u << (table_bits - 2)) && table_bits < 9) table_bits++;
      table_size = 1u << table_bits;
      table_shift = symbol_model_length_shift - table_bits;
      words += table_size + 2;
    } else {
      table_size = 0;
      table_shift = 0;
    }
    storage.reset(new uint16_t[words]());
    distribution = storage.get();
    symbol_count = distribution + symbols;
    decoder_table = table_size ? symbol_count + symbols : nullptr;
  }
  total_count = 0;
  update_cycle = symbols;
  for (uint32_t k = 0; k < symbols; k++) symbol_count[k] = 1;
  update();
  update_cycle = symbols_until_update = (symbols + 6) >> 1;
  return 0;
}

void SymbolModel::update() {
  total_count += update_cycle;
  if (total_count > symbol_model_max_count) {
    total_count = 0;
    for (uint32_t k = 0; k < symbols; k++) {
      symbol_count[k] = static_cast<uint16_t>((symbol_count[k] + 1) >> 1);
      total_count += symbol_count[k];
    }
  }
  // total_count <= 2^15, so scale * sum stays below 2^31 and every symbol,
  // counted at least once, gets a distribution step of at least 1.
  const uint32_t scale = 0x80000000u / total_count;
  uint32_t sum = 0;
  if (decoder_table) {
    uint32_t t = 0;
    for (uint32_t k = 0; k < symbols; k++) {
      distribution[k] = static_cast<uint16_t>((scale * sum) >> 16);
      sum += symbol_count[k];
      const uint32_t w = distribution[k] >> table_shift;
      while (t < w) decoder_table[++t] = static_cast<uint16_t>(k - 1);
    }
    decoder_table[0] = 0;
    while (t <= table_size) decoder_table[++t] = static_cast<uint16_t>(symbols - 1);
  } else {
    for (uint32_t k = 0; k < symbols; k++) {
      distribution[k] = static_cast<uint16_t>((scale * sum) >> 16);
      sum += symbol_count[k];
    }
  }
  update_cycle = (5 * update_cycle) >> 2;
  const uint32_t max_cycle = (symbols + 6) << 3;
  if (update_cycle > max_cycle) update_cycle = max_cycle;
  symbols_until_update = update_cycle;
}

void BitModel::init() {
  bit_0_count = 1;
  bit_count = 2;
  bit_0_prob = 1u << (bit_model_length_shift - 1);
  update_cycle = bits_until_update = 4;
}

void BitModel::update() {
  bit_count += update_cycle;
  if (bit_count > bit_model_max_count) {
    bit_count = (bit_count + 1) >> 1;
    bit_0_count = (bit_0_count + 1) >> 1;
    // Keep the probability of 0 strictly below 1 so that a 1 stays codable.
    if (bit_0_count == bit_count) ++bit_count;
  }
  bit_0_prob = ((0x80000000u / bit_count) * bit_0_count) >> (31 - bit_model_length_shift);
  update_cycle = (5 * update_cycle) >> 2;
  if (update_cycle > 64) update_cycle = 64;
  bits_until_update = update_cycle;
}
