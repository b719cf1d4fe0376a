// Whole runs of the program over LAS files written with our writer, where
// the answer is known without the program: a plane with control points at
// known offsets, the same data split into tiles, feet and metre inputs, no
// coverage, control points on LiDAR points, and real tiles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/program_runner.h"
#include "las/lasreader_las.h"
#include "las/laswriter_las.h"
#include "support/lastestfiles.h"

namespace {

using lastest::Point;
using lastest::Quantization;

constexpr double origin_x = 500000.0;
constexpr double origin_y = 4000000.0;

// z of the LiDAR surface at coordinates relative to the origin. Points on
// multiples of 0.25 and the coefficients keep every value, and the TIN
// interpolation inside the unit grid, exact in single precision.
double plane(double x, double y) { return 120.0 + 0.5 * x - 0.25 * y; }

// The unit grid 0..40 by 0..30 on the plane.
std::vector<Point> plane_points() {
  std::vector<Point> points;
  for (int y = 0; y <= 30; y++) {
    for (int x = 0; x <= 40; x++) points.push_back({origin_x + x, origin_y + y, plane(x, y)});
  }
  return points;
}

Quantization exact_quantization() {
  Quantization q;
  q.scale[0] = q.scale[1] = 0.25;
  q.scale[2] = 0.125;
  q.offset[0] = origin_x;
  q.offset[1] = origin_y;
  return q;
}

std::string format(const char* fmt, double value) {
  char text[64];
  std::snprintf(text, sizeof(text), fmt, value);
  return text;
}

// A control point at relative (x, y) whose z lies `difference` below the
// plane, so that LiDAR minus control is `difference`.
std::string cp_line(const char* name, double x, double y, double difference) {
  char text[160];
  std::snprintf(text, sizeof(text), "%s,%.10g,%.10g,%.10g\n", name, origin_x + x, origin_y + y,
                plane(x, y) - difference);
  return text;
}

class EndToEnd : public testing::Test {
 protected:
  ProgramResult run(const std::vector<std::string>& args) { return run_program(args, "", dir_.path()); }
  lastest::TempDir dir_;
};

// Five control points at known offsets from the surface (and one outside
// it, a heading and a comment): every output line and the statistics.
TEST_F(EndToEnd, PlanarSurfaceGivesTheOffsets) {
  ASSERT_TRUE(lastest::write_las(dir_.file("plane.las"), plane_points(), exact_quantization()));
  struct Cp {
    const char* name;
    double x, y, difference;
  };
  const Cp cps[] = {{"CP1", 5.5, 5.5, 0.5},     {"CP2", 12.25, 20.75, -0.25}, {"CP3", 30.5, 10.5, 0.25},
                    {"CP4", 20.75, 25.25, 1.0}, {"CP5", 35.5, 4.5, -0.5}};
  std::string text = "name,x,y,z\n";
  std::vector<std::string> expected = {"diff,lidar_z,name,x,y,z\n"};
  for (const Cp& c : cps) {
    const std::string line = cp_line(c.name, c.x, c.y, c.difference);
    text += line;
    expected.push_back(format("%g", c.difference) + "," + format("%g", plane(c.x, c.y)) + "," + line);
    if (c.name[3] == '2') {
      text += "# checked twice\n";
      expected.push_back("# checked twice\n");
    }
  }
  const std::string outside = cp_line("OUT", 400, 400, 0.0);
  text += outside;
  expected.push_back("-,-," + outside);
  dir_.write("cp.csv", text);

  const ProgramResult r = run({"-i", "plane.las", "-cp", "cp.csv", "-parse", "sxyz", "-cp_out", "out.csv", "-v"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::string out = lastest::read_file(dir_.file("out.csv"));
  std::string joined;
  for (const std::string& e : expected) joined += e;
  EXPECT_EQ(out, joined);
  EXPECT_EQ(r.out, "");

  // Differences 0.5, -0.25, 0.25, 1, -0.5: average 0.2, deviations 0.3,
  // -0.45, 0.05, 0.8, -0.7 with squares summing to 1.425 and cubes to 0.105.
  const double stddev = std::sqrt(1.425 / 4);
  const double skew = 0.105 / (4 * stddev * stddev * stddev);
  char statistics[256];
  std::snprintf(statistics, sizeof(statistics),
                "avgabs/rms/stddev/avg of elevation errors are %g/%g/%g/%g meter. skew is %g.\n", 0.5,
                std::sqrt(1.625 / 5), stddev, 0.2, skew);
  EXPECT_EQ(without_lines(r.err, "took "),
            std::string("collecting all points within 5 meters of control points.\n"
                        "found 6 control points with parse string 'sxyz'.\n"
                        "collected 850 relevant LIDAR points.\n"
                        "created TIN for control measurements.\n"
                        "WARNING: there were 1 control points without sufficient LIDAR coverage.\n"
                        "sampled TIN at 5 of 6 control points.\n") +
                statistics);
}

// The same points split into four tiles of different quantization, read
// merged by wildcard or by file list, give the report of the one file.
TEST_F(EndToEnd, TilesReadMergedGiveTheReportOfOneFile) {
  std::vector<Point> tiles[4];
  for (const Point& p : plane_points()) {
    const int east = p.x - origin_x >= 20 ? 1 : 0;
    const int north = p.y - origin_y >= 15 ? 1 : 0;
    tiles[east + 2 * north].push_back(p);
  }
  // The one file holds the points in the order the tiles deliver them, so
  // that both runs build the same TIN.
  std::vector<Point> whole_points;
  for (const std::vector<Point>& tile : tiles) whole_points.insert(whole_points.end(), tile.begin(), tile.end());
  ASSERT_TRUE(lastest::write_las(dir_.file("whole.las"), whole_points, exact_quantization()));
  std::string list;
  for (int t = 0; t < 4; t++) {
    Quantization q = exact_quantization();
    if (t % 2 == 1) {
      q.scale[0] = q.scale[1] = 0.125;
      q.scale[2] = 0.0625;
    }
    q.offset[0] += 100.0 * t;
    q.offset[2] = -8.0 * t;
    const std::string name = "tile_" + std::to_string(t) + ".las";
    ASSERT_TRUE(lastest::write_las(dir_.file(name), tiles[t], q));
    list += std::to_string(t + 1) + "," + name + "\n";
  }
  dir_.write("tiles.txt", list);
  std::string text;
  for (int i = 0; i < 20; i++) {
    const std::string name = "P" + std::to_string(i);
    text += cp_line(name.c_str(), 6.25 + i * 1.6, 5.5 + i * 1.1, (i % 5 - 2) * 0.125);
  }
  dir_.write("cp.csv", text);

  const std::vector<std::string> common = {"-cp", "cp.csv", "-parse", "sxyz", "-v"};
  auto report = [&](std::vector<std::string> inputs) {
    inputs.insert(inputs.end(), common.begin(), common.end());
    ProgramResult r = run(inputs);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    r.err = without_lines(r.err, "took ");
    return r;
  };
  const ProgramResult whole = report({"-i", "whole.las"});
  EXPECT_NE(whole.err.find("sampled TIN at 20 of 20 control points.\n"), std::string::npos) << whole.err;
  for (const std::vector<std::string>& inputs :
       {std::vector<std::string>{"-i", "tile_*.las"}, std::vector<std::string>{"-lof", "tiles.txt"},
        std::vector<std::string>{"-i", "tile_0.las", "tile_1.las", "tile_2.las", "tile_3.las", "-merged"}}) {
    SCOPED_TRACE(inputs[1]);
    const ProgramResult merged = report(inputs);
    EXPECT_EQ(merged.out, whole.out);
    EXPECT_EQ(merged.err, whole.err);
  }
}

// Canopy points 10 m above the ground between the ground points: the class
// filter keeps them out of the TIN, and the ground gives the exact offsets.
TEST_F(EndToEnd, ClassFilterKeepsTheGround) {
  std::vector<Point> points = plane_points();
  for (int y = 0; y < 30; y++) {
    for (int x = 0; x < 40; x++) {
      points.push_back({origin_x + x + 0.5, origin_y + y + 0.5, plane(x + 0.5, y + 0.5) + 10.0, 5});
    }
  }
  ASSERT_TRUE(lastest::write_las(dir_.file("canopy.las"), points, exact_quantization()));
  const std::string a = cp_line("A", 10.25, 10.75, 0.5);
  const std::string b = cp_line("B", 25.75, 12.25, -0.25);
  dir_.write("cp.csv", a + b);
  const ProgramResult ground = run({"-i", "canopy.las", "-cp", "cp.csv", "-parse", "sxyz", "-keep_class", "2"});
  ASSERT_EQ(ground.exit_code, 0) << ground.err;
  EXPECT_EQ(ground.out, "0.5," + format("%g", plane(10.25, 10.75)) + "," + a + "-0.25," +
                            format("%g", plane(25.75, 12.25)) + "," + b);
  // The same report as a file that holds the ground points alone.
  ASSERT_TRUE(lastest::write_las(dir_.file("ground.las"), plane_points(), exact_quantization()));
  const ProgramResult only_ground = run({"-i", "ground.las", "-cp", "cp.csv", "-parse", "sxyz"});
  ASSERT_EQ(only_ground.exit_code, 0) << only_ground.err;
  EXPECT_EQ(ground.out, only_ground.out);
  EXPECT_EQ(without_lines(ground.err, "took "), without_lines(only_ground.err, "took "));
  const ProgramResult all = run({"-i", "canopy.las", "-cp", "cp.csv", "-parse", "sxyz"});
  ASSERT_EQ(all.exit_code, 0) << all.err;
  double difference = 0.0;
  ASSERT_EQ(std::sscanf(all.out.c_str(), "%lf", &difference), 1);
  EXPECT_GT(difference, 2.0);  // the canopy lifts the surface
}

// The horizontal unit of the input's geo keys: anything but metres makes
// the collection distance three steps of feet.
TEST_F(EndToEnd, FeetInputTriplesTheStep) {
  struct Case {
    const char* name;
    std::vector<LASvlr_key_entry> keys;
    std::vector<std::string> options;
    const char* collecting;
    const char* unit_word;
  };
  const Case cases[] = {
      {"no keys", {}, {}, "within 2 meters", "meter"},
      {"international feet", {{1024, 0, 1, 1}, {3072, 0, 1, 32767}, {3076, 0, 1, 9002}}, {}, "within 6 feet", "feet"},
      {"US survey feet", {{3076, 0, 1, 9003}}, {}, "within 6 feet", "feet"},
      {"state plane feet code", {{1024, 0, 1, 1}, {3072, 0, 1, 2903}}, {}, "within 6 feet", "feet"},
      {"UTM metres", {{1024, 0, 1, 1}, {3072, 0, 1, 32611}}, {}, "within 2 meters", "meter"},
      {"feet on the command line", {}, {"-feet"}, "within 6 feet", "feet"},
      {"keys win over the command line", {{3076, 0, 1, 9001}}, {"-feet"}, "within 2 meters", "meter"},
  };
  dir_.write("cp.csv", cp_line("A", 10.5, 10.5, 0.5) + cp_line("B", 25.5, 12.5, -0.25));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(lastest::write_las(dir_.file("units.las"), plane_points(), exact_quantization(), c.keys));
    std::vector<std::string> args = {"-i", "units.las", "-cp", "cp.csv", "-parse", "sxyz", "-step", "2", "-v"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ProgramResult r = run(args);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.err.find(std::string("collecting all points ") + c.collecting + " of control points.\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find(std::string("/0.125 ") + c.unit_word + ". skew is 0.\n"), std::string::npos) << r.err;
  }
}

// No LiDAR point near any control point: every control point is written as
// not covered, without a heading, and the run ends with 0 and no wait.
TEST_F(EndToEnd, NoCoverageEnd) {
  ASSERT_TRUE(lastest::write_las(dir_.file("plane.las"), plane_points(), exact_quantization()));
  const std::string far1 = cp_line("F1", -500, -500, 0);
  const std::string far2 = cp_line("F2", 900, 40, 0);
  dir_.write("cp.csv", "name,x,y,z\n" + far1 + far2);
  const ProgramResult r = run({"-i", "plane.las", "-cp", "cp.csv", "-parse", "sxyz", "-v", "-wait"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "-,-," + far1 + "-,-," + far2);
  EXPECT_EQ(without_lines(r.err, "took "),
            "collecting all points within 5 meters of control points.\n"
            "found 2 control points with parse string 'sxyz'.\n"
            "WARNING: none of 1271 points cover any control point. all filtered or too far.\n");
  EXPECT_NE(r.err.find("took "), std::string::npos);
}

// A control point exactly on a LiDAR point is sampled one x scale factor to
// the right: on a spike of 10 above a flat grid that is 10 x scale below
// the spike's top.
TEST_F(EndToEnd, ControlPointOnLidarPointUsesShiftedX) {
  struct Case {
    double xy_scale;
    double lidar_z;
  };
  const Case cases[] = {{0.01, 109.9}, {0.1, 109.0}, {0.25, 107.5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.xy_scale);
    std::vector<Point> points;
    for (int y = 0; y <= 10; y++) {
      for (int x = 0; x <= 10; x++) points.push_back({origin_x + x, origin_y + y, x == 5 && y == 5 ? 110.0 : 100.0});
    }
    Quantization q;
    q.scale[0] = q.scale[1] = c.xy_scale;
    q.offset[0] = origin_x;
    q.offset[1] = origin_y;
    ASSERT_TRUE(lastest::write_las(dir_.file("spike.las"), points, q));
    dir_.write("cp.txt", format("%.10g", origin_x + 5) + " " + format("%.10g", origin_y + 5) + " 100\n");
    const ProgramResult r = run({"-i", "spike.las", "-cp", "cp.txt", "-quiet"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    double difference = 0.0;
    double lidar_z = 0.0;
    ASSERT_EQ(std::sscanf(r.out.c_str(), "%lf %lf", &difference, &lidar_z), 2) << r.out;
    EXPECT_NEAR(lidar_z, c.lidar_z, 1e-4);
    EXPECT_NEAR(difference, c.lidar_z - 100.0, 1e-4);
  }
}

// Real tiles read merged give the report of the same points written into
// one file.
TEST_F(EndToEnd, RealTilesMergedAndJoined) {
  const std::string folder = std::string(TIECHECK_REAL_DATA_DIR) + "/ign_ground_tiles";
  const char* names[] = {"test_data_77050_627755_LA93_IGN69_ground.las", "test_data_77050_627760_LA93_IGN69_ground.las",
                         "test_data_77055_627755_LA93_IGN69_ground.las", "test_data_77055_627760_LA93_IGN69_ground.las",
                         "test_data_77060_627755_LA93_IGN69_ground.las", "test_data_77060_627760_LA93_IGN69_ground.las"};
  FILE* probe = std::fopen((folder + "/" + names[0]).c_str(), "rb");
  if (probe == nullptr) GTEST_SKIP() << "no real tiles in " << folder;
  std::fclose(probe);

  // The joined file's header: the first tile's, with the counts added up
  // and the boxes joined as the merged reader joins them.
  LASheader header;
  LASwriterLAS writer;
  LASreaderLAS first;
  ASSERT_TRUE(first.open((folder + "/" + names[0]).c_str()));
  header.take_over(first.header);
  first.close();
  ASSERT_TRUE(writer.open(dir_.file("joined.las").c_str(), &header));
  std::vector<std::string> inputs = {"-i"};
  uint32_t count = 0;
  uint32_t by_return[5] = {0, 0, 0, 0, 0};
  for (const char* name : names) {
    inputs.push_back(folder + "/" + name);
    LASreaderLAS tile;
    ASSERT_TRUE(tile.open((folder + "/" + name).c_str()));
    const LASheader& h = tile.header;
    count += h.number_of_point_records;
    for (int r = 0; r < 5; r++) by_return[r] += h.number_of_points_by_return[r];
    header.min_x = std::min(header.min_x, h.min_x);
    header.min_y = std::min(header.min_y, h.min_y);
    header.min_z = std::min(header.min_z, h.min_z);
    header.max_x = std::max(header.max_x, h.max_x);
    header.max_y = std::max(header.max_y, h.max_y);
    header.max_z = std::max(header.max_z, h.max_z);
    while (tile.read_point()) ASSERT_TRUE(writer.write_point(&tile.point));
    tile.close();
  }
  header.number_of_point_records = count;
  for (int r = 0; r < 5; r++) header.number_of_points_by_return[r] = by_return[r];
  ASSERT_TRUE(writer.update_header(&header, false));
  ASSERT_GT(writer.close(), 0);

  std::string text = "id x y z\n";
  for (int i = 0; i < 12; i++) {
    char line[96];
    std::snprintf(line, sizeof(line), "R%d %.2f %.2f %.2f\n", i, 770503.5 + i * 12.25, 6277507.25 + (i % 4) * 23.5,
                  20.5 + 0.05 * i);
    text += line;
  }
  dir_.write("cp.txt", text);
  const std::vector<std::string> common = {"-cp", "cp.txt", "-parse", "sxyz", "-v"};
  inputs.insert(inputs.end(), common.begin(), common.end());
  std::vector<std::string> joined = {"-i", "joined.las"};
  joined.insert(joined.end(), common.begin(), common.end());
  const ProgramResult a = run(inputs);
  const ProgramResult b = run(joined);
  ASSERT_EQ(a.exit_code, 0) << a.err;
  ASSERT_EQ(b.exit_code, 0) << b.err;
  EXPECT_NE(a.err.find("sampled TIN at 12 of 12 control points.\n"), std::string::npos) << a.err;
  EXPECT_EQ(a.out, b.out);
  EXPECT_EQ(without_lines(a.err, "took "), without_lines(b.err, "took "));
}

}  // namespace
