#include "geo/projectionconverter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/argvector.h"

namespace {

using Args = lastest::ArgVector;

struct Parsed {
  bool ok;
  std::string err;
  std::vector<std::string> left;
};

Parsed parse(ProjectionConverter& converter, std::vector<std::string> args) {
  Args a(std::move(args));
  testing::internal::CaptureStderr();
  const bool ok = converter.parse(a.argc(), a.argv());
  return {ok, testing::internal::GetCapturedStderr(), a.left()};
}

LASvlr_key_entry key(uint16_t id, uint16_t value) { return {id, 0, 1, value}; }

// The horizontal unit an input's geo keys give, which decides whether the
// run collects within metres or feet.
TEST(ProjectionUnits, FromGeoKeys) {
  struct Case {
    const char* name;
    std::vector<LASvlr_key_entry> keys;
    int32_t unit;
    std::string err;
  };
  const Case cases[] = {
      {"UTM 15N without unit key", {key(1024, 1), key(3072, 26915)}, 9001, ""},
      {"international feet", {key(1024, 1), key(3072, 32767), key(3076, 9002)}, 9002, ""},
      {"US survey feet", {key(1024, 1), key(3076, 9003)}, 9003, ""},
      {"unit key wins over the CRS", {key(3072, 32632), key(3076, 9002)}, 9002, ""},
      {"state plane in US survey feet", {key(1024, 1), key(3072, 2903)}, 9003, ""},
      {"state plane in international feet", {key(3072, 2270)}, 9002, ""},
      {"NAD27 state plane", {key(3072, 26749)}, 9003, ""},
      {"geographic", {key(1024, 2), key(2048, 4326)}, 9000, ""},
      {"unknown CRS stays metre", {key(3072, 2154)}, 9001,
       "set_ProjectedCSTypeGeoKey: look-up for 2154 not implemented\n"},
      {"unknown unit code", {key(3076, 9036)}, 9001, "set_ProjLinearUnitsGeoKey: look-up for 9036 not implemented\n"},
      {"geographic linear unit", {key(2052, 9002)}, 9002, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProjectionConverter converter;
    testing::internal::CaptureStderr();
    converter.set_projection_from_geo_keys(static_cast<int32_t>(c.keys.size()), c.keys.data(), nullptr, nullptr, 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
    EXPECT_EQ(converter.get_ProjLinearUnitsGeoKey(), c.unit);
  }
  ProjectionConverter nothing;
  EXPECT_EQ(nothing.get_ProjLinearUnitsGeoKey(), 9001);
  EXPECT_FALSE(nothing.has_projection());
}

// A parameter key may only index doubles that exist: a damaged directory
// pointing past them builds no projection and reads nothing out of range.
TEST(ProjectionUnits, ParameterKeysStayInsideTheDoubles) {
  const std::vector<LASvlr_key_entry> keys = {
      key(1024, 1), key(3075, 1), {3082, 34736, 1, 0}, {3083, 34736, 1, 1}, {3081, 34736, 1, 2},
      {3088, 34736, 1, 3}, {3092, 34736, 1, 60000}};
  const double doubles[4] = {500000, 0, 0, -93};
  ProjectionConverter converter;
  EXPECT_FALSE(converter.set_projection_from_geo_keys(static_cast<int32_t>(keys.size()), keys.data(), nullptr,
                                                      doubles, 4));
  const double five[5] = {500000, 0, 0, -93, 0.9996};
  std::vector<LASvlr_key_entry> whole = keys;
  whole.back().value_offset = 4;
  std::string description;
  EXPECT_TRUE(converter.set_projection_from_geo_keys(static_cast<int32_t>(whole.size()), whole.data(), nullptr,
                                                     five, 5, &description));
  EXPECT_EQ(description, "generic transverse mercator");
  ASSERT_TRUE(converter.has_projection());
  EXPECT_EQ(converter.get_projection()->scale_factor, 0.9996);
}

TEST(ProjectionOptions, ConsumedAndLeft) {
  ProjectionConverter converter;
  Parsed p = parse(converter, {"-v", "-i", "a.las", "-utm", "32north", "-nad83", "-feet", "-vertical_navd88_geoid12b",
                               "-elevation_survey_feet", "-target_meter", "-target_precision", "0.01", "-cp", "cp.txt"});
  ASSERT_TRUE(p.ok) << p.err;
  EXPECT_EQ(p.left, (std::vector<std::string>{"-v", "-i", "a.las", "-cp", "cp.txt"}));
  EXPECT_NE(p.err.find("using projection UTM 'UTM zone 32N'\n"), std::string::npos);
  EXPECT_NE(p.err.find("using datum 'North_American_Datum_1983' with ellipsoid 'GRS 1980'\n"), std::string::npos);
  EXPECT_EQ(converter.get_ProjLinearUnitsGeoKey(), 9002);
  EXPECT_EQ(converter.get_VerticalUnitsGeoKey(), 9003);
  EXPECT_EQ(converter.get_ProjLinearUnitsGeoKey(false), 9001);
  EXPECT_EQ(converter.get_vertical_code(), 5103);
  ASSERT_TRUE(converter.has_projection());
  EXPECT_TRUE(converter.get_projection()->utm_northern);
  EXPECT_EQ(converter.get_projection()->utm_zone, 32);

  ProjectionConverter help;
  p = parse(help, {"-h", "-feet"});
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.left, (std::vector<std::string>{"-h", "-feet"}));
}

TEST(ProjectionOptions, Errors) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"-utm", "10A"}, "ERROR: utm zone '10A' is unknown. use '32north', '55south', '10n', '56s', '17U', or '49L'\n"},
      {{"-utm", "north"}, "ERROR: utm zone 'north' is unknown. use '32north', '55south', '10n', '56s', '17U', or '49L'\n"},
      {{"-utm"}, "ERROR: '-utm' needs 1 argument: zone\n"},
      {{"-epsg", "40000"}, "ERROR: '-epsg' needs 1 argument: EPSG code but 40000 is not a valid code\n"},
      {{"-epsg", "12ab"}, "ERROR: '-epsg' needs 1 argument: EPSG code but '12ab' is not a valid code\n"},
      {{"-epsg"}, "ERROR: '-epsg' needs 1 argument: EPSG code\n"},
      {{"-epsg", "3857"}, "ERROR: unknown EPSG code in '-epsg 3857'.\n"},
      {{"-nad83_xyz"}, "ERROR: unknown datum '-nad83_xyz'.\n"},
      {{"-ellipsoid"}, "ERROR: '-ellipsoid' needs 1 argument: ellipsoid_id\n"},
      {{"-tm", "500000", "0", "meter"}, "ERROR: '-tm' needs 6 arguments\n"},
      {{"-tm", "500000", "0", "yards", "0", "-93", "0.9996"},
       "ERROR: wrong options for '-tm'. use like shown in these examples:\n"
       "  -tm 500000 0 meter 0 -93 0.99996\n"
       "  -tm 1500000 0 feet 47 -120.833333 0.99996\n"
       "  -tm 1640416.666667 0 survey_feet 47 -120.833333 0.99996\n"},
      {{"-target_lcc", "1", "2", "inch", "4", "5", "6", "7"},
       "ERROR: wrong options for '-lcc'. use like shown in these examples:\n"
       "  -target_lcc 609601.22 0 meter 33.75 -79 34.33333 36.16666\n"
       "  -target_lcc 1640416.666667 0 survey_feet 47.000000 -120.833333 47.5 48.733333\n"
       "  -target_lcc 1500000 0 feet 47.000000 -120.833333 47.5 48.733333\n"},
      {{"-sp83", "CA_IV"}, "ERROR: state plane zones by name ('-sp83 CA_IV') are not supported yet. use '-epsg'\n"},
      {{"-vertical_epsg", "9999"},
       "set_VerticalCSTypeGeoKey: look-up for 9999 not implemented\nERROR: unknown vertical EPSG code in "
       "'-vertical_epsg 9999'.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    ProjectionConverter converter;
    Parsed p = parse(converter, c.args);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.err, c.err);
  }
  ProjectionConverter converter;
  Parsed p = parse(converter, {"-ellipsoid", "25"});
  EXPECT_FALSE(p.ok);
  EXPECT_EQ(p.err.rfind("ERROR: ellipsoid with id 25 is unknown. use one of those: \n   1 - Airy (6.37756e+06 ", 0),
            0u);
  EXPECT_NE(p.err.find("  24 - Indonesian National 1974 (6.37816e+06 0.00669461)\n"), std::string::npos);
}

