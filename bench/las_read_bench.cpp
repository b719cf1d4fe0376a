// Reading uncompressed LAS files from the page cache, next to a plain fread
// loop over the same file that sums every byte: the reader's points per
// second against the points per second the disk cache can deliver at all.
//
// The files (10 million points of format 1 and of format 6) are written into
// the temporary folder before the benchmarks run and deleted afterwards.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "las/lasreader_las.h"
#include "las/laswriter_las.h"

namespace {

constexpr uint32_t points_per_file = 10000000;
constexpr size_t fread_buffer_bytes = 262144;

struct BenchFile {
  uint8_t format;
  std::string name;
};

std::vector<BenchFile> files;

bool write_file(const BenchFile& f) {
  LASheader header;
  header.version_minor = f.format > 5 ? 4 : 2;
  header.header_size = f.format > 5 ? 375 : 227;
  header.offset_to_point_data = header.header_size;
  header.point_data_format = f.format;
  header.point_data_record_length = LASitem::base_size(f.format);
  header.number_of_point_records = f.format > 5 ? 0 : points_per_file;
  header.extended_number_of_point_records = points_per_file;
  header.min_x = header.min_y = header.min_z = 0.0;
  header.max_x = header.max_y = header.max_z = 1e4;
  LASwriterLAS writer;
  if (!writer.open(f.name.c_str(), &header)) return false;
  LASpoint point;
  if (!point.init(&header, header.point_data_format, header.point_data_record_length, &header)) return false;
  for (uint32_t i = 0; i < points_per_file; i++) {
    point.X = static_cast<int32_t>(i % 1000000);
    point.Y = static_cast<int32_t>(i / 10);
    point.Z = static_cast<int32_t>(i * 2654435761u >> 12);
    point.intensity = static_cast<uint16_t>(i);
    point.gps_time = i * 1e-5;
    if (point.extended_point_type) {
      point.extended_return_number = 1 + i % 3;
      point.extended_number_of_returns = 3;
      point.extended_classification = static_cast<uint8_t>(i % 40);
    } else {
      point.return_number = 1 + i % 3;
      point.number_of_returns = 3;
      point.classification = i % 32;
    }
    if (!writer.write_point(&point)) return false;
  }
  return writer.close() > 0;
}

void BM_ReadLAS(benchmark::State& state) {
  const BenchFile& f = files[state.range(0)];
  int64_t points = 0;
  for (auto _ : state) {
    LASreaderLAS reader;
    if (!reader.open(f.name.c_str())) {
      state.SkipWithError("cannot open the benchmark file");
      return;
    }
    int64_t sum = 0;
    while (reader.read_point()) sum += reader.point.X;
    benchmark::DoNotOptimize(sum);
    points += reader.p_count;
    reader.close();
  }
  state.SetItemsProcessed(points);
  state.SetLabel("format " + std::to_string(f.format));
}

void BM_FreadSum(benchmark::State& state) {
  const BenchFile& f = files[state.range(0)];
  std::vector<uint8_t> buffer(fread_buffer_bytes);
  int64_t bytes = 0;
  for (auto _ : state) {
    FILE* file = fopen(f.name.c_str(), "rb");
    if (file == nullptr) {
      state.SkipWithError("cannot open the benchmark file");
      return;
    }
    uint64_t sum = 0;
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), file)) > 0) {
      for (size_t i = 0; i < n; i++) sum += buffer[i];
      bytes += static_cast<int64_t>(n);
    }
    benchmark::DoNotOptimize(sum);
    fclose(file);
  }
  state.SetBytesProcessed(bytes);
  // The points the bytes hold, to compare with the reader's items per second.
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * points_per_file);
  state.SetLabel("format " + std::to_string(f.format));
}

BENCHMARK(BM_ReadLAS)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FreadSum)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const char* tmp = getenv("TMPDIR");
  const std::string folder = tmp && *tmp ? tmp : "/tmp";
  const std::string stem = folder + "/las_read_bench_" + std::to_string(static_cast<long>(getpid()));
  files = {{1, stem + "_format1.las"}, {6, stem + "_format6.las"}};
  bool ok = true;
  for (const BenchFile& f : files) ok = ok && write_file(f);
  if (ok) benchmark::RunSpecifiedBenchmarks();
  for (const BenchFile& f : files) remove(f.name.c_str());
  benchmark::Shutdown();
  return ok ? 0 : 1;
}
