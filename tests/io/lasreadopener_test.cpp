#include "io/lasreadopener.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "filters/lasfilter.h"
#include "io/lasreader.h"
#include "io/lasreader_merged.h"
#include "las/lasreader_las.h"
#include "support/lastestfiles.h"
#include "support/argvector.h"

namespace {

using Args = lastest::ArgVector;

struct Parsed {
  bool ok;
  std::string err;
  std::vector<std::string> left;
};

Parsed parse(LASreadOpener& opener, std::vector<std::string> args, bool parse_ignore = false) {
  Args a(std::move(args));
  testing::internal::CaptureStderr();
  const bool ok = opener.parse(a.argc(), a.argv(), parse_ignore);
  return {ok, testing::internal::GetCapturedStderr(), a.left()};
}

std::vector<std::string> names(const LASreadOpener& opener) {
  std::vector<std::string> list;
  for (uint32_t i = 0; i < opener.get_file_name_number(); i++) list.emplace_back(opener.get_file_name(i));
  return list;
}

class ReadOpenerFiles : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* n : {"a1.las", "a2.las", "b1.las", "notes.txt"}) dir_.write(n, "x");
  }
  lastest::TempDir dir_;
};

// Wildcards keep the directory part of the pattern; a pattern without one
// gives bare names; no match adds and prints nothing.
TEST_F(ReadOpenerFiles, WildcardsAndDirectoryParts) {
  LASreadOpener opener;
  Parsed p = parse(opener, {"-i", dir_.path() + "/a*.las", dir_.path() + "/nothing*.las"});
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.err, "");
  EXPECT_TRUE(p.left.empty());
  EXPECT_EQ(names(opener), (std::vector<std::string>{dir_.file("a1.las"), dir_.file("a2.las")}));

  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
  ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  LASreadOpener bare;
  EXPECT_TRUE(bare.add_file_name("*1.las"));
  EXPECT_FALSE(bare.add_file_name("*.qpk"));
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_EQ(names(bare), (std::vector<std::string>{"a1.las", "b1.las"}));
}

// A plain name that does not exist is skipped with a warning, so that a
// run over several inputs does not silently miss one.
TEST_F(ReadOpenerFiles, MissingPlainNameWarns) {
  LASreadOpener opener;
  const std::string missing = dir_.file("missing.las");
  Parsed p = parse(opener, {"-i", dir_.file("a1.las"), missing});
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.err, "WARNING: input file '" + missing + "' not found. skipping ...\n");
  EXPECT_EQ(names(opener), std::vector<std::string>{dir_.file("a1.las")});
}

TEST_F(ReadOpenerFiles, UniqueKeepsFirstOccurrence) {
  LASreadOpener opener;
  Parsed p = parse(opener, {"-unique", "-i", dir_.file("a1.las"), dir_.file("a2.las"), "-v", "-i",
                            dir_.file("a1.las")});
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.err, "");
  EXPECT_EQ(p.left, std::vector<std::string>{"-v"});
  EXPECT_EQ(names(opener), (std::vector<std::string>{dir_.file("a1.las"), dir_.file("a2.las")}));

  LASreadOpener twice;
  parse(twice, {"-i", dir_.file("a1.las"), "-i", dir_.file("a1.las")});
  EXPECT_EQ(twice.get_file_name_number(), 2u);
}

// The three line forms of a file list: bounds, ID, plain name or wildcard.
TEST_F(ReadOpenerFiles, ListOfFilesInThreeForms) {
  const std::string list = dir_.write("list.txt", "7,1200,10.5,20.5,30.5,40.5, " + dir_.file("a1.las") +
                                                      " \t\r\n"
                                                      "\n"
                                                      "9,\t" +
                                                      dir_.file("a2.las") + "\n" + dir_.path() + "/b*.las\n");
  LASreadOpener opener;
  Parsed p = parse(opener, {"-lof", list});
  ASSERT_TRUE(p.ok) << p.err;
  EXPECT_TRUE(p.left.empty());
  ASSERT_EQ(names(opener), (std::vector<std::string>{dir_.file("a1.las"), dir_.file("a2.las"), dir_.file("b1.las")}));
  const LASinputFile& bounded = opener.get_file(0);
  EXPECT_TRUE(bounded.have_ID && bounded.have_bounds);
  EXPECT_EQ(bounded.ID, 7u);
  EXPECT_EQ(bounded.npoints, 1200);
  EXPECT_EQ(bounded.min_x, 10.5);
  EXPECT_EQ(bounded.min_y, 20.5);
  EXPECT_EQ(bounded.max_x, 30.5);
  EXPECT_EQ(bounded.max_y, 40.5);
  EXPECT_TRUE(opener.get_file(1).have_ID);
  EXPECT_FALSE(opener.get_file(1).have_bounds);
  EXPECT_EQ(opener.get_file(1).ID, 9u);
  EXPECT_FALSE(opener.get_file(2).have_ID);

  LASreadOpener missing;
  p = parse(missing, {"-lof", dir_.file("nolist.txt")});
  EXPECT_FALSE(p.ok);
  EXPECT_EQ(p.err, "ERROR: cannot open '" + dir_.file("nolist.txt") + "'\nERROR: cannot load list of files '" +
                       dir_.file("nolist.txt") + "'\n");
}

