// The filter option language: which criterion each option builds (seen
// through its printed command, which must parse back to the same text),
// what is blanked, the messages of bad arguments, list merging, the
// extended-class sets, combination, counters and the string form.
#include "filters/lasfilter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "filter_fixture.h"

namespace {

struct ParseResult {
  bool ok;
  std::string errors;
};

ParseResult parse_capturing(LASfilter& filter, ArgVector& args) {
  testing::internal::CaptureStderr();
  const bool ok = filter.parse(args.argc(), args.argv.data());
  return {ok, testing::internal::GetCapturedStderr()};
}

struct CommandCase {
  const char* options;
  const char* command;  // format_commands() of the parsed filter
};

const CommandCase kCommandCases[] = {
    // scaled coordinates print "%lf"
    {"-keep_x 1.5 2", "-keep_x 1.500000 2.000000 "},
    {"-keep_y -1 1", "-keep_y -1.000000 1.000000 "},
    {"-keep_z 11.125 130.725", "-keep_z 11.125000 130.725000 "},
    {"-drop_x 1 2", "-drop_x 1.000000 2.000000 "},
    {"-drop_y 1 2", "-drop_y 1.000000 2.000000 "},
    {"-drop_z 1 2", "-drop_z 1.000000 2.000000 "},
    {"-drop_x_above 630500.50", "-drop_x_above 630500.500000 "},
    {"-drop_y_above 4836000.75", "-drop_y_above 4836000.750000 "},
    {"-drop_z_above 130.725", "-drop_z_above 130.725000 "},
    {"-drop_x_below 630000.50", "-drop_x_below 630000.500000 "},
    {"-drop_y_below 4834500.25", "-drop_y_below 4834500.250000 "},
    {"-drop_z_below 11.125", "-drop_z_below 11.125000 "},
    {"-keep_z_above 100", "-drop_z_below 100.000000 "},
    {"-keep_z_below 100", "-drop_z_above 100.000000 "},
    {"-keep_xy 630000 4834000 631000 4836000", "-keep_xy 630000.000000 4834000.000000 631000.000000 4836000.000000 "},
    {"-drop_xy 1 2 3 4", "-drop_xy 1.000000 2.000000 3.000000 4.000000 "},
    {"-keep_xyz 620000 4830000 100 621000 4831000 200",
     "-keep_xyz 620000.000000 4830000.000000 100.000000 621000.000000 4831000.000000 200.000000 "},
    {"-drop_xyz 1 2 3 4 5 6", "-drop_xyz 1.000000 2.000000 3.000000 4.000000 5.000000 6.000000 "},
    // values that six decimals would change print in full
    {"-keep_z 0.0000001 2.5", "-keep_z 9.9999999999999995e-08 2.500000 "},
    // raw coordinates print "%d"
    {"-keep_X -5 5", "-keep_X -5 5 "},
    {"-keep_Y -2147483648 2147483647", "-keep_Y -2147483648 2147483647 "},
    {"-keep_Z 0 1", "-keep_Z 0 1 "},
    {"-drop_X 1 2", "-drop_X 1 2 "},
    {"-drop_Y 1 2", "-drop_Y 1 2 "},
    {"-drop_Z 1 2", "-drop_Z 1 2 "},
    {"-drop_X_above 3", "-drop_X_above 3 "},
    {"-drop_Y_above 3", "-drop_Y_above 3 "},
    {"-drop_Z_above 3", "-drop_Z_above 3 "},
    {"-drop_X_below 3", "-drop_X_below 3 "},
    {"-drop_Y_below 3", "-drop_Y_below 3 "},
    {"-drop_Z_below 3", "-drop_Z_below 3 "},
    {"-keep_Z_above 7", "-drop_Z_below 7 "},
    {"-keep_Z_below 7", "-drop_Z_above 7 "},
    {"-keep_XY 1 2 3 4", "-keep_XY 1 2 3 4 "},
    // areas; tile corners are single precision, printed "%g" when that
    // reads back the same float
    {"-keep_tile 631000 4834000 1000", "-keep_tile 631000 4.834e+06 1000 "},
    {"-keep_tile 631000 4834567 1000", "-keep_tile 631000 4834567 1000 "},
    {"-keep_circle 630250.00 4834750.00 100", "-keep_circle 630250.000000 4834750.000000 100.000000 "},
    {"-keep_profile 0 0 10 0 2", "-keep_profile 0.000000 0.000000 10.000000 0.000000 2.000000 "},
    // returns
    {"-keep_first", "-keep_first "},
    {"-first_only", "-keep_first "},
    {"-drop_first", "-drop_first "},
    {"-keep_last", "-keep_last "},
    {"-last_only", "-keep_last "},
    {"-drop_last", "-drop_last "},
    {"-keep_first_of_many", "-keep_first_of_many "},
    {"-drop_first_of_many", "-drop_first_of_many "},
    {"-keep_last_of_many", "-keep_last_of_many "},
    {"-drop_last_of_many", "-drop_last_of_many "},
    {"-keep_middle", "-keep_middle "},
    {"-drop_middle", "-drop_middle "},
    {"-keep_second_last", "-keep_second_last "},
    {"-drop_second_last", "-drop_second_last "},
    {"-keep_return 1 2 3", "-keep_return 1 2 3 "},
    {"-keep_return 3 1", "-keep_return 1 3 "},
    {"-drop_return 3 4", "-drop_return 3 4 "},
    {"-keep_return_mask 6", "-keep_return 1 2 "},
    {"-drop_return_mask 24", "-drop_return 3 4 "},
    {"-keep_return_mask 0", "-keep_return_mask 0 "},
    {"-drop_return_mask 0", "-drop_return_mask 0 "},
    {"-keep_single", "-keep_single "},
    {"-keep_double", "-keep_double "},
    {"-keep_triple", "-keep_triple "},
    {"-keep_quadruple", "-keep_quadruple "},
    {"-keep_quintuple", "-keep_quintuple "},
    {"-drop_single", "-drop_single "},
    {"-drop_double", "-drop_double "},
    {"-drop_triple", "-drop_triple "},
    {"-drop_quadruple", "-drop_quadruple "},
    {"-drop_quintuple", "-drop_quintuple "},
    {"-keep_number_of_returns 5", "-keep_quintuple "},
    {"-keep_number_of_returns 7", "-keep_number_of_returns 7 "},
    {"-keep_number_of_returns 4294967295", "-keep_number_of_returns 4294967295 "},
    {"-drop_number_of_returns 0", "-drop_number_of_returns 0 "},
    {"-drop_number_of_returns 1", "-drop_single "},
    // classification lists print as lists, ascending
    {"-keep_class 1 3 7", "-keep_class 1 3 7 "},
    {"-keep_classification 2", "-keep_class 2 "},
    {"-keep_class 31 0", "-keep_class 0 31 "},
    {"-keep_classification_mask 260", "-keep_class 2 8 "},
    {"-keep_classification_mask 0", "-keep_classification_mask 0 "},
    {"-drop_class 4 2", "-drop_class 2 4 "},
    {"-drop_classification 9", "-drop_class 9 "},
    {"-drop_classification_mask 3", "-drop_class 0 1 "},
    {"-drop_classification_mask 0", "-drop_classification_mask 0 "},
    {"-keep_extended_class 43",
     "-drop_extended_classification_mask 4294967295 4294967295 4294967295 4294967295 4294967295 4294967295 "
     "4294965247 4294967295 "},
    {"-drop_extended_class 129 135", "-drop_extended_classification_mask 0 0 0 130 0 0 0 0 "},
    {"-drop_extended_classification 255", "-drop_extended_classification_mask 2147483648 0 0 0 0 0 0 0 "},
    {"-drop_extended_classification_mask 8 7 6 5 4 3 2 1", "-drop_extended_classification_mask 8 7 6 5 4 3 2 1 "},
    {"-keep_synthetic", "-keep_synthetic "},
    {"-drop_synthetic", "-drop_synthetic "},
    {"-keep_keypoint", "-keep_keypoint "},
    {"-drop_keypoint", "-drop_keypoint "},
    {"-keep_withheld", "-keep_withheld "},
    {"-drop_withheld", "-drop_withheld "},
    {"-keep_overlap", "-keep_overlap "},
    {"-drop_overlap", "-drop_overlap "},
    {"-keep_edge_of_flight_line", "-keep_edge_of_flight_line "},
    {"-keep_scan_direction_change", "-keep_scan_direction_change "},
    {"-drop_scan_direction 1", "-drop_scan_direction 1 "},
    {"-keep_scanner_channel 3", "-keep_scanner_channel 3 "},
    {"-drop_scanner_channel 0", "-drop_scanner_channel 0 "},
    // intensity, user data, point source
    {"-keep_intensity 20 380", "-keep_intensity 20 380 "},
    {"-keep_intensity_above 65535", "-keep_intensity_above 65535 "},
    {"-keep_intensity_below 20", "-keep_intensity_below 20 "},
    {"-drop_intensity_above 380", "-drop_intensity_above 380 "},
    {"-drop_intensity_below -20", "-drop_intensity_below -20 "},
    {"-drop_intensity_between 4000 5000", "-drop_intensity_between 4000 5000 "},
    {"-keep_user_data 1", "-keep_user_data 1 "},
    {"-keep_user_data 300", "-keep_user_data 44 "},
    {"-keep_user_data_below 50", "-keep_user_data_below 50 "},
    {"-keep_user_data_above 150", "-keep_user_data_above 150 "},
    {"-keep_user_data_between 10 20", "-keep_user_data_between 10 20 "},
    {"-drop_user_data 255", "-drop_user_data 255 "},
    {"-drop_user_data 1 2", "-drop_user_data 1 -drop_user_data 2 "},
    {"-drop_user_data_below 1", "-drop_user_data_below 1 "},
    {"-drop_user_data_above 100", "-drop_user_data_above 100 "},
    {"-drop_user_data_between 10 40", "-drop_user_data_between 10 40 "},
    {"-keep_point_source 3", "-keep_point_source 3 "},
    {"-keep_point_source 3 4 5",
     "-keep_point_source 3 -keep_point_source 4 -filter_and -keep_point_source 5 -filter_and "},
    {"-keep_point_source_between 2 6", "-keep_point_source_between 2 6 "},
    {"-drop_point_source 27 28", "-drop_point_source 27 -drop_point_source 28 "},
    {"-drop_point_source_below 6", "-drop_point_source_below 6 "},
    {"-drop_point_source_above 15", "-drop_point_source_above 15 "},
    {"-drop_point_source_between 17 21", "-drop_point_source_between 17 21 "},
    // scan angle: pairs are ordered
    {"-keep_scan_angle -15 15", "-keep_scan_angle -15 15 "},
    {"-keep_scan_angle_between 15 -15", "-keep_scan_angle -15 15 "},
    {"-drop_scan_angle_above 15", "-drop_scan_angle_above 15 "},
    {"-drop_scan_angle_below -15", "-drop_scan_angle_below -15 "},
    {"-drop_scan_angle_between -23 -25", "-drop_scan_angle_between -25 -23 "},
    {"-drop_abs_scan_angle_above 15", "-keep_scan_angle -15 15 "},
    {"-drop_abs_scan_angle_below 1", "-drop_scan_angle_between 0 0 "},
    {"-drop_abs_scan_angle_below 0", "-drop_scan_angle_between -1 1 "},
    {"-drop_abs_scan_angle_below -2147483648", "-drop_scan_angle_between -2147483648 2147483647 "},
    // GPS time and its aliases
    {"-keep_gps_time 11.125 130.725", "-keep_gps_time 11.125000 130.725000 "},
    {"-keep_gpstime 1 2", "-keep_gps_time 1.000000 2.000000 "},
    {"-keep_gps_time_between 1 2", "-keep_gps_time 1.000000 2.000000 "},
    {"-keep_gpstime_between 1 2", "-keep_gps_time 1.000000 2.000000 "},
    {"-keep_gps_time_above 5", "-drop_gps_time_below 5.000000 "},
    {"-keep_gpstime_above 5", "-drop_gps_time_below 5.000000 "},
    {"-keep_gps_time_below 5", "-drop_gps_time_above 5.000000 "},
    {"-keep_gpstime_below 5", "-drop_gps_time_above 5.000000 "},
    {"-drop_gps_time_above 130.725", "-drop_gps_time_above 130.725000 "},
    {"-drop_gpstime_above 1", "-drop_gps_time_above 1.000000 "},
    {"-drop_gps_time_below 11.125", "-drop_gps_time_below 11.125000 "},
    {"-drop_gpstime_below 1", "-drop_gps_time_below 1.000000 "},
    {"-drop_gps_time_between 22.0 48.0", "-drop_gps_time_between 22.000000 48.000000 "},
    {"-drop_gpstime_between 1 2", "-drop_gps_time_between 1.000000 2.000000 "},
    // colour
    {"-keep_RGB_red 1 1", "-keep_RGB_red 1 1 "},
    {"-keep_RGB_green 100 30", "-keep_RGB_green 30 100 "},
    {"-keep_RGB_blue 0 0", "-keep_RGB_blue 0 0 "},
    {"-keep_RGB_nir 64 127", "-keep_RGB_nir 64 127 "},
    {"-drop_RGB_red 5000 20000", "-drop_RGB_red 5000 20000 "},
    {"-drop_RGB_green 2000 10000", "-drop_RGB_green 2000 10000 "},
    {"-drop_RGB_blue 1 2", "-drop_RGB_blue 1 2 "},
    {"-drop_RGB_nir 1 2", "-drop_RGB_nir 1 2 "},
    {"-keep_RGB_greenness 200 65535", "-keep_RGB_greenness 200 65535 "},
    {"-keep_NDVI 0.2 0.7", "-keep_NDVI 0.2 0.7 "},
    {"-keep_NDVI_green_is_NIR -0.2 0.2", "-keep_NDVI_green_is_NIR -0.2 0.2 "},
    {"-keep_NDVI_blue_is_NIR 0.7 0.2", "-keep_NDVI_blue_is_NIR 0.2 0.7 "},
    {"-keep_NDVI_from_CIR -0.1 0.5", "-keep_NDVI_from_CIR -0.1 0.5 "},
    {"-keep_NDVI_intensity_is_NIR 0.4 0.8", "-keep_NDVI_intensity_is_NIR 0.4 0.8 "},
    // wave packets (atoi) and attributes
    {"-keep_wavepacket 0", "-keep_wavepacket 0 "},
    {"-drop_wavepacket 3", "-drop_wavepacket 3 "},
    {"-drop_wavepacket x", "-drop_wavepacket 0 "},
    {"-keep_wavepacket -1", "-keep_wavepacket 4294967295 "},
    {"-keep_attribute_above 0 5.0", "-keep_attribute_above 0 5.000000 "},
    {"-keep_attribute_below 2 5", "-keep_attribute_below 2 5.000000 "},
    {"-keep_attribute_between 1 -1 1", "-keep_attribute_between 1 -1.000000 1.000000 "},
    {"-drop_attribute_above 0 5", "-drop_attribute_above 0 5.000000 "},
    {"-drop_attribute_below 1 1.5", "-drop_attribute_below 1 1.500000 "},
    {"-drop_attribute_between 3 1 2", "-drop_attribute_between 3 1.000000 2.000000 "},
    // thinning; a non-zero seed is kept in the command
    {"-keep_every_nth 2", "-keep_every_nth 2 "},
    {"-drop_every_nth 3", "-drop_every_nth 3 "},
    {"-keep_random_fraction 0.1", "-keep_random_fraction 0.1 "},
    {"-keep_random_fraction 0.1 4711", "-keep_random_fraction 0.1 4711 "},
    {"-thin_with_grid 1.0", "-thin_with_grid 1 "},
    {"-thin_with_grid 0.3", "-thin_with_grid 0.3 "},
    {"-thin_pulses_with_time 0.0001", "-thin_pulses_with_time 0.000100 "},
    {"-thin_with_time 0.0001", "-thin_pulses_with_time 0.000100 "},
    {"-thin_points_with_time 0.000001", "-thin_points_with_time 0.000001 "},
    {"-thin_points_with_time 0.0000005", "-thin_points_with_time 4.9999999999999998e-07 "},
    // combinations print in postfix order
    {"-keep_class 2 -keep_z_above 100 -filter_and", "-keep_class 2 -drop_z_below 100.000000 -filter_and "},
    {"-keep_first -keep_last -filter_or -keep_single -filter_and",
     "-keep_first -keep_last -filter_or -keep_single -filter_and "},
    // list merging, and the forms that keep unmerged criteria apart
    {"-keep_class 2 -keep_class 8", "-keep_class 2 8 "},
    {"-keep_classification_mask 4 -keep_class 8", "-keep_class 2 8 "},
    {"-keep_class 2 -keep_first -keep_class 8", "-keep_class 2 -keep_first -keep_class 8 "},
    {"-keep_class 2 -keep_classification_mask 256", "-keep_class 2 -keep_classification_mask 256 "},
    {"-keep_class 2 -keep_classification_mask 256 -filter_and",
     "-keep_class 2 -keep_classification_mask 256 -filter_and "},
    {"-drop_class 2 -drop_class 3", "-drop_class 2 3 "},
    {"-drop_class 2 -drop_classification_mask 8", "-drop_class 2 -drop_classification_mask 8 "},
    {"-keep_return 1 -keep_return 2", "-keep_return 1 2 "},
    {"-keep_return 1 -keep_return_mask 4", "-keep_return 1 -keep_return_mask 4 "},
    {"-drop_return 1 -drop_return 2", "-drop_return 1 2 "},
    {"-drop_return 1 -drop_return_mask 4", "-drop_return 1 -drop_return_mask 4 "},
    // the extended-class criterion comes last whatever the option order
    {"-drop_extended_class 40 -keep_first", "-keep_first -drop_extended_classification_mask 0 0 0 0 0 0 256 0 "},
};

TEST(FilterParse, EachOptionBuildsItsCriterionAndPrintsACommandThatParsesBack) {
  for (const CommandCase& c : kCommandCases) {
    SCOPED_TRACE(c.options);
    ArgVector args(c.options);
    LASfilter filter;
    const ParseResult result = parse_capturing(filter, args);
    ASSERT_TRUE(result.ok) << result.errors;
    EXPECT_EQ(result.errors, "");
    EXPECT_EQ(filter.format_commands(), c.command);
    for (size_t i = 1; i < args.argv.size(); i++) EXPECT_EQ(args.at(i), "") << "argument " << i << " not consumed";

    LASfilter reparsed;
    ASSERT_TRUE(reparsed.parse(std::string(c.command)));
    EXPECT_EQ(reparsed.format_commands(), c.command);
    EXPECT_EQ(reparsed.get_number_of_criteria(), filter.get_number_of_criteria());
  }
}

struct ErrorCase {
  const char* options;
  const char* message;
};

const ErrorCase kErrorCases[] = {
    // missing and unreadable arguments of fixed options
    {"-keep_x 1", "ERROR: '-keep_x' needs 2 arguments: min_x max_x\n"},
    {"-keep_x 1 abc", "ERROR: '-keep_x' needs 2 arguments: min_x max_x but 'abc' is no valid max_x\n"},
    {"-drop_y x 2", "ERROR: '-drop_y' needs 2 arguments: min_y max_y but 'x' is no valid min_y\n"},
    {"-drop_z_above", "ERROR: '-drop_z_above' needs 1 argument: max_z\n"},
    {"-drop_x_below x", "ERROR: '-drop_x_below' needs 1 argument: min_x but 'x' is no valid min_x\n"},
    {"-keep_z_above", "ERROR: '-keep_z_above' needs 1 argument: max_z\n"},
    {"-keep_xy 1 2 3", "ERROR: '-keep_xy' needs 4 arguments: min_x min_y max_x max_y\n"},
    {"-keep_xyz 1 2 3 4 5", "ERROR: '-keep_xyz' needs 6 arguments: min_x min_y min_z max_x max_y max_z\n"},
    {"-drop_xyz 1 2 3 4 5 z",
     "ERROR: '-drop_xyz' needs 6 arguments: min_x min_y min_z max_x max_y max_z but 'z' is no valid max_z\n"},
    {"-keep_X 1 99999999999", "ERROR: '-keep_X' needs 2 arguments: min_X max_X but '99999999999' is no valid max_X\n"},
    {"-drop_Z_above e5", "ERROR: '-drop_Z_above' needs 1 argument: max_Z but 'e5' is no valid max_Z\n"},
    {"-keep_XY 1 2 3", "ERROR: '-keep_XY' needs 4 arguments: min_X min_Y max_X max_Y\n"},
    {"-keep_tile 1 2 q", "ERROR: '-keep_tile' needs 3 arguments: llx lly size but 'q' is no valid size\n"},
    {"-keep_circle 1 2", "ERROR: '-keep_circle' needs 3 arguments: center_x center_y radius\n"},
    {"-keep_profile 1 2 3 4", "ERROR: '-keep_profile' needs 5 arguments: p1_x p1_y p2_x p2_y width\n"},
    {"-keep_gps_time 1", "ERROR: '-keep_gps_time' needs 2 arguments: start end\n"},
    {"-keep_gps_time_above", "ERROR: '-keep_gps_time_above' needs 1 argument: time\n"},
    {"-drop_gps_time_above x", "ERROR: '-drop_gps_time_above' needs 1 argument: max_gps_time but 'x' is no valid "
                               "max_gps_time\n"},
    {"-drop_gpstime_below", "ERROR: '-drop_gpstime_below' needs 1 argument: min_gps_time\n"},
    {"-drop_gps_time_between 1", "ERROR: '-drop_gps_time_between' needs 2 arguments: min max\n"},
    {"-keep_intensity 1", "ERROR: '-keep_intensity' needs 2 arguments: min max\n"},
    {"-keep_intensity -1 5", "ERROR: '-keep_intensity' needs 2 arguments: min max but '-1' is no valid min\n"},
    {"-drop_intensity_above", "ERROR: '-drop_intensity_above' needs 1 argument: max\n"},
    {"-keep_scan_angle 1", "ERROR: '-keep_scan_angle' needs 2 arguments: min max\n"},
    {"-drop_abs_scan_angle_below", "ERROR: '-drop_abs_scan_angle_below' needs 1 argument: min\n"},
    {"-keep_point_source_between 1", "ERROR: '-keep_point_source_between' needs 2 arguments: min_ID max_ID\n"},
    {"-drop_point_source_above", "ERROR: '-drop_point_source_above' needs 1 argument: max_ID\n"},
    {"-keep_RGB_red 1", "ERROR: '-keep_RGB_red' needs 2 arguments: min max\n"},
    {"-keep_NDVI 0.1 y", "ERROR: '-keep_NDVI' needs 2 arguments: min max but 'y' is no valid max\n"},
    {"-keep_RGB_purple 1", "ERROR: '-keep_RGB_purple' needs 2 arguments: min max\n"},
    {"-keep_NDVI_foo 0.1 x", "ERROR: '-keep_NDVI_foo' needs 2 arguments: min max but 'x' is no valid max\n"},
    {"-keep_wavepacket", "ERROR: '-keep_wavepacket' needs 1 argument: index\n"},
    {"-keep_attribute_between 0 1", "ERROR: '-keep_attribute_between' needs 3 arguments: index min max\n"},
    {"-keep_attribute_above -1 5",
     "ERROR: '-keep_attribute_above' needs 2 arguments: index value but '-1' is no valid index\n"},
    {"-drop_attribute_above x 1",
     "ERROR: '-drop_attribute_above' needs 2 arguments: index value but 'x' is no valid index\n"},
    {"-drop_attribute_below 0 x", "ERROR: '-drop_attribute_below' needs 2 arguments: index value 'x' is no valid value\n"},
    {"-drop_attribute_between 0 1 x",
     "ERROR: '-drop_attribute_between' needs 3 arguments: index below above but 'x' is no valid above\n"},
    {"-keep_classification_mask x",
     "ERROR: '-keep_classification_mask' needs 1 argument: mask but 'x' is no valid mask\n"},
    {"-keep_return_mask", "ERROR: '-keep_return_mask' needs 1 argument: return_mask\n"},
    {"-keep_number_of_returns x",
     "ERROR: '-keep_number_of_returns' needs 1 argument: number_of_returns but 'x' is no valid number_of_returns\n"},
    {"-drop_number_of_returns", "ERROR: '-drop_number_of_returns' needs 1 argument: number of returns\n"},
    {"-drop_scan_direction", "ERROR: '-drop_scan_direction' needs 1 argument: scan direction\n"},
    {"-keep_scanner_channel x",
     "ERROR: '-keep_scanner_channel' needs 1 argument: number but 'x' is no valid number\n"},
    {"-keep_every_nth x", "ERROR: '-keep_every_nth' needs 1 argument: nth but 'x' is no valid nth\n"},
    {"-drop_every_nth x", "ERROR: '-drop_every_nth' needs 1 argument nth but 'x' is no valid nth\n"},
    {"-thin_with_grid", "ERROR: '-thin_with_grid' needs 1 argument: grid spacing\n"},
    {"-thin_points_with_time x",
     "ERROR: '-thin_points_with_time' needs 1 argument: time spacing but 'x' is no valid time spacing\n"},
    // lists
    {"-keep_class", "ERROR: '-keep_class' needs at least 1 argument: classification\n"},
    {"-keep_class x", "ERROR: '-keep_class' needs at least 1 argument: classification but 'x' is no valid "
                      "classification\n"},
    {"-keep_classification -1",
     "ERROR: '-keep_classification' needs at least 1 argument: classification but '-1' is no valid "
     "classification\n"},
    {"-keep_class 2 32", "ERROR: '-keep_class' needs arguments between 0 and 31 but '32' is out of range\n"},
    {"-drop_class", "ERROR: '-drop_class' needs at least 1 argument: classification\n"},
    {"-drop_class x", "ERROR: '-drop_classification' needs at least 1 argument: classification but 'x' is no valid "
                      "classification\n"},
    {"-drop_class 4 40", "ERROR: cannot drop classification 40 because it is larger than 31\n"},
    {"-keep_extended_class", "ERROR: '-keep_extended_class' needs at least a argument: classification\n"},
    {"-keep_extended_class x", "ERROR: '-keep_extended_classification' needs at least 1 argument: classification "
                               "but 'x' is no valid classification\n"},
    {"-keep_extended_classification 256",
     "ERROR: cannot keep extended classification 256 because it is larger than 255\n"},
    {"-drop_extended_class", "ERROR: '-drop_extended_class' needs at least 1 argument: classification\n"},
    {"-drop_extended_class x", "ERROR: '-drop_extended_classification' needs at least 1 argument: classification "
                               "but 'x' is no valid classification\n"},
    {"-drop_extended_class 300", "ERROR: cannot drop extended classification 300 because it is larger than 255\n"},
    {"-keep_return", "ERROR: '-keep_return' needs at least 1 argument: return_number\n"},
    {"-keep_return x",
     "ERROR: '-keep_return' needs at least 1 argument: return_number but 'x' is no valid return_number\n"},
    {"-keep_return 1 16", "ERROR: cannot keep return_number 16 because it is larger than 15\n"},
    {"-drop_return x",
     "ERROR: '-drop_return' needs at least 1 argument: return_number but 'x' is no valid return_number\n"},
    {"-drop_return 16", "ERROR: cannot drop return_number 16 because it is larger than 15\n"},
    {"-drop_user_data", "ERROR: '-drop_user_data' needs at least 1 argument: value\n"},
    {"-drop_user_data x", "ERROR: '-drop_user_data' needs at least 1 argument: value but 'x' is no valid value\n"},
    {"-drop_user_data 1 256", "ERROR: cannot drop user data 256 because it is larger than 255\n"},
    {"-keep_point_source", "ERROR: '-keep_point_source' needs at least 1 argument: ID\n"},
    {"-keep_point_source x", "ERROR: '-keep_point_source' needs at least 1 argument: ID but 'x' is no valid ID\n"},
    {"-keep_point_source 1 99999999999",
     "ERROR: '-keep_point_source' takes one or more IDs but '99999999999' is no valid ID\n"},
    {"-keep_point_source 65536", "ERROR: cannot keep_point_source ID 65536 because it is larger than 65535\n"},
    {"-keep_point_source 1 65536", "ERROR: cannot keep_point_source ID 65536 because it is larger than 65535\n"},
    {"-drop_point_source", "ERROR: '-drop_point_source' needs at least 1 argument: ID\n"},
    {"-drop_point_source x", "ERROR: '-drop_point_source' needs at least 1 argument: ID but 'x' is no valid ID\n"},
    {"-drop_point_source 70000", "ERROR: cannot drop_point_source ID 70000 because it is larger than 65535\n"},
    // values out of range
    {"-keep_return_mask 65536",
     "ERROR: '-keep_return_mask' needs a return_mask between 0 and 65535 but return_mask is 65536\n"},
    {"-drop_return_mask 65536",
     "ERROR: '-drop_return_mask' needs a return_mask between 0 and 65535 but return_mask is 65536\n"},
    {"-drop_number_of_returns 16",
     "ERROR: '-drop_number_of_returns' needs 1 argument: number of returns but '16' is no valid value\n"},
    {"-drop_scan_direction 2",
     "ERROR: '-drop_scan_direction' needs 1 argument: scan direction but '2' is no valid value\n"},
    {"-keep_scanner_channel 4",
     "ERROR: '-keep_scanner_channel' needs 1 argument: number between 0 and 3 so '4' is not valid\n"},
    {"-keep_scanner_channel -1",
     "ERROR: '-keep_scanner_channel' needs 1 argument: number between 0 and 3 so '-1' is not valid\n"},
    {"-drop_scanner_channel 4", "ERROR: 4 is no valid value for '-drop_scanner_channel'\n"},
    {"-drop_scanner_channel x", "ERROR: '-drop_scanner_channel' needs 1 argument channel but 'x' is no valid value\n"},
    {"-keep_intensity 65536 1", "ERROR: cannot keep intensity because min of 65536 is larger than 65535\n"},
    {"-keep_intensity 1 65536", "ERROR: cannot keep intensity because max of 65536 is larger than 65535\n"},
    {"-keep_intensity_above 70000",
     "ERROR: cannot keep intensity above max of 70000 because it is larger than 65535\n"},
    {"-keep_intensity_below 70000",
     "ERROR: cannot keep intensity below min of 70000 because it is larger than 65535\n"},
    {"-drop_user_data_below 256", "ERROR: cannot drop user data below 256 because it is larger than 255\n"},
    {"-drop_user_data_below x", "ERROR: '-drop_user_data_below' needs 1 argument: below but 'x' is no valid value\n"},
    {"-drop_user_data_above", "ERROR: '-drop_user_data_above' needs 1 argument: above\n"},
    {"-drop_user_data_above 256", "ERROR: cannot drop user data above 256 because it is larger than 255\n"},
    {"-drop_user_data_above x", "ERROR: '-drop_user_data_above' needs 1 argument: above but 'x' is no valid value\n"},
    {"-drop_user_data_between 256 1",
     "ERROR: cannot drop user data between min and max because min of 256 is larger than 255\n"},
    {"-drop_user_data_between 1 256",
     "ERROR: cannot drop user data between min and max because max of 256 is larger than 255\n"},
    {"-keep_point_source_between 65536 1",
     "ERROR: cannot keep point source because min_ID of 65536 is larger than 65535\n"},
    {"-keep_point_source_between 1 65536",
     "ERROR: cannot keep point source because max_ID of 65536 is larger than 65535\n"},
    {"-drop_point_source_below 65536",
     "ERROR: cannot drop point source below min_ID of 65536 because it is larger than 65535\n"},
    {"-drop_point_source_above 65536",
     "ERROR: cannot drop point source above max_ID of 65536 because it is larger than 65535\n"},
    {"-drop_point_source_between 65536 1",
     "ERROR: cannot drop point source because min_ID of 65536 is larger than 65535\n"},
    {"-drop_point_source_between 1 -1",
     "ERROR: cannot drop point source because max_ID of 4294967295 is larger than 65535\n"},
    {"-keep_every_nth 0", "ERROR: 0 is no valid nth for '-keep_every_nth'\n"},
    {"-drop_every_nth 0", "ERROR: 0 is no valid nth for '-drop_every_nth'\n"},
    {"-keep_random_fraction", "ERROR: '-keep_random_fraction' needs at least 1 argument: fraction [seed]\n"},
    {"-keep_random_fraction x",
     "ERROR: '-keep_random_fraction' needs at least 1 argument: fraction [seed] but 'x' is no valid fraction\n"},
    {"-keep_random_fraction 0.5 99999999999",
     "ERROR: '-keep_random_fraction' takes seed as second argument but '99999999999' is no valid seed\n"},
    {"-thin_with_grid 0", "ERROR: '-thin_with_grid' needs 1 argument: grid spacing but '0' is no valid value\n"},
    {"-thin_with_grid -1", "ERROR: '-thin_with_grid' needs 1 argument: grid spacing but '-1' is no valid value\n"},
    {"-thin_with_grid nan", "ERROR: '-thin_with_grid' needs 1 argument: grid spacing but 'nan' is no valid value\n"},
    {"-thin_with_time 0", "ERROR: '-thin_with_time' needs 1 argument: time spacing but '0' is no valid value\n"},
    {"-thin_pulses_with_time -0.5",
     "ERROR: '-thin_pulses_with_time' needs 1 argument: time spacing but '-0.5' is no valid value\n"},
    // the extended-class mask
    {"-drop_extended_classification_mask 1 2 3",
     "ERROR: '-drop_extended_classification_mask' needs 8 arguments: mask7 mask6 mask5 mask4 mask3 mask2 mask1 "
     "mask0\n"},
    {"-drop_extended_classification_mask 0 0 x 0 0 0 0 0",
     "ERROR: '-drop_extended_classification_mask' needs 8 arguments: mask7 mask6 mask5 mask4 mask3 mask2 mask1 "
     "mask0\n"
     "       but 'x' is a bad argument for mask5\n"},
    // combination, extended classes, obsolete options
    {"-filter_and", "ERROR: '-filter_and' needs to be preceeded by at least two filters\n"},
    {"-keep_class 2 -filter_or", "ERROR: '-filter_or' needs to be preceeded by at least two filters\n"},
    {"-keep_extended_class 40 -drop_extended_class 41",
     "ERROR: cannot use '-drop_extended_class' and '-keep_extended_class' simultaneously\n"},
    {"-clip_z_above 5",
     "ERROR: '-clip_z_above' is no longer recognized. check documentation with '-h'.\n"
     "  rename '-clip' to '-keep_xy'.\n"
     "  rename '-clip_box' to '-keep_xyz'.\n"
     "  rename '-clip_tile' to '-keep_tile'.\n"
     "  rename '-clip_z_below' to '-drop_z_below'.\n"
     "  rename '-clip_z_above' to '-drop_z_above'.\n"
     "  rename '-clip_z_between' to '-drop_z'.\n"
     "  etc ...\n"},
};

TEST(FilterParse, BadArgumentsFailWithTheirMessage) {
  for (const ErrorCase& c : kErrorCases) {
    SCOPED_TRACE(c.options);
    ArgVector args(c.options);
    LASfilter filter;
    const ParseResult result = parse_capturing(filter, args);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errors, c.message);
  }
}

