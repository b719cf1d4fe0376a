#include "driver/elevationreport.h"

#include <cmath>
#include <cstdlib>

#include "driver/controlpoint.h"

ElevationReport::ElevationReport(double ignore_above, double ignore_below, char separator, bool very_verbose)
    : ignore_above_(ignore_above), ignore_below_(ignore_below), separator_(separator), very_verbose_(very_verbose) {}

ElevationReport::~ElevationReport() { free_differences(); }

bool ElevationReport::alloc_differences(int total) {
  free_differences();
  total_ = total;
  unsigned count = total > 0 ? static_cast<unsigned>(total) : 0u;
  if (count > 0) {
    differences_ = static_cast<float*>(std::malloc(sizeof(float) * static_cast<size_t>(count)));
    if (differences_ == nullptr) {
      std::fprintf(stderr, "ERROR: cannot alloc elevation difference array with %u values.\n", count);
      return false;
    }
  }
  capacity_ = count;
  return true;
}

void ElevationReport::free_differences() {
  std::free(differences_);
  differences_ = nullptr;
  capacity_ = 0;
}

void ElevationReport::report_unparsed(FILE* out, const char* line) const {
  const char s = separator_;
  if (used_ > 0) {
    std::fprintf(out, "%s", line);
  } else if (has_status_column()) {
    std::fprintf(out, "status%cdiff%clidar_z%c%s", s, s, s, line);
  } else {
    std::fprintf(out, "diff%clidar_z%c%s", s, s, line);
  }
}

void ElevationReport::report_not_covered(FILE* out, const char* line) {
  const char s = separator_;
  if (has_status_column()) {
    std::fprintf(out, "skipped%c-%c-%c%s", s, s, s, line);
  } else {
    std::fprintf(out, "-%c-%c%s", s, s, line);
  }
  ++not_covered_;
}

bool ElevationReport::report_sampled(FILE* out, const char* line, float lidar_z, float difference) {
  const char s = separator_;
  const double d = difference;
  if (!has_status_column()) {
    std::fprintf(out, "%g%c%g%c%s", d, s, static_cast<double>(lidar_z), s, line);
    return store_difference(difference);
  }
  if (ignore_above_ != 0.0 && d > ignore_above_) {
    if (very_verbose_) std::fprintf(stderr, "ignoring cp with diff %g > %g for error computation.\n", d, ignore_above_);
  } else if (ignore_below_ != 0.0 && d < ignore_below_) {
    if (very_verbose_) std::fprintf(stderr, "ignoring cp with diff %g < %g for error computation.\n", d, ignore_below_);
  } else {
    std::fprintf(out, "used%c%g%c%g%c%s", s, d, s, static_cast<double>(lidar_z), s, line);
    return store_difference(difference);
  }
  std::fprintf(out, "ignored%c%g%c%g%c%s", s, d, s, static_cast<double>(lidar_z), s, line);
  ++ignored_;
  return true;
}

bool ElevationReport::store_difference(float difference) {
  if (static_cast<unsigned>(used_) == capacity_) {
    // Only a control-point file that changed between the passes gets here;
    // the consistency check reports it at the end of the run.
    size_t grown = capacity_ < 1024u ? 1024u : static_cast<size_t>(capacity_) * 2u;
    if (grown > static_cast<size_t>(max_control_points)) grown = static_cast<size_t>(max_control_points);
    void* moved = grown > capacity_ ? std::realloc(differences_, sizeof(float) * grown) : nullptr;
    if (moved == nullptr) {
      std::fprintf(stderr, "ERROR: cannot alloc elevation difference array with %u values.\n",
                   static_cast<unsigned>(grown));
      return false;
    }
    differences_ = static_cast<float*>(moved);
    capacity_ = static_cast<unsigned>(grown);
  }
  const double d = difference;
  sum_ += d;
  sum_abs_ += std::fabs(d);
  sum_squares_ += difference * difference;
  differences_[used_++] = difference;
  return true;
}

void ElevationReport::print_summary() const {
  if (not_covered_ > 0) {
    std::fprintf(stderr, "WARNING: there were %d control points without sufficient LIDAR coverage.\n", not_covered_);
  }
  if (ignored_ > 0) {
    std::fprintf(stderr, "WARNING: there were %d ignored control points with diff above %g or below %g.\n", ignored_,
                 ignore_above_, ignore_below_);
  }
  std::fprintf(stderr, "sampled TIN at %d of %d control points.\n", used_, total_);
}

void ElevationReport::print_statistics(bool quiet, const char* unit_word) const {
  if (used_ == 0 || quiet) return;
  const int n = used_;
  if (n == 1) {
    std::fprintf(stderr, "avgabs/rms/avg of elevation error is %g/%g/%g %s.\n", sum_abs_, std::sqrt(sum_squares_), sum_,
                 unit_word);
    return;
  }
  const double avg = sum_ / n;
  double s2 = 0.0;
  double s3 = 0.0;
  for (int i = 0; i < n; ++i) {
    const double e = static_cast<double>(differences_[i]) - avg;
    s2 += e * e;
    s3 += e * e * e;
  }
  const double stddev = std::sqrt((1.0 / (n - 1)) * s2);
  // Equal differences have no spread, and so no defined skew: print 0 rather
  // than the NaN of 0 / 0.
  const double skew = stddev > 0.0 ? s3 / ((n - 1) * stddev * stddev * stddev) : 0.0;
  const double avgabs = sum_abs_ / n;
  const double rms = std::sqrt(sum_squares_ / n);
  std::fprintf(stderr, "avgabs/rms/stddev/avg of elevation errors are %g/%g/%g/%g %s. skew is %g.\n", avgabs, rms,
               stddev, avg, unit_word, skew);
}

bool ElevationReport::check_consistency() const {
  const long long counted = static_cast<long long>(not_covered_) + ignored_ + used_;
  if (counted != total_) {
    std::fprintf(stderr, "ERROR: different number control points %d != %d\n", used_, total_);
    return false;
  }
  return true;
}
