#include "io/lasreadopener.h"

#include <glob.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "filters/lasfilter.h"
#include "io/lasreader.h"
#include "io/lasreader_merged.h"
#include "las/lasreader_las.h"

namespace {

// The whole argument as a number (no trailing characters).
bool scan_float(const char* text, float& value) {
  if (text == nullptr || text[0] == '\0') return false;
  char* end = nullptr;
  value = std::strtof(text, &end);
  return *end == '\0';
}

bool scan_double(const char* text, double& value) {
  if (text == nullptr || text[0] == '\0') return false;
  char* end = nullptr;
  value = std::strtod(text, &end);
  return *end == '\0';
}

bool scan_u32(const char* text, uint32_t& value) {
  if (text == nullptr || text[0] < '0' || text[0] > '9') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text, &end, 10);
  if (*end != '\0' || errno == ERANGE || v > 0xFFFFFFFFull) return false;
  value = static_cast<uint32_t>(v);
  return true;
}

bool is_las_name(const char* name) {
  return std::strstr(name, ".las") || std::strstr(name, ".qpk") || std::strstr(name, ".LAS") ||
         std::strstr(name, ".QPK");
}

// The reader kind of a name that is not LAS, as it appears in messages.
const char* other_reader_kind(const char* name) {
  if (std::strstr(name, ".bin") || std::strstr(name, ".BIN")) return "lasreaderbin";
  if (std::strstr(name, ".shp") || std::strstr(name, ".SHP")) return "lasreadershp";
  if (std::strstr(name, ".asc") || std::strstr(name, ".ASC")) return "lasreaderasc";
  if (std::strstr(name, ".bil") || std::strstr(name, ".BIL")) return "lasreaderbil";
  if (std::strstr(name, ".dtm") || std::strstr(name, ".DTM")) return "lasreaderdtm";
  if (std::strstr(name, ".ply") || std::strstr(name, ".PLY")) return "lasreaderply";
  if (std::strstr(name, ".qi") || std::strstr(name, ".QI")) return "lasreaderqfit";
  return "lasreadertxt";
}

// Removes trailing tabs, line feeds, carriage returns and spaces.
void trim_line(char* line) {
  size_t n = std::strlen(line);
  while (n > 0 && (line[n - 1] == '\t' || line[n - 1] == '\n' || line[n - 1] == '\r' || line[n - 1] == ' ')) {
    line[--n] = '\0';
  }
}

const char* skip_blanks(const char* text) {
  while (*text == ' ' || *text == '\t') text++;
  return text;
}

bool has_wildcard(const char* name) { return std::strpbrk(name, "*?[") != nullptr; }

}  // namespace

LASreadOpener::LASreadOpener() = default;

LASreadOpener::~LASreadOpener() = default;

void LASreadOpener::usage() const {
  std::fprintf(stderr, "Supported LAS Inputs\n");
  std::fprintf(stderr, "  -i lidar.las\n");
  std::fprintf(stderr, "  -i lidar.qpk\n");
  std::fprintf(stderr, "  -i lidar1.las lidar2.las lidar3.las -merged\n");
  std::fprintf(stderr, "  -i *.las - merged\n");
  std::fprintf(stderr, "  -i flight0??.qpk flight1??.qpk\n");
  std::fprintf(stderr, "  -i terrasolid.bin\n");
  std::fprintf(stderr, "  -i esri.shp\n");
  std::fprintf(stderr, "  -i lidar.txt -iparse xyzti -iskip 2 (on-the-fly from ASCII)\n");
  std::fprintf(stderr, "  -i lidar.txt -iparse xyzi -itranslate_intensity 1024\n");
  std::fprintf(stderr, "  -lof file_list.txt\n");
  std::fprintf(stderr, "  -stdin (pipe from stdin)\n");
  std::fprintf(stderr, "  -rescale 0.01 0.01 0.001\n");
  std::fprintf(stderr, "  -rescale_xy 0.01 0.01\n");
  std::fprintf(stderr, "  -rescale_z 0.01\n");
  std::fprintf(stderr, "  -reoffset 600000 4000000 0\n");
  std::fprintf(stderr, "Fast AOI Queries for LAS/QPK with spatial indexing LAX files\n");
  std::fprintf(stderr, "  -inside min_x min_y max_x max_y\n");
  std::fprintf(stderr, "  -inside_tile ll_x ll_y size\n");
  std::fprintf(stderr, "  -inside_circle center_x center_y radius\n");
}

