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
#include <cstring>

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

  // Decodes a code held in memory (not owned, it must outlive the decoding)
  // instead of one read from a stream, which saves a call per code byte. The
  // memory is the stream's next `size` bytes read ahead: a code that wants
  // more goes on reading from `rest`, the stream standing right after them,
  // or, without one, throws the end of the data. Reads the first four code
  // bytes.
  void init(const uint8_t* code, uint32_t size, ByteStreamIn* rest);
  // Whether the code ended exactly at the end of the memory given to init.
  bool used_exactly_the_memory() const { return next != nullptr && next == code_end; }

  // The calls made for every coded value are defined below, inline: the
  // item codecs make a dozen of them per point.
  uint32_t decode_bit(BitModel& model);
  uint32_t decode_symbol(SymbolModel& model);
  // A value of 1 to 32 bits coded by write_bits.
  uint32_t read_bits(uint32_t bits);
  uint16_t read_short();
  uint32_t read_int();
  uint64_t read_int64();

  // Detaches the stream or the memory; reads nothing.
  void done() {
    instream = rest = nullptr;
    next = code_end = nullptr;
  }

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
  // renorm_dec_interval() when the interval became too short.
  void renormalise();

  ByteStreamIn* instream = nullptr;
  // Switches from the memory to the stream after it.
  uint32_t next_byte_after_memory();

  // A code in memory: the bytes from next to code_end are still to come.
  const uint8_t* next = nullptr;
  const uint8_t* code_end = nullptr;
  ByteStreamIn* rest = nullptr;
  uint32_t value = 0;
  uint32_t length = 0;
};

inline void ArithDecoder::renorm_dec_interval() {
  if (next) {
    do {
      value = (value << 8) | (next != code_end ? *next++ : next_byte_after_memory());
    } while ((length <<= 8) < arith_min_length);
    return;
  }
  if (!instream) throw byte_stream_end_of_data;
  do {
    value = (value << 8) | instream->get_byte();
  } while ((length <<= 8) < arith_min_length);
}

inline void ArithDecoder::renormalise() {
  // From memory with four bytes at hand, shift in whole bytes until the
  // interval is at least 2^24 again, without branching on how many: as
  // many bytes as length has leading zero bytes (length is never 0).
  if (code_end - next >= 4) {
    const uint32_t shift = static_cast<uint32_t>(__builtin_clz(length)) & ~7u;
    uint32_t ahead;
    memcpy(&ahead, next, 4);
    const uint64_t bytes = __builtin_bswap32(ahead);
    value = static_cast<uint32_t>((static_cast<uint64_t>(value) << shift) | (bytes >> (32 - shift)));
    length = static_cast<uint32_t>(static_cast<uint64_t>(length) << shift);
    next += shift >> 3;
    return;
  }
  if (length < arith_min_length) renorm_dec_interval();
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
  renormalise();
  if (--m.bits_until_update == 0) m.update();
  return sym;
}

inline uint32_t ArithDecoder::decode_symbol(SymbolModel& m) {
  assert(m.distribution);
  const uint32_t* const distribution = m.distribution;
  uint32_t sym, x, y = length;
  length >>= symbol_model_length_shift;
  // The symbol is the last one whose interval starts at or below the code
  // value: distribution[sym] x length <= value. The searches below keep a
  // symbol that starts there and halve the span above it without a branch
  // on the data, which the processor could not predict.
  if (m.decoder_table) {
    const uint32_t dv = value / length;
    const uint32_t t = dv >> m.table_shift;
    // With value < length, t is at most table_size; a larger one can only
    // come from a corrupt code and would index past the table.
    if (t > m.table_size) throw arith_corrupt_data;
    // The table narrows the search to the symbols whose interval starts in
    // bucket t.
    sym = m.decoder_table[t];
    uint32_t span = m.decoder_table[t + 1] + 1 - sym;
    while (span > 1) {
      const uint32_t half = span >> 1;
      sym = distribution[sym + half] <= dv ? sym + half : sym;
      span -= half;
    }
    x = distribution[sym] * length;
  } else {
    sym = 0;
    x = 0;
    uint32_t span = m.symbols;
    while (span > 1) {
      const uint32_t half = span >> 1;
      const uint32_t z = distribution[sym + half] * length;
      const bool above = z <= value;
      sym = above ? sym + half : sym;
      x = above ? z : x;
      span -= half;
    }
  }
  if (sym != m.last_symbol) y = distribution[sym + 1] * length;
  value -= x;
  length = y - x;
  renormalise();
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
