#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "driver/gridcell.h"
#include "driver/lasraster.h"
#include "driver/tinsampler.h"
#include "tin/tin.h"

namespace {

// A 5 by 5 unit grid of points at x = base + 0..4, y = 0..4 on the plane
// z = 0.5 (x - base) + 0.25 y + 100, triangulated; grid B marks every cell
// of step 5 around the control points used below.
class TINsamplerTest : public testing::Test {
 protected:
  void build(double base) {
    base_ = base;
    points_.clear();
    for (int y = 0; y <= 4; ++y) {
      for (int x = 0; x <= 4; ++x) {
        points_.push_back(static_cast<float>(base + x));
        points_.push_back(static_cast<float>(y));
        points_.push_back(static_cast<float>(plane(x, y)));
      }
    }
    ASSERT_TRUE(tin_init(25));
    for (size_t i = 0; i < points_.size(); i += 3) tin_add(&points_[i]);
    ASSERT_TRUE(tin_finish());
    grid_ = std::make_unique<LASraster>();
    ASSERT_TRUE(grid_->set_cell_type("occupancy"));
    mark_around(base + 2, 2);
  }

  void mark_around(double x, double y) {
    GridCell cells[9];
    neighbourhood(control_point_cell(x, y, 0.0, 0.0, step_), cells);
    for (const GridCell& cell : cells) ASSERT_TRUE(grid_->add(cell.col, cell.row));
  }

  static double plane(double x, double y) { return 0.5 * x + 0.25 * y + 100.0; }

  const float step_ = 5.0f;
  double base_ = 0.0;
  std::vector<float> points_;
  std::unique_ptr<LASraster> grid_;
};

// On a vertex the control point moves right by the smallest multiple
// m = 1, 1.5, 2.25, ... of the scale factor that changes its float x.
TEST_F(TINsamplerTest, VertexRetryMovesByTheFloatSpacing) {
  struct Case {
    const char* name;
    double base;
    double scale;
    double moved_by;  // expected move of x
  };
  const Case cases[] = {
      {"one scale factor where float spacing allows", 0.0, 0.25, 0.25},
      // float spacing 0.125 above 2^20: moves of 0.01 up to 0.050625 round
      // back to x, 0.0759375 (m = 1.5^5) rounds up to the next float
      {"float spacing coarser than the scale factor", 1048576.0, 0.01, 0.125},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    build(c.base);
    TINsampler sampler(grid_.get(), 0.0, 0.0, c.scale, step_, false);
    ControlPoint cp;
    cp.x = c.base + 2;
    cp.y = 2;
    cp.z = 100;
    float lidar_z = 0.0f;
    float difference = 0.0f;
    ASSERT_EQ(sampler.sample(cp, &lidar_z, &difference), TINsampler::Result::sampled);
    EXPECT_EQ(lidar_z, static_cast<float>(plane(2 + c.moved_by, 2)));
    EXPECT_EQ(difference, static_cast<float>(plane(2 + c.moved_by, 2) - 100));
  }
}

// A scale factor of 0 cannot move the point off the vertex: it is reported
// as not covered instead of retrying forever; so is a control point too far
// from the origin for single precision.
TEST_F(TINsamplerTest, UnplaceableControlPointsAreNotCovered) {
  build(0.0);
  float lidar_z = 0.0f;
  float difference = 0.0f;
  ControlPoint on_vertex;
  on_vertex.x = 2;
  on_vertex.y = 2;
  TINsampler zero_scale(grid_.get(), 0.0, 0.0, 0.0, step_, false);
  EXPECT_EQ(zero_scale.sample(on_vertex, &lidar_z, &difference), TINsampler::Result::not_covered);

  ControlPoint far;
  far.x = 1e300;
  far.y = 2;
  mark_around(far.x, far.y);
  TINsampler sampler(grid_.get(), 0.0, 0.0, 0.01, step_, false);
  EXPECT_EQ(sampler.count_covered_cells(far), 9);
  EXPECT_EQ(sampler.sample(far, &lidar_z, &difference), TINsampler::Result::not_covered);
}

}  // namespace
