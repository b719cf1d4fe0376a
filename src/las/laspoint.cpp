#include "las/laspoint.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

// Rounds half away from zero in single precision, as the scan angle
// conversions are defined, clamped to [lo, hi] so that out-of-range angles
// saturate instead of wrapping (or being undefined).
int32_t round_float_clamped(float v, int32_t lo, int32_t hi) {
  if (!(v == v)) return 0;  // NaN
  const float r = v >= 0.0f ? v + 0.5f : v - 0.5f;
  if (r <= static_cast<float>(lo)) return lo;
  if (r >= static_cast<float>(hi)) return hi;
  return static_cast<int32_t>(r);
}

template <typename T>
T load(const uint8_t* p) {
  T v;
  memcpy(&v, p, sizeof(T));
  return v;
}

template <typename T>
void store(uint8_t* p, T v) {
  memcpy(p, &v, sizeof(T));
}

// The three legacy flag bits (synthetic, key-point, withheld) as bits 0-2.
uint8_t legacy_flag_bits(const LASpointcore& p) {
  return static_cast<uint8_t>(p.synthetic_flag | (p.keypoint_flag << 1) | (p.withheld_flag << 2));
}

}  // namespace

LASpointcore::LASpointcore() {
  memset(static_cast<void*>(this), 0, sizeof(LASpointcore));
  zero_core();
}

void LASpointcore::zero_core() {
  X = Y = Z = 0;
  intensity = 0;
  return_number = 1;
  number_of_returns = 1;
  scan_direction_flag = 0;
  edge_of_flight_line = 0;
  classification = 0;
  synthetic_flag = 0;
  keypoint_flag = 0;
  withheld_flag = 0;
  scan_angle_rank = 0;
  user_data = 0;
  point_source_ID = 0;
  extended_scan_angle = 0;
  extended_scanner_channel = 0;
  extended_classification_flags = 0;
  extended_classification = 0;
  extended_return_number = 1;
  extended_number_of_returns = 1;
  gps_time = 0.0;
}

void LASpointcore::read_point14(const uint8_t* raw) {
  X = load<int32_t>(raw + 0);
  Y = load<int32_t>(raw + 4);
  Z = load<int32_t>(raw + 8);
  intensity = load<uint16_t>(raw + 12);
  const uint8_t returns = raw[14];
  const uint8_t flags = raw[15];
  extended_return_number = returns & 15;
  extended_number_of_returns = returns >> 4;
  extended_classification_flags = flags & 15;
  extended_scanner_channel = (flags >> 4) & 3;
  scan_direction_flag = (flags >> 6) & 1;
  edge_of_flight_line = flags >> 7;
  extended_classification = raw[16];
  user_data = raw[17];
  extended_scan_angle = load<int16_t>(raw + 18);
  point_source_ID = load<uint16_t>(raw + 20);
  gps_time = load<double>(raw + 22);
  update_legacy_from_extended();
}

void LASpointcore::update_legacy_from_extended() {
  const uint8_t r = extended_return_number;
  const uint8_t n = extended_number_of_returns;
  if (n <= 7) {
    return_number = r & 7;
    number_of_returns = n;
  } else {
    number_of_returns = 7;
    if (r <= 6) {
      return_number = r;
    } else {
      return_number = r < n ? 6 : 7;
    }
  }
  classification = extended_classification < 32 ? extended_classification : 0;
  synthetic_flag = extended_classification_flags & 1;
  keypoint_flag = (extended_classification_flags >> 1) & 1;
  withheld_flag = (extended_classification_flags >> 2) & 1;
  scan_angle_rank = static_cast<int8_t>(round_float_clamped(0.006f * extended_scan_angle, -128, 127));
}

void LASpointcore::write_point14(uint8_t* raw) const {
  uint8_t flags = static_cast<uint8_t>((scan_direction_flag << 6) | (edge_of_flight_line << 7));
  uint8_t class_byte = classification;
  uint8_t returns;
  int16_t angle;
  flags |= legacy_flag_bits(*this);
  if (extended_point_type != 0) {
    flags |= (extended_classification_flags & extended_overlap_bit) | (extended_scanner_channel << 4);
    if (classification == 0) class_byte = extended_classification;
    returns = static_cast<uint8_t>(extended_return_number | (extended_number_of_returns << 4));
    angle = extended_scan_angle;
  } else {
    returns = static_cast<uint8_t>(return_number | (number_of_returns << 4));
    angle = static_cast<int16_t>(round_float_clamped(scan_angle_rank / 0.006f, INT16_MIN, INT16_MAX));
  }
  store<int32_t>(raw + 0, X);
  store<int32_t>(raw + 4, Y);
  store<int32_t>(raw + 8, Z);
  store<uint16_t>(raw + 12, intensity);
  raw[14] = returns;
  raw[15] = flags;
  raw[16] = class_byte;
  raw[17] = user_data;
  store<int16_t>(raw + 18, angle);
  store<uint16_t>(raw + 20, point_source_ID);
  store<double>(raw + 22, gps_time);
}

