// The pieces of the z adjustment that need no program run: the rounding of
// the shifted Z, the identity and geo keys of the written header, and the
// recognition of an output that would replace an input.
#include "driver/zadjustpass.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver/protectedfiles.h"
#include "las/lasheader.h"
#include "support/lastestfiles.h"

namespace {

TEST(ShiftedZ, RoundsHalfAwayFromTheOffset) {
  struct Case {
    const char* name;
    int32_t Z;
    double scale;
    double offset;
    double shift;
    bool fits;
    int32_t expected;
  };
  const Case cases[] = {
      {"above the offset", 1000, 0.01, 0.0, -0.25, true, 975},
      {"below the offset", -1000, 0.01, 0.0, -0.25, true, -1025},
      {"upward shift", 1000, 0.01, 0.0, 0.25, true, 1025},
      // Half a unit: away from the offset on either side of it.
      {"half above", 10, 1.0, 0.0, 0.5, true, 11},
      {"half below", -10, 1.0, 0.0, -0.5, true, -11},
      {"half landing below", 0, 1.0, 0.0, -0.5, true, -1},
      // The side is decided by the real z against the offset, not by Z.
      {"offset decides", 3, 1.0, 100.0, -3.5, true, -1},
      {"offset decides above", -3, 1.0, 100.0, 3.5, true, 1},
      {"a third rounds down", 0, 0.03, 0.0, 0.01, true, 0},
      {"two thirds rounds up", 0, 0.03, 0.0, 0.02, true, 1},
      {"largest Z", INT32_MAX - 35, 0.01, -50.0, 0.35, true, INT32_MAX},
      {"smallest Z", INT32_MIN + 35, 0.01, -50.0, -0.35, true, INT32_MIN},
      {"beyond the largest", INT32_MAX - 34, 0.01, -50.0, 0.35, false, 0},
      {"beyond the smallest", INT32_MIN + 34, 0.01, -50.0, -0.35, false, 0},
      {"zero scale", 5, 0.0, 0.0, 0.25, false, 0},
      {"shift that is no number", 5, 0.01, 0.0, std::nan(""), false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int32_t Z = 12345;
    ASSERT_EQ(shifted_Z(c.Z, c.scale, c.offset, c.shift, &Z), c.fits);
    if (c.fits) {
      EXPECT_EQ(Z, c.expected);
    } else {
      EXPECT_EQ(Z, 12345);
    }
  }
}

TEST(StampIdentity, FillsBothFieldsZeroPaddedAndCut) {
  LASheader header;
  std::memset(header.system_identifier, 'x', 32);
  std::memset(header.generating_software, 'y', 32);
  stamp_identity(header, adjusted_software_label);
  EXPECT_EQ(std::string(header.system_identifier, 32), std::string("Quillbox LiDAR tools") + std::string(12, '\0'));
  EXPECT_EQ(std::string(header.generating_software, 32),
            std::string("tiecheck64 (221128) z adjusted") + std::string(2, '\0'));

  // A label too long for the field leaves 31 characters and a zero byte.
  stamp_identity(header, "a label much longer than the field");
  EXPECT_EQ(std::string(header.generating_software, 32), std::string("tiecheck64 (221128) a label muc") + '\0');
}

// Geo keys of a header read from a file: directory, doubles and ASCII
// parameters; the command line's keys replace the first two and remove the
// ASCII parameters.
TEST(PutGeoKeys, ReplacesDirectoryAndDoublesAndRemovesAscii) {
  struct Case {
    const char* name;
    std::vector<double> doubles;
  };
  const Case cases[] = {{"with doubles", {0.9996, 500000.0}}, {"without doubles", {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LASheader header;
    const LASvlr_key_entry old_keys[] = {{1024, 0, 1, 2}, {2048, 0, 1, 4326}, {3073, 34737, 5, 0}};
    ASSERT_TRUE(header.set_geo_keys(3, old_keys));
    const double old_doubles[] = {1.0, 2.0, 3.0};
    ASSERT_TRUE(header.set_geo_double_params(3, old_doubles));
    uint8_t* ascii = static_cast<uint8_t*>(std::malloc(6));
    std::memcpy(ascii, "WGS84", 6);
    ASSERT_TRUE(header.add_vlr("LASF_Projection", 34737, 6, ascii));
    header.vlr_geo_ascii_params = reinterpret_cast<char*>(header.vlrs[header.number_of_variable_length_records - 1].data);
    const uint32_t offset_before = header.offset_to_point_data;

    RunSettings settings;
    settings.have_geo_keys = true;
    settings.geo_key_entries = {{1024, 0, 1, 1}, {3072, 0, 1, 32611}};
    settings.geo_double_params = c.doubles;
    ASSERT_TRUE(put_geo_keys(header, settings, "in.las"));

    const LASvlr* directory = header.get_vlr("LASF_Projection", 34735);
    ASSERT_NE(directory, nullptr);
    const uint16_t expected[12] = {1, 1, 0, 2, 1024, 0, 1, 1, 3072, 0, 1, 32611};
    ASSERT_EQ(directory->record_length_after_header, sizeof(expected));
    EXPECT_EQ(std::memcmp(directory->data, expected, sizeof(expected)), 0);
    ASSERT_NE(header.vlr_geo_keys, nullptr);
    EXPECT_EQ(header.vlr_geo_keys->number_of_keys, 2);
    EXPECT_EQ(header.vlr_geo_key_entries[1].value_offset, 32611);
    EXPECT_EQ(header.get_vlr("LASF_Projection", 34737), nullptr);
    EXPECT_EQ(header.vlr_geo_ascii_params, nullptr);
    const LASvlr* doubles = header.get_vlr("LASF_Projection", 34736);
    if (c.doubles.empty()) {
      EXPECT_EQ(doubles, nullptr);
      EXPECT_EQ(header.vlr_geo_double_params, nullptr);
      EXPECT_EQ(header.number_of_variable_length_records, 1u);
      EXPECT_EQ(header.offset_to_point_data, offset_before - 8 - (54 + 24) - (54 + 6));
    } else {
      ASSERT_NE(doubles, nullptr);
      ASSERT_EQ(doubles->record_length_after_header, 16);
      EXPECT_EQ(std::memcmp(doubles->data, c.doubles.data(), 16), 0);
      EXPECT_EQ(header.vlr_geo_double_params[0], 0.9996);
      EXPECT_EQ(header.number_of_variable_length_records, 2u);
    }
  }
}

// Names that reach the same file, through other spellings and links, are
// that file; a missing file is no input.
TEST(ProtectedFiles, KnowsInputsByTheFileTheyReach) {
  lastest::TempDir dir;
  const std::string a = dir.write("a.las", "a");
  dir.write("b.las", "b");
  ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0755), 0);
  ASSERT_EQ(symlink(a.c_str(), dir.file("soft.las").c_str()), 0);
  ASSERT_EQ(link(a.c_str(), dir.file("hard.las").c_str()), 0);
  ProtectedFiles inputs;
  ASSERT_TRUE(inputs.add(a.c_str()));
  EXPECT_FALSE(inputs.add(dir.file("missing.las").c_str()));

  struct Case {
    std::string output;
    const char* replaced;
  };
  const Case cases[] = {
      {a, "a.las"},
      {dir.path() + "/./a.las", "a.las"},
      {dir.path() + "/sub/../a.las", "a.las"},
      {dir.file("soft.las"), "a.las"},
      {dir.file("hard.las"), "a.las"},
      {dir.file("b.las"), nullptr},
      {dir.file("missing.las"), nullptr},
      {dir.file("sub"), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    const char* found = inputs.find(c.output.c_str());
    if (c.replaced == nullptr) {
      EXPECT_EQ(found, nullptr);
    } else {
      ASSERT_NE(found, nullptr);
      EXPECT_EQ(std::string(found), a);
    }
  }
}

TEST(ProtectedFiles, ResolvedOutputPath) {
  lastest::TempDir dir;
  ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0755), 0);
  char real[PATH_MAX];
  ASSERT_NE(realpath(dir.path().c_str(), real), nullptr);
  const std::string root = real;
  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
  struct Case {
    std::string name;
    std::string expected;
  };
  const Case cases[] = {
      {dir.path() + "/sub/../out.las", root + "/out.las"},
      {dir.path() + "/sub/out.las", root + "/sub/out.las"},
      {dir.path() + "/missing/out.las", dir.path() + "/missing/out.las"},
      {"/out.las", "/out.las"},
      {"out.las", std::string(cwd) + (std::strcmp(cwd, "/") == 0 ? "" : "/") + "out.las"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(resolved_output_path(c.name.c_str()), c.expected);
  }
}

}  // namespace
