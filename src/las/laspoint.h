// The in-memory point record: the union of the fields of LAS point data
// formats 0 to 10, bound to an item list that says which parts of the record
// are read and written.
#ifndef TIECHECK_LAS_LASPOINT_H
#define TIECHECK_LAS_LASPOINT_H

#include <cstddef>
#include <cstdint>

#include "las/lasattributer.h"
#include "las/lasitem.h"
#include "las/lasquantizer.h"

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "point items are copied in host order, which must be little-endian"
#endif

// The LAS wave packet descriptor, 29 bytes as on disk. Its members are
// unaligned: use them by value, never bind a reference or pointer to them.
#pragma pack(push, 1)
struct LASwavepacket {
  uint8_t index;    // wave packet descriptor index, 0 = none
  uint64_t offset;  // byte offset to the waveform data
  uint32_t size;    // packet size in bytes
  float location;   // return point waveform location
  float x_t;
  float y_t;
  float z_t;
};
#pragma pack(pop)
static_assert(sizeof(LASwavepacket) == 29, "LASwavepacket must match the 29-byte record");

// The core fields of a point: the legacy POINT10 fields, whose first 20
// bytes are laid out exactly as the on-disk POINT10 record, then the LAS 1.4
// fields and the GPS time. The POINT10 and POINT14 items of a LASpoint point
// at X, that is at this struct; item codecs that need a scratch point use a
// LASpointcore of their own.
struct LASpointcore {
  int32_t X;
  int32_t Y;
  int32_t Z;
  uint16_t intensity;
  // the returns byte
  uint8_t return_number : 3;
  uint8_t number_of_returns : 3;
  uint8_t scan_direction_flag : 1;
  uint8_t edge_of_flight_line : 1;
  // the classification byte
  uint8_t classification : 5;
  uint8_t synthetic_flag : 1;
  uint8_t keypoint_flag : 1;
  uint8_t withheld_flag : 1;
  int8_t scan_angle_rank;  // whole degrees
  uint8_t user_data;
  uint16_t point_source_ID;

  int16_t extended_scan_angle;  // units of 0.006 degree
  // the extended type byte
  uint8_t extended_point_type : 2;  // 0 legacy point, 1 filled from POINT14
  uint8_t extended_scanner_channel : 2;
  uint8_t extended_classification_flags : 4;  // synthetic, key-point, withheld, overlap
  uint8_t extended_classification;
  // the extended returns byte
  uint8_t extended_return_number : 4;
  uint8_t extended_number_of_returns : 4;

  double gps_time;

  // Bits of extended_classification_flags.
  static constexpr uint8_t extended_synthetic_bit = 0x1;
  static constexpr uint8_t extended_keypoint_bit = 0x2;
  static constexpr uint8_t extended_withheld_bit = 0x4;
  static constexpr uint8_t extended_overlap_bit = 0x8;

  // The empty point of zero(), with extended_point_type 0.
  LASpointcore();

  // zero() of LASpoint for these fields: everything 0 except the four return
  // counts, which become 1; extended_point_type is left unchanged.
  void zero_core();

  // Fills the fields from a 30-byte little-endian POINT14 record (X, Y, Z,
  // intensity, returns byte, flags byte, classification, user data, scan
  // angle, point source ID, GPS time) and derives the legacy fields.
  // extended_point_type is left as it is.
  void read_point14(const uint8_t* raw);

  // Writes the fields as a 30-byte POINT14 record. A legacy point
  // (extended_point_type 0) is converted from its legacy fields.
  void write_point14(uint8_t* raw) const;

  // Derives the legacy fields from the LAS 1.4 ones: return number and count
  // (capped at 7, a return above 6 of more than 7 becomes 6, or 7 when it
  // is the last), the 5-bit classification (0 for classes above 31), the
  // synthetic, key-point and withheld bits, and the scan angle rank (scan
  // angle times 0.006 rounded half away from zero, clamped to [-128, 127]).
  void update_legacy_from_extended();

  bool get_extended_overlap_flag() const { return extended_classification_flags & extended_overlap_bit; }
};

static_assert(offsetof(LASpointcore, intensity) == 12, "POINT10 layout");
static_assert(offsetof(LASpointcore, scan_angle_rank) == 16, "POINT10 layout");
static_assert(offsetof(LASpointcore, user_data) == 17, "POINT10 layout");
static_assert(offsetof(LASpointcore, point_source_ID) == 18, "POINT10 layout");
static_assert(offsetof(LASpointcore, extended_scan_angle) == 20, "core layout");

class LASpoint : public LASpointcore {
 public:
  // The largest record an item list may describe (a LAS record length is
  // 16 bits).
  static constexpr uint32_t max_point_size = 65535;

