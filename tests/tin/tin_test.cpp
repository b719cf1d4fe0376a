// Construction of the TIN: Delaunay property on random, scan-line and
// degenerate point sets, the delay buffer, the pool and the failure paths.
#include "tin/tin.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "tin/check_delaunay.h"
#include "tin/tin_points.h"

namespace {

TEST(TinBuild, RandomAndScanLineSetsAreDelaunay) {
  struct Case {
    const char* name;
    Points points;
    bool global_check;
  };
  Case cases[] = {
      {"3 uniform", uniform_points(3, 1), true},
      {"4 uniform", uniform_points(4, 2), true},
      {"50 uniform", uniform_points(50, 3), true},
      {"1000 uniform", uniform_points(1000, 4), true},
      // Buffer boundaries: points still waiting, exactly full, one beyond.
      {"9999 uniform", uniform_points(9999, 5), true},
      {"10003 uniform", uniform_points(10003, 6), true},
      {"10004 uniform", uniform_points(10004, 7), true},
      {"30000 uniform", uniform_points(30000, 8), true},
      {"100000 uniform", uniform_points(100000, 9), false},
      {"20000 scan lines", scanline_points(20000, 10), true},
      {"100000 scan lines", scanline_points(100000, 11, 2000), false},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(build_tin(c.points));
    DelaunayOptions options;
    options.global_check = c.global_check;
    EXPECT_TRUE(check_delaunay(refs(c.points), options));
  }
}

TEST(TinBuild, DegenerateSetsGiveNoTin) {
  struct Case {
    const char* name;
    Points points;
  };
  Points collinear;
  for (int i = 0; i < 9999; i++) collinear.push_back({i * 0.25f, i * 0.5f + 3.0f, 0.0f});
  Points identical(500, Point3{7.0f, 7.0f, 1.0f});
  Case cases[] = {
      {"no point", {}},
      {"one point", {{1, 2, 3}}},
      {"two points", {{1, 2, 3}, {4, 5, 6}}},
      {"9999 collinear points", collinear},
      {"500 identical points", identical},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(build_tin(c.points));
  }
}

TEST(TinBuildDeathTest, TenThousandCollinearPointsEndTheRun) {
  Points collinear;
  for (int i = 0; i < 10000; i++) collinear.push_back({i * 1.0f, 5.0f, 0.0f});
  EXPECT_EXIT(build_tin(collinear), ::testing::ExitedWithCode(1),
              "^ERROR: cannot find triangle in first 10000 points.\n$");
}

// Regression: points moved by the caller after their insertion (against the
// contract) sent the cavity search around the new fan forever.
TEST(TinBuildDeathTest, MovedPointsEndTheRunInsteadOfLooping) {
  EXPECT_EXIT(
      {
        Points points = uniform_points(30000, 1);
        std::mt19937 rng(1);
        std::srand(1);
        if (!tin_init(30000)) return;
        for (size_t i = 0; i < points.size(); i++) {
          tin_add(points[i].data());
          if (i != 15000) continue;
          for (int k = 0; k < 200; k++) {
            Point3& p = points[rng() % 12000];
            p[0] = std::ldexp(static_cast<float>(rng() & 0xFFFFF), -10);
            p[1] = std::ldexp(static_cast<float>(rng() & 0xFFFFF), -10);
          }
        }
        if (tin_finish()) exit(0);
      },
      ::testing::ExitedWithCode(1), "^ERROR \\(TINclean\\): damaged triangulation at point ");
}

TEST(TinBuild, DegenerateConfigurationsStayDelaunay) {
  struct Case {
    const char* name;
    Points points;
  };
  // Collinear runs: only consecutive triples form the first triangle, so a
  // long run followed by one point off the line still triangulates them all.
  Points run_then_apex;
  for (int i = 0; i < 300; i++) run_then_apex.push_back({i * 1.0f, 0.0f, 0.0f});
  run_then_apex.push_back({150.0f, 40.0f, 0.0f});
  run_then_apex.push_back({150.0f, -40.0f, 0.0f});
  for (int i = 300; i < 400; i++) run_then_apex.push_back({i * 1.0f, 0.0f, 0.0f});

  // Duplicates in x and y with different z: only the distinct points count.
  Points duplicates = uniform_points(2000, 21);
  for (int i = 0; i < 2000; i += 3) {
    Point3 p = duplicates[static_cast<size_t>(i)];
    p[2] += 5.0f;
    duplicates.push_back(p);
  }
  shuffle_points(duplicates, 22);

  // A regular lattice: every square's four corners are cocircular.
  Points lattice_rows = lattice_points(120, 100);
  Points lattice_random = lattice_points(90, 90);
  shuffle_points(lattice_random, 23);

  // Points on the lines of hull edges, outside the edges' extent, and points
  // on hull edges themselves.
  Points hull_lines = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0},   {8, 0, 0},  {-4, 0, 0},
                       {0, 8, 0}, {0, -4, 0}, {-2, 6, 0}, {6, -2, 0}, {2, 0, 0},
                       {0, 2, 0}, {2, 2, 0},  {12, 0, 0}, {-8, 0, 0}, {10, -6, 0}};

  Points cocircular = {{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}};

  // Many points on one circle plus its centre: every triangle is tied.
  Points circle;
  const int pythagorean[][2] = {{65, 0}, {63, 16}, {60, 25}, {56, 33}, {52, 39},
                                {39, 52}, {33, 56}, {25, 60}, {16, 63}, {0, 65}};
  for (int s = 0; s < 4; s++) {
    for (const auto& xy : pythagorean) {
      float x = static_cast<float>(xy[0]), y = static_cast<float>(xy[1]);
      float rx = s == 0 ? x : s == 1 ? -y : s == 2 ? -x : y;
      float ry = s == 0 ? y : s == 1 ? x : s == 2 ? -y : -x;
      circle.push_back({rx, ry, 0});
    }
  }
  circle.push_back({0, 0, 0});

  // Dense clusters with long empty stretches between them, like points kept
  // only near control points.
  Points clusters;
  std::mt19937 rng(24);
  for (int c = 0; c < 40; c++) {
    float cx = static_cast<float>(rng() % 100000), cy = static_cast<float>(rng() % 100000);
    for (int i = 0; i < 400; i++) {
      clusters.push_back({cx + static_cast<float>(rng() % 4096) / 256.0f,
                          cy + static_cast<float>(rng() % 4096) / 256.0f, 0.0f});
    }
  }

  // Coordinates spread over many orders of magnitude, up to the float
  // limit: coordinate differences are inexact in double, so the exact stage
  // must carry their rounding errors.
  Points magnitudes;
  std::mt19937 wide(25);
  for (int i = 0; i < 400; i++) {
    auto coordinate = [&] {
      float v = std::ldexp(static_cast<float>(wide() % 2001) - 1000.0f,
                           static_cast<int>(wide() % 81) - 40);
      return v;
    };
    magnitudes.push_back({coordinate(), coordinate(), 0.0f});
  }
  magnitudes.push_back({3e38f, 3e38f, 0});
  magnitudes.push_back({-3e38f, 3e38f, 0});
  magnitudes.push_back({0, -3e38f, 0});

  // A lattice far from the origin, at the float spacing there: every
  // in-circle test of a lattice square is a tie the filter cannot decide.
  Points far_lattice;
  for (int j = 0; j < 60; j++) {
    for (int i = 0; i < 60; i++) {
      far_lattice.push_back({1048576.0f + 0.125f * i, 2097152.0f + 0.25f * j, 0.0f});
    }
  }
  shuffle_points(far_lattice, 26);

  Case cases[] = {
      {"wide range of magnitudes", magnitudes},
      {"lattice far from the origin", far_lattice},
      {"collinear run then apex", run_then_apex},
      {"duplicates in x and y", duplicates},
      {"lattice in rows", lattice_rows},
      {"lattice in random order", lattice_random},
      {"points on hull-edge lines", hull_lines},
      {"four cocircular points", cocircular},
      {"circle with centre", circle},
      {"clusters", clusters},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(build_tin(c.points));
    DelaunayOptions options;
    options.global_check = true;
    EXPECT_TRUE(check_delaunay(refs(c.points), options));
  }
}

