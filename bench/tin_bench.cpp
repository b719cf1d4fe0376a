// TIN construction and location. Points are built in memory during setup:
// one million uniformly random points in random order, and one million points
// in airborne scan-line order (rows with small jitter, alternating direction).
// Reports points per second and the bytes held per point (triangle pool,
// delay buffer, cavity stack and the 12-byte points themselves).
//
// When CGAL is available the same points go through its
// Delaunay_triangulation_2 (exact predicates kernel, spatially sorted range
// insertion) for comparison; its bytes per point are the heap growth.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <utility>
#include <vector>

#include "tin/tin.h"

#ifdef TIECHECK_HAVE_CGAL
#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#endif

namespace {

constexpr int million = 1000000;

using Point3 = std::array<float, 3>;

// Uniform points in [0, 1024)^2 on a 2^-10 grid, like coordinates made
// relative to a tile's minimum.
const std::vector<Point3>& random_points() {
  static const std::vector<Point3> points = [] {
    std::mt19937 rng(1);
    std::vector<Point3> p(million);
    for (Point3& q : p) {
      q[0] = std::ldexp(static_cast<float>(rng() & 0xFFFFF), -10);
      q[1] = std::ldexp(static_cast<float>(rng() & 0xFFFFF), -10);
      q[2] = static_cast<float>(rng() % 10000) * 0.01f;
    }
    return p;
  }();
  return points;
}

// Rows of 2,000 points 0.4 apart, rows 0.5 apart, each coordinate jittered
// by up to 0.05 and the direction alternating per row.
const std::vector<Point3>& scanline_points() {
  static const std::vector<Point3> points = [] {
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> jitter(-0.05, 0.05);
    const int per_row = 2000;
    std::vector<Point3> p(million);
    for (int i = 0; i < million; i++) {
      int row = i / per_row;
      int col = i % per_row;
      double x = col * 0.4 + jitter(rng);
      double y = row * 0.5 + jitter(rng);
      if (row % 2 == 1) x = (per_row - 1) * 0.4 - x;
      p[static_cast<size_t>(i)] = {static_cast<float>(std::round(x * 1024) / 1024),
                                   static_cast<float>(std::round(y * 1024) / 1024),
                                   static_cast<float>(row % 7)};
    }
    return p;
  }();
  return points;
}

// Distance along a Hilbert curve over a 2^16 by 2^16 grid.
uint64_t hilbert_key(uint32_t x, uint32_t y) {
  uint64_t d = 0;
  for (uint32_t s = 1u << 15; s > 0; s >>= 1) {
    uint32_t rx = (x & s) ? 1 : 0;
    uint32_t ry = (y & s) ? 1 : 0;
    d += static_cast<uint64_t>(s) * s * ((3 * rx) ^ ry);
    if (ry == 0) {
      if (rx == 1) {
        x = s - 1 - x;
        y = s - 1 - y;
      }
      std::swap(x, y);
    }
  }
  return d;
}

void build_tin(const std::vector<Point3>& points) {
  std::srand(1);
  if (!tin_init(static_cast<int>(points.size()))) std::abort();
  for (const Point3& p : points) tin_add(p.data());
  if (!tin_finish()) std::abort();
}

void report(benchmark::State& state, size_t n) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n));
  state.counters["bytes_per_point"] =
      static_cast<double>(tin_memory_bytes() + static_cast<int64_t>(sizeof(Point3) * n)) /
      static_cast<double>(n);
}

void BM_TinBuildRandom(benchmark::State& state) {
  const std::vector<Point3>& points = random_points();
  for (auto _ : state) build_tin(points);
  report(state, points.size());
}

void BM_TinBuildScanLine(benchmark::State& state) {
  const std::vector<Point3>& points = scanline_points();
  for (auto _ : state) build_tin(points);
  report(state, points.size());
}

// The random points put in Hilbert order by the caller first (sort timed),
// the order a spatially sorting triangulator inserts them in.
void BM_TinBuildRandomHilbertSorted(benchmark::State& state) {
  const std::vector<Point3>& points = random_points();
  std::vector<Point3> sorted(points.size());
  std::vector<std::pair<uint64_t, uint32_t>> keys(points.size());
  for (auto _ : state) {
    for (size_t i = 0; i < points.size(); i++) {
      uint32_t x = static_cast<uint32_t>(points[i][0] * 64.0f);
      uint32_t y = static_cast<uint32_t>(points[i][1] * 64.0f);
      keys[i] = {hilbert_key(x, y), static_cast<uint32_t>(i)};
    }
    std::sort(keys.begin(), keys.end());
    for (size_t i = 0; i < points.size(); i++) sorted[i] = points[keys[i].second];
    build_tin(sorted);
  }
  report(state, points.size());
}

// Location along a path of nearby query points, each walk starting from the
// previous answer, as the sampling of consecutive control points does.
void BM_TinLocatePath(benchmark::State& state) {
  const std::vector<Point3>& points = scanline_points();
  build_tin(points);
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> step(-2.0f, 2.0f);
  std::vector<std::array<float, 2>> queries(100000);
  float x = 400, y = 125;
  for (auto& q : queries) {
    x = std::clamp(x + step(rng), 0.0f, 799.0f);
    y = std::clamp(y + step(rng), 0.0f, 249.0f);
    q = {x, y};
  }
  TINtriangle* hint = nullptr;
  for (auto _ : state) {
    for (const auto& q : queries) {
      TINtriangle* t = tin_locate(q[0], q[1], hint);
      if (t != nullptr) hint = t;
      benchmark::DoNotOptimize(t);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(queries.size()));
}

BENCHMARK(BM_TinBuildRandom)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TinBuildRandomHilbertSorted)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TinBuildScanLine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TinLocatePath)->Unit(benchmark::kMillisecond);

#ifdef TIECHECK_HAVE_CGAL
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using Delaunay = CGAL::Delaunay_triangulation_2<Kernel>;

int64_t heap_in_use() {
  struct mallinfo2 info = mallinfo2();
  return static_cast<int64_t>(info.uordblks + info.hblkhd);
}

void cgal_build(benchmark::State& state, const std::vector<Point3>& points) {
  std::vector<Kernel::Point_2> input;
  input.reserve(points.size());
  for (const Point3& p : points) input.emplace_back(p[0], p[1]);
  int64_t bytes = 0;
  for (auto _ : state) {
    int64_t before = heap_in_use();
    Delaunay dt;
    dt.insert(input.begin(), input.end());
    bytes = heap_in_use() - before;
    benchmark::DoNotOptimize(dt.number_of_faces());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(points.size()));
  state.counters["bytes_per_point"] =
      static_cast<double>(bytes) / static_cast<double>(points.size());
}

void BM_CgalBuildRandom(benchmark::State& state) { cgal_build(state, random_points()); }
void BM_CgalBuildScanLine(benchmark::State& state) { cgal_build(state, scanline_points()); }

BENCHMARK(BM_CgalBuildRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CgalBuildScanLine)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