void LASreadOpener::reset() {
  file_name_current = 0;
  have_file_name = false;
  file_name.clear();
}

void LASreadOpener::set_filter(LASfilter* new_filter) { filter = new_filter; }

void LASreadOpener::set_decompress_selective(uint32_t mask) {
  // The transform and ignore set add their fields once their layers are in
  // place.
  decompress_selective = mask;
  if (filter != nullptr) decompress_selective |= filter->get_decompress_selective();
}

void LASreadOpener::set_scale_factor(const double* scale) {
  if (scale == nullptr) {
    scale_factor.reset();
  } else {
    scale_factor = std::vector<double>(scale, scale + 3);
  }
}

void LASreadOpener::set_offset(const double* new_offset) {
  if (new_offset == nullptr) {
    offset.reset();
  } else {
    offset = std::vector<double>(new_offset, new_offset + 3);
  }
}

const char* LASreadOpener::get_file_name() const {
  if (have_file_name) return file_name.c_str();
  if (!files.empty()) return files[0].name.c_str();
  return nullptr;
}

const char* LASreadOpener::get_file_name(uint32_t number) const {
  return number < files.size() ? files[number].name.c_str() : nullptr;
}

bool LASreadOpener::add_file(std::vector<LASinputFile>& list, LASinputFile file, bool unique_names) {
  if (unique_names) {
    for (const LASinputFile& f : list) {
      if (f.name == file.name) return false;
    }
  }
  if (file.have_ID && &list == &files) have_IDs = true;
  list.push_back(std::move(file));
  return true;
}

bool LASreadOpener::add_pattern(std::vector<LASinputFile>& list, const char* pattern, bool unique_names) {
  if (pattern == nullptr || pattern[0] == '\0') return false;
  glob_t matches;
  // Backslashes are no escapes: names may come from other systems' lists.
  const int result = glob(pattern, GLOB_NOESCAPE, nullptr, &matches);
  if (result != 0) {
    globfree(&matches);
    return false;
  }
  bool added = false;
  for (size_t i = 0; i < matches.gl_pathc; i++) {
    LASinputFile file;
    file.name = matches.gl_pathv[i];
    if (add_file(list, std::move(file), unique_names)) added = true;
  }
  globfree(&matches);
  return added;
}

bool LASreadOpener::add_file_name(const char* name, bool unique_names) {
  return add_pattern(files, name, unique_names);
}

bool LASreadOpener::add_file_name(const char* name, uint32_t ID, bool unique_names) {
  if (name == nullptr) return false;
  LASinputFile file;
  file.name = name;
  file.ID = ID;
  file.have_ID = true;
  return add_file(files, std::move(file), unique_names);
}

bool LASreadOpener::add_file_name(const char* name, uint32_t ID, int64_t npoints, double min_x, double min_y,
                                  double max_x, double max_y, bool unique_names) {
  if (name == nullptr) return false;
  LASinputFile file;
  file.name = name;
  file.ID = ID;
  file.have_ID = true;
  file.have_bounds = true;
  file.npoints = npoints;
  file.min_x = min_x;
  file.min_y = min_y;
  file.max_x = max_x;
  file.max_y = max_y;
  return add_file(files, std::move(file), unique_names);
}

bool LASreadOpener::add_neighbor_file_name(const char* name, bool unique_names) {
  return add_pattern(neighbors, name, unique_names);
}

bool LASreadOpener::add_list_of_files(const char* list_name, bool unique_names) {
  return add_list(files, list_name, unique_names, "file_names");
}

bool LASreadOpener::add_neighbor_list_of_files(const char* list_name, bool unique_names) {
  return add_list(neighbors, list_name, unique_names, "neighbor_file_names");
}