// Every option error: the exact message and a failed parse.
TEST(ReadOpenerParse, OptionErrors) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"-i"}, "ERROR: '-i' needs at least 1 argument: file_name or wild_card\n"},
      {{"-i", "-v"}, "ERROR: '-i' needs at least 1 argument: file_name or wild_card\n"},
      {{"-ignore_class", "7"}, "ERROR: this tool does not process '-ignore_xxxx' options\n"},
      {{"-inside_tile", "1", "2"}, "ERROR: '-inside_tile' needs 3 arguments: ll_x ll_y size\n"},
      {{"-inside_tile", "1", "y", "3"},
       "ERROR: '-inside_tile' needs 3 arguments: ll_x ll_y size, but 'y' is not a valid ll_y.\n"},
      {{"-inside_tile", "1", "2", "0"},
       "ERROR: '-inside_tile' needs 3 arguments: ll_x ll_y size, but 0.000000 is not valid a size.\n"},
      {{"-inside_circle", "1", "2", "-1"},
       "ERROR: '-inside_circle' needs 3 arguments: center_x center_y radius, but -1.000000 is not valid a radius.\n"},
      {{"-inside_circle", "x", "2", "1"},
       "ERROR: '-inside_circle' needs 3 arguments: center_x center_y radius, but 'x' is not a valid center_x.\n"},
      {{"-inside", "10", "0", "5", "1"},
       "ERROR: '-inside' needs 4 arguments: min_x min_y max_x max_y, but 10.000000 / 5.000000 are not a valid "
       "min_x / max_x pair.\n"},
      {{"-inside_rectangle", "0", "3", "5", "3"},
       "ERROR: '-inside_rectangle' needs 4 arguments: min_x min_y max_x max_y, but 3.000000 / 3.000000 are not a "
       "valid min_y / max_y pair.\n"},
      {{"-inside", "0", "0", "1"}, "ERROR: '-inside' needs 4 arguments: min_x min_y max_x max_y\n"},
      {{"-inside_polygon"}, "ERROR: unknown '-inside' option '-inside_polygon'\n"},
      {{"-iadd_extra", "4", "name"}, "ERROR: '-iadd_extra' needs 3 arguments: data_type name description\n"},
      {{"-iparse"}, "ERROR: '-iparse' needs 1 argument: string\n"},
      {{"-iskip"}, "ERROR: '-iskip' needs 1 argument: number_of_lines\n"},
      {{"-iskip", "two"}, "ERROR: '-iskip' needs 1 argument: number_of_lines but 'two' is not a valid number.\n"},
      {{"-iskip", "0"}, "ERROR: '-iskip' needs 1 argument: number_of_lines but 0 is not valid.\n"},
      {{"-io_ibuffer", "-5"}, "ERROR: '-io_ibuffer' needs 1 argument: size but '-5' is not a valid size.\n"},
      {{"-io_ibuffer", "0"}, "ERROR: '-io_ibuffer' needs 1 argument: size but 0 is not valid.\n"},
      {{"-itranslate_intensity", "0"},
       "ERROR: '-itranslate_intensity' needs 1 argument: translation but 0.000000 is not valid.\n"},
      {{"-iscale_scan_angle", "big"}, "ERROR: '-iscale_scan_angle' needs 1 argument: scale but 'big' is not valid.\n"},
      {{"-iscale_intensity"}, "ERROR: '-iscale_intensity' needs 1 argument: scale\n"},
      {{"-rescale", "0.01", "0", "0.01"},
       "ERROR: '-rescale' needs 3 arguments: rescale_x rescale_y rescale_z, but 0.000000 is not a valid rescale_y\n"},
      {{"-rescale", "0.01", "0.01", "z"},
       "ERROR: '-rescale' needs 3 arguments: rescale_x rescale_y rescale_z, but 'z' is not a valid rescale_z\n"},
      {{"-rescale", "0.01"}, "ERROR: '-rescale' needs 3 arguments: rescale_x rescale_y rescale_z\n"},
      {{"-rescale_xy", "0.01"}, "ERROR: '-rescale_xy' needs 2 argument: rescale_x rescale_y\n"},
      {{"-rescale_xy", "0.01", "0"},
       "ERROR: '-rescale_xy' needs 3 arguments: rescale_x rescale_y, but 0.000000 is not a valid rescale_y\n"},
      {{"-rescale_z", "0"}, "ERROR: '-rescale_z' needs 1 argument: rescale_z, but 0.000000 is not a valid rescale_z\n"},
      {{"-reoffset", "1", "2"}, "ERROR: '-reoffset' needs 3 arguments: reoffset_x, reoffset_y, reoffset_z\n"},
      {{"-reoffset", "1", "2", "up"},
       "ERROR: '-reoffset' needs 3 arguments: reoffset_x, reoffset_y, reoffset_z, but 'up' is not a valid "
       "reoffset_z\n"},
      {{"-lof"}, "ERROR: '-lof' needs 1 argument: list_of_files\n"},
      {{"-faf_index"}, "ERROR: '-faf_index' needs 1 argument: index\n"},
      {{"-buffered"}, "ERROR: '-buffered' needs 1 argument: buffer_size\n"},
      {{"-buffered", "wide"}, "ERROR: '-buffered' needs 1 argument: buffer_size. but 'wide' is not a valid buffer_size\n"},
      {{"-buffered", "-3"}, "ERROR: '-buffered' needs 1 argument: buffer_size, but -3.000000 is not valid\n"},
      {{"-temp_files"}, "ERROR: '-temp_files' needs 1 argument: base name\n"},
      {{"-neighbors"}, "ERROR: '-neighbors' needs at least 1 argument: file_name or wild_card\n"},
      {{"-neighbors_lof"}, "ERROR: '-neighbors_lof' needs at least 1 argument: file_name\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : ""));
    LASreadOpener opener;
    Parsed p = parse(opener, c.args);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.err, c.err);
  }
}

