// Criteria on coordinates: scaled coordinates (x = X * scale + offset in
// double precision through the point's quantizer), raw integer coordinates,
// and the tile, circle and profile areas. Ranges [min, max) are half-open.
#ifndef TIECHECK_FILTERS_LASCRITERION_COORDINATES_H
#define TIECHECK_FILTERS_LASCRITERION_COORDINATES_H

#include <cstdint>

#include "filters/lascriterion.h"

// Rejects x < min_x or x >= max_x.
class LAScriterionKeepx : public LAScriterion {
 public:
  LAScriterionKeepx(double min_x, double max_x) : min_x(min_x), max_x(max_x) {}
  const char* name() const override { return "keep_x"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  double min_x, max_x;
};

class LAScriterionKeepy : public LAScriterion {
 public:
  LAScriterionKeepy(double min_y, double max_y) : min_y(min_y), max_y(max_y) {}
  const char* name() const override { return "keep_y"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  double min_y, max_y;
};

class LAScriterionKeepz : public LAScriterion {
 public:
  LAScriterionKeepz(double min_z, double max_z) : min_z(min_z), max_z(max_z) {}
  const char* name() const override { return "keep_z"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::z; }
  bool rejects(const LASpoint* point) override;

 private:
  double min_z, max_z;
};

// Rejects min_x <= x < max_x.
class LAScriterionDropx : public LAScriterion {
 public:
  LAScriterionDropx(double min_x, double max_x) : min_x(min_x), max_x(max_x) {}
  const char* name() const override { return "drop_x"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  double min_x, max_x;
};

class LAScriterionDropy : public LAScriterion {
 public:
  LAScriterionDropy(double min_y, double max_y) : min_y(min_y), max_y(max_y) {}
  const char* name() const override { return "drop_y"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  double min_y, max_y;
};

class LAScriterionDropz : public LAScriterion {
 public:
  LAScriterionDropz(double min_z, double max_z) : min_z(min_z), max_z(max_z) {}
  const char* name() const override { return "drop_z"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::z; }
  bool rejects(const LASpoint* point) override;

 private:
  double min_z, max_z;
};

// Rejects x >= max_x.
class LAScriterionDropxAbove : public LAScriterion {
 public:
  explicit LAScriterionDropxAbove(double max_x) : max_x(max_x) {}
  const char* name() const override { return "drop_x_above"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  double max_x;
};

class LAScriterionDropyAbove : public LAScriterion {
 public:
  explicit LAScriterionDropyAbove(double max_y) : max_y(max_y) {}
  const char* name() const override { return "drop_y_above"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  double max_y;
};

class LAScriterionDropzAbove : public LAScriterion {
 public:
  explicit LAScriterionDropzAbove(double max_z) : max_z(max_z) {}
  const char* name() const override { return "drop_z_above"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::z; }
  bool rejects(const LASpoint* point) override;

 private:
  double max_z;
};

// Rejects x < min_x.
class LAScriterionDropxBelow : public LAScriterion {
 public:
  explicit LAScriterionDropxBelow(double min_x) : min_x(min_x) {}
  const char* name() const override { return "drop_x_below"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  double min_x;
};

class LAScriterionDropyBelow : public LAScriterion {
 public:
  explicit LAScriterionDropyBelow(double min_y) : min_y(min_y) {}
  const char* name() const override { return "drop_y_below"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  double min_y;
};

class LAScriterionDropzBelow : public LAScriterion {
 public:
  explicit LAScriterionDropzBelow(double min_z) : min_z(min_z) {}
  const char* name() const override { return "drop_z_below"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::z; }
  bool rejects(const LASpoint* point) override;

 private:
  double min_z;
};

// Rejects x outside [min_x, max_x) or y outside [min_y, max_y).
class LAScriterionKeepxy : public LAScriterion {
 public:
  LAScriterionKeepxy(double min_x, double min_y, double max_x, double max_y)
      : min_x(min_x), min_y(min_y), max_x(max_x), max_y(max_y) {}
  const char* name() const override { return "keep_xy"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  double min_x, min_y, max_x, max_y;
};

// Rejects x inside [min_x, max_x) and y inside [min_y, max_y).
class LAScriterionDropxy : public LAScriterion {
 public:
  LAScriterionDropxy(double min_x, double min_y, double max_x, double max_y)
      : min_x(min_x), min_y(min_y), max_x(max_x), max_y(max_y) {}
  const char* name() const override { return "drop_xy"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  double min_x, min_y, max_x, max_y;
};

// Rejects any of x, y, z outside its [min, max).
class LAScriterionKeepxyz : public LAScriterion {
 public:
  LAScriterionKeepxyz(double min_x, double min_y, double min_z, double max_x, double max_y, double max_z)
      : min_x(min_x), min_y(min_y), min_z(min_z), max_x(max_x), max_y(max_y), max_z(max_z) {}
  const char* name() const override { return "keep_xyz"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::z; }
  bool rejects(const LASpoint* point) override;

 private:
  double min_x, min_y, min_z, max_x, max_y, max_z;
};

// Rejects all of x, y, z inside their [min, max).
class LAScriterionDropxyz : public LAScriterion {
 public:
  LAScriterionDropxyz(double min_x, double min_y, double min_z, double max_x, double max_y, double max_z)
      : min_x(min_x), min_y(min_y), min_z(min_z), max_x(max_x), max_y(max_y), max_z(max_z) {}
  const char* name() const override { return "drop_xyz"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::z; }
  bool rejects(const LASpoint* point) override;

