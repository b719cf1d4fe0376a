// Point location in a finished TIN: the walk, the hull walk, the exhaustive
// search and the segment tests, with their failure messages.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <utility>
#include <vector>

#include "tin/check_delaunay.h"
#include "tin/exact_arith.h"
#include "tin/tin.h"
#include "tin/tin_points.h"

namespace {

// Whether triangle t holds (x, y): inside or on a finite triangle, strictly
// inside an infinite triangle's half-plane or on its hull edge.
bool holds(const TINtriangle* t, float x, float y) {
  const float* a = t->V[1];
  const float* b = t->V[2];
  if (t->V[0] == nullptr) {
    int side = exact::orient_sign(a[0], a[1], b[0], b[1], x, y);
    if (side > 0) return true;
    if (side < 0) return false;
    float lo_x = std::min(a[0], b[0]), hi_x = std::max(a[0], b[0]);
    float lo_y = std::min(a[1], b[1]), hi_y = std::max(a[1], b[1]);
    return lo_x <= x && x <= hi_x && lo_y <= y && y <= hi_y;
  }
  const float* c = t->V[0];
  return exact::orient_sign(x, y, a[0], a[1], b[0], b[1]) >= 0 &&
         exact::orient_sign(x, y, b[0], b[1], c[0], c[1]) >= 0 &&
         exact::orient_sign(x, y, c[0], c[1], a[0], a[1]) >= 0;
}

bool has_corner(const TINtriangle* t, float x, float y) {
  for (const float* v : t->V) {
    if (v != nullptr && v[0] == x && v[1] == y) return true;
  }
  return false;
}

std::vector<TINtriangle*> triangles_in_use() {
  std::vector<TINtriangle*> all;
  for (int i = 0; i < tin_high_water(); i++) {
    if (tin_triangles()[i].next == tin_in_use) all.push_back(tin_triangles() + i);
  }
  return all;
}

TEST(TinLocate, FindsTheTriangleHoldingAnyPoint) {
  Points points = uniform_points(20000, 101);
  ASSERT_TRUE(build_tin(points));
  std::vector<TINtriangle*> all = triangles_in_use();
  std::set<std::pair<float, float>> vertices;
  for (const Point3& p : points) vertices.insert({p[0], p[1]});
  std::mt19937 rng(102);
  for (int i = 0; i < 2000; i++) {
    // Inside the hull, outside it, on vertices and on edge midpoints.
    float x, y;
    switch (i % 4) {
      case 0:
        x = std::ldexp(static_cast<float>(rng() & 0xFFFFF), -10);
        y = std::ldexp(static_cast<float>(rng() & 0xFFFFF), -10);
        break;
      case 1:
        x = static_cast<float>(static_cast<int>(rng() % 6000) - 2500);
        y = static_cast<float>(static_cast<int>(rng() % 6000) - 2500);
        break;
      case 2: {
        const Point3& p = points[rng() % points.size()];
        x = p[0];
        y = p[1];
        break;
      }
      default: {
        const TINtriangle* t = all[rng() % all.size()];
        if (t->V[0] == nullptr) continue;
        x = (t->V[0][0] + t->V[1][0]) / 2;
        y = (t->V[0][1] + t->V[1][1]) / 2;
        break;
      }
    }
    TINtriangle* start = (i % 3 == 0) ? nullptr : all[rng() % all.size()];
    TINtriangle* found = tin_locate(x, y, start);
    TINtriangle* brute = brute_locate(x, y, false);
    bool vertex = vertices.count({x, y}) != 0;
    SCOPED_TRACE(testing::Message() << "query " << i << " at " << x << ", " << y);
    if (vertex) {
      EXPECT_EQ(found, nullptr);
      EXPECT_EQ(brute, nullptr);
      TINtriangle* corner = brute_locate(x, y, true);
      ASSERT_NE(corner, nullptr);
      EXPECT_TRUE(has_corner(corner, x, y));
    } else {
      ASSERT_NE(found, nullptr);
      ASSERT_NE(brute, nullptr);
      EXPECT_TRUE(holds(found, x, y));
      EXPECT_TRUE(holds(brute, x, y));
    }
  }
}

// A square with collinear points on every side, so that points on the
// sides' lines but beyond the square need the walk along the hull.
Points square_with_sides() {
  Points points;
  for (int i = 0; i <= 8; i++) {
    float s = static_cast<float>(i);
    points.push_back({s, 0, 0});
    points.push_back({8, s, 0});
    points.push_back({8 - s, 8, 0});
    points.push_back({0, 8 - s, 0});
  }
  points.push_back({3.5f, 4.25f, 0});
  points.push_back({5.25f, 2.5f, 0});
  return points;
}

TEST(TinLocate, PointsOnHullLinesBeyondTheHull) {
  Points points = square_with_sides();
  ASSERT_TRUE(build_tin(points));
  ASSERT_TRUE(check_delaunay(refs(points)));
  struct Case {
    const char* name;
    float x, y;
  };
  const Case cases[] = {
      {"bottom line, right", 12, 0},   {"bottom line, left", -3, 0},
      {"right line, above", 8, 11},    {"right line, below", 8, -0.5f},
      {"top line, left", -20, 8},      {"left line, below", 0, -9},
      {"on bottom side", 2.5f, 0},     {"on left side", 0, 6.75f},
  };
  std::vector<TINtriangle*> all = triangles_in_use();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // From every triangle, so that walks enter the hull edges from all sides.
    for (TINtriangle* start : all) {
      TINtriangle* found = tin_locate(c.x, c.y, start);
      ASSERT_NE(found, nullptr);
      EXPECT_TRUE(holds(found, c.x, c.y));
    }
  }
  // Hull vertices themselves are never located.
  for (TINtriangle* start : all) EXPECT_EQ(tin_locate(8, 3, start), nullptr);
}

