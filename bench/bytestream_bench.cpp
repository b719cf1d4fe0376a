// Byte streams under the access pattern of the codecs: one fixed-width field
// per virtual call, into and out of memory.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "las/bytestreamin_array.h"
#include "las/bytestreamout_array.h"
#include "las/bytestreamout_nil.h"

namespace {

constexpr int64_t kFields = 1 << 20;

void BM_InArrayGet32(benchmark::State& state) {
  std::vector<uint8_t> data(kFields * 4, 0x5A);
  for (auto _ : state) {
    ByteStreamInArrayLE in(data.data(), static_cast<int64_t>(data.size()));
    uint32_t sum = 0;
    for (int64_t i = 0; i < kFields; i++) {
      uint32_t v;
      in.get_32bits_le(reinterpret_cast<uint8_t*>(&v));
      sum += v;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kFields);
  state.SetBytesProcessed(state.iterations() * kFields * 4);
}
BENCHMARK(BM_InArrayGet32);

void BM_InArrayGetByte(benchmark::State& state) {
  std::vector<uint8_t> data(kFields, 0x5A);
  for (auto _ : state) {
    ByteStreamInArrayLE in(data.data(), static_cast<int64_t>(data.size()));
    uint32_t sum = 0;
    for (int64_t i = 0; i < kFields; i++) sum += in.get_byte();
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * kFields);
}
BENCHMARK(BM_InArrayGetByte);

// Growth from the default 4096 bytes in steps of 4096, as the codecs' layer
// streams grow within a chunk.
void BM_OutArrayPut32(benchmark::State& state) {
  for (auto _ : state) {
    ByteStreamOutArrayLE out;
    for (int64_t i = 0; i < kFields; i++) {
      uint32_t v = static_cast<uint32_t>(i);
      benchmark::DoNotOptimize(out.put_32bits_le(reinterpret_cast<uint8_t*>(&v)));
    }
    benchmark::DoNotOptimize(out.get_data());
  }
  state.SetItemsProcessed(state.iterations() * kFields);
  state.SetBytesProcessed(state.iterations() * kFields * 4);
}
BENCHMARK(BM_OutArrayPut32);

void BM_OutArrayPutByte(benchmark::State& state) {
  for (auto _ : state) {
    ByteStreamOutArrayLE out;
    for (int64_t i = 0; i < kFields; i++) benchmark::DoNotOptimize(out.put_byte(static_cast<uint8_t>(i)));
    benchmark::DoNotOptimize(out.get_data());
  }
  state.SetBytesProcessed(state.iterations() * kFields);
}
BENCHMARK(BM_OutArrayPutByte);

void BM_OutNilPut32(benchmark::State& state) {
  for (auto _ : state) {
    ByteStreamOutNil out;
    for (int64_t i = 0; i < kFields; i++) {
      uint32_t v = static_cast<uint32_t>(i);
      benchmark::DoNotOptimize(out.put_32bits_le(reinterpret_cast<uint8_t*>(&v)));
    }
    benchmark::DoNotOptimize(out.tell());
  }
  state.SetItemsProcessed(state.iterations() * kFields);
}
BENCHMARK(BM_OutNilPut32);

void BM_PutBits(benchmark::State& state) {
  for (auto _ : state) {
    ByteStreamOutArrayLE out;
    for (int64_t i = 0; i < kFields; i++) benchmark::DoNotOptimize(out.put_bits(static_cast<uint32_t>(i), 13));
    benchmark::DoNotOptimize(out.get_data());
  }
  state.SetItemsProcessed(state.iterations() * kFields);
}
BENCHMARK(BM_PutBits);

}  // namespace

BENCHMARK_MAIN();
