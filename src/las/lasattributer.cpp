#include "las/lasattributer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "extra bytes are read and written in host order, which must be little-endian"
#endif

namespace {

const int kBaseSizes[11] = {0, 1, 1, 2, 2, 4, 4, 8, 8, 4, 8};

bool is_unsigned(LASattribute::BaseType type) {
  return type == LASattribute::U8 || type == LASattribute::U16 || type == LASattribute::U32 ||
         type == LASattribute::U64;
}

bool is_signed(LASattribute::BaseType type) {
  return type == LASattribute::I8 || type == LASattribute::I16 || type == LASattribute::I32 ||
         type == LASattribute::I64;
}

// The low 64 bits of the two's complement of an integral double t. A plain
// cast is undefined outside the target range; fmod is exact for doubles.
uint64_t low_bits(double t) {
  if (!std::isfinite(t)) return 0;
  if (t >= -9223372036854775808.0 && t < 9223372036854775808.0) {
    return static_cast<uint64_t>(static_cast<int64_t>(t));
  }
  const uint64_t magnitude = static_cast<uint64_t>(std::fmod(std::fabs(t), 18446744073709551616.0));
  return t < 0 ? 0 - magnitude : magnitude;
}

// Half away from zero into i64, saturating (descriptor values are stored in
// full 64 bits, so saturation only meets values no integer type can hold).
int64_t round_i64(double v) {
  const double r = v >= 0.0 ? v + 0.5 : v - 0.5;
  if (!(r > -9223372036854775808.0)) return std::isnan(r) ? 0 : INT64_MIN;
  if (r >= 9223372036854775808.0) return INT64_MAX;
  return static_cast<int64_t>(r);
}

uint64_t round_u64(double v) {
  if (!(v > 0.0)) return 0;
  const double r = v + 0.5;
  if (r >= 18446744073709551616.0) return UINT64_MAX;
  return static_cast<uint64_t>(r);
}

void copy_text(char* to, const char* from) {
  memset(to, 0, 32);
  if (from) memcpy(to, from, strnlen(from, 32));
}

}  // namespace

LASattribute::LASattribute() { memset(this, 0, sizeof(LASattribute)); }

LASattribute::LASattribute(uint8_t type, const char* text, const char* about) : LASattribute() {
  data_type = type;
  copy_text(name, text);
  copy_text(description, about);
}

LASattribute::BaseType LASattribute::get_base_type() const {
  if (data_type == 0 || data_type > 30) return UNDOCUMENTED;
  return static_cast<BaseType>((data_type - 1) % 10 + 1);
}

int LASattribute::get_dim() const {
  if (data_type == 0 || data_type > 30) return 1;
  return (data_type - 1) / 10 + 1;
}

int LASattribute::get_size() const {
  if (data_type == 0) return options;
  if (data_type > 30) return 0;
  return get_dim() * kBaseSizes[get_base_type()];
}

// For data_type 0 the options byte is the byte count, so the setters leave
// such a descriptor alone.
void LASattribute::set_value(LASattributeValue* values, double value, int element, uint8_t option) {
  if (element < 0 || element > 2 || data_type == 0) return;
  const BaseType type = get_base_type();
  if (is_unsigned(type)) {
    values[element].u64 = round_u64(value);
  } else if (is_signed(type)) {
    values[element].i64 = round_i64(value);
  } else {
    values[element].f64 = value;
  }
  options |= option;
}

void LASattribute::set_scale(double value, int element) {
  if (element < 0 || element > 2 || data_type == 0) return;
  scale[element] = value;
  options |= option_scale;
}

void LASattribute::set_offset(double value, int element) {
  if (element < 0 || element > 2 || data_type == 0) return;
  offset[element] = value;
  options |= option_offset;
}

double LASattribute::get_value_as_float(const LASattributeValue& value) const {
  const BaseType type = get_base_type();
  if (is_unsigned(type)) return static_cast<double>(value.u64);
  if (is_signed(type)) return static_cast<double>(value.i64);
  return value.f64;
}

double LASattribute::get_float(const uint8_t* bytes) const {
  double value;
  switch (get_base_type()) {
    case U8: value = bytes[0]; break;
    case I8: value = static_cast<int8_t>(bytes[0]); break;
    case U16: { uint16_t v; memcpy(&v, bytes, 2); value = v; break; }
    case I16: { int16_t v; memcpy(&v, bytes, 2); value = v; break; }
    case U32: { uint32_t v; memcpy(&v, bytes, 4); value = v; break; }
    case I32: { int32_t v; memcpy(&v, bytes, 4); value = v; break; }
    case U64: { uint64_t v; memcpy(&v, bytes, 8); value = static_cast<double>(v); break; }
    case I64: { int64_t v; memcpy(&v, bytes, 8); value = static_cast<double>(v); break; }
    case F32: { float v; memcpy(&v, bytes, 4); value = v; break; }
    case F64: memcpy(&value, bytes, 8); break;
    default: return 0.0;
  }
  if (has_scale()) value *= scale[0];
  if (has_offset()) value += offset[0];
  return value;
}

