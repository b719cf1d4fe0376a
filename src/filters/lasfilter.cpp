#include "filters/lasfilter.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "filters/lascriterion_classification.h"
#include "filters/lascriterion_color.h"
#include "filters/lascriterion_combine.h"
#include "filters/lascriterion_coordinates.h"
#include "filters/lascriterion_returns.h"
#include "filters/lascriterion_thinning.h"
#include "filters/lascriterion_values.h"

namespace {

// ---------------------------------------------------------------------------
// Reading arguments. The conversions follow sscanf's rules (leading blanks
// skipped, a readable prefix is enough) but refuse what sscanf leaves
// undefined or silently wraps: integers out of their 32-bit range and
// negative numbers for unsigned arguments.

union Value {
  double f64;
  float f32;
  int32_t i32;
  uint32_t u32;
};

bool scan_double(const char* text, double* value) {
  char* end;
  *value = strtod(text, &end);
  return end != text;
}

bool scan_float(const char* text, float* value) {
  char* end;
  *value = strtof(text, &end);
  return end != text;
}

bool scan_int(const char* text, int32_t* value) {
  char* end;
  errno = 0;
  const long long v = strtoll(text, &end, 10);
  if (end == text || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
  *value = static_cast<int32_t>(v);
  return true;
}

bool scan_unsigned(const char* text, uint32_t* value) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) p++;
  if (*p == '-') return false;
  char* end;
  errno = 0;
  const unsigned long long v = strtoull(p, &end, 10);
  if (end == p || errno == ERANGE || v > UINT32_MAX) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

// atoi: the leading, optionally signed decimal number, 0 for other text;
// the low 32 bits of a number out of range.
uint32_t scan_atoi(const char* text) {
  return static_cast<uint32_t>(static_cast<unsigned long long>(strtoll(text, nullptr, 10)));
}

bool starts_with_digit(const char* text) { return text[0] >= '0' && text[0] <= '9'; }

int32_t clamp_int32(int64_t v) {
  if (v < INT32_MIN) return INT32_MIN;
  if (v > INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(v);
}

// ---------------------------------------------------------------------------
// Messages. "ERROR: '<option>' needs <n> argument(s): <names>" opens both
// the missing-argument and the unreadable-argument message.

void print_needs(const char* option, int count, const char* names) {
  if (count == 1) {
    fprintf(stderr, "ERROR: '%s' needs 1 argument: %s", option, names);
  } else {
    fprintf(stderr, "ERROR: '%s' needs %d arguments: %s", option, count, names);
  }
}

void print_missing(const char* option, int count, const char* names) {
  print_needs(option, count, names);
  fprintf(stderr, "\n");
}

// The name of argument `k` (0-based): the whole text for a single argument
// ("grid spacing"), else the k-th blank-separated word.
void argument_name(const char* names, int count, int k, char* name, size_t size) {
  const char* start = names;
  if (count > 1) {
    for (int w = 0; w < k && start; w++) {
      start = strchr(start, ' ');
      if (start) start++;
    }
    if (!start) start = "";
  }
  size_t length = count > 1 ? strcspn(start, " ") : strlen(start);
  if (length >= size) length = size - 1;
  memcpy(name, start, length);
  name[length] = '\0';
}

void print_unreadable(const char* option, int count, const char* names, int k, const char* argument) {
  char name[64];
  argument_name(names, count, k, name, sizeof(name));
  print_needs(option, count, names);
  fprintf(stderr, " but '%s' is no valid %s\n", argument, name);
}

// ---------------------------------------------------------------------------
// Options with a fixed number of arguments. `scans` holds one letter per
// argument: 'l' double (%lf), 'f' float (%f), 'd' int (%d), 'u' unsigned
// (%u), 'a' atoi. `check` prints its own message for a value out of range;
// `bad_last` replaces the usual message for an unreadable last argument.

using Make = LAScriterion* (*)(const Value* v);
using Check = bool (*)(const char* option, const Value* v, char* const* args);
using BadLast = void (*)(const char* option, const char* argument);

struct FixedOption {
  const char* option;
  const char* scans;
  const char* names;
  Make make;
  Check check;
  BadLast bad_last;
};

// The factory of a table row: builds the criterion from the scanned values.
#define CRITERION(expr) [](const Value* v) -> LAScriterion* { (void)v; return expr; }

bool check_return_mask(const char* option, const Value* v, char* const*) {
  if (v[0].u32 > 65535) {
    fprintf(stderr, "ERROR: '%s' needs a return_mask between 0 and %u but return_mask is %u\n", option, 65535u,
            v[0].u32);
    return false;
  }
  return true;
}

bool check_drop_number_of_returns(const char* option, const Value* v, char* const*) {
  if (v[0].u32 > 15) {
    fprintf(stderr, "ERROR: '%s' needs 1 argument: number of returns but '%u' is no valid value\n", option,
            v[0].u32);
    return false;
  }
  return true;
}

bool check_scan_direction(const char* option, const Value* v, char* const*) {
  if (v[0].u32 > 1) {
    fprintf(stderr, "ERROR: '%s' needs 1 argument: scan direction but '%u' is no valid value\n", option, v[0].u32);
    return false;
  }
  return true;
}

bool check_keep_scanner_channel(const char* option, const Value* v, char* const* args) {
  if (v[0].i32 < 0 || v[0].i32 > 3) {
    fprintf(stderr, "ERROR: '%s' needs 1 argument: number between 0 and 3 so '%s' is not valid\n", option, args[0]);
    return false;
  }
  return true;
}

bool check_drop_scanner_channel(const char* option, const Value* v, char* const*) {
  if (v[0].u32 > 3) {
    fprintf(stderr, "ERROR: %u is no valid value for '%s'\n", v[0].u32, option);
    return false;
  }
  return true;
}

void bad_drop_scanner_channel(const char* option, const char* argument) {
  fprintf(stderr, "ERROR: '%s' needs 1 argument channel but '%s' is no valid value\n", option, argument);
}

bool check_keep_intensity(const char*, const Value* v, char* const*) {
  if (v[0].u32 > 65535) {
    fprintf(stderr, "ERROR: cannot keep intensity because min of %u is larger than %u\n", v[0].u32, 65535u);
    return false;
  }
  if (v[1].u32 > 65535) {
    fprintf(stderr, "ERROR: cannot keep intensity because max of %u is larger than %u\n", v[1].u32, 65535u);
    return false;
  }
  return true;
}

bool check_keep_intensity_above(const char*, const Value* v, char* const*) {
  if (v[0].u32 > 65535) {
    fprintf(stderr, "ERROR: cannot keep intensity above max of %u because it is larger than %u\n", v[0].u32, 65535u);
    return false;
  }
  return true;
}

bool check_keep_intensity_below(const char*, const Value* v, char* const*) {
  if (v[0].u32 > 65535) {
    fprintf(stderr, "ERROR: cannot keep intensity below min of %u because it is larger than %u\n", v[0].u32, 65535u);
    return false;
  }
  return true;
}

bool check_drop_user_data_below(const char*, const Value* v, char* const*) {
  if (v[0].u32 > 255) {
    fprintf(stderr, "ERROR: cannot drop user data below %u because it is larger than 255\n", v[0].u32);
    return false;
  }
  return true;
}

void bad_drop_user_data_below(const char* option, const char* argument) {
  fprintf(stderr, "ERROR: '%s' needs 1 argument: below but '%s' is no valid value\n", option, argument);
}

bool check_drop_user_data_above(const char*, const Value* v, char* const*) {
  if (v[0].u32 > 255) {
    fprintf(stderr, "ERROR: cannot drop user data above %u because it is larger than 255\n", v[0].u32);
    return false;
  }
  return true;
}

void bad_drop_user_data_above(const char* option, const char* argument) {
  fprintf(stderr, "ERROR: '%s' needs 1 argument: above but '%s' is no valid value\n", option, argument);
}

bool check_drop_user_data_between(const char*, const Value* v, char* const*) {
  if (v[0].u32 > 255) {
    fprintf(stderr, "ERROR: cannot drop user data between min and max because min of %u is larger than 255\n",
            v[0].u32);
    return false;
  }
  if (v[1].u32 > 255) {
    fprintf(stderr, "ERROR: cannot drop user data between min and max because max of %u is larger than 255\n",
            v[1].u32);
    return false;
  }
  return true;
}

bool check_keep_point_source_between(const char*, const Value* v, char* const*) {
  if (v[0].u32 > 65535) {
    fprintf(stderr, "ERROR: cannot keep point source because min_ID of %u is larger than %u\n", v[0].u32, 65535u);
    return false;
  }
  if (v[1].u32 > 65535) {
    fprintf(stderr, "ERROR: cannot keep point source because max_ID of %u is larger than %u\n", v[1].u32, 65535u);
    return false;
  }
  return true;
}

bool check_drop_point_source_below(const char*, const Value* v, char* const*) {
  if (v[0].u32 > 65535) {
    fprintf(stderr, "ERROR: cannot drop point source below min_ID of %u because it is larger than %u\n", v[0].u32,
            65535u);
    return false;
  }
  return true;
}

bool check_drop_point_source_above(const char*, const Value* v, char* const*) {
  if (v[0].u32 > 65535) {
    fprintf(stderr, "ERROR: cannot drop point source above max_ID of %u because it is larger than %u\n", v[0].u32,
            65535u);
    return false;
  }
  return true;
}

// The upper ID is read as a signed number; compared as unsigned, a
// negative one is out of range too instead of wrapping into 16 bits.
bool check_drop_point_source_between(const char*, const Value* v, char* const*) {
  if (v[0].u32 > 65535) {
    fprintf(stderr, "ERROR: cannot drop point source because min_ID of %u is larger than %u\n", v[0].u32, 65535u);
    return false;
  }
  if (v[1].u32 > 65535) {
    fprintf(stderr, "ERROR: cannot drop point source because max_ID of %u is larger than %u\n", v[1].u32, 65535u);
    return false;
  }
  return true;
}

// Attribute indices print as unsigned; a negative one names no attribute
// and would not read back through the signed argument.
bool check_attribute_index2(const char* option, const Value* v, char* const* args) {
  if (v[0].i32 < 0) {
    print_unreadable(option, 2, "index value", 0, args[0]);
    return false;
  }
  return true;
}

bool check_attribute_index3(const char* option, const Value* v, char* const* args) {
  if (v[0].i32 < 0) {
    print_unreadable(option, 3, "index min max", 0, args[0]);
    return false;
  }
  return true;
}

void bad_drop_attribute_value(const char* option, const char* argument) {
  fprintf(stderr, "ERROR: '%s' needs 2 arguments: index value '%s' is no valid value\n", option, argument);
}

bool check_nth(const char* option, const Value* v, char* const*) {
  if (v[0].u32 == 0) {
    fprintf(stderr, "ERROR: %u is no valid nth for '%s'\n", v[0].u32, option);
    return false;
  }
  return true;
}

void bad_drop_nth(const char* option, const char* argument) {
  fprintf(stderr, "ERROR: '%s' needs 1 argument nth but '%s' is no valid nth\n", option, argument);
}

// Spacings must be positive; NaN is refused too.
bool check_grid_spacing(const char* option, const Value* v, char* const*) {
  if (!(v[0].f32 > 0.0f)) {
    fprintf(stderr, "ERROR: '%s' needs 1 argument: grid spacing but '%g' is no valid value\n", option, v[0].f32);
    return false;
  }
  return true;
}

bool check_time_spacing(const char* option, const Value* v, char* const*) {
  if (!(v[0].f64 > 0.0)) {
    fprintf(stderr, "ERROR: '%s' needs 1 argument: time spacing but '%g' is no valid value\n", option, v[0].f64);
    return false;
  }
  return true;
}

const FixedOption fixed_options[] = {
    // scaled coordinates
    {"-keep_x", "ll", "min_x max_x", CRITERION(new LAScriterionKeepx(v[0].f64, v[1].f64)), nullptr, nullptr},
    {"-keep_y", "ll", "min_y max_y", CRITERION(new LAScriterionKeepy(v[0].f64, v[1].f64)), nullptr, nullptr},
    {"-keep_z", "ll", "min_z max_z", CRITERION(new LAScriterionKeepz(v[0].f64, v[1].f64)), nullptr, nullptr},
    {"-drop_x", "ll", "min_x max_x", CRITERION(new LAScriterionDropx(v[0].f64, v[1].f64)), nullptr, nullptr},
    {"-drop_y", "ll", "min_y max_y", CRITERION(new LAScriterionDropy(v[0].f64, v[1].f64)), nullptr, nullptr},
    {"-drop_z", "ll", "min_z max_z", CRITERION(new LAScriterionDropz(v[0].f64, v[1].f64)), nullptr, nullptr},
    {"-drop_x_above", "l", "max_x", CRITERION(new LAScriterionDropxAbove(v[0].f64)), nullptr, nullptr},
    {"-drop_y_above", "l", "max_y", CRITERION(new LAScriterionDropyAbove(v[0].f64)), nullptr, nullptr},
    {"-drop_z_above", "l", "max_z", CRITERION(new LAScriterionDropzAbove(v[0].f64)), nullptr, nullptr},
    {"-drop_x_below", "l", "min_x", CRITERION(new LAScriterionDropxBelow(v[0].f64)), nullptr, nullptr},
    {"-drop_y_below", "l", "min_y", CRITERION(new LAScriterionDropyBelow(v[0].f64)), nullptr, nullptr},
    {"-drop_z_below", "l", "min_z", CRITERION(new LAScriterionDropzBelow(v[0].f64)), nullptr, nullptr},
    {"-keep_z_above", "l", "max_z", CRITERION(new LAScriterionDropzBelow(v[0].f64)), nullptr, nullptr},
    {"-keep_z_below", "l", "min_z", CRITERION(new LAScriterionDropzAbove(v[0].f64)), nullptr, nullptr},
    {"-keep_xy", "llll", "min_x min_y max_x max_y",
     CRITERION(new LAScriterionKeepxy(v[0].f64, v[1].f64, v[2].f64, v[3].f64)), nullptr, nullptr},
    {"-drop_xy", "llll", "min_x min_y max_x max_y",
     CRITERION(new LAScriterionDropxy(v[0].f64, v[1].f64, v[2].f64, v[3].f64)), nullptr, nullptr},
    {"-keep_xyz", "llllll", "min_x min_y min_z max_x max_y max_z",
     CRITERION(new LAScriterionKeepxyz(v[0].f64, v[1].f64, v[2].f64, v[3].f64, v[4].f64, v[5].f64)), nullptr,
     nullptr},
    {"-drop_xyz", "llllll", "min_x min_y min_z max_x max_y max_z",
     CRITERION(new LAScriterionDropxyz(v[0].f64, v[1].f64, v[2].f64, v[3].f64, v[4].f64, v[5].f64)), nullptr,
     nullptr},
    // raw integer coordinates
    {"-keep_X", "dd", "min_X max_X", CRITERION(new LAScriterionKeepX(v[0].i32, v[1].i32)), nullptr, nullptr},
    {"-keep_Y", "dd", "min_Y max_Y", CRITERION(new LAScriterionKeepY(v[0].i32, v[1].i32)), nullptr, nullptr},
    {"-keep_Z", "dd", "min_Z max_Z", CRITERION(new LAScriterionKeepZ(v[0].i32, v[1].i32)), nullptr, nullptr},
    {"-drop_X", "dd", "min_X max_X", CRITERION(new LAScriterionDropX(v[0].i32, v[1].i32)), nullptr, nullptr},
    {"-drop_Y", "dd", "min_Y max_Y", CRITERION(new LAScriterionDropY(v[0].i32, v[1].i32)), nullptr, nullptr},
    {"-drop_Z", "dd", "min_Z max_Z", CRITERION(new LAScriterionDropZ(v[0].i32, v[1].i32)), nullptr, nullptr},
    {"-drop_X_above", "d", "max_X", CRITERION(new LAScriterionDropXAbove(v[0].i32)), nullptr, nullptr},
    {"-drop_Y_above", "d", "max_Y", CRITERION(new LAScriterionDropYAbove(v[0].i32)), nullptr, nullptr},
    {"-drop_Z_above", "d", "max_Z", CRITERION(new LAScriterionDropZAbove(v[0].i32)), nullptr, nullptr},
    {"-drop_X_below", "d", "min_X", CRITERION(new LAScriterionDropXBelow(v[0].i32)), nullptr, nullptr},
    {"-drop_Y_below", "d", "min_Y", CRITERION(new LAScriterionDropYBelow(v[0].i32)), nullptr, nullptr},
    {"-drop_Z_below", "d", "min_Z", CRITERION(new LAScriterionDropZBelow(v[0].i32)), nullptr, nullptr},
    {"-keep_Z_above", "d", "max_Z", CRITERION(new LAScriterionDropZBelow(v[0].i32)), nullptr, nullptr},
    {"-keep_Z_below", "d", "min_Z", CRITERION(new LAScriterionDropZAbove(v[0].i32)), nullptr, nullptr},
    {"-keep_XY", "dddd", "min_X min_Y max_X max_Y",
     CRITERION(new LAScriterionKeepXY(v[0].i32, v[1].i32, v[2].i32, v[3].i32)), nullptr, nullptr},
    // areas
    {"-keep_tile", "fff", "llx lly size", CRITERION(new LAScriterionKeepTile(v[0].f32, v[1].f32, v[2].f32)),
     nullptr, nullptr},
    {"-keep_circle", "lll", "center_x center_y radius",
     CRITERION(new LAScriterionKeepCircle(v[0].f64, v[1].f64, v[2].f64)), nullptr, nullptr},
    {"-keep_profile", "lllll", "p1_x p1_y p2_x p2_y width",
     CRITERION(new LAScriterionKeepProfile(v[0].f64, v[1].f64, v[2].f64, v[3].f64, v[4].f64)), nullptr, nullptr},
    // returns
    {"-keep_first", "", "", CRITERION(new LAScriterionKeepFirstReturn()), nullptr, nullptr},
    {"-first_only", "", "", CRITERION(new LAScriterionKeepFirstReturn()), nullptr, nullptr},
    {"-drop_first", "", "", CRITERION(new LAScriterionDropFirstReturn()), nullptr, nullptr},
    {"-keep_last", "", "", CRITERION(new LAScriterionKeepLastReturn()), nullptr, nullptr},
    {"-last_only", "", "", CRITERION(new LAScriterionKeepLastReturn()), nullptr, nullptr},
    {"-drop_last", "", "", CRITERION(new LAScriterionDropLastReturn()), nullptr, nullptr},
    {"-keep_first_of_many", "", "", CRITERION(new LAScriterionKeepFirstOfManyReturn()), nullptr, nullptr},
    {"-drop_first_of_many", "", "", CRITERION(new LAScriterionDropFirstOfManyReturn()), nullptr, nullptr},
    {"-keep_last_of_many", "", "", CRITERION(new LAScriterionKeepLastOfManyReturn()), nullptr, nullptr},
    {"-drop_last_of_many", "", "", CRITERION(new LAScriterionDropLastOfManyReturn()), nullptr, nullptr},
    {"-keep_middle", "", "", CRITERION(new LAScriterionKeepMiddleReturn()), nullptr, nullptr},
    {"-drop_middle", "", "", CRITERION(new LAScriterionDropMiddleReturn()), nullptr, nullptr},
    {"-keep_second_last", "", "", CRITERION(new LAScriterionKeepSecondLast()), nullptr, nullptr},
    {"-drop_second_last", "", "", CRITERION(new LAScriterionDropSecondLast()), nullptr, nullptr},
    {"-keep_return_mask", "u", "return_mask",
     CRITERION(new LAScriterionKeepReturns(static_cast<uint16_t>(v[0].u32))), check_return_mask, nullptr},
    {"-drop_return_mask", "u", "return_mask",
     CRITERION(new LAScriterionDropReturns(static_cast<uint16_t>(v[0].u32))), check_return_mask, nullptr},
    {"-keep_single", "", "", CRITERION(new LAScriterionKeepSpecificNumberOfReturns(1)), nullptr, nullptr},
    {"-keep_double", "", "", CRITERION(new LAScriterionKeepSpecificNumberOfReturns(2)), nullptr, nullptr},
    {"-keep_triple", "", "", CRITERION(new LAScriterionKeepSpecificNumberOfReturns(3)), nullptr, nullptr},
    {"-keep_quadruple", "", "", CRITERION(new LAScriterionKeepSpecificNumberOfReturns(4)), nullptr, nullptr},
    {"-keep_quintuple", "", "", CRITERION(new LAScriterionKeepSpecificNumberOfReturns(5)), nullptr, nullptr},
    {"-drop_single", "", "", CRITERION(new LAScriterionDropSpecificNumberOfReturns(1)), nullptr, nullptr},
    {"-drop_double", "", "", CRITERION(new LAScriterionDropSpecificNumberOfReturns(2)), nullptr, nullptr},
    {"-drop_triple", "", "", CRITERION(new LAScriterionDropSpecificNumberOfReturns(3)), nullptr, nullptr},
    {"-drop_quadruple", "", "", CRITERION(new LAScriterionDropSpecificNumberOfReturns(4)), nullptr, nullptr},
    {"-drop_quintuple", "", "", CRITERION(new LAScriterionDropSpecificNumberOfReturns(5)), nullptr, nullptr},
    {"-keep_number_of_returns", "u", "number_of_returns",
     CRITERION(new LAScriterionKeepSpecificNumberOfReturns(static_cast<int32_t>(v[0].u32))), nullptr, nullptr},
    {"-drop_number_of_returns", "u", "number of returns",
     CRITERION(new LAScriterionDropSpecificNumberOfReturns(static_cast<int32_t>(v[0].u32))),
     check_drop_number_of_returns, nullptr},
    // classification and flags
    {"-keep_classification_mask", "u", "mask", CRITERION(new LAScriterionKeepClassifications(v[0].u32)), nullptr,
     nullptr},
    {"-drop_classification_mask", "u", "mask", CRITERION(new LAScriterionDropClassifications(v[0].u32)), nullptr,
     nullptr},
    {"-keep_synthetic", "", "", CRITERION(new LAScriterionKeepSynthetic()), nullptr, nullptr},
    {"-drop_synthetic", "", "", CRITERION(new LAScriterionDropSynthetic()), nullptr, nullptr},
    {"-keep_keypoint", "", "", CRITERION(new LAScriterionKeepKeypoint()), nullptr, nullptr},
    {"-drop_keypoint", "", "", CRITERION(new LAScriterionDropKeypoint()), nullptr, nullptr},
    {"-keep_withheld", "", "", CRITERION(new LAScriterionKeepWithheld()), nullptr, nullptr},
    {"-drop_withheld", "", "", CRITERION(new LAScriterionDropWithheld()), nullptr, nullptr},
    {"-keep_overlap", "", "", CRITERION(new LAScriterionKeepOverlap()), nullptr, nullptr},
    {"-drop_overlap", "", "", CRITERION(new LAScriterionDropOverlap()), nullptr, nullptr},
    {"-keep_edge_of_flight_line", "", "", CRITERION(new LAScriterionKeepEdgeOfFlightLine()), nullptr, nullptr},
    {"-keep_scan_direction_change", "", "", CRITERION(new LAScriterionKeepScanDirectionChange()), nullptr, nullptr},
    {"-drop_scan_direction", "u", "scan direction",
     CRITERION(new LAScriterionDropScanDirection(static_cast<int32_t>(v[0].u32))), check_scan_direction, nullptr},
    {"-keep_scanner_channel", "d", "number", CRITERION(new LAScriterionKeepScannerChannel(v[0].i32)),
     check_keep_scanner_channel, nullptr},
    {"-drop_scanner_channel", "u", "number",
     CRITERION(new LAScriterionDropScannerChannel(static_cast<int32_t>(v[0].u32))), check_drop_scanner_channel,
     bad_drop_scanner_channel},
    // intensity
    {"-keep_intensity", "uu", "min max",
     CRITERION(new LAScriterionKeepIntensity(static_cast<uint16_t>(v[0].u32), static_cast<uint16_t>(v[1].u32))),
     check_keep_intensity, nullptr},
    {"-keep_intensity_above", "u", "max",
     CRITERION(new LAScriterionKeepIntensityAbove(static_cast<uint16_t>(v[0].u32))), check_keep_intensity_above,
     nullptr},
    {"-keep_intensity_below", "u", "min",
     CRITERION(new LAScriterionKeepIntensityBelow(static_cast<uint16_t>(v[0].u32))), check_keep_intensity_below,
     nullptr},
    {"-drop_intensity_above", "d", "max", CRITERION(new LAScriterionDropIntensityAbove(v[0].i32)), nullptr, nullptr},
    {"-drop_intensity_below", "d", "min", CRITERION(new LAScriterionDropIntensityBelow(v[0].i32)), nullptr, nullptr},
    {"-drop_intensity_between", "dd", "min max", CRITERION(new LAScriterionDropIntensityBetween(v[0].i32, v[1].i32)),
     nullptr, nullptr},
    // user data: the keep forms keep the low 8 bits of any number
    {"-keep_user_data", "d", "value", CRITERION(new LAScriterionKeepUserData(static_cast<uint8_t>(v[0].i32))),
     nullptr, nullptr},
    {"-keep_user_data_below", "d", "min",
     CRITERION(new LAScriterionKeepUserDataBelow(static_cast<uint8_t>(v[0].i32))), nullptr, nullptr},
    {"-keep_user_data_above", "d", "max",
     CRITERION(new LAScriterionKeepUserDataAbove(static_cast<uint8_t>(v[0].i32))), nullptr, nullptr},
    {"-keep_user_data_between", "dd", "min max",
     CRITERION(new LAScriterionKeepUserDataBetween(static_cast<uint8_t>(v[0].i32), static_cast<uint8_t>(v[1].i32))),
     nullptr, nullptr},
    {"-drop_user_data_below", "u", "below",
     CRITERION(new LAScriterionDropUserDataBelow(static_cast<uint8_t>(v[0].u32))), check_drop_user_data_below,
     bad_drop_user_data_below},
    {"-drop_user_data_above", "u", "above",
     CRITERION(new LAScriterionDropUserDataAbove(static_cast<uint8_t>(v[0].u32))), check_drop_user_data_above,
     bad_drop_user_data_above},
    {"-drop_user_data_between", "uu", "min max",
     CRITERION(new LAScriterionDropUserDataBetween(static_cast<uint8_t>(v[0].u32), static_cast<uint8_t>(v[1].u32))),
     check_drop_user_data_between, nullptr},
    // point source ID
    {"-keep_point_source_between", "uu", "min_ID max_ID",
     CRITERION(new LAScriterionKeepPointSourceBetween(static_cast<uint16_t>(v[0].u32),
                                                      static_cast<uint16_t>(v[1].u32))),
     check_keep_point_source_between, nullptr},
    {"-drop_point_source_below", "u", "min_ID",
     CRITERION(new LAScriterionDropPointSourceBelow(static_cast<uint16_t>(v[0].u32))), check_drop_point_source_below,
     nullptr},
    {"-drop_point_source_above", "u", "max_ID",
     CRITERION(new LAScriterionDropPointSourceAbove(static_cast<uint16_t>(v[0].u32))), check_drop_point_source_above,
     nullptr},
    {"-drop_point_source_between", "ud", "min_ID max_ID",
     CRITERION(new LAScriterionDropPointSourceBetween(static_cast<uint16_t>(v[0].u32),
                                                      static_cast<uint16_t>(v[1].u32))),
     check_drop_point_source_between, nullptr},
    // scan angle
    {"-keep_scan_angle", "dd", "min max", CRITERION(new LAScriterionKeepScanAngle(v[0].i32, v[1].i32)), nullptr,
     nullptr},
    {"-keep_scan_angle_between", "dd", "min max", CRITERION(new LAScriterionKeepScanAngle(v[0].i32, v[1].i32)),
     nullptr, nullptr},
    {"-drop_scan_angle_above", "d", "max", CRITERION(new LAScriterionDropScanAngleAbove(v[0].i32)), nullptr, nullptr},
    {"-drop_scan_angle_below", "d", "min", CRITERION(new LAScriterionDropScanAngleBelow(v[0].i32)), nullptr, nullptr},
    {"-drop_scan_angle_between", "dd", "min max", CRITERION(new LAScriterionDropScanAngleBetween(v[0].i32, v[1].i32)),
     nullptr, nullptr},
    // the ranges are computed in 64 bits so that extreme arguments clamp
    // instead of overflowing
    {"-drop_abs_scan_angle_above", "d", "max",
     CRITERION(new LAScriterionKeepScanAngle(clamp_int32(-int64_t{v[0].i32}), v[0].i32)), nullptr, nullptr},
    {"-drop_abs_scan_angle_below", "d", "min",
     CRITERION(new LAScriterionDropScanAngleBetween(clamp_int32(int64_t{v[0].i32} - 1),
                                                    clamp_int32(1 - int64_t{v[0].i32}))),
     nullptr, nullptr},
    // GPS time
    {"-keep_gps_time", "ll", "start end", CRITERION(new LAScriterionKeepGpsTime(v[0].f64, v[1].f64)), nullptr,
     nullptr},
    {"-keep_gpstime", "ll", "start end", CRITERION(new LAScriterionKeepGpsTime(v[0].f64, v[1].f64)), nullptr,
     nullptr},
    {"-keep_gps_time_between", "ll", "start end", CRITERION(new LAScriterionKeepGpsTime(v[0].f64, v[1].f64)),
     nullptr, nullptr},
    {"-keep_gpstime_between", "ll", "start end", CRITERION(new LAScriterionKeepGpsTime(v[0].f64, v[1].f64)),
     nullptr, nullptr},
    {"-keep_gps_time_above", "l", "time", CRITERION(new LAScriterionDropGpsTimeBelow(v[0].f64)), nullptr, nullptr},
    {"-keep_gpstime_above", "l", "time", CRITERION(new LAScriterionDropGpsTimeBelow(v[0].f64)), nullptr, nullptr},
    {"-keep_gps_time_below", "l", "time", CRITERION(new LAScriterionDropGpsTimeAbove(v[0].f64)), nullptr, nullptr},
    {"-keep_gpstime_below", "l", "time", CRITERION(new LAScriterionDropGpsTimeAbove(v[0].f64)), nullptr, nullptr},
    {"-drop_gps_time_above", "l", "max_gps_time", CRITERION(new LAScriterionDropGpsTimeAbove(v[0].f64)), nullptr,
     nullptr},
    {"-drop_gpstime_above", "l", "max_gps_time", CRITERION(new LAScriterionDropGpsTimeAbove(v[0].f64)), nullptr,
     nullptr},
    {"-drop_gps_time_below", "l", "min_gps_time", CRITERION(new LAScriterionDropGpsTimeBelow(v[0].f64)), nullptr,
     nullptr},
    {"-drop_gpstime_below", "l", "min_gps_time", CRITERION(new LAScriterionDropGpsTimeBelow(v[0].f64)), nullptr,
     nullptr},
    {"-drop_gps_time_between", "ll", "min max", CRITERION(new LAScriterionDropGpsTimeBetween(v[0].f64, v[1].f64)),
     nullptr, nullptr},
    {"-drop_gpstime_between", "ll", "min max", CRITERION(new LAScriterionDropGpsTimeBetween(v[0].f64, v[1].f64)),
     nullptr, nullptr},
    // colour
    {"-keep_RGB_red", "dd", "min max", CRITERION(new LAScriterionKeepRGB(0, v[0].i32, v[1].i32)), nullptr, nullptr},
    {"-keep_RGB_green", "dd", "min max", CRITERION(new LAScriterionKeepRGB(1, v[0].i32, v[1].i32)), nullptr, nullptr},
    {"-keep_RGB_blue", "dd", "min max", CRITERION(new LAScriterionKeepRGB(2, v[0].i32, v[1].i32)), nullptr, nullptr},
    {"-keep_RGB_nir", "dd", "min max", CRITERION(new LAScriterionKeepRGB(3, v[0].i32, v[1].i32)), nullptr, nullptr},
    {"-drop_RGB_red", "dd", "min max", CRITERION(new LAScriterionDropRGB(0, v[0].i32, v[1].i32)), nullptr, nullptr},
    {"-drop_RGB_green", "dd", "min max", CRITERION(new LAScriterionDropRGB(1, v[0].i32, v[1].i32)), nullptr, nullptr},
    {"-drop_RGB_blue", "dd", "min max", CRITERION(new LAScriterionDropRGB(2, v[0].i32, v[1].i32)), nullptr, nullptr},
    {"-drop_RGB_nir", "dd", "min max", CRITERION(new LAScriterionDropRGB(3, v[0].i32, v[1].i32)), nullptr, nullptr},
    {"-keep_RGB_greenness", "dd", "min max", CRITERION(new LAScriterionKeepRGBgreenness(v[0].i32, v[1].i32)), nullptr,
     nullptr},
    {"-keep_NDVI", "ff", "min max", CRITERION(new LAScriterionKeepNDVI(v[0].f32, v[1].f32, 3)), nullptr, nullptr},
    {"-keep_NDVI_green_is_NIR", "ff", "min max", CRITERION(new LAScriterionKeepNDVI(v[0].f32, v[1].f32, 1)), nullptr,
     nullptr},
    {"-keep_NDVI_blue_is_NIR", "ff", "min max", CRITERION(new LAScriterionKeepNDVI(v[0].f32, v[1].f32, 2)), nullptr,
     nullptr},
    {"-keep_NDVI_from_CIR", "ff", "min max", CRITERION(new LAScriterionKeepNDVIfromCIR(v[0].f32, v[1].f32)), nullptr,
     nullptr},
    {"-keep_NDVI_intensity_is_NIR", "ff", "min max",
     CRITERION(new LAScriterionKeepNDVIintensityIsNIR(v[0].f32, v[1].f32)), nullptr, nullptr},
    // wave packets and attributes
    {"-keep_wavepacket", "a", "index", CRITERION(new LAScriterionKeepWavepacket(v[0].u32)), nullptr, nullptr},
    {"-drop_wavepacket", "a", "index", CRITERION(new LAScriterionDropWavepacket(v[0].u32)), nullptr, nullptr},
    {"-keep_attribute_above", "dl", "index value", CRITERION(new LAScriterionKeepAttributeAbove(v[0].i32, v[1].f64)),
     check_attribute_index2, nullptr},
    {"-keep_attribute_below", "dl", "index value", CRITERION(new LAScriterionKeepAttributeBelow(v[0].i32, v[1].f64)),
     check_attribute_index2, nullptr},
    {"-keep_attribute_between", "dll", "index min max",
     CRITERION(new LAScriterionKeepAttributeBetween(v[0].i32, v[1].f64, v[2].f64)), check_attribute_index3, nullptr},
    {"-drop_attribute_above", "ul", "index value",
     CRITERION(new LAScriterionDropAttributeAbove(static_cast<int32_t>(v[0].u32), v[1].f64)), nullptr,
     bad_drop_attribute_value},
    {"-drop_attribute_below", "ul", "index value",
     CRITERION(new LAScriterionDropAttributeBelow(static_cast<int32_t>(v[0].u32), v[1].f64)), nullptr,
     bad_drop_attribute_value},
    {"-drop_attribute_between", "ull", "index below above",
     CRITERION(new LAScriterionDropAttributeBetween(static_cast<int32_t>(v[0].u32), v[1].f64, v[2].f64)), nullptr,
     nullptr},
    // thinning
    {"-keep_every_nth", "u", "nth", CRITERION(new LAScriterionKeepEveryNth(v[0].u32)), check_nth, nullptr},
    {"-drop_every_nth", "u", "nth", CRITERION(new LAScriterionDropEveryNth(v[0].u32)), check_nth, bad_drop_nth},
    {"-thin_with_grid", "f", "grid spacing", CRITERION(new LAScriterionThinWithGrid(v[0].f32)), check_grid_spacing,
     nullptr},
    {"-thin_pulses_with_time", "l", "time spacing", CRITERION(new LAScriterionThinPulsesWithTime(v[0].f64)),
     check_time_spacing, nullptr},
    {"-thin_with_time", "l", "time spacing", CRITERION(new LAScriterionThinPulsesWithTime(v[0].f64)),
     check_time_spacing, nullptr},
    {"-thin_points_with_time", "l", "time spacing", CRITERION(new LAScriterionThinPointsWithTime(v[0].f64)),
     check_time_spacing, nullptr},
};

#undef CRITERION

const FixedOption* find_fixed_option(const char* option) {
  for (const FixedOption& fixed : fixed_options) {
    if (strcmp(fixed.option, option) == 0) return &fixed;
  }
  return nullptr;
}

// Help text: headings and their example lines (printed indented).
struct HelpGroup {
  const char* heading;
  const char* const* lines;
};

const char* const help_coordinates[] = {
    "-keep_tile 631000 4834000 1000 (ll_x ll_y size)",
    "-keep_circle 630250.00 4834750.00 100 (x y radius)",
    "-keep_xy 630000 4834000 631000 4836000 (min_x min_y max_x max_y)",
    "-drop_xy 630000 4834000 631000 4836000 (min_x min_y max_x max_y)",
    "-keep_x 631500.50 631501.00 (min_x max_x)",
    "-drop_x 631500.50 631501.00 (min_x max_x)",
    "-drop_x_below 630000.50 (min_x)",
    "-drop_x_above 630500.50 (max_x)",
    "-keep_y 4834500.25 4834550.25 (min_y max_y)",
    "-drop_y 4834500.25 4834550.25 (min_y max_y)",
    "-drop_y_below 4834500.25 (min_y)",
    "-drop_y_above 4836000.75 (max_y)",
    "-keep_z 11.125 130.725 (min_z max_z)",
    "-drop_z 11.125 130.725 (min_z max_z)",
    "-drop_z_below 11.125 (min_z)",
    "-drop_z_above 130.725 (max_z)",
    "-keep_xyz 620000 4830000 100 621000 4831000 200 (min_x min_y min_z max_x max_y max_z)",
    "-drop_xyz 620000 4830000 100 621000 4831000 200 (min_x min_y min_z max_x max_y max_z)",
    nullptr};
const char* const help_returns[] = {"-keep_first -first_only -drop_first",
                                    "-keep_last -last_only -drop_last",
                                    "-keep_second_last -drop_second_last",
                                    "-keep_first_of_many -keep_last_of_many",
                                    "-drop_first_of_many -drop_last_of_many",
                                    "-keep_middle -drop_middle",
                                    "-keep_return 1 2 3",
                                    "-drop_return 3 4",
                                    "-keep_single -drop_single",
                                    "-keep_double -drop_double",
                                    "-keep_triple -drop_triple",
                                    "-keep_quadruple -drop_quadruple",
                                    "-keep_number_of_returns 5",
                                    "-drop_number_of_returns 0",
                                    nullptr};
const char* const help_scanline[] = {"-drop_scan_direction 0", "-keep_scan_direction_change",
                                     "-keep_edge_of_flight_line", nullptr};
const char* const help_intensity[] = {"-keep_intensity 20 380", "-drop_intensity_below 20",
                                      "-drop_intensity_above 380", "-drop_intensity_between 4000 5000", nullptr};
const char* const help_classification[] = {"-keep_class 1 3 7",
                                           "-drop_class 4 2",
                                           "-keep_extended_class 43",
                                           "-drop_extended_class 129 135",
                                           "-drop_synthetic -keep_synthetic",
                                           "-drop_keypoint -keep_keypoint",
                                           "-drop_withheld -keep_withheld",
                                           "-drop_overlap -keep_overlap",
                                           nullptr};
const char* const help_user_data[] = {"-keep_user_data 1",
                                      "-drop_user_data 255",
                                      "-keep_user_data_below 50",
                                      "-keep_user_data_above 150",
                                      "-keep_user_data_between 10 20",
                                      "-drop_user_data_below 1",
                                      "-drop_user_data_above 100",
                                      "-drop_user_data_between 10 40",
                                      nullptr};
const char* const help_point_source[] = {"-keep_point_source 3",         "-keep_point_source_between 2 6",
                                         "-drop_point_source 27",        "-drop_point_source_below 6",
                                         "-drop_point_source_above 15",  "-drop_point_source_between 17 21",
                                         nullptr};
const char* const help_scan_angle[] = {"-keep_scan_angle -15 15",       "-drop_abs_scan_angle_above 15",
                                       "-drop_abs_scan_angle_below 1",  "-drop_scan_angle_below -15",
                                       "-drop_scan_angle_above 15",     "-drop_scan_angle_between -25 -23",
                                       nullptr};
const char* const help_gps_time[] = {"-keep_gps_time 11.125 130.725", "-drop_gps_time_below 11.125",
                                     "-drop_gps_time_above 130.725", "-drop_gps_time_between 22.0 48.0", nullptr};
const char* const help_color[] = {"-keep_RGB_red 1 1",
                                  "-drop_RGB_red 5000 20000",
                                  "-keep_RGB_green 30 100",
                                  "-drop_RGB_green 2000 10000",
                                  "-keep_RGB_blue 0 0",
                                  "-keep_RGB_nir 64 127",
                                  "-keep_RGB_greenness 200 65535",
                                  "-keep_NDVI 0.2 0.7 -keep_NDVI_from_CIR -0.1 0.5",
                                  "-keep_NDVI_intensity_is_NIR 0.4 0.8 -keep_NDVI_green_is_NIR -0.2 0.2",
                                  nullptr};
const char* const help_wavepacket[] = {"-keep_wavepacket 0", "-drop_wavepacket 3", nullptr};
const char* const help_attributes[] = {"-keep_attribute_above 0 5.0", "-drop_attribute_below 1 1.5", nullptr};
const char* const help_thinning[] = {"-keep_every_nth 2 -drop_every_nth 3",
                                     "-keep_random_fraction 0.1",
                                     "-keep_random_fraction 0.1 4711",
                                     "-thin_with_grid 1.0",
                                     "-thin_pulses_with_time 0.0001",
                                     "-thin_points_with_time 0.000001",
                                     nullptr};
const char* const help_boolean[] = {"-filter_and", nullptr};

const HelpGroup help_groups[] = {
    {"Filter points based on their coordinates.", help_coordinates},
    {"Filter points based on their return numbering.", help_returns},
    {"Filter points based on the scanline flags.", help_scanline},
    {"Filter points based on their intensity.", help_intensity},
    {"Filter points based on classifications or flags.", help_classification},
    {"Filter points based on their user data.", help_user_data},
    {"Filter points based on their point source ID.", help_point_source},
    {"Filter points based on their scan angle.", help_scan_angle},
    {"Filter points based on their gps time.", help_gps_time},
    {"Filter points based on their RGB/CIR/NIR channels.", help_color},
    {"Filter points based on their wavepacket.", help_wavepacket},
    {"Filter points based on extra attributes.", help_attributes},
    {"Filter points with simple thinning.", help_thinning},
    {"Boolean combination of filters.", help_boolean},
};

}  // namespace

// One run of LASfilter::parse over an argument vector, with the state that
// lives only during that run: the extended-class sets and whether a
// keep-class option was seen.
class LASfilterParser {
 public:
  LASfilterParser(LASfilter& filter, int argc, char* argv[]) : filter(filter), argc(argc), argv(argv) {}

