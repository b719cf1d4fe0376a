#include "io/lasreader_merged.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "compression/qopack.h"
#include "las/lasreader_las.h"

namespace {

// A file without points: a box that intersects nothing.
constexpr double empty_min = 2e307;
constexpr double empty_max = -2e307;

// The kind of a point file by the substrings the read opener looks for.
const char* file_kind(const char* name) {
  if (std::strstr(name, ".las") || std::strstr(name, ".qpk") || std::strstr(name, ".LAS") ||
      std::strstr(name, ".QPK")) {
    return "LAS";
  }
  if (std::strstr(name, ".bin") || std::strstr(name, ".BIN")) return "BIN";
  if (std::strstr(name, ".shp") || std::strstr(name, ".SHP")) return "SHP";
  if (std::strstr(name, ".asc") || std::strstr(name, ".ASC")) return "ASC";
  if (std::strstr(name, ".bil") || std::strstr(name, ".BIL")) return "BIL";
  if (std::strstr(name, ".dtm") || std::strstr(name, ".DTM")) return "DTM";
  if (std::strstr(name, ".ply") || std::strstr(name, ".PLY")) return "PLY";
  if (std::strstr(name, ".qi") || std::strstr(name, ".QI")) return "QFIT";
  return "TXT";
}

double round_half_away(double v) { return v >= 0.0 ? std::floor(v + 0.5) : std::ceil(v - 0.5); }

bool fits(double min, double max, double scale, double offset) {
  return (max - offset) / scale <= 2147483647.0 && (min - offset) / scale >= -2147483648.0;
}

}  // namespace

LASreaderMerged::LASreaderMerged() = default;

LASreaderMerged::~LASreaderMerged() {
  if (lasreaderlas && reading) lasreaderlas->close();
}

bool LASreaderMerged::add_file_name(const char* file_name) {
  if (file_name == nullptr) {
    std::fprintf(stderr, "ERROR: file name pointer is NULL\n");
    return false;
  }
  FILE* file = std::fopen(file_name, "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "ERROR: file '%s' cannot be opened\n", file_name);
    return false;
  }
  std::fclose(file);
  const char* kind = file_kind(file_name);
  if (std::strcmp(kind, "LAS") != 0) {
    std::fprintf(stderr, "ERROR: merging %s files is not supported yet. skipping '%s' ...\n", kind, file_name);
    return false;
  }
  file_names.emplace_back(file_name);
  if (have_IDs) file_names_ID.push_back(0);
  return true;
}

bool LASreaderMerged::add_file_name(const char* file_name, uint32_t ID) {
  if (!add_file_name(file_name)) return false;
  if (!have_IDs) {
    file_names_ID.assign(file_names.size(), 0);
    have_IDs = true;
  }
  file_names_ID.back() = ID;
  return true;
}

const char* LASreaderMerged::get_file_name() const {
  if (file_names.empty()) return nullptr;
  const uint32_t i = file_name_current > 0 ? file_name_current - 1 : 0;
  return file_names[i < file_names.size() ? i : file_names.size() - 1].c_str();
}

void LASreaderMerged::set_scale_factor(const double* scale) {
  have_scale_factor = scale != nullptr;
  for (int i = 0; i < 3; i++) scale_factor[i] = scale != nullptr ? scale[i] : 0.0;
}

void LASreaderMerged::set_offset(const double* requested) {
  have_offset = requested != nullptr;
  for (int i = 0; i < 3; i++) offset[i] = requested != nullptr ? requested[i] : 0.0;
}

void LASreaderMerged::set_files_are_flightlines(int32_t start) {
  files_are_flightlines = start;
  if (start != 0) header.file_source_ID = 0;
}

void LASreaderMerged::set_apply_file_source_ID(bool apply) {
  apply_file_source_ID = apply;
  if (apply) header.file_source_ID = 0;
}

void LASreaderMerged::set_parse_string(const char* text) { parse_string = text != nullptr ? text : ""; }

std::unique_ptr<LASreaderLAS> LASreaderMerged::make_las_reader() const {
  if (rescale && reoffset) {
    return std::make_unique<LASreaderLASrescalereoffset>(header.x_scale_factor, header.y_scale_factor,
                                                         header.z_scale_factor, header.x_offset, header.y_offset,
                                                         header.z_offset);
  }
  if (rescale) {
    return std::make_unique<LASreaderLASrescale>(header.x_scale_factor, header.y_scale_factor,
                                                 header.z_scale_factor, true);
  }
  if (reoffset) return std::make_unique<LASreaderLASreoffset>(header.x_offset, header.y_offset, header.z_offset);
  return std::make_unique<LASreaderLAS>();
}

