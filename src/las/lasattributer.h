// Extra-bytes attributes: the 192-byte descriptor of a LAS 1.4 "Extra Bytes"
// record (LASattribute) and the table of where each attribute lives inside a
// point's extra bytes (LASattributer, a base of the LAS header).
#ifndef TIECHECK_LAS_LASATTRIBUTER_H
#define TIECHECK_LAS_LASATTRIBUTER_H

#include <cstdint>

// One of the no_data, min or max values of a descriptor. Its meaning follows
// the attribute's base type: unsigned integer types use u64, signed integer
// types i64, f32 and f64 use f64.
union LASattributeValue {
  uint64_t u64;
  int64_t i64;
  double f64;
};

// The descriptor is stored and copied byte for byte: this struct is the
// on-disk layout of a little-endian host.
struct LASattribute {
  // Options bits.
  static constexpr uint8_t option_no_data = 0x01;
  static constexpr uint8_t option_min = 0x02;
  static constexpr uint8_t option_max = 0x04;
  static constexpr uint8_t option_scale = 0x08;
  static constexpr uint8_t option_offset = 0x10;

  // Base types (data_type 1 to 10; 11 to 30 are 2- and 3-element arrays of
  // these, data_type 0 is `options` undocumented bytes).
  enum BaseType : uint8_t {
    UNDOCUMENTED = 0, U8 = 1, I8, U16, I16, U32, I32, U64, I64, F32, F64,
  };

  uint8_t reserved[2];
  uint8_t data_type;
  uint8_t options;  // for data_type 0: the number of bytes
  char name[32];    // zero-terminated unless all 32 bytes are used
  uint8_t unused[4];
  LASattributeValue no_data[3];
  LASattributeValue min[3];
  LASattributeValue max[3];
  double scale[3];
  double offset[3];
  char description[32];

  // All zero.
  LASattribute();
  // A descriptor of the given data type (0 to 30), name and description,
  // both cut to 32 bytes. For data_type 0 set `options` to the byte count.
  LASattribute(uint8_t data_type, const char* name, const char* description = "");

  // Bytes the attribute takes in a point: for data_type 0 the value of
  // `options`, for 1 to 30 the element count times the base type's size,
  // 0 for data types above 30.
  int get_size() const;
  // The base type: ((data_type - 1) mod 10) + 1, UNDOCUMENTED for 0 and
  // for data types above 30.
  BaseType get_base_type() const;
  // Number of elements: 1, 2 or 3 (1 for data_type 0).
  int get_dim() const;

  bool has_no_data() const { return options & option_no_data; }
  bool has_min() const { return options & option_min; }
  bool has_max() const { return options & option_max; }
  bool has_scale() const { return options & option_scale; }
  bool has_offset() const { return options & option_offset; }

  // Store a value in the form of the base type (rounded half away from zero
  // into i64 or u64 for integer types) and set the matching options bit.
  // They do nothing for data_type 0, whose options byte is its size, and
  // for an element outside 0 to 2.
  void set_no_data(double value, int element = 0) { set_value(no_data, value, element, option_no_data); }
  void set_min(double value, int element = 0) { set_value(min, value, element, option_min); }
  void set_max(double value, int element = 0) { set_value(max, value, element, option_max); }
  void set_scale(double value, int element = 0);
  void set_offset(double value, int element = 0);

  // A no_data, min or max value read back according to the base type.
  double get_value_as_float(const LASattributeValue& value) const;

  // The first element at `bytes` (the attribute's place in a point's extra
  // bytes, at least get_size() bytes), read as the base type and converted
  // to double; then times scale[0] when the scale bit is set and plus
  // offset[0] when the offset bit is set. 0.0 for undocumented bytes.
  double get_float(const uint8_t* bytes) const;

  // The inverse of get_float: offset removed when its bit is set, divided by
  // the scale when its bit is set, then stored as the base type. Unsigned
  // types store 0 for a negative value, otherwise value + 0.5 truncated;
  // signed types round half away from zero; both keep only the low bits of
  // their type (no clamping). Undocumented bytes are left alone.
  void set_float(uint8_t* bytes, double value) const;

 private:
  void set_value(LASattributeValue* values, double value, int element, uint8_t option);
};

static_assert(sizeof(LASattribute) == 192, "LASattribute must match the 192-byte record");

class LASattributer {
 public:
  // The most attributes a table holds; keeps byte offsets far from overflow
  // (an attribute is at most 255 bytes).
  static constexpr int32_t max_attributes = 65535;

  // When true the three arrays are owned (malloc) and freed here.
  bool attributes_linked = true;
  int32_t number_attributes = 0;
  LASattribute* attributes = nullptr;
  int32_t* attribute_starts = nullptr;  // byte offset inside the extra bytes
  int32_t* attribute_sizes = nullptr;

  LASattributer() = default;
  // Copies own their arrays, whatever the source's linking.
  LASattributer(const LASattributer& other);
  LASattributer& operator=(const LASattributer& other);
  ~LASattributer();

  // Replaces the table by a copy of `count` descriptors and computes starts
  // (each the previous start plus the previous size) and sizes. Fails with a
  // message on a negative count, more than max_attributes, or a failed
  // allocation; the table is then empty.
  [[nodiscard]] bool init_attributes(int32_t count, const LASattribute* descriptors);

  // Appends a descriptor after the last attribute; its index, or -1 when its
  // size is 0, the table is full or an allocation fails.
  int32_t add_attribute(const LASattribute& descriptor);

  // The index or byte offset of the first attribute called `name`, -1 if
  // there is none.
  int32_t get_attribute_index(const char* name) const;
  int32_t get_attribute_start(const char* name) const;

  // Bytes all attributes take together (the end of the last one).
  int32_t get_attributes_size() const;

  // When linked, frees the arrays and empties the table; a table that
  // borrows its arrays is left as it is.
  void clean_attributes();

 private:
  bool copy_from(const LASattributer& other);
  bool own_arrays();
};

#endif
