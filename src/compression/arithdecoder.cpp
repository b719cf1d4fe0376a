#include "compression/arithdecoder.h"

#include <cassert>

#include "las/bytestreamin.h"

bool ArithDecoder::init(ByteStreamIn* stream, bool really_init) {
  if (!stream) return false;
  instream = stream;
  length = arith_max_length;
  value = 0;
  if (really_init) {
    value = instream->get_byte() << 24;
    value |= instream->get_byte() << 16;
    value |= instream->get_byte() << 8;
    value |= instream->get_byte();
  }
  return true;
}

uint32_t ArithDecoder::decode_bit(BitModel& m) {
  const uint32_t x = m.bit_0_prob * (length >> bit_model_length_shift);
  uint32_t sym;
  if (value < x) {
    sym = 0;
    length = x;
    ++m.bit_0_count;
  } else {
    sym = 1;
    value -= x;
    length -= x;
  }
  if (length < arith_min_length) renorm_dec_interval();
  if (--m.bits_until_update == 0) m.update();
  return sym;
}

uint32_t ArithDecoder::decode_symbol(SymbolModel& m) {
  assert(m.distribution);
  uint32_t n, sym, x, y = length;
  if (m.decoder_table) {
    length >>= symbol_model_length_shift;
    const uint32_t dv = value / length;
    const uint32_t t = dv >> m.table_shift;
    // With value < length, t is at most table_size; a larger one can only
    // come from a corrupt code and would index past the table.
    if (t > m.table_size) throw arith_corrupt_data;
    // The table narrows the search to the symbols whose interval starts in
    // bucket t; bisect among them.
    sym = m.decoder_table[t];
    n = m.decoder_table[t + 1] + 1;
    while (n > sym + 1) {
      const uint32_t k = (sym + n) >> 1;
      if (m.distribution[k] > dv) {
        n = k;
      } else {
        sym = k;
      }
    }
    x = m.distribution[sym] * length;
    if (sym != m.last_symbol) y = m.distribution[sym + 1] * length;
  } else {
    x = sym = 0;
    length >>= symbol_model_length_shift;
    n = m.symbols;
    uint32_t k = n >> 1;
    do {
      const uint32_t z = length * m.distribution[k];
      if (z > value) {
        n = k;
        y = z;
      } else {
        sym = k;
        x = z;
      }
    } while ((k = (sym + n) >> 1) != sym);
  }
  value -= x;
  length = y - x;
  if (length < arith_min_length) renorm_dec_interval();
  ++m.symbol_count[sym];
  if (--m.symbols_until_update == 0) m.update();
  return sym;
}

uint32_t ArithDecoder::read_bits(uint32_t bits) {
  assert(bits >= 1 && bits <= 32);
  if (bits > 19) {
    const uint32_t lower = read_short();
    const uint32_t upper = read_bits(bits - 16);
    return (upper << 16) | lower;
  }
  const uint32_t sym = value / (length >>= bits);
  value -= length * sym;
  if (length < arith_min_length) renorm_dec_interval();
  if (sym >= (1u << bits)) throw arith_corrupt_data;
  return sym;
}

uint16_t ArithDecoder::read_short() {
  const uint32_t sym = value / (length >>= 16);
  value -= length * sym;
  if (length < arith_min_length) renorm_dec_interval();
  if (sym >= (1u << 16)) throw arith_corrupt_data;
  return static_cast<uint16_t>(sym);
}

uint32_t ArithDecoder::read_int() {
  const uint32_t lower = read_short();
  const uint32_t upper = read_short();
  return (upper << 16) | lower;
}

uint64_t ArithDecoder::read_int64() {
  const uint64_t lower = read_int();
  const uint64_t upper = read_int();
  return (upper << 32) | lower;
}

SymbolModel* ArithDecoder::create_symbol_model(uint32_t symbols) {
  return new SymbolModel(symbols, false);
}

int ArithDecoder::init_symbol_model(SymbolModel& model) {
  return model.init();
}

void ArithDecoder::destroy_symbol_model(SymbolModel* model) {
  delete model;
}

BitModel* ArithDecoder::create_bit_model() {
  return new BitModel();
}

void ArithDecoder::init_bit_model(BitModel& model) {
  model.init();
}

void ArithDecoder::destroy_bit_model(BitModel* model) {
  delete model;
}

void ArithDecoder::renorm_dec_interval() {
  if (!instream) throw byte_stream_end_of_data;
  do {
    value = (value << 8) | instream->get_byte();
  } while ((length <<= 8) < arith_min_length);
}