TEST(TinBuild, FourCocircularPointsMakeSixTriangles) {
  Points cocircular = {{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}};
  ASSERT_TRUE(build_tin(cocircular));
  EXPECT_EQ(tin_triangles_in_use(), 6);
  // The fourth point counts as inside the first triangle's circle, so the
  // diagonal joins it to the corner it faces: (0, -1) to (0, 1).
  bool vertical_diagonal = false;
  TINtriangle* pool = tin_triangles();
  for (int i = 0; i < tin_high_water(); i++) {
    if (pool[i].next != tin_in_use || pool[i].V[0] == nullptr) continue;
    int on_axis = 0;
    for (const float* v : pool[i].V) on_axis += v[0] == 0.0f;
    if (on_axis == 2) vertical_diagonal = true;
  }
  EXPECT_TRUE(vertical_diagonal);
}

TEST(TinBuild, ThreePointsFormOneTriangleInEitherOrientation) {
  Points counterclockwise = {{0, 0, 1}, {2, 0, 2}, {0, 3, 3}};
  Points clockwise = {{0, 0, 1}, {0, 3, 3}, {2, 0, 2}};
  for (const Points* points : {&counterclockwise, &clockwise}) {
    ASSERT_TRUE(build_tin(*points));
    EXPECT_EQ(tin_triangles_in_use(), 4);
    EXPECT_EQ(tin_high_water(), 4);
    EXPECT_EQ(tin_last_created(), tin_triangles());
    EXPECT_TRUE(check_delaunay(refs(*points)));
  }
}