// Options are consumed with their arguments; everything else stays.
TEST(ReadOpenerParse, ConsumesOwnOptionsOnly) {
  LASreadOpener opener;
  Parsed p = parse(opener, {"-cp", "cp.txt", "-rescale_xy", "0.01", "0.02", "-reoffset", "1", "2", "3",
                            "-auto_reoffset", "-iparse", "xyz", "-iskip", "2", "-io_ibuffer", "65536", "-merged",
                            "-stored", "-pipe_on", "-populate", "-comma_not_point", "-stdin", "-itxt", "-ipts",
                            "-apply_file_source_ID", "-buffered", "25", "-temp_files", "tmp", "-step", "2",
                            "-inside_tile", "100", "200", "50", "-keep_class", "2"});
  ASSERT_TRUE(p.ok) << p.err;
  EXPECT_EQ(p.left, (std::vector<std::string>{"-cp", "cp.txt", "-step", "2"}));
  ASSERT_NE(opener.get_filter(), nullptr);  // "-keep_class 2"
  EXPECT_EQ(opener.get_filter()->get_number_of_criteria(), 1u);
  ASSERT_NE(opener.get_scale_factor(), nullptr);
  EXPECT_EQ(opener.get_scale_factor()[0], 0.01);
  EXPECT_EQ(opener.get_scale_factor()[1], 0.02);
  EXPECT_EQ(opener.get_scale_factor()[2], 0.0);  // z keeps the file's scale
  EXPECT_EQ(opener.get_offset()[2], 3.0);
  EXPECT_TRUE(opener.is_auto_reoffset());
  EXPECT_STREQ(opener.get_parse_string(), "xyz");
  EXPECT_EQ(opener.get_skip_lines(), 2u);
  EXPECT_EQ(opener.get_io_ibuffer_size(), 65536u);
  EXPECT_TRUE(opener.is_merged() && opener.is_stored() && opener.is_pipe_on() && opener.is_populate_header());
  EXPECT_TRUE(opener.is_comma_not_point() && opener.is_stdin() && opener.is_itxt() && opener.is_ipts());
  EXPECT_TRUE(opener.is_apply_file_source_ID());
  EXPECT_EQ(opener.get_buffered(), 25.0f);
  EXPECT_STREQ(opener.get_temp_file_base(), "tmp");
  ASSERT_NE(opener.get_inside_tile(), nullptr);
  EXPECT_EQ(opener.get_inside_tile()[2], 50.0f);
  EXPECT_TRUE(opener.is_inside());
  EXPECT_TRUE(opener.is_piped());
  EXPECT_FALSE(opener.is_buffered());  // one input, no neighbours
}

