// Control points and the parse strings that read them from text lines.
#ifndef TIECHECK_DRIVER_CONTROLPOINT_H
#define TIECHECK_DRIVER_CONTROLPOINT_H

// Most control points one run takes from its file: the counters are 32-bit
// and each point needs a 4-byte slot for its elevation difference.
constexpr int max_control_points = 1 << 30;

// A surveyed control point, in the units of the control-point file.
struct ControlPoint {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

// Reads one text line through a parse string. Each letter names the next
// field: 'x', 'y', 'z' read a coordinate, 's' skips a field. Fields are
// separated by runs of tab, space, comma and semicolon; text after a number
// and before the next separator (a unit letter) is ignored. Any other letter
// prints "ERROR: next symbol '%s' unknown in parse control string\n" with the
// rest of the parse string and is passed over.
//
// True when x, y and z were all read; on false *cp may hold some fields of
// this line and must not be used. A field that scans as NaN or infinity makes
// the line no control point: such a point has no grid cell and would poison
// the error statistics.
[[nodiscard]] bool parse_control_point(const char* parse_string, const char* line, ControlPoint* cp);

// The output separator taken from an accepted control-point line: its first
// tab, space, comma or semicolon; a space when it has none.
char find_output_separator(const char* line);

#endif
