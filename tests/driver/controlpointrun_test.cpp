#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "driver/controlpointrun.h"
#include "driver/pointsource.h"
#include "driver/runsettings.h"

namespace {

// The LiDAR surface: z = 0.5 x + 0.25 y + 100 over coordinates relative to
// the origin (1000, 1000). With x and y on multiples of 0.25 and 0.5 every
// elevation is a multiple of 0.125, so points, TIN interpolation inside unit
// triangles at x = n + 0.5, and differences are all exact.
double plane(double x, double y) { return 0.5 * x + 0.25 * y + 100.0; }

constexpr double origin = 1000.0;

PointSourceHeader test_header(int64_t announced) {
  PointSourceHeader header;
  header.x_scale_factor = 0.25;
  header.y_scale_factor = 0.25;
  header.z_scale_factor = 0.125;
  header.x_offset = origin;
  header.y_offset = origin;
  header.z_offset = 0.0;
  header.min_x = origin;
  header.min_y = origin;
  header.number_of_point_records = announced;
  return header;
}

// A LiDAR point on the plane at relative (x, y).
PointSourcePoint on_plane(double x, double y) {
  PointSourcePoint p;
  p.X = static_cast<int32_t>(x * 4);
  p.Y = static_cast<int32_t>(y * 4);
  p.Z = static_cast<int32_t>(plane(x, y) * 8);
  return p;
}

// The unit grid 0..14 by 0..14 (cells 0 to 2 of step 5), and a small cluster
// at 100..102 far away.
std::vector<PointSourcePoint> grid_points(bool with_far_cluster = true) {
  std::vector<PointSourcePoint> points;
  for (int y = 0; y <= 14; ++y) {
    for (int x = 0; x <= 14; ++x) points.push_back(on_plane(x, y));
  }
  if (with_far_cluster) {
    for (int y = 100; y <= 102; ++y) {
      for (int x = 100; x <= 102; ++x) points.push_back(on_plane(x, y));
    }
  }
  return points;
}

std::string format_g(const char* fmt, double value) {
  char text[64];
  std::snprintf(text, sizeof(text), fmt, value);
  return text;
}

// A control-point line at relative (x, y) whose z lies `difference` below
// the plane, so that LiDAR minus control is `difference`.
std::string cp_line(const char* name, double x, double y, double difference, char sep = ',') {
  char text[128];
  std::snprintf(text, sizeof(text), "%s%c%.10g%c%.10g%c%.10g\n", name, sep, origin + x, sep, origin + y, sep,
                plane(x, y) - difference);
  return text;
}

// The output line of a sampled control point without status column.
std::string sampled(double difference, double lidar_z, const std::string& line, char sep = ',') {
  return format_g("%g", difference) + sep + format_g("%g", lidar_z) + sep + line;
}

class ControlPointRunTest : public testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/cprunXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    settings_.cp_file_name = path("cp.txt");
    settings_.cp_out_name = path("out.txt");
    settings_.cp_parse_string = "sxyz";
  }
  void TearDown() override {
    for (const char* name : {"cp.txt", "out.txt"}) std::remove(path(name).c_str());
    rmdir(dir_.c_str());
  }

  std::string path(const char* name) const { return dir_ + "/" + name; }

  void write_cp(const std::string& text) const {
    FILE* f = std::fopen(settings_.cp_file_name.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs(text.c_str(), f);
    std::fclose(f);
  }

  std::vector<std::string> output_lines(const std::string& file_name) const {
    std::vector<std::string> lines;
    FILE* f = std::fopen(file_name.c_str(), "r");
    if (f == nullptr) return lines;
    char line[2048];
    while (std::fgets(line, sizeof(line), f)) lines.push_back(line);
    std::fclose(f);
    return lines;
  }

  // Runs every step over the points; stderr goes to err_.
  int run(const std::vector<PointSourcePoint>& points, int64_t announced = -1, const char* output_directory = nullptr,
          int horizontal_unit_code = 9001) {
    PointSourceHeader header = test_header(announced < 0 ? static_cast<int64_t>(points.size()) : announced);
    header.horizontal_unit_code = horizontal_unit_code;
    PointSourceMemory source(header, points, "lidar.las");
    ControlPointRun cp_run(settings_, &source, output_directory);
    testing::internal::CaptureStderr();
    int code = cp_run.run();
    err_ = testing::internal::GetCapturedStderr();
    ended_without_coverage_ = cp_run.ended_without_coverage();
    waits_ = cp_run.waits_at_end(code);
    return code;
  }

  std::string dir_;
  RunSettings settings_;
  std::string err_;
  bool ended_without_coverage_ = false;
  bool waits_ = true;
};

