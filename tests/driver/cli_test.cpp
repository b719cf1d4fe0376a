// The program's command line: every own option with its message and exit
// code, the parsers' failures, the layer checks, the console questions and
// the ENTER waits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/program_runner.h"
#include "filters/lasfilter.h"
#include "support/lastestfiles.h"

namespace {

const char* const four_layer_warnings =
    "WARNING: do not expect LAY files to work across different versions\n"
    "         of Quillbox because the development of Strataset is still\n"
    "         not completed. this is just an awesome prototype as proof\n"
    "         of concept. we continue to gather community input ... (-;\n";

const char* const usage_text =
    "usage:\n"
    "tiecheck -i lidar.las -cp cp.txt -keep_class 2\n"
    "tiecheck -i lidar.las -cp cp.csv -keep_class 2 8 -parse sxyz -step 2 -adjust_z -odix _adjusted -oqpk\n"
    "tiecheck -i lidar.qpk -cp cp.csv -keep_class 2 8 -parse xsysz -cp_out cp_out.csv\n"
    "tiecheck -i *.las -cp cp.txt -skip 3 -keep_class 2\n"
    "tiecheck -i lidar.txt -iparse cssxyz -cp cp.txt -parse ssxyz -skip 3 -keep_class 2 8\n"
    "tiecheck -i flight1*.txt -iparse sxyz -iskip 2 -cp cp.txt -parse sssxyz -skip 1\n"
    "tiecheck -h\n";

const char* const input_help =
    "Supported LAS Inputs\n"
    "  -i lidar.las\n"
    "  -i lidar.qpk\n"
    "  -i lidar1.las lidar2.las lidar3.las -merged\n"
    "  -i *.las - merged\n"
    "  -i flight0??.qpk flight1??.qpk\n"
    "  -i terrasolid.bin\n"
    "  -i esri.shp\n"
    "  -i lidar.txt -iparse xyzti -iskip 2 (on-the-fly from ASCII)\n"
    "  -i lidar.txt -iparse xyzi -itranslate_intensity 1024\n"
    "  -lof file_list.txt\n"
    "  -stdin (pipe from stdin)\n"
    "  -rescale 0.01 0.01 0.001\n"
    "  -rescale_xy 0.01 0.01\n"
    "  -rescale_z 0.01\n"
    "  -reoffset 600000 4000000 0\n"
    "Fast AOI Queries for LAS/QPK with spatial indexing LAX files\n"
    "  -inside min_x min_y max_x max_y\n"
    "  -inside_tile ll_x ll_y size\n"
    "  -inside_circle center_x center_y radius\n";

const char* const output_help =
    "Supported LAS Outputs\n"
    "  -o lidar.las\n"
    "  -o lidar.qpk\n"
    "  -o xyzta.txt -oparse xyzta (on-the-fly to ASCII)\n"
    "  -o terrasolid.bin\n"
    "  -odir C:\\data\\ground (specify output directory)\n"
    "  -odix _classified (specify file name appendix)\n"
    "  -ocut 2 (cut the last two characters from name)\n"
    "  -olas -oqpk -otxt -obin -oqi (specify format)\n"
    "  -stdout (pipe to stdout)\n"
    "  -nil    (pipe to NULL)\n";

// A 21 by 21 grid of unit spacing on z = 100 + x / 2 + y / 4 (relative to
// 1000, 2000), and two control points on it, 0.25 below and 0.5 above.
class ProgramTest : public testing::Test {
 protected:
  void SetUp() override {
    std::vector<lastest::Point> points;
    for (int y = 0; y <= 20; y++) {
      for (int x = 0; x <= 20; x++) points.push_back({1000.0 + x, 2000.0 + y, 100 + x * 0.5 + y * 0.25});
    }
    lastest::Quantization q;
    q.scale[0] = q.scale[1] = 0.25;
    q.scale[2] = 0.125;
    ASSERT_TRUE(lastest::write_las(dir_.file("a.las"), points, q));
    ASSERT_TRUE(lastest::write_las(dir_.file("b.las"), points, q));
    dir_.write("cp.txt", "1005.5 2005.5 103.875\n1010.5 2012.5 108.875\n");
    dir_.write("far.txt", "9000 9000 0\n");
    dir_.write("empty.txt", "no control point here\n");
  }
  ProgramResult run(const std::vector<std::string>& args, const std::string& input = "") {
    return run_program(args, input, dir_.path());
  }
  lastest::TempDir dir_;
};

const char* const two_sampled = "sampled TIN at 2 of 2 control points.\n";

std::string filter_help() {
  testing::internal::CaptureStderr();
  LASfilter::usage();
  return testing::internal::GetCapturedStderr();
}

TEST_F(ProgramTest, OptionsMessagesAndExitCodes) {
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string err;
  };
  const Case cases[] = {
      {{"-cp"}, 1, "ERROR: '-cp' needs 1 argument: <control point file name>\n"},
      {{"-cp_ignore_diff_above"}, 1, "ERROR: '-cp_ignore_diff_above' needs 1 argument: above\n"},
      {{"-cp_ignore_diff_below"}, 1, "ERROR: '-cp_ignore_diff_below' needs 1 argument: below\n"},
      {{"-cp_ignore_diff"}, 1, "ERROR: '-cp_ignore_diff' needs 1 argument: value\n"},
      {{"-cp_ignore_diff", "0"}, 1, "ERROR: '-cp_ignore_diff' needs positive value as argument, not '0'\n"},
      {{"-cp_ignore_diff", "-0.3"}, 1, "ERROR: '-cp_ignore_diff' needs positive value as argument, not '-0.3'\n"},
      {{"-cp_out"}, 1, "ERROR: '-cp_out' needs 1 argument: <control point output file name>\n"},
      {{"-parse"}, 1, "ERROR: '-parse' needs 1 argument: <parse string>\n"},
      {{"-cp_parse"}, 1, "ERROR: '-cp_parse' needs 1 argument: <parse string>\n"},
      {{"-step"}, 1, "ERROR: '-step' needs 1 argument: <step size>\n"},
      {{"-step", "abc"}, 1, "ERROR: '-step' needs 1 argument: <step size> but 'abc' in not a valid value\n"},
      {{"-step", "-2"}, 1, "ERROR: '-step' needs 1 argument: <step size> but -2 in not a valid value\n"},
      {{"-step", "0"}, 1, "ERROR: '-step' needs 1 argument: <step size> but 0 in not a valid value\n"},
      {{"-step", "nan"}, 1, "ERROR: '-step' needs 1 argument: <step size> but nan in not a valid value\n"},
      {{"-skip"}, 1, "ERROR: '-skip' needs 1 argument: <number of lines>\n"},
      {{"-ilaydir"}, 1, "ERROR: '-ilaydir' needs 1 argument: directory name\n"},
      {{"-olaydir"}, 1, "ERROR: '-olaydir' needs 1 argument: directory name\n"},
      {{"-frobnicate"}, 1, "ERROR: cannot understand argument '-frobnicate'\n"},
      {{"-cp", "cp.txt", "stray"}, 1, "ERROR: cannot understand argument 'stray'\n"},
      {{"-version"}, 0, "tiecheck of Quillbox, version 221128\n"},
      {{"-gui"}, 1,
       "WARNING: not compiled with GUI support. ignoring '-gui' ...\n"
       "ERROR: no control point file specified\n"},
      {{"-h"}, 1, filter_help() + input_help + output_help + "ERROR: cannot understand argument '-h'\n"},
      {{"-keep_class"}, 1, "ERROR: '-keep_class' needs at least 1 argument: classification\n"},
      // The parsers in front of the driver.
      {{"-epsg", "40000"}, 1, "ERROR: '-epsg' needs 1 argument: EPSG code but 40000 is not a valid code\n"},
      {{"-i"}, 1, "ERROR: '-i' needs at least 1 argument: file_name or wild_card\n"},
      {{"-odir", "nowhere"}, 1, "ERROR: 'nowhere' is not a valid directory\n"},
      // The run's first checks.
      {{"-i", "a.las"}, 1, "ERROR: no control point file specified\n"},
      {{"-cp", "cp.txt"}, 1, "ERROR: no input specified\n"},
      {{"-i", "a.las", "-o", "a.las", "-cp", "cp.txt"}, 1,
       std::string("ERROR: input and output file name are identical\n") + usage_text},
      {{"-i", "a.las", "-cp", "missing.txt"}, 1, "ERROR: could not open 'missing.txt'\n"},
      {{"-i", "a.las", "-cp", "empty.txt"}, 1, "ERROR: did not find any control points in 'empty.txt'\n"},
      {{"-i", "a.las", "-cp", "cp.txt", "-quiet"}, 0, two_sampled},
      {{"-i", "a.las", "-cp", "cp.txt", "-quiet", "-adjust_z", "-o", "adjusted.las"}, 0, two_sampled},
      {{"-i", "a.las", "-cp", "cp.txt", "-quiet", "-adjust_z", "-o", "./a.las"}, 1,
       "ERROR: output './a.las' would overwrite the input 'a.las'\n"},
      // An argument typed with the dash of the Windows-1252 code page.
      {{"-i", "a.las", "\x96" "cp", "cp.txt", "\x96quiet"}, 0, two_sampled},
      // Layer checks and layer runs.
      {{"-ilay", "-stdin", "-cp", "cp.txt"}, 1, std::string(four_layer_warnings) +
                                                   "ERROR: cannot use '-ilay' for piped input\n"},
      {{"-quiet", "-ilay", "-stdin"}, 1, "ERROR: cannot use '-ilay' for piped input\n"},
      {{"-olay", "-inside", "0", "0", "1", "1", "-i", "a.las"}, 1,
       std::string(four_layer_warnings) + "ERROR: inside queries and '-olay' cannot currently be combined.\n"},
      {{"-ilaydir", "layers", "-buffered", "10", "-i", "a.las", "b.las"}, 1,
       std::string(four_layer_warnings) + "ERROR: on-the-fly buffering and '-ilay' cannot currently be combined.\n"},
      {{"-i", "a.las", "-cp", "cp.txt", "-ilay", "3", "-quiet"}, 1,
       "ERROR: layer files ('-ilay') are not supported yet\n"},
      // "-ilay" takes no count from "-cp": the control-point file is set.
      {{"-i", "a.las", "-ilay", "-cp", "cp.txt", "-quiet"}, 1,
       "ERROR: layer files ('-ilay') are not supported yet\n"},
      {{"-i", "a.las", "-ilay", "-5", "-cp", "cp.txt", "-quiet"}, 1,
       "ERROR: layer files ('-ilay') are not supported yet\n"},
      {{"-i", "a.las", "-ilay_whatever", "-cp", "cp.txt", "-quiet"}, 1,
       "ERROR: layer files ('-ilay') are not supported yet\n"},
      {{"-i", "a.las", "-cp", "cp.txt", "-olaydir", "layers", "-adjust_z", "-quiet"}, 1,
       std::string(two_sampled) + "ERROR: layer files ('-olay') are not supported yet\n"},
  };
  for (const Case& c : cases) {
    std::string trace;
    for (const std::string& a : c.args) trace += a + " ";
    SCOPED_TRACE(trace);
    const ProgramResult r = run(c.args);
    EXPECT_EQ(r.exit_code, c.exit_code);
    EXPECT_EQ(r.err, c.err);
  }
}

