#include "las/lasheader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t wave_packet_table_size = 256;

// Saturating, so that a header whose fields were set inconsistently by hand
// cannot wrap around to a huge offset.
uint32_t minus(uint32_t value, uint64_t amount) {
  return amount >= value ? 0 : static_cast<uint32_t>(value - amount);
}

// User ids fill all 16 bytes when they are that long (no terminator).
void copy_user_id(char (&field)[16], const char* user_id) {
  memset(field, 0, sizeof(field));
  memcpy(field, user_id, strnlen(user_id, sizeof(field)));
}

void copy_description(char (&field)[32], const char* description) {
  memset(field, 0, sizeof(field));
  const char* text = description ? description : LASheader::vlr_credit_text;
  strncpy(field, text, sizeof(field) - 1);
}

}  // namespace

LASheader::LASheader() {
  vlrs = nullptr;
  evlrs = nullptr;
  user_data_in_header = nullptr;
  user_data_after_header = nullptr;
  vlr_wave_packet_descr = nullptr;
  reset_fields();
}

LASheader::~LASheader() {
  clean();
}

void LASheader::reset_fields() {
  memcpy(file_signature, "LASF", 4);
  file_source_ID = 0;
  global_encoding = 0;
  project_ID_GUID_data_1 = 0;
  project_ID_GUID_data_2 = 0;
  project_ID_GUID_data_3 = 0;
  memset(project_ID_GUID_data_4, 0, sizeof(project_ID_GUID_data_4));
  version_major = 1;
  version_minor = 2;
  memset(system_identifier, 0, sizeof(system_identifier));
  memset(generating_software, 0, sizeof(generating_software));
  file_creation_day = 0;
  file_creation_year = 0;
  header_size = header_size_10;
  offset_to_point_data = header_size_10;
  number_of_variable_length_records = 0;
  point_data_format = 0;
  point_data_record_length = 20;
  number_of_point_records = 0;
  memset(number_of_points_by_return, 0, sizeof(number_of_points_by_return));
  x_scale_factor = y_scale_factor = z_scale_factor = 0.01;
  x_offset = y_offset = z_offset = 0.0;
  max_x = min_x = max_y = min_y = max_z = min_z = 0.0;
  start_of_waveform_data_packet_record = 0;
  start_of_first_extended_variable_length_record = 0;
  number_of_extended_variable_length_records = 0;
  extended_number_of_point_records = 0;
  memset(extended_number_of_points_by_return, 0, sizeof(extended_number_of_points_by_return));
  user_data_in_header_size = 0;
  user_data_after_header_size = 0;
  vlr_geo_keys = nullptr;
  vlr_geo_key_entries = nullptr;
  vlr_geo_double_params = nullptr;
  vlr_geo_ascii_params = nullptr;
  vlr_geo_ogc_wkt_math = nullptr;
  vlr_geo_ogc_wkt = nullptr;
  vlr_classification = nullptr;
  attributes_linked = true;
}

void LASheader::clean_user_data_in_header() {
  header_size = static_cast<uint16_t>(minus(header_size, user_data_in_header_size));
  offset_to_point_data = minus(offset_to_point_data, user_data_in_header_size);
  free(user_data_in_header);
  user_data_in_header = nullptr;
  user_data_in_header_size = 0;
}

void LASheader::clean_vlrs() {
  for (uint32_t i = 0; vlrs && i < number_of_variable_length_records; i++) {
    offset_to_point_data = minus(offset_to_point_data, LASvlr::header_bytes + vlrs[i].record_length_after_header);
    unlink_payload(vlrs[i].data, vlrs[i].record_length_after_header);
    free(vlrs[i].data);
  }
  free(vlrs);
  vlrs = nullptr;
  number_of_variable_length_records = 0;
}

void LASheader::clean_user_data_after_header() {
  offset_to_point_data = minus(offset_to_point_data, user_data_after_header_size);
  free(user_data_after_header);
  user_data_after_header = nullptr;
  user_data_after_header_size = 0;
}

void LASheader::clean_evlrs() {
  for (uint32_t i = 0; evlrs && i < number_of_extended_variable_length_records; i++) {
    unlink_payload(evlrs[i].data, evlrs[i].record_length_after_header);
    free(evlrs[i].data);
  }
  free(evlrs);
  evlrs = nullptr;
  number_of_extended_variable_length_records = 0;
}