TEST(FilterParse, ConsumesOnlyItsOwnOptions) {
  ArgVector args("-i in.las -keep_class 2 8 -keep_first -o out.las -clip -keep_RGB_purple 1 2 -keep_unknown 5 -v");
  LASfilter filter;
  const ParseResult result = parse_capturing(filter, args);
  ASSERT_TRUE(result.ok) << result.errors;
  EXPECT_EQ(result.errors, "");
  EXPECT_EQ(filter.format_commands(), "-keep_class 2 8 -keep_first ");
  const std::vector<std::string> expected = {"prog", "-i", "in.las", "", "", "", "", "-o", "out.las", "-clip",
                                             "-keep_RGB_purple", "1", "2", "-keep_unknown", "5", "-v"};
  ASSERT_EQ(args.argv.size(), expected.size());
  for (size_t i = 0; i < expected.size(); i++) EXPECT_EQ(args.at(i), expected[i]) << "argument " << i;
}

TEST(FilterParse, ListsEndAtTheFirstArgumentThatIsNoNumber) {
  struct Case {
    const char* options;
    const char* command;
    const char* left;  // arguments not consumed, joined by blanks
  };
  const Case cases[] = {
      {"-keep_class 2 8 -keep_first", "-keep_class 2 8 -keep_first ", ""},
      {"-keep_class 2 -5", "-keep_class 2 ", "-5"},
      {"-drop_user_data 1 two", "-drop_user_data 1 ", "two"},
      {"-keep_random_fraction 0.5 -keep_last", "-keep_random_fraction 0.5 -keep_last ", ""},
      {"-keep_random_fraction 0.5 12", "-keep_random_fraction 0.5 12 ", ""},
      {"-keep_return 1 2 file.las", "-keep_return 1 2 ", "file.las"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    ArgVector args(c.options);
    LASfilter filter;
    ASSERT_TRUE(filter.parse(args.argc(), args.argv.data()));
    EXPECT_EQ(filter.format_commands(), c.command);
    std::string left;
    for (size_t i = 1; i < args.argv.size(); i++) {
      if (args.at(i).empty()) continue;
      if (!left.empty()) left += ' ';
      left += args.at(i);
    }
    EXPECT_EQ(left, c.left);
  }
}

TEST(FilterParse, ClassListsMergeOnlyIntoADirectlyPrecedingClassList) {
  LASfilter merged;
  ASSERT_TRUE(merged.parse(std::string("-keep_class 2 -keep_class 8")));
  EXPECT_EQ(merged.get_number_of_criteria(), 1u);
  LASfilter apart;
  ASSERT_TRUE(apart.parse(std::string("-keep_class 2 -keep_first -keep_class 8")));
  EXPECT_EQ(apart.get_number_of_criteria(), 3u);
  // two separate class criteria together keep nothing
  FilterPoint f;
  for (int c : {2, 8}) {
    f.fresh().classification = static_cast<uint8_t>(c);
    EXPECT_FALSE(merged.rejects(&f.point));
    EXPECT_TRUE(apart.rejects(&f.point));
  }
}

TEST(FilterParse, KeepClassWithExtendedClassesWarnsAndAddsNoExtendedCriterion) {
  const char* const options[] = {"-keep_class 2 -keep_extended_class 40", "-keep_classification_mask 4 "
                                                                          "-drop_extended_class 40"};
  for (const char* o : options) {
    SCOPED_TRACE(o);
    ArgVector args(o);
    LASfilter filter;
    const ParseResult result = parse_capturing(filter, args);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.errors,
              "WARNING: cannot combine '-keep_class' together with '-keep_extended_class'. use\n"
              "         exclusively 'extended' filters for filtering points with classes above 31\n");
    EXPECT_EQ(filter.format_commands(), "-keep_class 2 ");
  }
}

