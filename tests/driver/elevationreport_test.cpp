#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/elevationreport.h"

namespace {

// Collects what the report writes into a temporary file.
class Output {
 public:
  Output() : file_(std::tmpfile()) {}
  ~Output() { std::fclose(file_); }
  FILE* file() { return file_; }
  std::vector<std::string> lines() {
    std::vector<std::string> lines;
    std::rewind(file_);
    char line[1024];
    while (std::fgets(line, sizeof(line), file_)) lines.push_back(line);
    return lines;
  }

 private:
  FILE* file_;
};

std::string format(const char* fmt, double a, double b, double c, double d, double e) {
  char text[256];
  std::snprintf(text, sizeof(text), fmt, a, b, c, d, e);
  return text;
}

TEST(ElevationReport, LinesWithoutStatusColumn) {
  ElevationReport report(0.0, 0.0, ',', false);
  ASSERT_TRUE(report.alloc_differences(3));
  Output out;
  report.report_unparsed(out.file(), "id,x,y,z\n");
  report.report_not_covered(out.file(), "P1,1,2,3\n");
  report.report_unparsed(out.file(), "# still before the first used point\n");
  ASSERT_TRUE(report.report_sampled(out.file(), "P2,4,5,6\n", 6.25f, 0.25f));
  report.report_unparsed(out.file(), "# a comment\n");
  ASSERT_TRUE(report.report_sampled(out.file(), "P3,7,8,9\n", 8.5f, -0.5f));
  const std::vector<std::string> expected = {
      "diff,lidar_z,id,x,y,z\n",
      "-,-,P1,1,2,3\n",
      "diff,lidar_z,# still before the first used point\n",
      "0.25,6.25,P2,4,5,6\n",
      "# a comment\n",
      "-0.5,8.5,P3,7,8,9\n",
  };
  EXPECT_EQ(out.lines(), expected);
  EXPECT_EQ(report.used(), 2);
  EXPECT_EQ(report.not_covered(), 1);
  EXPECT_EQ(report.ignored(), 0);
  EXPECT_TRUE(report.check_consistency());
}

// With -cp_ignore_diff 0.5: a difference of -0.7 is ignored, -0.5 is used;
// lines before the first used point still get the column names.
TEST(ElevationReport, LinesWithStatusColumn) {
  ElevationReport report(0.5, -0.5, ' ', true);
  ASSERT_TRUE(report.alloc_differences(3));
  Output out;
  testing::internal::CaptureStderr();
  report.report_unparsed(out.file(), "name x y z\n");
  report.report_not_covered(out.file(), "a 1 2 3\n");
  ASSERT_TRUE(report.report_sampled(out.file(), "b 1 2 3\n", 2.3f, -0.7f));
  report.report_unparsed(out.file(), "\n");
  ASSERT_TRUE(report.report_sampled(out.file(), "c 1 2 3\n", 2.5f, -0.5f));
  report.report_unparsed(out.file(), "end\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ignoring cp with diff -0.7 < -0.5 for error computation.\n");
  const std::vector<std::string> expected = {
      "status diff lidar_z name x y z\n",
      "skipped - - a 1 2 3\n",
      "ignored -0.7 2.3 b 1 2 3\n",
      "status diff lidar_z \n",
      "used -0.5 2.5 c 1 2 3\n",
      "end\n",
  };
  EXPECT_EQ(out.lines(), expected);
  EXPECT_EQ(report.ignored(), 1);
  EXPECT_EQ(report.used(), 1);
  EXPECT_DOUBLE_EQ(report.average(), -0.5);
}

TEST(ElevationReport, IgnoreRule) {
  struct Case {
    const char* name;
    double above, below;
    float difference;
    const char* status;
    const char* message;  // when very verbose
  };
  const Case cases[] = {
      {"above threshold alone leaves large negatives in", 0.25, 0.0, -3.0f, "used", ""},
      {"above the upper threshold", 0.25, 0.0, 0.5f, "ignored",
       "ignoring cp with diff 0.5 > 0.25 for error computation.\n"},
      {"equal to the upper threshold is used", 0.25, -0.25, 0.25f, "used", ""},
      {"equal to the lower threshold is used", 0.25, -0.25, -0.25f, "used", ""},
      {"below the lower threshold", 0.25, -0.25, -1.5f, "ignored",
       "ignoring cp with diff -1.5 < -0.25 for error computation.\n"},
      {"below threshold alone leaves large positives in", 0.0, -0.25, 3.0f, "used", ""},
  };
  for (bool very_verbose : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      ElevationReport report(c.above, c.below, ',', very_verbose);
      ASSERT_TRUE(report.alloc_differences(1));
      Output out;
      testing::internal::CaptureStderr();
      ASSERT_TRUE(report.report_sampled(out.file(), "1,2,3\n", 1.0f, c.difference));
      EXPECT_EQ(testing::internal::GetCapturedStderr(), very_verbose ? c.message : "");
      std::vector<std::string> lines = out.lines();
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(lines[0].substr(0, lines[0].find(',')), c.status);
      EXPECT_EQ(report.used() + report.ignored(), 1);
      EXPECT_EQ(report.used(), std::string(c.status) == "used" ? 1 : 0);
    }
  }
}