void LASheader::clean() {
  clean_user_data_in_header();
  clean_vlrs();
  clean_user_data_after_header();
  clean_evlrs();
  free_wave_packet_table();
  clean_qopack();
  clean_lastiling();
  clean_lasoriginal();
  clean_attributes();
  if (!attributes_linked) {
    // Borrowed arrays are not ours to free, but the cleaned header must not
    // keep them either: it owns its attributes again from here on.
    number_attributes = 0;
    attributes = nullptr;
    attribute_starts = nullptr;
    attribute_sizes = nullptr;
  }
  reset_fields();
}

void LASheader::free_wave_packet_table() {
  free(vlr_wave_packet_descr);
  vlr_wave_packet_descr = nullptr;
}

void LASheader::unlink_payload(const uint8_t* data, uint64_t length) {
  if (!data) return;
  const uintptr_t begin = reinterpret_cast<uintptr_t>(data);
  const uintptr_t end = begin + length;
  auto inside = [&](const void* p) {
    const uintptr_t q = reinterpret_cast<uintptr_t>(p);
    return p && q >= begin && (q < end || q == begin);
  };
  if (inside(vlr_geo_keys)) vlr_geo_keys = nullptr;
  if (inside(vlr_geo_key_entries)) vlr_geo_key_entries = nullptr;
  if (inside(vlr_geo_double_params)) vlr_geo_double_params = nullptr;
  if (inside(vlr_geo_ascii_params)) vlr_geo_ascii_params = nullptr;
  if (inside(vlr_geo_ogc_wkt_math)) vlr_geo_ogc_wkt_math = nullptr;
  if (inside(vlr_geo_ogc_wkt)) vlr_geo_ogc_wkt = nullptr;
  if (inside(vlr_classification)) vlr_classification = nullptr;
  for (uint32_t i = 0; vlr_wave_packet_descr && i < wave_packet_table_size; i++) {
    if (inside(vlr_wave_packet_descr[i])) vlr_wave_packet_descr[i] = nullptr;
  }
}

int32_t LASheader::find_vlr(const char* user_id, uint16_t record_id) const {
  for (uint32_t i = 0; vlrs && i < number_of_variable_length_records; i++) {
    if (vlrs[i].record_id == record_id && vlrs[i].has_user_id(user_id)) return static_cast<int32_t>(i);
  }
  return -1;
}

int32_t LASheader::find_evlr(const char* user_id, uint16_t record_id) const {
  for (uint32_t i = 0; evlrs && i < number_of_extended_variable_length_records; i++) {
    if (evlrs[i].record_id == record_id && evlrs[i].has_user_id(user_id)) return static_cast<int32_t>(i);
  }
  return -1;
}

const LASvlr* LASheader::get_vlr(const char* user_id, uint16_t record_id) const {
  int32_t i = find_vlr(user_id, record_id);
  return i < 0 ? nullptr : &vlrs[i];
}

const LASevlr* LASheader::get_evlr(const char* user_id, uint16_t record_id) const {
  int32_t i = find_evlr(user_id, record_id);
  return i < 0 ? nullptr : &evlrs[i];
}

bool LASheader::add_vlr(const char* user_id, uint16_t record_id, uint16_t record_length_after_header, uint8_t* data,
                        bool keep_description, const char* description, bool keep_existing) {
  if (record_length_after_header > 0 && !data) {
    fprintf(stderr, "ERROR: no payload for VLR of %d bytes\n", record_length_after_header);
    return false;
  }
  int32_t slot = keep_existing ? -1 : find_vlr(user_id, record_id);
  const bool reused = slot >= 0;
  const uint64_t old_length = reused ? vlrs[slot].record_length_after_header : 0;
  const uint64_t grown = static_cast<uint64_t>(offset_to_point_data) - old_length +
                         (reused ? 0 : LASvlr::header_bytes) + record_length_after_header;
  if (grown > UINT32_MAX) {
    fprintf(stderr, "ERROR: adding VLR of %d bytes makes offset_to_point_data larger than 4 GiB\n",
            record_length_after_header);
    free(data);
    return false;
  }
  char kept_description[32];
  if (reused) {
    memcpy(kept_description, vlrs[slot].description, sizeof(kept_description));
    unlink_payload(vlrs[slot].data, vlrs[slot].record_length_after_header);
    free(vlrs[slot].data);
    vlrs[slot].data = nullptr;
    vlrs[slot].record_length_after_header = 0;
    offset_to_point_data = minus(offset_to_point_data, old_length);
  } else {
    LASvlr* grown_vlrs =
        static_cast<LASvlr*>(realloc(vlrs, sizeof(LASvlr) * (static_cast<size_t>(number_of_variable_length_records) + 1)));
    if (!grown_vlrs) {
      fprintf(stderr, "ERROR: allocating VLR array of %u entries\n", number_of_variable_length_records + 1);
      free(data);
      return false;
    }
    vlrs = grown_vlrs;
    slot = static_cast<int32_t>(number_of_variable_length_records);
    number_of_variable_length_records++;
    offset_to_point_data += LASvlr::header_bytes;
  }
  LASvlr& vlr = vlrs[slot];
  vlr = LASvlr{};
  copy_user_id(vlr.user_id, user_id);
  vlr.record_id = record_id;
  vlr.record_length_after_header = record_length_after_header;
  if (keep_description && reused) {
    memcpy(vlr.description, kept_description, sizeof(vlr.description));
  } else {
    copy_description(vlr.description, description);
  }
  if (record_length_after_header > 0) {
    offset_to_point_data += record_length_after_header;
    vlr.data = data;
  } else {
    free(data);
  }
  return true;
}