bool LASreaderMerged::open() {
  if (file_names.empty()) {
    std::fprintf(stderr, "ERROR: no valid file names\n");
    return false;
  }
  header.clean();
  point.clean();
  boxes.clear();
  rescale = false;
  reoffset = false;
  npoints = 0;
  bool first_has_attributes = false;
  bool warned_point_type = false;
  bool warned_point_size = false;
  bool warned_attributes = false;
  // Counts in 64 bits while they are added up.
  uint64_t legacy_total = 0;
  uint64_t legacy_by_return[5] = {0, 0, 0, 0, 0};

  for (size_t i = 0; i < file_names.size(); i++) {
    const char* name = file_names[i].c_str();
    LASreaderLAS reader;
    const bool peek = i > 0 && !first_has_attributes;
    if (!reader.open(name, 512, peek, 0xFFFFFFFF)) {
      std::fprintf(stderr, "ERROR: could not open lasreaderlas for file '%s'\n", name);
      return false;
    }
    LASheader& h = reader.header;
    if (reader.npoints > 0) {
      boxes.push_back({h.min_x, h.min_y, h.max_x, h.max_y});
    } else {
      boxes.push_back({empty_min, empty_min, empty_max, empty_max});
    }
    if (i == 0) {
      if (h.vlr_lastiling && h.vlr_lastiling->buffer) {
        std::fprintf(stderr, "WARNING: first file is a buffered tile. maybe remove buffers first?\n");
      }
      if (!keep_lastiling) {
        h.clean_lastiling();
      } else if (!h.vlr_lastiling) {
        std::fprintf(stderr, "WARNING: first file has no LAStiling VLR cannot '-keep_lastiling' ...\n");
      }
      first_has_attributes = h.number_attributes > 0;
      header.take_over(h);
      header.extended_number_of_point_records = header.get_extended_number_of_point_records();
      for (int r = 1; r <= 15; r++) {
        header.extended_number_of_points_by_return[r - 1] = header.get_extended_number_of_points_by_return(r);
      }
      legacy_total = header.number_of_point_records;
      for (int r = 0; r < 5; r++) legacy_by_return[r] = header.number_of_points_by_return[r];
      npoints = reader.npoints;
    } else if (reader.npoints > 0) {
      npoints += reader.npoints;
      if (static_cast<uint64_t>(npoints) == static_cast<uint64_t>(reader.npoints)) {
        // Every earlier file was empty: this one gives counts, box and
        // quantization.
        legacy_total = h.number_of_point_records;
        for (int r = 0; r < 5; r++) legacy_by_return[r] = h.number_of_points_by_return[r];
        header.extended_number_of_point_records = h.get_extended_number_of_point_records();
        for (int r = 1; r <= 15; r++) {
          header.extended_number_of_points_by_return[r - 1] = h.get_extended_number_of_points_by_return(r);
        }
        header.min_x = h.min_x;
        header.min_y = h.min_y;
        header.min_z = h.min_z;
        header.max_x = h.max_x;
        header.max_y = h.max_y;
        header.max_z = h.max_z;
        header.x_scale_factor = h.x_scale_factor;
        header.y_scale_factor = h.y_scale_factor;
        header.z_scale_factor = h.z_scale_factor;
        header.x_offset = h.x_offset;
        header.y_offset = h.y_offset;
        header.z_offset = h.z_offset;
      } else {
        legacy_total += h.number_of_point_records;
        for (int r = 0; r < 5; r++) legacy_by_return[r] += h.number_of_points_by_return[r];
        header.extended_number_of_point_records += h.get_extended_number_of_point_records();
        for (int r = 1; r <= 15; r++) {
          header.extended_number_of_points_by_return[r - 1] += h.get_extended_number_of_points_by_return(r);
        }
        if (h.min_x < header.min_x) header.min_x = h.min_x;
        if (h.min_y < header.min_y) header.min_y = h.min_y;
        if (h.min_z < header.min_z) header.min_z = h.min_z;
        if (h.max_x > header.max_x) header.max_x = h.max_x;
        if (h.max_y > header.max_y) header.max_y = h.max_y;
        if (h.max_z > header.max_z) header.max_z = h.max_z;
        if (h.x_scale_factor != header.x_scale_factor || h.y_scale_factor != header.y_scale_factor ||
            h.z_scale_factor != header.z_scale_factor) {
          rescale = true;
        }
        if (h.x_offset != header.x_offset || h.y_offset != header.y_offset || h.z_offset != header.z_offset) {
          reoffset = true;
        }
      }
      if (!warned_point_type && (h.point_data_format & 0x3F) != (header.point_data_format & 0x3F)) {
        std::fprintf(stderr, "WARNING: files have different point types: %d vs %d\n",
                     header.point_data_format & 0x3F, h.point_data_format & 0x3F);
        warned_point_type = true;
      }
      if (!warned_point_size && h.point_data_record_length != header.point_data_record_length) {
        std::fprintf(stderr, "WARNING: files have different point sizes: %d vs %d\n",
                     header.point_data_record_length, h.point_data_record_length);
        warned_point_size = true;
      }
      if (!warned_attributes && first_has_attributes) {
        if (h.number_attributes != header.number_attributes) {
          std::fprintf(stderr, "WARNING: files have different number of attributes: %d vs %d\n",
                       header.number_attributes, h.number_attributes);
          warned_attributes = true;
        } else {
          for (int32_t a = 0; a < h.number_attributes; a++) {
            if (std::memcmp(&h.attributes[a], &header.attributes[a], sizeof(LASattribute)) != 0) {
              std::fprintf(stderr, "WARNING: files have different attribute %d\n", a);
              warned_attributes = true;
              break;
            }
          }
        }
      }
    }
    reader.close();
  }

  header.number_of_point_records = legacy_total <= 0xFFFFFFFFu ? static_cast<uint32_t>(legacy_total) : 0;
  for (int r = 0; r < 5; r++) {
    header.number_of_points_by_return[r] =
        legacy_by_return[r] <= 0xFFFFFFFFu ? static_cast<uint32_t>(legacy_by_return[r]) : 0;
  }
  if (npoints > static_cast<int64_t>(0xFFFFFFFFu) && header.version_minor < 4) {
    std::fprintf(stderr,
                 "WARNING: on-the-fly merged LAS 1.%d files contain too many points (%" PRId64
                 ") for single LAS 1.%d file.\n",
                 header.version_minor, npoints, header.version_minor);
  }

  // Requested quantization.
  double* scales[3] = {&header.x_scale_factor, &header.y_scale_factor, &header.z_scale_factor};
  double* offsets[3] = {&header.x_offset, &header.y_offset, &header.z_offset};
  for (int i = 0; i < 3; i++) {
    if (have_scale_factor && scale_factor[i] != 0.0 && scale_factor[i] != *scales[i]) {
      *scales[i] = scale_factor[i];
      rescale = true;
    }
    if (have_offset && offset[i] != *offsets[i]) {
      *offsets[i] = offset[i];
      reoffset = true;
    }
  }

  if (header.qopack) {
    if (!point.init(&header, header.qopack->num_items, header.qopack->items)) {
      std::fprintf(stderr, "ERROR: cannot initialise the merged point\n");
      return false;
    }
  } else if (!point.init(&header, header.point_data_format, header.point_data_record_length)) {
    return false;
  }

  fit_box_into_integers();

  if (files_are_flightlines != 0 || apply_file_source_ID) header.file_source_ID = 0;
  lasreaderlas = make_las_reader();
  reading = false;
  p_count = 0;
  file_name_current = 0;
  return true;
}

