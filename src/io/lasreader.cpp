#include "io/lasreader.h"

#include <cassert>
#include <cstdio>

#include "filters/lasfilter.h"

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
  // No transform class exists yet, so only a null transform can arrive here.
  assert(transform == nullptr);
  read_complex = &LASreader::read_point_default;
  read_simple = filter ? &LASreader::read_point_filtered : &LASreader::read_point_default;
}

bool LASreader::read_point_filtered() {
  while ((this->*read_complex)()) {
    if (!filter->rejects(&point)) return true;
  }
  return false;
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