bool LASheader::remove_vlr(const char* user_id, uint16_t record_id) {
  int32_t i = find_vlr(user_id, record_id);
  if (i < 0) return false;
  offset_to_point_data = minus(offset_to_point_data, LASvlr::header_bytes + vlrs[i].record_length_after_header);
  unlink_payload(vlrs[i].data, vlrs[i].record_length_after_header);
  free(vlrs[i].data);
  number_of_variable_length_records--;
  if (number_of_variable_length_records == 0) {
    free(vlrs);
    vlrs = nullptr;
    return true;
  }
  vlrs[i] = vlrs[number_of_variable_length_records];
  // Shrinking cannot fail in a way that loses the records: keep the larger
  // block if realloc declines.
  LASvlr* shrunk = static_cast<LASvlr*>(realloc(vlrs, sizeof(LASvlr) * number_of_variable_length_records));
  if (shrunk) vlrs = shrunk;
  return true;
}

bool LASheader::add_evlr(const char* user_id, uint16_t record_id, uint64_t record_length_after_header, uint8_t* data,
                         const char* description) {
  if (record_length_after_header > 0 && !data) {
    fprintf(stderr, "ERROR: no payload for EVLR of %llu bytes\n",
            static_cast<unsigned long long>(record_length_after_header));
    return false;
  }
  if (number_of_extended_variable_length_records == UINT32_MAX) {
    free(data);
    return false;
  }
  LASevlr* grown = static_cast<LASevlr*>(
      realloc(evlrs, sizeof(LASevlr) * (static_cast<size_t>(number_of_extended_variable_length_records) + 1)));
  if (!grown) {
    fprintf(stderr, "ERROR: allocating EVLR array of %u entries\n", number_of_extended_variable_length_records + 1);
    free(data);
    return false;
  }
  evlrs = grown;
  LASevlr& evlr = evlrs[number_of_extended_variable_length_records++];
  evlr = LASevlr{};
  copy_user_id(evlr.user_id, user_id);
  evlr.record_id = record_id;
  evlr.record_length_after_header = record_length_after_header;
  copy_description(evlr.description, description);
  if (record_length_after_header > 0) {
    evlr.data = data;
  } else {
    free(data);
  }
  return true;
}

bool LASheader::remove_evlr(const char* user_id, uint16_t record_id) {
  int32_t i = find_evlr(user_id, record_id);
  if (i < 0) return false;
  unlink_payload(evlrs[i].data, evlrs[i].record_length_after_header);
  free(evlrs[i].data);
  number_of_extended_variable_length_records--;
  if (number_of_extended_variable_length_records == 0) {
    free(evlrs);
    evlrs = nullptr;
    return true;
  }
  evlrs[i] = evlrs[number_of_extended_variable_length_records];
  LASevlr* shrunk = static_cast<LASevlr*>(realloc(evlrs, sizeof(LASevlr) * number_of_extended_variable_length_records));
  if (shrunk) evlrs = shrunk;
  return true;
}

bool LASheader::update_extra_bytes_vlr(bool keep_description) {
  if (number_attributes <= 0) return remove_vlr("LASF_Spec", 4);
  if (number_attributes > max_extra_bytes_attributes) return false;
  const size_t bytes = sizeof(LASattribute) * static_cast<size_t>(number_attributes);
  uint8_t* data = static_cast<uint8_t*>(malloc(bytes));
  if (!data) return false;
  memcpy(data, attributes, bytes);
  return add_vlr("LASF_Spec", 4, static_cast<uint16_t>(bytes), data, keep_description);
}

