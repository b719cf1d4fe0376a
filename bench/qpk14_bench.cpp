// Compressed LAS 1.4 points (layered chunks): realistic 10-million-point
// files of format 6 and format 7 (two scanner channels interleaving, one to
// five returns per pulse over terrain with vegetation and buildings, GPS time
// at 400 kHz, colour from an orthophoto). Reports the compressed size as a
// percentage of the LAS file next to xz -6 of the same file, and the points
// per second of our full decompression, of our decompression of X, Y and Z
// only, and of gzip -d on the same LAS file, all measured in CPU time (the
// machine may be shared; the wall clock would measure the neighbours too).
//
// The files are written into the temporary folder before the benchmarks run
// and deleted afterwards; xz and gzip compress them once, before the
// benchmarks, and their sizes appear as counters. The full decompression
// times gzip -d and ours in turn, so that both see the machine in the same
// state.
#include <benchmark/benchmark.h>

#include <unistd.h>

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

using bench_tools::cpu_timed;
using bench_tools::file_bytes;
using bench_tools::Random;

// 10 million; QPK14_BENCH_POINTS sets another count (for a quick check that
// the benchmark runs).
uint32_t points_per_file = 10000000;
// The selective-decompression mask of a reader that needs X, Y and Z only.
constexpr uint32_t decompress_xyz = 0x1;

struct BenchFile {
  uint8_t format;
  std::string las;
  std::string qpk;
  double las_bytes = 0;
  double qpk_bytes = 0;
  double xz_percent = 0;
  double gzip_d_points_per_second = 0;  // CPU time
  double full_points_per_second = 0;    // CPU time, filled by the full decompression
};

std::vector<BenchFile> files;

// An airborne survey at 0.01 m with a two-channel scanner: the channels
// alternate pulse by pulse in bursts, each sweeping its own scan lines;
// ground, vegetation with up to five returns and flat building roofs; GPS
// time at 400 kHz with a turn between flight lines; classification by
// what was hit (some classes above 31 for the LAS 1.4 range), overlap at
// the line edges, intensity by return and surface, colour from an
// orthophoto.
bool write_survey(const BenchFile& f) {
  LASheader header;
  header.version_minor = 4;
  header.header_size = LASheader::header_size_14;
  header.offset_to_point_data = LASheader::header_size_14;
  header.point_data_format = f.format;
  header.point_data_record_length = LASitem::base_size(f.format);
  header.number_of_point_records = 0;
  header.extended_number_of_point_records = points_per_file;
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
  double time = 400000.0;
  uint64_t pulses[2] = {0, 0};
  int channel = 0;
  uint32_t burst_left = 0;
  uint32_t written = 0;
  uint32_t line = 0;
  while (written < points_per_file) {
    if (burst_left == 0) {
      channel ^= 1;
      burst_left = 1 + rng.next() % 64;
    }
    burst_left--;
    time += 2.5e-6;
    const uint64_t pulse = pulses[channel]++;
    if (pulse > 0 && pulse % 1500000 == 0 && channel == 0) {
      time += 90.0;  // the turn to the next flight line
      line++;
    }
    const int phase = static_cast<int>(pulse % 500);
    const bool up = (pulse / 500) % 2 == 0;
    const double angle = (up ? -25.0 + phase * 0.1 : 25.0 - phase * 0.1) + (channel ? 0.05 : 0.0);
    const double along = static_cast<double>(pulse / 500) * 0.35 + phase * 0.0007 + channel * 0.17;
    const double across = angle * 23.0 + (rng.next() % 32) * 0.003;
    const double x = along;
    const double y = across + line * 900.0;
    const double ground = 250.0 + 12.0 * std::sin(x / 80.0) + 7.0 * std::cos(y / 55.0) + 0.3 * std::sin(x * 0.9);
    const bool building = std::sin(x / 41.0) > 0.85 && std::cos(y / 37.0) > 0.7;
    const bool vegetation = !building && std::sin(x / 13.0) * std::cos(y / 17.0) > 0.2;
    const int returns = vegetation ? 1 + static_cast<int>(rng.next() % 5) : (rng.next() % 25 == 0 ? 2 : 1);
    const double height = building ? 9.0 : (vegetation ? 4.0 + (rng.next() % 1500) * 0.01 : 0.0);
    const double ortho = 0.5 + 0.3 * std::sin(x / 7.0) * std::cos(y / 11.0);
    for (int r = 1; r <= returns && written < points_per_file; r++, written++) {
      double z;
      if (building) {
        z = ground + height;
      } else {
        z = r == returns ? ground : ground + height * (returns - r) / (returns - 1 + (returns == 1));
      }
      p.X = static_cast<int32_t>(std::lround(x * 100.0));
      p.Y = static_cast<int32_t>(std::lround(y * 100.0));
      p.Z = static_cast<int32_t>(std::lround(z * 100.0)) + static_cast<int32_t>(rng.next() % 4);
      p.intensity = static_cast<uint16_t>((building ? 1400 : (r == returns ? 900 : 350)) + rng.next() % 200);
      p.set_extended_return_number(static_cast<uint8_t>(r));
      p.set_extended_number_of_returns(static_cast<uint8_t>(returns));
      p.set_return_number(static_cast<uint8_t>(r));
      p.set_number_of_returns(static_cast<uint8_t>(returns));
      p.extended_scanner_channel = static_cast<uint8_t>(channel);
      p.scan_direction_flag = up;
      p.edge_of_flight_line = phase == 499;
      uint8_t classification = building ? 6 : (r == returns ? 2 : (height > 8.0 ? 5 : 4));
      if (vegetation && r == 1 && rng.next() % 100 == 0) classification = 40;  // a user class above 31
      p.set_classification(classification);
      p.set_extended_overlap_flag(phase < 20 || phase >= 480);
      p.extended_scan_angle = static_cast<int16_t>(std::lround(angle / 0.006));
      p.user_data = 0;
      p.point_source_ID = static_cast<uint16_t>(17 + line);
      p.gps_time = time;
      const uint16_t grey = static_cast<uint16_t>(ortho * 255.0) << 8;
      p.rgb[0] = grey;
      p.rgb[1] = static_cast<uint16_t>(grey * (vegetation ? 1.1 : 0.95));
      p.rgb[2] = static_cast<uint16_t>(grey * 0.8);
      if (!writer.write_point(&p)) return false;
    }
  }
  return writer.close() > 0;
}