  bool run() {
    for (i = 1; i < argc; i++) {
      const char* arg = argv[i];
      if (arg[0] == '\0') continue;
      if (strcmp(arg, "-h") == 0 || strcmp(arg, "-help") == 0) {
        LASfilter::usage();
        return true;
      }
      if (!parse_option()) return false;
    }
    return resolve_extended_classes();
  }

 private:
  // Parses the option at argv[i] if it is one of ours and leaves i at its
  // last argument. False after printing an error.
  bool parse_option() {
    // Points into argv[i], which consuming the option blanks.
    const char* option = argv[i];
    if (strncmp(option, "-clip_", 6) == 0) {
      print_clip_renames(option);
      return false;
    }
    if (strncmp(option, "-keep_", 6) != 0 && strncmp(option, "-drop_", 6) != 0 && strncmp(option, "-thin_", 6) != 0 &&
        strncmp(option, "-filter_", 8) != 0 && strcmp(option, "-first_only") != 0 &&
        strcmp(option, "-last_only") != 0) {
      return true;
    }
    if (const FixedOption* fixed = find_fixed_option(option)) {
      if (!parse_fixed(*fixed)) return false;
      if (strcmp(fixed->option, "-keep_classification_mask") == 0) keep_class_seen = true;
      return true;
    }
    if (strcmp(option, "-keep_class") == 0 || strcmp(option, "-keep_classification") == 0) return parse_keep_class();
    if (strcmp(option, "-drop_class") == 0 || strcmp(option, "-drop_classification") == 0) return parse_drop_class();
    if (strcmp(option, "-keep_return") == 0) return parse_keep_return();
    if (strcmp(option, "-drop_return") == 0) return parse_drop_return();
    if (strcmp(option, "-keep_extended_class") == 0 || strcmp(option, "-keep_extended_classification") == 0) {
      return parse_keep_extended_class();
    }
    if (strcmp(option, "-drop_extended_class") == 0 || strcmp(option, "-drop_extended_classification") == 0) {
      return parse_drop_extended_class();
    }
    if (strcmp(option, "-drop_extended_classification_mask") == 0) return parse_drop_extended_mask();
    if (strcmp(option, "-drop_user_data") == 0) return parse_drop_user_data();
    if (strcmp(option, "-keep_point_source") == 0) return parse_keep_point_source();
    if (strcmp(option, "-drop_point_source") == 0) return parse_drop_point_source();
    if (strcmp(option, "-keep_random_fraction") == 0) return parse_random_fraction();
    if (strcmp(option, "-filter_and") == 0 || strcmp(option, "-filter_or") == 0) return parse_combination();
    // Unknown colour and vegetation-index suffixes still read their two
    // arguments, then stay for others to reject.
    if (strncmp(option, "-keep_RGB_", 10) == 0 || strncmp(option, "-drop_RGB_", 10) == 0) {
      FixedOption unknown = {option, "dd", "min max", nullptr, nullptr, nullptr};
      return read_fixed(unknown, nullptr);
    }
    if (strncmp(option, "-keep_NDVI", 10) == 0) {
      FixedOption unknown = {option, "ff", "min max", nullptr, nullptr, nullptr};
      return read_fixed(unknown, nullptr);
    }
    return true;
  }

