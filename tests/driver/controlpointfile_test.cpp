#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/controlpointfile.h"

namespace {

std::string write_temp_file(const std::string& text) {
  char path[] = "/tmp/cpfileXXXXXX";
  int fd = mkstemp(path);
  EXPECT_GE(fd, 0);
  FILE* f = fdopen(fd, "w");
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  return path;
}

std::vector<std::string> read_all(ControlPointFile& file) {
  std::vector<std::string> lines;
  while (const char* line = file.read_line()) lines.push_back(line);
  return lines;
}

// A physical line of 1,200 characters comes back as pieces of at most 511.
TEST(ControlPointFile, LongLinesComeInPieces) {
  std::string long_line(1199, 'a');
  std::string path = write_temp_file("first\n" + long_line + "\nlast");
  ControlPointFile file;
  ASSERT_TRUE(file.open(path.c_str()));
  std::vector<std::string> lines = read_all(file);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "first\n");
  EXPECT_EQ(lines[1], std::string(511, 'a'));
  EXPECT_EQ(lines[2], std::string(511, 'a'));
  EXPECT_EQ(lines[3], std::string(177, 'a') + "\n");
  EXPECT_EQ(lines[4], "last");
  std::remove(path.c_str());
}

TEST(ControlPointFile, SkipCountsLinesAndPieces) {
  struct Case {
    const char* name;
    int skip;
    bool has_line;
    std::string line_after;
  };
  std::string path = write_temp_file("h1\n" + std::string(600, 'b') + "\nd1\nd2\n");
  const Case cases[] = {
      {"negative skips none", -3, true, "h1\n"},
      {"zero skips none", 0, true, "h1\n"},
      {"one", 1, true, std::string(511, 'b')},
      {"the two pieces of a long line are two lines", 3, true, "d1\n"},
      {"more than the file holds", 50, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ControlPointFile file;
    ASSERT_TRUE(file.open(path.c_str()));
    file.skip_lines(c.skip);
    const char* line = file.read_line();
    ASSERT_EQ(line != nullptr, c.has_line);
    if (line != nullptr) {
      EXPECT_EQ(std::string(line), c.line_after);
    }
  }
  std::remove(path.c_str());
}

TEST(ControlPointFile, MissingFileDoesNotOpen) {
  ControlPointFile file;
  EXPECT_FALSE(file.open("/nonexistent-dir/cp.txt"));
  EXPECT_EQ(file.read_line(), nullptr);
}

}  // namespace