 private:
  double min_x, min_y, min_z, max_x, max_y, max_z;
};

// Keeps [ll_x, ll_x + size) x [ll_y, ll_y + size); the corners are single
// precision, as a tile's name gives them, and widened for the comparison.
class LAScriterionKeepTile : public LAScriterion {
 public:
  LAScriterionKeepTile(float ll_x, float ll_y, float tile_size)
      : ll_x(ll_x), ll_y(ll_y), tile_size(tile_size), ur_x(ll_x + tile_size), ur_y(ll_y + tile_size) {}
  const char* name() const override { return "keep_tile"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  float ll_x, ll_y, tile_size, ur_x, ur_y;
};

// Keeps the points strictly inside the circle: a point on it is removed.
class LAScriterionKeepCircle : public LAScriterion {
 public:
  LAScriterionKeepCircle(double center_x, double center_y, double radius)
      : center_x(center_x), center_y(center_y), radius(radius), radius_squared(radius * radius) {}
  const char* name() const override { return "keep_circle"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  double center_x, center_y, radius, radius_squared;
};

// Keeps the closed rectangle that has the segment p1-p2 as its centre line
// and the given width.
class LAScriterionKeepProfile : public LAScriterion {
 public:
  LAScriterionKeepProfile(double p1_x, double p1_y, double p2_x, double p2_y, double width);
  const char* name() const override { return "keep_profile"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  double p1_x, p1_y, p2_x, p2_y, width;
  double dx, dy, length, half_length, half_width, mid_x, mid_y;
};

// Raw integer coordinates: rejects X < min_X or X >= max_X.
class LAScriterionKeepX : public LAScriterion {
 public:
  LAScriterionKeepX(int32_t min_X, int32_t max_X) : min_X(min_X), max_X(max_X) {}
  const char* name() const override { return "keep_X"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  int32_t min_X, max_X;
};

class LAScriterionKeepY : public LAScriterion {
 public:
  LAScriterionKeepY(int32_t min_Y, int32_t max_Y) : min_Y(min_Y), max_Y(max_Y) {}
  const char* name() const override { return "keep_Y"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  int32_t min_Y, max_Y;
};

class LAScriterionKeepZ : public LAScriterion {
 public:
  LAScriterionKeepZ(int32_t min_Z, int32_t max_Z) : min_Z(min_Z), max_Z(max_Z) {}
  const char* name() const override { return "keep_Z"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::z; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t min_Z, max_Z;
};

// Rejects min_X <= X < max_X.
class LAScriterionDropX : public LAScriterion {
 public:
  LAScriterionDropX(int32_t min_X, int32_t max_X) : min_X(min_X), max_X(max_X) {}
  const char* name() const override { return "drop_X"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  int32_t min_X, max_X;
};

class LAScriterionDropY : public LAScriterion {
 public:
  LAScriterionDropY(int32_t min_Y, int32_t max_Y) : min_Y(min_Y), max_Y(max_Y) {}
  const char* name() const override { return "drop_Y"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  int32_t min_Y, max_Y;
};

class LAScriterionDropZ : public LAScriterion {
 public:
  LAScriterionDropZ(int32_t min_Z, int32_t max_Z) : min_Z(min_Z), max_Z(max_Z) {}
  const char* name() const override { return "drop_Z"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::z; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t min_Z, max_Z;
};

// Rejects X >= max_X.
class LAScriterionDropXAbove : public LAScriterion {
 public:
  explicit LAScriterionDropXAbove(int32_t max_X) : max_X(max_X) {}
  const char* name() const override { return "drop_X_above"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  int32_t max_X;
};

class LAScriterionDropYAbove : public LAScriterion {
 public:
  explicit LAScriterionDropYAbove(int32_t max_Y) : max_Y(max_Y) {}
  const char* name() const override { return "drop_Y_above"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  int32_t max_Y;
};

class LAScriterionDropZAbove : public LAScriterion {
 public:
  explicit LAScriterionDropZAbove(int32_t max_Z) : max_Z(max_Z) {}
  const char* name() const override { return "drop_Z_above"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::z; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t max_Z;
};

// Rejects X < min_X.
class LAScriterionDropXBelow : public LAScriterion {
 public:
  explicit LAScriterionDropXBelow(int32_t min_X) : min_X(min_X) {}
  const char* name() const override { return "drop_X_below"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  int32_t min_X;
};

class LAScriterionDropYBelow : public LAScriterion {
 public:
  explicit LAScriterionDropYBelow(int32_t min_Y) : min_Y(min_Y) {}
  const char* name() const override { return "drop_Y_below"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  int32_t min_Y;
};

class LAScriterionDropZBelow : public LAScriterion {
 public:
  explicit LAScriterionDropZBelow(int32_t min_Z) : min_Z(min_Z) {}
  const char* name() const override { return "drop_Z_below"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::z; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t min_Z;
};

// Rejects X < min_X, Y < min_Y, X >= max_X or Y >= max_Y.
class LAScriterionKeepXY : public LAScriterion {
 public:
  LAScriterionKeepXY(int32_t min_X, int32_t min_Y, int32_t max_X, int32_t max_Y)
      : min_X(min_X), min_Y(min_Y), max_X(max_X), max_Y(max_Y) {}
  const char* name() const override { return "keep_XY"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  int32_t min_X, min_Y, max_X, max_Y;
};

#endif
