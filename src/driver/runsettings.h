// What the command line (or the console questions) set for one run.
#ifndef TIECHECK_DRIVER_RUNSETTINGS_H
#define TIECHECK_DRIVER_RUNSETTINGS_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct RunSettings {
  // Empty means none for every name below.
  std::string cp_file_name;
  // None: the control-point lines go to standard output.
  std::string cp_out_name;
  std::string cp_parse_string = "xyz";
  // Distance of interest around control points (a third of the collecting
  // distance); tripled by the run when the input is in feet.
  float step = 5.0f;
  int32_t skip = 0;
  // Differences above / below these are ignored; 0.0 switches a side off.
  double ignore_above = 0.0;
  double ignore_below = 0.0;
  bool adjust_z = false;
  bool layer_input = false;
  std::string layer_input_directory;
  int32_t layer_count = 2147483647;
  bool layer_output = false;
  std::string layer_output_directory;
  bool wait = false;
  bool verbose = false;
  bool very_verbose = false;
  bool quiet = false;
  // Started without any argument: file names came from the console.
  bool interactive = false;
  // Taken by the run from the first control point.
  char separator = ' ';
  // The arguments joined by spaces, when any argument begins with "-olay".
  bool have_command_line_record = false;
  std::string command_line_record;
  // Geo keys of a projection given on the command line: key entries of four
  // unsigned 16-bit values, and their double parameters.
  bool have_geo_keys = false;
  std::vector<std::array<uint16_t, 4>> geo_key_entries;
  std::vector<double> geo_double_params;
};

#endif
