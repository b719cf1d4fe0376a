// The per-point cost of filtering, against the same work without a filter:
// - 10M point records held in memory are moved into a LASpoint one by one,
//   as a reader does, and then asked to the filter;
// - a 10M-point LAS file (written into the temporary folder before the
//   benchmarks run and deleted afterwards) is read through the reader base,
//   which asks the filter about every point it reads.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "filters/lasfilter.h"
#include "las/lasheader.h"
#include "las/laspoint.h"
#include "las/lasquantizer.h"
#include "las/lasreader_las.h"
#include "las/laswriter_las.h"

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

std::string las_file_name;

// The in-memory records as a LAS 1.2 file of point format 1.
bool write_las_file() {
  const std::vector<uint8_t>& bytes = records();
  if (bytes.empty()) return false;
  LASheader header;
  header.version_minor = 2;
  header.header_size = 227;
  header.offset_to_point_data = 227;
  header.point_data_format = kFormat;
  header.point_data_record_length = kRecordSize;
  header.number_of_point_records = static_cast<uint32_t>(kPoints);
  header.extended_number_of_point_records = kPoints;
  header.min_x = header.min_y = header.min_z = 0.0;
  header.max_x = header.max_y = 1000.0;
  header.max_z = 200.0;
  LASwriterLAS writer;
  if (!writer.open(las_file_name.c_str(), &header)) return false;
  LASpoint point;
  if (!point.init(&header, kFormat, kRecordSize, &header)) return false;
  for (int64_t i = 0; i < kPoints; i++) {
    point.copy_from(&bytes[static_cast<size_t>(i) * kRecordSize]);
    if (!writer.write_point(&point)) return false;
  }
  return writer.close() > 0;
}

void BM_ReadLASFiltered(benchmark::State& state) {
  const std::string options = kFilters[state.range(0)];
  std::unique_ptr<LASfilter> filter;
  if (!options.empty()) {
    filter = std::make_unique<LASfilter>();
    if (!filter->parse(options) || filter->get_number_of_criteria() == 0) {
      state.SkipWithError("filter parse failed");
      return;
    }
  }
  int64_t read = 0;
  int64_t kept = 0;
  for (auto _ : state) {
    LASreaderLAS reader;
    if (!reader.open(las_file_name.c_str())) {
      state.SkipWithError("cannot open the benchmark file");
      return;
    }
    if (filter) {
      filter->reset();
      reader.set_filter(filter.get());
    }
    kept = 0;
    while (reader.read_point()) kept++;
    read += reader.p_count;
    reader.close();
  }
  state.SetLabel(options.empty() ? "no filter" : options);
  state.counters["kept"] = static_cast<double>(kept);
  state.SetItemsProcessed(read);
}

}  // namespace

BENCHMARK(BM_FilterPoints)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadLASFiltered)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const char* tmp = getenv("TMPDIR");
  const std::string folder = tmp && *tmp ? tmp : "/tmp";
  las_file_name = folder + "/filters_bench_" + std::to_string(static_cast<long>(getpid())) + ".las";
  const bool ok = write_las_file();
  if (ok) {
    benchmark::RunSpecifiedBenchmarks();
  } else {
    fprintf(stderr, "ERROR: cannot write the benchmark file '%s'\n", las_file_name.c_str());
  }
  remove(las_file_name.c_str());
  benchmark::Shutdown();
  return ok ? 0 : 1;
}
