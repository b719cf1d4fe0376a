#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "driver/gridcell.h"

namespace {

TEST(CellIndex, SaturatesOutsideTheSignedRange) {
  struct Case {
    const char* name;
    double floored;
    uint32_t index;
  };
  const Case cases[] = {
      {"zero", 0.0, 0u},
      {"negative as two's complement", -1.0, 0xFFFFFFFFu},
      {"largest", 2147483647.0, 0x7FFFFFFFu},
      {"smallest", -2147483648.0, 0x80000000u},
      {"too large", 1e300, 0x7FFFFFFFu},
      {"too small", -1e300, 0x80000000u},
      {"infinity", std::numeric_limits<double>::infinity(), 0x7FFFFFFFu},
      {"NaN", std::nan(""), 0x80000000u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(cell_index(c.floored), c.index);
  }
}

// Control points are placed in double precision, LiDAR points in single:
// 10 / 0.1f is 99.99999985 in double but rounds to 100 in float, and
// 0.5 / 0.1f is 4.99999993 in double but 5 in float.
TEST(GridCell, ControlPointsInDoubleLidarPointsInSingle) {
  GridCell cp = control_point_cell(1010.0, 2000.5, 1000.0, 2000.0, 0.1f);
  EXPECT_EQ(cp.col, 99u);
  EXPECT_EQ(cp.row, 4u);
  GridCell lidar = lidar_point_cell(10.0f, 0.5f, 0.1f);
  EXPECT_EQ(lidar.col, 100u);
  EXPECT_EQ(lidar.row, 5u);
  GridCell below = control_point_cell(999.9, 1999.0, 1000.0, 2000.0, 5.0f);
  EXPECT_EQ(below.col, 0xFFFFFFFFu);
  EXPECT_EQ(below.row, 0xFFFFFFFFu);
}

// The LiDAR cell is floor(x / step) in single precision for every value,
// also at the edges of the index range and for values that are no number.
TEST(GridCell, LidarCellIsTheFloorOfTheQuotient) {
  const float inf = std::numeric_limits<float>::infinity();
  const float values[] = {0.0f,          -0.0f,        0.25f,        -0.25f,      4.999999f,   -4.999999f,
                          5.0f,          -5.0f,        1e-30f,       -1e-30f,     8388607.5f,  -8388607.5f,
                          1e9f,          -1e9f,        2147483520.0f, -2147483648.0f, 2147483648.0f, -2147483904.0f,
                          1e30f,         -1e30f,       inf,          -inf,        std::nanf("")};
  for (float x : values) {
    for (float step : {1.0f, 0.1f, 5.0f, 15.0f}) {
      SCOPED_TRACE(testing::Message() << x << " / " << step);
      const GridCell cell = lidar_point_cell(x, -x, step);
      EXPECT_EQ(cell.col, cell_index(std::floor(static_cast<double>(x / step))));
      EXPECT_EQ(cell.row, cell_index(std::floor(static_cast<double>(-x / step))));
    }
  }
}

TEST(GridCell, NeighbourhoodRowByRow) {
  GridCell cells[9];
  neighbourhood(GridCell{0u, 7u}, cells);
  const uint32_t cols[9] = {0xFFFFFFFFu, 0u, 1u, 0xFFFFFFFFu, 0u, 1u, 0xFFFFFFFFu, 0u, 1u};
  const uint32_t rows[9] = {6u, 6u, 6u, 7u, 7u, 7u, 8u, 8u, 8u};
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(cells[i].col, cols[i]) << i;
    EXPECT_EQ(cells[i].row, rows[i]) << i;
  }
}

}  // namespace
