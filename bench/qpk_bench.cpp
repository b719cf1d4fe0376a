// Compressing and decompressing realistic LAS files (10 million points of
// format 1 and of format 3: scan lines, multiple returns, two flight lines
// flown side by side), next to the general-purpose compressors run on the
// same LAS file in the same run: the compressed size as a percentage of the
// LAS file for ours, xz -6, zstd -19 and gzip -6, and the points per second
// of our compression and decompression against gzip -d.
//
// The files are written into the temporary folder before the benchmarks run
// and deleted afterwards. The external compressors run once, in the first
// benchmark (minutes: xz and zstd at these levels are slow), and their
// sizes appear as counters of the later ones. The decompression benchmark
// times gzip -d and ours in turn; speed_vs_gzip_d above 1 means our
// decompression delivers more points per second than gzip -d.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_tools.h"
#include "compression/qopack.h"
#include "las/lasreader_las.h"
#include "las/laswriter_las.h"

namespace {

using bench_tools::file_bytes;
using bench_tools::Random;
using bench_tools::timed;

constexpr uint32_t points_per_file = 10000000;

struct BenchFile {
  uint8_t format;
  std::string las;
  std::string qpk;
  double las_bytes = 0;
  double xz_percent = 0;
  double zstd_percent = 0;
  double gzip_percent = 0;
  double gzip_d_points_per_second = 0;
};

std::vector<BenchFile> files;

// An airborne survey at 0.01 m: two flight lines flown side by side whose
// pulses alternate in blocks, 400 pulses per scan line, one to four returns
// per pulse over terrain with vegetation, GPS time at 200 kHz with a pause
// now and then, colour from an orthophoto.
bool write_survey(const BenchFile& f) {
  LASheader header;
  header.version_minor = 2;
  header.header_size = 227;
  header.offset_to_point_data = 227;
  header.point_data_format = f.format;
  header.point_data_record_length = LASitem::base_size(f.format);
  header.number_of_point_records = points_per_file;
  header.x_scale_factor = header.y_scale_factor = header.z_scale_factor = 0.01;
  header.x_offset = 500000.0;
  header.y_offset = 4000000.0;
  header.min_x = header.min_y = header.min_z = 0.0;
  header.max_x = header.max_y = header.max_z = 1e7;
  LASwriterLAS writer;
  if (!writer.open(f.las.c_str(), &header)) return false;
  LASpoint p;
  if (!p.init(&header, header.point_data_format, header.point_data_record_length, &header)) return false;
  Random rng;
  double time[2] = {300000.0, 300000.0};
  uint64_t pulses[2] = {0, 0};
  int line = 0;
  uint32_t block_left = 0;
  uint32_t written = 0;
  while (written < points_per_file) {
    if (block_left == 0) {
      line ^= 1;
      block_left = 2000 + rng.next() % 6000;
    }
    block_left--;
    time[line] += 5e-6;
    if (rng.next() % 50000 == 0) time[line] += 2.5;
    const uint64_t pulse = pulses[line]++;
    const int phase = static_cast<int>(pulse % 400);
    const bool up = (pulse / 400) % 2 == 0;
    const double angle = up ? -20.0 + phase * 0.1 : 20.0 - phase * 0.1;
    const double along = static_cast<double>(pulse / 400) * 0.5 + phase * 0.00125;
    const double across = angle * 21.0 + (rng.next() % 64) * 0.002;
    const double x = line ? along : 450.0 + across;
    const double y = line ? across + 300.0 : along;
    const double ground = 250.0 + 12.0 * std::sin(x / 80.0) + 7.0 * std::cos(y / 55.0) + 0.3 * std::sin(x * 0.9);
    const bool vegetation = std::sin(x / 13.0) * std::cos(y / 17.0) > 0.2;
    const int returns = vegetation ? 1 + static_cast<int>(rng.next() % 4) : (rng.next() % 20 == 0 ? 2 : 1);
    const double height = vegetation ? 4.0 + (rng.next() % 1500) * 0.01 : 0.0;
    const double ortho = 0.5 + 0.3 * std::sin(x / 7.0) * std::cos(y / 11.0);
    for (int r = 1; r <= returns && written < points_per_file; r++, written++) {
      const double z = r == returns ? ground : ground + height * (returns - r) / (returns - 1 + (returns == 1));
      p.X = static_cast<int32_t>(std::lround(x * 100.0));
      p.Y = static_cast<int32_t>(std::lround(y * 100.0));
      p.Z = static_cast<int32_t>(std::lround(z * 100.0)) + static_cast<int32_t>(rng.next() % 4);
      p.intensity = static_cast<uint16_t>((r == returns ? 900 : 350) + rng.next() % 200);
      p.return_number = static_cast<uint8_t>(r);
      p.number_of_returns = static_cast<uint8_t>(returns);
      p.scan_direction_flag = up;
      p.edge_of_flight_line = phase == 399;
      p.classification = r == returns ? 2 : (height > 8.0 ? 5 : 4);
      p.scan_angle_rank = static_cast<int8_t>(std::lround(angle));
      p.user_data = 0;
      p.point_source_ID = static_cast<uint16_t>(17 + line);
      p.gps_time = time[line];
      // 8-bit camera colours scaled to 16 bits, as airborne files carry them.
      const int grey = static_cast<int>(ortho * 255.0);
      p.rgb[0] = static_cast<uint16_t>(grey << 8);
      p.rgb[1] = static_cast<uint16_t>(std::min(255, grey * (vegetation ? 11 : 9) / 10) << 8);
      p.rgb[2] = static_cast<uint16_t>((grey * 4 / 5) << 8);
      if (!writer.write_point(&p)) return false;
    }
  }
  return writer.close() > 0;
}

// The sizes of xz -6, zstd -19 and gzip -6 and the speed of gzip -d.
void run_external_compressors(BenchFile& f) {
  const struct {
    const char* command;
    const char* suffix;
    double* percent;
  } tools[] = {
      {"xz -6 -T1 -c", ".xz", &f.xz_percent},
      {"zstd -19 -q -c", ".zst", &f.zstd_percent},
      {"gzip -6 -c", ".gz", &f.gzip_percent},
  };
  for (const auto& t : tools) {
    const std::string out = f.las + t.suffix;
    if (timed(std::string(t.command) + " '" + f.las + "' > '" + out + "'") >= 0) {
      *t.percent = 100.0 * file_bytes(out) / f.las_bytes;
    }
    if (std::string(t.suffix) != ".gz") remove(out.c_str());
  }
  // The gzip file stays for the decompression benchmark, which times
  // gzip -d next to ours.
}

// gzip -d of the LAS file in seconds of wall time, or -1. Makes the gzip
// file first when the run left out the general-purpose benchmark.
double gzip_d_seconds(const BenchFile& f) {
  const std::string gz = f.las + ".gz";
  if (file_bytes(gz) == 0 && timed("gzip -6 -c '" + f.las + "' > '" + gz + "'") < 0) return -1.0;
  return timed("gzip -d -c '" + gz + "' > /dev/null");
}

// Runs the general-purpose compressors on the LAS file once; later
// benchmarks of the same run show their sizes next to ours.
void BM_GeneralPurposeCompressors(benchmark::State& state) {
  BenchFile& f = files[state.range(0)];
  for (auto _ : state) run_external_compressors(f);
  state.counters["xz_percent"] = f.xz_percent;
  state.counters["zstd_percent"] = f.zstd_percent;
  state.counters["gzip_percent"] = f.gzip_percent;
  state.SetLabel("format " + std::to_string(f.format));
}

void add_counters(benchmark::State& state, const BenchFile& f) {
  state.counters["xz_percent"] = f.xz_percent;
  state.counters["zstd_percent"] = f.zstd_percent;
  state.counters["gzip_percent"] = f.gzip_percent;
  state.SetLabel("format " + std::to_string(f.format));
}

// LAS file to compressed file, as the z adjustment pass writes them; the
// number of points, or -1.
int64_t compress(const BenchFile& f) {
  LASreaderLAS reader;
  LASwriterLAS writer;
  if (!reader.open(f.las.c_str()) || !writer.open(f.qpk.c_str(), &reader.header, Qopack::COMPRESSOR_POINTWISE_CHUNKED)) {
    return -1;
  }
  while (reader.read_point()) {
    if (!writer.write_point(&reader.point)) return -1;
  }
  if (writer.close() <= 0) return -1;
  return reader.p_count;
}

void BM_QpkCompress(benchmark::State& state) {
  const BenchFile& f = files[state.range(0)];
  int64_t points = 0;
  for (auto _ : state) {
    const int64_t n = compress(f);
    if (n < 0) {
      state.SkipWithError("cannot compress the benchmark file");
      return;
    }
    points += n;
  }
  state.SetItemsProcessed(points);
  state.counters["qpk_percent"] = 100.0 * file_bytes(f.qpk) / f.las_bytes;
  add_counters(state, f);
}

// Each pass times gzip -d on the LAS file and then our decompression, so
// that both see the machine in the same state; the fastest pass of each
// counts.
void BM_QpkDecompress(benchmark::State& state) {
  BenchFile& f = files[state.range(0)];
  int64_t points = 0;
  double best = 0;       // seconds of our fastest pass
  double best_gzip = 0;  // seconds of the fastest gzip -d
  for (auto _ : state) {
    state.PauseTiming();
    const double gzip_seconds = gzip_d_seconds(f);
    if (gzip_seconds > 0 && (best_gzip == 0 || gzip_seconds < best_gzip)) best_gzip = gzip_seconds;
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    LASreaderLAS reader;
    if (!reader.open(f.qpk.c_str())) {
      state.SkipWithError("cannot open the compressed file");
      return;
    }
    int64_t sum = 0;
    while (reader.read_point()) sum += reader.point.Z;
    benchmark::DoNotOptimize(sum);
    if (reader.p_count != points_per_file) {
      state.SkipWithError("the compressed file holds fewer points");
      return;
    }
    points += reader.p_count;
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    if (best == 0 || seconds.count() < best) best = seconds.count();
  }
  state.SetItemsProcessed(points);
  if (best_gzip > 0) f.gzip_d_points_per_second = points_per_file / best_gzip;
  if (best > 0) state.counters["best_points_per_s"] = points_per_file / best;
  // Above 1 when our decompression is faster than gzip -d on the LAS file.
  if (f.gzip_d_points_per_second > 0 && best > 0) {
    state.counters["gzip_d_points_per_s"] = f.gzip_d_points_per_second;
    state.counters["speed_vs_gzip_d"] = points_per_file / best / f.gzip_d_points_per_second;
  }
  state.counters["qpk_percent"] = 100.0 * file_bytes(f.qpk) / f.las_bytes;
  add_counters(state, f);
}

BENCHMARK(BM_GeneralPurposeCompressors)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_QpkCompress)->Arg(0)->Arg(1)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QpkDecompress)->Arg(0)->Arg(1)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const char* tmp = getenv("TMPDIR");
  const std::string folder = tmp && *tmp ? tmp : "/tmp";
  const std::string stem = folder + "/qpk_bench_" + std::to_string(static_cast<long>(getpid()));
  for (uint8_t format : {uint8_t(1), uint8_t(3)}) {
    BenchFile f;
    f.format = format;
    f.las = stem + "_format" + std::to_string(format) + ".las";
    f.qpk = stem + "_format" + std::to_string(format) + ".qpk";
    files.push_back(f);
  }
  int status = 0;
  for (BenchFile& f : files) {
    if (!write_survey(f)) {
      fprintf(stderr, "cannot write '%s'\n", f.las.c_str());
      status = 1;
      break;
    }
    f.las_bytes = file_bytes(f.las);
    if (compress(f) != points_per_file) {
      fprintf(stderr, "cannot write '%s'\n", f.qpk.c_str());
      status = 1;
      break;
    }
  }
  if (status == 0) benchmark::RunSpecifiedBenchmarks();
  for (const BenchFile& f : files) {
    remove(f.las.c_str());
    remove(f.qpk.c_str());
    remove((f.las + ".gz").c_str());
  }
  benchmark::Shutdown();
  return status;
}