// The size of xz -6 and the speed of gzip -d on the LAS file.
void run_external_compressors(BenchFile& f) {
  f.las_bytes = file_bytes(f.las);
  const std::string xz = f.las + ".xz";
  if (cpu_timed("xz -6 -T1 -c '" + f.las + "' > '" + xz + "'") >= 0) f.xz_percent = 100.0 * file_bytes(xz) / f.las_bytes;
  remove(xz.c_str());
  const std::string gz = f.las + ".gz";
  (void)cpu_timed("gzip -6 -c '" + f.las + "' > '" + gz + "'");
  // The gzip file stays for the full decompression benchmark, which times
  // gzip -d next to ours.
}

// LAS file to compressed file; the number of points, or -1.
int64_t compress(const BenchFile& f) {
  LASreaderLAS reader;
  LASwriterLAS writer;
  if (!reader.open(f.las.c_str()) ||
      !writer.open(f.qpk.c_str(), &reader.header, Qopack::COMPRESSOR_LAYERED_CHUNKED)) {
    return -1;
  }
  while (reader.read_point()) {
    if (!writer.write_point(&reader.point)) return -1;
  }
  if (writer.close() <= 0) return -1;
  return reader.p_count;
}

void add_counters(benchmark::State& state, const BenchFile& f) {
  state.counters["qpk_percent"] = 100.0 * f.qpk_bytes / f.las_bytes;
  state.counters["xz_percent"] = f.xz_percent;
  if (f.gzip_d_points_per_second > 0) state.counters["gzip_d_points_per_s"] = f.gzip_d_points_per_second;
  state.SetLabel("format " + std::to_string(f.format));
}