  // Reads the arguments of a fixed option into `values` (may be null for an
  // option that is only checked). False after printing an error.
  bool read_fixed(const FixedOption& fixed, Value* values) {
    const int count = static_cast<int>(strlen(fixed.scans));
    if (i + count >= argc) {
      print_missing(argv[i], count, fixed.names);
      return false;
    }
    for (int k = 0; k < count; k++) {
      const char* argument = argv[i + 1 + k];
      Value value;
      bool ok = true;
      switch (fixed.scans[k]) {
        case 'l': ok = scan_double(argument, &value.f64); break;
        case 'f': ok = scan_float(argument, &value.f32); break;
        case 'd': ok = scan_int(argument, &value.i32); break;
        case 'u': ok = scan_unsigned(argument, &value.u32); break;
        default: value.u32 = scan_atoi(argument); break;
      }
      if (!ok) {
        if (k == count - 1 && fixed.bad_last) {
          fixed.bad_last(argv[i], argument);
        } else {
          print_unreadable(argv[i], count, fixed.names, k, argument);
        }
        return false;
      }
      if (values) values[k] = value;
    }
    return true;
  }

  bool parse_fixed(const FixedOption& fixed) {
    Value values[8];
    if (!read_fixed(fixed, values)) return false;
    const int count = static_cast<int>(strlen(fixed.scans));
    if (fixed.check && !fixed.check(argv[i], values, argv + i + 1)) return false;
    filter.add_criterion(fixed.make(values));
    consume(count);
    return true;
  }

