// Adaptive arithmetic (range) decoder, the mirror of ArithEncoder: every
// decode call must match the encode call made at the same place, with a
// model in the same state.
//
// The decoder throws, as an int, what its stream throws at the end of the
// data (byte_stream_end_of_data) and arith_corrupt_data (4711) when the code
// holds a value no encoder can have produced. Corrupt input otherwise gives
// wrong symbols but never reads outside the models or the stream.
#ifndef TIECHECK_COMPRESSION_ARITHDECODER_H
#define TIECHECK_COMPRESSION_ARITHDECODER_H

#include <cassert>
#include <cstdint>

#include "compression/arithmodel.h"
#include "las/bytestreamin.h"

class ArithDecoder {
 public:
  ArithDecoder() = default;
  ArithDecoder(const ArithDecoder&) = delete;
  ArithDecoder& operator=(const ArithDecoder&) = delete;

  // Attaches the stream (not owned) and restarts the interval. With
  // really_init, also reads the first four code bytes (and throws at the end
  // of the data); without, the code bytes are read by a later init. False for
  // a null stream, which changes nothing.
  [[nodiscard]] bool init(ByteStreamIn* instream, bool really_init = true);

  // The calls made for every coded value are defined below, inline: the
  // item codecs make a dozen of them per point.
  uint32_t decode_bit(BitModel& model);
  uint32_t decode_symbol(SymbolModel& model);
  // A value of 1 to 32 bits coded by write_bits.
  uint32_t read_bits(uint32_t bits);
  uint16_t read_short();
  uint32_t read_int();
  uint64_t read_int64();

  // Detaches the stream; reads nothing.
  void done() { instream = nullptr; }

  // The attached stream, or null. Layered codecs read their layer sizes and
  // bytes from it directly.
  ByteStreamIn* get_instream() const { return instream; }

  // Model factory, as for the encoder; symbol models made here are decoding
  // models.
  SymbolModel* create_symbol_model(uint32_t symbols);
  int init_symbol_model(SymbolModel& model);
  void destroy_symbol_model(SymbolModel* model);
  BitModel* create_bit_model();
  void init_bit_model(BitModel& model);
  void destroy_bit_model(BitModel* model);

 private:
  void renorm_dec_interval();

  ByteStreamIn* instream = nullptr;
  uint32_t value = 0;
  uint32_t length = 0;
};

inline void ArithDecoder::renorm_dec_interval() {
  if (!instream) throw byte_stream_end_of_data;
  do {
    value = (value << 8) | instream->get_byte();
  } while ((length <<= 8) < arith_min_length);
}

inline uint32_t ArithDecoder::decode_bit(BitModel& m) {
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

inline uint32_t ArithDecoder::decode_symbol(SymbolModel& m) {
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

inline uint16_t ArithDecoder::read_short() {
  const uint32_t sym = value / (length >>= 16);
  value -= length * sym;
  if (length < arith_min_length) renorm_dec_interval();
  if (sym >= (1u << 16)) throw arith_corrupt_data;
  return static_cast<uint16_t>(sym);
}

inline uint32_t ArithDecoder::read_bits(uint32_t bits) {
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

#endif
