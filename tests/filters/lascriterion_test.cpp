// Every criterion against points placed exactly on, and one step beside,
// its thresholds. Criteria are built through the option parser, so each row
// also checks that the option builds the criterion it should; each row is
// then run a second time through the criterion rebuilt from its printed
// command, which must decide alike.
#include "filters/lascriterion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "filter_fixture.h"
#include "filters/lascriterion_classification.h"
#include "filters/lascriterion_combine.h"
#include "filters/lascriterion_coordinates.h"
#include "filters/lascriterion_thinning.h"
#include "filters/lasfilter.h"

namespace {

// The filter of `options`, and the filter rebuilt from its printed form.
std::vector<std::unique_ptr<LASfilter>> filters_of(const std::string& options) {
  std::vector<std::unique_ptr<LASfilter>> filters;
  filters.push_back(std::make_unique<LASfilter>());
  EXPECT_TRUE(filters[0]->parse(options)) << options;
  EXPECT_GT(filters[0]->get_number_of_criteria(), 0u) << options;
  filters.push_back(std::make_unique<LASfilter>());
  const std::string text = filters[0]->format_commands();
  EXPECT_TRUE(filters[1]->parse(text)) << text;
  return filters;
}

std::string decisions_of(LASfilter& filter, FilterPoint& f, const std::vector<void (*)(LASpoint&)>& setups) {
  std::string decisions;
  for (auto setup : setups) {
    setup(f.fresh());
    decisions += filter.rejects(&f.point) ? 'R' : 'K';
  }
  return decisions;
}

// ---------------------------------------------------------------------------
// One field, one probe value at a time.

using Setter = void (*)(LASpoint&, double);
struct Probe {
  double value;
  bool rejected;
};
struct FieldCase {
  const char* options;
  Setter set;
  std::vector<Probe> probes;
};

void set_x(LASpoint& p, double v) { p.set_x(v); }
void set_y(LASpoint& p, double v) { p.set_y(v); }
void set_z(LASpoint& p, double v) { p.set_z(v); }
void set_X(LASpoint& p, double v) { p.X = static_cast<int32_t>(v); }
void set_Y(LASpoint& p, double v) { p.Y = static_cast<int32_t>(v); }
void set_Z(LASpoint& p, double v) { p.Z = static_cast<int32_t>(v); }
void set_intensity(LASpoint& p, double v) { p.intensity = static_cast<uint16_t>(v); }
void set_user_data(LASpoint& p, double v) { p.user_data = static_cast<uint8_t>(v); }
void set_point_source(LASpoint& p, double v) { p.point_source_ID = static_cast<uint16_t>(v); }
void set_scan_angle(LASpoint& p, double v) { p.scan_angle_rank = static_cast<int8_t>(v); }
void set_gps_time(LASpoint& p, double v) { p.gps_time = v; }
void set_red(LASpoint& p, double v) { p.rgb[0] = static_cast<uint16_t>(v); }
void set_green(LASpoint& p, double v) { p.rgb[1] = static_cast<uint16_t>(v); }
void set_blue(LASpoint& p, double v) { p.rgb[2] = static_cast<uint16_t>(v); }
void set_nir(LASpoint& p, double v) { p.rgb[3] = static_cast<uint16_t>(v); }
void set_wavepacket(LASpoint& p, double v) { p.wavepacket.index = static_cast<uint8_t>(v); }
void set_attribute(LASpoint& p, double v) { p.set_attribute_as_float(0, v); }

constexpr bool R = true;   // rejected
constexpr bool K = false;  // kept

const FieldCase kFieldCases[] = {
    // scaled coordinates: x has offset 1000, y 2000, the step is 0.25
    {"-keep_x 1010 1020", set_x, {{1009.75, R}, {1010, K}, {1010.25, K}, {1019.75, K}, {1020, R}}},
    {"-drop_x 1010 1020", set_x, {{1009.75, K}, {1010, R}, {1019.75, R}, {1020, K}}},
    {"-drop_x_above 1010", set_x, {{1009.75, K}, {1010, R}, {1010.25, R}}},
    {"-drop_x_below 1010", set_x, {{1009.75, R}, {1010, K}, {1010.25, K}}},
    {"-keep_y 2010 2020", set_y, {{2009.75, R}, {2010, K}, {2019.75, K}, {2020, R}}},
    {"-drop_y 2010 2020", set_y, {{2009.75, K}, {2010, R}, {2019.75, R}, {2020, K}}},
    {"-drop_y_above 2010", set_y, {{2009.75, K}, {2010, R}}},
    {"-drop_y_below 2010", set_y, {{2009.75, R}, {2010, K}}},
    {"-keep_z 11.25 130.75", set_z, {{11, R}, {11.25, K}, {130.5, K}, {130.75, R}}},
    {"-drop_z 11.25 130.75", set_z, {{11, K}, {11.25, R}, {130.5, R}, {130.75, K}}},
    {"-drop_z_above 130.75", set_z, {{130.5, K}, {130.75, R}, {131, R}}},
    {"-drop_z_below 11.25", set_z, {{11, R}, {11.25, K}}},
    {"-keep_z_above 100", set_z, {{99.75, R}, {100, K}, {100.25, K}}},
    {"-keep_z_below 100", set_z, {{99.75, K}, {100, R}}},
    // raw integer coordinates, up to the 32-bit limits
    {"-keep_X -5 5", set_X, {{-6, R}, {-5, K}, {4, K}, {5, R}}},
    {"-keep_X -2147483648 2147483647", set_X, {{-2147483648.0, K}, {2147483646, K}, {2147483647, R}}},
    {"-drop_X -5 5", set_X, {{-6, K}, {-5, R}, {4, R}, {5, K}}},
    {"-drop_X_above 5", set_X, {{4, K}, {5, R}}},
    {"-drop_X_below -5", set_X, {{-6, R}, {-5, K}}},
    {"-keep_Y 0 10", set_Y, {{-1, R}, {0, K}, {9, K}, {10, R}}},
    {"-drop_Y 0 10", set_Y, {{-1, K}, {0, R}, {9, R}, {10, K}}},
    {"-drop_Y_above 10", set_Y, {{9, K}, {10, R}}},
    {"-drop_Y_below 0", set_Y, {{-1, R}, {0, K}}},
    {"-keep_Z 0 10", set_Z, {{-1, R}, {0, K}, {9, K}, {10, R}}},
    {"-drop_Z 0 10", set_Z, {{-1, K}, {0, R}, {9, R}, {10, K}}},
    {"-drop_Z_above 10", set_Z, {{9, K}, {10, R}}},
    {"-drop_Z_below 0", set_Z, {{-1, R}, {0, K}}},
    {"-keep_Z_above 10", set_Z, {{9, R}, {10, K}}},
    {"-keep_Z_below 10", set_Z, {{9, K}, {10, R}}},
    // intensity: closed ranges
    {"-keep_intensity 20 380", set_intensity, {{19, R}, {20, K}, {380, K}, {381, R}}},
    {"-keep_intensity 0 65535", set_intensity, {{0, K}, {65535, K}}},
    {"-keep_intensity_above 20", set_intensity, {{20, R}, {21, K}}},
    {"-keep_intensity_below 20", set_intensity, {{19, K}, {20, R}}},
    {"-drop_intensity_above 380", set_intensity, {{380, K}, {381, R}}},
    {"-drop_intensity_below 20", set_intensity, {{19, R}, {20, K}}},
    {"-drop_intensity_between 4000 5000", set_intensity, {{3999, K}, {4000, R}, {5000, R}, {5001, K}}},
    // user data; the keep forms take the low 8 bits of their number
    {"-keep_user_data 1", set_user_data, {{0, R}, {1, K}, {2, R}}},
    {"-keep_user_data 257", set_user_data, {{1, K}, {2, R}}},
    {"-keep_user_data_above 150", set_user_data, {{150, R}, {151, K}}},
    {"-keep_user_data_below 50", set_user_data, {{49, K}, {50, R}}},
    {"-keep_user_data_between 10 20", set_user_data, {{9, R}, {10, K}, {20, K}, {21, R}}},
    {"-drop_user_data 255", set_user_data, {{254, K}, {255, R}}},
    {"-drop_user_data 3 5", set_user_data, {{3, R}, {4, K}, {5, R}}},
    {"-drop_user_data_below 1", set_user_data, {{0, R}, {1, K}}},
    {"-drop_user_data_above 100", set_user_data, {{100, K}, {101, R}}},
    {"-drop_user_data_between 10 40", set_user_data, {{9, K}, {10, R}, {40, R}, {41, K}}},
    // point source ID; a keep list keeps any listed ID
    {"-keep_point_source 3", set_point_source, {{2, R}, {3, K}, {4, R}}},
    {"-keep_point_source 3 5 65535", set_point_source, {{3, K}, {4, R}, {5, K}, {65535, K}, {0, R}}},
    {"-keep_point_source_between 2 6", set_point_source, {{1, R}, {2, K}, {6, K}, {7, R}}},
    {"-drop_point_source 27 28", set_point_source, {{26, K}, {27, R}, {28, R}, {29, K}}},
    {"-drop_point_source_below 6", set_point_source, {{5, R}, {6, K}}},
    {"-drop_point_source_above 15", set_point_source, {{15, K}, {16, R}}},
    {"-drop_point_source_between 17 21", set_point_source, {{16, K}, {17, R}, {21, R}, {22, K}}},
    // scan angle rank, including its 8-bit limits and the absolute forms
    {"-keep_scan_angle -15 15", set_scan_angle, {{-16, R}, {-15, K}, {15, K}, {16, R}}},
    {"-keep_scan_angle 15 -15", set_scan_angle, {{-16, R}, {-15, K}, {15, K}, {16, R}}},
    {"-keep_scan_angle_between -128 127", set_scan_angle, {{-128, K}, {127, K}}},
    {"-drop_scan_angle_above 15", set_scan_angle, {{15, K}, {16, R}}},
    {"-drop_scan_angle_below -15", set_scan_angle, {{-16, R}, {-15, K}}},
    {"-drop_scan_angle_between -23 -25", set_scan_angle, {{-26, K}, {-25, R}, {-23, R}, {-22, K}}},
    {"-drop_abs_scan_angle_above 15", set_scan_angle, {{-16, R}, {-15, K}, {15, K}, {16, R}}},
    {"-drop_abs_scan_angle_below 1", set_scan_angle, {{-1, K}, {0, R}, {1, K}}},
    {"-drop_abs_scan_angle_below 0", set_scan_angle, {{-2, K}, {-1, R}, {0, R}, {1, R}, {2, K}}},
    {"-drop_abs_scan_angle_above -2147483648", set_scan_angle, {{-128, K}, {127, K}}},
    // GPS time: closed ranges
    {"-keep_gps_time 11.125 130.75", set_gps_time, {{11, R}, {11.125, K}, {130.75, K}, {130.875, R}}},
    {"-keep_gpstime_between 1 2", set_gps_time, {{0.5, R}, {1, K}, {2, K}, {2.5, R}}},
    {"-keep_gps_time_above 10", set_gps_time, {{9.5, R}, {10, K}}},
    {"-keep_gpstime_below 10", set_gps_time, {{10, K}, {10.5, R}}},
    {"-drop_gps_time_above 130.75", set_gps_time, {{130.75, K}, {130.875, R}}},
    {"-drop_gpstime_below 11.125", set_gps_time, {{11, R}, {11.125, K}}},
    {"-drop_gps_time_between 22 48", set_gps_time, {{21.5, K}, {22, R}, {48, R}, {48.5, K}}},
    // colour channels
    {"-keep_RGB_red 1 1", set_red, {{0, R}, {1, K}, {2, R}}},
    {"-drop_RGB_red 5000 20000", set_red, {{4999, K}, {5000, R}, {20000, R}, {20001, K}}},
    {"-keep_RGB_green 100 30", set_green, {{29, R}, {30, K}, {100, K}, {101, R}}},
    {"-drop_RGB_green 2000 10000", set_green, {{1999, K}, {2000, R}, {10000, R}, {10001, K}}},
    {"-keep_RGB_blue 0 0", set_blue, {{0, K}, {1, R}}},
    {"-drop_RGB_blue 65535 65535", set_blue, {{65534, K}, {65535, R}}},
    {"-keep_RGB_nir 64 127", set_nir, {{63, R}, {64, K}, {127, K}, {128, R}}},
    {"-drop_RGB_nir 64 127", set_nir, {{63, K}, {64, R}, {127, R}, {128, K}}},
    // wave packet descriptor index
    {"-keep_wavepacket 3", set_wavepacket, {{2, R}, {3, K}, {4, R}}},
    {"-drop_wavepacket 3", set_wavepacket, {{2, K}, {3, R}}},
    // attribute 0 holds value / 0.5; an attribute the point lacks reads 0
    {"-keep_attribute_above 0 5.0", set_attribute, {{5, R}, {5.5, K}}},
    {"-keep_attribute_below 0 5.0", set_attribute, {{4.5, K}, {5, R}}},
    {"-keep_attribute_between 0 -1 1", set_attribute, {{-1.5, R}, {-1, K}, {1, K}, {1.5, R}}},
    {"-drop_attribute_above 0 5", set_attribute, {{5, K}, {5.5, R}}},
    {"-drop_attribute_below 0 5", set_attribute, {{4.5, R}, {5, K}}},
    {"-drop_attribute_between 0 -1 1", set_attribute, {{-1.5, K}, {-1, R}, {1, R}, {1.5, K}}},
    {"-keep_attribute_below 1 0.5", set_attribute, {{100, K}}},
    {"-drop_attribute_between 7 0 0", set_attribute, {{100, R}}},
};

TEST(CriterionField, KeepsAndDropsAtEachThreshold) {
  FilterPoint f;
  for (const FieldCase& c : kFieldCases) {
    SCOPED_TRACE(c.options);
    for (auto& filter : filters_of(c.options)) {
      SCOPED_TRACE(filter->format_commands());
      for (const Probe& probe : c.probes) {
        c.set(f.fresh(), probe.value);
        EXPECT_EQ(filter->rejects(&f.point), probe.rejected) << "value " << probe.value;
      }
    }
  }
}

TEST(CriterionField, GpsTimeCriteriaNeverRemovePointsWithoutGpsTime) {
  FilterPoint f;
  const char* const options[] = {"-keep_gps_time 1 2", "-drop_gps_time_above 1", "-drop_gps_time_below 1e9",
                                 "-drop_gps_time_between -1e9 1e9", "-keep_gps_time_above 1e9"};
  for (const char* o : options) {
    SCOPED_TRACE(o);
    LASfilter filter;
    ASSERT_TRUE(filter.parse(std::string(o)));
    f.fresh().gps_time = 5e8;
    f.point.have_gps_time = false;
    EXPECT_FALSE(filter.rejects(&f.point));
  }
}

// ---------------------------------------------------------------------------
// Coordinates in two and three dimensions, areas.

struct XYZProbe {
  double x, y, z;
  bool rejected;
};
struct AreaCase {
  const char* options;
  bool raw;  // probes are raw X, Y, Z
  std::vector<XYZProbe> probes;
};

const AreaCase kAreaCases[] = {
    {"-keep_xy 1010 2010 1020 2020",
     false,
     {{1010, 2010, 0, K}, {1009.75, 2010, 0, R}, {1010, 2009.75, 0, R}, {1019.75, 2019.75, 0, K},
      {1020, 2015, 0, R}, {1015, 2020, 0, R}}},
    {"-drop_xy 1010 2010 1020 2020",
     false,
     {{1010, 2010, 0, R}, {1009.75, 2010, 0, K}, {1010, 2009.75, 0, K}, {1019.75, 2019.75, 0, R},
      {1020, 2015, 0, K}, {1015, 2020, 0, K}}},
    {"-keep_xyz 1010 2010 10 1020 2020 20",
     false,
     {{1015, 2015, 15, K}, {1015, 2015, 10, K}, {1015, 2015, 9.75, R}, {1015, 2015, 20, R}, {1020, 2015, 15, R},
      {1015, 2009.75, 15, R}}},
    {"-drop_xyz 1010 2010 10 1020 2020 20",
     false,
     {{1015, 2015, 15, R}, {1015, 2015, 10, R}, {1015, 2015, 9.75, K}, {1015, 2015, 20, K}, {1020, 2015, 15, K},
      {1015, 2009.75, 15, K}}},
    {"-keep_XY 10 20 30 40",
     true,
     {{10, 20, 0, K}, {9, 20, 0, R}, {10, 19, 0, R}, {29, 39, 0, K}, {30, 39, 0, R}, {29, 40, 0, R}}},
    // a tile keeps its lower and left edges, not its upper and right ones
    {"-keep_tile 0 0 10",
     false,
     {{0, 0, 0, K}, {10, 0, 0, R}, {0, 10, 0, R}, {9.75, 9.75, 0, K}, {-0.25, 0, 0, R}, {0, -0.25, 0, R}}},
    {"-keep_tile 1000 2000 10", false, {{1000, 2000, 0, K}, {1010, 2000, 0, R}, {1009.75, 2009.75, 0, K}}},
    // projected corners beyond six digits must survive the printed command
    {"-keep_tile 631000 4834567 1000",
     false,
     {{631000, 4834567, 0, K}, {631000, 4834566.75, 0, R}, {631999.75, 4835566.75, 0, K}, {632000, 4834567, 0, R}}},
    // on the circle is outside
    {"-keep_circle 1010 2010 5",
     false,
     {{1010, 2010, 0, K}, {1015, 2010, 0, R}, {1014.75, 2010, 0, K}, {1010, 2005, 0, R}, {1013, 2014, 0, R},
      {1013, 2013.75, 0, K}}},
    // on the profile rectangle is inside: edges, ends and corners
    {"-keep_profile 1000 2000 1010 2000 2",
     false,
     {{1005, 2001, 0, K}, {1005, 2001.25, 0, R}, {1005, 1999, 0, K}, {1005, 1998.75, 0, R}, {1000, 2000, 0, K},
      {999.75, 2000, 0, R}, {1010, 2000, 0, K}, {1010.25, 2000, 0, R}, {1010, 2001, 0, K}}},
    // a slanted centre line of length 5 (3, 4); (1001, 1999.25) is a corner
    {"-keep_profile 1000 2000 1003 2004 2.5",
     false,
     {{1001, 1999.25, 0, K}, {1001.25, 1999.25, 0, R}, {1003, 2004, 0, K}, {1003.75, 2005, 0, R},
      {1001.5, 2002, 0, K}}},
};

TEST(CriterionArea, KeepsAndDropsOnEdgesAndCorners) {
  FilterPoint f;
  for (const AreaCase& c : kAreaCases) {
    SCOPED_TRACE(c.options);
    for (auto& filter : filters_of(c.options)) {
      SCOPED_TRACE(filter->format_commands());
      for (const XYZProbe& probe : c.probes) {
        LASpoint& p = f.fresh();
        if (c.raw) {
          p.X = static_cast<int32_t>(probe.x);
          p.Y = static_cast<int32_t>(probe.y);
          p.Z = static_cast<int32_t>(probe.z);
        } else {
          p.set_x(probe.x);
          p.set_y(probe.y);
          p.set_z(probe.z);
        }
        EXPECT_EQ(filter->rejects(&p), probe.rejected) << probe.x << " " << probe.y << " " << probe.z;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Returns: every criterion over the same pulses, given as (rn, nr).

const std::pair<int, int> kReturns[] = {{1, 1}, {1, 2}, {2, 2}, {1, 3}, {2, 3}, {3, 3}, {3, 4}, {7, 7}};

struct PatternCase {
  const char* options;
  const char* expected;  // one K or R per probe point
};

const PatternCase kReturnCases[] = {
    {"-keep_first", "KKRKRRRR"},
    {"-first_only", "KKRKRRRR"},
    {"-drop_first", "RRKRKKKK"},
    {"-keep_first_of_many", "RKRKRRRR"},
    {"-drop_first_of_many", "KRKRKKKK"},
    {"-keep_last", "KRKRRKRK"},
    {"-last_only", "KRKRRKRK"},
    {"-drop_last", "RKRKKRKR"},
    {"-keep_last_of_many", "RRKRRKRK"},
    {"-drop_last_of_many", "KKRKKRKR"},
    {"-keep_middle", "RRRRKRKR"},
    {"-drop_middle", "KKKKRKRK"},
    {"-keep_second_last", "RKRRKRKR"},
    {"-drop_second_last", "KRKKRKRK"},
    {"-keep_return 1", "KKRKRRRR"},
    {"-keep_return 2 3", "RRKRKKKR"},
    {"-keep_return 2 -keep_return 3", "RRKRKKKR"},
    {"-drop_return 3 4", "KKKKKRRK"},
    {"-keep_return_mask 2", "KKRKRRRR"},
    {"-drop_return_mask 2", "RRKRKKKK"},
    {"-keep_return_mask 0", "RRRRRRRR"},
    {"-keep_single", "KRRRRRRR"},
    {"-keep_double", "RKKRRRRR"},
    {"-keep_triple", "RRRKKKRR"},
    {"-keep_quadruple", "RRRRRRKR"},
    {"-keep_quintuple", "RRRRRRRR"},
    {"-drop_single", "RKKKKKKK"},
    {"-drop_double", "KRRKKKKK"},
    {"-drop_triple", "KKKRRRKK"},
    {"-drop_quadruple", "KKKKKKRK"},
    {"-drop_quintuple", "KKKKKKKK"},
    {"-keep_number_of_returns 7", "RRRRRRRK"},
    {"-drop_number_of_returns 7", "KKKKKKKR"},
    {"-drop_number_of_returns 0", "KKKKKKKK"},
};

TEST(CriterionReturns, FirstLastSingleAndMiddleReturns) {
  FilterPoint f;
  for (const PatternCase& c : kReturnCases) {
    SCOPED_TRACE(c.options);
    for (auto& filter : filters_of(c.options)) {
      std::string decisions;
      for (const auto& rn_nr : kReturns) {
        LASpoint& p = f.fresh();
        p.return_number = static_cast<uint8_t>(rn_nr.first);
        p.number_of_returns = static_cast<uint8_t>(rn_nr.second);
        // the extended counts must not be looked at
        p.extended_return_number = 9;
        p.extended_number_of_returns = 12;
        decisions += filter->rejects(&p) ? 'R' : 'K';
      }
      EXPECT_EQ(decisions, c.expected) << filter->format_commands();
    }
  }
}

// ---------------------------------------------------------------------------
// Classification: (legacy class, extended class). Legacy formats leave the
// extended class 0; classes above 31 have legacy class 0.

const std::pair<int, int> kClasses[] = {{0, 0}, {1, 1}, {2, 2}, {2, 0}, {8, 8}, {31, 31}, {0, 40}, {0, 255}};

const PatternCase kClassCases[] = {
    {"-keep_class 2", "RRKKRRRR"},
    {"-keep_classification 2 8", "RRKKKRRR"},
    {"-keep_class 2 -keep_class 8", "RRKKKRRR"},
    {"-keep_class 0", "KRRRRRRR"},
    {"-keep_class 31", "RRRRRKRR"},
    {"-keep_classification_mask 4", "RRKKRRRR"},
    {"-drop_class 2", "KKRRKKKK"},
    {"-drop_class 0", "RKKKKKKK"},
    {"-drop_classification 31", "KKKKKRKK"},
    {"-drop_classification_mask 4", "KKRRKKKK"},
    {"-keep_extended_class 40", "RRRRRRKR"},
    {"-keep_extended_classification 40 255", "RRRRRRKK"},
    {"-drop_extended_class 40 255", "KKKKKKRR"},
    {"-drop_extended_class 0", "RKKRKKKK"},
    {"-drop_extended_classification_mask 0 0 0 0 0 0 0 4", "KKRKKKKK"},
    {"-drop_extended_classification_mask 2147483648 0 0 0 0 0 0 0", "KKKKKKKR"},
};

void set_classes(LASpoint& p, const std::pair<int, int>& classes) {
  p.classification = static_cast<uint8_t>(classes.first);
  p.extended_classification = static_cast<uint8_t>(classes.second);
}

// A class list first in a filter is tested inline by the filter; behind a
// criterion that keeps everything it is asked through its virtual test.
// Both must decide alike.
TEST(CriterionClassification, LegacyClassesAgainstExtendedClasses) {
  FilterPoint f;
  for (const PatternCase& c : kClassCases) {
    SCOPED_TRACE(c.options);
    auto filters = filters_of(c.options);
    for (auto& behind : filters_of(std::string("-keep_every_nth 1 ") + c.options)) filters.push_back(std::move(behind));
    for (auto& filter : filters) {
      std::string decisions;
      for (const auto& classes : kClasses) {
        set_classes(f.fresh(), classes);
        decisions += filter->rejects(&f.point) ? 'R' : 'K';
      }
      EXPECT_EQ(decisions, c.expected) << filter->format_commands();
    }
  }
}

// ---------------------------------------------------------------------------
// Flags, scan line and scanner channel.

void flags_none(LASpoint&) {}
void flags_synthetic(LASpoint& p) { p.set_synthetic_flag(true); }
void flags_keypoint(LASpoint& p) { p.set_keypoint_flag(true); }
void flags_withheld(LASpoint& p) { p.set_withheld_flag(true); }
void flags_overlap(LASpoint& p) { p.set_extended_overlap_flag(true); }
void flags_edge(LASpoint& p) { p.edge_of_flight_line = 1; }
void flags_scan_direction(LASpoint& p) { p.scan_direction_flag = 1; }
void flags_channel1(LASpoint& p) { p.extended_scanner_channel = 1; }
void flags_channel3(LASpoint& p) { p.extended_scanner_channel = 3; }

const std::vector<void (*)(LASpoint&)> kFlagPoints = {flags_none,           flags_synthetic, flags_keypoint,
                                                      flags_withheld,       flags_overlap,   flags_edge,
                                                      flags_scan_direction, flags_channel1,  flags_channel3};

const PatternCase kFlagCases[] = {
    {"-keep_synthetic", "RKRRRRRRR"},       {"-drop_synthetic", "KRKKKKKKK"},
    {"-keep_keypoint", "RRKRRRRRR"},        {"-drop_keypoint", "KKRKKKKKK"},
    {"-keep_withheld", "RRRKRRRRR"},        {"-drop_withheld", "KKKRKKKKK"},
    {"-keep_overlap", "RRRRKRRRR"},         {"-drop_overlap", "KKKKRKKKK"},
    {"-keep_edge_of_flight_line", "RRRRRKRRR"}, {"-drop_scan_direction 0", "RRRRRRKRR"},
    {"-drop_scan_direction 1", "KKKKKKRKK"}, {"-keep_scanner_channel 1", "RRRRRRRKR"},
    {"-keep_scanner_channel 0", "KKKKKKKRR"}, {"-drop_scanner_channel 3", "KKKKKKKKR"},
};

TEST(CriterionFlags, EachFlagAlone) {
  FilterPoint f;
  for (const PatternCase& c : kFlagCases) {
    SCOPED_TRACE(c.options);
    for (auto& filter : filters_of(c.options)) {
      EXPECT_EQ(decisions_of(*filter, f, kFlagPoints), c.expected) << filter->format_commands();
    }
  }
}

TEST(CriterionFlags, ScanDirectionChangeKeepsPointsAfterAFlip) {
  FilterPoint f;
  LAScriterionKeepScanDirectionChange change;
  const int flags[] = {0, 0, 1, 1, 0, 1};
  std::string decisions;
  for (int flag : flags) {
    f.fresh().scan_direction_flag = static_cast<uint8_t>(flag);
    decisions += change.rejects(&f.point) ? 'R' : 'K';
  }
  EXPECT_EQ(decisions, "RRKRKK");
  // a new file starts over: its first point is removed whatever its flag
  change.reset();
  f.fresh().scan_direction_flag = 0;
  EXPECT_TRUE(change.rejects(&f.point));
  f.point.scan_direction_flag = 1;
  EXPECT_FALSE(change.rejects(&f.point));
}

// ---------------------------------------------------------------------------
// Greenness and vegetation indices.

struct ColorProbe {
  uint16_t red, green, blue, nir, intensity;
  bool rejected;
};
struct ColorCase {
  const char* options;
  std::vector<ColorProbe> probes;
};

const ColorCase kColorCases[] = {
    // greenness 2 * green - blue - red
    {"-keep_RGB_greenness 200 65535",
     {{0, 100, 0, 0, 0, K}, {0, 100, 1, 0, 0, R}, {1, 100, 0, 0, 0, R}, {0, 65535, 0, 0, 0, R},
      {0, 32768, 1, 0, 0, K}}},
    {"-keep_RGB_greenness 0 -10", {{10, 0, 0, 0, 0, K}, {11, 0, 0, 0, 0, R}, {0, 1, 0, 0, 0, R}}},
    // (nir - red) / (nir + red): 1/5 and 14/20 are the bounds; 0/0 is kept
    {"-keep_NDVI 0.2 0.7",
     {{2, 0, 0, 3, 0, K}, {3, 0, 0, 17, 0, K}, {1, 0, 0, 1, 0, R}, {0, 0, 0, 1, 0, R}, {0, 0, 0, 0, 0, K},
      {2, 3, 3, 0, 0, R}}},
    {"-keep_NDVI_green_is_NIR 0.2 0.7", {{2, 3, 0, 0, 0, K}, {2, 0, 0, 3, 0, R}, {0, 0, 0, 9, 0, K}}},
    {"-keep_NDVI_blue_is_NIR 0.2 0.7", {{2, 0, 3, 0, 0, K}, {2, 3, 0, 0, 0, R}}},
    // colour infrared in RGB: near infrared in red, red in green
    {"-keep_NDVI_from_CIR 0.2 0.7", {{3, 2, 0, 0, 0, K}, {2, 3, 0, 0, 0, R}, {0, 0, 0, 0, 0, K}}},
    {"-keep_NDVI_intensity_is_NIR 0.2 0.7", {{2, 0, 0, 0, 3, K}, {2, 0, 0, 3, 0, R}, {0, 0, 0, 0, 0, K}}},
    {"-keep_NDVI 0.7 0.2", {{2, 0, 0, 3, 0, K}, {3, 0, 0, 17, 0, K}, {1, 0, 0, 1, 0, R}}},
};

TEST(CriterionColor, GreennessAndNdviBounds) {
  FilterPoint f;
  for (const ColorCase& c : kColorCases) {
    SCOPED_TRACE(c.options);
    for (auto& filter : filters_of(c.options)) {
      SCOPED_TRACE(filter->format_commands());
      for (const ColorProbe& probe : c.probes) {
        LASpoint& p = f.fresh();
        p.rgb[0] = probe.red;
        p.rgb[1] = probe.green;
        p.rgb[2] = probe.blue;
        p.rgb[3] = probe.nir;
        p.intensity = probe.intensity;
        EXPECT_EQ(filter->rejects(&p), probe.rejected)
            << probe.red << " " << probe.green << " " << probe.blue << " " << probe.nir << " " << probe.intensity;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Thinning.

std::string run_points(LAScriterion& criterion, FilterPoint& f, int count) {
  std::string decisions;
  for (int i = 0; i < count; i++) decisions += criterion.rejects(&f.fresh()) ? 'R' : 'K';
  return decisions;
}

TEST(CriterionThinning, EveryNthCountsAcrossFiles) {
  FilterPoint f;
  LAScriterionKeepEveryNth keep3(3);
  EXPECT_EQ(run_points(keep3, f, 4), "RRKR");
  keep3.reset();  // counting carries over into the next file
  EXPECT_EQ(run_points(keep3, f, 5), "RKRRK");
  LAScriterionDropEveryNth drop3(3);
  EXPECT_EQ(run_points(drop3, f, 7), "KKRKKRK");
  LAScriterionKeepEveryNth keep1(1);
  EXPECT_EQ(run_points(keep1, f, 3), "KKK");
  LAScriterionDropEveryNth drop1(1);
  EXPECT_EQ(run_points(drop1, f, 3), "RRR");
}

TEST(CriterionThinning, RandomFractionRepeatsItsSelectionForTheSameSeed) {
  FilterPoint f;
  LAScriterionKeepRandomFraction fraction(0.3f, 4711);
  const std::string first = run_points(fraction, f, 10000);
  fraction.reset();
  EXPECT_EQ(run_points(fraction, f, 10000), first);

  // another seed selects other points
  LAScriterionKeepRandomFraction other_seed(0.3f, 0);
  EXPECT_NE(run_points(other_seed, f, 10000), first);

  // every draw comes once in 32768 points, so the kept share is exact over
  // each period: r / 32767 <= 0.1 holds for r = 0 to 3276, and for 0.001
  // for r = 0 to 32
  for (uint32_t seed : {0u, 4711u}) {
    LAScriterionKeepRandomFraction tenth(0.1f, seed);
    const std::string decisions = run_points(tenth, f, 2 * 32768);
    EXPECT_EQ(std::count(decisions.begin(), decisions.begin() + 32768, 'K'), 3277);
    EXPECT_EQ(decisions.substr(0, 32768), decisions.substr(32768));
    LAScriterionKeepRandomFraction thousandth(0.001f, seed);
    const std::string few = run_points(thousandth, f, 32768);
    EXPECT_EQ(std::count(few.begin(), few.end(), 'K'), 33);
  }

  // the seed survives the printed command
  LASfilter filter;
  ASSERT_TRUE(filter.parse(std::string("-keep_random_fraction 0.3 4711")));
  LASfilter reparsed;
  ASSERT_TRUE(reparsed.parse(filter.format_commands()));
  std::string selection;
  for (int i = 0; i < 10000; i++) selection += reparsed.rejects(&f.fresh()) ? 'R' : 'K';
  EXPECT_EQ(selection, first);

  LAScriterionKeepRandomFraction all(1.0f, 99);
  EXPECT_EQ(run_points(all, f, 1000), std::string(1000, 'K'));
  LAScriterionKeepRandomFraction none(-0.5f, 99);
  EXPECT_EQ(run_points(none, f, 1000), std::string(1000, 'R'));
}

std::string thin(LAScriterion& criterion, FilterPoint& f, const std::vector<std::pair<double, double>>& xy) {
  std::string decisions;
  for (const auto& point : xy) {
    LASpoint& p = f.fresh();
    p.set_x(point.first);
    p.set_y(point.second);
    decisions += criterion.rejects(&p) ? 'R' : 'K';
  }
  return decisions;
}

TEST(CriterionThinning, GridKeepsLeftOfTheRowAnchorAndBelowTheAnchorRowApart) {
  FilterPoint f;
  f.quantizer.x_offset = f.quantizer.y_offset = 0.0;
  LAScriterionThinWithGrid grid(1.0f);
  EXPECT_EQ(thin(grid, f, {{0.5, 0.5}, {0.75, 0.25}, {-0.5, 0.5}, {0.5, -0.5}, {-0.25, 0.75}, {0.25, -0.75}}),
            "KRKKRR");
  // after reset the grid is anchored again and every cell is empty
  grid.reset();
  EXPECT_EQ(thin(grid, f, {{0.75, 0.25}, {0.5, 0.5}, {-0.5, 0.5}}), "KRK");
}

// Against a plain set of cells: random points on both sides of the anchor
// row and of each row's anchor, plus outliers millions of cells away that
// take the sparse path.
TEST(CriterionThinning, GridKeepsTheFirstPointOfEveryCell) {
  FilterPoint f;
  f.quantizer.x_scale_factor = f.quantizer.y_scale_factor = 0.01;
  f.quantizer.x_offset = f.quantizer.y_offset = 0.0;
  const double spacing = 0.5;
  LAScriterionThinWithGrid grid(static_cast<float>(spacing));
  std::set<std::pair<int64_t, int64_t>> cells;
  std::mt19937 random(12345);
  std::uniform_int_distribution<int32_t> near(-3000, 3000);
  std::uniform_int_distribution<int32_t> far(-2000000000, 2000000000);
  for (int i = 0; i < 40000; i++) {
    LASpoint& p = f.fresh();
    const bool outlier = i % 50 == 7;
    p.X = outlier ? far(random) : near(random);
    p.Y = outlier && i % 100 == 7 ? far(random) : near(random);
    const auto cell = std::make_pair(static_cast<int64_t>(std::floor(p.get_x() / spacing)),
                                     static_cast<int64_t>(std::floor(p.get_y() / spacing)));
    const bool first = cells.insert(cell).second;
    ASSERT_EQ(grid.rejects(&p), !first) << "point " << i << " at " << p.X << " " << p.Y;
  }
}

TEST(CriterionThinning, TimeBinsKeepFirstPointOrWholeFirstPulse) {
  FilterPoint f;
  const double times[] = {10.0, 10.0, 10.25, 10.5, 10.5, 11.0};
  LAScriterionThinPointsWithTime points(0.5);
  LAScriterionThinPulsesWithTime pulses(0.5);
  std::string by_point, by_pulse;
  for (double t : times) {
    f.fresh().gps_time = t;
    by_point += points.rejects(&f.point) ? 'R' : 'K';
    by_pulse += pulses.rejects(&f.point) ? 'R' : 'K';
  }
  EXPECT_EQ(by_point, "KRRKRK");
  EXPECT_EQ(by_pulse, "KKRKKK");
  // negative times fall into bins below zero
  f.fresh().gps_time = -0.25;
  EXPECT_FALSE(points.rejects(&f.point));
  f.point.gps_time = -0.5;
  EXPECT_TRUE(points.rejects(&f.point));
  // a new file forgets the bins
  points.reset();
  pulses.reset();
  f.fresh().gps_time = 10.25;
  EXPECT_FALSE(points.rejects(&f.point));
  EXPECT_FALSE(pulses.rejects(&f.point));
}

// ---------------------------------------------------------------------------
// Combinations: they combine rejections and ask the second operand only
// when the first does not settle the answer.

TEST(CriterionCombine, AndOrOfKeepCriteria) {
  FilterPoint f;
  struct Case {
    const char* options;
    const char* expected;  // class 2 low, class 2 high, class 1 low, class 1 high
  };
  const Case cases[] = {
      {"-keep_class 2 -keep_z_above 100 -filter_and", "KKRK"},
      {"-keep_class 2 -keep_z_above 100 -filter_or", "RKRR"},
      {"-keep_class 2 -keep_z_above 100 -filter_or -keep_class 1 -filter_and", "RKKK"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    for (auto& filter : filters_of(c.options)) {
      std::string decisions;
      for (int classification : {2, 1}) {
        for (double z : {50.0, 150.0}) {
          LASpoint& p = f.fresh();
          p.classification = static_cast<uint8_t>(classification);
          p.set_z(z);
          decisions += filter->rejects(&p) ? 'R' : 'K';
        }
      }
      EXPECT_EQ(decisions, c.expected) << filter->format_commands();
    }
  }
}

TEST(CriterionCombine, SecondOperandIsAskedOnlyWhenNeeded) {
  FilterPoint f;
  auto classes = [&](LAScriterion& criterion, std::initializer_list<int> list) {
    std::string decisions;
    for (int c : list) {
      f.fresh().classification = static_cast<uint8_t>(c);
      decisions += criterion.rejects(&f.point) ? 'R' : 'K';
    }
    return decisions;
  };
  // Or: every-2nd counts only the points class 2 lets through
  LAScriterionOr either(new LAScriterionKeepClassifications(1u << 2), new LAScriterionKeepEveryNth(2));
  EXPECT_EQ(classes(either, {2, 1, 2, 2}), "RRKR");
  // And: every-2nd counts only the points class 2 rejects
  LAScriterionAnd both(new LAScriterionKeepClassifications(1u << 2), new LAScriterionKeepEveryNth(2));
  EXPECT_EQ(classes(both, {2, 1, 1, 1, 2}), "KRKRK");
  EXPECT_EQ(both.needed_fields(), LASfield::classification);
}

// ---------------------------------------------------------------------------
// Decompression masks.

TEST(CriterionMask, EachCriterionAsksForTheFieldsItReads) {
  struct Case {
    const char* options;
    uint32_t mask;
  };
  const Case cases[] = {
      {"-keep_x 0 1", 0},
      {"-keep_xy 0 0 1 1", 0},
      {"-keep_z 0 1", 0x1},
      {"-keep_Z 0 1", 0x1},
      {"-keep_xyz 0 0 0 1 1 1", 0x1},
      {"-keep_tile 0 0 1", 0},
      {"-keep_first", 0},
      {"-keep_return 1", 0},
      {"-keep_class 2", 0x2},
      {"-drop_extended_class 40", 0x2},
      {"-keep_synthetic", 0x4},
      {"-keep_overlap", 0x4},
      {"-keep_scan_direction_change", 0x4},
      {"-keep_scanner_channel 1", 0},
      {"-keep_intensity 1 2", 0x8},
      {"-keep_scan_angle -1 1", 0x10},
      {"-keep_user_data 1", 0x20},
      {"-keep_point_source 1", 0x40},
      {"-keep_gps_time 1 2", 0x80},
      {"-thin_pulses_with_time 1", 0x80},
      {"-thin_points_with_time 1", 0x80},
      {"-thin_with_grid 1", 0},
      {"-keep_every_nth 2", 0},
      {"-keep_RGB_red 1 2", 0x100},
      {"-keep_RGB_blue 1 2", 0x100},
      {"-keep_RGB_nir 1 2", 0x300},  // NIR is decoded apart from RGB
      {"-drop_RGB_nir 1 2", 0x300},
      {"-keep_NDVI 0 1", 0x300},
      {"-keep_NDVI_green_is_NIR 0 1", 0x100},
      {"-keep_NDVI_from_CIR 0 1", 0x100},
      {"-keep_NDVI_intensity_is_NIR 0 1", 0x108},
      {"-keep_wavepacket 1", 0x400},
      {"-keep_attribute_above 0 1", 0xFFFF0000},
      {"-keep_class 2 -keep_z_above 1 -filter_and", 0x3},
      {"-keep_class 2 -keep_intensity 1 2 -keep_gps_time 1 2", 0x8A},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    LASfilter filter;
    ASSERT_TRUE(filter.parse(std::string(c.options)));
    EXPECT_EQ(filter.needed_fields(), c.mask);
    EXPECT_EQ(filter.get_decompress_selective(), c.mask);
  }
}

}  // namespace
