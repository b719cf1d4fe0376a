// The sample in examples/: a synthetic tile whose returns lie 0.045 m above
// the terrain, and control points surveyed with centimetre noise on open
// ground, four of them outside the tile.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "driver/program_runner.h"

TEST(Sample, MeasuresTheBiasOfTheTile) {
  const std::string examples = std::string(TIECHECK_SOURCE_DIR) + "/examples";
  const ProgramResult r = run_program({"-i", examples + "/tile_431000_5162000.las", "-cp", examples + "/control_points.csv",
                                       "-parse", "sxyz", "-keep_class", "2", "-quiet"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err,
            "WARNING: there were 4 control points without sufficient LIDAR coverage.\n"
            "sampled TIN at 26 of 30 control points.\n");
  // Heading, 26 sampled and 4 uncovered control points.
  int lines = 0;
  int uncovered = 0;
  double sum = 0.0;
  size_t start = 0;
  while (start < r.out.size()) {
    const size_t end = r.out.find('\n', start);
    const std::string line = r.out.substr(start, end - start);
    start = end == std::string::npos ? r.out.size() : end + 1;
    if (lines++ == 0) {
      EXPECT_EQ(line, "diff,lidar_z,name,x,y,z");
      continue;
    }
    if (line.rfind("-,-,CP", 0) == 0) {
      uncovered++;
      continue;
    }
    double difference = 0.0;
    ASSERT_EQ(std::sscanf(line.c_str(), "%lf", &difference), 1) << line;
    EXPECT_LT(std::abs(difference - 0.045), 0.1) << line;
    sum += difference;
  }
  EXPECT_EQ(lines, 31);
  EXPECT_EQ(uncovered, 4);
  EXPECT_NEAR(sum / 26, 0.045, 0.01);
}
