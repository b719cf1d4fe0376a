// Cells of the run's occupancy grids: the step-sized squares, counted from
// the run's origin, that control points and LiDAR points fall into.
#ifndef TIECHECK_DRIVER_GRIDCELL_H
#define TIECHECK_DRIVER_GRIDCELL_H

#include <cstdint>

// Column and row as the grids take them: a negative index is passed as its
// two's-complement value.
struct GridCell {
  uint32_t col = 0;
  uint32_t row = 0;
};

// The grid index of an already floored value. Values outside the signed
// 32-bit range saturate to its ends and NaN maps to its lowest value, so that
// absurd coordinates still address some cell instead of overflowing.
uint32_t cell_index(double floored);

// The cell of a control point: floor((x - origin) / step) in double precision
// with the step widened to double.
GridCell control_point_cell(double x, double y, double origin_x, double origin_y, float step);

// The cell of a LiDAR point whose x and y are already relative to the origin:
// floor(x / step) in single precision.
GridCell lidar_point_cell(float x, float y, float step);

// The 3 by 3 neighbourhood of a cell, row by row from row - 1 to row + 1 and
// within a row from col - 1 to col + 1 (indices wrap around like the grid's).
void neighbourhood(GridCell centre, GridCell cells[9]);

#endif
