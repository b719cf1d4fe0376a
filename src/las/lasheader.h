// The in-memory LAS header (LAS 1.0 to 1.4): the public header block, the
// variable-length records before the points and the extended ones after
// them, the user data around them, and the records this system recognises.
#ifndef TIECHECK_LAS_LASHEADER_H
#define TIECHECK_LAS_LASHEADER_H

#include <cstdint>
#include <memory>

#include "las/lasattributer.h"
#include "las/lasquantizer.h"
#include "las/lasvlr.h"
#include "las/lasvlr_lasoriginal.h"
#include "las/lasvlr_lastiling.h"

// The compression descriptor; it lives with the point compression, which
// builds on this library, so the header holds it without knowing its layout.
class Qopack;

// The header is the quantizer of its points (scale factors and offsets) and
// the table of their extra-bytes attributes.
//
// Ownership: the header owns the record arrays and every payload in them
// (malloc'ed), the user data, the wave packet table, the compression
// descriptor and the two suite records. The vlr_geo_* / vlr_classification /
// vlr_wave_packet_descr entries only point into payloads of the record lists;
// every operation that frees or replaces a payload clears the pointers into it.
class LASheader : public LASquantizer, public LASattributer {
 public:
  // Standard header sizes: LAS 1.0 to 1.2, 1.3, 1.4.
  static constexpr uint16_t header_size_10 = 227;
  static constexpr uint16_t header_size_13 = 235;
  static constexpr uint16_t header_size_14 = 375;
  // The most extra-bytes attributes one "LASF_Spec" record 4 can hold
  // (341 x 192 bytes fit in its 16-bit length).
  static constexpr int32_t max_extra_bytes_attributes = 341;
  // The description of records added without one (at most 31 characters).
  static constexpr const char* vlr_credit_text = "created by Quillbox tiecheck";

  // Public header block, in file order.
  char file_signature[4];
  uint16_t file_source_ID;
  uint16_t global_encoding;
  uint32_t project_ID_GUID_data_1;
  uint16_t project_ID_GUID_data_2;
  uint16_t project_ID_GUID_data_3;
  uint8_t project_ID_GUID_data_4[8];
  uint8_t version_major;
  uint8_t version_minor;
  char system_identifier[32];
  char generating_software[32];
  uint16_t file_creation_day;
  uint16_t file_creation_year;
  uint16_t header_size;
  uint32_t offset_to_point_data;
  uint32_t number_of_variable_length_records;
  uint8_t point_data_format;  // bit 7 set in files whose points are compressed
  uint16_t point_data_record_length;
  uint32_t number_of_point_records;
  uint32_t number_of_points_by_return[5];
  // (scale factors and offsets: LASquantizer)
  double max_x;
  double min_x;
  double max_y;
  double min_y;
  double max_z;
  double min_z;
  uint64_t start_of_waveform_data_packet_record;  // LAS 1.3 and later
  uint64_t start_of_first_extended_variable_length_record;  // LAS 1.4
  uint32_t number_of_extended_variable_length_records;
  uint64_t extended_number_of_point_records;
  uint64_t extended_number_of_points_by_return[15];

  // Bytes between the known fields and header_size (malloc'ed).
  uint32_t user_data_in_header_size;
  uint8_t* user_data_in_header;

  // number_of_variable_length_records records (malloc/realloc).
  LASvlr* vlrs;
  // number_of_extended_variable_length_records records (malloc/realloc).
  LASevlr* evlrs;

  // Recognised records, pointing into payloads of vlrs or evlrs.
  LASvlr_geo_keys* vlr_geo_keys;
  LASvlr_key_entry* vlr_geo_key_entries;  // 8 bytes after vlr_geo_keys
  double* vlr_geo_double_params;
  char* vlr_geo_ascii_params;
  char* vlr_geo_ogc_wkt_math;
  char* vlr_geo_ogc_wkt;
  LASvlr_classification* vlr_classification;
  // Owned table of 256 entries (allocated on first use); entry i is the wave
  // packet descriptor of index i.
  LASvlr_wave_packet_descr** vlr_wave_packet_descr;

  // The suite's own records, kept out of vlrs.
  std::shared_ptr<Qopack> qopack;  // compression descriptor or null
  std::unique_ptr<LASvlr_lastiling> vlr_lastiling;
  std::unique_ptr<LASvlr_lasoriginal> vlr_lasoriginal;

  // Bytes between the last record and offset_to_point_data (malloc'ed).
  uint32_t user_data_after_header_size;
  uint8_t* user_data_after_header;

  // A cleaned header.
  LASheader();
  ~LASheader();
  LASheader(const LASheader&) = delete;
  LASheader& operator=(const LASheader&) = delete;

  // Frees everything the header owns (user data, both record lists with their
  // payloads, the wave packet table, the compression descriptor, the suite
  // records, the attributes) and returns every field to the cleaned values:
  // all 0 except signature "LASF", version 1.2, header_size and
  // offset_to_point_data 227, point_data_record_length 20, scale factors 0.01
  // and attributes_linked true.
  void clean();