TEST(FilterParse, HelpPrintsUsageAndStops) {
  testing::internal::CaptureStderr();
  LASfilter::usage();
  const std::string usage = testing::internal::GetCapturedStderr();
  EXPECT_EQ(usage.rfind("Filter points based on their coordinates.\n  -keep_tile 631000 4834000 1000 (ll_x ll_y size)\n",
                        0),
            0u);
  EXPECT_NE(usage.find("Filter points based on classifications or flags.\n  -keep_class 1 3 7\n"), std::string::npos);
  EXPECT_NE(usage.find("  -keep_NDVI_intensity_is_NIR 0.4 0.8 -keep_NDVI_green_is_NIR -0.2 0.2\n"),
            std::string::npos);
  const std::string tail = "Boolean combination of filters.\n  -filter_and\n";
  ASSERT_GE(usage.size(), tail.size());
  EXPECT_EQ(usage.substr(usage.size() - tail.size()), tail);
  // 14 headings with 91 example lines, every line ended
  size_t headings = 0, examples = 0, pos = 0;
  while (pos < usage.size()) {
    (usage.compare(pos, 2, "  ") == 0 ? examples : headings)++;
    const size_t end = usage.find('\n', pos);
    ASSERT_NE(end, std::string::npos);
    pos = end + 1;
  }
  EXPECT_EQ(headings, 14u);
  EXPECT_EQ(examples, 91u);

  for (const char* help : {"-h", "-help"}) {
    ArgVector args(std::string("-keep_first ") + help + " -keep_class 99");
    LASfilter filter;
    const ParseResult result = parse_capturing(filter, args);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.errors, usage);
    EXPECT_EQ(filter.format_commands(), "-keep_first ");
    EXPECT_EQ(args.at(3), "-keep_class");
  }
}