void LASattribute::set_float(uint8_t* bytes, double value) const {
  const BaseType type = get_base_type();
  if (type == UNDOCUMENTED) return;
  if (has_offset()) value -= offset[0];
  if (has_scale()) value /= scale[0];
  if (type == F32) {
    const float v = static_cast<float>(value);
    memcpy(bytes, &v, 4);
    return;
  }
  if (type == F64) {
    memcpy(bytes, &value, 8);
    return;
  }
  uint64_t bits;
  if (is_unsigned(type)) {
    bits = value < 0.0 ? 0 : low_bits(std::trunc(value + 0.5));
  } else {
    bits = low_bits(std::trunc(value >= 0.0 ? value + 0.5 : value - 0.5));
  }
  // Little-endian host: the low bytes of the 64-bit image are the value.
  memcpy(bytes, &bits, kBaseSizes[type]);
}

LASattributer::LASattributer(const LASattributer& other) {
  if (!copy_from(other)) fprintf(stderr, "ERROR: cannot copy %d attributes\n", other.number_attributes);
}

LASattributer& LASattributer::operator=(const LASattributer& other) {
  if (this != &other) {
    if (!copy_from(other)) fprintf(stderr, "ERROR: cannot copy %d attributes\n", other.number_attributes);
  }
  return *this;
}

LASattributer::~LASattributer() { clean_attributes(); }

bool LASattributer::copy_from(const LASattributer& other) {
  if (other.number_attributes <= 0 || other.attributes == nullptr) return init_attributes(0, nullptr);
  return init_attributes(other.number_attributes, other.attributes);
}

bool LASattributer::init_attributes(int32_t count, const LASattribute* descriptors) {
  if (count < 0 || count > max_attributes || (count > 0 && descriptors == nullptr)) {
    fprintf(stderr, "ERROR: cannot hold %d attributes (at most %d)\n", count, max_attributes);
    clean_attributes();
    return false;
  }
  // The new arrays are filled before the old ones are freed, so the
  // descriptors may come from this very table.
  LASattribute* new_attributes = nullptr;
  int32_t* new_starts = nullptr;
  int32_t* new_sizes = nullptr;
  if (count > 0) {
    new_attributes = static_cast<LASattribute*>(malloc(sizeof(LASattribute) * count));
    new_starts = static_cast<int32_t*>(malloc(sizeof(int32_t) * count));
    new_sizes = static_cast<int32_t*>(malloc(sizeof(int32_t) * count));
    if (new_attributes == nullptr || new_starts == nullptr || new_sizes == nullptr) {
      fprintf(stderr, "ERROR: cannot allocate %d attributes\n", count);
      free(new_attributes);
      free(new_starts);
      free(new_sizes);
      clean_attributes();
      return false;
    }
    memcpy(static_cast<void*>(new_attributes), descriptors, sizeof(LASattribute) * count);
    int32_t start = 0;
    for (int32_t i = 0; i < count; i++) {
      new_starts[i] = start;
      new_sizes[i] = new_attributes[i].get_size();
      start += new_sizes[i];
    }
  }
  clean_attributes();
  attributes_linked = true;
  attributes = new_attributes;
  attribute_starts = new_starts;
  attribute_sizes = new_sizes;
  number_attributes = count;
  return true;
}

bool LASattributer::own_arrays() {
  if (attributes_linked) return true;
  return init_attributes(number_attributes, attributes);
}

int32_t LASattributer::add_attribute(const LASattribute& descriptor) {
  const int32_t size = descriptor.get_size();
  if (size <= 0 || number_attributes >= max_attributes || !own_arrays()) return -1;
  const int32_t n = number_attributes + 1;
  LASattribute* grown_attributes = static_cast<LASattribute*>(realloc(static_cast<void*>(attributes), sizeof(LASattribute) * n));
  if (grown_attributes == nullptr) return -1;
  attributes = grown_attributes;
  int32_t* grown_starts = static_cast<int32_t*>(realloc(attribute_starts, sizeof(int32_t) * n));
  if (grown_starts == nullptr) return -1;
  attribute_starts = grown_starts;
  int32_t* grown_sizes = static_cast<int32_t*>(realloc(attribute_sizes, sizeof(int32_t) * n));
  if (grown_sizes == nullptr) return -1;
  attribute_sizes = grown_sizes;
  const int32_t index = number_attributes;
  memcpy(static_cast<void*>(&attributes[index]), &descriptor, sizeof(LASattribute));
  attribute_starts[index] = index == 0 ? 0 : attribute_starts[index - 1] + attribute_sizes[index - 1];
  attribute_sizes[index] = size;
  number_attributes = n;
  return index;
}

int32_t LASattributer::get_attribute_index(const char* name) const {
  if (name == nullptr || strlen(name) > 32) return -1;
  for (int32_t i = 0; i < number_attributes; i++) {
    if (strncmp(attributes[i].name, name, 32) == 0) return i;
  }
  return -1;
}

int32_t LASattributer::get_attribute_start(const char* name) const {
  const int32_t index = get_attribute_index(name);
  return index < 0 ? -1 : attribute_starts[index];
}

int32_t LASattributer::get_attributes_size() const {
  if (number_attributes <= 0) return 0;
  return attribute_starts[number_attributes - 1] + attribute_sizes[number_attributes - 1];
}

void LASattributer::clean_attributes() {
  if (!attributes_linked) return;
  free(attributes);
  free(attribute_starts);
  free(attribute_sizes);
  attributes = nullptr;
  attribute_starts = nullptr;
  attribute_sizes = nullptr;
  number_attributes = 0;
}
