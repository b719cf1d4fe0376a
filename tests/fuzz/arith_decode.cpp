// Untrusted bytes decoded as a mixed stream of bits, symbols, raw values and
// integers. The first bytes choose the sequence of operations, the rest is
// the code. Decoding must end with one of the two decoder exceptions or run
// through the operations: no crash, no over-read, no endless loop.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "compression/arithdecoder.h"
#include "compression/integercoder.h"
#include "las/bytestreamin.h"
#include "las/bytestreamin_array.h"

namespace {

constexpr int kMaxOperations = 200000;
constexpr uint32_t kSymbolSizes[] = {2, 3, 16, 17, 100, 256, 257, 2048};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  uint32_t state = data[0] | (data[1] << 8);
  data += 2;
  size -= 2;

  ByteStreamInArrayLE in(data, static_cast<int64_t>(size));
  ArithDecoder dec;
  std::vector<std::unique_ptr<SymbolModel>> symbols;
  for (uint32_t n : kSymbolSizes) {
    symbols.emplace_back(dec.create_symbol_model(n));
    if (dec.init_symbol_model(*symbols.back()) != 0) abort();
  }
  BitModel bits[2];
  IntegerCoder ic32(&dec, 32, 4, 8, 0);
  IntegerCoder ic16(&dec, 16, 2, 8, 0);
  IntegerCoder ic8(&dec, 8, 6, 8, 0);
  IntegerCoder icr(&dec, 0, 1, 4, 1000);
  ic32.init_decoding();
  ic16.init_decoding();
  ic8.init_decoding();
  icr.init_decoding();
  try {
    if (!dec.init(&in)) abort();
    for (int i = 0; i < kMaxOperations; i++) {
      state = state * 1103515245u + 12345u;
      const uint32_t r = state >> 16;
      switch (r % 9) {
        case 0: dec.decode_bit(bits[r & 1]); break;
        case 1: {
          const uint32_t m = (r >> 4) % 8;
          if (dec.decode_symbol(*symbols[m]) >= kSymbolSizes[m]) abort();
          break;
        }
        case 2: {
          const uint32_t b = 1 + (r >> 4) % 32;
          const uint32_t v = dec.read_bits(b);
          if (b < 32 && v >= (1u << b)) abort();
          break;
        }
        case 3: dec.read_short(); break;
        case 4: dec.read_int64(); break;
        case 5: ic32.decompress(static_cast<int32_t>(state), (r >> 4) % 4); break;
        case 6: {
          if (static_cast<uint32_t>(ic16.decompress(static_cast<int32_t>(r & 0xFFFF), (r >> 4) % 2)) > 0xFFFF) abort();
          break;
        }
        case 7: {
          if (static_cast<uint32_t>(ic8.decompress(static_cast<int32_t>(r & 0xFF), (r >> 4) % 6)) > 0xFF) abort();
          break;
        }
        default: {
          if (static_cast<uint32_t>(icr.decompress(static_cast<int32_t>(r % 1000), 0)) >= 1000) abort();
          break;
        }
      }
    }
  } catch (int e) {
    if (e != byte_stream_end_of_data && e != arith_corrupt_data) abort();
  }
  dec.done();
  return 0;
}