TEST(ReadOpenerParse, HelpStopsWithoutConsuming) {
  testing::internal::CaptureStderr();
  LASfilter::usage();
  const std::string filter_help = testing::internal::GetCapturedStderr();
  LASreadOpener opener;
  Parsed p = parse(opener, {"-h", "-merged", "-keep_class", "2"});
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.left, (std::vector<std::string>{"-h", "-merged", "-keep_class", "2"}));
  ASSERT_FALSE(filter_help.empty());
  EXPECT_EQ(p.err.rfind(filter_help + "Supported LAS Inputs\n", 0), 0u);
  EXPECT_NE(p.err.find("  -inside_circle center_x center_y radius\n"), std::string::npos);
  EXPECT_FALSE(opener.is_merged());
  EXPECT_EQ(opener.get_filter(), nullptr);
}

// Without filter options no filter is kept; a filter option that fails
// fails the parse and leaves no filter behind.
TEST(ReadOpenerParse, FilterFromTheCommandLine) {
  LASreadOpener none;
  EXPECT_TRUE(parse(none, {"-merged"}).ok);
  EXPECT_EQ(none.get_filter(), nullptr);

  LASreadOpener bad;
  Parsed p = parse(bad, {"-merged", "-keep_class"});
  EXPECT_FALSE(p.ok);
  EXPECT_EQ(p.err.rfind("ERROR: ", 0), 0u) << p.err;
  EXPECT_EQ(bad.get_filter(), nullptr);

  LASreadOpener masked;
  ASSERT_TRUE(parse(masked, {"-keep_class", "2"}).ok);
  masked.set_decompress_selective(1);
  EXPECT_EQ(masked.get_decompress_selective(), 1u | masked.get_filter()->get_decompress_selective());
}

// "-faf" takes a start number only when the next argument begins with 1 to
// 9; "-faf_index" stores the index less one.
TEST(ReadOpenerParse, FlightlineNumbering) {
  struct Case {
    std::vector<std::string> args;
    int32_t start;
    int32_t index;
    std::vector<std::string> left;
    std::string err;
  };
  const Case cases[] = {
      {{"-faf", "-merged"}, 1, -1, {}, ""},
      {{"-faf", "5"}, 5, -1, {}, ""},
      {{"-files_are_flightlines", "0"}, 1, -1, {"0"}, ""},
      {{"-faf", "70000"}, 70000, -1, {},
       "WARNING: files_are_flightlines start value 70000 is too large\n"
       "WARNING: files_are_flightlines start value 70000 plus index -1 is too large\n"},
      {{"-faf", "3", "-faf_index", "65535"}, 3, 65534, {},
       "WARNING: files_are_flightlines start value 3 plus index 65535 is too large\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    LASreadOpener opener;
    Parsed p = parse(opener, c.args);
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(opener.get_files_are_flightlines(), c.start);
    EXPECT_EQ(opener.get_files_are_flightlines_index(), c.index);
    EXPECT_EQ(p.left, c.left);
    EXPECT_EQ(p.err, c.err);
  }
}

// Optional attribute numbers are taken one after the other while each
// converts (an offset may be a literal zero); a bad data type is skipped.
TEST(ReadOpenerParse, ExtraAttributes) {
  LASreadOpener opener;
  Parsed p = parse(opener, {"-iadd_extra", "4", "height", "above ground", "0.01", "0.0", "5", "-v",
                            "-iadd_attribute", "9", "amp", "amplitude", "0.01", "abc", "-iadd_extra", "11", "bad",
                            "type"});
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.left, (std::vector<std::string>{"-v", "abc"}));
  EXPECT_EQ(p.err, "WARNING: attribute data type 11 not supported. ignoring attribute 'bad'.\n");
  ASSERT_EQ(opener.get_number_attributes(), 2);
  const LASinputAttribute& a = opener.get_attribute(0);
  EXPECT_EQ(a.data_type, 4);
  EXPECT_EQ(a.name, "height");
  EXPECT_EQ(a.description, "above ground");
  EXPECT_EQ(a.scale, 0.01);
  EXPECT_EQ(a.offset, 0.0);
  EXPECT_EQ(a.pre_scale, 5.0);
  EXPECT_EQ(a.pre_offset, 0.0);
  EXPECT_EQ(a.no_data, 2e307);
  const LASinputAttribute& b = opener.get_attribute(1);
  EXPECT_EQ(b.scale, 0.01);
  EXPECT_EQ(b.offset, 0.0);
  EXPECT_EQ(b.pre_scale, 1.0);
}

