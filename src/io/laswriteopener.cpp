#include "io/laswriteopener.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "las/laswriter_las.h"

namespace {

#ifdef _WIN32
constexpr char path_separator = '\\';
#else
constexpr char path_separator = '/';
#endif

bool is_separator(char c) { return c == '/' || c == '\\' || c == ':'; }

// Position just after the last separator (one at position 0 does not
// count), or 0.
size_t name_start(const std::string& name) {
  for (size_t i = name.size(); i > 1; --i) {
    if (is_separator(name[i - 1])) return i;
  }
  return 0;
}

// Position of the last '.' after the last separator, or npos.
size_t extension_dot(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot < name_start(name)) return std::string::npos;
  return dot;
}

// Extension of set_file_name() and set_format().
const char* name_extension(uint32_t format) {
  switch (format) {
    case LASwriteOpener::format_default:
    case LASwriteOpener::format_las: return "las";
    case LASwriteOpener::format_qpk: return "qpk";
    case LASwriteOpener::format_bin: return "bin";
    case LASwriteOpener::format_qfit: return "qi";
    case LASwriteOpener::format_vrml: return "wrl";
    default: return "txt";
  }
}

// Extension of make_file_name(): text for every format above QFIT.
const char* made_extension(uint32_t format) {
  return format > LASwriteOpener::format_qfit ? "txt" : name_extension(format);
}

// Replaces what follows the last '.' (searched down to position 1).
void replace_extension(std::string& name, const char* extension) {
  for (size_t i = name.size(); i > 1; --i) {
    if (name[i - 1] == '.') {
      name.resize(i);
      name += extension;
      return;
    }
  }
}

