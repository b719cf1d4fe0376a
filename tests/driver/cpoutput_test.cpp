#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "driver/cpoutput.h"

namespace {

TEST(CpOutputPath, NameRules) {
  struct Case {
    const char* name;
    const char* cp_out;
    const char* directory;
    const char* path;
  };
  const Case cases[] = {
      {"no output directory: as given", "sub/out.csv", nullptr, "sub/out.csv"},
      {"empty output directory: as given", "sub/out.csv", "", "sub/out.csv"},
      {"directory gets the base name", "sub/dir/out.csv", "/tmp/odir", "/tmp/odir/out.csv"},
      {"backslash paths give their base name", "a\\b\\out.csv", "/tmp/odir", "/tmp/odir/out.csv"},
      {"a colon ends the path part", "d:out.csv", "/tmp/odir", "/tmp/odir/out.csv"},
      {"drive-qualified path: as given", "C:\\data\\out.csv", "/tmp/odir", "C:\\data\\out.csv"},
      {"plain name", "out.csv", "odir", "odir/out.csv"},
      {"the first character is never a separator", "/out.csv", "odir", "odir//out.csv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(cp_output_path(c.cp_out, c.directory), c.path);
  }
}

TEST(OpenCpOutput, WithoutNameIsStandardOutput) {
  EXPECT_EQ(open_cp_output(nullptr, "/tmp"), stdout);
  EXPECT_EQ(open_cp_output("", nullptr), stdout);
}

TEST(OpenCpOutput, WritesIntoTheOutputDirectory) {
  char dir[] = "/tmp/cpoutXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  FILE* out = open_cp_output("elsewhere/cp_out.csv", dir);
  ASSERT_NE(out, nullptr);
  ASSERT_NE(out, stdout);
  std::fputs("line\n", out);
  close_cp_output(out);
  std::string path = std::string(dir) + "/cp_out.csv";
  FILE* in = std::fopen(path.c_str(), "r");
  ASSERT_NE(in, nullptr);
  char text[16] = {};
  ASSERT_NE(std::fgets(text, sizeof(text), in), nullptr);
  std::fclose(in);
  EXPECT_STREQ(text, "line\n");
  std::remove(path.c_str());
  rmdir(dir);
}

TEST(OpenCpOutput, UnopenableFileFallsBackToStandardOutput) {
  testing::internal::CaptureStderr();
  FILE* out = open_cp_output("missing/cp_out.csv", "/nonexistent-dir");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ERROR: could not open 'missing/cp_out.csv'. using stdout ...\n");
  EXPECT_EQ(out, stdout);
}

}  // namespace