  // Blanks the option at argv[i] and its `count` arguments and moves i to
  // the last of them.
  void consume(int count) {
    for (int k = 0; k <= count; k++) argv[i + k][0] = '\0';
    i += count;
  }

  // The index of the last value of a list starting at argv[i + 1]: further
  // values follow while the next argument begins with a digit.
  int list_end() const {
    int last = i + 1;
    while (last + 1 < argc && starts_with_digit(argv[last + 1])) last++;
    return last;
  }

  // The most recent criterion when it has the given name, else null.
  const LAScriterion* last_named(const char* name) const {
    const uint32_t count = filter.get_number_of_criteria();
    if (count == 0) return nullptr;
    const LAScriterion* last = filter.get_criterion(count - 1);
    return strcmp(last->name(), name) == 0 ? last : nullptr;
  }

  bool parse_keep_class() {
    if (i + 1 >= argc) {
      fprintf(stderr, "ERROR: '%s' needs at least 1 argument: classification\n", argv[i]);
      return false;
    }
    const int last = list_end();
    uint32_t keep_mask = 0;
    for (int k = i + 1; k <= last; k++) {
      uint32_t c;
      if (!scan_unsigned(argv[k], &c)) {
        fprintf(stderr, "ERROR: '%s' needs at least 1 argument: classification but '%s' is no valid classification\n",
                argv[i], argv[k]);
        return false;
      }
      if (c > 31) {
        fprintf(stderr, "ERROR: '%s' needs arguments between 0 and 31 but '%u' is out of range\n", argv[i], c);
        return false;
      }
      keep_mask |= 1u << c;
    }
    if (const LAScriterion* previous = last_named("keep_classification_mask")) {
      keep_mask |= static_cast<const LAScriterionKeepClassifications*>(previous)->get_keep_mask();
      delete filter.take_last();
    }
    filter.add_criterion(new LAScriterionKeepClassifications(keep_mask));
    keep_class_seen = true;
    consume(last - i);
    return true;
  }

