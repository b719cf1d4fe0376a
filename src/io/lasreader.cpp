#include "io/lasreader.h"

#include "filters/lasfilter.h"

LASreader::LASreader() = default;

LASreader::~LASreader() = default;

void LASreader::set_filter(LASfilter* new_filter) {
  filter = new_filter;
  choose_read_path();
}

void LASreader::set_transform(LAStransform* new_transform) {
  // No transform layer exists yet: only null can arrive, and it changes no
  // path.
  transform = new_transform;
  choose_read_path();
}

void LASreader::choose_read_path() {
  if (filter != nullptr) {
    read_complex = area_read;
    read_simple = &LASreader::read_point_filtered;
  } else {
    read_complex = &LASreader::read_point_default;
    read_simple = area_read;
  }
}

bool LASreader::read_point_filtered() {
  while ((this->*read_complex)()) {
    if (!filter->rejects(&point)) return true;
  }
  return false;
}

bool LASreader::read_point_none() { return false; }

bool LASreader::read_point_inside_tile() {
  while (read_point_default()) {
    const double x = point.get_x();
    const double y = point.get_y();
    if (t_ll_x <= x && x < t_ur_x && t_ll_y <= y && y < t_ur_y) return true;
  }
  return false;
}

bool LASreader::read_point_inside_circle() {
  while (read_point_default()) {
    const double dx = c_center_x - point.get_x();
    const double dy = c_center_y - point.get_y();
    if (dx * dx + dy * dy < c_radius_squared) return true;
  }
  return false;
}

bool LASreader::read_point_inside_rectangle() {
  while (read_point_default()) {
    const double x = point.get_x();
    const double y = point.get_y();
    if (r_min_x <= x && x < r_max_x && r_min_y <= y && y < r_max_y) return true;
  }
  return false;
}

void LASreader::save_box() {
  if (inside != inside_is_none) return;
  orig_min_x = header.min_x;
  orig_min_y = header.min_y;
  orig_max_x = header.max_x;
  orig_max_y = header.max_y;
}

bool LASreader::inside_none() {
  if (inside != inside_is_none) {
    header.min_x = orig_min_x;
    header.min_y = orig_min_y;
    header.max_x = orig_max_x;
    header.max_y = orig_max_y;
    inside = inside_is_none;
  }
  area_read = &LASreader::read_point_default;
  choose_read_path();
  return true;
}

bool LASreader::inside_tile(float ll_x, float ll_y, float size) {
  save_box();
  inside = inside_is_tile;
  t_ll_x = ll_x;
  t_ll_y = ll_y;
  t_size = size;
  t_ur_x = ll_x + size;
  t_ur_y = ll_y + size;
  header.min_x = ll_x;
  header.min_y = ll_y;
  header.max_x = static_cast<double>(t_ur_x) - header.x_scale_factor;
  header.max_y = static_cast<double>(t_ur_y) - header.y_scale_factor;
  const bool misses = orig_min_x > header.max_x || orig_min_y > header.max_y || orig_max_x < ll_x ||
                      orig_max_y < ll_y;
  area_read = misses ? &LASreader::read_point_none : &LASreader::read_point_inside_tile;
  choose_read_path();
  return true;
}

bool LASreader::inside_circle(double center_x, double center_y, double radius) {
  save_box();
  inside = inside_is_circle;
  c_center_x = center_x;
  c_center_y = center_y;
  c_radius = radius;
  c_radius_squared = radius * radius;
  header.min_x = center_x - radius;
  header.min_y = center_y - radius;
  header.max_x = center_x + radius;
  header.max_y = center_y + radius;
  const bool misses = orig_min_x > center_x + radius || orig_min_y > center_y + radius ||
                      center_x - radius > orig_max_x || center_y - radius > orig_max_y;
  area_read = misses ? &LASreader::read_point_none : &LASreader::read_point_inside_circle;
  choose_read_path();
  return true;
}

bool LASreader::inside_rectangle(double min_x, double min_y, double max_x, double max_y) {
  save_box();
  inside = inside_is_rectangle;
  r_min_x = min_x;
  r_min_y = min_y;
  r_max_x = max_x;
  r_max_y = max_y;
  header.min_x = min_x;
  header.min_y = min_y;
  header.max_x = max_x;
  header.max_y = max_y;
  const bool misses = max_x < orig_min_x || max_y < orig_min_y || min_x > orig_max_x || min_y > orig_max_y;
  area_read = misses ? &LASreader::read_point_none : &LASreader::read_point_inside_rectangle;
  choose_read_path();
  return true;
}