TEST(FilterParse, FailedParseKeepsCriteriaAddedBefore) {
  ArgVector args("-keep_first -drop_point_source 5 6 70000");
  LASfilter filter;
  const ParseResult result = parse_capturing(filter, args);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(filter.format_commands(), "-keep_first -drop_point_source 5 -drop_point_source 6 ");
  EXPECT_EQ(args.at(1), "");
  EXPECT_EQ(args.at(2), "-drop_point_source");
}

TEST(FilterParse, StringFormSplitsAtBlanksOnly) {
  LASfilter filter;
  char text[] = "   -keep_class  2\t 8   -keep_first  ";
  // the tab is part of "2\t": read as 2 like a scanf conversion would; "8"
  // follows and is taken into the list
  ASSERT_TRUE(filter.parse(text));
  EXPECT_EQ(filter.format_commands(), "-keep_class 2 8 -keep_first ");

  LASfilter empty;
  ASSERT_TRUE(empty.parse(std::string("    ")));
  EXPECT_EQ(empty.get_number_of_criteria(), 0u);
}

// Printed commands can hold far more than 63 arguments; they must parse.
TEST(FilterParse, StringFormTakesLongCommands) {
  std::string options = "-keep_point_source";
  for (int id = 1; id <= 40; id++) options += " " + std::to_string(id);
  options += " -drop_class 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 -drop_extended_class 200";
  LASfilter filter;
  ASSERT_TRUE(filter.parse(options));
  const std::string command = filter.format_commands();
  LASfilter reparsed;
  ASSERT_TRUE(reparsed.parse(command));
  EXPECT_EQ(reparsed.format_commands(), command);
  EXPECT_EQ(reparsed.get_number_of_criteria(), 3u);
}

