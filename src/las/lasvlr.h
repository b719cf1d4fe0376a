// Variable-length records of a LAS header and the payload layouts that the
// header recognises (georeferencing keys, classification lookup, wave packet
// descriptors).
#ifndef TIECHECK_LAS_LASVLR_H
#define TIECHECK_LAS_LASVLR_H

#include <cstdint>
#include <cstring>
#include <type_traits>

// A variable-length record: the 54-byte record header plus its payload.
// The payload is allocated with malloc and owned by the header that holds the
// record (freed with free). The records are plain data kept in malloc'ed
// arrays; initialise a free-standing one with {}.
struct LASvlr {
  static constexpr uint32_t header_bytes = 54;

  uint16_t reserved;
  char user_id[16];  // zero-padded, not necessarily zero-terminated
  uint16_t record_id;
  uint16_t record_length_after_header;
  char description[32];
  uint8_t* data;

  // Whether the record carries this user id (compared over 16 bytes).
  bool has_user_id(const char* id) const { return strncmp(user_id, id, 16) == 0; }
};

// An extended variable-length record (LAS 1.4, stored after the points):
// a 60-byte record header with a 64-bit payload length.
struct LASevlr {
  static constexpr uint32_t header_bytes = 60;

  uint16_t reserved;
  char user_id[16];
  uint16_t record_id;
  uint64_t record_length_after_header;
  char description[32];
  uint8_t* data;

  bool has_user_id(const char* id) const { return strncmp(user_id, id, 16) == 0; }
};

static_assert(std::is_trivial_v<LASvlr> && std::is_trivial_v<LASevlr>, "records live in malloc'ed arrays");

// The head of a GeoKeyDirectoryTag payload ("LASF_Projection" record 34735),
// followed in the payload by number_of_keys LASvlr_key_entry quadruples.
// A payload supports this view only when it holds at least
// 8 * (1 + number_of_keys) bytes.
struct LASvlr_geo_keys {
  uint16_t key_directory_version;
  uint16_t key_revision;
  uint16_t minor_revision;
  uint16_t number_of_keys;
};

struct LASvlr_key_entry {
  uint16_t key_id;
  uint16_t tiff_tag_location;
  uint16_t count;
  uint16_t value_offset;
};

static_assert(sizeof(LASvlr_geo_keys) == 8 && sizeof(LASvlr_key_entry) == 8, "geo key quadruples are 8 bytes");

// One entry of the classification lookup ("LASF_Spec" record 0), 16 bytes.
struct LASvlr_classification {
  uint8_t class_number;
  char description[15];
};

static_assert(sizeof(LASvlr_classification) == 16, "a classification lookup entry is 16 bytes");

// A wave packet descriptor ("LASF_Spec" records 100 to 354), 26 bytes with
// unaligned fields, so it is read through accessors. A pointer of this type
// may point straight into a payload of at least 26 bytes.
class LASvlr_wave_packet_descr {
 public:
  static constexpr uint32_t payload_bytes = 26;

  uint8_t get_bits_per_sample() const { return bytes[0]; }
  uint8_t get_compression_type() const { return bytes[1]; }
  uint32_t get_number_of_samples() const { return get<uint32_t>(2); }
  uint32_t get_temporal_spacing() const { return get<uint32_t>(6); }
  double get_digitizer_gain() const { return get<double>(10); }
  double get_digitizer_offset() const { return get<double>(18); }

  void set_bits_per_sample(uint8_t v) { bytes[0] = v; }
  void set_compression_type(uint8_t v) { bytes[1] = v; }
  void set_number_of_samples(uint32_t v) { set(2, v); }
  void set_temporal_spacing(uint32_t v) { set(6, v); }
  void set_digitizer_gain(double v) { set(10, v); }
  void set_digitizer_offset(double v) { set(18, v); }

 private:
  template <typename T>
  T get(int at) const {
    T v;
    memcpy(&v, bytes + at, sizeof(T));
    return v;
  }
  template <typename T>
  void set(int at, T v) {
    memcpy(bytes + at, &v, sizeof(T));
  }

  uint8_t bytes[payload_bytes] = {};
};

static_assert(sizeof(LASvlr_wave_packet_descr) == 26 && alignof(LASvlr_wave_packet_descr) == 1,
              "a wave packet descriptor is 26 unaligned bytes");

#endif