void BM_Qpk14Compress(benchmark::State& state) {
  const BenchFile& f = files[state.range(0)];
  int64_t points = 0;
  for (auto _ : state) {
    const int64_t n = compress(f);
    if (n != points_per_file) {
      state.SkipWithError("cannot compress the benchmark file");
      return;
    }
    points += n;
  }
  state.SetItemsProcessed(points);
  add_counters(state, f);
}

// Reads every point of the compressed file with the given mask; the sum of
// the coordinates keeps the reads from being optimised away.
bool decompress(const BenchFile& f, uint32_t selective, int64_t& points) {
  LASreaderLAS reader;
  if (!reader.open(f.qpk.c_str(), LASreaderLAS::default_io_buffer_size, false, selective)) return false;
  int64_t sum = 0;
  while (reader.read_point()) sum += reader.point.X + reader.point.Y + reader.point.Z;
  benchmark::DoNotOptimize(sum);
  points += reader.p_count;
  return reader.p_count == points_per_file;
}

// Each pass times gzip -d on the LAS file and then our decompression, so
// that both see the machine in the same state; the fastest pass of each
// counts.
void BM_Qpk14Decompress(benchmark::State& state) {
  BenchFile& f = files[state.range(0)];
  int64_t points = 0;
  double best = 0;
  double best_gzip = 0;
  const std::string gz = f.las + ".gz";
  for (auto _ : state) {
    state.PauseTiming();
    const double gzip_seconds = cpu_timed("gzip -d -c '" + gz + "' > /dev/null");
    if (gzip_seconds > 0 && (best_gzip == 0 || gzip_seconds < best_gzip)) best_gzip = gzip_seconds;
    state.ResumeTiming();
    const double start = static_cast<double>(clock()) / CLOCKS_PER_SEC;
    if (!decompress(f, 0xFFFFFFFF, points)) {
      state.SkipWithError("cannot read the compressed file");
      return;
    }
    const double seconds = static_cast<double>(clock()) / CLOCKS_PER_SEC - start;
    if (best == 0 || seconds < best) best = seconds;
  }
  state.SetItemsProcessed(points);
  if (best_gzip > 0) f.gzip_d_points_per_second = points_per_file / best_gzip;
  if (best > 0) f.full_points_per_second = points_per_file / best;
  // Above 1 when our full decompression is faster than gzip -d on the LAS file.
  if (f.gzip_d_points_per_second > 0 && best > 0) {
    state.counters["speed_vs_gzip_d"] = f.full_points_per_second / f.gzip_d_points_per_second;
  }
  add_counters(state, f);
}

void BM_Qpk14DecompressXYZ(benchmark::State& state) {
  const BenchFile& f = files[state.range(0)];
  int64_t points = 0;
  const double start = static_cast<double>(clock()) / CLOCKS_PER_SEC;
  for (auto _ : state) {
    if (!decompress(f, decompress_xyz, points)) {
      state.SkipWithError("cannot read the compressed file");
      return;
    }
  }
  const double seconds = static_cast<double>(clock()) / CLOCKS_PER_SEC - start;
  state.SetItemsProcessed(points);
  // Above 1.5 when X, Y and Z alone decode at least 1.5 times as fast as
  // every field (the full decompression runs first).
  if (f.full_points_per_second > 0 && seconds > 0) {
    state.counters["speed_vs_full"] = points / seconds / f.full_points_per_second;
  }
  add_counters(state, f);
}

BENCHMARK(BM_Qpk14Compress)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Qpk14Decompress)->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Qpk14DecompressXYZ)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (const char* points = getenv("QPK14_BENCH_POINTS")) {
    const long n = atol(points);
    if (n > 0) points_per_file = static_cast<uint32_t>(n);
  }
  const char* tmp = getenv("TMPDIR");
  const std::string folder = tmp && *tmp ? tmp : "/tmp";
  const std::string stem = folder + "/qpk14_bench_" + std::to_string(static_cast<long>(getpid()));
  for (uint8_t format : {uint8_t(6), uint8_t(7)}) {
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
    run_external_compressors(f);
    if (compress(f) != points_per_file) {
      fprintf(stderr, "cannot write '%s'\n", f.qpk.c_str());
      status = 1;
      break;
    }
    f.qpk_bytes = file_bytes(f.qpk);
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
