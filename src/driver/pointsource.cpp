#include "driver/pointsource.h"

#include <utility>

PointSourceMemory::PointSourceMemory(const PointSourceHeader& source_header, std::vector<PointSourcePoint> points,
                                     const char* file_name)
    : points_(std::move(points)), file_name_(file_name) {
  header = source_header;
}

bool PointSourceMemory::read_point() {
  if (next_ >= points_.size()) return false;
  point = points_[next_++];
  return true;
}

bool PointSourceMemory::close() {
  next_ = points_.size();
  return true;
}
