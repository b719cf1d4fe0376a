#include "compression/arithencoder.h"

#include <cassert>
#include <cstring>

#include "las/bytestreamout.h"

namespace {

constexpr uint32_t block_bytes = arith_buffer_block_bytes;

bool all_0xff(const uint8_t* bytes, uint32_t num_bytes) {
  for (uint32_t i = num_bytes; i > 0; i--) {
    if (bytes[i - 1] != 0xFF) return false;
  }
  return true;
}

}  // namespace

ArithEncoder::ArithEncoder() : ring(new uint8_t[2 * block_bytes]()) {
  outbuffer = ring.get();
  endbuffer = outbuffer + 2 * block_bytes;
  outbyte = outbuffer;
  endbyte = endbuffer;
}

ArithEncoder::~ArithEncoder() = default;

bool ArithEncoder::init(ByteStreamOut* stream) {
  if (!stream) return false;
  outstream = stream;
  base = 0;
  length = arith_max_length;
  // The first 8192 bytes stay in the ring before any block is handed over.
  outbyte = outbuffer;
  endbyte = endbuffer;
  write_ok = true;
  have_held = false;
  held_count = 0;
  return true;
}

void ArithEncoder::write_int(uint32_t sym) {
  write_short(static_cast<uint16_t>(sym & 0xFFFF));
  write_short(static_cast<uint16_t>(sym >> 16));
}

void ArithEncoder::write_int64(uint64_t sym) {
  write_int(static_cast<uint32_t>(sym & 0xFFFFFFFF));
  write_int(static_cast<uint32_t>(sym >> 32));
}

bool ArithEncoder::done() {
  if (!outstream) return false;
  const uint32_t init_base = base;
  bool another_byte = true;
  // Pick a value inside the final interval that needs as few bytes as
  // possible; the decoder then reads zeros for the rest.
  if (length > 2 * arith_min_length) {
    base += arith_min_length;
    length = arith_min_length >> 1;
  } else {
    base += arith_min_length >> 1;
    length = arith_min_length >> 9;
    another_byte = false;
  }
  if (init_base > base) propagate_carry();
  renorm_enc_interval();

  flush_held();
  if (endbyte != endbuffer) put_bytes(outbuffer + block_bytes, block_bytes);
  if (outbyte != outbuffer) put_bytes(outbuffer, static_cast<uint32_t>(outbyte - outbuffer));
  put_repeated(0, another_byte ? 3 : 2);
  outstream = nullptr;
  return write_ok;
}

SymbolModel* ArithEncoder::create_symbol_model(uint32_t symbols) {
  return new SymbolModel(symbols, true);
}

int ArithEncoder::init_symbol_model(SymbolModel& model) {
  return model.init();
}

void ArithEncoder::destroy_symbol_model(SymbolModel* model) {
  delete model;
}

BitModel* ArithEncoder::create_bit_model() {
  return new BitModel();
}

void ArithEncoder::init_bit_model(BitModel& model) {
  model.init();
}

void ArithEncoder::destroy_bit_model(BitModel* model) {
  delete model;
}

void ArithEncoder::propagate_carry() {
  // The bytes still in the ring run from the end of fill (the ring start
  // before the first hand-over) up to outbyte. The carry adds one to the
  // last of them that is not 0xFF; the 0xFF bytes after it become 0.
  uint8_t* const oldest = (endbyte == endbuffer) ? outbuffer : endbyte;
  uint8_t* p = outbyte;
  while (p != oldest) {
    if (p == outbuffer) p = endbuffer;
    --p;
    if (*p != 0xFF) {
      ++*p;
      return;
    }
    *p = 0;
  }
  carry_into_held();
}

void ArithEncoder::carry_into_held() {
  // Without held bytes the carry would pass the first byte of the code,
  // which the interval arithmetic rules out.
  if (!have_held) return;
  if (held_count == 0 || held_fill == 0xFF) {
    ++held_byte;
    held_fill = 0;
  } else {
    put_repeated(held_byte, 1);
    put_repeated(held_fill, held_count - 1);
    held_byte = static_cast<uint8_t>(held_fill + 1);
    held_count = 0;
  }
}

void ArithEncoder::manage_outbuffer() {
  if (outbyte == endbuffer) outbyte = outbuffer;
  // The block at outbyte is the older half of the ring; the younger half was
  // just filled.
  const uint8_t* older = outbyte;
  const uint8_t* younger = (outbyte == outbuffer) ? outbuffer + block_bytes : outbuffer;
  // A later carry changes bytes no further back than the run of 0xFF bytes
  // at the end of the code and the byte before it. Only when the whole
  // younger block is 0xFF can that reach the older block; then its last
  // byte that is not 0xFF and the 0xFF bytes after it are held back instead
  // of being handed over.
  if (younger[block_bytes - 1] == 0xFF && all_0xff(younger, block_bytes)) {
    uint32_t j = block_bytes;
    while (j > 0 && older[j - 1] == 0xFF) j--;
    if (j > 0) {
      flush_held();
      put_bytes(older, j - 1);
      have_held = true;
      held_byte = older[j - 1];
      held_fill = 0xFF;
      held_count = block_bytes - j;
    } else if (have_held) {
      if (held_count > 0 && held_fill != 0xFF) {
        put_repeated(held_byte, 1);
        put_repeated(held_fill, held_count - 1);
        held_byte = held_fill;
        held_count = 0;
      }
      held_fill = 0xFF;
      held_count += block_bytes;
    } else {
      // With nothing held no carry can pass the whole older block: either it
      // starts the code, or it was not all 0xFF at the last hand-over and
      // became so through a carry, after which the interval leaves no room
      // for another one to reach it.
      put_bytes(older, block_bytes);
    }
  } else {
    flush_held();
    put_bytes(older, block_bytes);
  }
  endbyte = outbyte + block_bytes;
}

void ArithEncoder::flush_held() {
  if (!have_held) return;
  put_repeated(held_byte, 1);
  put_repeated(held_fill, held_count);
  have_held = false;
  held_count = 0;
}

void ArithEncoder::put_bytes(const uint8_t* bytes, uint32_t num_bytes) {
  if (num_bytes == 0) return;
  if (!outstream || !outstream->put_bytes(bytes, num_bytes)) write_ok = false;
}

void ArithEncoder::put_repeated(uint8_t byte, uint64_t count) {
  uint8_t bytes[256];
  memset(bytes, byte, sizeof(bytes));
  while (count > 0) {
    const uint32_t n = count < sizeof(bytes) ? static_cast<uint32_t>(count) : static_cast<uint32_t>(sizeof(bytes));
    put_bytes(bytes, n);
    count -= n;
  }
}