bool is_directory(const char* path) {
  struct stat info;
  return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// The integer at the start of the text, 0 when there is none; values beyond
// 32 bits are limited to its range (atoi() would be undefined there).
int32_t to_int(const char* text) {
  const long long value = std::strtoll(text, nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// The writer that a format other than LAS needs.
const char* writer_kind(uint32_t format) {
  switch (format) {
    case LASwriteOpener::format_bin: return "laswriterbin";
    case LASwriteOpener::format_qfit: return "laswriterqfit";
    case LASwriteOpener::format_vrml: return "laswriterwrl";
    default: return "laswritertxt";
  }
}

}  // namespace

void LASwriteOpener::usage() const {
  std::fprintf(stderr, "Supported LAS Outputs\n");
  std::fprintf(stderr, "  -o lidar.las\n");
  std::fprintf(stderr, "  -o lidar.qpk\n");
  std::fprintf(stderr, "  -o xyzta.txt -oparse xyzta (on-the-fly to ASCII)\n");
  std::fprintf(stderr, "  -o terrasolid.bin\n");
  std::fprintf(stderr, "  -odir C:%cdata%cground (specify output directory)\n", '\\', '\\');
  std::fprintf(stderr, "  -odix _classified (specify file name appendix)\n");
  std::fprintf(stderr, "  -ocut 2 (cut the last two characters from name)\n");
  std::fprintf(stderr, "  -olas -oqpk -otxt -obin -oqi (specify format)\n");
  std::fprintf(stderr, "  -stdout (pipe to stdout)\n");
  std::fprintf(stderr, "  -nil    (pipe to NULL)\n");
}

bool LASwriteOpener::parse(int argc, char* argv[]) {
  auto blank = [argv](int i) { argv[i][0] = '\0'; };
  // Takes the one argument of option i; false after the message.
  auto needs = [&](int i, const char* what) {
    if (i + 1 < argc) return true;
    std::fprintf(stderr, "ERROR: '%s' needs 1 argument: %s\n", argv[i], what);
    return false;
  };
  for (int i = 1; i < argc; i++) {
    const char* arg = argv[i];
    if (arg[0] == '\0') continue;
    if (std::strcmp(arg, "-h") == 0) {
      usage();
      return true;
    }
    if (std::strcmp(arg, "-o") == 0) {
      if (!needs(i, "file_name")) return false;
      set_file_name(argv[i + 1]);
      blank(i);
      blank(++i);
    } else if (std::strcmp(arg, "-odir") == 0) {
      if (!needs(i, "directory")) return false;
      const char* dir = argv[i + 1];
      if (std::strchr(dir, ';') != nullptr || std::strchr(dir, '"') != nullptr) {
        std::fprintf(stderr, "WARNING: specified '-odir' seems to contain a substring '\"' or ';'.\n");
        std::fprintf(stderr, "         a directory given with a trailing backslash inside quotes\n");
        std::fprintf(stderr, "         lets the shell swallow the closing quote. specify the\n");
        std::fprintf(stderr, "         directory without the trailing backslash.\n");
      }
      set_directory(dir);
      const std::string& d = *directory;
      // "/" loses its separator and stays the root; an empty argument names
      // no directory at all.
      const bool bare_drive = !d.empty() && d.back() == ':';
      if (dir[0] == '\0' || (!bare_drive && !is_directory(d.empty() ? dir : d.c_str()))) {
        std::fprintf(stderr, "ERROR: '%s' is not a valid directory\n", d.c_str());
        return false;
      }
      blank(i);
      blank(++i);
    } else if (std::strcmp(arg, "-odix") == 0) {
      if (!needs(i, "appendix")) return false;
      set_appendix(argv[i + 1]);
      blank(i);
      blank(++i);
    } else if (std::strcmp(arg, "-ocut") == 0) {
      if (!needs(i, "number of characters to cut")) return false;
      set_cut(to_int(argv[i + 1]));
      blank(i);
      blank(++i);
    } else if (std::strcmp(arg, "-oforce") == 0) {
      force = true;
      blank(i);
    } else if (std::strcmp(arg, "-native") == 0) {
      native = true;
      blank(i);
    } else if (std::strcmp(arg, "-compatible") == 0) {
      native = false;
      blank(i);
    } else if (std::strcmp(arg, "-olas") == 0) {
      set_format(format_las);
      blank(i);
    } else if (std::strcmp(arg, "-oqpk") == 0) {
      set_format(format_qpk);
      blank(i);
    } else if (std::strcmp(arg, "-otxt") == 0) {
      // A text output keeps the extension it was given.
      format = format_txt;
      specified = true;
      blank(i);
    } else if (std::strcmp(arg, "-obin") == 0) {
      set_format(format_bin);
      blank(i);
    } else if (std::strcmp(arg, "-oqi") == 0) {
      set_format(format_qfit);
      blank(i);
    } else if (std::strcmp(arg, "-owrl") == 0) {
      set_format(format_vrml);
      blank(i);
    } else if (std::strcmp(arg, "-stdout") == 0) {
      use_stdout = true;
      use_nil = false;
      blank(i);
    } else if (std::strcmp(arg, "-nil") == 0) {
      use_nil = true;
      use_stdout = false;
      blank(i);
    } else if (std::strcmp(arg, "-chunk_size") == 0) {
      if (!needs(i, "number_points")) return false;
      chunk_size = static_cast<uint32_t>(to_int(argv[i + 1]));
      blank(i);
      blank(++i);
    } else if (std::strcmp(arg, "-oparse") == 0) {
      if (!needs(i, "string")) return false;
      parse_string = argv[i + 1];
      blank(i);
      blank(++i);
    } else if (std::strcmp(arg, "-osep") == 0) {
      if (!needs(i, "separator")) return false;
      separator = argv[i + 1];
      blank(i);
      blank(++i);
    } else if (std::strcmp(arg, "-oscale_rgb") == 0) {
      if (!needs(i, "scale")) return false;
      scale_rgb = static_cast<float>(std::atof(argv[i + 1]));
      blank(i);
      blank(++i);
    } else if (std::strcmp(arg, "-opts") == 0) {
      opts = true;
      blank(i);
    } else if (std::strcmp(arg, "-optx") == 0) {
      optx = true;
      blank(i);
    } else if (std::strcmp(arg, "-io_obuffer") == 0) {
      if (!needs(i, "size")) return false;
      io_obuffer_size = static_cast<uint32_t>(to_int(argv[i + 1]));
      blank(i);
      blank(++i);
    }
  }
  return true;
}

void LASwriteOpener::apply_directory(std::string& name) const {
  if (!directory) return;
  std::string rest = name.substr(name_start(name));
  name = *directory;
  name += path_separator;
  name += rest;
}

void LASwriteOpener::apply_appendix(std::string& name) const {
  if (!appendix) return;
  const size_t dot = extension_dot(name);
  if (dot == std::string::npos) {
    name += *appendix;
  } else {
    name.insert(dot, *appendix);
  }
}

void LASwriteOpener::apply_cut(std::string& name) const {
  if (cut <= 0) return;
  const size_t dot = extension_dot(name);
  const size_t end = dot == std::string::npos ? name.size() : dot;
  const size_t begin = name_start(name);
  const size_t n = static_cast<size_t>(cut) < end - begin ? static_cast<size_t>(cut) : end - begin;
  name.erase(end - n, n);
}

void LASwriteOpener::set_directory(const char* dir) {
  if (dir == nullptr) {
    directory.reset();
    return;
  }
  std::string d = dir;
  if (!d.empty() && (d.back() == '\\' || d.back() == '/')) d.pop_back();
  directory = d;
  if (file_name) apply_directory(*file_name);
}

void LASwriteOpener::set_appendix(const char* text) {
  if (text == nullptr) {
    appendix.reset();
    return;
  }
  appendix = text;
  if (file_name) apply_appendix(*file_name);
}

void LASwriteOpener::set_cut(int32_t n) {
  cut = n;
  if (cut != 0 && file_name) apply_cut(*file_name);
}

bool LASwriteOpener::set_format(uint32_t code) {
  if (code > format_txt) return false;
  format = code;
  specified = true;
  if (file_name) replace_extension(*file_name, name_extension(code));
  return true;
}

void LASwriteOpener::set_file_name(const char* name) {
  file_name.reset();
  if (name == nullptr) return;
  std::string n = name;
  while (!n.empty() && n.back() == ' ') n.pop_back();
  const size_t len = n.size();
  const size_t tail = len < 4 ? 0 : len - 4;
  const bool has_extension = n.find('.', tail) != std::string::npos;
  if (has_extension) {
    if (!specified) {
      const std::string ext = n.substr(n.rfind('.') + 1);
      auto has = [&ext](const char* a, const char* b) {
        return ext.find(a) != std::string::npos || ext.find(b) != std::string::npos;
      };
      if (has("qpk", "QPK")) {
        format = format_qpk;
      } else if (has("las", "LAS")) {
        format = format_las;
      } else if (has("bin", "BIN")) {
        format = format_bin;
      } else if (has("qi", "QI")) {
        format = format_qfit;
      } else if (has("wrl", "WRL")) {
        format = format_vrml;
      } else {
        format = format_txt;
      }
    }
  } else {
    n += '.';
    n += format == format_default ? "txt" : name_extension(format);
  }
  apply_directory(n);
  apply_cut(n);
  apply_appendix(n);
  file_name = n;
}

std::string LASwriteOpener::derive_file_name(const char* input_name, int32_t number, bool report) const {
  std::string name;
  if (number < 0) {
    if (input_name != nullptr) {
      name = input_name;
      // The stem is the name without its extension; a '.' inside the
      // directory part is no extension, and a name without one keeps all
      // of itself.
      const size_t dot = extension_dot(name);
      if (dot != std::string::npos && dot >= 1) name.resize(dot);
      if (cut > 0) {
        const size_t length = name.size() - name_start(name);
        const size_t n = static_cast<size_t>(cut) < length ? static_cast<size_t>(cut) : length;
        name.resize(name.size() - n);
      }
      if (appendix) {
        name += *appendix;
      } else if (!directory && cut == 0 && number == -1) {
        name += "_1";
      }
      name += '.';
      name += made_extension(format);
    } else {
      name = "output.";
      name += made_extension(format);
    }
  } else {
    if (input_name != nullptr) {
      name = input_name;
      apply_cut(name);
    } else if (file_name) {
      name = *file_name;
    } else {
      name = "output_0000000.xxx";
    }
    size_t dot = extension_dot(name);
    if (dot == std::string::npos) {
      name += ".xxx";
      dot = name.size() - 4;
    }
    uint32_t remaining = static_cast<uint32_t>(number);
    size_t pos = dot;
    while (pos > 0 && name[pos - 1] >= '0' && name[pos - 1] <= '9') {
      --pos;
      name[pos] = static_cast<char>('0' + remaining % 10);
      remaining /= 10;
    }
    if (remaining > 0 && report) {
      std::fprintf(stderr, "WARNING: file name number %d too big to store in '%s'. use more digits.\n", number,
                   name.c_str());
    }
    replace_extension(name, made_extension(format));
  }
  apply_directory(name);
  if (input_name != nullptr && name == input_name && !force) {
    const char* temp = format <= format_las   ? "temp.las"
                       : format == format_qpk  ? "temp.qpk"
                       : format == format_bin  ? "temp.bin"
                       : format == format_qfit ? "temp.qi"
                       : format == format_vrml ? "temp.wrl"
                                               : "temp.txt";
    if (report) {
      std::fprintf(stderr, "WARNING: generated output name '%s'\n", input_name);
      std::fprintf(stderr, "         identical to input name. changed to '%s'.\n", temp);
      std::fprintf(stderr, "         you can override this safety measure with '-oforce'.\n");
    }
    name = temp;
  }
  return name;
}

void LASwriteOpener::make_file_name(const char* input_name, int32_t number) {
  file_name = derive_file_name(input_name, number, true);
}

std::string LASwriteOpener::get_derived_file_name(const char* input_name, int32_t number) const {
  return derive_file_name(input_name, number, false);
}

uint32_t LASwriteOpener::compressor() const {
  if (format != format_qpk) return 0;
  return native ? 3 : 2;
}

LASwriter* LASwriteOpener::open(const LASheader* header) {
  const bool las = format <= format_qpk;
  if (use_nil) {
    auto* writer = new LASwriterLAS();
    if (!writer->open(header, compressor(), 2, static_cast<int32_t>(chunk_size))) {
      std::fprintf(stderr, "ERROR: cannot open laswriterlas to NULL\n");
      delete writer;
      return nullptr;
    }
    return writer;
  }
  if (file_name) {
    // Refused before anything is created, so no empty file is left behind.
    if (!las) {
      std::fprintf(stderr, "ERROR: cannot open %s with file name '%s': this output format is not supported yet\n",
                   writer_kind(format), file_name->c_str());
      return nullptr;
    }
    auto* writer = new LASwriterLAS();
    if (!writer->open(file_name->c_str(), header, compressor(), 0, static_cast<int32_t>(chunk_size),
                      static_cast<int32_t>(io_obuffer_size))) {
      std::fprintf(stderr, "ERROR: cannot open laswriterlas with file name '%s'\n", file_name->c_str());
      delete writer;
      return nullptr;
    }
    return writer;
  }
  if (use_stdout) {
    if (!las) {
      std::fprintf(stderr, "ERROR: cannot open %s to stdout: this output format is not supported yet\n",
                   writer_kind(format));
      return nullptr;
    }
    auto* writer = new LASwriterLAS();
    if (!writer->open(stdout, header, compressor(), 0, static_cast<int32_t>(chunk_size))) {
      std::fprintf(stderr, "ERROR: cannot open laswriterlas to stdout\n");
      delete writer;
      return nullptr;
    }
    return writer;
  }
  std::fprintf(stderr, "ERROR: no laswriter output specified\n");
  return nullptr;
}