bool LASheader::set_geo_keys(int32_t number_of_keys, const LASvlr_key_entry* entries) {
  if (number_of_keys < 0 || (static_cast<int64_t>(number_of_keys) + 1) * 8 > UINT16_MAX ||
      (number_of_keys > 0 && !entries)) {
    return false;
  }
  const uint16_t length = static_cast<uint16_t>((number_of_keys + 1) * 8);
  uint8_t* data = static_cast<uint8_t*>(malloc(length));
  if (!data) return false;
  LASvlr_geo_keys head = {1, 1, 0, static_cast<uint16_t>(number_of_keys)};
  memcpy(data, &head, sizeof(head));
  if (number_of_keys > 0) memcpy(data + sizeof(head), entries, sizeof(LASvlr_key_entry) * number_of_keys);
  if (!add_vlr("LASF_Projection", 34735, length, data)) return false;
  vlr_geo_keys = reinterpret_cast<LASvlr_geo_keys*>(data);
  vlr_geo_key_entries = reinterpret_cast<LASvlr_key_entry*>(data + sizeof(head));
  return true;
}

bool LASheader::set_geo_double_params(int32_t count, const double* params) {
  if (count <= 0 || static_cast<int64_t>(count) * 8 > UINT16_MAX || !params) return false;
  const uint16_t length = static_cast<uint16_t>(count * 8);
  uint8_t* data = static_cast<uint8_t*>(malloc(length));
  if (!data) return false;
  memcpy(data, params, length);
  if (!add_vlr("LASF_Projection", 34736, length, data)) return false;
  vlr_geo_double_params = reinterpret_cast<double*>(data);
  return true;
}

bool LASheader::del_geo_double_params() {
  vlr_geo_double_params = nullptr;
  return remove_vlr("LASF_Projection", 34736);
}

bool LASheader::del_geo_ascii_params() {
  vlr_geo_ascii_params = nullptr;
  return remove_vlr("LASF_Projection", 34737);
}

bool LASheader::set_wave_packet_descr(uint8_t index, LASvlr_wave_packet_descr* descr) {
  if (!vlr_wave_packet_descr) {
    vlr_wave_packet_descr =
        static_cast<LASvlr_wave_packet_descr**>(calloc(wave_packet_table_size, sizeof(LASvlr_wave_packet_descr*)));
    if (!vlr_wave_packet_descr) return false;
  }
  vlr_wave_packet_descr[index] = descr;
  return true;
}

