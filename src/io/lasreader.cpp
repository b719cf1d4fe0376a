#include "io/lasreader.h"

#include <cassert>
#include <cstdio>

LASreader::LASreader() = default;

LASreader::~LASreader() = default;

void LASreader::set_filter(LASfilter* filter) {
  this->filter = filter;
  choose_read_path();
}

void LASreader::set_transform(LAStransform* transform) {
  this->transform = transform;
  choose_read_path();
}

void LASreader::choose_read_path() {
  // No filter or transform class exists yet, so only null pointers can
  // arrive here, and both paths are the plain read.
  assert(filter == nullptr && transform == nullptr);
  read_complex = &LASreader::read_point_default;
  read_simple = &LASreader::read_point_default;
}

bool LASreader::inside_none() {
  inside = 0;
  read_simple = &LASreader::read_point_default;
  return true;
}

bool LASreader::inside_tile(float, float, float) {
  fprintf(stderr, "ERROR: area queries are not supported yet\n");
  return false;
}

bool LASreader::inside_circle(double, double, double) {
  fprintf(stderr, "ERROR: area queries are not supported yet\n");
  return false;
}

bool LASreader::inside_rectangle(double, double, double, double) {
  fprintf(stderr, "ERROR: area queries are not supported yet\n");
  return false;
}
