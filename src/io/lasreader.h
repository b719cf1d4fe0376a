// The abstract point reader: owns the header and the point that a concrete
// reader fills, counts points, and dispatches every read through one
// replaceable member-function pointer so that the per-point path carries no
// tests of options.
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

  // Per-point hooks, borrowed from their owner. With a filter, read_point()
  // delivers only the points the filter does not reject (p_count still
  // counts every point read). The transform and ignore classes come with
  // their layers; until then only null ones exist.
  virtual void set_filter(LASfilter* filter);
  virtual void set_transform(LAStransform* transform);
  void set_ignore(LASignore* ignore) { this->ignore = ignore; }
  LASfilter* get_filter() const { return filter; }
  LAStransform* get_transform() const { return transform; }
  LASignore* get_ignore() const { return ignore; }
  // Spatial indexes come with the index layer; until then there is none.
  LASindex* get_index() const { return index; }

  // Area queries. This reader base has none yet: inside_none() succeeds and
  // leaves the reader as it is; the others print "ERROR: area queries are
  // not supported yet\n" and return false.
  [[nodiscard]] virtual bool inside_none();
  [[nodiscard]] virtual bool inside_tile(float ll_x, float ll_y, float size);
  [[nodiscard]] virtual bool inside_circle(double center_x, double center_y, double radius);
  [[nodiscard]] virtual bool inside_rectangle(double min_x, double min_y, double max_x, double max_y);
  uint32_t get_inside() const { return inside; }

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
  // Reads the next point of the source into `point` and counts it.
  virtual bool read_point_default() = 0;

  using ReadFunction = bool (LASreader::*)();

  // read_complex until the filter keeps a point.
  bool read_point_filtered();

  LASindex* index = nullptr;
  LASfilter* filter = nullptr;
  LAStransform* transform = nullptr;
  LASignore* ignore = nullptr;

  // 0 none, 1 tile, 2 circle, 3 rectangle.
  uint32_t inside = 0;

  // read_point() calls read_simple; a path that filters or transforms reads
  // the source through read_complex.
  ReadFunction read_simple = &LASreader::read_point_default;
  ReadFunction read_complex = nullptr;

 private:
  void choose_read_path();
};

#endif