bool LASreadOpener::add_list(std::vector<LASinputFile>& list, const char* list_name, bool unique_names,
                             const char* /*array_name*/) {
  FILE* in = std::fopen(list_name, "r");
  if (in == nullptr) {
    std::fprintf(stderr, "ERROR: cannot open '%s'\n", list_name);
    return false;
  }
  char line[2048];
  while (std::fgets(line, sizeof(line), in) != nullptr) {
    // A line longer than the buffer is cut; its rest is dropped.
    if (std::strchr(line, '\n') == nullptr && !std::feof(in)) {
      int c;
      while ((c = std::fgetc(in)) != EOF && c != '\n') {
      }
    }
    trim_line(line);
    if (line[0] == '\0') continue;
    unsigned ID = 0;
    int64_t npoints = 0;
    double min_x, min_y, max_x, max_y;
    int consumed = -1;
    if (std::sscanf(line, "%u,%" SCNd64 ",%lf,%lf,%lf,%lf,%n", &ID, &npoints, &min_x, &min_y, &max_x, &max_y,
                    &consumed) == 6 &&
        consumed > 0) {
      LASinputFile file;
      file.name = skip_blanks(line + consumed);
      file.ID = ID;
      file.have_ID = true;
      file.have_bounds = true;
      file.npoints = npoints;
      file.min_x = min_x;
      file.min_y = min_y;
      file.max_x = max_x;
      file.max_y = max_y;
      add_file(list, std::move(file), unique_names);
      continue;
    }
    consumed = -1;
    if (std::sscanf(line, "%u,%n", &ID, &consumed) == 1 && consumed > 0) {
      LASinputFile file;
      file.name = skip_blanks(line + consumed);
      file.ID = ID;
      file.have_ID = true;
      add_file(list, std::move(file), unique_names);
      continue;
    }
    if (!add_pattern(list, line, unique_names) && !has_wildcard(line)) {
      std::fprintf(stderr, "WARNING: file '%s' of list '%s' not found. skipping ...\n", line, list_name);
    }
  }
  std::fclose(in);
  return true;
}

int LASreadOpener::add_names(int argc, char* argv[], int i, bool to_neighbors) {
  int last = i;
  while (last + 1 < argc && argv[last + 1][0] != '\0' && argv[last + 1][0] != '-') {
    ++last;
    const char* name = argv[last];
    const bool added = to_neighbors ? add_neighbor_file_name(name, unique) : add_file_name(name, unique);
    // A wildcard may match nothing; a plain name that matches nothing is
    // an input that is missing.
    if (!added && !has_wildcard(name)) {
      bool listed = false;
      for (const LASinputFile& f : to_neighbors ? neighbors : files) listed = listed || f.name == name;
      if (!listed) std::fprintf(stderr, "WARNING: input file '%s' not found. skipping ...\n", name);
    }
  }
  return last;
}