// Four control points with known biases on the plane, one far away without
// coverage, a heading and a comment: every output line, the verbose messages
// and the statistics in closed form.
TEST_F(ControlPointRunTest, PlanarSurfaceWithKnownBiases) {
  const std::string p1 = cp_line("P1", 5.5, 5.25, -0.25);
  const std::string p2 = cp_line("P2", 7.5, 8.75, 0.5);
  const std::string p3 = cp_line("P3", 9.5, 2.5, 0.75);
  const std::string p4 = cp_line("P4", 2.5, 9.75, 1.0);
  const std::string far = cp_line("far", 100.5, 100.5, 0.0);
  write_cp("name,x,y,z\n" + p1 + "# surveyed 2024\n" + p2 + far + p3 + p4);
  settings_.cp_parse_string = "sxyz";
  settings_.verbose = true;
  ASSERT_EQ(run(grid_points()), 0);

  const std::vector<std::string> expected = {
      "diff,lidar_z,name,x,y,z\n",
      sampled(-0.25, plane(5.5, 5.25), p1),
      "# surveyed 2024\n",
      sampled(0.5, plane(7.5, 8.75), p2),
      "-,-," + far,
      sampled(0.75, plane(9.5, 2.5), p3),
      sampled(1.0, plane(2.5, 9.75), p4),
  };
  EXPECT_EQ(output_lines(settings_.cp_out_name), expected);

  // Differences -0.25, 0.5, 0.75, 1: deviations from 0.5 are -0.75, 0, 0.25,
  // 0.5, so S2 = 0.875 and S3 = -0.28125.
  const double stddev = std::sqrt(0.875 / 3);
  const double skew = -0.28125 / (3 * stddev * stddev * stddev);
  char statistics[256];
  std::snprintf(statistics, sizeof(statistics),
                "avgabs/rms/stddev/avg of elevation errors are %g/%g/%g/%g meter. skew is %g.\n", 0.625,
                std::sqrt(1.875 / 4), stddev, 0.5, skew);
  EXPECT_EQ(err_, std::string("collecting all points within 5 meters of control points.\n"
                              "found 5 control points with parse string 'sxyz'.\n"
                              "collected 234 relevant LIDAR points.\n"
                              "created TIN for control measurements.\n"
                              "WARNING: there were 1 control points without sufficient LIDAR coverage.\n"
                              "sampled TIN at 4 of 5 control points.\n") +
                      statistics);
  EXPECT_TRUE(waits_ == false);
}

// Cells are step-sized squares from the origin; the control point at
// (12.5, 12.5) lies in cell (2, 2) of step 5 and needs five of the nine
// cells around it to hold kept points.
TEST_F(ControlPointRunTest, FiveOfNineCellsAreCoverage) {
  struct Case {
    const char* name;
    std::vector<std::pair<double, double>> points;  // one point per cell
    bool sampled;
  };
  const Case cases[] = {
      {"four cells", {{6, 6}, {11, 7}, {17, 6}, {7, 11}}, false},
      {"five cells", {{6, 6}, {11, 7}, {17, 6}, {7, 11}, {11, 14}}, true},
      {"five cells, none in the middle row", {{6, 6}, {11, 7}, {17, 6}, {6, 17}, {11, 18}}, true},
  };
  const std::string line = cp_line("c", 12.5, 12.5, 0.0, ' ');
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    write_cp(line);
    std::vector<PointSourcePoint> points;
    for (const auto& p : c.points) points.push_back(on_plane(p.first, p.second));
    ASSERT_EQ(run(points), 0);
    std::vector<std::string> lines = output_lines(settings_.cp_out_name);
    ASSERT_EQ(lines.size(), 1u);
    if (c.sampled) {
      EXPECT_NE(lines[0].substr(0, 4), "- - ") << lines[0];
      EXPECT_NE(err_.find("sampled TIN at 1 of 1 control points.\n"), std::string::npos);
    } else {
      EXPECT_EQ(lines[0], "- - " + line);
      EXPECT_NE(err_.find("sampled TIN at 0 of 1 control points.\n"), std::string::npos);
    }
  }
}

