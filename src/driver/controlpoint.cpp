#include "driver/controlpoint.h"

#include <cmath>
#include <cstdio>

namespace {

bool is_separator(char c) { return c == '\t' || c == ' ' || c == ',' || c == ';'; }

const char* skip_separators(const char* cursor) {
  while (is_separator(*cursor)) ++cursor;
  return cursor;
}

// The field ends at the next separator or the end of the line; the line feed
// is no separator, so it stays part of the last field (the scan ignores it).
const char* skip_field(const char* cursor) {
  while (*cursor != '\0' && !is_separator(*cursor)) ++cursor;
  return cursor;
}

}  // namespace

bool parse_control_point(const char* parse_string, const char* line, ControlPoint* cp) {
  bool have_x = false;
  bool have_y = false;
  bool have_z = false;
  const char* cursor = line;
  for (const char* symbol = parse_string; *symbol != '\0'; ++symbol) {
    switch (*symbol) {
      case 'x':
      case 'y':
      case 'z': {
        cursor = skip_separators(cursor);
        if (*cursor == '\0') return false;
        double value;
        if (std::sscanf(cursor, "%lf", &value) != 1) return false;
        if (!std::isfinite(value)) return false;
        if (*symbol == 'x') {
          cp->x = value;
          have_x = true;
        } else if (*symbol == 'y') {
          cp->y = value;
          have_y = true;
        } else {
          cp->z = value;
          have_z = true;
        }
        cursor = skip_field(cursor);
        break;
      }
      case 's':
        cursor = skip_separators(cursor);
        if (*cursor == '\0') return false;
        cursor = skip_field(cursor);
        break;
      default:
        std::fprintf(stderr, "ERROR: next symbol '%s' unknown in parse control string\n", symbol);
        break;
    }
  }
  return have_x && have_y && have_z;
}

char find_output_separator(const char* line) {
  for (const char* c = line; *c != '\0'; ++c) {
    if (is_separator(*c)) return *c;
  }
  return ' ';
}
