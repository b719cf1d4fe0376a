#include "driver/cpoutput.h"

#include <cstring>

namespace {

#ifdef _WIN32
constexpr char path_separator = '\\';
#else
constexpr char path_separator = '/';
#endif

const char* base_name(const char* name) {
  for (size_t i = std::strlen(name); i > 1; --i) {
    char c = name[i - 1];
    if (c == '/' || c == '\\' || c == ':') return name + i;
  }
  return name;
}

}  // namespace

std::string cp_output_path(const char* cp_out_name, const char* output_directory) {
  if (std::strstr(cp_out_name, ":\\") != nullptr) return cp_out_name;
  // An empty directory means none: joining it would write to the root.
  if (output_directory == nullptr || output_directory[0] == '\0') return cp_out_name;
  std::string path = output_directory;
  path += path_separator;
  path += base_name(cp_out_name);
  return path;
}

FILE* open_cp_output(const char* cp_out_name, const char* output_directory) {
  if (cp_out_name == nullptr || cp_out_name[0] == '\0') return stdout;
  std::string path = cp_output_path(cp_out_name, output_directory);
  FILE* out = std::fopen(path.c_str(), "w");
  if (out == nullptr) {
    std::fprintf(stderr, "ERROR: could not open '%s'. using stdout ...\n", cp_out_name);
    return stdout;
  }
  return out;
}

void close_cp_output(FILE* out) {
  if (out == nullptr) return;
  if (out == stdout) {
    std::fflush(out);
  } else {
    std::fclose(out);
  }
}
