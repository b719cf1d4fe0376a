// The LiDAR points a control-point run reads: the few header values it needs
// and the points one by one, as a LAS reader offers them.
#ifndef TIECHECK_DRIVER_POINTSOURCE_H
#define TIECHECK_DRIVER_POINTSOURCE_H

#include <cstdint>
#include <string>
#include <vector>

struct PointSourceHeader {
  double x_scale_factor = 0.01;
  double y_scale_factor = 0.01;
  double z_scale_factor = 0.01;
  double x_offset = 0.0;
  double y_offset = 0.0;
  double z_offset = 0.0;
  double min_x = 0.0;
  double min_y = 0.0;
  // As announced; the points actually read may be more or fewer.
  int64_t number_of_point_records = 0;
  // Unit of x and y as a GeoTIFF linear unit code (9001: metre) as the
  // projection converter reports it for this input; anything else is feet.
  int horizontal_unit_code = 9001;
};

// One point: integer coordinates, real = integer * scale factor + offset.
struct PointSourcePoint {
  int32_t X = 0;
  int32_t Y = 0;
  int32_t Z = 0;
};

// A stream of LiDAR points. read_point() fills point with the next one.
class PointSource {
 public:
  PointSource() = default;
  PointSource(const PointSource&) = delete;
  PointSource& operator=(const PointSource&) = delete;
  virtual ~PointSource() = default;

  // False at the end of the points.
  virtual bool read_point() = 0;
  // Ends reading; the header stays valid.
  virtual bool close() = 0;
  // The name of the input, for messages.
  virtual const char* get_file_name() const = 0;

  PointSourceHeader header;
  PointSourcePoint point;
};

// Points held in memory.
class PointSourceMemory : public PointSource {
 public:
  PointSourceMemory(const PointSourceHeader& header, std::vector<PointSourcePoint> points,
                    const char* file_name = "memory");

  bool read_point() override;
  bool close() override;
  const char* get_file_name() const override { return file_name_.c_str(); }

 private:
  std::vector<PointSourcePoint> points_;
  size_t next_ = 0;
  std::string file_name_;
};

#endif