// On a LiDAR point the control point moves right by one x scale factor
// (0.25 here): the elevation is the plane's at x + 0.25, not at x.
TEST_F(ControlPointRunTest, ControlPointOnLidarPointUsesShiftedX) {
  const std::string line = cp_line("on", 7, 7, 0.0, ' ');
  write_cp(line);
  ASSERT_EQ(run(grid_points(false)), 0);
  std::vector<std::string> lines = output_lines(settings_.cp_out_name);
  const double lidar_z = plane(7.25, 7);
  const std::vector<std::string> expected = {sampled(lidar_z - plane(7, 7), lidar_z, line, ' ')};
  EXPECT_EQ(lines, expected);
}

// Outside the hull of the kept points the hull edge A (22.5, 11), B (22.5,
// 13) is the only one the control point (23.25, 12) sees; both corners are
// 1.25 away, so the elevation is their mean 114.25 (the plane would give
// 114.625).
TEST_F(ControlPointRunTest, OutsideTheHullUsesTheInfiniteTriangle) {
  const std::vector<PointSourcePoint> points = {
      on_plane(22.5, 11), on_plane(22.5, 13), on_plane(18.5, 7), on_plane(18.5, 17),
      on_plane(18, 12),   on_plane(20, 9),    on_plane(20, 15),
  };
  const std::string line = "out 1023.25 1012 114\n";
  write_cp(line);
  settings_.verbose = true;
  ASSERT_EQ(run(points), 0);
  const std::vector<std::string> expected = {"0.25 114.25 " + line};
  EXPECT_EQ(output_lines(settings_.cp_out_name), expected);
  EXPECT_NE(err_.find("created TIN for control measurements.\n"
                      "WARNING: sampling infinite TIN triangle suggests insufficient LIDAR coverage.\n"
                      "sampled TIN at 1 of 1 control points.\n"),
            std::string::npos)
      << err_;
}

TEST_F(ControlPointRunTest, StatisticsLineByNumberUsed) {
  struct Case {
    const char* name;
    double ignore_above, ignore_below;
    std::string cp_text;
    std::vector<std::string> output;
    std::string err_tail;
  };
  const std::string a = cp_line("a", 5.5, 5.5, -0.5, ' ');
  const std::string b = cp_line("b", 7.5, 7.5, 2.0, ' ');
  const std::string far = cp_line("far", 60.5, 60.5, 0.0, ' ');
  const Case cases[] = {
      {"single used point", 0.0, 0.0, a + far,
       {sampled(-0.5, plane(5.5, 5.5), a, ' '), "- - " + far},
       "WARNING: there were 1 control points without sufficient LIDAR coverage.\n"
       "sampled TIN at 1 of 2 control points.\n"
       "avgabs/rms/avg of elevation error is 0.5/0.5/-0.5 meter.\n"},
      {"none used: no statistics", 1.0, -0.25, a + b + far,
       {"ignored -0.5 " + format_g("%g", plane(5.5, 5.5)) + " " + a,
        "ignored 2 " + format_g("%g", plane(7.5, 7.5)) + " " + b, "skipped - - " + far},
       "WARNING: there were 1 control points without sufficient LIDAR coverage.\n"
       "WARNING: there were 2 ignored control points with diff above 1 or below -0.25.\n"
       "sampled TIN at 0 of 3 control points.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    write_cp(c.cp_text);
    settings_.ignore_above = c.ignore_above;
    settings_.ignore_below = c.ignore_below;
    ASSERT_EQ(run(grid_points(false)), 0);
    EXPECT_EQ(output_lines(settings_.cp_out_name), c.output);
    EXPECT_EQ(err_, c.err_tail);
  }
}

// No kept point: every control point is written as not covered (lines that
// do not parse are dropped, no heading), exit code 0 and no wait.
TEST_F(ControlPointRunTest, NoCoverageEnd) {
  const std::string a = cp_line("a", 500.5, 500.5, 0.0);
  const std::string b = cp_line("b", 600.5, 600.5, 0.0);
  write_cp("skipped heading\nname,x,y,z\n" + a + "# note\n" + b);
  settings_.skip = 1;
  settings_.ignore_above = 0.5;
  settings_.cp_parse_string = "sxyz";
  settings_.interactive = true;
  settings_.cp_out_name = "elsewhere/out.txt";  // put into the output directory
  ASSERT_EQ(run(grid_points(), 5000000000LL, dir_.c_str()), 0);
  EXPECT_TRUE(ended_without_coverage_);
  EXPECT_FALSE(waits_);
  EXPECT_EQ(err_, "WARNING: none of 5000000000 points cover any control point. all filtered or too far.\n");
  const std::vector<std::string> expected = {"skipped,-,-," + a, "skipped,-,-," + b};
  EXPECT_EQ(output_lines(path("out.txt")), expected);
}

TEST_F(ControlPointRunTest, OutputDirectoryAndStandardOutputFallback) {
  const std::string a = cp_line("a", 5.5, 5.5, 0.0, ' ');
  write_cp(a);
  settings_.cp_out_name = "sub/out.txt";
  ASSERT_EQ(run(grid_points(false), -1, dir_.c_str()), 0);
  EXPECT_EQ(output_lines(path("out.txt")), std::vector<std::string>{sampled(0, plane(5.5, 5.5), a, ' ')});

  settings_.cp_out_name = path("missing/out.txt");
  testing::internal::CaptureStdout();
  ASSERT_EQ(run(grid_points(false)), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), sampled(0, plane(5.5, 5.5), a, ' '));
  EXPECT_EQ(err_.substr(0, err_.find('\n') + 1), "ERROR: could not open '" + path("missing/out.txt") + "'. using stdout ...\n");
}

