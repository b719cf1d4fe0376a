#include "compression/arithdecoder.h"

#include <cassert>

#include "las/bytestreamin.h"

bool ArithDecoder::init(ByteStreamIn* stream, bool really_init) {
  if (!stream) return false;
  instream = stream;
  next = code_end = nullptr;
  rest = nullptr;
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

void ArithDecoder::init(const uint8_t* code, uint32_t size, ByteStreamIn* rest_of_stream) {
  instream = nullptr;
  next = code;
  code_end = code + size;
  rest = rest_of_stream;
  length = arith_max_length;
  value = 0;
  for (int i = 0; i < 4; i++) value = (value << 8) | (next != code_end ? *next++ : next_byte_after_memory());
}

uint32_t ArithDecoder::next_byte_after_memory() {
  if (!instream) {
    if (!rest) throw byte_stream_end_of_data;
    // From now on the stream: the memory is used up.
    instream = rest;
    next = code_end = nullptr;
    rest = nullptr;
  }
  return instream->get_byte();
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

