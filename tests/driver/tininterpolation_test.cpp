#include <gtest/gtest.h>

#include <cmath>

#include "driver/tininterpolation.h"

namespace {

// z = 0.5 x + 0.25 y + 10: every value below is exact in float.
float plane(float x, float y) { return 0.5f * x + 0.25f * y + 10.0f; }

struct Corner {
  float p[3];
};

Corner on_plane(float x, float y) { return Corner{{x, y, plane(x, y)}}; }

TINtriangle finite_triangle(const Corner& a, const Corner& b, const Corner& c) {
  TINtriangle t{};
  t.V[0] = a.p;
  t.V[1] = b.p;
  t.V[2] = c.p;
  return t;
}

TEST(InterpolateFiniteTriangle, PlaneIsReproducedExactly) {
  struct Case {
    const char* name;
    Corner a, b, c;
    float px, py;
  };
  const Case cases[] = {
      {"apex is corner 0", on_plane(0, 0), on_plane(4, 4), on_plane(8, -4), 2, 1},
      {"apex is corner 1", on_plane(4, 4), on_plane(0, 0), on_plane(8, -4), 2, 0.5},
      {"apex is corner 2", on_plane(8, -4), on_plane(4, 4), on_plane(0, 0), 6, 0},
      {"right of the middle corner: the far corner is apex", on_plane(0, 0), on_plane(4, 4), on_plane(8, -4), 6, -1},
      {"two corners of equal x: the third is apex", on_plane(0, 0), on_plane(0, 8), on_plane(8, 4), 4, 4},
      {"two corners of equal x, apex on the left", on_plane(8, 0), on_plane(-8, 4), on_plane(8, 8), 0, 4},
      {"on the vertical edge", on_plane(0, 0), on_plane(0, 8), on_plane(8, 4), 0, 2},
      {"on a corner", on_plane(0, 0), on_plane(4, 4), on_plane(8, -4), 4, 4},
      {"on an edge", on_plane(0, 0), on_plane(4, 4), on_plane(8, -4), 4, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TINtriangle t = finite_triangle(c.a, c.b, c.c);
    float z = -1.0f;
    ASSERT_TRUE(interpolate_finite_triangle(t, c.px, c.py, &z));
    EXPECT_EQ(z, plane(c.px, c.py));
  }
}

// At the apex's x the two edge cuts meet in the apex: its elevation, not the
// NaN of 0 / 0.
TEST(InterpolateFiniteTriangle, ApexXGivesApexElevation) {
  Corner apex{{0, 0, 1}};
  Corner b{{2, 4, 3}};
  Corner c{{4, 0, 5}};
  TINtriangle t = finite_triangle(apex, b, c);
  float z = 0.0f;
  ASSERT_TRUE(interpolate_finite_triangle(t, 0.0f, 1.0f, &z));
  EXPECT_EQ(z, 1.0f);
}

TEST(InterpolateFiniteTriangle, OutsideTheXIntervalFails) {
  Corner a = on_plane(0, 0);
  Corner b = on_plane(2, 4);
  Corner c = on_plane(4, 0);
  TINtriangle t = finite_triangle(a, b, c);
  float z = 0.0f;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(interpolate_finite_triangle(t, 5.0f, 1.0f, &z));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: x coordinate 5 not contained in x interval of two edges\n");
}

TEST(InterpolateInfiniteTriangle, InverseDistanceOfTheHullEdge) {
  float a[3] = {0, 0, 1};
  float b[3] = {4, 0, 3};
  TINtriangle t{};
  t.V[1] = a;
  t.V[2] = b;
  // dA = 3, dB = 5: (3 * 3 + 5 * 1) / 8
  EXPECT_EQ(interpolate_infinite_triangle(t, 0.0f, 3.0f), 1.75f);
  // dA = 5, dB = 3: the nearer corner weighs more
  EXPECT_EQ(interpolate_infinite_triangle(t, 4.0f, -3.0f), (5.0f * 3 + 3.0f * 1) / 8);
  // Squares beyond single precision: the mean is still finite, near the
  // middle of the two elevations.
  float far = interpolate_infinite_triangle(t, 0.0f, 3e19f);
  EXPECT_TRUE(std::isfinite(far));
  EXPECT_NEAR(far, 2.0f, 1e-6);
}

}  // namespace