void LASheader::take_over(LASheader& source) {
  if (&source == this) return;
  clean();
  // Every plain field, then the owned parts change hands.
  memcpy(file_signature, source.file_signature, sizeof(file_signature));
  file_source_ID = source.file_source_ID;
  global_encoding = source.global_encoding;
  project_ID_GUID_data_1 = source.project_ID_GUID_data_1;
  project_ID_GUID_data_2 = source.project_ID_GUID_data_2;
  project_ID_GUID_data_3 = source.project_ID_GUID_data_3;
  memcpy(project_ID_GUID_data_4, source.project_ID_GUID_data_4, sizeof(project_ID_GUID_data_4));
  version_major = source.version_major;
  version_minor = source.version_minor;
  memcpy(system_identifier, source.system_identifier, sizeof(system_identifier));
  memcpy(generating_software, source.generating_software, sizeof(generating_software));
  file_creation_day = source.file_creation_day;
  file_creation_year = source.file_creation_year;
  header_size = source.header_size;
  offset_to_point_data = source.offset_to_point_data;
  number_of_variable_length_records = source.number_of_variable_length_records;
  point_data_format = source.point_data_format;
  point_data_record_length = source.point_data_record_length;
  number_of_point_records = source.number_of_point_records;
  memcpy(number_of_points_by_return, source.number_of_points_by_return, sizeof(number_of_points_by_return));
  static_cast<LASquantizer&>(*this) = static_cast<const LASquantizer&>(source);
  max_x = source.max_x;
  min_x = source.min_x;
  max_y = source.max_y;
  min_y = source.min_y;
  max_z = source.max_z;
  min_z = source.min_z;
  start_of_waveform_data_packet_record = source.start_of_waveform_data_packet_record;
  start_of_first_extended_variable_length_record = source.start_of_first_extended_variable_length_record;
  number_of_extended_variable_length_records = source.number_of_extended_variable_length_records;
  extended_number_of_point_records = source.extended_number_of_point_records;
  memcpy(extended_number_of_points_by_return, source.extended_number_of_points_by_return,
         sizeof(extended_number_of_points_by_return));
  user_data_in_header_size = source.user_data_in_header_size;
  user_data_in_header = source.user_data_in_header;
  vlrs = source.vlrs;
  evlrs = source.evlrs;
  vlr_geo_keys = source.vlr_geo_keys;
  vlr_geo_key_entries = source.vlr_geo_key_entries;
  vlr_geo_double_params = source.vlr_geo_double_params;
  vlr_geo_ascii_params = source.vlr_geo_ascii_params;
  vlr_geo_ogc_wkt_math = source.vlr_geo_ogc_wkt_math;
  vlr_geo_ogc_wkt = source.vlr_geo_ogc_wkt;
  vlr_classification = source.vlr_classification;
  vlr_wave_packet_descr = source.vlr_wave_packet_descr;
  qopack = std::move(source.qopack);
  vlr_lastiling = std::move(source.vlr_lastiling);
  vlr_lasoriginal = std::move(source.vlr_lasoriginal);
  user_data_after_header_size = source.user_data_after_header_size;
  user_data_after_header = source.user_data_after_header;
  attributes_linked = source.attributes_linked;
  number_attributes = source.number_attributes;
  attributes = source.attributes;
  attribute_starts = source.attribute_starts;
  attribute_sizes = source.attribute_sizes;

  source.header_size = static_cast<uint16_t>(minus(source.header_size, source.user_data_in_header_size));
  source.offset_to_point_data = source.header_size;
  source.user_data_in_header_size = 0;
  source.user_data_in_header = nullptr;
  source.number_of_variable_length_records = 0;
  source.vlrs = nullptr;
  source.number_of_extended_variable_length_records = 0;
  source.evlrs = nullptr;
  source.vlr_geo_keys = nullptr;
  source.vlr_geo_key_entries = nullptr;
  source.vlr_geo_double_params = nullptr;
  source.vlr_geo_ascii_params = nullptr;
  source.vlr_geo_ogc_wkt_math = nullptr;
  source.vlr_geo_ogc_wkt = nullptr;
  source.vlr_classification = nullptr;
  source.vlr_wave_packet_descr = nullptr;
  source.user_data_after_header_size = 0;
  source.user_data_after_header = nullptr;
  source.attributes_linked = true;
  source.number_attributes = 0;
  source.attributes = nullptr;
  source.attribute_starts = nullptr;
  source.attribute_sizes = nullptr;
}

bool LASheader::check() const {
  if (strncmp(file_signature, "LASF", 4) != 0) {
    // The signature is not zero-terminated in memory.
    char signature[5] = {};
    memcpy(signature, file_signature, 4);
    fprintf(stderr, "ERROR: wrong file signature '%4s'\n", signature);
    return false;
  }
  if (version_major != 1 || version_minor > 4) {
    fprintf(stderr, "WARNING: unknown version %d.%d (should be 1.0 or 1.1 or 1.2 or 1.3 or 1.4)\n", version_major,
            version_minor);
  }
  if (header_size < header_size_10) {
    fprintf(stderr, "ERROR: header size is %d but should be at least 227\n", header_size);
    return false;
  }
  if (offset_to_point_data < header_size) {
    fprintf(stderr, "ERROR: offset to point data %d is smaller than header size %d\n",
            static_cast<int>(offset_to_point_data), header_size);
    return false;
  }
  if (x_scale_factor == 0.0) fprintf(stderr, "WARNING: x scale factor is zero.\n");
  if (y_scale_factor == 0.0) fprintf(stderr, "WARNING: y scale factor is zero.\n");
  if (z_scale_factor == 0.0) fprintf(stderr, "WARNING: z scale factor is zero.\n");
  if ((max_x < min_x || min_y > max_y || min_z > max_z) &&
      (number_of_point_records != 0 || extended_number_of_point_records != 0)) {
    fprintf(stderr, "WARNING: invalid bounding box [ %g %g %g / %g %g %g ]\n", min_x, min_y, min_z, max_x, max_y,
            max_z);
  }
  return true;
}

uint64_t LASheader::get_number_of_point_records() const {
  return number_of_point_records ? number_of_point_records : extended_number_of_point_records;
}

uint64_t LASheader::get_extended_number_of_point_records() const {
  return get_number_of_point_records();
}

uint64_t LASheader::get_extended_number_of_points_by_return(int return_number) const {
  if (return_number < 1 || return_number > 15) return 0;
  if (return_number <= 5 && number_of_points_by_return[return_number - 1] != 0) {
    return number_of_points_by_return[return_number - 1];
  }
  return extended_number_of_points_by_return[return_number - 1];
}
