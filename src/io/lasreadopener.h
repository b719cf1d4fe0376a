// The input part of a command line: input file names (wildcards, file
// lists), every input option, and the readers built from them.
#ifndef TIECHECK_IO_LASREADOPENER_H
#define TIECHECK_IO_LASREADOPENER_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class LASreader;
class LASfilter;
class LAStransform;
class LASignore;

// An input of a file list: its name, and what the list said about it.
struct LASinputFile {
  std::string name;
  uint32_t ID = 0;
  bool have_ID = false;
  // From a list line with bounds.
  bool have_bounds = false;
  int64_t npoints = 0;
  double min_x = 0.0;
  double min_y = 0.0;
  double max_x = 0.0;
  double max_y = 0.0;
};

// An attribute that "-iadd_extra" adds to text input.
struct LASinputAttribute {
  int32_t data_type = 0;
  std::string name;
  std::string description;
  double scale = 1.0;
  double offset = 0.0;
  double pre_scale = 1.0;
  double pre_offset = 0.0;
  double no_data = 2e307;
};

class LASreadOpener {
 public:
  static constexpr int32_t max_attributes = 32;

  LASreadOpener();
  ~LASreadOpener();
  LASreadOpener(const LASreadOpener&) = delete;
  LASreadOpener& operator=(const LASreadOpener&) = delete;

  // Consumes the input options from argv[1] on (each consumed argument
  // becomes the empty string), skipping empty arguments, and then lets a
  // filter parse the whole command line; a filter without criteria is
  // dropped. "-h" prints the help texts and returns true at once without
  // consuming it. "-ignore_" options are an error unless parse_ignore is
  // set. False after a printed error.
  [[nodiscard]] bool parse(int argc, char* argv[], bool parse_ignore = false);
  void usage() const;

  // The reader of the next input (or of other_file_name), configured with
  // filter, transform, ignore set and area query; null after a message when
  // it cannot be built or no input is left. With merged reading and several
  // inputs, one reader over all of them.
  [[nodiscard]] LASreader* open(const char* other_file_name = nullptr, bool reset_after_other = true);

  // An input file is left to open, or standard input is still to be read.
  bool active() const { return file_name_current < files.size() || use_stdin; }
  // The next open starts again at the first input.
  void reset();

  void set_merged(bool merged) { this->merged = merged; }
  bool is_merged() const { return merged; }
  void set_stored(bool stored) { this->stored = stored; }
  // The opener does not free a filter it is given or one it replaces.
  void set_filter(LASfilter* filter);
  LASfilter* get_filter() const { return filter; }
  LAStransform* get_transform() const { return transform; }
  LASignore* get_ignore() const { return ignore; }
  // The fields readers decode: mask | what filter, transform and ignore set
  // need.
  void set_decompress_selective(uint32_t decompress_selective);
  uint32_t get_decompress_selective() const { return decompress_selective; }

  // The input last opened, else the first listed, else null.
  const char* get_file_name() const;
  const char* get_file_name(uint32_t number) const;
  uint32_t get_file_name_number() const { return static_cast<uint32_t>(files.size()); }
  uint32_t get_file_name_current() const { return file_name_current; }
  const LASinputFile& get_file(uint32_t number) const { return files[number]; }

  // Adds every match of a name or wildcard (sorted; a directory part of the
  // pattern stays in the names). Nothing matches: false, nothing printed.
  // With unique, names already listed are skipped. True when a name was
  // added.
  bool add_file_name(const char* file_name, bool unique = false);
  // Adds the name as it is, with an ID and optionally the bounds a file
  // list gave for it. False when unique skipped it.
  bool add_file_name(const char* file_name, uint32_t ID, bool unique = false);
  bool add_file_name(const char* file_name, uint32_t ID, int64_t npoints, double min_x, double min_y,
                     double max_x, double max_y, bool unique = false);
  // Reads a file list: per line "ID,npoints,min_x,min_y,max_x,max_y,name",
  // "ID,name" or a name or wildcard. False after "ERROR: cannot open '%s'\n".
  bool add_list_of_files(const char* list_name, bool unique = false);
  // The same for the neighbour files of buffered reading.
  bool add_neighbor_file_name(const char* file_name, bool unique = false);
  bool add_neighbor_list_of_files(const char* list_name, bool unique = false);
  uint32_t get_neighbor_file_name_number() const { return static_cast<uint32_t>(neighbors.size()); }
  const LASinputFile& get_neighbor_file(uint32_t number) const { return neighbors[number]; }

  // Buffering applies: a buffer width and several inputs or neighbours.
  bool is_buffered() const { return buffered > 0.0f && (files.size() > 1 || !neighbors.empty()); }
  bool is_inside() const { return inside_tile || inside_circle || inside_rectangle; }
  bool is_piped() const { return files.empty() && use_stdin; }
  bool is_stdin() const { return use_stdin; }

