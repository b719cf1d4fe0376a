// Stateful criteria that thin the stream: every n-th point, a random
// fraction, the first point per grid cell and the first point or pulse per
// GPS-time bin.
#ifndef TIECHECK_FILTERS_LASCRITERION_THINNING_H
#define TIECHECK_FILTERS_LASCRITERION_THINNING_H

#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "filters/lascriterion.h"

// Keeps the n-th, 2n-th, ... point. The counter is not reset between files:
// counting continues across inputs.
class LAScriterionKeepEveryNth : public LAScriterion {
 public:
  // n must not be 0.
  explicit LAScriterionKeepEveryNth(uint32_t nth) : nth(nth) {}
  const char* name() const override { return "keep_every_nth"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  uint32_t nth;
  uint32_t count = 1;
};

// Removes the n-th, 2n-th, ... point; the counter carries over like the
// keep variant's.
class LAScriterionDropEveryNth : public LAScriterion {
 public:
  explicit LAScriterionDropEveryNth(uint32_t nth) : nth(nth) {}
  const char* name() const override { return "drop_every_nth"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  uint32_t nth;
  uint32_t count = 1;
};

// Per point, a 15-bit generator is seeded with the current value and drawn
// once; the draw r becomes the current value and the point is rejected when
// r / 32767 is above the fraction. The same seed always selects the same
// points, and reset() restarts from the seed. The draws run through all
// 32768 values before repeating, so over any 32768 points the kept share is
// exact. The generator is private: filtering leaves the C library's random
// sequence alone. A non-zero seed is printed after the fraction so that the
// text selects the same points.
class LAScriterionKeepRandomFraction : public LAScriterion {
 public:
  explicit LAScriterionKeepRandomFraction(float fraction, uint32_t seed = 0)
      : fraction(fraction), seed(seed), current(seed) {}
  const char* name() const override { return "keep_random_fraction"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;
  void reset() override { current = seed; }

 private:
  float fraction;
  uint32_t seed;
  uint32_t current;
};

// Keeps the first point in each square cell of the given spacing. The grid
// is anchored at the row of the first point; rows below it ("minus") and at
// or above it ("plus") are stored apart, and each row keeps one bit per cell
// in two tables, right of (or at) and left of the x cell of the row's first
// point. Tables grow by 1024 rows and rows by 256 words. Cells beyond
// max_dense_rows rows or max_dense_words words from their anchors go into
// an ordered set instead, so that far outliers cost memory per point rather
// than per cell of distance.
class LAScriterionThinWithGrid : public LAScriterion {
 public:
  static constexpr int64_t max_dense_rows = int64_t{1} << 20;
  static constexpr int64_t max_dense_words = int64_t{1} << 16;

  explicit LAScriterionThinWithGrid(float grid_spacing) : grid_spacing(-grid_spacing) {}
  const char* name() const override { return "thin_with_grid"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;
  // Frees all tables; the next point anchors the grid again.
  void reset() override;

 private:
  using BitRows = std::vector<std::vector<uint32_t>>;  // per row, its words; empty = row unused
  struct Half {
    std::vector<int64_t> x_anchors;  // per row, sized with the right-hand table
    BitRows right;
    BitRows left;
  };

  bool test_and_set_far(int64_t signed_row, int64_t cell_x);

  float grid_spacing;  // negative until the first point anchors the grid
  int64_t anchor_row = 0;
  Half minus, plus;
  std::set<std::pair<int64_t, int64_t>> far_cells;  // (row from the anchor row, x cell)
};

// Keeps the first point per GPS-time bin floor(gps_time / spacing).
class LAScriterionThinPointsWithTime : public LAScriterion {
 public:
  explicit LAScriterionThinPointsWithTime(double time_spacing) : time_spacing(time_spacing) {}
  const char* name() const override { return "thin_points_with_time"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::gps_time; }
  bool rejects(const LASpoint* point) override;
  void reset() override { bins.clear(); }

 private:
  double time_spacing;
  std::set<int64_t> bins;
};

// Keeps every return of the first pulse per GPS-time bin: the points whose
// GPS time equals that of the first point kept in their bin.
class LAScriterionThinPulsesWithTime : public LAScriterion {
 public:
  explicit LAScriterionThinPulsesWithTime(double time_spacing) : time_spacing(time_spacing) {}
  const char* name() const override { return "thin_pulses_with_time"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::gps_time; }
  bool rejects(const LASpoint* point) override;
  void reset() override { bins.clear(); }

 private:
  double time_spacing;
  std::map<int64_t, double> bins;
};

#endif
