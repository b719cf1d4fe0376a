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

#include <cstdint>

#include "compression/arithmodel.h"

class ByteStreamIn;

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

#endif
