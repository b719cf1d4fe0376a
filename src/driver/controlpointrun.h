// The control-point QA run from the control-point file to the error
// statistics: control points mark grid A, nearby LiDAR points are kept and
// mark grid B, the kept points are triangulated, and the TIN is sampled at
// every covered control point.
#ifndef TIECHECK_DRIVER_CONTROLPOINTRUN_H
#define TIECHECK_DRIVER_CONTROLPOINTRUN_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "driver/elevationreport.h"
#include "driver/pointsource.h"
#include "driver/runsettings.h"

class LASraster;

// One run over one point source. The steps are called in the order they are
// declared (run() does that); each answers go_on, or the exit code the run
// ends with after its message was printed. The source is borrowed; the run
// closes it after reading its points.
class ControlPointRun {
 public:
  static constexpr int go_on = -1;
  // point_buffer starts with room for at most this many points and grows by
  // as many when full.
  static constexpr uint32_t point_buffer_growth = 1000000;
  // Most points the run keeps: the TIN needs two triangles a point, counted
  // in a signed 32-bit int.
  static constexpr uint32_t max_kept_points = 0x3FFFFFFF;

  // output_directory: where "-cp_out" names are put (null: none).
  ControlPointRun(const RunSettings& settings, PointSource* source, const char* output_directory = nullptr);
  ControlPointRun(const ControlPointRun&) = delete;
  ControlPointRun& operator=(const ControlPointRun&) = delete;
  ~ControlPointRun();

  // All steps below in order; the exit code.
  int run();

  // Takes the source header's minimum x and y as the origin of every
  // relative coordinate and cell index, and triples the step when the
  // source's unit is not the metre. Verbose: which distance is collected.
  void take_origin();

  // Reads the control points, fixes the output separator and marks the nine
  // cells around each in grid A. Ends when the file cannot be opened or holds
  // no control point.
  int read_control_points();

  // Reads every point of the source and keeps those in marked cells of grid
  // A in point_buffer, marking their cells in grid B. Closes the source and
  // discards grid A.
  int collect_points();

  // With no point kept: the no-coverage end (every control point is written
  // as not covered; exit code 0, ended_without_coverage()). Otherwise shrinks
  // point_buffer to the kept points and triangulates them.
  int build_tin();

  // Samples the TIN at every control point, writes the control-point output,
  // discards grid B, frees point_buffer and prints the summary and the
  // statistics.
  int sample_control_points();

  // With "-adjust_z" and at least one used control point: adjust_z_pass.
  int adjust_z();

  // Frees the differences; ends with exit code 1 when the counts of the two
  // control-point passes disagree.
  int check_consistency();

  // The z adjustment of the inputs by the average error; answers go_on or an
  // exit code. Unset: nothing is adjusted.
  std::function<int(const ControlPointRun& run)> adjust_z_pass;

  // Whether the end with this exit code waits for ENTER: never after the
  // no-coverage end, after an error only in console mode, else with "-wait"
  // or in console mode.
  bool waits_at_end(int exit_code) const;
  bool ended_without_coverage() const { return ended_without_coverage_; }

  // The settings in effect: step tripled for feet, separator detected.
  const RunSettings& settings() const { return settings_; }
  bool in_feet() const { return in_feet_; }
  double origin_x() const { return origin_x_; }
  double origin_y() const { return origin_y_; }
  int control_point_total() const { return total_; }
  // Kept points, three floats each (x, y relative to the origin, z).
  uint32_t kept_points() const { return kept_; }
  const float* point_buffer() const { return point_buffer_; }
  const ElevationReport* report() const { return report_.get(); }

 private:
  [[nodiscard]] bool keep_point(float x, float y, float z);
  int end_without_coverage();
  void free_point_buffer();

  RunSettings settings_;
  PointSource* source_;
  std::string output_directory_;
  bool have_output_directory_;

  double origin_x_ = 0.0;
  double origin_y_ = 0.0;
  bool in_feet_ = false;
  int total_ = 0;

  std::unique_ptr<LASraster> grid_a_;
  std::unique_ptr<LASraster> grid_b_;
  float* point_buffer_ = nullptr;
  uint32_t kept_ = 0;
  uint32_t capacity_ = 0;

  std::unique_ptr<ElevationReport> report_;
  bool ended_without_coverage_ = false;
};

#endif