// In feet the step is tripled: 5 collects within 15, so the control points
// at (20.5, 20.5) and (24.5, 22.5) keep every point of the 0..44 grid, and
// the statistics say "feet".
TEST_F(ControlPointRunTest, FeetTripleTheStep) {
  std::vector<PointSourcePoint> points;
  for (int y = 0; y <= 44; y += 2) {
    for (int x = 0; x <= 44; x += 2) points.push_back(on_plane(x, y));
  }
  write_cp(cp_line("a", 20.5, 20.5, 0.25) + cp_line("b", 24.5, 22.5, 0.75));
  settings_.verbose = true;
  ASSERT_EQ(run(points, -1, nullptr, 9002), 0);
  EXPECT_EQ(err_.substr(0, err_.find("created")),
            "collecting all points within 15 feet of control points.\n"
            "found 2 control points with parse string 'sxyz'.\n"
            "collected 529 relevant LIDAR points.\n");
  EXPECT_NE(err_.find("sampled TIN at 2 of 2 control points.\n"), std::string::npos) << err_;
  EXPECT_NE(err_.find(" feet. skew is "), std::string::npos) << err_;
}

// Points are kept even when the source announces none or too few: the
// buffer grows as points arrive.
TEST_F(ControlPointRunTest, AnnouncedCountDoesNotLimitKeptPoints) {
  write_cp(cp_line("a", 7.5, 7.5, 0.0));
  for (int64_t announced : {0, 10, 225}) {
    SCOPED_TRACE(announced);
    PointSourceMemory source(test_header(announced), grid_points());
    ControlPointRun cp_run(settings_, &source);
    cp_run.take_origin();
    ASSERT_EQ(cp_run.read_control_points(), ControlPointRun::go_on);
    ASSERT_EQ(cp_run.collect_points(), ControlPointRun::go_on);
    EXPECT_EQ(cp_run.kept_points(), 225u);
    EXPECT_EQ(cp_run.point_buffer()[3 * 224 + 0], 14.0f);
    EXPECT_EQ(cp_run.point_buffer()[3 * 224 + 1], 14.0f);
    EXPECT_EQ(cp_run.point_buffer()[3 * 224 + 2], static_cast<float>(plane(14, 14)));
  }
}

// A physical line longer than 511 characters is read in pieces, each one a
// line of its own: here two control points, each echoed with its piece.
TEST_F(ControlPointRunTest, LongLinesAreReadInPieces) {
  std::string first = cp_line("a", 5.5, 5.5, 0.0, ' ');
  first.pop_back();
  first.resize(511, ' ');
  const std::string second = cp_line("b", 7.5, 7.5, 0.5, ' ');
  write_cp(first + second);
  settings_.cp_parse_string = "sxyz";
  ASSERT_EQ(run(grid_points(false)), 0);
  EXPECT_NE(err_.find("sampled TIN at 2 of 2 control points.\n"), std::string::npos) << err_;
  const std::vector<std::string> expected = {sampled(0, plane(5.5, 5.5), first, ' ') +
                                             sampled(0.5, plane(7.5, 7.5), second, ' ')};
  EXPECT_EQ(output_lines(settings_.cp_out_name), expected);
}

