#include "filters/lascriterion_thinning.h"

#include <cmath>

#include "las/laspoint.h"

namespace {

// Cells and bins are clamped to +-2^61 so that the difference of two of
// them never overflows 64 bits, whatever spacing and coordinates meet.
constexpr double bin_limit = 2305843009213693952.0;  // 2^61

// floor(q) as a 64-bit number: truncate toward zero, one less when that
// lies above q. NaN falls on the lower limit.
int64_t floor_bin(double q) {
  if (!(q > -bin_limit)) return -(int64_t{1} << 61);
  if (q >= bin_limit) return int64_t{1} << 61;
  int64_t t = static_cast<int64_t>(q);
  if (static_cast<double>(t) > q) t--;
  return t;
}

}  // namespace

void LAScriterionKeepEveryNth::write_command(LAScommand& command) const {
  command.option(name());
  command.add_unsigned(nth);
}
bool LAScriterionKeepEveryNth::rejects(const LASpoint*) {
  if (count == nth) {
    count = 1;
    return false;
  }
  count++;
  return true;
}

void LAScriterionDropEveryNth::write_command(LAScommand& command) const {
  command.option(name());
  command.add_unsigned(nth);
}
bool LAScriterionDropEveryNth::rejects(const LASpoint*) {
  if (count == nth) {
    count = 1;
    return true;
  }
  count++;
  return false;
}

void LAScriterionKeepRandomFraction::write_command(LAScommand& command) const {
  command.option(name());
  command.add_float(fraction);
  if (seed != 0) command.add_unsigned(seed);
}
bool LAScriterionKeepRandomFraction::rejects(const LASpoint*) {
  // Seeding with the current value and drawing once. The draw keeps the low
  // 15 bits of the C library's classic linear congruential step, which is a
  // full-period step modulo 32768: every value comes once per 32768 points,
  // so the kept share is exact over each period. (Drawing the high bits, as
  // rand() does, makes this re-seeded sequence fall into a cycle of 135
  // values, which keeps 0.7% of the points for a fraction of 0.001.)
  current = (current * 1103515245u + 12345u) & 0x7FFFu;
  return static_cast<float>(current) / 32767.0f > fraction;
}

void LAScriterionThinWithGrid::write_command(LAScommand& command) const {
  command.option(name());
  command.add_float(std::fabs(grid_spacing));
}

bool LAScriterionThinWithGrid::rejects(const LASpoint* point) {
  const double x = point->get_x();
  const double y = point->get_y();
  if (grid_spacing < 0) {
    grid_spacing = -grid_spacing;
    anchor_row = floor_bin(y / grid_spacing);
  }
  const int64_t cell_x = floor_bin(x / grid_spacing);
  const int64_t signed_row = floor_bin(y / grid_spacing) - anchor_row;

  Half& half = signed_row < 0 ? minus : plus;
  const int64_t row = signed_row < 0 ? -signed_row - 1 : signed_row;
  if (row >= max_dense_rows) return test_and_set_far(signed_row, cell_x);

  // A row exists once its right-hand table holds words: its first point
  // put its anchor there.
  const bool new_row = !(row < static_cast<int64_t>(half.right.size()) && !half.right[row].empty());
  BitRows* table = &half.right;
  int64_t cell = 0;
  if (!new_row) {
    cell = cell_x - half.x_anchors[row];
    if (cell < 0) {
      table = &half.left;
      cell = -cell - 1;
    }
    if (cell / 32 >= max_dense_words) return test_and_set_far(signed_row, cell_x);
  }
  if (row >= static_cast<int64_t>(table->size())) {
    const size_t rows = static_cast<size_t>((row / 1024 + 1) * 1024);
    table->resize(rows);
    if (table == &half.right) half.x_anchors.resize(rows);
  }
  if (new_row) half.x_anchors[row] = cell_x;

  std::vector<uint32_t>& words = (*table)[row];
  const size_t word = static_cast<size_t>(cell / 32);
  if (word >= words.size()) words.resize((word & ~size_t{255}) + 256, 0);
  const uint32_t bit = 1u << (cell % 32);
  if (words[word] & bit) return true;
  words[word] |= bit;
  return false;
}

bool LAScriterionThinWithGrid::test_and_set_far(int64_t signed_row, int64_t cell_x) {
  return !far_cells.insert(std::make_pair(signed_row, cell_x)).second;
}

void LAScriterionThinWithGrid::reset() {
  minus = Half();
  plus = Half();
  far_cells.clear();
  grid_spacing = -std::fabs(grid_spacing);
}

void LAScriterionThinPointsWithTime::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(std::fabs(time_spacing));
}
bool LAScriterionThinPointsWithTime::rejects(const LASpoint* point) {
  return !bins.insert(floor_bin(point->gps_time / time_spacing)).second;
}

void LAScriterionThinPulsesWithTime::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(std::fabs(time_spacing));
}
bool LAScriterionThinPulsesWithTime::rejects(const LASpoint* point) {
  const auto inserted = bins.try_emplace(floor_bin(point->gps_time / time_spacing), point->gps_time);
  if (inserted.second) return false;
  return inserted.first->second != point->gps_time;
}