  bool parse_drop_class() {
    if (i + 1 >= argc) {
      fprintf(stderr, "ERROR: '%s' needs at least 1 argument: classification\n", argv[i]);
      return false;
    }
    const int last = list_end();
    uint32_t drop_mask = 0;
    for (int k = i + 1; k <= last; k++) {
      uint32_t c;
      if (!scan_unsigned(argv[k], &c)) {
        fprintf(stderr,
                "ERROR: '-drop_classification' needs at least 1 argument: classification but '%s' is no valid "
                "classification\n",
                argv[k]);
        return false;
      }
      if (c > 31) {
        fprintf(stderr, "ERROR: cannot drop classification %u because it is larger than 31\n", c);
        return false;
      }
      drop_mask |= 1u << c;
    }
    if (const LAScriterion* previous = last_named("drop_classification_mask")) {
      drop_mask |= static_cast<const LAScriterionDropClassifications*>(previous)->get_drop_mask();
      delete filter.take_last();
    }
    filter.add_criterion(new LAScriterionDropClassifications(drop_mask));
    consume(last - i);
    return true;
  }

  bool parse_keep_return() {
    if (i + 1 >= argc) {
      fprintf(stderr, "ERROR: '%s' needs at least 1 argument: return_number\n", argv[i]);
      return false;
    }
    const int last = list_end();
    uint32_t keep_mask = 0;
    for (int k = i + 1; k <= last; k++) {
      uint32_t r;
      if (!scan_unsigned(argv[k], &r)) {
        fprintf(stderr,
                "ERROR: '-keep_return' needs at least 1 argument: return_number but '%s' is no valid return_number\n",
                argv[k]);
        return false;
      }
      if (r > 15) {
        fprintf(stderr, "ERROR: cannot keep return_number %u because it is larger than 15\n", r);
        return false;
      }
      keep_mask |= 1u << r;
    }
    if (const LAScriterion* previous = last_named("keep_return_mask")) {
      keep_mask |= static_cast<const LAScriterionKeepReturns*>(previous)->get_keep_mask();
      delete filter.take_last();
    }
    filter.add_criterion(new LAScriterionKeepReturns(static_cast<uint16_t>(keep_mask)));
    consume(last - i);
    return true;
  }