TEST(TinBuild, PointsWaitInTheDelayBuffer) {
  Points points = uniform_points(10003 + 500, 31);
  std::srand(1);
  ASSERT_TRUE(tin_init(static_cast<int>(points.size())));
  // The first three form the first triangle; the next 10,000 only wait.
  for (size_t i = 0; i < 10003; i++) tin_add(points[i].data());
  EXPECT_EQ(tin_triangles_in_use(), 4);
  // From then on every addition inserts one waiting point.
  for (size_t i = 10003; i < points.size(); i++) tin_add(points[i].data());
  EXPECT_EQ(tin_triangles_in_use(), 2 * (3 + 500) - 2);
  ASSERT_TRUE(tin_finish());
  EXPECT_TRUE(check_delaunay(refs(points)));
}

TEST(TinBuild, HullOnlyKeepsPointsThatWidenTheHull) {
  Points points = uniform_points(15000, 41);
  ASSERT_TRUE(build_tin(points, true));
  DelaunayOptions options;
  options.all_points_are_vertices = false;
  EXPECT_TRUE(check_delaunay(refs(points), options));
  // Interior points arriving after the hull has grown around them are left out.
  EXPECT_LT(tin_triangles_in_use(), 2 * 15000 - 2);
}

TEST(TinBuild, NonFinitePointsAreLeftOut) {
  Points points = uniform_points(3000, 51);
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  points[0] = {nan, 1, 1};
  points[1] = {1, inf, 1};
  points[500] = {-inf, nan, 1};
  points[2999] = {nan, nan, nan};
  ASSERT_TRUE(build_tin(points));
  EXPECT_TRUE(check_delaunay(refs(points)));
}

// The location hints must not change the TIN: the pool, slot by slot, and
// the last created triangle are the same with and without them.
TEST(TinBuild, HintsLeaveTheTinUnchanged) {
  struct Case {
    const char* name;
    Points points;
  };
  Points lattice = lattice_points(150, 150);
  shuffle_points(lattice, 81);
  Points duplicates = uniform_points(20000, 82);
  for (int i = 0; i < 20000; i += 2) duplicates.push_back(duplicates[static_cast<size_t>(i)]);
  shuffle_points(duplicates, 83);
  Case cases[] = {
      {"uniform, random order", uniform_points(40000, 84)},
      {"scan lines", scanline_points(40000, 85)},
      {"lattice, random order", lattice},
      {"duplicates, random order", duplicates},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tin_set_hints(false);
    ASSERT_TRUE(build_tin(c.points));
    std::vector<TINtriangle> plain(tin_triangles(), tin_triangles() + tin_high_water());
    TINtriangle* plain_last = tin_last_created();
    tin_set_hints(true);
    ASSERT_TRUE(build_tin(c.points));
    ASSERT_EQ(tin_high_water(), static_cast<int>(plain.size()));
    EXPECT_EQ(tin_last_created(), plain_last);
    EXPECT_EQ(std::memcmp(plain.data(), tin_triangles(), plain.size() * sizeof(TINtriangle)), 0);
  }
}