TEST(FilterFormat, TruncatesLikeSnprintf) {
  LASfilter filter;
  ASSERT_TRUE(filter.parse(std::string("-keep_class 2 8 -keep_first")));
  const std::string full = "-keep_class 2 8 -keep_first ";
  EXPECT_EQ(filter.format_commands(nullptr, 0), static_cast<int>(full.size()));
  char small[10];
  memset(small, 'x', sizeof(small));
  EXPECT_EQ(filter.format_commands(small, sizeof(small)), static_cast<int>(full.size()));
  EXPECT_EQ(std::string(small), full.substr(0, 9));
  char exact[29];
  EXPECT_EQ(filter.format_commands(exact, sizeof(exact)), static_cast<int>(full.size()));
  EXPECT_EQ(std::string(exact), full);
}

// ---------------------------------------------------------------------------
// Applying the filter.

TEST(FilterApply, CountsTheFirstCriterionThatRejects) {
  LASfilter filter;
  ASSERT_TRUE(filter.parse(std::string("-keep_class 2 -keep_z_above 100 -keep_every_nth 2")));
  FilterPoint f;
  struct Point {
    int classification;
    double z;
    bool rejected;
  };
  const Point points[] = {
      {1, 150, true},   // class
      {2, 50, true},    // z
      {2, 150, true},   // every 2nd: first of a pair
      {2, 150, false},  // every 2nd: kept
      {1, 50, true},    // class, z not asked
  };
  for (const Point& p : points) {
    LASpoint& point = f.fresh();
    point.classification = static_cast<uint8_t>(p.classification);
    point.set_z(p.z);
    EXPECT_EQ(filter.rejects(&point), p.rejected);
  }
  EXPECT_EQ(filter.get_counter(0), 2);
  EXPECT_EQ(filter.get_counter(1), 1);
  EXPECT_EQ(filter.get_counter(2), 1);
}