  bool parse_drop_return() {
    if (i + 1 >= argc) {
      fprintf(stderr, "ERROR: '%s' needs at least 1 argument: return_number\n", argv[i]);
      return false;
    }
    const int last = list_end();
    uint32_t drop_mask = 0;
    for (int k = i + 1; k <= last; k++) {
      uint32_t r;
      if (!scan_unsigned(argv[k], &r)) {
        fprintf(stderr,
                "ERROR: '-drop_return' needs at least 1 argument: return_number but '%s' is no valid return_number\n",
                argv[k]);
        return false;
      }
      if (r > 15) {
        fprintf(stderr, "ERROR: cannot drop return_number %u because it is larger than 15\n", r);
        return false;
      }
      drop_mask |= 1u << r;
    }
    if (const LAScriterion* previous = last_named("drop_return_mask")) {
      drop_mask |= static_cast<const LAScriterionDropReturns*>(previous)->get_drop_mask();
      delete filter.take_last();
    }
    filter.add_criterion(new LAScriterionDropReturns(static_cast<uint16_t>(drop_mask)));
    consume(last - i);
    return true;
  }

  bool parse_keep_extended_class() {
    if (i + 1 >= argc) {
      fprintf(stderr, "ERROR: '%s' needs at least a argument: classification\n", argv[i]);
      return false;
    }
    const int last = list_end();
    for (int k = i + 1; k <= last; k++) {
      uint32_t e;
      if (!scan_unsigned(argv[k], &e)) {
        fprintf(stderr,
                "ERROR: '-keep_extended_classification' needs at least 1 argument: classification but '%s' is no "
                "valid classification\n",
                argv[k]);
        return false;
      }
      if (e > 255) {
        fprintf(stderr, "ERROR: cannot keep extended classification %u because it is larger than 255\n", e);
        return false;
      }
      keep_extended[e >> 5] |= 1u << (e & 31);
    }
    consume(last - i);
    return true;
  }

