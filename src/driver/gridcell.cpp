#include "driver/gridcell.h"

#include <cmath>

uint32_t cell_index(double floored) {
  if (!(floored >= -2147483648.0)) return 0x80000000u;  // also NaN
  if (floored > 2147483647.0) return 0x7FFFFFFFu;
  return static_cast<uint32_t>(static_cast<int32_t>(floored));
}

GridCell control_point_cell(double x, double y, double origin_x, double origin_y, float step) {
  const double cell_size = step;
  GridCell cell;
  cell.col = cell_index(std::floor((x - origin_x) / cell_size));
  cell.row = cell_index(std::floor((y - origin_y) / cell_size));
  return cell;
}

namespace {

// cell_index(floor(q)) without a call into the maths library: this runs for
// every LiDAR point of the first pass. Inside the signed 32-bit range the
// truncation toward zero is stepped down for negative fractions; everything
// else (also NaN) takes the general path.
uint32_t floor_index(float q) {
  if (q >= -2147483648.0f && q < 2147483648.0f) {
    int64_t i = static_cast<int64_t>(q);
    if (static_cast<float>(i) > q) --i;  // stays at or above -2^31
    return static_cast<uint32_t>(static_cast<int32_t>(i));
  }
  return cell_index(std::floor(static_cast<double>(q)));
}

}  // namespace

GridCell lidar_point_cell(float x, float y, float step) {
  GridCell cell;
  cell.col = floor_index(x / step);
  cell.row = floor_index(y / step);
  return cell;
}

void neighbourhood(GridCell centre, GridCell cells[9]) {
  // Offsets -1, 0, 1 as unsigned additions, which wrap like the grid's indices.
  static const uint32_t offsets[3] = {0xFFFFFFFFu, 0u, 1u};
  int i = 0;
  for (uint32_t dj : offsets) {
    for (uint32_t di : offsets) {
      cells[i].col = centre.col + di;
      cells[i].row = centre.row + dj;
      ++i;
    }
  }
}