bool LASreadOpener::parse(int argc, char* argv[], bool parse_ignore) {
  auto blank = [argv](int first, int last) {
    for (int k = first; k <= last; k++) argv[k][0] = '\0';
  };
  for (int i = 1; i < argc; i++) {
    const char* arg = argv[i];
    if (arg[0] == '\0') continue;
    if (std::strcmp(arg, "-h") == 0) {
      // The transform and ignore help join here with their layers.
      LASfilter::usage();
      usage();
      return true;
    }
    if (std::strcmp(arg, "-i") == 0) {
      if (i + 1 >= argc || argv[i + 1][0] == '\0' || argv[i + 1][0] == '-') {
        std::fprintf(stderr, "ERROR: '%s' needs at least 1 argument: file_name or wild_card\n", arg);
        return false;
      }
      const int last = add_names(argc, argv, i, false);
      blank(i, last);
      i = last;
    } else if (std::strncmp(arg, "-ignore_", 8) == 0) {
      if (!parse_ignore) {
        std::fprintf(stderr, "ERROR: this tool does not process '-ignore_xxxx' options\n");
        return false;
      }
      // Left for the ignore set.
    } else if (std::strcmp(arg, "-inside_tile") == 0) {
      if (i + 3 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs 3 arguments: ll_x ll_y size\n", arg);
        return false;
      }
      float v[3];
      const char* names[3] = {"ll_x", "ll_y", "size"};
      for (int k = 0; k < 3; k++) {
        if (!scan_float(argv[i + 1 + k], v[k])) {
          std::fprintf(stderr, "ERROR: '%s' needs 3 arguments: ll_x ll_y size, but '%s' is not a valid %s.\n", arg,
                       argv[i + 1 + k], names[k]);
          return false;
        }
      }
      if (!(v[2] > 0.0f)) {
        std::fprintf(stderr, "ERROR: '%s' needs 3 arguments: ll_x ll_y size, but %f is not valid a size.\n", arg,
                     v[2]);
        return false;
      }
      inside_tile = std::vector<float>(v, v + 3);
      blank(i, i + 3);
      i += 3;
    } else if (std::strcmp(arg, "-inside_circle") == 0) {
      if (i + 3 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs 3 arguments: center_x center_y radius\n", arg);
        return false;
      }
      double v[3];
      const char* names[3] = {"center_x", "center_y", "radius"};
      for (int k = 0; k < 3; k++) {
        if (!scan_double(argv[i + 1 + k], v[k])) {
          std::fprintf(stderr,
                       "ERROR: '%s' needs 3 arguments: center_x center_y radius, but '%s' is not a valid %s.\n", arg,
                       argv[i + 1 + k], names[k]);
          return false;
        }
      }
      if (!(v[2] > 0.0)) {
        std::fprintf(stderr,
                     "ERROR: '%s' needs 3 arguments: center_x center_y radius, but %lf is not valid a radius.\n", arg,
                     v[2]);
        return false;
      }
      inside_circle = std::vector<double>(v, v + 3);
      blank(i, i + 3);
      i += 3;
    } else if (std::strcmp(arg, "-inside") == 0 || std::strcmp(arg, "-inside_rectangle") == 0) {
      if (i + 4 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs 4 arguments: min_x min_y max_x max_y\n", arg);
        return false;
      }
      double v[4];
      const char* names[4] = {"min_x", "min_y", "max_x", "max_y"};
      for (int k = 0; k < 4; k++) {
        if (!scan_double(argv[i + 1 + k], v[k])) {
          std::fprintf(stderr,
                       "ERROR: '%s' needs 4 arguments: min_x min_y max_x max_y, but '%s' is not a valid %s.\n", arg,
                       argv[i + 1 + k], names[k]);
          return false;
        }
      }
      if (!(v[0] < v[2])) {
        std::fprintf(stderr,
                     "ERROR: '%s' needs 4 arguments: min_x min_y max_x max_y, but %lf / %lf are not a valid min_x / "
                     "max_x pair.\n",
                     arg, v[0], v[2]);
        return false;
      }
      if (!(v[1] < v[3])) {
        std::fprintf(stderr,
                     "ERROR: '%s' needs 4 arguments: min_x min_y max_x max_y, but %lf / %lf are not a valid min_y / "
                     "max_y pair.\n",
                     arg, v[1], v[3]);
        return false;
      }
      inside_rectangle = std::vector<double>(v, v + 4);
      blank(i, i + 4);
      i += 4;
    } else if (std::strncmp(arg, "-inside", 7) == 0) {
      std::fprintf(stderr, "ERROR: unknown '-inside' option '%s'\n", arg);
      return false;
    } else if (std::strcmp(arg, "-iadd_extra") == 0 || std::strcmp(arg, "-iadd_attribute") == 0) {
      if (i + 3 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs 3 arguments: data_type name description\n", arg);
        return false;
      }
      LASinputAttribute attribute;
      attribute.data_type = std::atoi(argv[i + 1]);
      attribute.name = argv[i + 2];
      attribute.description = argv[i + 3];
      int last = i + 3;
      // Each optional number is looked at only when the one before it was
      // taken; an offset may be a literal zero.
      auto literal_zero = [](const char* t) { return std::strcmp(t, "0") == 0 || std::strcmp(t, "0.0") == 0; };
      double* targets[5] = {&attribute.scale, &attribute.offset, &attribute.pre_scale, &attribute.pre_offset,
                            &attribute.no_data};
      const bool zero_allowed[5] = {false, true, false, true, false};
      for (int k = 0; k < 5 && last + 1 < argc; k++) {
        const char* text = argv[last + 1];
        const double v = std::atof(text);
        if (v == 0.0 && !(zero_allowed[k] && literal_zero(text))) break;
        *targets[k] = v;
        ++last;
      }
      if (attribute.data_type < 1 || attribute.data_type > 10) {
        std::fprintf(stderr, "WARNING: attribute data type %d not supported. ignoring attribute '%s'.\n",
                     attribute.data_type, attribute.name.c_str());
      } else if (static_cast<int32_t>(attributes.size()) >= max_attributes) {
        std::fprintf(stderr, "ERROR: at most %d attributes can be added with '%s'\n", max_attributes, arg);
        return false;
      } else {
        attributes.push_back(std::move(attribute));
      }
      blank(i, last);
      i = last;
    } else if (std::strcmp(arg, "-iparse") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: string\n", arg);
        return false;
      }
      parse_string = std::string(argv[i + 1]);
      blank(i, i + 1);
      i += 1;
    } else if (std::strcmp(arg, "-iskip") == 0 || std::strcmp(arg, "-io_ibuffer") == 0) {
      const bool skip = arg[2] == 's';
      const char* what = skip ? "number_of_lines" : "size";
      if (i + 1 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: %s\n", arg, what);
        return false;
      }
      uint32_t v = 0;
      if (!scan_u32(argv[i + 1], v)) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: %s but '%s' is not a valid %s.\n", arg, what,
                     argv[i + 1], skip ? "number" : "size");
        return false;
      }
      if (v == 0) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: %s but %u is not valid.\n", arg, what, v);
        return false;
      }
      (skip ? skip_lines : io_ibuffer_size) = v;
      blank(i, i + 1);
      i += 1;
    } else if (std::strcmp(arg, "-itranslate_intensity") == 0 || std::strcmp(arg, "-iscale_intensity") == 0 ||
               std::strcmp(arg, "-itranslate_scan_angle") == 0 || std::strcmp(arg, "-iscale_scan_angle") == 0) {
      const bool translate = arg[2] == 't';
      const char* what = translate ? "translation" : "scale";
      if (i + 1 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: %s\n", arg, what);
        return false;
      }
      float v = 0.0f;
      if (!scan_float(argv[i + 1], v)) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: %s but '%s' is not valid.\n", arg, what, argv[i + 1]);
        return false;
      }
      if (v == 0.0f) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: %s but %f is not valid.\n", arg, what, v);
        return false;
      }
      const bool intensity = std::strstr(arg, "intensity") != nullptr;
      if (translate) {
        (intensity ? translate_intensity : translate_scan_angle) = v;
      } else {
        (intensity ? scale_intensity : scale_scan_angle) = v;
      }
      blank(i, i + 1);
      i += 1;
    } else if (std::strcmp(arg, "-ipts") == 0) {
      itxt = true;
      ipts = true;
      blank(i, i);
    } else if (std::strcmp(arg, "-iptx") == 0) {
      itxt = true;
      iptx = true;
      blank(i, i);
    } else if (std::strcmp(arg, "-iptx_transform") == 0) {
      itxt = true;
      iptx_transform = true;
      blank(i, i);
    } else if (std::strcmp(arg, "-itxt") == 0) {
      itxt = true;
      blank(i, i);
    } else if (std::strcmp(arg, "-rescale") == 0) {
      if (i + 3 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs 3 arguments: rescale_x rescale_y rescale_z\n", arg);
        return false;
      }
      double v[3];
      const char* names[3] = {"rescale_x", "rescale_y", "rescale_z"};
      for (int k = 0; k < 3; k++) {
        if (!scan_double(argv[i + 1 + k], v[k])) {
          std::fprintf(stderr,
                       "ERROR: '%s' needs 3 arguments: rescale_x rescale_y rescale_z, but '%s' is not a valid %s\n", arg,
                       argv[i + 1 + k], names[k]);
          return false;
        }
        if (v[k] == 0.0) {
          std::fprintf(stderr,
                       "ERROR: '%s' needs 3 arguments: rescale_x rescale_y rescale_z, but %lf is not a valid %s\n", arg,
                       v[k], names[k]);
          return false;
        }
      }
      scale_factor = std::vector<double>(v, v + 3);
      blank(i, i + 3);
      i += 3;
    } else if (std::strcmp(arg, "-rescale_xy") == 0) {
      if (i + 2 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs 2 argument: rescale_x rescale_y\n", arg);
        return false;
      }
      double v[3] = {0.0, 0.0, 0.0};
      const char* names[2] = {"rescale_x", "rescale_y"};
      for (int k = 0; k < 2; k++) {
        if (!scan_double(argv[i + 1 + k], v[k])) {
          std::fprintf(stderr, "ERROR: '%s' needs 3 arguments: rescale_x rescale_y, but '%s' is not a valid %s\n", arg,
                       argv[i + 1 + k], names[k]);
          return false;
        }
        if (v[k] == 0.0) {
          std::fprintf(stderr, "ERROR: '%s' needs 3 arguments: rescale_x rescale_y, but %lf is not a valid %s\n", arg,
                       v[k], names[k]);
          return false;
        }
      }
      scale_factor = std::vector<double>(v, v + 3);
      blank(i, i + 2);
      i += 2;
    } else if (std::strcmp(arg, "-rescale_z") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: rescale_z\n", arg);
        return false;
      }
      double z = 0.0;
      if (!scan_double(argv[i + 1], z)) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: rescale_z, but '%s' is not a valid rescale_z\n", arg,
                     argv[i + 1]);
        return false;
      }
      if (z == 0.0) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: rescale_z, but %lf is not a valid rescale_z\n", arg, z);
        return false;
      }
      scale_factor = std::vector<double>{0.0, 0.0, z};
      blank(i, i + 1);
      i += 1;
    } else if (std::strcmp(arg, "-reoffset") == 0) {
      if (i + 3 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs 3 arguments: reoffset_x, reoffset_y, reoffset_z\n", arg);
        return false;
      }
      double v[3];
      const char* names[3] = {"reoffset_x", "reoffset_y", "reoffset_z"};
      for (int k = 0; k < 3; k++) {
        if (!scan_double(argv[i + 1 + k], v[k])) {
          std::fprintf(stderr,
                       "ERROR: '%s' needs 3 arguments: reoffset_x, reoffset_y, reoffset_z, but '%s' is not a valid "
                       "%s\n",
                       arg, argv[i + 1 + k], names[k]);
          return false;
        }
      }
      offset = std::vector<double>(v, v + 3);
      blank(i, i + 3);
      i += 3;
    } else if (std::strcmp(arg, "-auto_reoffset") == 0) {
      auto_reoffset = true;
      blank(i, i);
    } else if (std::strcmp(arg, "-unique") == 0) {
      unique = true;
      blank(i, i);
    } else if (std::strcmp(arg, "-comma_not_point") == 0) {
      comma_not_point = true;
      blank(i, i);
    } else if (std::strcmp(arg, "-stdin") == 0) {
      use_stdin = true;
      blank(i, i);
    } else if (std::strcmp(arg, "-stored") == 0) {
      stored = true;
      blank(i, i);
    } else if (std::strcmp(arg, "-lof") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: list_of_files\n", arg);
        return false;
      }
      if (!add_list_of_files(argv[i + 1], unique)) {
        std::fprintf(stderr, "ERROR: cannot load list of files '%s'\n", argv[i + 1]);
        return false;
      }
      blank(i, i + 1);
      i += 1;
    } else if (std::strcmp(arg, "-apply_file_source_ID") == 0) {
      apply_file_source_ID = true;
      blank(i, i);
    } else if (std::strcmp(arg, "-files_are_flightlines") == 0 || std::strcmp(arg, "-faf") == 0) {
      int last = i;
      if (i + 1 < argc && argv[i + 1][0] >= '1' && argv[i + 1][0] <= '9') {
        files_are_flightlines = std::atoi(argv[i + 1]);
        if (files_are_flightlines > 65535) {
          std::fprintf(stderr, "WARNING: files_are_flightlines start value %d is too large\n", files_are_flightlines);
        }
        last = i + 1;
      } else {
        files_are_flightlines = 1;
      }
      if (static_cast<int64_t>(files_are_flightlines) + files_are_flightlines_index > 65535) {
        std::fprintf(stderr, "WARNING: files_are_flightlines start value %d plus index %d is too large\n",
                     files_are_flightlines, files_are_flightlines_index);
      }
      blank(i, last);
      i = last;
    } else if (std::strcmp(arg, "-faf_index") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: index\n", arg);
        return false;
      }
      const int32_t index = std::atoi(argv[i + 1]);
      files_are_flightlines_index = index - 1;
      if (index >= 65536) {
        std::fprintf(stderr, "WARNING: files_are_flightlines_index index value %d is too large\n", index);
      }
      if (static_cast<int64_t>(index) + files_are_flightlines > 65535) {
        std::fprintf(stderr, "WARNING: files_are_flightlines start value %d plus index %d is too large\n",
                     files_are_flightlines, index);
      }
      blank(i, i + 1);
      i += 1;
    } else if (std::strcmp(arg, "-merged") == 0) {
      merged = true;
      blank(i, i);
    } else if (std::strcmp(arg, "-buffered") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: buffer_size\n", arg);
        return false;
      }
      float v = 0.0f;
      if (!scan_float(argv[i + 1], v)) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: buffer_size. but '%s' is not a valid buffer_size\n", arg,
                     argv[i + 1]);
        return false;
      }
      if (!(v > 0.0f)) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: buffer_size, but %f is not valid\n", arg, v);
        return false;
      }
      buffered = v;
      blank(i, i + 1);
      i += 1;
    } else if (std::strcmp(arg, "-temp_files") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs 1 argument: base name\n", arg);
        return false;
      }
      temp_file_base = std::string(argv[i + 1]);
      blank(i, i + 1);
      i += 1;
    } else if (std::strcmp(arg, "-neighbors") == 0) {
      if (i + 1 >= argc || argv[i + 1][0] == '\0' || argv[i + 1][0] == '-') {
        std::fprintf(stderr, "ERROR: '%s' needs at least 1 argument: file_name or wild_card\n", arg);
        return false;
      }
      const int last = add_names(argc, argv, i, true);
      blank(i, last);
      i = last;
    } else if (std::strcmp(arg, "-neighbors_lof") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "ERROR: '%s' needs at least 1 argument: file_name\n", arg);
        return false;
      }
      if (!add_neighbor_list_of_files(argv[i + 1], unique)) {
        std::fprintf(stderr, "ERROR: cannot load neighbor list of files '%s'\n", argv[i + 1]);
        return false;
      }
      blank(i, i + 1);
      i += 1;
    } else if (std::strcmp(arg, "-pipe_on") == 0) {
      pipe_on = true;
      blank(i, i);
    } else if (std::strcmp(arg, "-populate") == 0) {
      populate_header = true;
      blank(i, i);
    } else if (std::strcmp(arg, "-do_not_populate") == 0) {
      populate_header = false;
      blank(i, i);
    }
  }

  if (!neighbors.empty()) {
    if (files.size() > 1) {
      std::fprintf(stderr, "ERROR: neighbors only supported for one buffered input file, not for %d\n",
                   static_cast<int>(files.size()));
      return false;
    }
    if (buffered == 0.0f) {
      std::fprintf(stderr, "ERROR: neighbors only make sense when used with '-buffered 50' or similar\n");
      return false;
    }
  }
  if (parsed_filter) {
    parsed_filter->clean();
  } else {
    parsed_filter = std::make_unique<LASfilter>();
  }
  if (!parsed_filter->parse(argc, argv)) {
    parsed_filter.reset();
    filter = nullptr;
    return false;
  }
  if (parsed_filter->get_number_of_criteria() == 0) parsed_filter.reset();
  filter = parsed_filter.get();
  // The transform and the ignore set parse the command line here once their
  // layers are in place.
  return true;
}