LASpoint::LASpoint() {
  memset(rgb, 0, sizeof(rgb));
  memset(&wavepacket, 0, sizeof(wavepacket));
}

LASpoint::~LASpoint() { clean(); }

void LASpoint::zero() {
  zero_core();
  memset(rgb, 0, sizeof(rgb));
  memset(&wavepacket, 0, sizeof(wavepacket));
}

void LASpoint::clean() {
  zero();
  delete[] extra_bytes;
  delete[] point;
  delete[] items;
  extra_bytes = nullptr;
  point = nullptr;
  items = nullptr;
  quantizer = nullptr;
  attributer = nullptr;
  have_gps_time = have_rgb = have_nir = have_wavepacket = false;
  extra_bytes_number = 0;
  total_point_size = 0;
  num_items = 0;
  extended_point_type = 0;
}

bool LASpoint::init(const LASquantizer* q, uint8_t point_type, uint16_t point_size, const LASattributer* a) {
  std::vector<LASitem> list;
  if (!LASitem::items_of_point_type(point_type, point_size, list)) {
    fprintf(stderr, "ERROR: unknown point type %d with point size %d\n", point_type, point_size);
    clean();
    return false;
  }
  return init(q, static_cast<uint16_t>(list.size()), list.data(), a);
}

bool LASpoint::init(const LASquantizer* q, uint16_t n, const LASitem* list, const LASattributer* a) {
  clean();
  if (n == 0 || list == nullptr) return false;
  uint32_t total = 0;
  uint32_t byte_total = 0;
  for (uint16_t i = 0; i < n; i++) {
    const LASitem& item = list[i];
    if (!LASitem::is_known_type(item.type)) return false;
    if (item.is_extra_bytes()) {
      if (item.size == 0) return false;
      byte_total += item.size;
    } else if (item.size != LASitem::fixed_size(item.type)) {
      return false;
    }
    total += item.size;
    if (total > max_point_size) return false;
  }

  items = new (std::nothrow) LASitem[n];
  point = new (std::nothrow) uint8_t*[n];
  if (byte_total > 0) extra_bytes = new (std::nothrow) uint8_t[byte_total]();
  if (items == nullptr || point == nullptr || (byte_total > 0 && extra_bytes == nullptr)) {
    clean();
    return false;
  }

  // Several extra-bytes items (possible in a custom item list) sit one after
  // the other in extra_bytes rather than on top of each other.
  uint32_t byte_offset = 0;
  for (uint16_t i = 0; i < n; i++) {
    items[i] = list[i];
    switch (list[i].type) {
      case LASitem::POINT10:
        point[i] = reinterpret_cast<uint8_t*>(static_cast<LASpointcore*>(this));
        break;
      case LASitem::POINT14:
        point[i] = reinterpret_cast<uint8_t*>(static_cast<LASpointcore*>(this));
        have_gps_time = true;
        extended_point_type = 1;
        break;
      case LASitem::GPSTIME11:
        point[i] = reinterpret_cast<uint8_t*>(&gps_time);
        have_gps_time = true;
        break;
      case LASitem::RGBNIR14:
        have_nir = true;
        [[fallthrough]];
      case LASitem::RGB12:
      case LASitem::RGB14:
        point[i] = reinterpret_cast<uint8_t*>(rgb);
        have_rgb = true;
        break;
      case LASitem::WAVEPACKET13:
      case LASitem::WAVEPACKET14:
        point[i] = reinterpret_cast<uint8_t*>(&wavepacket);
        have_wavepacket = true;
        break;
      case LASitem::BYTE:
      case LASitem::BYTE14:
        point[i] = extra_bytes + byte_offset;
        byte_offset += list[i].size;
        break;
    }
  }
  num_items = n;
  extra_bytes_number = static_cast<int32_t>(byte_total);
  total_point_size = total;
  quantizer = q;
  attributer = a;
  return true;
}

