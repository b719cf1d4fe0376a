// The per-point cost of filtering: 10M point records held in memory are
// moved into a LASpoint one by one, as a reader does, and then asked to the
// filter; the unfiltered run is the baseline the filter adds to.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "filters/lasfilter.h"
#include "las/laspoint.h"
#include "las/lasquantizer.h"

namespace {

constexpr int64_t kPoints = 10000000;
constexpr uint8_t kFormat = 1;      // POINT10 and GPS time
constexpr uint16_t kRecordSize = 28;

// A 1 km tile at scale 0.01 with 10 points per square metre: classes 1 to
// 9 (a ninth of them class 2), up to four returns per pulse, z from 0 to 200.
const std::vector<uint8_t>& records() {
  static const std::vector<uint8_t> bytes = [] {
    LASquantizer quantizer;
    LASpoint point;
    if (!point.init(&quantizer, kFormat, kRecordSize)) return std::vector<uint8_t>();
    std::vector<uint8_t> all(static_cast<size_t>(kPoints) * kRecordSize);
    uint32_t state = 12345;
    for (int64_t i = 0; i < kPoints; i++) {
      state = state * 1103515245u + 12345u;
      point.X = static_cast<int32_t>((state >> 8) % 100000);
      const uint32_t state_y = state * 1103515245u + 12345u;
      point.Y = static_cast<int32_t>((state_y >> 8) % 100000);
      point.Z = static_cast<int32_t>((state >> 4) % 20000);
      point.intensity = static_cast<uint16_t>(state >> 16);
      point.number_of_returns = static_cast<uint8_t>(1 + (state >> 20) % 4);
      point.return_number = static_cast<uint8_t>(1 + (state >> 24) % point.number_of_returns);
      point.classification = static_cast<uint8_t>(1 + (state >> 12) % 9);
      point.gps_time = i * 1e-5;
      point.copy_to(&all[static_cast<size_t>(i) * kRecordSize]);
    }
    return all;
  }();
  return bytes;
}

const char* const kFilters[] = {"", "-keep_class 2", "-keep_class 2 8 -keep_first -drop_z_above 150",
                                "-thin_with_grid 1.0"};

void BM_FilterPoints(benchmark::State& state) {
  const std::string options = kFilters[state.range(0)];
  const std::vector<uint8_t>& bytes = records();
  LASquantizer quantizer;
  LASpoint point;
  if (bytes.empty() || !point.init(&quantizer, kFormat, kRecordSize)) {
    state.SkipWithError("point init failed");
    return;
  }
  std::unique_ptr<LASfilter> filter;
  if (!options.empty()) {
    filter = std::make_unique<LASfilter>();
    if (!filter->parse(options) || filter->get_number_of_criteria() == 0) {
      state.SkipWithError("filter parse failed");
      return;
    }
  }
  int64_t kept = 0;
  for (auto _ : state) {
    if (filter) filter->reset();
    kept = 0;
    const uint8_t* record = bytes.data();
    for (int64_t i = 0; i < kPoints; i++, record += kRecordSize) {
      point.copy_from(record);
      if (filter && filter->rejects(&point)) continue;
      kept++;
    }
    benchmark::DoNotOptimize(kept);
  }
  state.SetLabel(options.empty() ? "no filter" : options);
  state.counters["kept"] = static_cast<double>(kept);
  state.SetItemsProcessed(state.iterations() * kPoints);
}

}  // namespace

BENCHMARK(BM_FilterPoints)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
