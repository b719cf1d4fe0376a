// The driver's own options and the argument preparation, in process: the
// settings they leave that no message shows (layer count and folders, the
// command-line record).
#include "driver/tiecheckmain.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/runsettings.h"
#include "support/argvector.h"

namespace {

using Args = lastest::ArgVector;

int parse(RunSettings& settings, std::vector<std::string> args) {
  Args a(std::move(args));
  testing::internal::CaptureStderr();
  const int code = parse_own_options(a.argc(), a.argv(), settings);
  testing::internal::GetCapturedStderr();
  return code;
}

TEST(OwnOptions, LayerOptions) {
  struct Case {
    std::vector<std::string> args;
    bool input;
    int32_t count;
    std::string input_directory;
    bool output;
    std::string output_directory;
    std::string cp;
  };
  const Case cases[] = {
      {{"-ilay", "3"}, true, 3, "", false, "", ""},
      {{"-ilay", "-cp", "cp.txt"}, true, 2147483647, "", false, "", "cp.txt"},
      {{"-ilay", "-5"}, true, -5, "", false, "", ""},
      {{"-ilay"}, true, 2147483647, "", false, "", ""},
      {{"-ilayers"}, true, 2147483647, "", false, "", ""},
      {{"-ilaydir", "in", "-olaydir", "out"}, true, 2147483647, "in", true, "out", ""},
      {{"-olay_anything"}, false, 2147483647, "", true, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    RunSettings settings;
    EXPECT_EQ(parse(settings, c.args), -1);
    EXPECT_EQ(settings.layer_input, c.input);
    EXPECT_EQ(settings.layer_count, c.count);
    EXPECT_EQ(settings.layer_input_directory, c.input_directory);
    EXPECT_EQ(settings.layer_output, c.output);
    EXPECT_EQ(settings.layer_output_directory, c.output_directory);
    EXPECT_EQ(settings.cp_file_name, c.cp);
  }
}

TEST(OwnOptions, ValuesAndFlags) {
  RunSettings settings;
  ASSERT_EQ(parse(settings, {"", "-cp_ignore_diff", "0.3", "-step", "2.5", "-skip", "3", "-cp_out", "o.csv", "",
                             "-cp_parse", "ssxyz", "-vv", "-wait", "-adjust_z", "-quiet"}),
            -1);
  EXPECT_EQ(settings.ignore_above, 0.3);
  EXPECT_EQ(settings.ignore_below, -0.3);
  EXPECT_EQ(settings.step, 2.5f);
  EXPECT_EQ(settings.skip, 3);
  EXPECT_EQ(settings.cp_out_name, "o.csv");
  EXPECT_EQ(settings.cp_parse_string, "ssxyz");
  EXPECT_TRUE(settings.verbose && settings.very_verbose && settings.wait && settings.adjust_z && settings.quiet);
  EXPECT_FALSE(settings.interactive);

  RunSettings version;
  EXPECT_EQ(parse(version, {"-version", "-unknown"}), 0);
  RunSettings unknown;
  EXPECT_EQ(parse(unknown, {"-unknown", "-version"}), 1);
}

// A leading 0x96 becomes '-' in every argument but the program name; the
// command-line record exists only with an argument beginning "-olay" and
// is cut to its buffer.
TEST(ArgumentPreparation, DashesAndCommandLineRecord) {
  Args a({"\x96" "cp", "x\x96y", "-olaydir", "layers"});
  RunSettings settings;
  prepare_arguments(a.argc(), a.argv(), settings);
  EXPECT_EQ(a.arg(1), "-cp");
  EXPECT_EQ(a.arg(2), "x\x96y");
  EXPECT_TRUE(settings.have_command_line_record);
  EXPECT_EQ(settings.command_line_record, "tiecheck -cp x\x96y -olaydir layers");

  Args plain({"-i", "a.las"});
  RunSettings none;
  prepare_arguments(plain.argc(), plain.argv(), none);
  EXPECT_FALSE(none.have_command_line_record);

  Args long_line({"-olay", std::string(5000, 'a')});
  RunSettings cut;
  prepare_arguments(long_line.argc(), long_line.argv(), cut);
  EXPECT_EQ(cut.command_line_record.size(), command_line_record_size - 1);
  EXPECT_EQ(cut.command_line_record.rfind("tiecheck -olay aaa", 0), 0u);
}

}  // namespace