LASpoint& LASpoint::operator=(const LASpoint& other) {
  if (this == &other) return *this;
  X = other.X;
  Y = other.Y;
  Z = other.Z;
  intensity = other.intensity;
  return_number = other.return_number;
  number_of_returns = other.number_of_returns;
  scan_direction_flag = other.scan_direction_flag;
  edge_of_flight_line = other.edge_of_flight_line;
  classification = other.classification;
  synthetic_flag = other.synthetic_flag;
  keypoint_flag = other.keypoint_flag;
  withheld_flag = other.withheld_flag;
  scan_angle_rank = other.scan_angle_rank;
  user_data = other.user_data;
  point_source_ID = other.point_source_ID;

  if (other.have_gps_time) gps_time = other.gps_time;
  if (other.have_rgb) {
    rgb[0] = other.rgb[0];
    rgb[1] = other.rgb[1];
    rgb[2] = other.rgb[2];
    if (other.have_nir) rgb[3] = other.rgb[3];
  }
  if (other.have_wavepacket) wavepacket = other.wavepacket;
  if (extra_bytes_number > 0 && other.extra_bytes_number > 0) {
    const int32_t n = extra_bytes_number < other.extra_bytes_number ? extra_bytes_number : other.extra_bytes_number;
    memcpy(extra_bytes, other.extra_bytes, static_cast<size_t>(n));
  }

  if (other.extended_point_type != 0) {
    extended_classification = other.extended_classification;
    extended_classification_flags = other.extended_classification_flags;
    extended_scanner_channel = other.extended_scanner_channel;
    extended_return_number = other.extended_return_number;
    extended_number_of_returns = other.extended_number_of_returns;
    extended_scan_angle = other.extended_scan_angle;
  } else if (extended_point_type != 0) {
    extended_classification = other.classification;
    extended_classification_flags = legacy_flag_bits(other);
    extended_return_number = other.return_number;
    extended_number_of_returns = other.number_of_returns;
    extended_scan_angle = static_cast<int16_t>(LASquantizer::round64(other.scan_angle_rank / 0.006));
    extended_scanner_channel = other.extended_scanner_channel;
  }
  return *this;
}

void LASpoint::compute_coordinates() {
  coordinates[0] = get_x();
  coordinates[1] = get_y();
  coordinates[2] = get_z();
}

void LASpoint::copy_to(uint8_t* buffer) const {
  for (uint16_t i = 0; i < num_items; i++) {
    if (items[i].type == LASitem::POINT14) {
      write_point14(buffer);
    } else {
      memcpy(buffer, point[i], items[i].size);
    }
    buffer += items[i].size;
  }
}

void LASpoint::copy_from(const uint8_t* buffer) {
  for (uint16_t i = 0; i < num_items; i++) {
    if (items[i].type == LASitem::POINT14) {
      read_point14(buffer);
    } else {
      memcpy(point[i], buffer, items[i].size);
    }
    buffer += items[i].size;
  }
}

void LASpoint::set_classification(uint8_t c) {
  extended_classification = c;
  classification = c < 32 ? c : 0;
}

bool LASpoint::is_classification(uint8_t v) const {
  return v < 32 ? classification == v : extended_classification == v;
}

void LASpoint::set_synthetic_flag(bool b) {
  synthetic_flag = b;
  extended_classification_flags = b ? (extended_classification_flags | extended_synthetic_bit)
                                    : (extended_classification_flags & ~extended_synthetic_bit);
}

void LASpoint::set_keypoint_flag(bool b) {
  keypoint_flag = b;
  extended_classification_flags = b ? (extended_classification_flags | extended_keypoint_bit)
                                    : (extended_classification_flags & ~extended_keypoint_bit);
}

void LASpoint::set_withheld_flag(bool b) {
  withheld_flag = b;
  extended_classification_flags = b ? (extended_classification_flags | extended_withheld_bit)
                                    : (extended_classification_flags & ~extended_withheld_bit);
}

void LASpoint::set_extended_overlap_flag(bool b) {
  extended_classification_flags = b ? (extended_classification_flags | extended_overlap_bit)
                                    : (extended_classification_flags & ~extended_overlap_bit);
}

void LASpoint::set_scan_angle(float degrees) {
  if (extended_point_type != 0) {
    extended_scan_angle = static_cast<int16_t>(round_float_clamped(degrees / 0.006f, INT16_MIN, INT16_MAX));
  } else {
    scan_angle_rank = static_cast<int8_t>(round_float_clamped(degrees, -128, 127));
  }
}

float LASpoint::get_scan_angle() const {
  if (extended_point_type != 0) return 0.006f * extended_scan_angle;
  return scan_angle_rank;
}

const uint8_t* LASpoint::attribute_bytes(int32_t index) const {
  if (attributer == nullptr || index < 0 || index >= attributer->number_attributes) return nullptr;
  const int64_t start = attributer->attribute_starts[index];
  const int64_t size = attributer->attributes[index].get_size();
  // The attribute table comes from the header and the extra bytes from the
  // record length; a damaged file can make them disagree.
  if (start < 0 || size <= 0 || start + size > extra_bytes_number) return nullptr;
  return extra_bytes + start;
}

double LASpoint::get_attribute_as_float(int32_t index) const {
  const uint8_t* bytes = attribute_bytes(index);
  if (bytes == nullptr) return 0.0;
  return attributer->attributes[index].get_float(bytes);
}

void LASpoint::set_attribute_as_float(int32_t index, double value) {
  const uint8_t* bytes = attribute_bytes(index);
  if (bytes == nullptr) return;
  attributer->attributes[index].set_float(extra_bytes + (bytes - extra_bytes), value);
}
