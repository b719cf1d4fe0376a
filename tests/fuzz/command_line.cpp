// Command lines from untrusted bytes: the input is cut into arguments at
// blanks and line ends, and goes through the parsers in the program's order
// (projection converter, read opener with its filter, write opener, the
// driver's own options). Each must consume or reject without a crash, a
// hang or a read past the argument vector. Arguments that could name files
// outside the working folder or wildcards are left out, so that a run
// touches no file it did not create.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "driver/runsettings.h"
#include "driver/tiecheckmain.h"
#include "geo/projectionconverter.h"
#include "io/lasreadopener.h"
#include "io/laswriteopener.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args = {"tiecheck"};
  std::string current;
  for (size_t i = 0; i <= size && args.size() < 64; i++) {
    const char c = i < size ? static_cast<char>(data[i]) : '\n';
    if (c == ' ' || c == '\n' || c == '\0') {
      if (!current.empty() && current.find_first_of("/*?[\\") == std::string::npos) args.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  const int argc = static_cast<int>(argv.size());

  RunSettings settings;
  prepare_arguments(argc, argv.data(), settings);
  ProjectionConverter converter;
  if (!converter.parse(argc, argv.data())) return 0;
  LASreadOpener read_opener;
  if (!read_opener.parse(argc, argv.data(), false)) return 0;
  LASwriteOpener write_opener;
  if (!write_opener.parse(argc, argv.data())) return 0;
  parse_own_options(argc, argv.data(), settings);
  return 0;
}