void LASreaderMerged::fit_box_into_integers() {
  if (npoints == 0) return;
  struct Axis {
    double min, max;
    double* scale;
    double* offset;
    const char* scale_message;
    const char* offset_message;
  };
  Axis axes[3] = {
      {header.min_x, header.max_x, &header.x_scale_factor, &header.x_offset,
       "WARNING: i changed x_scale_factor from %g to %g to accommodate enlarged bounding box\n",
       "WARNING: i changed x_offset from %g to %g to accommodate enlarged bounding box\n"},
      {header.min_y, header.max_y, &header.y_scale_factor, &header.y_offset,
       "WARNING: i changed y_scale_factor from %g to %g to accommodate enlarged bounding box\n",
       "WARNING: i changed y_offset from %g to %g to accommodate enlarged bounding box\n"},
      {header.min_z, header.max_z, &header.z_scale_factor, &header.z_offset,
       "WARNING: i changed  z_scale_factor from %g to %g to accommodate enlarged bounding box\n",
       "WARNING: i changed z_offset from %g to %g to accommodate enlarged bounding box\n"},
  };
  for (Axis& a : axes) {
    // A box that is no box (a damaged header) cannot be fitted.
    if (!std::isfinite(a.min) || !std::isfinite(a.max) || !(*a.scale > 0.0)) continue;
    if (fits(a.min, a.max, *a.scale, *a.offset)) continue;
    const double center = round_half_away((a.min + a.max) / 2);
    const double old_scale = *a.scale;
    double new_scale = old_scale;
    // Each step gains a factor ten; 600 steps pass any finite double.
    for (int step = 0; step < 600 && !fits(a.min, a.max, new_scale, center); step++) new_scale *= 10.0;
    if (new_scale != old_scale) {
      std::fprintf(stderr, a.scale_message, old_scale, new_scale);
      *a.scale = new_scale;
      rescale = true;
    }
    if (!fits(a.min, a.max, *a.scale, *a.offset)) {
      std::fprintf(stderr, a.offset_message, *a.offset, center);
      *a.offset = center;
      reoffset = true;
    }
  }
}

