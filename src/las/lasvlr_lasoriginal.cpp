#include "las/lasvlr_lasoriginal.h"

#include <cstdio>

namespace {

// The six bounds in file order, with their names for messages.
struct Bound {
  const char* name;
  double LASvlr_lasoriginal::*field;
};

const Bound kBounds[6] = {
    {"min_x", &LASvlr_lasoriginal::min_x}, {"max_x", &LASvlr_lasoriginal::max_x},
    {"min_y", &LASvlr_lasoriginal::min_y}, {"max_y", &LASvlr_lasoriginal::max_y},
    {"min_z", &LASvlr_lasoriginal::min_z}, {"max_z", &LASvlr_lasoriginal::max_z},
};

}  // namespace

bool LASvlr_lasoriginal::read(ByteStreamIn& stream) {
  LASvlr_lasoriginal in;
  try { stream.get_64bits_le(reinterpret_cast<uint8_t*>(&in.number_of_point_records)); } catch (int) {
    fprintf(stderr, "ERROR: reading vlr_lasoriginal->number_of_point_records %u\n",
            static_cast<unsigned>(in.number_of_point_records));
    return false;
  }
  for (int i = 0; i < 15; i++) {
    try { stream.get_64bits_le(reinterpret_cast<uint8_t*>(&in.number_of_points_by_return[i])); } catch (int) {
      fprintf(stderr, "ERROR: reading vlr_lasoriginal->number_of_points_by_return[%d] %u\n", i,
              static_cast<unsigned>(in.number_of_points_by_return[i]));
      return false;
    }
  }
  for (const Bound& b : kBounds) {
    try { stream.get_64bits_le(reinterpret_cast<uint8_t*>(&(in.*b.field))); } catch (int) {
      fprintf(stderr, "ERROR: reading vlr_lasoriginal->%s %g\n", b.name, in.*b.field);
      return false;
    }
  }
  in.position = position;
  *this = in;
  return true;
}

bool LASvlr_lasoriginal::write(ByteStreamOut& stream) {
  position = stream.tell();
  if (!stream.put_64bits_le(reinterpret_cast<const uint8_t*>(&number_of_point_records))) {
    fprintf(stderr, "ERROR: writing header->vlr_lasoriginal->number_of_point_records %u\n",
            static_cast<unsigned>(number_of_point_records));
    return false;
  }
  for (unsigned i = 0; i < 15; i++) {
    if (!stream.put_64bits_le(reinterpret_cast<const uint8_t*>(&number_of_points_by_return[i]))) {
      fprintf(stderr, "ERROR: writing header->vlr_lasoriginal->number_of_points_by_return[%u] %u\n", i,
              static_cast<unsigned>(number_of_points_by_return[i]));
      return false;
    }
  }
  for (const Bound& b : kBounds) {
    if (!stream.put_64bits_le(reinterpret_cast<const uint8_t*>(&(this->*b.field)))) {
      fprintf(stderr, "ERROR: writing header->vlr_lasoriginal->%s %g\n", b.name, this->*b.field);
      return false;
    }
  }
  return true;
}