  uint16_t rgb[4];  // red, green, blue, near infrared
  LASwavepacket wavepacket;
  uint8_t* extra_bytes = nullptr;  // owned, extra_bytes_number bytes
  const LASquantizer* quantizer = nullptr;
  double coordinates[3] = {0.0, 0.0, 0.0};  // filled by compute_coordinates()
  const LASattributer* attributer = nullptr;
  uint8_t** point = nullptr;  // owned: where each item's bytes live
  bool have_gps_time = false;
  bool have_rgb = false;
  bool have_nir = false;
  bool have_wavepacket = false;
  int32_t extra_bytes_number = 0;
  uint32_t total_point_size = 0;
  uint16_t num_items = 0;
  LASitem* items = nullptr;  // owned

  LASpoint();
  ~LASpoint();
  LASpoint(const LASpoint&) = delete;

  // Copies the values of another point, whose item list may differ: the
  // POINT10 fields always; GPS time, colour, near infrared, wave packet only
  // when the source has them; the common prefix of the extra bytes; the
  // LAS 1.4 fields when the source is a POINT14 point, derived from the
  // legacy ones when only this point is. The item list, the pointers and
  // extended_point_type of this point stay.
  LASpoint& operator=(const LASpoint& other);

  // Binds the point to the item list of LAS point data format `point_type`
  // with record length `point_size` (see LASitem::items_of_point_type). An
  // unknown format prints "ERROR: unknown point type %d with point size
  // %d\n" and returns false.
  [[nodiscard]] bool init(const LASquantizer* quantizer, uint8_t point_type, uint16_t point_size,
                          const LASattributer* attributer = nullptr);

  // Binds the point to a copy of the given item list. Fails without a
  // message when the list is empty, holds an item type that is not one of
  // LASitem's, a fixed-size item of another size, an empty extra-bytes item,
  // or adds up to more than max_point_size bytes; the point is then clean.
  [[nodiscard]] bool init(const LASquantizer* quantizer, uint16_t num_items, const LASitem* items,
                          const LASattributer* attributer = nullptr);

  // Back to the empty point: values as zero(), item list, extra bytes,
  // flags, counts, extended_point_type and both borrowed pointers cleared.
  void clean();

  // Resets the values (see zero_core()), colour and wave packet to zero;
  // keeps the item list, the extra bytes and extended_point_type.
  void zero();

  // Real coordinates through the quantizer (which must be set).
  double get_x() const { return quantizer->get_x(X); }
  double get_y() const { return quantizer->get_y(Y); }
  double get_z() const { return quantizer->get_z(Z); }
  void set_x(double x) { X = quantizer->get_X(x); }
  void set_y(double y) { Y = quantizer->get_Y(y); }
  void set_z(double z) { Z = quantizer->get_Z(z); }
  void compute_coordinates();

  // The record as total_point_size bytes, item by item in list order: the
  // on-disk bytes of each item (POINT14 converted to and from its 30-byte
  // form, which carries the GPS time).
  void copy_to(uint8_t* buffer) const;
  void copy_from(const uint8_t* buffer);

  // Classification c (0 to 255) into extended_classification, and into the
  // legacy 5-bit field when below 32 (else 0). The legacy flags stay.
  void set_classification(uint8_t c);
  // Whether the point has classification v: the legacy field for v < 32,
  // extended_classification otherwise.
  bool is_classification(uint8_t v) const;

  // Set the legacy bit and its extended twin.
  void set_synthetic_flag(bool b);
  void set_keypoint_flag(bool b);
  void set_withheld_flag(bool b);
  void set_extended_overlap_flag(bool b);

  // Legacy counts saturate at 7; extended counts keep n mod 16.
  void set_return_number(uint8_t n) { return_number = n < 8 ? n : 7; }
  void set_number_of_returns(uint8_t n) { number_of_returns = n < 8 ? n : 7; }
  void set_extended_return_number(uint8_t n) { extended_return_number = n & 15; }
  void set_extended_number_of_returns(uint8_t n) { extended_number_of_returns = n & 15; }

  // Scan angle in degrees: into extended_scan_angle (units of 0.006 degree)
  // for a POINT14 point, else into scan_angle_rank; rounded half away from
  // zero in single precision and clamped to the field's range.
  void set_scan_angle(float degrees);
  float get_scan_angle() const;

  // Attribute `index` of the attributer read from the extra bytes, with
  // scale and offset applied (LASattribute::get_float); 0.0 without an
  // attributer, for an index out of range, or when the attribute does not
  // lie inside this point's extra bytes.
  double get_attribute_as_float(int32_t index) const;
  // The inverse (LASattribute::set_float); does nothing in the same cases.
  void set_attribute_as_float(int32_t index, double value);

 private:
  const uint8_t* attribute_bytes(int32_t index) const;
};

#endif
