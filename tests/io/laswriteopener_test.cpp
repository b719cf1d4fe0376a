#include "io/laswriteopener.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "compression/qopack.h"
#include "io/lasreader.h"
#include "las/lasheader.h"
#include "las/lasreader_las.h"
#include "las/laswriter.h"
#include "support/lastestfiles.h"
#include "support/argvector.h"

namespace {

using Args = lastest::ArgVector;

struct Parsed {
  bool ok;
  std::string err;
  std::vector<std::string> left;
};

Parsed parse(LASwriteOpener& opener, std::vector<std::string> args) {
  Args a(std::move(args));
  testing::internal::CaptureStderr();
  const bool ok = opener.parse(a.argc(), a.argv());
  return {ok, testing::internal::GetCapturedStderr(), a.left()};
}

std::string name_of(const LASwriteOpener& opener) {
  return opener.get_file_name() != nullptr ? opener.get_file_name() : "(none)";
}

TEST(WriteOpenerParse, MissingArgumentsAndBadDirectory) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"-o"}, "ERROR: '-o' needs 1 argument: file_name\n"},
      {{"-odir"}, "ERROR: '-odir' needs 1 argument: directory\n"},
      {{"-odix"}, "ERROR: '-odix' needs 1 argument: appendix\n"},
      {{"-ocut"}, "ERROR: '-ocut' needs 1 argument: number of characters to cut\n"},
      {{"-chunk_size"}, "ERROR: '-chunk_size' needs 1 argument: number_points\n"},
      {{"-oparse"}, "ERROR: '-oparse' needs 1 argument: string\n"},
      {{"-osep"}, "ERROR: '-osep' needs 1 argument: separator\n"},
      {{"-oscale_rgb"}, "ERROR: '-oscale_rgb' needs 1 argument: scale\n"},
      {{"-io_obuffer"}, "ERROR: '-io_obuffer' needs 1 argument: size\n"},
      {{"-odir", "/nonexistent/folder/"}, "ERROR: '/nonexistent/folder' is not a valid directory\n"},
      {{"-odir", ""}, "ERROR: '' is not a valid directory\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    LASwriteOpener opener;
    Parsed p = parse(opener, c.args);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.err, c.err);
  }
}

TEST(WriteOpenerParse, ConsumesOwnOptionsOnly) {
  lastest::TempDir dir;
  LASwriteOpener opener;
  Parsed p = parse(opener, {"-cp", "x.csv", "-odir", dir.path() + "/", "-odix", "_z", "-ocut", "2", "-oforce",
                            "-compatible", "-chunk_size", "1000", "-oparse", "xyz", "-osep", "comma", "-oscale_rgb",
                            "0.5", "-opts", "-io_obuffer", "4096", "-nil", "-keep_class", "2"});
  ASSERT_TRUE(p.ok) << p.err;
  EXPECT_EQ(p.left, (std::vector<std::string>{"-cp", "x.csv", "-keep_class", "2"}));
  EXPECT_EQ(std::string(opener.get_directory()), dir.path());
  EXPECT_STREQ(opener.get_appendix(), "_z");
  EXPECT_EQ(opener.get_cut(), 2);
  EXPECT_TRUE(opener.is_forced());
  EXPECT_FALSE(opener.is_native());
  EXPECT_EQ(opener.get_chunk_size(), 1000u);
  EXPECT_STREQ(opener.get_parse_string(), "xyz");
  EXPECT_STREQ(opener.get_separator(), "comma");
  EXPECT_EQ(opener.get_scale_rgb(), 0.5f);
  EXPECT_TRUE(opener.is_pts());
  EXPECT_EQ(opener.get_io_obuffer_size(), 4096u);
  EXPECT_TRUE(opener.uses_nil());
  EXPECT_TRUE(opener.active());
}