bool LASreadOpener::configure(LASreader* reader, bool las) const {
  reader->set_filter(filter);
  reader->set_transform(transform);
  reader->set_ignore(ignore);
  if (las) {
    if (inside_rectangle) {
      const std::vector<double>& r = *inside_rectangle;
      return reader->inside_rectangle(r[0], r[1], r[2], r[3]);
    }
    if (inside_tile) {
      const std::vector<float>& t = *inside_tile;
      return reader->inside_tile(t[0], t[1], t[2]);
    }
    if (inside_circle) {
      const std::vector<double>& c = *inside_circle;
      return reader->inside_circle(c[0], c[1], c[2]);
    }
    return true;
  }
  if (inside_tile && !reader->inside_tile((*inside_tile)[0], (*inside_tile)[1], (*inside_tile)[2])) return false;
  if (inside_circle && !reader->inside_circle((*inside_circle)[0], (*inside_circle)[1], (*inside_circle)[2])) {
    return false;
  }
  if (inside_rectangle) {
    const std::vector<double>& r = *inside_rectangle;
    if (!reader->inside_rectangle(r[0], r[1], r[2], r[3])) return false;
  }
  return true;
}

LASreader* LASreadOpener::open_merged() {
  auto reader = std::make_unique<LASreaderMerged>();
  reader->set_scale_factor(get_scale_factor());
  reader->set_offset(get_offset());
  reader->set_parse_string(get_parse_string());
  reader->set_skip_lines(skip_lines);
  reader->set_populate_header(populate_header);
  reader->set_keep_lastiling(keep_lastiling);
  reader->set_translate_intensity(translate_intensity);
  reader->set_scale_intensity(scale_intensity);
  reader->set_translate_scan_angle(translate_scan_angle);
  reader->set_scale_scan_angle(scale_scan_angle);
  reader->set_io_ibuffer_size(static_cast<int32_t>(io_ibuffer_size));
  for (const LASinputFile& f : files) {
    if (have_IDs) {
      reader->add_file_name(f.name.c_str(), f.ID);
    } else {
      reader->add_file_name(f.name.c_str());
    }
  }
  file_name_current = static_cast<uint32_t>(files.size());
  if (!reader->open()) {
    std::fprintf(stderr, "ERROR: cannot open lasreadermerged with %d file names\n", static_cast<int>(files.size()));
    return nullptr;
  }
  if (files_are_flightlines != 0) reader->set_files_are_flightlines(files_are_flightlines);
  if (apply_file_source_ID) reader->set_apply_file_source_ID(true);
  if (!configure(reader.get(), true)) return nullptr;
  return reader.release();
}

