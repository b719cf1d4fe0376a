#include <gtest/gtest.h>

#include <string>

#include "driver/controlpoint.h"

namespace {

struct ParseCase {
  const char* name;
  const char* parse_string;
  const char* line;
  bool accepted;
  double x, y, z;
  char separator;  // checked only for accepted lines
};

const ParseCase parse_cases[] = {
    {"label then xyz, space", "sxyz", "A1 450.25 120.75 31.4\n", true, 450.25, 120.75, 31.4, ' '},
    {"label then xyz, tab", "sxyz", "A1\t450.25\t120.75\t31.4\n", true, 450.25, 120.75, 31.4, '\t'},
    {"label then xyz, comma", "sxyz", "A1,450.25,120.75,31.4\n", true, 450.25, 120.75, 31.4, ','},
    {"label then xyz, semicolon", "sxyz", "A1;450.25;120.75;31.4\n", true, 450.25, 120.75, 31.4, ';'},
    {"runs of mixed separators are one", "xyz", "1,, ;\t2;;3\n", true, 1, 2, 3, ','},
    {"skips between fields", "xsysz", "1 9 2 9 3\n", true, 1, 2, 3, ' '},
    {"trailing s needs a fourth field", "xyzs", "1 2 3\n", false, 0, 0, 0, ' '},
    {"trailing s with a fourth field", "xyzs", "1 2 3 label\n", true, 1, 2, 3, ' '},
    {"heading of column names", "xyz", "x,y,z\n", false, 0, 0, 0, ' '},
    {"unit letters after the numbers", "xyz", "1.5m,2.5m,3.5m\n", true, 1.5, 2.5, 3.5, ','},
    {"two leading spaces give the space", "xyz", "  1,2,3\n", true, 1, 2, 3, ' '},
    {"too few fields", "xyz", "1 2\n", false, 0, 0, 0, ' '},
    {"too few fields, trailing separator", "xyz", "1 2 \n", false, 0, 0, 0, ' '},
    {"empty line", "xyz", "\n", false, 0, 0, 0, ' '},
    {"no line feed at end of file", "xyz", "1 2 3", true, 1, 2, 3, ' '},
    {"carriage return ends the last field", "xyz", "1 2 3\r\n", true, 1, 2, 3, ' '},
    {"letter given twice: later value stands", "xxyz", "1 2 3 4\n", true, 2, 3, 4, ' '},
    {"field order follows the letters", "zyx", "3 2 1\n", true, 1, 2, 3, ' '},
    {"parse string without z", "xy", "1 2 3\n", false, 0, 0, 0, ' '},
    {"not a number in a coordinate field", "xyz", "1 two 3\n", false, 0, 0, 0, ' '},
    {"NaN is no coordinate", "xyz", "nan 2 3\n", false, 0, 0, 0, ' '},
    {"overflow to infinity is no coordinate", "xyz", "1 2 1e999\n", false, 0, 0, 0, ' '},
    {"negative and exponent values", "xyz", "-1.25e2;+7;-0\n", true, -125, 7, 0, ';'},
};

TEST(ParseControlPoint, CaseTable) {
  for (const ParseCase& c : parse_cases) {
    SCOPED_TRACE(c.name);
    ControlPoint cp;
    testing::internal::CaptureStderr();
    bool accepted = parse_control_point(c.parse_string, c.line, &cp);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(accepted, c.accepted);
    if (!accepted) continue;
    EXPECT_EQ(cp.x, c.x);
    EXPECT_EQ(cp.y, c.y);
    EXPECT_EQ(cp.z, c.z);
    EXPECT_EQ(find_output_separator(c.line), c.separator);
  }
}

// An unknown letter is reported for every line, with the rest of the parse
// string, and does not stop the line from being a control point.
TEST(ParseControlPoint, UnknownLetterIsReportedAndPassedOver) {
  ControlPoint cp;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(parse_control_point("sxqyz", "P7 1 2 3\n", &cp));
  ASSERT_TRUE(parse_control_point("sxqyz", "P8 4 5 6\n", &cp));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ERROR: next symbol 'qyz' unknown in parse control string\n"
            "ERROR: next symbol 'qyz' unknown in parse control string\n");
  EXPECT_EQ(cp.x, 4);
  EXPECT_EQ(cp.y, 5);
  EXPECT_EQ(cp.z, 6);
}

// The unknown letter does not consume a field: "xXyz" still reads 1 2 3.
TEST(ParseControlPoint, UnknownLetterConsumesNoField) {
  ControlPoint cp;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(parse_control_point("xXyz", "1 2 3\n", &cp));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(cp.y, 2);
  EXPECT_EQ(cp.z, 3);
}

}  // namespace