TEST_F(ControlPointRunTest, RunErrors) {
  struct Case {
    const char* name;
    const char* cp_text;  // null: no control-point file
    std::vector<PointSourcePoint> points;
    std::string message;  // "%s" stands for the control-point file name
  };
  const Case cases[] = {
      {"no control-point file", nullptr, grid_points(), "ERROR: could not open '%s'\n"},
      {"no control point in the file", "name x y z\n# nothing\n", grid_points(),
       "ERROR: did not find any control points in '%s'\n"},
      {"kept points on one line", "a 1005.5 1005.5 0\n", {on_plane(4, 4), on_plane(5, 5), on_plane(6, 6)},
       "ERROR: the 3 points of 'lidar.las' form degenerate TIN. maybe re-run with '-step 10'\n"},
      {"two kept points", "a 1005.5 1005.5 0\n", {on_plane(4, 4), on_plane(5, 6)},
       "ERROR: the 2 points of 'lidar.las' form degenerate TIN. maybe re-run with '-step 10'\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(settings_.cp_file_name.c_str());
    if (c.cp_text != nullptr) write_cp(c.cp_text);
    settings_.interactive = false;
    ASSERT_EQ(run(c.points), 1);
    std::string message = c.message;
    size_t at = message.find("%s");
    if (at != std::string::npos) message.replace(at, 2, settings_.cp_file_name);
    EXPECT_EQ(err_, message);
  }
}

// Steps one by one: the control-point file changes between the two passes.
TEST_F(ControlPointRunTest, FileChangedBetweenPasses) {
  const std::string a = cp_line("a", 5.5, 5.5, 0.0);
  const std::string b = cp_line("b", 7.5, 7.5, 0.0);
  struct Case {
    const char* name;
    const char* second_pass;  // null: the file is gone
    int sample_code;
    std::string sample_err_tail;
    std::string consistency_err;
  };
  const std::string grown = a + b + a + b + a;
  const Case cases[] = {
      {"file removed", nullptr, 1, "ERROR: could not re-open '%s'\n", ""},
      {"more control points", grown.c_str(), ControlPointRun::go_on, "sampled TIN at 5 of 2 control points.\n",
       "ERROR: different number control points 5 != 2\n"},
      {"fewer control points", a.c_str(), ControlPointRun::go_on, "sampled TIN at 1 of 2 control points.\n",
       "ERROR: different number control points 1 != 2\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    write_cp(a + b);
    PointSourceMemory source(test_header(0), grid_points(false));
    settings_.quiet = true;
    ControlPointRun cp_run(settings_, &source);
    cp_run.take_origin();
    testing::internal::CaptureStderr();
    ASSERT_EQ(cp_run.read_control_points(), ControlPointRun::go_on);
    ASSERT_EQ(cp_run.collect_points(), ControlPointRun::go_on);
    ASSERT_EQ(cp_run.build_tin(), ControlPointRun::go_on);
    std::remove(settings_.cp_file_name.c_str());
    if (c.second_pass != nullptr) write_cp(c.second_pass);
    ASSERT_EQ(cp_run.sample_control_points(), c.sample_code);
    std::string err = testing::internal::GetCapturedStderr();
    std::string tail = c.sample_err_tail;
    size_t at = tail.find("%s");
    if (at != std::string::npos) tail.replace(at, 2, settings_.cp_file_name);
    EXPECT_EQ(err, tail);
    if (c.sample_code != ControlPointRun::go_on) continue;
    testing::internal::CaptureStderr();
    EXPECT_EQ(cp_run.check_consistency(), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.consistency_err);
  }
}

TEST(ControlPointRunEnd, WaitsForEnter) {
  struct Case {
    const char* name;
    bool wait, interactive;
    int exit_code;
    bool waits;
  };
  const Case cases[] = {
      {"plain end", false, false, 0, false},     {"-wait", true, false, 0, true},
      {"console mode", false, true, 0, true},    {"error with -wait", true, false, 1, false},
      {"error in console mode", false, true, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunSettings settings;
    settings.wait = c.wait;
    settings.interactive = c.interactive;
    PointSourceMemory source(PointSourceHeader(), {});
    ControlPointRun cp_run(settings, &source);
    EXPECT_EQ(cp_run.waits_at_end(c.exit_code), c.waits);
  }
}

}  // namespace