  // Settings, as parsed.
  const double* get_scale_factor() const { return scale_factor ? scale_factor->data() : nullptr; }
  const double* get_offset() const { return offset ? offset->data() : nullptr; }
  void set_scale_factor(const double* scale);
  void set_offset(const double* offset);
  void set_auto_reoffset(bool auto_reoffset) { this->auto_reoffset = auto_reoffset; }
  bool is_auto_reoffset() const { return auto_reoffset; }
  const float* get_inside_tile() const { return inside_tile ? inside_tile->data() : nullptr; }
  const double* get_inside_circle() const { return inside_circle ? inside_circle->data() : nullptr; }
  const double* get_inside_rectangle() const { return inside_rectangle ? inside_rectangle->data() : nullptr; }
  int32_t get_files_are_flightlines() const { return files_are_flightlines; }
  int32_t get_files_are_flightlines_index() const { return files_are_flightlines_index; }
  bool is_apply_file_source_ID() const { return apply_file_source_ID; }
  bool is_unique() const { return unique; }
  bool is_stored() const { return stored; }
  bool is_pipe_on() const { return pipe_on; }
  bool is_comma_not_point() const { return comma_not_point; }
  bool is_populate_header() const { return populate_header; }
  bool is_itxt() const { return itxt; }
  bool is_ipts() const { return ipts; }
  bool is_iptx() const { return iptx; }
  bool is_iptx_transform() const { return iptx_transform; }
  float get_buffered() const { return buffered; }
  const char* get_temp_file_base() const { return temp_file_base ? temp_file_base->c_str() : nullptr; }
  const char* get_parse_string() const { return parse_string ? parse_string->c_str() : nullptr; }
  uint32_t get_skip_lines() const { return skip_lines; }
  uint32_t get_io_ibuffer_size() const { return io_ibuffer_size; }
  float get_translate_intensity() const { return translate_intensity; }
  float get_scale_intensity() const { return scale_intensity; }
  float get_translate_scan_angle() const { return translate_scan_angle; }
  float get_scale_scan_angle() const { return scale_scan_angle; }
  int32_t get_number_attributes() const { return static_cast<int32_t>(attributes.size()); }
  const LASinputAttribute& get_attribute(int32_t index) const { return attributes[index]; }

 private:
  bool add_file(std::vector<LASinputFile>& list, LASinputFile file, bool unique);
  bool add_pattern(std::vector<LASinputFile>& list, const char* pattern, bool unique);
  bool add_list(std::vector<LASinputFile>& list, const char* list_name, bool unique, const char* array_name);
  // Names after option i up to the next empty argument or option; the
  // index of the last one taken.
  int add_names(int argc, char* argv[], int i, bool neighbors);
  // Gives the reader filter, transform and ignore set, then the area
  // query (LAS readers: only the first of rectangle, tile, circle).
  bool configure(LASreader* reader, bool las) const;
  LASreader* open_las(const char* name);
  LASreader* open_merged();

  uint32_t io_ibuffer_size = 262144;
  std::string file_name;  // the input last opened
  bool have_file_name = false;
  bool merged = false;
  bool stored = false;
  uint32_t file_name_current = 0;
  std::vector<LASinputFile> files;
  bool have_IDs = false;
  float buffered = 0.0f;
  std::optional<std::string> temp_file_base;
  std::vector<LASinputFile> neighbors;
  bool comma_not_point = false;
  std::optional<std::vector<double>> scale_factor;
  std::optional<std::vector<double>> offset;
  bool auto_reoffset = false;
  int32_t files_are_flightlines = 0;
  int32_t files_are_flightlines_index = -1;
  bool apply_file_source_ID = false;
  bool itxt = false;
  bool ipts = false;
  bool iptx = false;
  bool iptx_transform = false;
  float translate_intensity = 0.0f;
  float scale_intensity = 1.0f;
  float translate_scan_angle = 0.0f;
  float scale_scan_angle = 1.0f;
  std::vector<LASinputAttribute> attributes;
  uint8_t point_type = 0;
  std::optional<std::string> parse_string;
  uint32_t skip_lines = 0;
  bool populate_header = false;
  bool keep_lastiling = false;
  bool pipe_on = false;
  bool use_stdin = false;
  bool unique = false;
  // The filter parsed from the command line (owned) and the one readers
  // get (set_filter may replace it without freeing either).
  std::unique_ptr<LASfilter> parsed_filter;
  LASfilter* filter = nullptr;
  LAStransform* transform = nullptr;
  LASignore* ignore = nullptr;
  uint32_t decompress_selective = 0xFFFFFFFF;
  std::optional<std::vector<float>> inside_tile;
  std::optional<std::vector<double>> inside_circle;
  std::optional<std::vector<double>> inside_rectangle;
};

#endif
