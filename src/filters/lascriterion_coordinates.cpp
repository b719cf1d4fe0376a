#include "filters/lascriterion_coordinates.h"

#include <cmath>

#include "las/laspoint.h"

void LAScriterionKeepx::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(min_x);
  command.add_double(max_x);
}
bool LAScriterionKeepx::rejects(const LASpoint* point) {
  const double x = point->get_x();
  return x < min_x || x >= max_x;
}

void LAScriterionKeepy::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(min_y);
  command.add_double(max_y);
}
bool LAScriterionKeepy::rejects(const LASpoint* point) {
  const double y = point->get_y();
  return y < min_y || y >= max_y;
}

void LAScriterionKeepz::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(min_z);
  command.add_double(max_z);
}
bool LAScriterionKeepz::rejects(const LASpoint* point) {
  const double z = point->get_z();
  return z < min_z || z >= max_z;
}

void LAScriterionDropx::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(min_x);
  command.add_double(max_x);
}
bool LAScriterionDropx::rejects(const LASpoint* point) {
  const double x = point->get_x();
  return min_x <= x && x < max_x;
}

void LAScriterionDropy::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(min_y);
  command.add_double(max_y);
}
bool LAScriterionDropy::rejects(const LASpoint* point) {
  const double y = point->get_y();
  return min_y <= y && y < max_y;
}

void LAScriterionDropz::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(min_z);
  command.add_double(max_z);
}
bool LAScriterionDropz::rejects(const LASpoint* point) {
  const double z = point->get_z();
  return min_z <= z && z < max_z;
}

void LAScriterionDropxAbove::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(max_x);
}
bool LAScriterionDropxAbove::rejects(const LASpoint* point) { return point->get_x() >= max_x; }

void LAScriterionDropyAbove::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(max_y);
}
bool LAScriterionDropyAbove::rejects(const LASpoint* point) { return point->get_y() >= max_y; }

void LAScriterionDropzAbove::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(max_z);
}
bool LAScriterionDropzAbove::rejects(const LASpoint* point) { return point->get_z() >= max_z; }

void LAScriterionDropxBelow::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(min_x);
}
bool LAScriterionDropxBelow::rejects(const LASpoint* point) { return point->get_x() < min_x; }

void LAScriterionDropyBelow::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(min_y);
}
bool LAScriterionDropyBelow::rejects(const LASpoint* point) { return point->get_y() < min_y; }

void LAScriterionDropzBelow::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(min_z);
}
bool LAScriterionDropzBelow::rejects(const LASpoint* point) { return point->get_z() < min_z; }

void LAScriterionKeepxy::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(min_x);
  command.add_double(min_y);
  command.add_double(max_x);
  command.add_double(max_y);
}
bool LAScriterionKeepxy::rejects(const LASpoint* point) {
  const double x = point->get_x();
  const double y = point->get_y();
  return x < min_x || x >= max_x || y < min_y || y >= max_y;
}

void LAScriterionDropxy::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(min_x);
  command.add_double(min_y);
  command.add_double(max_x);
  command.add_double(max_y);
}
bool LAScriterionDropxy::rejects(const LASpoint* point) {
  const double x = point->get_x();
  const double y = point->get_y();
  return min_x <= x && x < max_x && min_y <= y && y < max_y;
}

void LAScriterionKeepxyz::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(min_x);
  command.add_double(min_y);
  command.add_double(min_z);
  command.add_double(max_x);
  command.add_double(max_y);
  command.add_double(max_z);
}
bool LAScriterionKeepxyz::rejects(const LASpoint* point) {
  const double x = point->get_x();
  const double y = point->get_y();
  const double z = point->get_z();
  return x < min_x || x >= max_x || y < min_y || y >= max_y || z < min_z || z >= max_z;
}

void LAScriterionDropxyz::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(min_x);
  command.add_double(min_y);
  command.add_double(min_z);
  command.add_double(max_x);
  command.add_double(max_y);
  command.add_double(max_z);
}
bool LAScriterionDropxyz::rejects(const LASpoint* point) {
  const double x = point->get_x();
  const double y = point->get_y();
  const double z = point->get_z();
  return min_x <= x && x < max_x && min_y <= y && y < max_y && min_z <= z && z < max_z;
}

