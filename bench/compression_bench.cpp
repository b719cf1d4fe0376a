// Entropy-coding throughput: integers through the IntegerCoder at the
// corrector sizes the codecs see (coordinate differences of a few units up
// to random 32-bit values), and symbols through models with and without a
// decoder table.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/integercoder.h"
#include "las/bytestreamin_array.h"
#include "las/bytestreamout_array.h"

namespace {

constexpr int kValues = 1 << 16;

// Values whose differences to the previous one have about `spread` bits.
std::vector<int32_t> walk(int spread) {
  std::mt19937 rng(42);
  std::vector<int32_t> v(kValues);
  uint32_t x = 0;
  for (int32_t& e : v) {
    const uint32_t step = spread >= 32 ? rng() : rng() & ((1u << spread) - 1);
    x += step - (spread >= 32 ? 0 : (1u << spread) / 2);
    e = static_cast<int32_t>(x);
  }
  return v;
}

std::vector<uint8_t> compress_all(const std::vector<int32_t>& values) {
  ArithEncoder enc;
  ByteStreamOutArrayLE out(static_cast<int64_t>(values.size()) * 5 + 4096);
  IntegerCoder ic(&enc, 32, 2, 8, 0);
  (void)enc.init(&out);
  ic.init_encoding();
  int32_t last = 0;
  for (int32_t v : values) {
    ic.compress(last, v, 0);
    last = v;
  }
  (void)enc.done();
  return std::vector<uint8_t>(out.get_data(), out.get_data() + out.get_size());
}

void BM_IntegerCompress(benchmark::State& state) {
  const std::vector<int32_t> values = walk(static_cast<int>(state.range(0)));
  ArithEncoder enc;
  ByteStreamOutArrayLE out(static_cast<int64_t>(values.size()) * 5 + 4096);
  IntegerCoder ic(&enc, 32, 2, 8, 0);
  int64_t bytes = 0;
  for (auto _ : state) {
    (void)out.seek(0);
    (void)enc.init(&out);
    ic.init_encoding();
    int32_t last = 0;
    for (int32_t v : values) {
      ic.compress(last, v, 0);
      last = v;
    }
    (void)enc.done();
    bytes += out.tell();
  }
  state.SetItemsProcessed(state.iterations() * kValues);
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_IntegerCompress)->Arg(4)->Arg(12)->Arg(32);

void BM_IntegerDecompress(benchmark::State& state) {
  const std::vector<int32_t> values = walk(static_cast<int>(state.range(0)));
  const std::vector<uint8_t> code = compress_all(values);
  ArithDecoder dec;
  IntegerCoder ic(&dec, 32, 2, 8, 0);
  for (auto _ : state) {
    ByteStreamInArrayLE in(code.data(), static_cast<int64_t>(code.size()));
    (void)dec.init(&in);
    ic.init_decoding();
    int32_t last = 0;
    for (int i = 0; i < kValues; i++) last = ic.decompress(last, 0);
    benchmark::DoNotOptimize(last);
    if (last != values.back()) state.SkipWithError("decoded values differ");
  }
  state.SetItemsProcessed(state.iterations() * kValues);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(code.size()));
}
BENCHMARK(BM_IntegerDecompress)->Arg(4)->Arg(12)->Arg(32);

std::vector<uint32_t> skewed_symbols(uint32_t symbols) {
  std::mt19937 rng(7);
  std::geometric_distribution<uint32_t> g(0.05);
  std::vector<uint32_t> v(kValues);
  for (uint32_t& s : v) s = g(rng) % symbols;
  return v;
}

void BM_SymbolEncode(benchmark::State& state) {
  const uint32_t symbols = static_cast<uint32_t>(state.range(0));
  const std::vector<uint32_t> input = skewed_symbols(symbols);
  ArithEncoder enc;
  std::unique_ptr<SymbolModel> model(enc.create_symbol_model(symbols));
  ByteStreamOutArrayLE out(kValues * 2 + 4096);
  for (auto _ : state) {
    (void)out.seek(0);
    (void)enc.init(&out);
    enc.init_symbol_model(*model);
    for (uint32_t s : input) enc.encode_symbol(*model, s);
    (void)enc.done();
  }
  state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(BM_SymbolEncode)->Arg(16)->Arg(256)->Arg(2048);

void BM_SymbolDecode(benchmark::State& state) {
  const uint32_t symbols = static_cast<uint32_t>(state.range(0));
  const std::vector<uint32_t> input = skewed_symbols(symbols);
  std::vector<uint8_t> code;
  {
    ArithEncoder enc;
    std::unique_ptr<SymbolModel> model(enc.create_symbol_model(symbols));
    enc.init_symbol_model(*model);
    ByteStreamOutArrayLE out(kValues * 2 + 4096);
    (void)enc.init(&out);
    for (uint32_t s : input) enc.encode_symbol(*model, s);
    (void)enc.done();
    code.assign(out.get_data(), out.get_data() + out.get_size());
  }
  ArithDecoder dec;
  std::unique_ptr<SymbolModel> model(dec.create_symbol_model(symbols));
  for (auto _ : state) {
    ByteStreamInArrayLE in(code.data(), static_cast<int64_t>(code.size()));
    (void)dec.init(&in);
    dec.init_symbol_model(*model);
    uint32_t sum = 0;
    for (int i = 0; i < kValues; i++) sum += dec.decode_symbol(*model);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(BM_SymbolDecode)->Arg(16)->Arg(256)->Arg(2048);

}  // namespace
BENCHMARK_MAIN();
