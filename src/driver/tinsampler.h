// Sampling of the kept LiDAR points' TIN at control points.
#ifndef TIECHECK_DRIVER_TINSAMPLER_H
#define TIECHECK_DRIVER_TINSAMPLER_H

#include "driver/controlpoint.h"
#include "tin/tin.h"

class LASraster;

// Decides whether a control point has enough LiDAR points around it, finds
// the TIN triangle under it and interpolates the LiDAR elevation there.
// Works on the current TIN of the tin module (after tin_finish) and on the
// occupancy grid of the cells that hold kept points.
class TINsampler {
 public:
  // Fewer marked cells than this in the 3 by 3 neighbourhood: not covered.
  static constexpr int min_covered_cells = 5;

  enum class Result { not_covered, sampled, failed };

  // origin_x, origin_y: the run's origin; x_scale_factor: the input's, the
  // smallest move of a control point off a TIN vertex; step: the cell size in
  // effect. Prints the infinite-triangle warning when verbose.
  TINsampler(LASraster* occupied, double origin_x, double origin_y, double x_scale_factor, float step, bool verbose);

  // Number of the nine cells around the control point's cell that hold kept
  // points.
  int count_covered_cells(const ControlPoint& cp);

  // Samples the TIN at cp. sampled: *lidar_z is the TIN elevation and
  // *difference = lidar_z - cp.z, both rounded to float. not_covered: fewer
  // than min_covered_cells marked, or cp too far from the origin to be placed
  // in single precision. failed: the x-interval error was printed and the
  // run ends.
  //
  // A control point on a TIN vertex is moved right by at least one x scale
  // factor (more where float spacing is coarser) until it is not. The
  // triangle found is the start of the next search.
  [[nodiscard]] Result sample(const ControlPoint& cp, float* lidar_z, float* difference);

 private:
  // The triangle under (*px, py), moving *px off vertices; null when *px
  // cannot be moved to a finite value (a zero or non-finite scale factor).
  TINtriangle* locate(float* px, float py);

  LASraster* occupied_;
  double origin_x_;
  double origin_y_;
  double x_scale_factor_;
  float step_;
  bool verbose_;
  TINtriangle* hint_ = nullptr;
};

#endif