// The driver's run options reach the run: thresholds, skipped lines,
// parse string, step.
TEST_F(ProgramTest, OptionsReachTheRun) {
  dir_.write("cp_heading.txt", "id x y z\nA 1005.5 2005.5 103.875\nB 1010.5 2012.5 108.875\n");
  const std::string a = "1005.5 2005.5 103.875\n";
  const std::string b = "1010.5 2012.5 108.875\n";
  struct Case {
    std::vector<std::string> options;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {{"-cp_ignore_diff", "0.3"}, "used 0.25 104.125 " + a + "ignored -0.5 108.375 " + b,
       "WARNING: there were 1 ignored control points with diff above 0.3 or below -0.3.\n"
       "sampled TIN at 1 of 2 control points.\n"},
      {{"-cp_ignore_diff_above", "0.2"}, "ignored 0.25 104.125 " + a + "used -0.5 108.375 " + b,
       "WARNING: there were 1 ignored control points with diff above 0.2 or below 0.\n"
       "sampled TIN at 1 of 2 control points.\n"},
      {{"-cp_ignore_diff_below", "-0.4"}, "used 0.25 104.125 " + a + "ignored -0.5 108.375 " + b,
       "WARNING: there were 1 ignored control points with diff above 0 or below -0.4.\n"
       "sampled TIN at 1 of 2 control points.\n"},
      {{"-cp", "cp_heading.txt", "-parse", "sxyz", "-skip", "1"},
       "0.25 104.125 A " + a + "-0.5 108.375 B " + b, two_sampled},
      {{"-cp", "cp_heading.txt", "-cp_parse", "sxyz"},
       "diff lidar_z id x y z\n0.25 104.125 A " + a + "-0.5 108.375 B " + b, two_sampled},
      {{"-step", "0.4"}, "- - " + a + "- - " + b,
       "WARNING: there were 2 control points without sufficient LIDAR coverage.\n"
       "sampled TIN at 0 of 2 control points.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options[0] + " " + c.options[1]);
    std::vector<std::string> args = {"-i", "a.las", "-cp", "cp.txt", "-quiet"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ProgramResult r = run(args);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
}

TEST_F(ProgramTest, WaitAfterSuccess) {
  const ProgramResult r = run({"-i", "a.las", "-cp", "cp.txt", "-quiet", "-wait"}, "\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, std::string(two_sampled) + "<press ENTER>\n");
  // Errors of a command-line run never wait.
  const ProgramResult e = run({"-i", "a.las", "-cp", "missing.txt", "-wait"});
  EXPECT_EQ(e.err, "ERROR: could not open 'missing.txt'\n");
}

// LAS points piped into standard input.
TEST_F(ProgramTest, PointsFromStandardInput) {
  const ProgramResult r = run({"-stdin", "-cp", "cp.txt", "-quiet"}, lastest::read_file(dir_.file("a.las")));
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, two_sampled);
  EXPECT_EQ(r.out, "0.25 104.125 1005.5 2005.5 103.875\n-0.5 108.375 1010.5 2012.5 108.875\n");
}

// "-cp_out" goes into the "-odir" directory under its base name.
TEST_F(ProgramTest, ControlPointOutputIntoOutputDirectory) {
  ASSERT_EQ(mkdir(dir_.file("out").c_str(), 0755), 0);
  const ProgramResult r = run({"-i", "a.las", "-cp", "cp.txt", "-quiet", "-odir", "out", "-cp_out", "some/where/cp.txt"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(lastest::read_file(dir_.file("out/cp.txt")),
            "0.25 104.125 1005.5 2005.5 103.875\n-0.5 108.375 1010.5 2012.5 108.875\n");
}

TEST_F(ProgramTest, BrokenInputFile) {
  dir_.write("broken.las", "this is not a LAS file");
  const ProgramResult r = run({"-i", "broken.las", "-cp", "cp.txt"});
  EXPECT_EQ(r.exit_code, 1);
  const std::string tail =
      "ERROR: cannot open lasreaderlas with file name 'broken.las'\n"
      "ERROR: could not open lasreader\n";
  ASSERT_GE(r.err.size(), tail.size());
  EXPECT_EQ(r.err.substr(r.err.size() - tail.size()), tail);
  EXPECT_EQ(r.out, "");
}

// Without arguments the program asks for the two names, runs with the
// defaults and waits for ENTER before every end but the no-coverage end.
TEST_F(ProgramTest, ConsoleMode) {
  const std::string prompt = std::string(TIECHECK_BINARY) +
                             " is better run in the command line\n"
                             "enter input file: enter control point file: ";
  ProgramResult r = run({}, "a.las\ncp.txt\n\n");
  EXPECT_EQ(r.exit_code, 0);
  ASSERT_EQ(r.err.rfind(prompt, 0), 0u) << r.err;
  std::string rest = without_lines(r.err.substr(prompt.size()), "took ");
  EXPECT_EQ(rest, std::string(two_sampled) +
                      "avgabs/rms/stddev/avg of elevation errors are 0.375/0.395285/0.53033/-0.125 meter. skew is 0.\n"
                      "<press ENTER>\n");
  EXPECT_EQ(r.out, "0.25 104.125 1005.5 2005.5 103.875\n-0.5 108.375 1010.5 2012.5 108.875\n");

  r = run({}, "missing.las\ncp.txt\n\n");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, prompt + "ERROR: no input specified\n<press ENTER>\n");

  r = run({}, "a.las\r\nempty.txt\r\n");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, prompt + "ERROR: did not find any control points in 'empty.txt'\n<press ENTER>\n");

  r = run({}, "a.las\nfar.txt\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, prompt + "WARNING: none of 441 points cover any control point. all filtered or too far.\n");
  EXPECT_EQ(r.out, "- - 9000 9000 0\n");

  // Standard input ends at once: empty answers, and the wait does not hang.
  r = run({}, "");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, prompt + "ERROR: no control point file specified\n<press ENTER>\n");
}

}  // namespace