LASreader* LASreadOpener::open_las(const char* name) {
  std::unique_ptr<LASreaderLAS> reader;
  const double* s = get_scale_factor();
  const double* o = get_offset();
  if (s != nullptr && o != nullptr) {
    reader = std::make_unique<LASreaderLASrescalereoffset>(s[0], s[1], s[2], o[0], o[1], o[2]);
  } else if (s != nullptr && auto_reoffset) {
    reader = std::make_unique<LASreaderLASrescalereoffset>(s[0], s[1], s[2]);
  } else if (s != nullptr) {
    reader = std::make_unique<LASreaderLASrescale>(s[0], s[1], s[2], true);
  } else if (o != nullptr) {
    reader = std::make_unique<LASreaderLASreoffset>(o[0], o[1], o[2]);
  } else if (auto_reoffset) {
    reader = std::make_unique<LASreaderLASreoffset>();
  } else {
    reader = std::make_unique<LASreaderLAS>();
  }
  if (!reader->open(name, static_cast<int32_t>(io_ibuffer_size), false, decompress_selective)) {
    std::fprintf(stderr, "ERROR: cannot open lasreaderlas with file name '%s'\n", name);
    return nullptr;
  }
  if (files_are_flightlines != 0) {
    const int32_t position = static_cast<int32_t>(file_name_current);
    reader->header.file_source_ID =
        static_cast<uint16_t>(files_are_flightlines_index + files_are_flightlines + position);
  }
  if (!configure(reader.get(), true)) return nullptr;
  return reader.release();
}