// "-odir /" is the root: the separator goes, names join to "/name".
// Directories with ';' or '"' warn and are still taken when they exist.
TEST(WriteOpenerParse, DirectoryForms) {
  LASwriteOpener root;
  Parsed p = parse(root, {"-o", "sub/out.las", "-odir", "/"});
  ASSERT_TRUE(p.ok) << p.err;
  EXPECT_EQ(p.err, "");
  EXPECT_STREQ(root.get_directory(), "");
  EXPECT_EQ(name_of(root), "/out.las");

  lastest::TempDir dir;
  const std::string odd = dir.file("a;b");
  ASSERT_EQ(mkdir(odd.c_str(), 0755), 0);
  LASwriteOpener semicolon;
  p = parse(semicolon, {"-odir", odd + "/"});
  ASSERT_TRUE(p.ok) << p.err;
  EXPECT_EQ(p.err,
            "WARNING: specified '-odir' seems to contain a substring '\"' or ';'.\n"
            "         a directory given with a trailing backslash inside quotes\n"
            "         lets the shell swallow the closing quote. specify the\n"
            "         directory without the trailing backslash.\n");
  EXPECT_EQ(std::string(semicolon.get_directory()), odd);
  semicolon.make_file_name("/data/x.las", -1);
  EXPECT_EQ(name_of(semicolon), odd + "/x.las");
}

// Numbers are taken without validation, but never beyond 32 bits; the last
// of "-stdout" and "-nil" wins.
TEST(WriteOpenerParse, NumbersAndSinks) {
  LASwriteOpener big;
  ASSERT_TRUE(parse(big, {"-ocut", "99999999999", "-chunk_size", "-5", "-io_obuffer", "abc", "-stdout", "-nil"}).ok);
  EXPECT_EQ(big.get_cut(), INT32_MAX);
  EXPECT_EQ(static_cast<int32_t>(big.get_chunk_size()), -5);
  EXPECT_EQ(big.get_io_obuffer_size(), 0u);
  EXPECT_TRUE(big.uses_nil());
  EXPECT_FALSE(big.uses_stdout());

  LASwriteOpener piped;
  ASSERT_TRUE(parse(piped, {"-nil", "-stdout"}).ok);
  EXPECT_TRUE(piped.uses_stdout());
  EXPECT_FALSE(piped.uses_nil());
  EXPECT_TRUE(piped.active());
  EXPECT_EQ(piped.get_file_name(), nullptr);
}

TEST(WriteOpenerParse, HelpStopsWithoutConsuming) {
  LASwriteOpener opener;
  Parsed p = parse(opener, {"-h", "-o", "out.las"});
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.left, (std::vector<std::string>{"-h", "-o", "out.las"}));
  EXPECT_EQ(p.err.rfind("Supported LAS Outputs\n", 0), 0u);
  EXPECT_NE(p.err.find("  -odir C:\\data\\ground (specify output directory)\n"), std::string::npos);
  EXPECT_FALSE(opener.active());
}

// The name given with "-o" and the format options, in either order.
TEST(WriteOpenerNames, NameAndFormat) {
  struct Case {
    std::vector<std::string> args;
    std::string name;
    uint32_t format;
  };
  const Case cases[] = {
      {{"-o", "result"}, "result.txt", 0},
      {{"-olas", "-o", "result"}, "result.las", 1},
      {{"-o", "out.las", "-oqpk"}, "out.qpk", 2},
      {{"-oqpk", "-o", "out.las"}, "out.las", 2},
      {{"-o", "points.xyz"}, "points.xyz", 6},
      {{"-o", "out.las", "-otxt"}, "out.las", 6},
      {{"-o", "lidar.QPK  "}, "lidar.QPK", 2},
      {{"-o", "a.bin"}, "a.bin", 3},
      {{"-o", "b.las", "-odix", "_adj", "-ocut", "1"}, "b_ad.las", 1},
      {{"-o", "lidar.las", "-owrl"}, "lidar.wrl", 5},
      {{"-o", "lidar.las", "-oqi"}, "lidar.qi", 4},
      {{"-o", "/in/sub.dir/name"}, "/in/sub.dir/name.txt", 0},
      {{"-odir", "/tmp", "-o", "/in/sub/out.qpk"}, "/tmp/out.qpk", 2},
      {{"-o", "/in/sub/out.qpk", "-odir", "/tmp/"}, "/tmp/out.qpk", 2},
      {{"-odix", "_z", "-ocut", "2", "-o", "/in/tile_07.las"}, "/in/tile__z.las", 1},
      {{"-o", "a.las", "-stdout"}, "a.las", 1},
  };
  for (const Case& c : cases) {
    std::string trace;
    for (const std::string& a : c.args) trace += a + " ";
    SCOPED_TRACE(trace);
    LASwriteOpener opener;
    ASSERT_TRUE(parse(opener, c.args).ok);
    EXPECT_EQ(name_of(opener), c.name);
    EXPECT_EQ(opener.get_format(), c.format);
  }
}