TEST(TinPool, GrowsReusesAndCounts) {
  // More points than announced: the pool grows instead of overrunning.
  Points many = uniform_points(20000, 61);
  std::srand(1);
  ASSERT_TRUE(tin_init(10));
  for (const Point3& p : many) tin_add(p.data());
  ASSERT_TRUE(tin_finish());
  EXPECT_TRUE(check_delaunay(refs(many)));
  EXPECT_GE(tin_memory_bytes(), static_cast<int64_t>(2 * 20000 - 2) * 40);

  // A smaller TIN afterwards reuses the pool: nothing of the old one stays.
  const TINtriangle* grown_pool = tin_triangles();
  Points few = uniform_points(100, 62);
  ASSERT_TRUE(build_tin(few));
  EXPECT_TRUE(check_delaunay(refs(few)));
  EXPECT_EQ(tin_triangles(), grown_pool);
  EXPECT_LE(tin_high_water(), 2 * 100);

  // A TIN announced exactly never needs more than its 2n triangles (n is
  // above any earlier TIN of this process, so tin_init sizes the pool).
  Points exact = uniform_points(120000, 63);
  std::srand(1);
  ASSERT_TRUE(tin_init(120000));
  int64_t announced = tin_memory_bytes();
  for (const Point3& p : exact) tin_add(p.data());
  ASSERT_TRUE(tin_finish());
  EXPECT_EQ(tin_triangles_in_use(), 2 * 120000 - 2);
  // At most the cavity stack may have grown.
  EXPECT_LT(tin_memory_bytes() - announced, 4 * 4096);
}

TEST(TinPool, FailedAllocationIsReported) {
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(tin_init(INT_MAX));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "ERROR (TINclean): failed malloc for 4294967294 TINtriangles.\n");
  // The module stays usable.
  Points points = uniform_points(200, 71);
  ASSERT_TRUE(build_tin(points));
  EXPECT_TRUE(check_delaunay(refs(points)));
}

// Real airborne tiles, read with a minimal LAS header parse: points relative
// to the header minimum, as the run keeps them.
Points read_las_points(const std::string& path) {
  Points points;
  std::ifstream in(path, std::ios::binary);
  if (!in) return points;
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < 227 || std::memcmp(bytes.data(), "LASF", 4) != 0) return points;
  auto u32 = [&](size_t at) {
    uint32_t v;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
  };
  auto f64 = [&](size_t at) {
    double v;
    std::memcpy(&v, bytes.data() + at, 8);
    return v;
  };
  uint32_t offset = u32(96);
  uint16_t record_length;
  std::memcpy(&record_length, bytes.data() + 105, 2);
  uint32_t count = u32(107);
  double scale_x = f64(131), scale_y = f64(139), scale_z = f64(147);
  double offset_x = f64(155), offset_y = f64(163), offset_z = f64(171);
  double min_x = f64(187), min_y = f64(203);
  if (record_length < 12) return points;
  for (uint32_t i = 0; i < count; i++) {
    size_t at = offset + static_cast<size_t>(i) * record_length;
    if (at + 12 > bytes.size()) break;
    int32_t xyz[3];
    std::memcpy(xyz, bytes.data() + at, 12);
    points.push_back({static_cast<float>(xyz[0] * scale_x + offset_x - min_x),
                      static_cast<float>(xyz[1] * scale_y + offset_y - min_y),
                      static_cast<float>(xyz[2] * scale_z + offset_z)});
  }
  return points;
}

TEST(TinBuild, RealAirborneTilesAreDelaunay) {
  const char* files[] = {"autzen_trim.las", "4_6_crop.las", "LASexample2.las",
                         "ign_ground_tiles/test_data_77050_627760_LA93_IGN69_ground.las"};
  int found = 0;
  for (const char* name : files) {
    std::string path = std::string(TIECHECK_REAL_DATA_DIR) + "/" + name;
    Points points = read_las_points(path);
    if (points.empty()) continue;
    found++;
    SCOPED_TRACE(name);
    ASSERT_TRUE(build_tin(points));
    EXPECT_TRUE(check_delaunay(refs(points)));
  }
  if (found == 0) GTEST_SKIP() << "no real LAS tiles in " << TIECHECK_REAL_DATA_DIR;
}

}  // namespace