LASreader* LASreadOpener::open(const char* other_file_name, bool reset_after_other) {
  // Criteria with a state (thinning, duplicates) start afresh for each
  // reader; the transform resets here once it exists.
  if (filter != nullptr) filter->reset();
  LASreader* reader = nullptr;
  if (!files.empty() || other_file_name != nullptr) {
    use_stdin = false;
    if (file_name_current == files.size() && other_file_name == nullptr) return nullptr;
    if (other_file_name == nullptr && merged && (files.size() > 1 || have_IDs)) {
      reader = open_merged();
      if (reader == nullptr) return nullptr;
    } else if (is_buffered()) {
      std::fprintf(stderr, "ERROR: on-the-fly buffered reading ('-buffered') is not supported yet\n");
      return nullptr;
    } else {
      if (other_file_name != nullptr) {
        file_name = other_file_name;
        if (reset_after_other) file_name_current = 0;
      } else {
        file_name = files[file_name_current].name;
        file_name_current++;
      }
      have_file_name = true;
      const char* name = file_name.c_str();
      if (is_las_name(name)) {
        reader = open_las(name);
        if (reader == nullptr) return nullptr;
      } else {
        std::fprintf(stderr, "ERROR: cannot open %s with file name '%s': this input format is not supported yet\n",
                     other_reader_kind(name), name);
        return nullptr;
      }
    }
  } else {
    if (!use_stdin) return nullptr;
    use_stdin = false;
    populate_header = true;
    if (itxt) {
      std::fprintf(stderr, "ERROR: cannot open lasreadertxt from stdin: text input is not supported yet\n");
      return nullptr;
    }
    std::unique_ptr<LASreaderLAS> las;
    const double* s = get_scale_factor();
    const double* o = get_offset();
    if (s != nullptr && o != nullptr) {
      las = std::make_unique<LASreaderLASrescalereoffset>(s[0], s[1], s[2], o[0], o[1], o[2]);
    } else if (s != nullptr) {
      las = std::make_unique<LASreaderLASrescale>(s[0], s[1], s[2], true);
    } else if (o != nullptr) {
      las = std::make_unique<LASreaderLASreoffset>(o[0], o[1], o[2]);
    } else {
      las = std::make_unique<LASreaderLAS>();
    }
    if (!las->open(stdin)) {
      std::fprintf(stderr, "ERROR: cannot open lasreaderlas from stdin \n");
      return nullptr;
    }
    if (!configure(las.get(), true)) return nullptr;
    reader = las.release();
  }
  if (stored || pipe_on) {
    std::fprintf(stderr, "ERROR: '%s' is not supported yet\n", stored ? "-stored" : "-pipe_on");
    delete reader;
    return nullptr;
  }
  return reader;
}
