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

// The decode calls on a State the caller holds are always inlined: a call
// that is not would take the state's address and move it out of registers.
#if defined(__GNUC__)
#define ARITH_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define ARITH_ALWAYS_INLINE inline
#endif

class ArithDecoder {
 public:
  // The moving parts of a decoder: its interval and, for a code in memory,
  // where the code goes on. A codec that makes many decode calls for one
  // item takes a copy (state()), passes it to the calls below that take a
  // State, and hands it back (set_state()) when it is done: held in local
  // variables, the interval stays in registers, where the decoder's own
  // fields would go through memory around every store the codec makes.
  // Between state() and set_state() the decoder itself must not be used.
  struct State {
    uint32_t value;
    uint32_t length;
    // A code in memory: the bytes from next to code_end are still to come.
    // Both null while the code comes from the stream.
    const uint8_t* next;
    const uint8_t* code_end;
  };

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
  bool used_exactly_the_memory() const { return st.next != nullptr && st.next == st.code_end; }

  State state() const { return st; }
  void set_state(const State& s) { st = s; }

  // The calls made for every coded value are defined below, inline: the
  // item codecs make a dozen of them per point. Each comes in two forms:
  // on the decoder's own state, and on a State the caller holds.
  uint32_t decode_bit(BitModel& model) { return on_own_state(&ArithDecoder::decode_bit, model); }
  uint32_t decode_symbol(SymbolModel& model) { return on_own_state(&ArithDecoder::decode_symbol, model); }
  // A value of 1 to 32 bits coded by write_bits.
  uint32_t read_bits(uint32_t bits) { return on_own_state(&ArithDecoder::read_bits, bits); }
  uint16_t read_short() { return on_own_state(&ArithDecoder::read_short); }
  uint32_t read_int();
  uint64_t read_int64();

  uint32_t decode_bit(State& s, BitModel& model);
  uint32_t decode_symbol(State& s, SymbolModel& model);
  uint32_t read_bits(State& s, uint32_t bits);
  uint16_t read_short(State& s);

  // Detaches the stream or the memory; reads nothing.
  void done() {
    instream = rest = nullptr;
    st.next = st.code_end = nullptr;
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
  template <typename R, typename... Args, typename... Given>
  R on_own_state(R (ArithDecoder::*call)(State&, Args...), Given&&... args) {
    State s = st;
    const R result = (this->*call)(s, static_cast<Given&&>(args)...);
    st = s;
    return result;
  }

  // Brings the interval back to at least arith_min_length.
  void renormalise(State& s);
  // The same when the code comes from the stream or the memory is nearly
  // used up. Takes and gives the state by value: the caller's copy stays
  // where it is.
  State renormalise_slowly(State s);
  // The next code byte, from the memory or the stream after it.
  uint32_t next_byte(State& s);

  ByteStreamIn* instream = nullptr;
  ByteStreamIn* rest = nullptr;
  State st = {0, 0, nullptr, nullptr};
};

ARITH_ALWAYS_INLINE void ArithDecoder::renormalise(State& s) {
  // From memory with four bytes at hand, shift in whole bytes until the
  // interval is at least 2^24 again, without branching on how many: as
  // many bytes as length has leading zero bytes (length is never 0).
  if (s.code_end - s.next >= 4) {
    const uint32_t shift = static_cast<uint32_t>(__builtin_clz(s.length)) & ~7u;
    uint32_t ahead;
    memcpy(&ahead, s.next, 4);
    const uint64_t bytes = __builtin_bswap32(ahead);
    s.value = static_cast<uint32_t>((static_cast<uint64_t>(s.value) << shift) | (bytes >> (32 - shift)));
    s.length = static_cast<uint32_t>(static_cast<uint64_t>(s.length) << shift);
    s.next += shift >> 3;
    return;
  }
  if (s.length < arith_min_length) s = renormalise_slowly(s);
}

ARITH_ALWAYS_INLINE uint32_t ArithDecoder::decode_bit(State& s, BitModel& m) {
  const uint32_t x = m.bit_0_prob * (s.length >> bit_model_length_shift);
  uint32_t sym;
  if (s.value < x) {
    sym = 0;
    s.length = x;
    ++m.bit_0_count;
  } else {
    sym = 1;
    s.value -= x;
    s.length -= x;
  }
  renormalise(s);
  if (--m.bits_until_update == 0) m.update();
  return sym;
}

ARITH_ALWAYS_INLINE uint32_t ArithDecoder::decode_symbol(State& s, SymbolModel& m) {
  assert(m.distribution);
  const uint16_t* const distribution = m.distribution;
  uint32_t sym, x, y = s.length;
  const uint32_t length = s.length >> symbol_model_length_shift;
  // The symbol is the last one whose interval starts at or below the code
  // value: distribution[sym] x length <= value. The searches below keep a
  // symbol that starts there and halve the span above it without a branch
  // on the data, which the processor could not predict.
  if (m.decoder_table) {
    const uint32_t dv = s.value / length;
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
      const bool above = z <= s.value;
      sym = above ? sym + half : sym;
      x = above ? z : x;
      span -= half;
    }
  }
  if (sym != m.last_symbol) y = distribution[sym + 1] * length;
  s.value -= x;
  s.length = y - x;
  renormalise(s);
  ++m.symbol_count[sym];
  if (--m.symbols_until_update == 0) m.update();
  return sym;
}

ARITH_ALWAYS_INLINE uint16_t ArithDecoder::read_short(State& s) {
  s.length >>= 16;
  const uint32_t sym = s.value / s.length;
  s.value -= s.length * sym;
  renormalise(s);
  if (sym >= (1u << 16)) throw arith_corrupt_data;
  return static_cast<uint16_t>(sym);
}

ARITH_ALWAYS_INLINE uint32_t ArithDecoder::read_bits(State& s, uint32_t bits) {
  assert(bits >= 1 && bits <= 32);
  // Beyond 19 bits, the low 16 come first, on their own.
  uint32_t lower = 0;
  uint32_t lower_bits = 0;
  if (bits > 19) {
    lower = read_short(s);
    lower_bits = 16;
    bits -= 16;
  }
  s.length >>= bits;
  const uint32_t sym = s.value / s.length;
  s.value -= s.length * sym;
  renormalise(s);
  if (sym >= (1u << bits)) throw arith_corrupt_data;
  return (sym << lower_bits) | lower;
}

#endif
