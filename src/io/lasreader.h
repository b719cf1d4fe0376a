// The abstract point reader: owns the header and the point that a concrete
// reader fills, counts points, and implements once for every reader the
// filtering of points and the area queries (tile, circle, rectangle). Every
// read is dispatched through replaceable member-function pointers so that
// the per-point path carries no tests of options.
#ifndef TIECHECK_IO_LASREADER_H
#define TIECHECK_IO_LASREADER_H

#include <cstdint>

#include "las/lasheader.h"
#include "las/laspoint.h"

class ByteStreamIn;
class LASfilter;
class LAStransform;
class LASignore;
class LASindex;

class LASreader {
 public:
  // Format codes of get_format().
  static constexpr int32_t format_las = 1;
  static constexpr int32_t format_qpk = 2;

  // Values of get_inside().
  static constexpr uint32_t inside_is_none = 0;
  static constexpr uint32_t inside_is_tile = 1;
  static constexpr uint32_t inside_is_circle = 2;
  static constexpr uint32_t inside_is_rectangle = 3;

  LASheader header;
  LASpoint point;

  int64_t npoints = 0;  // points announced
  int64_t p_count = 0;  // points delivered by read_point_default so far

  LASreader();
  virtual ~LASreader();
  LASreader(const LASreader&) = delete;
  LASreader& operator=(const LASreader&) = delete;

  virtual int32_t get_format() const = 0;
  virtual bool has_layers() const { return false; }

  // Per-point hooks, borrowed from their owner (the read opener). A point
  // the filter rejects is skipped. The transform and the ignore set come
  // with their layer; until then a transform is stored but not applied.
  // Filter and transform may be set before or after an area query: the
  // query stays in force either way.
  virtual void set_filter(LASfilter* filter);
  virtual void set_transform(LAStransform* transform);
  void set_ignore(LASignore* ignore) { this->ignore = ignore; }
  LASfilter* get_filter() const { return filter; }
  LAStransform* get_transform() const { return transform; }
  LASignore* get_ignore() const { return ignore; }
  // Spatial indexes come with the index layer; until then there is none and
  // area queries test every point.
  LASindex* get_index() const { return index; }

  // Area queries on real x and y. Each replaces the header's x/y bounding
  // box by the area's (keeping the file's box for inside_none) and delivers
  // only the points inside: the tile and the rectangle are half-open
  // (lower-left edges included, upper-right edges excluded), the circle
  // excludes its rim. When the file's box cannot meet the area no point is
  // delivered and none is read. The tile's header box ends one scale factor
  // before its upper-right edges. All return true.
  [[nodiscard]] virtual bool inside_none();
  [[nodiscard]] virtual bool inside_tile(float ll_x, float ll_y, float size);
  [[nodiscard]] virtual bool inside_circle(double center_x, double center_y, double radius);
  [[nodiscard]] virtual bool inside_rectangle(double min_x, double min_y, double max_x, double max_y);
  uint32_t get_inside() const { return inside; }
  float get_t_ll_x() const { return t_ll_x; }
  float get_t_ll_y() const { return t_ll_y; }
  float get_t_size() const { return t_size; }
  double get_c_center_x() const { return c_center_x; }
  double get_c_center_y() const { return c_center_y; }
  double get_c_radius() const { return c_radius; }
  double get_r_min_x() const { return r_min_x; }
  double get_r_min_y() const { return r_min_y; }
  double get_r_max_x() const { return r_max_x; }
  double get_r_max_y() const { return r_max_y; }

  // Moves so that the next point read is point `index`.
  [[nodiscard]] virtual bool seek(int64_t index) = 0;
  virtual ByteStreamIn* get_stream() const = 0;
  virtual void close(bool close_stream = true) = 0;

  // The next point into `point`; false at the end of the points or when the
  // source failed (after the concrete reader printed why).
  [[nodiscard]] bool read_point() { return (this->*read_simple)(); }

  void compute_coordinates() { point.compute_coordinates(); }

  double get_min_x() const { return header.min_x; }
  double get_min_y() const { return header.min_y; }
  double get_min_z() const { return header.min_z; }
  double get_max_x() const { return header.max_x; }
  double get_max_y() const { return header.max_y; }
  double get_max_z() const { return header.max_z; }

 protected:
  // Reads the next point of the source into `point` and counts it in
  // p_count (also points that the filter or the area later drop).
  virtual bool read_point_default() = 0;

  using ReadFunction = bool (LASreader::*)();

  // read_complex until the filter keeps a point.
  bool read_point_filtered();

  LASindex* index = nullptr;
  LASfilter* filter = nullptr;
  LAStransform* transform = nullptr;
  LASignore* ignore = nullptr;

  uint32_t inside = inside_is_none;
  float t_ll_x = 0.0f;
  float t_ll_y = 0.0f;
  float t_size = 0.0f;
  float t_ur_x = 0.0f;
  float t_ur_y = 0.0f;
  double c_center_x = 0.0;
  double c_center_y = 0.0;
  double c_radius = 0.0;
  double c_radius_squared = 0.0;
  double r_min_x = 0.0;
  double r_min_y = 0.0;
  double r_max_x = 0.0;
  double r_max_y = 0.0;
  // The header's box before an area query replaced it.
  double orig_min_x = 0.0;
  double orig_min_y = 0.0;
  double orig_max_x = 0.0;
  double orig_max_y = 0.0;

  // read_point() calls read_simple; a path that filters reads the source
  // through read_complex (the area reader or the default read).
  ReadFunction read_simple = &LASreader::read_point_default;
  ReadFunction read_complex = nullptr;

 private:
  // Sets read_simple and read_complex from filter and area query.
  void choose_read_path();
  // Keeps the header's box before the first area query replaces it.
  void save_box();

  bool read_point_none();
  bool read_point_inside_tile();
  bool read_point_inside_circle();
  bool read_point_inside_rectangle();

  // The area reader of the current query (read_point_default for none).
  ReadFunction area_read = &LASreader::read_point_default;
};

#endif
