// Adaptive arithmetic (range) encoder with a 32-bit interval. Symbols coded
// against adaptive models and raw bits become bytes that are collected in a
// ring of two 4096-byte blocks and handed to the output stream a block at a
// time, so that a carry can still change bytes already produced.
#ifndef TIECHECK_COMPRESSION_ARITHENCODER_H
#define TIECHECK_COMPRESSION_ARITHENCODER_H

#include <cassert>
#include <cstdint>
#include <memory>

#include "compression/arithmodel.h"

class ByteStreamOut;

class ArithEncoder {
 public:
  // Allocates the ring buffer.
  ArithEncoder();
  ArithEncoder(const ArithEncoder&) = delete;
  ArithEncoder& operator=(const ArithEncoder&) = delete;
  ~ArithEncoder();

  // Starts a new code on the stream (not owned). False for a null stream,
  // which changes nothing.
  [[nodiscard]] bool init(ByteStreamOut* outstream);

  // The calls made for every coded value are defined below, inline: the
  // item codecs make a dozen of them per point.
  // Codes a bit (0 or 1) with the model and adapts the model.
  void encode_bit(BitModel& model, uint32_t bit);
  // Codes a symbol (below the model's symbol count) and adapts the model.
  void encode_symbol(SymbolModel& model, uint32_t symbol);
  // Codes a value below 2^bits with equal probabilities, bits 1 to 32.
  void write_bits(uint32_t bits, uint32_t value);
  void write_short(uint16_t value);
  // Low 16 bits first.
  void write_int(uint32_t value);
  // Four shorts, least significant first.
  void write_int64(uint64_t value);

  // Finishes the code, hands every byte to the stream followed by two or
  // three zero bytes (the decoder reads four bytes ahead), and detaches the
  // stream. False when the stream refused any byte of this code.
  [[nodiscard]] bool done();

  // The attached stream, or null. Layered codecs write their layer sizes and
  // bytes to it directly.
  ByteStreamOut* get_outstream() const { return outstream; }

  // Model factory. Models created here belong to the caller, who releases
  // them with the matching destroy call (or deletes them).
  SymbolModel* create_symbol_model(uint32_t symbols);
  // 0, or -1 for an alphabet outside 2..2048.
  int init_symbol_model(SymbolModel& model);
  void destroy_symbol_model(SymbolModel* model);
  BitModel* create_bit_model();
  void init_bit_model(BitModel& model);
  void destroy_bit_model(BitModel* model);

 private:
  void propagate_carry();
  void renorm_enc_interval();
  void manage_outbuffer();
  void put_bytes(const uint8_t* bytes, uint32_t num_bytes);
  void put_repeated(uint8_t byte, uint64_t count);
  void flush_held();
  void carry_into_held();

  ByteStreamOut* outstream = nullptr;
  std::unique_ptr<uint8_t[]> ring;
  uint8_t* outbuffer = nullptr;  // ring start
  uint8_t* endbuffer = nullptr;  // ring end
  uint8_t* outbyte = nullptr;    // next byte to store
  uint8_t* endbyte = nullptr;    // a block is handed over when outbyte gets here
  uint32_t base = 0;
  uint32_t length = 0;
  bool write_ok = true;

  // Bytes taken out of the ring but not yet handed to the stream because a
  // carry may still reach them: held_byte followed by held_count copies of
  // held_fill. Only a run of 0xFF bytes longer than a block needs this.
  bool have_held = false;
  uint8_t held_byte = 0;
  uint8_t held_fill = 0;
  uint64_t held_count = 0;
};

inline void ArithEncoder::renorm_enc_interval() {
  do {
    *outbyte++ = static_cast<uint8_t>(base >> 24);
    if (outbyte == endbyte) manage_outbuffer();
    base <<= 8;
  } while ((length <<= 8) < arith_min_length);
}

inline void ArithEncoder::encode_bit(BitModel& m, uint32_t bit) {
  assert(bit < 2);
  const uint32_t x = m.bit_0_prob * (length >> bit_model_length_shift);
  if (bit == 0) {
    length = x;
    ++m.bit_0_count;
  } else {
    const uint32_t init_base = base;
    base += x;
    length -= x;
    if (init_base > base) propagate_carry();
  }
  if (length < arith_min_length) renorm_enc_interval();
  if (--m.bits_until_update == 0) m.update();
}

inline void ArithEncoder::encode_symbol(SymbolModel& m, uint32_t sym) {
  assert(m.distribution && sym <= m.last_symbol);
  uint32_t x;
  const uint32_t init_base = base;
  if (sym == m.last_symbol) {
    x = m.distribution[sym] * (length >> symbol_model_length_shift);
    base += x;
    length -= x;
  } else {
    x = m.distribution[sym] * (length >>= symbol_model_length_shift);
    base += x;
    length = m.distribution[sym + 1] * length - x;
  }
  if (init_base > base) propagate_carry();
  if (length < arith_min_length) renorm_enc_interval();
  ++m.symbol_count[sym];
  if (--m.symbols_until_update == 0) m.update();
}

inline void ArithEncoder::write_short(uint16_t sym) {
  const uint32_t init_base = base;
  base += sym * (length >>= 16);
  if (init_base > base) propagate_carry();
  if (length < arith_min_length) renorm_enc_interval();
}

inline void ArithEncoder::write_bits(uint32_t bits, uint32_t sym) {
  assert(bits >= 1 && bits <= 32 && (bits == 32 || sym < (1u << bits)));
  if (bits > 19) {
    write_short(static_cast<uint16_t>(sym & 0xFFFF));
    sym >>= 16;
    bits -= 16;
  }
  const uint32_t init_base = base;
  base += sym * (length >>= bits);
  if (init_base > base) propagate_carry();
  if (length < arith_min_length) renorm_enc_interval();
}

#endif