// Output names derived from an input name.
TEST(WriteOpenerNames, DerivedFromInput) {
  struct Case {
    const char* name;
    const char* directory;
    const char* appendix;
    int32_t cut;
    uint32_t format;
    const char* input;
    int32_t number;
    std::string expected;
  };
  const Case cases[] = {
      {"plain", nullptr, nullptr, 0, 0, "/data/flight1.las", -1, "/data/flight1_1.las"},
      {"appendix", nullptr, "_z", 0, 0, "/data/flight1.las", -1, "/data/flight1_z.las"},
      {"directory", "/out", nullptr, 0, 0, "/data/flight1.las", -1, "/out/flight1.las"},
      {"cut", nullptr, nullptr, 1, 0, "/data/flight1.las", -1, "/data/flight.las"},
      {"qpk", nullptr, nullptr, 0, 2, "/data/flight1.las", -1, "/data/flight1_1.qpk"},
      {"text", nullptr, nullptr, 0, 6, "/data/flight1.las", -1, "/data/flight1_1.txt"},
      {"vrml is text", nullptr, nullptr, 0, 5, "/data/flight1.las", -1, "/data/flight1_1.txt"},
      {"appendix with number -2", nullptr, "_a", 0, 0, "/data/f.las", -2, "/data/f_a.las"},
      {"no input", nullptr, nullptr, 0, 2, nullptr, -1, "output.qpk"},
      {"dot only in the directory", nullptr, nullptr, 0, 0, "/data.v2/flight", -1, "/data.v2/flight_1.las"},
      // A name without extension keeps all of itself as the stem.
      {"no extension", nullptr, nullptr, 0, 0, "/data/flight", -1, "/data/flight_1.las"},
      {"relative", nullptr, nullptr, 0, 2, "flight1.las", -1, "flight1_1.qpk"},
      {"directory and appendix", "/out", "_z", 0, 2, "/data/flight1.las", -1, "/out/flight1_z.qpk"},
      {"cut and appendix", nullptr, "_z", 3, 0, "/data/tile_007.las", -1, "/data/tile__z.las"},
      {"cut beyond the stem", nullptr, nullptr, 20, 0, "/data/f.las", -1, "/data/.las"},
      {"bin", nullptr, nullptr, 0, 3, "/data/f.las", -1, "/data/f_1.bin"},
      {"qfit", nullptr, nullptr, 0, 4, "/data/f.las", -1, "/data/f_1.qi"},
      {"numbered", nullptr, nullptr, 0, 0, nullptr, 123, "output_0000123.las"},
      {"numbered input", nullptr, nullptr, 0, 2, "/t/tile_000.las", 42, "/t/tile_042.qpk"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LASwriteOpener opener;
    if (c.directory) opener.set_directory(c.directory);
    if (c.appendix) opener.set_appendix(c.appendix);
    opener.set_cut(c.cut);
    if (c.format != 0) {
      ASSERT_TRUE(opener.set_format(c.format));
    }
    opener.make_file_name(c.input, c.number);
    EXPECT_EQ(name_of(opener), c.expected);
  }
}

// A derived name equal to the input becomes "temp" with a warning unless
// forced; a number with more digits than the name warns.
TEST(WriteOpenerNames, SafetyWarnings) {
  LASwriteOpener opener;
  opener.set_appendix("");
  testing::internal::CaptureStderr();
  opener.make_file_name("/data/flight1.las", -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "WARNING: generated output name '/data/flight1.las'\n"
            "         identical to input name. changed to 'temp.las'.\n"
            "         you can override this safety measure with '-oforce'.\n");
  EXPECT_EQ(name_of(opener), "temp.las");

  // The preview gives the same name, silently, and leaves the name set.
  opener.set_file_name("kept.las");
  testing::internal::CaptureStderr();
  EXPECT_EQ(opener.get_derived_file_name("/data/flight1.las", -1), "temp.las");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(name_of(opener), "kept.las");

  opener.set_force(true);
  opener.make_file_name("/data/flight1.las", -1);
  EXPECT_EQ(name_of(opener), "/data/flight1.las");

  LASwriteOpener numbered;
  testing::internal::CaptureStderr();
  numbered.make_file_name(nullptr, 12345678);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "WARNING: file name number 12345678 too big to store in 'output_2345678.xxx'. use more digits.\n");
  EXPECT_FALSE(numbered.set_format(7));
}