// Differences -1, 2, 3, 4: avg 2, avgabs 2.5, rms sqrt(30 / 4), deviations
// -3, 0, 1, 2 give S2 = 14 and S3 = -18.
TEST(ElevationReport, StatisticsMatchClosedForm) {
  ElevationReport report(0.0, 0.0, ' ', false);
  ASSERT_TRUE(report.alloc_differences(5));
  Output out;
  for (float d : {-1.0f, 2.0f, 3.0f, 4.0f}) ASSERT_TRUE(report.report_sampled(out.file(), "l\n", 0.0f, d));
  report.report_not_covered(out.file(), "l\n");
  const double stddev = std::sqrt(14.0 / 3.0);
  const double skew = -18.0 / (3.0 * stddev * stddev * stddev);
  testing::internal::CaptureStderr();
  report.print_summary();
  report.print_statistics(false, "feet");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "WARNING: there were 1 control points without sufficient LIDAR coverage.\n"
            "sampled TIN at 4 of 5 control points.\n" +
                format("avgabs/rms/stddev/avg of elevation errors are %g/%g/%g/%g feet. skew is %g.\n", 2.5,
                       std::sqrt(7.5), stddev, 2.0, skew));
  EXPECT_DOUBLE_EQ(report.average(), 2.0);
}

TEST(ElevationReport, StatisticsEdgeCases) {
  struct Case {
    const char* name;
    std::vector<float> differences;
    bool quiet;
    const char* expected;
  };
  const Case cases[] = {
      {"single used point gives three values", {-0.5f}, false, "avgabs/rms/avg of elevation error is 0.5/0.5/-0.5 meter.\n"},
      {"none used prints no statistics", {}, false, ""},
      {"quiet prints no statistics", {1.0f, 2.0f}, true, ""},
      {"equal differences have zero spread and zero skew", {0.75f, 0.75f, 0.75f}, false,
       "avgabs/rms/stddev/avg of elevation errors are 0.75/0.75/0/0.75 meter. skew is 0.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ElevationReport report(0.0, 0.0, ' ', false);
    ASSERT_TRUE(report.alloc_differences(3));
    Output out;
    for (float d : c.differences) ASSERT_TRUE(report.report_sampled(out.file(), "l\n", 0.0f, d));
    testing::internal::CaptureStderr();
    report.print_statistics(c.quiet, "meter");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.expected);
  }
}

TEST(ElevationReport, SummaryWarnings) {
  ElevationReport report(0.3, -0.2, ';', false);
  ASSERT_TRUE(report.alloc_differences(4));
  Output out;
  ASSERT_TRUE(report.report_sampled(out.file(), "l\n", 0.0f, 1.0f));
  ASSERT_TRUE(report.report_sampled(out.file(), "l\n", 0.0f, -1.0f));
  report.report_not_covered(out.file(), "l\n");
  testing::internal::CaptureStderr();
  report.print_summary();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "WARNING: there were 1 control points without sufficient LIDAR coverage.\n"
            "WARNING: there were 2 ignored control points with diff above 0.3 or below -0.2.\n"
            "sampled TIN at 0 of 4 control points.\n");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(report.check_consistency());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: different number control points 0 != 4\n");
}

// A control-point file that gained points between the passes: the report
// keeps every difference (no write past the first pass's count) and the
// consistency check fails.
TEST(ElevationReport, MoreUsedPointsThanCountedStayInBounds) {
  ElevationReport report(0.0, 0.0, ' ', false);
  ASSERT_TRUE(report.alloc_differences(2));
  Output out;
  for (int i = 0; i < 3000; ++i) ASSERT_TRUE(report.report_sampled(out.file(), "l\n", 0.0f, i % 2 ? 1.0f : 3.0f));
  EXPECT_EQ(report.used(), 3000);
  EXPECT_DOUBLE_EQ(report.average(), 2.0);
  testing::internal::CaptureStderr();
  report.print_statistics(false, "meter");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            format("avgabs/rms/stddev/avg of elevation errors are %g/%g/%g/%g meter. skew is %g.\n", 2.0,
                   std::sqrt(5.0), std::sqrt(3000.0 / 2999.0), 2.0, 0.0));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(report.check_consistency());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: different number control points 3000 != 2\n");
}

}  // namespace
