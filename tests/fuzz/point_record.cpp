// Binds a point to an item list and attribute table taken from the input,
// then moves the remaining bytes through it record by record. Reading a
// record and writing it back must give the same bytes for every item list
// (POINT14 included); attribute access must stay inside the extra bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "las/laspoint.h"

namespace {

struct Input {
  const uint8_t* data;
  size_t size;
  bool take(void* out, size_t n) {
    if (size < n) return false;
    memcpy(out, data, n);
    data += n;
    size -= n;
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{data, size};
  uint8_t mode = 0;
  if (!in.take(&mode, 1)) return 0;

  LASquantizer quantizer;
  LASattributer attributer;
  uint8_t attribute_count = 0;
  if (!in.take(&attribute_count, 1)) return 0;
  for (int i = 0; i < attribute_count % 4; i++) {
    LASattribute descriptor;
    if (!in.take(&descriptor, sizeof(descriptor))) return 0;
    attributer.add_attribute(descriptor);
  }

  LASpoint point;
  if (mode & 1) {
    uint8_t n = 0;
    if (!in.take(&n, 1)) return 0;
    std::vector<LASitem> items(n % 8);
    for (LASitem& item : items) {
      uint16_t fields[3];
      if (!in.take(fields, sizeof(fields))) return 0;
      item = LASitem(static_cast<LASitem::Type>(fields[0]), fields[1], fields[2]);
    }
    if (!point.init(&quantizer, static_cast<uint16_t>(items.size()), items.data(), &attributer)) return 0;
  } else {
    uint16_t point_size = 0;
    if (!in.take(&point_size, 2)) return 0;
    if (!point.init(&quantizer, static_cast<uint8_t>(mode >> 1 & 15), point_size, &attributer)) return 0;
  }

  LASpoint other;
  if (!other.init(&quantizer, static_cast<uint8_t>(mode >> 5), 40, &attributer)) return 0;

  std::vector<uint8_t> record(point.total_point_size);
  std::vector<uint8_t> back(point.total_point_size);
  while (in.take(record.data(), record.size())) {
    point.copy_from(record.data());
    point.copy_to(back.data());
    if (back != record) abort();
    for (int32_t i = -1; i <= attributer.number_attributes; i++) {
      point.set_attribute_as_float(i, point.get_attribute_as_float(i));
    }
    float angle;
    memcpy(&angle, record.data(), sizeof(angle));
    point.set_scan_angle(angle);
    other = point;
    point = other;
    point.compute_coordinates();
  }
  return 0;
}
