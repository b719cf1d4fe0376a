// Moving raw point records into and out of a LASpoint: the per-point work of
// reading and writing uncompressed files, and of the stored and buffered
// readers. POINT14 goes through its field conversion, the legacy items are
// block copies.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "las/laspoint.h"

namespace {

constexpr int kRecords = 4096;

std::vector<uint8_t> records_of(const LASpoint& point) {
  std::vector<uint8_t> bytes(static_cast<size_t>(point.total_point_size) * kRecords);
  uint32_t state = 12345;
  for (uint8_t& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<uint8_t>(state >> 16);
  }
  return bytes;
}

void BM_CopyFrom(benchmark::State& state) {
  const uint8_t format = static_cast<uint8_t>(state.range(0));
  LASquantizer quantizer;
  LASpoint point;
  if (!point.init(&quantizer, format, LASitem::base_size(format))) {
    state.SkipWithError("init failed");
    return;
  }
  const std::vector<uint8_t> bytes = records_of(point);
  for (auto _ : state) {
    for (int i = 0; i < kRecords; i++) {
      point.copy_from(&bytes[static_cast<size_t>(i) * point.total_point_size]);
      benchmark::DoNotOptimize(point.X);
    }
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

void BM_CopyTo(benchmark::State& state) {
  const uint8_t format = static_cast<uint8_t>(state.range(0));
  LASquantizer quantizer;
  LASpoint point;
  if (!point.init(&quantizer, format, LASitem::base_size(format))) {
    state.SkipWithError("init failed");
    return;
  }
  std::vector<uint8_t> bytes = records_of(point);
  point.copy_from(bytes.data());
  for (auto _ : state) {
    for (int i = 0; i < kRecords; i++) {
      point.X = i;
      point.copy_to(&bytes[static_cast<size_t>(i) * point.total_point_size]);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

// Formats 1 and 3 (legacy block copies), 6 and 8 (POINT14 conversion).
BENCHMARK(BM_CopyFrom)->Arg(1)->Arg(3)->Arg(6)->Arg(8);
BENCHMARK(BM_CopyTo)->Arg(1)->Arg(3)->Arg(6)->Arg(8);

}  // namespace

BENCHMARK_MAIN();
