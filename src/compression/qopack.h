// The compression descriptor: which compressor and coder wrote the points of
// a compressed LAS file, which items make up a point, the codec version of
// each item and how many points form a chunk. It is carried in the LAS header
// as the compression VLR ("qopack encoded", record 22204).
#ifndef TIECHECK_COMPRESSION_QOPACK_H
#define TIECHECK_COMPRESSION_QOPACK_H

#include <cstdint>
#include <string>
#include <vector>

#include "las/bytestreamin.h"
#include "las/bytestreamout.h"
#include "las/lasitem.h"

class Qopack {
 public:
  // Compressor kinds.
  static constexpr uint16_t COMPRESSOR_NONE = 0;  // raw points with a non-standard item list
  static constexpr uint16_t COMPRESSOR_POINTWISE = 1;  // one code for all points; read only
  static constexpr uint16_t COMPRESSOR_POINTWISE_CHUNKED = 2;  // legacy items, chunked
  static constexpr uint16_t COMPRESSOR_LAYERED_CHUNKED = 3;  // field layers; needed for POINT14
  static constexpr uint16_t CODER_ARITHMETIC = 0;

  static constexpr uint32_t default_chunk_size = 50000;
  // Both values ask for chunks of varying size.
  static constexpr uint32_t variable_chunk_size = 0;
  static constexpr uint32_t variable_chunk_size_alt = 0xFFFFFFFF;

  // The version of this compressor, written into new descriptors and quoted
  // in every error text.
  static constexpr uint8_t VERSION_MAJOR = 3;
  static constexpr uint8_t VERSION_MINOR = 4;
  static constexpr uint16_t VERSION_REVISION = 3;
  static constexpr int build_number = 221128;

  // The record that carries the descriptor.
  static constexpr uint16_t vlr_reserved = 0xAABB;
  static constexpr const char* vlr_user_id = "qopack encoded";
  static constexpr uint16_t vlr_record_id = 22204;
  static constexpr uint32_t vlr_payload_head_bytes = 34;
  static constexpr uint32_t vlr_bytes_per_item = 6;

  // Fields in the order the record stores them.
  uint16_t compressor = COMPRESSOR_POINTWISE_CHUNKED;
  uint16_t coder = CODER_ARITHMETIC;
  uint8_t version_major = VERSION_MAJOR;
  uint8_t version_minor = VERSION_MINOR;
  uint16_t version_revision = VERSION_REVISION;
  uint32_t options = 0;  // reserved bits: written as 0, read and kept
  uint32_t chunk_size = default_chunk_size;
  int64_t number_of_special_evlrs = -1;  // -1: none
  int64_t offset_to_special_evlrs = -1;  // -1: none
  uint16_t num_items = 0;
  LASitem* items = nullptr;  // num_items entries, owned

  Qopack() = default;
  Qopack(const Qopack& other);
  Qopack& operator=(const Qopack& other);
  ~Qopack();

  // Checks the compressor kind and the items (without a point size) and takes
  // a copy of the items. The resulting kind: 0 stays 0; a list starting with
  // POINT14 needs kind 3 (any other non-zero kind fails, without a new error
  // text); otherwise kind 3 becomes 2, and 1 and 2 stay. For kinds 2 and 3 a
  // chunk_size of 0 becomes default_chunk_size.
  [[nodiscard]] bool setup(uint16_t num_items, const LASitem* items, uint16_t compressor);

  // Derives the item list of LAS point data format `point_type` with record
  // length `point_size` into `items` (every version 0), leaving the
  // descriptor's own list alone. A record length shorter than the format's
  // prints "WARNING: point size %d too small by %d bytes for point type %d.
  // assuming point_size of %d\n" and gives no extra-bytes item; an unknown
  // format fails with "point type %d unknown". `compressor` is accepted for
  // interface symmetry; the list does not depend on it.
  [[nodiscard]] bool setup(std::vector<LASitem>& items, uint8_t point_type, uint16_t point_size,
                           uint16_t compressor = COMPRESSOR_NONE);

  // Whether the compressor kind, the coder and the item list are supported,
  // and (for a non-zero point_size) whether the items add up to point_size.
  [[nodiscard]] bool check(uint16_t point_size);

  // Whether the items are exactly those of a LAS point data format 0 to 10,
  // with an optional trailing extra-bytes item. Unless items are missing,
  // point_type is first set to 127 and record_length to the sum of the item
  // sizes; on success point_type is the format.
  [[nodiscard]] bool is_standard(uint8_t& point_type, uint16_t& record_length);

  // Sets every item's codec version for `requested`: BYTE, POINT10,
  // GPSTIME11 and RGB12 take it, WAVEPACKET13 takes 1, the LAS 1.4 items 3.
  // Without compression only 0 is accepted, with compression 1 or 2.
  [[nodiscard]] bool request_version(uint16_t requested);

  // Points per chunk (0 asks for chunks of varying size). Fails before
  // setup(); with the pointwise compressor it fails without changing
  // anything.
  [[nodiscard]] bool set_chunk_size(uint32_t chunk_size);

  // The last error text, "<what> (Qopack v3.4r3)", or "" before any error.
  const char* get_error() const { return error_string.c_str(); }

  // Bytes of the record payload: 34 + 6 x num_items.
  uint32_t get_payload_size() const { return vlr_payload_head_bytes + vlr_bytes_per_item * num_items; }

  // The record description, "by qopack of Quillbox (221128)".
  static std::string get_vlr_description();

  // Reads a payload field by field. On a failed read prints
  // "ERROR: reading <field> %d\n" (or "ERROR: reading <field> %d of item %d\n")
  // and returns false, leaving the descriptor unchanged. The count of items is
  // trusted only as far as the stream actually holds items.
  [[nodiscard]] bool read_payload(ByteStreamIn& stream);
  // The same on a payload in memory of `size` bytes; bytes beyond the items
  // are ignored.
  [[nodiscard]] bool unpack(const uint8_t* payload, uint32_t size);

  // Writes the payload; on failure prints "ERROR: writing <field> %d\n" (or
  // "... of item %d\n") and returns false.
  [[nodiscard]] bool write_payload(ByteStreamOut& stream) const;
  // Writes the whole record: the 54-byte record header (reserved 0xAABB, user
  // id, record id, payload size, description) and the payload. Failures of
  // the record header print "ERROR: writing reserved %d\n", "ERROR: writing
  // user_id %s\n", "ERROR: writing record_id %d\n", "ERROR: writing
  // record_length_after_header %d\n" or "ERROR: writing description %s\n".
  [[nodiscard]] bool write_vlr(ByteStreamOut& stream) const;

 private:
  bool check_compressor(uint16_t compressor);
  bool check_coder(uint16_t coder);
  bool check_item(const LASitem& item);
  bool check_items(uint16_t num_items, const LASitem* items, uint16_t point_size);
  // Stores "<text> (Qopack v3.4r3)" as the error text; always false.
  bool return_error(const char* text);
  void set_items(uint16_t num_items, const LASitem* items);

  std::string error_string;
};

#endif