// Geo keys of a projection given on the command line.
TEST(ProjectionKeys, FromOptions) {
  struct Case {
    std::vector<std::string> args;
    std::vector<LASvlr_key_entry> keys;
    std::vector<double> doubles;
  };
  const Case cases[] = {
      {{"-utm", "32N"}, {key(1024, 1), key(3072, 32632), key(3076, 9001), key(4099, 9001)}, {}},
      {{"-utm", "10n", "-nad83", "-feet"}, {key(1024, 1), key(3072, 26910), key(3076, 9002), key(4099, 9001)}, {}},
      {{"-utm", "56s", "-vertical_evrf2007"},
       {key(1024, 1), key(3072, 32756), key(3076, 9001), key(4099, 9001), key(4096, 5215)},
       {}},
      {{"-longlat", "-nad83_2011"}, {key(1024, 2), key(2048, 6318), key(4099, 9001)}, {}},
      {{"-ecef"}, {key(1024, 3), key(2048, 4326)}, {}},
      {{"-tm", "1500000", "0", "feet", "47", "-120.5", "0.9999"},
       {key(1024, 1), key(3072, 32767), key(3075, 1), key(3076, 9002), {3088, 34736, 1, 0}, {3081, 34736, 1, 1},
        {3092, 34736, 1, 2}, {3082, 34736, 1, 3}, {3083, 34736, 1, 4}, key(2048, 4326), key(4099, 9001)},
       {-120.5, 47, 0.9999, 1500000, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    ProjectionConverter converter;
    ASSERT_TRUE(parse(converter, c.args).ok);
    int32_t number_of_keys = 0;
    int32_t number_of_doubles = 0;
    LASvlr_key_entry* keys = nullptr;
    double* doubles = nullptr;
    ASSERT_TRUE(converter.get_geo_keys_from_projection(number_of_keys, &keys, number_of_doubles, &doubles));
    ASSERT_EQ(number_of_keys, static_cast<int32_t>(c.keys.size()));
    for (int32_t k = 0; k < number_of_keys; k++) {
      SCOPED_TRACE(k);
      EXPECT_EQ(keys[k].key_id, c.keys[k].key_id);
      EXPECT_EQ(keys[k].tiff_tag_location, c.keys[k].tiff_tag_location);
      EXPECT_EQ(keys[k].count, c.keys[k].count);
      EXPECT_EQ(keys[k].value_offset, c.keys[k].value_offset);
    }
    ASSERT_EQ(number_of_doubles, static_cast<int32_t>(c.doubles.size()));
    for (int32_t d = 0; d < number_of_doubles; d++) EXPECT_DOUBLE_EQ(doubles[d], c.doubles[d]);
    std::free(keys);
    std::free(doubles);
  }
  ProjectionConverter none;
  int32_t n = 1;
  int32_t m = 1;
  LASvlr_key_entry* keys = nullptr;
  double* doubles = nullptr;
  EXPECT_FALSE(none.get_geo_keys_from_projection(n, &keys, m, &doubles));
  EXPECT_EQ(n, 0);
  EXPECT_EQ(keys, nullptr);
}

}  // namespace