TEST(FilterApply, ResetRestartsCriteriaButNotCounters) {
  LASfilter filter;
  ASSERT_TRUE(filter.parse(std::string("-keep_scan_direction_change -thin_points_with_time 1")));
  FilterPoint f;
  auto read_file = [&]() {
    std::string decisions;
    const double times[] = {0.5, 1.5, 1.75};
    const int flags[] = {0, 1, 0};
    for (int i = 0; i < 3; i++) {
      LASpoint& p = f.fresh();
      p.gps_time = times[i];
      p.scan_direction_flag = static_cast<uint8_t>(flags[i]);
      decisions += filter.rejects(&p) ? 'R' : 'K';
    }
    return decisions;
  };
  EXPECT_EQ(read_file(), "RKR");
  filter.reset();
  EXPECT_EQ(read_file(), "RKR");
  EXPECT_EQ(filter.get_counter(0), 2);
  EXPECT_EQ(filter.get_counter(1), 2);
}

TEST(FilterApply, CleanEmptiesTheFilter) {
  LASfilter filter;
  ASSERT_TRUE(filter.parse(std::string("-keep_class 2 -keep_first")));
  filter.clean();
  EXPECT_EQ(filter.get_number_of_criteria(), 0u);
  EXPECT_EQ(filter.needed_fields(), 0u);
  EXPECT_EQ(filter.format_commands(), "");
  FilterPoint f;
  f.fresh().classification = 7;
  EXPECT_FALSE(filter.rejects(&f.point));
  ASSERT_TRUE(filter.parse(std::string("-keep_class 7")));
  EXPECT_FALSE(filter.rejects(&f.point));
}

}  // namespace