void LAScriterionKeepTile::write_command(LAScommand& command) const {
  command.option(name());
  command.add_float(ll_x);
  command.add_float(ll_y);
  command.add_float(tile_size);
}
bool LAScriterionKeepTile::rejects(const LASpoint* point) {
  const double x = point->get_x();
  const double y = point->get_y();
  return x < ll_x || x >= ur_x || y < ll_y || y >= ur_y;
}

void LAScriterionKeepCircle::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(center_x);
  command.add_double(center_y);
  command.add_double(radius);
}
bool LAScriterionKeepCircle::rejects(const LASpoint* point) {
  const double dx = point->get_x() - center_x;
  const double dy = point->get_y() - center_y;
  return dx * dx + dy * dy >= radius_squared;
}

LAScriterionKeepProfile::LAScriterionKeepProfile(double p1_x, double p1_y, double p2_x, double p2_y, double width)
    : p1_x(p1_x), p1_y(p1_y), p2_x(p2_x), p2_y(p2_y), width(width) {
  dx = p2_x - p1_x;
  dy = p2_y - p1_y;
  length = std::sqrt(dx * dx + dy * dy);
  half_length = length / 2;
  half_width = width / 2;
  mid_x = (p1_x + p2_x) / 2;
  mid_y = (p1_y + p2_y) / 2;
}
void LAScriterionKeepProfile::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(p1_x);
  command.add_double(p1_y);
  command.add_double(p2_x);
  command.add_double(p2_y);
  command.add_double(width);
}
bool LAScriterionKeepProfile::rejects(const LASpoint* point) {
  const double x = point->get_x();
  const double y = point->get_y();
  // A zero-length centre line divides by zero: the infinite distances reject
  // every point except p1 itself, whose NaN distances compare false.
  const double across = ((x - p1_x) * dy - (y - p1_y) * dx) / length;
  if (across < -half_width || across > half_width) return true;
  const double along = ((x - mid_x) * dx + (y - mid_y) * dy) / length;
  return along < -half_length || along > half_length;
}

void LAScriterionKeepX::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min_X);
  command.add_int(max_X);
}
bool LAScriterionKeepX::rejects(const LASpoint* point) { return point->X < min_X || point->X >= max_X; }

void LAScriterionKeepY::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min_Y);
  command.add_int(max_Y);
}
bool LAScriterionKeepY::rejects(const LASpoint* point) { return point->Y < min_Y || point->Y >= max_Y; }

void LAScriterionKeepZ::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min_Z);
  command.add_int(max_Z);
}
bool LAScriterionKeepZ::rejects(const LASpoint* point) { return point->Z < min_Z || point->Z >= max_Z; }

void LAScriterionDropX::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min_X);
  command.add_int(max_X);
}
bool LAScriterionDropX::rejects(const LASpoint* point) { return min_X <= point->X && point->X < max_X; }

void LAScriterionDropY::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min_Y);
  command.add_int(max_Y);
}
bool LAScriterionDropY::rejects(const LASpoint* point) { return min_Y <= point->Y && point->Y < max_Y; }

void LAScriterionDropZ::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min_Z);
  command.add_int(max_Z);
}
bool LAScriterionDropZ::rejects(const LASpoint* point) { return min_Z <= point->Z && point->Z < max_Z; }

void LAScriterionDropXAbove::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(max_X);
}
bool LAScriterionDropXAbove::rejects(const LASpoint* point) { return point->X >= max_X; }

void LAScriterionDropYAbove::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(max_Y);
}
bool LAScriterionDropYAbove::rejects(const LASpoint* point) { return point->Y >= max_Y; }

void LAScriterionDropZAbove::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(max_Z);
}
bool LAScriterionDropZAbove::rejects(const LASpoint* point) { return point->Z >= max_Z; }

void LAScriterionDropXBelow::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min_X);
}
bool LAScriterionDropXBelow::rejects(const LASpoint* point) { return point->X < min_X; }

void LAScriterionDropYBelow::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min_Y);
}
bool LAScriterionDropYBelow::rejects(const LASpoint* point) { return point->Y < min_Y; }

void LAScriterionDropZBelow::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min_Z);
}
bool LAScriterionDropZBelow::rejects(const LASpoint* point) { return point->Z < min_Z; }

void LAScriterionKeepXY::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min_X);
  command.add_int(min_Y);
  command.add_int(max_X);
  command.add_int(max_Y);
}
bool LAScriterionKeepXY::rejects(const LASpoint* point) {
  return point->X < min_X || point->Y < min_Y || point->X >= max_X || point->Y >= max_Y;
}
