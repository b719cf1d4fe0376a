// One entry of a point's item list: which part of the on-disk point record
// it describes, how many bytes it takes, and its codec version.
#ifndef TIECHECK_LAS_LASITEM_H
#define TIECHECK_LAS_LASITEM_H

#include <cstdint>
#include <vector>

class LASitem {
 public:
  // The numbers are stored in files. 1 to 5 are reserved and never produced.
  enum Type : uint32_t {
    BYTE = 0,           // extra bytes of a legacy point (formats 0 to 5)
    POINT10 = 6,        // legacy core record, 20 bytes
    GPSTIME11 = 7,      // GPS time, 8 bytes
    RGB12 = 8,          // red, green, blue, 6 bytes
    WAVEPACKET13 = 9,   // wave packet of a legacy point, 29 bytes
    POINT14 = 10,       // LAS 1.4 core record with GPS time, 30 bytes
    RGB14 = 11,         // red, green, blue of a LAS 1.4 point, 6 bytes
    RGBNIR14 = 12,      // red, green, blue, near infrared, 8 bytes
    WAVEPACKET14 = 13,  // wave packet of a LAS 1.4 point, 29 bytes
    BYTE14 = 14,        // extra bytes of a LAS 1.4 point (formats 6 to 10)
  };

  Type type = BYTE;
  uint16_t size = 0;     // bytes in the uncompressed record
  uint16_t version = 0;  // 0 for uncompressed data

  LASitem() = default;
  LASitem(Type type, uint16_t size, uint16_t version = 0) : type(type), size(size), version(version) {}

  bool operator==(const LASitem& o) const { return type == o.type && size == o.size && version == o.version; }
  bool operator!=(const LASitem& o) const { return !(*this == o); }

  // Whether the item carries extra bytes (BYTE or BYTE14), whose size is free.
  bool is_extra_bytes() const { return type == BYTE || type == BYTE14; }

  // The printable name ("POINT10", ...), "UNKNOWN" for other values.
  const char* get_name() const { return type_name(type); }

  static const char* type_name(uint32_t type);

  // Whether the value names one of the item types above.
  static bool is_known_type(uint32_t type);

  // The required size of a fixed-size item type; 0 for BYTE, BYTE14 and
  // values that are not item types.
  static uint16_t fixed_size(uint32_t type);

  // The record length of a point data format without extra bytes (20, 28,
  // 26, 34, 57, 63, 30, 36, 38, 59, 67 for formats 0 to 10), 0 for any
  // other format.
  static uint16_t base_size(uint8_t point_type);

  // Builds the item list of LAS point data format `point_type` (0 to 10)
  // with record length `point_size`, every item at version 0. Bytes beyond
  // the base size become one trailing BYTE (formats 0 to 5) or BYTE14
  // (formats 6 to 10) item. A record length below the base size prints
  // "WARNING: point size %d too small by %d bytes for point type %d.
  // assuming point_size of %d\n" and gives no extra-bytes item. An unknown
  // format returns false without a message and leaves `items` empty.
  [[nodiscard]] static bool items_of_point_type(uint8_t point_type, uint16_t point_size,
                                                std::vector<LASitem>& items);
};

#endif
