// Control-point lines and parse strings from untrusted bytes: the first line
// of the input is the parse string, the rest are lines to parse. No crash, no
// read past a line, and an accepted line always yields finite coordinates and
// holds a separator to write the output with.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver/controlpoint.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  size_t eol = text.find('\n');
  std::string parse = text.substr(0, eol == std::string::npos ? text.size() : eol);
  parse = parse.substr(0, std::strlen(parse.c_str()));
  if (parse.size() > 64) parse.resize(64);
  if (parse.empty()) parse = "xyz";
  std::string rest = eol == std::string::npos ? std::string() : text.substr(eol + 1);

  // The run reads lines in pieces of at most 511 characters.
  FILE* quiet = std::freopen("/dev/null", "w", stderr);
  (void)quiet;
  size_t pos = 0;
  while (pos < rest.size()) {
    size_t end = rest.find('\n', pos);
    size_t len = (end == std::string::npos ? rest.size() : end + 1) - pos;
    if (len > 511) len = 511;
    std::string line = rest.substr(pos, len);
    line = line.substr(0, std::strlen(line.c_str()));
    pos += len;
    ControlPoint cp;
    if (parse_control_point(parse.c_str(), line.c_str(), &cp)) {
      if (!std::isfinite(cp.x) || !std::isfinite(cp.y) || !std::isfinite(cp.z)) std::abort();
      char sep = find_output_separator(line.c_str());
      if (sep != ' ' && sep != '\t' && sep != ',' && sep != ';') std::abort();
    }
  }
  return 0;
}