// The writer for the null sink and for a named LAS file; other formats
// and no output at all fail with a message.
TEST(WriteOpenerOpen, WritersAndFailures) {
  lastest::TempDir dir;
  LASheader header;
  LASwriteOpener nil;
  Args nil_args({"-nil"});
  ASSERT_TRUE(nil.parse(nil_args.argc(), nil_args.argv()));
  std::unique_ptr<LASwriter> writer(nil.open(&header));
  ASSERT_TRUE(writer);
  EXPECT_GT(writer->close(), 0);

  LASwriteOpener named;
  named.set_file_name(dir.file("out.las").c_str());
  writer.reset(named.open(&header));
  ASSERT_TRUE(writer);
  EXPECT_EQ(writer->close(), 227);

  LASwriteOpener none;
  testing::internal::CaptureStderr();
  EXPECT_EQ(none.open(&header), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: no laswriter output specified\n");

  // Formats without a writer in this build are refused before any file
  // is created.
  struct Refused {
    const char* option;
    const char* name;
    const char* writer;
  };
  const Refused refused[] = {{"-otxt", "out.txt", "laswritertxt"},
                             {"-obin", "out.bin", "laswriterbin"},
                             {"-oqi", "out.qi", "laswriterqfit"},
                             {"-owrl", "out.wrl", "laswriterwrl"}};
  for (const Refused& c : refused) {
    SCOPED_TRACE(c.option);
    const std::string path = dir.file(c.name);
    LASwriteOpener named_other;
    ASSERT_TRUE(parse(named_other, {c.option, "-o", path}).ok);
    testing::internal::CaptureStderr();
    EXPECT_EQ(named_other.open(&header), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string("ERROR: cannot open ") + c.writer +
                                                          " with file name '" + path +
                                                          "': this output format is not supported yet\n");
    EXPECT_EQ(lastest::read_file(path), "");
    EXPECT_NE(access(path.c_str(), F_OK), 0);

    LASwriteOpener piped_other;
    ASSERT_TRUE(parse(piped_other, {c.option, "-stdout"}).ok);
    testing::internal::CaptureStderr();
    EXPECT_EQ(piped_other.open(&header), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              std::string("ERROR: cannot open ") + c.writer + " to stdout: this output format is not supported yet\n");
  }

  LASwriteOpener unwritable;
  unwritable.set_file_name("/nonexistent/folder/out.las");
  testing::internal::CaptureStderr();
  EXPECT_EQ(unwritable.open(&header), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStderr().find(
                "ERROR: cannot open laswriterlas with file name '/nonexistent/folder/out.las'\n"),
            std::string::npos);
}

// Compressed output for "-oqpk" or a ".qpk" name: the layered compressor is
// asked for unless "-compatible", and point types 0 to 5 are written
// point-wise either way; the chunk size reaches the file.
TEST(WriteOpenerOpen, CompressedOutput) {
  lastest::TempDir dir;
  struct Case {
    std::vector<std::string> args;
    const char* name;
    uint8_t point_type;
  };
  const Case cases[] = {
      {{"-oqpk"}, "a.las", 1},
      {{}, "b.qpk", 3},
      {{"-compatible", "-chunk_size", "7"}, "c.qpk", 0},
      {{"-native", "-chunk_size", "7"}, "d.qpk", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = c.args;
    args.push_back("-o");
    args.push_back(dir.file(c.name));
    LASwriteOpener opener;
    ASSERT_TRUE(parse(opener, args).ok);
    LASheader header;
    header.point_data_format = c.point_type;
    header.point_data_record_length = LASitem::base_size(c.point_type);
    header.z_scale_factor = 0.001;
    std::unique_ptr<LASwriter> writer(opener.open(&header));
    ASSERT_TRUE(writer);
    const char* written = opener.get_file_name();
    LASpoint point;
    ASSERT_TRUE(point.init(&header, c.point_type, header.point_data_record_length));
    for (int i = 0; i < 20; i++) {
      point.X = i * 1000;
      point.Y = -i * 7;
      point.Z = i * i;
      point.intensity = static_cast<uint16_t>(i);
      point.gps_time = i * 0.5;
      ASSERT_TRUE(writer->write_point(&point));
    }
    ASSERT_GT(writer->close(), 0);

    LASreaderLAS reader;
    ASSERT_TRUE(reader.open(written));
    EXPECT_EQ(reader.get_format(), LASreader::format_qpk);
    ASSERT_TRUE(reader.header.qopack);
    EXPECT_EQ(reader.header.qopack->compressor, Qopack::COMPRESSOR_POINTWISE_CHUNKED);
    EXPECT_EQ(reader.header.qopack->chunk_size, c.args.size() > 1 ? 7u : 50000u);
    EXPECT_EQ(reader.header.point_data_format, c.point_type);
    for (int i = 0; i < 20; i++) {
      ASSERT_TRUE(reader.read_point());
      EXPECT_EQ(reader.point.X, i * 1000);
      EXPECT_EQ(reader.point.Z, i * i);
    }
    EXPECT_FALSE(reader.read_point());
  }

  // The settings that compressed writing refuses.
  struct Bad {
    std::vector<std::string> args;
    uint8_t point_type;
    std::string err;
  };
  const Bad bad[] = {
      {{"-chunk_size", "0"}, 1,
       "ERROR: adaptive chunking is depricated for point type 1.\n"
       "       only available for new LAS 1.4 point types 6 or higher.\n"},
      {{"-compatible"}, 6, "ERROR: point type 6 requires using \"native LAS 1.4 extension\" of Qopack\n"},
  };
  for (const Bad& c : bad) {
    SCOPED_TRACE(c.err);
    std::vector<std::string> args = c.args;
    args.push_back("-o");
    args.push_back(dir.file("bad.qpk"));
    LASwriteOpener opener;
    ASSERT_TRUE(parse(opener, args).ok);
    LASheader header;
    header.version_minor = 4;
    header.header_size = header.offset_to_point_data = LASheader::header_size_14;
    header.point_data_format = c.point_type;
    header.point_data_record_length = LASitem::base_size(c.point_type);
    testing::internal::CaptureStderr();
    EXPECT_EQ(opener.open(&header), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              c.err + "ERROR: cannot open laswriterlas with file name '" + dir.file("bad.qpk") + "'\n");
  }
}

}  // namespace