  bool parse_drop_extended_class() {
    if (i + 1 >= argc) {
      fprintf(stderr, "ERROR: '%s' needs at least 1 argument: classification\n", argv[i]);
      return false;
    }
    const int last = list_end();
    for (int k = i + 1; k <= last; k++) {
      uint32_t e;
      if (!scan_unsigned(argv[k], &e)) {
        fprintf(stderr,
                "ERROR: '-drop_extended_classification' needs at least 1 argument: classification but '%s' is no "
                "valid classification\n",
                argv[k]);
        return false;
      }
      if (e > 255) {
        fprintf(stderr, "ERROR: cannot drop extended classification %u because it is larger than 255\n", e);
        return false;
      }
      drop_extended[e >> 5] |= 1u << (e & 31);
    }
    consume(last - i);
    return true;
  }

  bool parse_drop_extended_mask() {
    if (i + 8 >= argc) {
      fprintf(stderr, "ERROR: '%s' needs 8 arguments: mask7 mask6 mask5 mask4 mask3 mask2 mask1 mask0\n", argv[i]);
      return false;
    }
    uint32_t words[8];
    for (int k = 0; k < 8; k++) {
      if (!scan_unsigned(argv[i + 1 + k], &words[7 - k])) {
        fprintf(stderr, "ERROR: '%s' needs 8 arguments: mask7 mask6 mask5 mask4 mask3 mask2 mask1 mask0\n", argv[i]);
        fprintf(stderr, "       but '%s' is a bad argument for mask%d\n", argv[i + 1 + k], 7 - k);
        return false;
      }
    }
    memcpy(drop_extended, words, sizeof(drop_extended));
    consume(8);
    return true;
  }

  bool parse_drop_user_data() {
    if (i + 1 >= argc) {
      fprintf(stderr, "ERROR: '%s' needs at least 1 argument: value\n", argv[i]);
      return false;
    }
    const int last = list_end();
    for (int k = i + 1; k <= last; k++) {
      uint32_t value;
      if (!scan_unsigned(argv[k], &value)) {
        fprintf(stderr, "ERROR: '-drop_user_data' needs at least 1 argument: value but '%s' is no valid value\n",
                argv[k]);
        return false;
      }
      if (value > 255) {
        fprintf(stderr, "ERROR: cannot drop user data %u because it is larger than 255\n", value);
        return false;
      }
      filter.add_criterion(new LAScriterionDropUserData(static_cast<uint8_t>(value)));
    }
    consume(last - i);
    return true;
  }

