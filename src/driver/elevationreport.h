// The per-control-point output lines, the elevation differences and their
// error statistics.
#ifndef TIECHECK_DRIVER_ELEVATIONREPORT_H
#define TIECHECK_DRIVER_ELEVATIONREPORT_H

#include <cstdio>

// Collects the elevation differences (LiDAR minus control) of one sampling
// pass and writes one output line for every control-point line read.
//
// The status column ("status", "skipped", "used", "ignored") is written when
// at least one ignore threshold is not 0. Ignore thresholds only apply with
// the status column on; a difference equal to a threshold is used.
class ElevationReport {
 public:
  ElevationReport(double ignore_above, double ignore_below, char separator, bool very_verbose);
  ElevationReport(const ElevationReport&) = delete;
  ElevationReport& operator=(const ElevationReport&) = delete;
  ~ElevationReport();

  bool has_status_column() const { return ignore_above_ != 0.0 || ignore_below_ != 0.0; }

  // Makes room for the differences of total control points (the count of the
  // first pass). Prints "ERROR: cannot alloc elevation difference array with
  // %u values.\n" and answers false when it cannot.
  [[nodiscard]] bool alloc_differences(int total);

  // A line that is no control point: before the first used control point it
  // gets the column names in front, later it is copied unchanged.
  void report_unparsed(FILE* out, const char* line) const;

  // A control point without enough LiDAR points around it.
  void report_not_covered(FILE* out, const char* line);

  // A sampled control point with its LiDAR elevation and difference. When
  // more control points are used than the first pass counted (the file
  // changed in between) the array grows; false, after the allocation message,
  // when it cannot.
  [[nodiscard]] bool report_sampled(FILE* out, const char* line, float lidar_z, float difference);

  // The warnings about not covered and ignored control points, then always
  // "sampled TIN at %d of %d control points.\n".
  void print_summary() const;

  // The error statistics of the used differences; nothing when none was used
  // or when quiet. unit_word is "meter" or "feet".
  void print_statistics(bool quiet, const char* unit_word) const;

  // False, after "ERROR: different number control points %d != %d\n", when
  // not covered + ignored + used differs from the first pass's total.
  [[nodiscard]] bool check_consistency() const;

  void free_differences();

  int total() const { return total_; }
  int used() const { return used_; }
  int ignored() const { return ignored_; }
  int not_covered() const { return not_covered_; }
  // Average difference of the used control points (0 when none was used).
  double average() const { return used_ > 0 ? sum_ / used_ : 0.0; }

 private:
  [[nodiscard]] bool store_difference(float difference);

  double ignore_above_;
  double ignore_below_;
  char separator_;
  bool very_verbose_;

  int total_ = 0;
  int used_ = 0;
  int ignored_ = 0;
  int not_covered_ = 0;

  double sum_ = 0.0;
  double sum_abs_ = 0.0;
  double sum_squares_ = 0.0;

  float* differences_ = nullptr;
  unsigned capacity_ = 0;
};

#endif