TEST(ReadOpenerParse, NeighborsNeedOneBufferedInput) {
  lastest::TempDir dir;
  dir.write("n.las", "x");
  LASreadOpener two;
  Parsed p = parse(two, {"-i", dir.file("n.las"), dir.file("n.las"), "-neighbors", dir.file("n.las"), "-buffered",
                         "10"});
  EXPECT_FALSE(p.ok);
  EXPECT_EQ(p.err, "ERROR: neighbors only supported for one buffered input file, not for 2\n");
  LASreadOpener unbuffered;
  p = parse(unbuffered, {"-i", dir.file("n.las"), "-neighbors", dir.file("n.las")});
  EXPECT_FALSE(p.ok);
  EXPECT_EQ(p.err, "ERROR: neighbors only make sense when used with '-buffered 50' or similar\n");
}

class ReadOpenerOpen : public testing::Test {
 protected:
  std::string las(const std::string& name, const std::vector<lastest::Point>& points,
                  const lastest::Quantization& q = {}) {
    const std::string path = dir_.file(name);
    EXPECT_TRUE(lastest::write_las(path, points, q));
    return path;
  }
  lastest::TempDir dir_;
};

// A single input read "merged" is a plain LAS reader; several are one
// merged reader; each open advances through the list.
TEST_F(ReadOpenerOpen, MergedOnlyOverSeveralFiles) {
  const std::string a = las("a.las", {{1, 2, 3}, {4, 5, 6}});
  const std::string b = las("b.las", {{7, 8, 9}});
  LASreadOpener single;
  single.add_file_name(a.c_str());
  single.set_merged(true);
  std::unique_ptr<LASreader> reader(single.open());
  ASSERT_TRUE(reader);
  EXPECT_NE(dynamic_cast<LASreaderLAS*>(reader.get()), nullptr);
  EXPECT_FALSE(single.active());
  EXPECT_STREQ(single.get_file_name(), a.c_str());

  LASreadOpener both;
  both.add_file_name(a.c_str());
  both.add_file_name(b.c_str());
  both.set_merged(true);
  reader.reset(both.open());
  ASSERT_TRUE(reader);
  EXPECT_NE(dynamic_cast<LASreaderMerged*>(reader.get()), nullptr);
  EXPECT_EQ(reader->npoints, 3);
  int count = 0;
  while (reader->read_point()) count++;
  EXPECT_EQ(count, 3);
  EXPECT_FALSE(both.active());
  EXPECT_EQ(both.open(), nullptr);

  both.set_merged(false);
  both.reset();
  for (const std::string& expected : {a, b}) {
    ASSERT_TRUE(both.active());
    reader.reset(both.open());
    ASSERT_TRUE(reader);
    EXPECT_EQ(both.get_file_name(), expected);
  }
  EXPECT_FALSE(both.active());
}