  // Each further ID adds a keep criterion joined to the previous ones by
  // And, so that a point with any of the IDs is kept.
  bool parse_keep_point_source() {
    if (i + 1 >= argc) {
      fprintf(stderr, "ERROR: '%s' needs at least 1 argument: ID\n", argv[i]);
      return false;
    }
    const int last = list_end();
    for (int k = i + 1; k <= last; k++) {
      uint32_t id;
      if (k == i + 1) {
        if (!scan_unsigned(argv[k], &id)) {
          fprintf(stderr, "ERROR: '%s' needs at least 1 argument: ID but '%s' is no valid ID\n", argv[i], argv[k]);
          return false;
        }
      } else {
        int32_t signed_id;
        if (!scan_int(argv[k], &signed_id)) {
          fprintf(stderr, "ERROR: '-keep_point_source' takes one or more IDs but '%s' is no valid ID\n", argv[k]);
          return false;
        }
        id = static_cast<uint32_t>(signed_id);
      }
      if (id > 65535) {
        fprintf(stderr, "ERROR: cannot keep_point_source ID %u because it is larger than %u\n", id, 65535u);
        return false;
      }
      filter.add_criterion(new LAScriterionKeepPointSource(static_cast<uint16_t>(id)));
      if (k > i + 1) combine_last_two(false);
    }
    consume(last - i);
    return true;
  }

  bool parse_drop_point_source() {
    if (i + 1 >= argc) {
      fprintf(stderr, "ERROR: '%s' needs at least 1 argument: ID\n", argv[i]);
      return false;
    }
    const int last = list_end();
    for (int k = i + 1; k <= last; k++) {
      uint32_t id;
      if (!scan_unsigned(argv[k], &id)) {
        fprintf(stderr, "ERROR: '-drop_point_source' needs at least 1 argument: ID but '%s' is no valid ID\n",
                argv[k]);
        return false;
      }
      if (id > 65535) {
        fprintf(stderr, "ERROR: cannot drop_point_source ID %u because it is larger than %u\n", id, 65535u);
        return false;
      }
      filter.add_criterion(new LAScriterionDropPointSource(static_cast<uint16_t>(id)));
    }
    consume(last - i);
    return true;
  }

  // The seed is the second argument only when it begins with a digit.
  bool parse_random_fraction() {
    if (i + 1 >= argc) {
      fprintf(stderr, "ERROR: '%s' needs at least 1 argument: fraction [seed]\n", argv[i]);
      return false;
    }
    float fraction;
    if (!scan_float(argv[i + 1], &fraction)) {
      fprintf(stderr, "ERROR: '%s' needs at least 1 argument: fraction [seed] but '%s' is no valid fraction\n",
              argv[i], argv[i + 1]);
      return false;
    }
    uint32_t seed = 0;
    int count = 1;
    if (i + 2 < argc && starts_with_digit(argv[i + 2])) {
      if (!scan_unsigned(argv[i + 2], &seed)) {
        fprintf(stderr, "ERROR: '%s' takes seed as second argument but '%s' is no valid seed\n", argv[i],
                argv[i + 2]);
        return false;
      }
      count = 2;
    }
    filter.add_criterion(new LAScriterionKeepRandomFraction(fraction, seed));
    consume(count);
    return true;
  }

  bool parse_combination() {
    if (filter.get_number_of_criteria() < 2) {
      fprintf(stderr, "ERROR: '%s' needs to be preceeded by at least two filters\n", argv[i]);
      return false;
    }
    combine_last_two(strcmp(argv[i], "-filter_or") == 0);
    consume(0);
    return true;
  }

  // Replaces the two most recent criteria (the older one first) by their
  // And or Or.
  void combine_last_two(bool use_or) {
    LAScriterion* second = filter.take_last();
    LAScriterion* first = filter.take_last();
    if (use_or) {
      filter.add_criterion(new LAScriterionOr(first, second));
    } else {
      filter.add_criterion(new LAScriterionAnd(first, second));
    }
  }

  static void print_clip_renames(const char* option) {
    fprintf(stderr, "ERROR: '%s' is no longer recognized. check documentation with '-h'.\n", option);
    fprintf(stderr, "  rename '-clip' to '-keep_xy'.\n");
    fprintf(stderr, "  rename '-clip_box' to '-keep_xyz'.\n");
    fprintf(stderr, "  rename '-clip_tile' to '-keep_tile'.\n");
    fprintf(stderr, "  rename '-clip_z_below' to '-drop_z_below'.\n");
    fprintf(stderr, "  rename '-clip_z_above' to '-drop_z_above'.\n");
    fprintf(stderr, "  rename '-clip_z_between' to '-drop_z'.\n");
    fprintf(stderr, "  etc ...\n");
  }

  // A keep set becomes the complement drop set; a drop set becomes the one
  // extended-class criterion, always the last in the list.
  bool resolve_extended_classes() {
    if (!is_empty(keep_extended)) {
      if (!is_empty(drop_extended)) {
        fprintf(stderr, "ERROR: cannot use '-drop_extended_class' and '-keep_extended_class' simultaneously\n");
        return false;
      }
      for (int w = 0; w < 8; w++) drop_extended[w] = ~keep_extended[w];
    }
    if (!is_empty(drop_extended)) {
      if (keep_class_seen) {
        fprintf(stderr, "WARNING: cannot combine '-keep_class' together with '-keep_extended_class'. use\n");
        fprintf(stderr, "         exclusively 'extended' filters for filtering points with classes above 31\n");
      } else {
        filter.add_criterion(new LAScriterionDropExtendedClassifications(drop_extended));
      }
    }
    return true;
  }

  static bool is_empty(const uint32_t words[8]) {
    for (int w = 0; w < 8; w++) {
      if (words[w]) return false;
    }
    return true;
  }

  LASfilter& filter;
  int argc;
  char** argv;
  int i = 1;
  uint32_t keep_extended[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  uint32_t drop_extended[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  bool keep_class_seen = false;
};

LASfilter::~LASfilter() { clean(); }

void LASfilter::usage() {
  for (const HelpGroup& group : help_groups) {
    fprintf(stderr, "%s\n", group.heading);
    for (const char* const* line = group.lines; *line; line++) fprintf(stderr, "  %s\n", *line);
  }
}

bool LASfilter::parse(int argc, char* argv[]) {
  LASfilterParser parser(*this, argc, argv);
  return parser.run();
}

bool LASfilter::parse(char* string) {
  // argv[0] is never looked at; the tokens follow it.
  char program[1] = {'\0'};
  std::vector<char*> argv(1, program);
  char* p = string;
  while (*p) {
    if (*p == ' ') {
      *p++ = '\0';
      continue;
    }
    argv.push_back(p);
    while (*p && *p != ' ') p++;
  }
  return parse(static_cast<int>(argv.size()), argv.data());
}

bool LASfilter::parse(const std::string& text) {
  std::vector<char> copy(text.begin(), text.end());
  copy.push_back('\0');
  return parse(copy.data());
}

int LASfilter::format_commands(char* buffer, size_t size) const {
  LAScommand command(buffer, size);
  for (const LAScriterion* criterion : criteria) command.add_criterion(criterion);
  return command.length();
}

std::string LASfilter::format_commands() const {
  const int length = format_commands(nullptr, 0);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  format_commands(&text[0], text.size());
  text.resize(static_cast<size_t>(length));
  return text;
}

void LASfilter::add_criterion(LAScriterion* criterion) {
  criteria.push_back(criterion);
  counters.push_back(0);
  update_first_class_test();
}

LAScriterion* LASfilter::take_last() {
  LAScriterion* last = criteria.back();
  criteria.pop_back();
  counters.pop_back();
  update_first_class_test();
  return last;
}

void LASfilter::clean() {
  for (LAScriterion* criterion : criteria) delete criterion;
  criteria.clear();
  counters.clear();
  criteria.shrink_to_fit();
  counters.shrink_to_fit();
  update_first_class_test();
}

void LASfilter::update_first_class_test() {
  first_class_test = ClassTest::none;
  if (criteria.empty()) return;
  const LAScriterion* first = criteria[0];
  if (strcmp(first->name(), "keep_classification_mask") == 0) {
    first_class_test = ClassTest::keep;
    first_class_drop_mask = ~static_cast<const LAScriterionKeepClassifications*>(first)->get_keep_mask();
  } else if (strcmp(first->name(), "drop_classification_mask") == 0) {
    first_class_test = ClassTest::drop;
    first_class_drop_mask = static_cast<const LAScriterionDropClassifications*>(first)->get_drop_mask();
  }
}

uint32_t LASfilter::needed_fields() const {
  uint32_t fields = 0;
  for (const LAScriterion* criterion : criteria) fields |= criterion->needed_fields();
  return fields;
}

void LASfilter::reset() {
  for (LAScriterion* criterion : criteria) criterion->reset();
}
