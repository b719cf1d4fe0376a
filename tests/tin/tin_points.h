// Point sets for the TIN tests: each point is three floats x, y, z at a
// stable address, as the TIN expects.
#ifndef TIECHECK_TESTS_TIN_TIN_POINTS_H
#define TIECHECK_TESTS_TIN_TIN_POINTS_H

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "tin/tin.h"

using Point3 = std::array<float, 3>;
using Points = std::vector<Point3>;

inline std::vector<const float*> refs(const Points& points) {
  std::vector<const float*> r;
  r.reserve(points.size());
  for (const Point3& p : points) r.push_back(p.data());
  return r;
}

// Builds a TIN of all points; the answer of tin_finish.
inline bool build_tin(const Points& points, bool hull_only = false) {
  std::srand(1);
  if (!tin_init(static_cast<int>(points.size()), hull_only)) return false;
  for (const Point3& p : points) tin_add(p.data());
  return tin_finish();
}

// Uniform points on a grid of 2^-10 in [0, 1024) x [0, 1024).
inline Points uniform_points(int n, uint32_t seed) {
  std::mt19937 rng(seed);
  Points points(static_cast<size_t>(n));
  for (Point3& p : points) {
    p[0] = std::ldexp(static_cast<float>(rng() & 0xFFFFF), -10);
    p[1] = std::ldexp(static_cast<float>(rng() & 0xFFFFF), -10);
    p[2] = static_cast<float>(rng() % 1000) * 0.01f;
  }
  return points;
}

// Airborne scan lines: rows 0.5 apart, points about 0.4 apart along each
// row, every coordinate jittered a little and kept on a 2^-10 grid.
inline Points scanline_points(int n, uint32_t seed, int per_row = 1000) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> jitter(-0.05, 0.05);
  Points points(static_cast<size_t>(n));
  for (int i = 0; i < n; i++) {
    int row = i / per_row;
    int col = i % per_row;
    double x = col * 0.4 + jitter(rng);
    double y = row * 0.5 + jitter(rng);
    // Alternate scan direction per row, as a swinging mirror does.
    if (row % 2 == 1) x = (per_row - 1) * 0.4 - x;
    points[static_cast<size_t>(i)] = {static_cast<float>(std::round(x * 1024) / 1024),
                                      static_cast<float>(std::round(y * 1024) / 1024),
                                      static_cast<float>(row % 7)};
  }
  return points;
}

// An nx by ny lattice of unit spacing, in row order.
inline Points lattice_points(int nx, int ny) {
  Points points;
  for (int j = 0; j < ny; j++) {
    for (int i = 0; i < nx; i++) {
      points.push_back({static_cast<float>(i), static_cast<float>(j), static_cast<float>(i + j)});
    }
  }
  return points;
}

inline void shuffle_points(Points& points, uint32_t seed) {
  std::mt19937 rng(seed);
  for (size_t i = points.size(); i > 1; i--) std::swap(points[i - 1], points[rng() % i]);
}

#endif