bool LASreaderMerged::open_next_file() {
  const uint32_t count = static_cast<uint32_t>(file_names.size());
  while (file_name_current < count && inside != 0) {
    const Box& b = boxes[file_name_current];
    bool skip;
    if (inside == 3) {
      skip = b.min_x > header.max_x || b.min_y > header.max_y || header.min_x > b.max_x || header.min_y > b.max_y;
    } else {
      skip = b.min_x >= header.max_x || b.min_y >= header.max_y || header.min_x > b.max_x || header.min_y > b.max_y;
    }
    if (!skip) break;
    file_name_current++;
  }
  if (file_name_current >= count) return false;
  const char* name = file_names[file_name_current].c_str();
  file_name_current++;
  if (!lasreaderlas->open(name, io_ibuffer_size, false, 0xFFFFFFFF)) {
    std::fprintf(stderr, "ERROR: could not open lasreaderlas for file '%s'\n", name);
    return false;
  }
  lasreaderlas->set_filter(filter);
  lasreaderlas->set_transform(transform);
  lasreaderlas->set_ignore(ignore);
  bool area = true;
  if (inside == 3) {
    area = lasreaderlas->inside_rectangle(area_rectangle[0], area_rectangle[1], area_rectangle[2], area_rectangle[3]);
  } else if (inside == 1) {
    area = lasreaderlas->inside_tile(area_tile[0], area_tile[1], area_tile[2]);
  } else if (inside == 2) {
    area = lasreaderlas->inside_circle(area_circle[0], area_circle[1], area_circle[2]);
  }
  if (!area) {
    lasreaderlas->close();
    return false;
  }
  reading = true;
  return true;
}

bool LASreaderMerged::read_point_default() {
  while (true) {
    if (!reading && !open_next_file()) return false;
    if (lasreaderlas->read_point()) {
      point = lasreaderlas->point;
      p_count++;
      return true;
    }
    lasreaderlas->close();
    reading = false;
    point.zero();
  }
}

int32_t LASreaderMerged::get_format() const {
  return reading ? lasreaderlas->get_format() : format_las;
}

void LASreaderMerged::set_filter(LASfilter* f) {
  // Each file's reader filters; this reader only passes points on.
  filter = f;
  if (reading) lasreaderlas->set_filter(f);
}

void LASreaderMerged::set_transform(LAStransform* t) {
  transform = t;
  if (reading) lasreaderlas->set_transform(t);
}

void LASreaderMerged::save_box() {
  if (inside != 0) return;
  saved_box[0] = header.min_x;
  saved_box[1] = header.min_y;
  saved_box[2] = header.max_x;
  saved_box[3] = header.max_y;
}

bool LASreaderMerged::inside_none() {
  if (inside != 0) {
    header.min_x = saved_box[0];
    header.min_y = saved_box[1];
    header.max_x = saved_box[2];
    header.max_y = saved_box[3];
    inside = 0;
  }
  return true;
}

bool LASreaderMerged::inside_tile(float ll_x, float ll_y, float size) {
  save_box();
  inside = 1;
  area_tile[0] = ll_x;
  area_tile[1] = ll_y;
  area_tile[2] = size;
  header.min_x = ll_x;
  header.min_y = ll_y;
  header.max_x = static_cast<double>(ll_x + size) - header.x_scale_factor;
  header.max_y = static_cast<double>(ll_y + size) - header.y_scale_factor;
  return true;
}

bool LASreaderMerged::inside_circle(double center_x, double center_y, double radius) {
  save_box();
  inside = 2;
  area_circle[0] = center_x;
  area_circle[1] = center_y;
  area_circle[2] = radius;
  header.min_x = center_x - radius;
  header.min_y = center_y - radius;
  header.max_x = center_x + radius;
  header.max_y = center_y + radius;
  return true;
}

bool LASreaderMerged::inside_rectangle(double min_x, double min_y, double max_x, double max_y) {
  save_box();
  inside = 3;
  area_rectangle[0] = min_x;
  area_rectangle[1] = min_y;
  area_rectangle[2] = max_x;
  area_rectangle[3] = max_y;
  header.min_x = min_x;
  header.min_y = min_y;
  header.max_x = max_x;
  header.max_y = max_y;
  return true;
}

void LASreaderMerged::close(bool close_stream) {
  if (lasreaderlas && reading) lasreaderlas->close(close_stream);
  reading = false;
}
