#include "las/laswriter.h"

void LASinventory::add(const LASpoint& point) {
  extended_number_of_point_records++;
  const int return_number = point.extended_point_type ? point.extended_return_number : point.return_number;
  extended_number_of_points_by_return[return_number]++;
  if (first) {
    min_X = max_X = point.X;
    min_Y = max_Y = point.Y;
    min_Z = max_Z = point.Z;
    first = false;
    return;
  }
  if (point.X < min_X) {
    min_X = point.X;
  } else if (point.X > max_X) {
    max_X = point.X;
  }
  if (point.Y < min_Y) {
    min_Y = point.Y;
  } else if (point.Y > max_Y) {
    max_Y = point.Y;
  }
  if (point.Z < min_Z) {
    min_Z = point.Z;
  } else if (point.Z > max_Z) {
    max_Z = point.Z;
  }
}

bool LASwriter::update_inventory(const LASpoint* point) {
  if (point == nullptr) return false;
  inventory.add(*point);
  return true;
}
