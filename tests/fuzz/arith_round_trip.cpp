// Bytes read as a program of coding operations (bits, symbols, raw values,
// integers, with repeat counts that build long runs). The program is encoded,
// then decoded with the mirror operations; any difference aborts.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/integercoder.h"
#include "las/bytestreamin_array.h"
#include "las/bytestreamout_array.h"

namespace {

constexpr uint32_t kSymbolSizes[] = {2, 3, 16, 17, 100, 256, 257, 2048};
constexpr size_t kMaxOperations = 1 << 20;

enum Kind : uint8_t { kBit, kSymbol, kBits, kShort, kInt64, kInt32, kInt16, kInt8, kRange, kKinds };

struct Op {
  Kind kind;
  uint8_t sel;  // model, width or context
  int32_t pred;
  uint64_t value;
};

struct Reader {
  const uint8_t* data;
  size_t size;
  uint64_t take(int n) {
    uint64_t v = 0;
    for (int i = 0; i < n && size > 0; i++, data++, size--) v |= uint64_t{*data} << (8 * i);
    return v;
  }
};

// Codecs (and adversaries) see models and coders in this layout.
template <typename Coder>
struct Models {
  explicit Models(Coder* coder)
      : ic32(coder, 32, 4, 8, 0), ic16(coder, 16, 2, 8, 0), ic8(coder, 8, 6, 8, 0), icr(coder, 0, 1, 4, 1000) {
    for (uint32_t n : kSymbolSizes) {
      symbols.emplace_back(coder->create_symbol_model(n));
      if (coder->init_symbol_model(*symbols.back()) != 0) abort();
    }
  }
  std::vector<std::unique_ptr<SymbolModel>> symbols;
  BitModel bits[2];
  IntegerCoder ic32, ic16, ic8, icr;
};

std::vector<Op> parse(const uint8_t* data, size_t size) {
  Reader r{data, size};
  std::vector<Op> ops;
  while (r.size > 0 && ops.size() < kMaxOperations) {
    const uint8_t code = static_cast<uint8_t>(r.take(1));
    Op op{static_cast<Kind>(code % kKinds), static_cast<uint8_t>(r.take(1)), 0, 0};
    switch (op.kind) {
      case kBit: op.value = op.sel & 1; break;
      case kSymbol: op.value = r.take(2) % kSymbolSizes[op.sel % 8]; break;
      case kBits: {
        const uint32_t b = 1 + op.sel % 32;
        op.value = r.take(4) & (b == 32 ? 0xFFFFFFFFu : (1u << b) - 1);
        break;
      }
      case kShort: op.value = r.take(2); break;
      case kInt64: op.value = r.take(8); break;
      case kInt32: op.pred = static_cast<int32_t>(r.take(4)); op.value = static_cast<uint32_t>(r.take(4)); break;
      case kInt16: op.pred = static_cast<int32_t>(r.take(2)); op.value = r.take(2); break;
      case kInt8: op.pred = static_cast<int32_t>(r.take(1)); op.value = r.take(1); break;
      default: op.pred = static_cast<int32_t>(r.take(2) % 1000); op.value = r.take(2) % 1000; break;
    }
    // The high bits of the code byte repeat the operation, so that short
    // inputs reach long runs (ring wraps, long carries).
    size_t repeat = code >= 0xF0 ? size_t{1} << (code & 0x0F) : 1;
    while (repeat-- > 0 && ops.size() < kMaxOperations) ops.push_back(op);
  }
  return ops;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<Op> ops = parse(data, size);

  ArithEncoder enc;
  ByteStreamOutArrayLE out;
  Models<ArithEncoder> em(&enc);
  em.ic32.init_encoding();
  em.ic16.init_encoding();
  em.ic8.init_encoding();
  em.icr.init_encoding();
  if (!enc.init(&out)) abort();
  for (const Op& op : ops) {
    const uint32_t v = static_cast<uint32_t>(op.value);
    switch (op.kind) {
      case kBit: enc.encode_bit(em.bits[op.sel >> 7], v); break;
      case kSymbol: enc.encode_symbol(*em.symbols[op.sel % 8], v); break;
      case kBits: enc.write_bits(1 + op.sel % 32, v); break;
      case kShort: enc.write_short(static_cast<uint16_t>(v)); break;
      case kInt64: enc.write_int64(op.value); break;
      case kInt32: em.ic32.compress(op.pred, static_cast<int32_t>(v), op.sel % 4); break;
      case kInt16: em.ic16.compress(op.pred, static_cast<int32_t>(v), op.sel % 2); break;
      case kInt8: em.ic8.compress(op.pred, static_cast<int32_t>(v), op.sel % 6); break;
      default: em.icr.compress(op.pred, static_cast<int32_t>(v), 0); break;
    }
  }
  if (!enc.done()) abort();

  ArithDecoder dec;
  ByteStreamInArrayLE in(out.get_data(), out.get_size());
  Models<ArithDecoder> dm(&dec);
  dm.ic32.init_decoding();
  dm.ic16.init_decoding();
  dm.ic8.init_decoding();
  dm.icr.init_decoding();
  try {
    if (!dec.init(&in)) abort();
    for (const Op& op : ops) {
      uint64_t got = 0;
      switch (op.kind) {
        case kBit: got = dec.decode_bit(dm.bits[op.sel >> 7]); break;
        case kSymbol: got = dec.decode_symbol(*dm.symbols[op.sel % 8]); break;
        case kBits: got = dec.read_bits(1 + op.sel % 32); break;
        case kShort: got = dec.read_short(); break;
        case kInt64: got = dec.read_int64(); break;
        case kInt32: got = static_cast<uint32_t>(dm.ic32.decompress(op.pred, op.sel % 4)); break;
        case kInt16: got = static_cast<uint32_t>(dm.ic16.decompress(op.pred, op.sel % 2)); break;
        case kInt8: got = static_cast<uint32_t>(dm.ic8.decompress(op.pred, op.sel % 6)); break;
        default: got = static_cast<uint32_t>(dm.icr.decompress(op.pred, 0)); break;
      }
      if (got != op.value) abort();
    }
  } catch (int) {
    abort();
  }
  // The decoder reads exactly the bytes of the code.
  if (in.tell() != out.get_size()) abort();
  return 0;
}
