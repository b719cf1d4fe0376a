#include "compression/arithdecoder.h"

#include <cassert>

#include "las/bytestreamin.h"

bool ArithDecoder::init(ByteStreamIn* stream, bool really_init) {
  if (!stream) return false;
  instream = stream;
  rest = nullptr;
  st = {0, arith_max_length, nullptr, nullptr};
  if (really_init) {
    st.value = instream->get_byte() << 24;
    st.value |= instream->get_byte() << 16;
    st.value |= instream->get_byte() << 8;
    st.value |= instream->get_byte();
  }
  return true;
}

void ArithDecoder::init(const uint8_t* code, uint32_t size, ByteStreamIn* rest_of_stream) {
  instream = nullptr;
  rest = rest_of_stream;
  st = {0, arith_max_length, code, code + size};
  for (int i = 0; i < 4; i++) st.value = (st.value << 8) | next_byte(st);
}

uint32_t ArithDecoder::next_byte(State& s) {
  if (s.next != s.code_end) return *s.next++;
  if (!instream) {
    if (!rest) throw byte_stream_end_of_data;
    // From now on the stream: the memory is used up.
    instream = rest;
    rest = nullptr;
    s.next = s.code_end = nullptr;
  }
  return instream->get_byte();
}

ArithDecoder::State ArithDecoder::renormalise_slowly(State s) {
  // A decoder without stream or memory (never initialised, or done) has no
  // more code.
  if (!instream && !s.next) throw byte_stream_end_of_data;
  while (s.length < arith_min_length) {
    s.value = (s.value << 8) | next_byte(s);
    s.length <<= 8;
  }
  return s;
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

