#include <gtest/gtest.h>

#include <cstdio>
#include <string>

// The program answers "-version" with one line naming the suite and 221128.
TEST(Program, VersionLine) {
  std::string cmd = std::string(TIECHECK_BINARY) + " -version 2>&1";
  FILE* pipe = popen(cmd.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[256] = {0};
  ASSERT_NE(fgets(line, sizeof(line), pipe), nullptr);
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_NE(std::string(line).find("221128"), std::string::npos);
}