// The filter of the command line reaches every reader: single files and
// every file of a merged reader deliver only the points it keeps.
TEST_F(ReadOpenerOpen, FilterReachesEveryReader) {
  const std::string a = las("a.las", {{1, 1, 1, 2}, {2, 2, 2, 5}, {3, 3, 3, 2}});
  const std::string b = las("b.las", {{4, 4, 4, 6}, {5, 5, 5, 2}});
  for (bool merged : {true, false}) {
    SCOPED_TRACE(merged ? "merged" : "one reader a file");
    LASreadOpener opener;
    ASSERT_TRUE(parse(opener, {"-i", a, b, "-keep_class", "2"}).ok);
    opener.set_merged(merged);
    std::vector<double> xs;
    while (opener.active()) {
      std::unique_ptr<LASreader> reader(opener.open());
      ASSERT_TRUE(reader);
      while (reader->read_point()) xs.push_back(reader->point.get_x());
    }
    EXPECT_EQ(xs, (std::vector<double>{1, 3, 5}));
  }
}

// The area options reach the reader; a LAS reader takes only the first of
// rectangle, tile and circle.
TEST_F(ReadOpenerOpen, AreaOptionsReachTheReader) {
  const std::string a = las("a.las", {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}});
  const std::string b = las("b.las", {{5, 5, 5}, {6, 6, 6}});
  struct Case {
    std::vector<std::string> options;
    uint32_t inside;
    std::vector<double> xs;
  };
  const Case cases[] = {
      {{"-inside", "2", "2", "4", "4"}, LASreader::inside_is_rectangle, {2, 3}},
      {{"-inside_tile", "3", "3", "3"}, LASreader::inside_is_tile, {3, 4, 5}},
      {{"-inside_circle", "5", "5", "1.5"}, LASreader::inside_is_circle, {4, 5, 6}},
      {{"-inside_circle", "5", "5", "1.5", "-inside", "0", "0", "2.5", "2.5"}, LASreader::inside_is_rectangle, {1, 2}},
  };
  for (bool merged : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.options[0] + (merged ? " merged" : ""));
      LASreadOpener opener;
      std::vector<std::string> args = {"-i", a, b};
      args.insert(args.end(), c.options.begin(), c.options.end());
      ASSERT_TRUE(parse(opener, args).ok);
      opener.set_merged(merged);
      std::vector<double> xs;
      while (opener.active()) {
        std::unique_ptr<LASreader> reader(opener.open());
        ASSERT_TRUE(reader);
        EXPECT_EQ(reader->get_inside(), c.inside);
        while (reader->read_point()) xs.push_back(reader->point.get_x());
      }
      EXPECT_EQ(xs, c.xs);
    }
  }
}

// The reader is chosen by a substring of the name, so tile.las.txt is LAS;
// formats without a reader yet fail with a message naming the reader.
TEST_F(ReadOpenerOpen, ReaderChosenByName) {
  const std::string las_txt = las("tile.las.txt", {{1, 2, 3}});
  LASreadOpener opener;
  std::unique_ptr<LASreader> reader(opener.open(las_txt.c_str()));
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->npoints, 1);

  const std::string bin = dir_.write("flight.bin", "binary");
  testing::internal::CaptureStderr();
  EXPECT_EQ(opener.open(bin.c_str()), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ERROR: cannot open lasreaderbin with file name '" + bin + "': this input format is not supported yet\n");

  testing::internal::CaptureStderr();
  EXPECT_EQ(opener.open(dir_.file("absent.las").c_str()), nullptr);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("ERROR: cannot open lasreaderlas with file name '" + dir_.file("absent.las") + "'\n"),
            std::string::npos);
}

// "-rescale" and "-reoffset" read every point into the requested
// quantization.
TEST_F(ReadOpenerOpen, RescaleAndReoffset) {
  lastest::Quantization q;
  q.scale[0] = q.scale[1] = q.scale[2] = 0.001;
  q.offset[0] = 1000;
  const std::string a = las("fine.las", {{1000.5, 2.25, 3.125}}, q);
  LASreadOpener opener;
  Parsed p = parse(opener, {"-i", a, "-rescale", "0.01", "0.01", "0.01", "-reoffset", "0", "0", "0"});
  ASSERT_TRUE(p.ok);
  std::unique_ptr<LASreader> reader(opener.open());
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->header.x_scale_factor, 0.01);
  EXPECT_EQ(reader->header.x_offset, 0.0);
  ASSERT_TRUE(reader->read_point());
  EXPECT_EQ(reader->point.X, 100050);
  EXPECT_EQ(reader->point.Y, 225);
  EXPECT_EQ(reader->point.Z, 313);  // 312.5 rounds away from zero
}

}  // namespace
