#include "driver/tinsampler.h"

#include <cmath>
#include <cstdio>

#include "driver/gridcell.h"
#include "driver/lasraster.h"
#include "driver/tininterpolation.h"

TINsampler::TINsampler(LASraster* occupied, double origin_x, double origin_y, double x_scale_factor, float step,
                       bool verbose)
    : occupied_(occupied),
      origin_x_(origin_x),
      origin_y_(origin_y),
      x_scale_factor_(x_scale_factor),
      step_(step),
      verbose_(verbose) {}

int TINsampler::count_covered_cells(const ControlPoint& cp) {
  GridCell cells[9];
  neighbourhood(control_point_cell(cp.x, cp.y, origin_x_, origin_y_, step_), cells);
  int covered = 0;
  for (const GridCell& cell : cells) {
    if (occupied_->read(cell.col, cell.row)) ++covered;
  }
  return covered;
}

TINtriangle* TINsampler::locate(float* px, float py) {
  TINtriangle* triangle = tin_locate(*px, py, hint_);
  while (triangle == nullptr) {
    // On a vertex: step right by growing multiples of the scale factor until
    // the float sum differs. m overflows to infinity within a few hundred
    // steps, so the loop ends even for a zero scale factor (with NaN).
    float m = 1.0f;
    float moved;
    do {
      moved = static_cast<float>(static_cast<double>(m) * x_scale_factor_) + *px;
      m *= 1.5f;
    } while (moved == *px);
    if (!std::isfinite(moved)) return nullptr;
    *px = moved;
    triangle = tin_locate(*px, py, nullptr);
  }
  return triangle;
}

TINsampler::Result TINsampler::sample(const ControlPoint& cp, float* lidar_z, float* difference) {
  if (count_covered_cells(cp) < min_covered_cells) return Result::not_covered;
  float px = static_cast<float>(cp.x - origin_x_);
  const float py = static_cast<float>(cp.y - origin_y_);
  if (!std::isfinite(px) || !std::isfinite(py)) return Result::not_covered;
  TINtriangle* triangle = locate(&px, py);
  if (triangle == nullptr) return Result::not_covered;
  hint_ = triangle;
  float z;
  if (triangle->V[0] == nullptr) {
    z = interpolate_infinite_triangle(*triangle, px, py);
    if (verbose_) std::fprintf(stderr, "WARNING: sampling infinite TIN triangle suggests insufficient LIDAR coverage.\n");
  } else if (!interpolate_finite_triangle(*triangle, px, py, &z)) {
    return Result::failed;
  }
  *lidar_z = z;
  *difference = static_cast<float>(static_cast<double>(z) - cp.z);
  return Result::sampled;
}