TEST(TinLocate, LongWalksFallBackToTheExhaustiveSearch) {
  // A strip two points wide: crossing it end to end takes more than the
  // 10,000 steps a walk may make.
  Points strip;
  for (int i = 0; i < 12000; i++) {
    strip.push_back({static_cast<float>(i), 0, 0});
    strip.push_back({static_cast<float>(i) + 0.5f, 1, 0});
  }
  ASSERT_TRUE(build_tin(strip));
  TINtriangle* start = brute_locate(0.25f, 0.25f, false);
  ASSERT_NE(start, nullptr);
  ASSERT_NE(start->V[0], nullptr);
  TINtriangle* far = tin_locate(11990.25f, 0.5f, start);
  ASSERT_NE(far, nullptr);
  EXPECT_TRUE(holds(far, 11990.25f, 0.5f));
}

TEST(TinSegment, PositionOfCollinearPoints) {
  struct Case {
    const char* name;
    float a[2], b[2], p[2];
    int insegment;
  };
  const Case cases[] = {
      {"before a", {1, 1}, {3, 3}, {0, 0}, 0},
      {"at a", {1, 1}, {3, 3}, {1, 1}, 1},
      {"at b", {1, 1}, {3, 3}, {3, 3}, 2},
      {"between", {1, 1}, {3, 3}, {2, 2}, 3},
      {"beyond b", {1, 1}, {3, 3}, {4, 4}, 0},
      {"reversed, between", {3, 3}, {1, 1}, {2.5f, 2.5f}, 3},
      {"reversed, beyond", {3, 3}, {1, 1}, {0.5f, 0.5f}, 0},
      {"vertical, between by y", {2, 5}, {2, -5}, {2, 0}, 3},
      {"vertical, at b", {2, 5}, {2, -5}, {2, -5}, 2},
      {"vertical, outside", {2, 5}, {2, -5}, {2, 6}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TINinsegment(c.a, c.b, c.p), c.insegment);
    EXPECT_EQ(TINonsegment(c.a, c.b, c.p), c.insegment != 0);
  }
}

TEST(TinLocateDeathTest, FailuresEndTheRun) {
  const float a[2] = {1, 2};
  const float same[2] = {1, 2};
  const float p[2] = {1, 2};
  EXPECT_EXIT(TINinsegment(a, same, p), ::testing::ExitedWithCode(1),
              "^ERROR: identical endpoints in TINinsegment\\(\\) test.\n$");
  EXPECT_EXIT(TINonsegment(a, same, p), ::testing::ExitedWithCode(1),
              "^ERROR: identical endpoints in TINonsegment\\(\\) test.\n$");
  // No triangle at all: nothing can hold the point.
  EXPECT_EXIT(
      {
        if (tin_init(10)) brute_locate(0, 0, false);
      },
      ::testing::ExitedWithCode(1), "^ERROR: fail to brute_locate a point.\n$");
}

TEST(TinLocateDeathTest, DegenerateHullEdgeEndsTheRun) {
  // A damaged TIN whose second hull edge has coincident ends: the hull walk
  // must stop with its message rather than loop.
  Points triangle = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}};
  static float copy[3];
  EXPECT_EXIT(
      {
        if (!build_tin(triangle)) return;
        // Triangle 3 is (inf, V1, V0) of triangle 0, the edge from (4, 0) to
        // (0, 0); triangle 1 is (inf, (0, 4), (4, 0)).
        TINtriangle* pool = tin_triangles();
        copy[0] = pool[3].V[1][0];
        copy[1] = pool[3].V[1][1];
        pool[3].V[2] = copy;
        // (8, -4) lies on the line of triangle 1's edge, beyond (4, 0).
        tin_locate(8, -4, pool + 1);
      },
      ::testing::ExitedWithCode(1), "^ERROR: degenerate finite edge of infinite triangle.\n$");
}

}  // namespace
