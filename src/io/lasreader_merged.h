// Many point files of one kind read as one point source with one merged
// header.
#ifndef TIECHECK_IO_LASREADER_MERGED_H
#define TIECHECK_IO_LASREADER_MERGED_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "io/lasreader.h"

class LASreaderLAS;

// open() looks at every file once (the populate pass) to build the merged
// header: the first file's header with its records, the point counts added
// up and the bounding box grown over all files. When the files differ in
// scale factors or offsets, or the merged box does not fit into 32-bit
// integers at the first file's quantization, every file is read into the
// merged header's quantization. Reading then goes through the files in list
// order, one open at a time.
//
// Filter, transform and area query are handed to the reader of each file;
// the area query also replaces the merged header's box and skips files
// whose box lies outside it.
//
// This build merges LAS files only: other kinds are refused when added.
class LASreaderMerged : public LASreader {
 public:
  LASreaderMerged();
  ~LASreaderMerged() override;

  // Adds a file; refuses (after a message, returning false) a null name, a
  // file that cannot be opened for reading and a file of a kind that cannot
  // be merged. The ID, when given, is kept per file.
  bool add_file_name(const char* file_name);
  bool add_file_name(const char* file_name, uint32_t ID);
  uint32_t get_file_name_number() const { return static_cast<uint32_t>(file_names.size()); }
  const char* get_file_name(uint32_t i) const { return file_names[i].c_str(); }
  // The file being read (or the first file before reading began).
  const char* get_file_name() const;

  // Requested scale factors / offsets (null: none); components of 0 scale
  // keep the merged header's.
  void set_scale_factor(const double* scale_factor);
  void set_offset(const double* offset);
  void set_keep_lastiling(bool keep) { keep_lastiling = keep; }
  void set_io_ibuffer_size(int32_t size) { io_ibuffer_size = size; }
  // Point-source numbering by file (start number, 0 = off) or from each
  // file's header; either sets the merged header's file_source_ID to 0.
  void set_files_are_flightlines(int32_t start);
  void set_apply_file_source_ID(bool apply);
  // Settings of text input, kept for the readers of text files.
  void set_parse_string(const char* parse_string);
  void set_skip_lines(uint32_t skip_lines) { this->skip_lines = skip_lines; }
  void set_populate_header(bool populate) { populate_header = populate; }
  void set_translate_intensity(float v) { translate_intensity = v; }
  void set_scale_intensity(float v) { scale_intensity = v; }
  void set_translate_scan_angle(float v) { translate_scan_angle = v; }
  void set_scale_scan_angle(float v) { scale_scan_angle = v; }

  // The populate pass. False after a message when there is no file or a
  // file cannot be opened.
  [[nodiscard]] bool open();

  // Whether points are converted into the merged quantization.
  bool is_rescaled() const { return rescale; }
  bool is_reoffset() const { return reoffset; }

  int32_t get_format() const override;
  void set_filter(LASfilter* filter) override;
  void set_transform(LAStransform* transform) override;
  bool inside_none() override;
  bool inside_tile(float ll_x, float ll_y, float size) override;
  bool inside_circle(double center_x, double center_y, double radius) override;
  bool inside_rectangle(double min_x, double min_y, double max_x, double max_y) override;
  bool seek(int64_t) override { return false; }
  ByteStreamIn* get_stream() const override { return nullptr; }
  // Closes the file being read.
  void close(bool close_stream = true) override;

 protected:
  bool read_point_default() override;

 private:
  // A new reader of LAS files, with the variant that converts into the
  // merged quantization when needed.
  std::unique_ptr<LASreaderLAS> make_las_reader() const;
  // Opens the next file whose box can hold points of the area; false when
  // none is left or it cannot be opened.
  bool open_next_file();
  // Fits the merged box into 32-bit integers by raising scales and moving
  // offsets.
  void fit_box_into_integers();
  void save_box();

  std::vector<std::string> file_names;
  std::vector<uint32_t> file_names_ID;
  bool have_IDs = false;
  uint32_t file_name_current = 0;
  struct Box {
    double min_x, min_y, max_x, max_y;
  };
  std::vector<Box> boxes;

  std::unique_ptr<LASreaderLAS> lasreaderlas;
  bool reading = false;  // a file is open

  bool have_scale_factor = false;
  double scale_factor[3] = {0.0, 0.0, 0.0};
  bool have_offset = false;
  double offset[3] = {0.0, 0.0, 0.0};
  bool keep_lastiling = false;
  int32_t io_ibuffer_size = 262144;
  int32_t files_are_flightlines = 0;
  bool apply_file_source_ID = false;
  std::string parse_string;
  uint32_t skip_lines = 0;
  bool populate_header = false;
  float translate_intensity = 0.0f;
  float scale_intensity = 1.0f;
  float translate_scan_angle = 0.0f;
  float scale_scan_angle = 1.0f;

  bool rescale = false;
  bool reoffset = false;

  // The area query handed to each file (inside of the base: 1 tile, 2
  // circle, 3 rectangle).
  float area_tile[3] = {0.0f, 0.0f, 0.0f};
  double area_circle[3] = {0.0, 0.0, 0.0};
  double area_rectangle[4] = {0.0, 0.0, 0.0, 0.0};
  double saved_box[4] = {0.0, 0.0, 0.0, 0.0};
};

#endif