  // The steps of clean(), each keeping header_size and offset_to_point_data
  // consistent with what remains.
  void clean_user_data_in_header();
  void clean_vlrs();
  void clean_user_data_after_header();
  void clean_evlrs();
  void clean_qopack() { qopack.reset(); }
  void clean_lastiling() { vlr_lastiling.reset(); }
  void clean_lasoriginal() { vlr_lasoriginal.reset(); }

  // Adds a record, or replaces the payload of the record with the same user
  // id and record id unless keep_existing is set. `data` (malloc'ed, of
  // `record_length_after_header` bytes) passes to the header; with length 0 it
  // is freed and the record has no payload. offset_to_point_data grows by 54
  // for a new record and by the payload length. The description is
  // `description` cut to 31 characters, or vlr_credit_text when none is
  // given; with keep_description a replaced record keeps its description.
  // Fails (freeing `data`) with a message when the payload pointer is missing
  // for a non-zero length, when offset_to_point_data would pass 4 GiB, or when
  // the array cannot grow.
  [[nodiscard]] bool add_vlr(const char* user_id, uint16_t record_id, uint16_t record_length_after_header,
                             uint8_t* data, bool keep_description = false, const char* description = nullptr,
                             bool keep_existing = false);

  // Removes the first record with this user id and record id: frees its
  // payload, lowers offset_to_point_data by 54 + its length, and moves the last
  // record into its slot (so the order of the others changes). False when
  // there is no such record.
  [[nodiscard]] bool remove_vlr(const char* user_id, uint16_t record_id);

  // The first record with this user id and record id, or null.
  const LASvlr* get_vlr(const char* user_id, uint16_t record_id) const;

  // The same for extended records, which live after the points and so do not
  // move offset_to_point_data. add_evlr always appends and copies at most
  // 31 characters of the description (vlr_credit_text when none is given).
  [[nodiscard]] bool add_evlr(const char* user_id, uint16_t record_id, uint64_t record_length_after_header,
                              uint8_t* data, const char* description = nullptr);
  [[nodiscard]] bool remove_evlr(const char* user_id, uint16_t record_id);
  const LASevlr* get_evlr(const char* user_id, uint16_t record_id) const;

  // With attributes: stores a copy of their descriptors as "LASF_Spec" record
  // 4 (replacing an earlier one); fails for more than
  // max_extra_bytes_attributes. Without attributes: removes an existing
  // "LASF_Spec" record 4 and reports whether there was one.
  [[nodiscard]] bool update_extra_bytes_vlr(bool keep_description = false);

  // Writes the GeoKeyDirectoryTag ("LASF_Projection" 34735) with version 1,
  // revision 1.0 and the given keys, replacing an earlier one, and points
  // vlr_geo_keys / vlr_geo_key_entries into it. Fails when
  // (number_of_keys + 1) x 8 bytes do not fit in a record.
  [[nodiscard]] bool set_geo_keys(int32_t number_of_keys, const LASvlr_key_entry* entries);
  // Writes the GeoDoubleParamsTag (34736) and points vlr_geo_double_params
  // into it. Fails when count x 8 bytes do not fit in a record.
  [[nodiscard]] bool set_geo_double_params(int32_t count, const double* params);
  // Remove the GeoDoubleParamsTag (34736) and GeoAsciiParamsTag (34737) and
  // clear their pointers; false when there was no such record.
  bool del_geo_double_params();
  bool del_geo_ascii_params();

  // Points entry `index` of the wave packet table at a descriptor (normally
  // inside a payload of at least 26 bytes), allocating the table on first use.
  [[nodiscard]] bool set_wave_packet_descr(uint8_t index, LASvlr_wave_packet_descr* descr);

  // Moves everything from `source` into this header (after cleaning this
  // one): all fields are copied and the records, user data, suite records and
  // attributes change owner. `source` is left without them: record counts 0,
  // no user data (header_size lowered by it) and offset_to_point_data equal to
  // its header_size.
  void take_over(LASheader& source);

  // The consistency checks shared by reading and writing, in this order:
  // signature "LASF" (else "ERROR: wrong file signature '%4s'"), version 1.0
  // to 1.4 (else a warning), header_size at least 227 (else an error),
  // offset_to_point_data at least header_size (else an error), a warning per
  // zero scale factor, and a warning for an inverted bounding box when the
  // header claims points. False after an error message.
  [[nodiscard]] bool check() const;

  // The number of points: the legacy count when non-zero, else the LAS 1.4
  // count.
  uint64_t get_number_of_point_records() const;
  // What a LAS 1.4 header stores in its 64-bit counts: the total and returns 1
  // to 5 take the legacy count when that is non-zero, else the extended one;
  // returns 6 to 15 take the extended counts. `return_number` is 1 to 15 (0
  // for other values).
  uint64_t get_extended_number_of_point_records() const;
  uint64_t get_extended_number_of_points_by_return(int return_number) const;

 private:
  void reset_fields();
  // Clears every recognised pointer that points into [data, data + length).
  void unlink_payload(const uint8_t* data, uint64_t length);
  void free_wave_packet_table();
  int32_t find_vlr(const char* user_id, uint16_t record_id) const;
  int32_t find_evlr(const char* user_id, uint16_t record_id) const;
};

#endif
