#include "las/laswriter_las.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <string>

#include "compression/laschunkwriter.h"
#include "compression/qopack.h"
#include "las/bytestreamout.h"
#include "las/bytestreamout_file.h"
#include "las/bytestreamout_nil.h"

namespace {

constexpr uint16_t suite_vlr_reserved = 0xAABB;
// Bytes of the header fields of LAS 1.0 to 1.2, 1.3 and 1.4.
constexpr uint16_t layout_bytes[3] = {LASheader::header_size_10, LASheader::header_size_13,
                                      LASheader::header_size_14};
// Payloads are handed to the stream in pieces of at most this size.
constexpr uint32_t put_step = 1u << 30;

template <typename T>
bool put_le(ByteStreamOut& out, T value) {
  static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8, "fixed-width field");
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&value);
  if constexpr (sizeof(T) == 1) return out.put_byte(*bytes);
  if constexpr (sizeof(T) == 2) return out.put_16bits_le(bytes);
  if constexpr (sizeof(T) == 4) return out.put_32bits_le(bytes);
  if constexpr (sizeof(T) == 8) return out.put_64bits_le(bytes);
}

bool put_payload(ByteStreamOut& out, const uint8_t* data, uint64_t size) {
  while (size > 0) {
    const uint32_t step = static_cast<uint32_t>(std::min<uint64_t>(size, put_step));
    if (!out.put_bytes(data, step)) return false;
    data += step;
    size -= step;
  }
  return true;
}

// Text into a zero-filled fixed-size field.
bool put_text(ByteStreamOut& out, const char* text, uint32_t field_bytes) {
  char field[32] = {};
  field_bytes = std::min<uint32_t>(field_bytes, sizeof(field));
  memcpy(field, text, strnlen(text, field_bytes));
  return out.put_bytes(reinterpret_cast<const uint8_t*>(field), field_bytes);
}

// The 54-byte record header of one of the suite's own records.
bool put_suite_vlr_header(ByteStreamOut& out, const char* user_id, uint16_t record_id, uint16_t length,
                          const char* description) {
  if (!put_le(out, suite_vlr_reserved)) {
    fprintf(stderr, "ERROR: writing reserved %d\n", suite_vlr_reserved);
    return false;
  }
  if (!put_text(out, user_id, 16)) {
    fprintf(stderr, "ERROR: writing user_id %s\n", user_id);
    return false;
  }
  if (!put_le(out, record_id)) {
    fprintf(stderr, "ERROR: writing record_id %d\n", record_id);
    return false;
  }
  if (!put_le(out, length)) {
    fprintf(stderr, "ERROR: writing record_length_after_header %d\n", length);
    return false;
  }
  if (!put_text(out, description, 32)) {
    fprintf(stderr, "ERROR: writing description %s\n", description);
    return false;
  }
  return true;
}

// Output to a stream that cannot seek, and may not know its position (a
// pipe): counts the bytes that pass, so that the positions the chunk table
// records are known.
class ByteStreamOutCounting : public ByteStreamOut {
 public:
  explicit ByteStreamOutCounting(ByteStreamOut* target) : target(target), position(std::max<int64_t>(0, target->tell())) {}
  bool put_byte(uint8_t byte) override { return count(target->put_byte(byte), 1); }
  bool put_bytes(const uint8_t* bytes, uint32_t n) override { return count(target->put_bytes(bytes, n), n); }
  bool put_16bits_le(const uint8_t* bytes) override { return count(target->put_16bits_le(bytes), 2); }
  bool put_32bits_le(const uint8_t* bytes) override { return count(target->put_32bits_le(bytes), 4); }
  bool put_64bits_le(const uint8_t* bytes) override { return count(target->put_64bits_le(bytes), 8); }
  bool put_16bits_be(const uint8_t* bytes) override { return count(target->put_16bits_be(bytes), 2); }
  bool put_32bits_be(const uint8_t* bytes) override { return count(target->put_32bits_be(bytes), 4); }
  bool put_64bits_be(const uint8_t* bytes) override { return count(target->put_64bits_be(bytes), 8); }
  bool is_seekable() const override { return false; }
  int64_t tell() const override { return position; }
  bool seek(int64_t) override { return false; }
  bool seek_end() override { return false; }

 private:
  bool count(bool written, uint32_t n) {
    if (written) position += n;
    return written;
  }

  ByteStreamOut* target;
  int64_t position;
};

// Whether the header keeps its internal waveform data as an extended record
// that is written again (LAS 1.4).
bool keeps_waveform_record(const LASheader& h) {
  if (h.version_minor < 4 || h.evlrs == nullptr) return false;
  for (uint32_t i = 0; i < h.number_of_extended_variable_length_records; i++) {
    if (h.evlrs[i].has_user_id("LASF_Spec") && h.evlrs[i].record_id == 65535) return true;
  }
  return false;
}

bool same_items(uint16_t n, const LASitem* a, const LASitem* b) {
  for (uint16_t i = 0; i < n; i++) {
    if (a[i].type != b[i].type || a[i].size != b[i].size) return false;
  }
  return true;
}

}  // namespace

LASwriterLAS::LASwriterLAS() = default;

LASwriterLAS::~LASwriterLAS() {
  if (writer || stream) close(true);
}

bool LASwriterLAS::open(const char* file_name, const LASheader* header, uint32_t compressor,
                        int32_t requested_version, int32_t chunk_size, int32_t io_buffer_size) {
  if (file_name == nullptr) {
    fprintf(stderr, "ERROR: file name pointer is zero\n");
    return false;
  }
  if (stream) close();
  FILE* created = fopen(file_name, "wb");
  if (created == nullptr) {
    fprintf(stderr, "ERROR: cannot open file '%s' for write\n", file_name);
    return false;
  }
  if (setvbuf(created, nullptr, _IOFBF, io_buffer_size > 0 ? static_cast<size_t>(io_buffer_size) : 0) != 0) {
    fprintf(stderr, "WARNING: setvbuf() failed with buffer size %d\n", io_buffer_size);
  }
  file = created;
  delete_stream = true;
  return open(new ByteStreamOutFileLE(file), header, compressor, requested_version, chunk_size);
}

bool LASwriterLAS::open(FILE* output, const LASheader* header, uint32_t compressor, int32_t requested_version,
                        int32_t chunk_size) {
  if (output == nullptr) {
    fprintf(stderr, "ERROR: file pointer is zero\n");
    return false;
  }
  if (stream) close();
  // POSIX streams have no text mode, so standard output needs no switch.
  delete_stream = true;
  return open(new ByteStreamOutFileLE(output), header, compressor, requested_version, chunk_size);
}

bool LASwriterLAS::open(const LASheader* header, uint32_t compressor, int32_t requested_version, int32_t chunk_size) {
  if (stream) close();
  delete_stream = true;
  return open(new ByteStreamOutNil(), header, compressor, requested_version, chunk_size);
}

bool LASwriterLAS::open(ByteStreamOut* out, const LASheader* header, uint32_t compressor, int32_t requested_version,
                        int32_t chunk_size) {
  if (out == nullptr) {
    fprintf(stderr, "ERROR: ByteStreamOut pointer is zero\n");
    return false;
  }
  // A writer opened again first finishes what it was writing.
  if (stream && stream != out) {
    const bool delete_new = delete_stream;
    close();
    delete_stream = delete_new;
  }
  // From here on the stream is the writer's to delete (unless told otherwise).
  stream = out;
  opened = false;
  if (header == nullptr) {
    fprintf(stderr, "ERROR: LASheader pointer is zero\n");
    return false;
  }
  return open_stream(header, compressor, requested_version, chunk_size);
}

bool LASwriterLAS::can_patch() const {
  return stream && stream->is_seekable() && dynamic_cast<const ByteStreamOutNil*>(stream) == nullptr;
}

bool LASwriterLAS::open_stream(const LASheader* header, uint32_t compressor, int32_t requested_version,
                               int32_t chunk_size) {
  if (!header->check()) return false;

  quantizer = *static_cast<const LASquantizer*>(header);
  writer.reset();
  qopack.reset();
  checked_point = nullptr;
  checked_items = nullptr;
  inventory = LASinventory();
  p_count = 0;

  // The item list of the file and whether it is that of a standard format.
  bool standard = true;
  uint8_t format = header->point_data_format & 0x7F;
  uint16_t record_length = header->point_data_record_length;
  if (header->qopack) {
    Qopack described(*header->qopack);
    standard = described.is_standard(format, record_length);
    file_items.assign(described.items, described.items + described.num_items);
  } else {
    LASpoint layout;
    if (!layout.init(&quantizer, format, header->point_data_record_length)) return false;
    file_items.assign(layout.items, layout.items + layout.num_items);
  }
  num_items = static_cast<uint16_t>(file_items.size());
  items = file_items.data();
  // What is written is the sum of the item sizes, which can differ from the
  // header's record length (a length too small for its format).
  uint32_t item_bytes = 0;
  for (uint16_t i = 0; i < num_items; i++) item_bytes += items[i].size;
  record_length = static_cast<uint16_t>(item_bytes);

  const bool compressing = compressor != Qopack::COMPRESSOR_NONE;
  if (compressing && format > 5 && compressor != Qopack::COMPRESSOR_LAYERED_CHUNKED) {
    fprintf(stderr, "ERROR: point type %d requires using \"native LAS 1.4 extension\" of Qopack\n", format);
    return false;
  }

  if (compressing || !standard) {
    qopack = std::make_unique<Qopack>();
    if (!qopack->setup(num_items, items, static_cast<uint16_t>(compressor))) {
      fprintf(stderr, "ERROR: point type %d of size %d not supported (with Qopack)\n", format, record_length);
      return false;
    }
    if (chunk_size >= 0 && !qopack->set_chunk_size(static_cast<uint32_t>(chunk_size))) {
      fprintf(stderr, "ERROR: %s\n", qopack->get_error());
      return false;
    }
    if (compressing) {
      if (chunk_size == 0 && format <= 5) {
        fprintf(stderr,
                "ERROR: adaptive chunking is depricated for point type %d.\n       only available for new LAS 1.4 "
                "point types 6 or higher.\n",
                format);
        return false;
      }
      if (!qopack->request_version(static_cast<uint16_t>(requested_version ? requested_version : 2))) {
        fprintf(stderr, "ERROR: %s\n", qopack->get_error());
        return false;
      }
    } else if (!qopack->request_version(0)) {
      fprintf(stderr, "ERROR: %s\n", qopack->get_error());
      return false;
    }
    num_items = qopack->num_items;
    items = qopack->items;
  }
  // Waveform data stored after the points of a LAS 1.3 file are not held by
  // the header, so the file written would point into nothing.
  internal_waveforms = header->version_minor >= 3 && (header->global_encoding & 2) &&
                       header->start_of_waveform_data_packet_record != 0;
  if (internal_waveforms && !keeps_waveform_record(*header)) {
    fprintf(stderr,
            "ERROR: cannot keep the waveform data stored inside the file (header->start_of_waveform_data_packet_record "
            "is %" PRIu64 ")\n",
            header->start_of_waveform_data_packet_record);
    return false;
  }

  writer = std::make_unique<LASchunkWriter>();
  if (!writer->setup(num_items, items, qopack.get())) {
    if (qopack) {
      fprintf(stderr, "ERROR: point type %d of size %d not supported (with Qopack)\n", format, record_length);
    } else {
      fprintf(stderr, "ERROR: point type %d of size %d not supported\n", format, record_length);
    }
    return false;
  }
  point_data_format = standard ? format : 127;
  compressed = compressing;

  // Positions in the file must be known even on a pipe.
  counting.reset();
  if (!stream->is_seekable()) counting = std::make_unique<ByteStreamOutCounting>(stream);

  header_start_position = sink()->tell();
  if (!write_header(*header, qopack.get())) return false;

  if (!writer->init(sink())) {
    fprintf(stderr, "ERROR: cannot start writing points\n");
    return false;
  }
  npoints = static_cast<int64_t>(header->get_number_of_point_records());
  p_count = 0;
  opened = true;
  return true;
}

uint32_t LASwriterLAS::legacy_count(uint64_t count, bool warn) const {
  if (count <= UINT32_MAX) return static_cast<uint32_t>(count);
  if (version_minor >= 4) return 0;
  if (warn) fprintf(stderr, "WARNING: too many points in LAS %d.%d file. limit is %u.\n", 1, version_minor, UINT32_MAX);
  return UINT32_MAX;
}

bool LASwriterLAS::write_header(const LASheader& h, const Qopack* descriptor) {
  ByteStreamOut& out = *sink();

  uint8_t version_major = h.version_major;
  if (version_major != 1) {
    fprintf(stderr, "WARNING: header->version_major is %d. writing 1 instead.\n", version_major);
    version_major = 1;
  }
  version_minor = h.version_minor;
  if (version_minor > 4) {
    fprintf(stderr, "WARNING: header->version_minor is %d. writing 4 instead.\n", version_minor);
    version_minor = 4;
  }
  const int layout = version_minor >= 4 ? 2 : version_minor == 3 ? 1 : 0;
  if (h.user_data_in_header_size > 0 && h.user_data_in_header == nullptr) {
    fprintf(stderr, "ERROR: there should be %d bytes of data in header->user_data_in_header\n",
            static_cast<int>(h.user_data_in_header_size));
    return false;
  }
  if (h.number_of_variable_length_records > 0 && h.vlrs == nullptr) {
    fprintf(stderr, "ERROR: there should be %d records in header->vlrs\n",
            static_cast<int>(h.number_of_variable_length_records));
    return false;
  }
  const uint64_t header_bytes = uint64_t(layout_bytes[layout]) + h.user_data_in_header_size;
  uint64_t offset = header_bytes;
  uint32_t number_of_vlrs = h.number_of_variable_length_records;
  for (uint32_t i = 0; i < h.number_of_variable_length_records; i++) {
    offset += LASvlr::header_bytes + h.vlrs[i].record_length_after_header;
  }
  if (descriptor) {
    offset += LASvlr::header_bytes + descriptor->get_payload_size();
    number_of_vlrs++;
  }
  if (h.vlr_lastiling) {
    offset += LASvlr::header_bytes + LASvlr_lastiling::payload_bytes;
    number_of_vlrs++;
  }
  if (h.vlr_lasoriginal) {
    offset += LASvlr::header_bytes + LASvlr_lasoriginal::payload_bytes;
    number_of_vlrs++;
  }
  offset += h.user_data_after_header_size;
  if (header_bytes > UINT16_MAX) {
    fprintf(stderr, "ERROR: writing header->header_size\n");
    return false;
  }
  if (offset > UINT32_MAX) {
    fprintf(stderr, "ERROR: writing header->offset_to_point_data\n");
    return false;
  }
  header_size = static_cast<uint16_t>(header_bytes);

  struct Field {
    const char* name;
    const void* value;
    uint32_t bytes;
    bool raw;
  };
  const uint32_t offset_to_point_data = static_cast<uint32_t>(offset);
  // Bit 7 marks compressed points.
  const uint8_t format_byte = static_cast<uint8_t>(point_data_format | (compressed ? 0x80 : 0));
  const uint16_t record_length = static_cast<uint16_t>(writer->get_point_size());
  const Field head[] = {
      {"file_signature", h.file_signature, 4, true},
      {"file_source_ID", &h.file_source_ID, 2, false},
      {"global_encoding", &h.global_encoding, 2, false},
      {"project_ID_GUID_data_1", &h.project_ID_GUID_data_1, 4, false},
      {"project_ID_GUID_data_2", &h.project_ID_GUID_data_2, 2, false},
      {"project_ID_GUID_data_3", &h.project_ID_GUID_data_3, 2, false},
      {"project_ID_GUID_data_4", h.project_ID_GUID_data_4, 8, true},
      {"version_major", &version_major, 1, true},
      {"version_minor", &version_minor, 1, true},
      {"system_identifier", h.system_identifier, 32, true},
      {"generating_software", h.generating_software, 32, true},
      {"file_creation_day", &h.file_creation_day, 2, false},
      {"file_creation_year", &h.file_creation_year, 2, false},
      {"header_size", &header_size, 2, false},
      {"offset_to_point_data", &offset_to_point_data, 4, false},
      {"number_of_variable_length_records", &number_of_vlrs, 4, false},
      {"point_data_format", &format_byte, 1, true},
      {"point_data_record_length", &record_length, 2, false},
      {"number_of_point_records", &h.number_of_point_records, 4, false},
  };
  for (const Field& f : head) {
    bool ok;
    if (f.raw) {
      ok = out.put_bytes(static_cast<const uint8_t*>(f.value), f.bytes);
    } else if (f.bytes == 2) {
      ok = out.put_16bits_le(static_cast<const uint8_t*>(f.value));
    } else {
      ok = out.put_32bits_le(static_cast<const uint8_t*>(f.value));
    }
    if (!ok) {
      fprintf(stderr, "ERROR: writing header->%s\n", f.name);
      return false;
    }
  }
  for (int i = 0; i < 5; i++) {
    if (!put_le(out, h.number_of_points_by_return[i])) {
      fprintf(stderr, "ERROR: writing header->number_of_points_by_return[%d]\n", i);
      return false;
    }
  }
  const struct {
    const char* name;
    double value;
  } reals[] = {
      {"x_scale_factor", h.x_scale_factor}, {"y_scale_factor", h.y_scale_factor},
      {"z_scale_factor", h.z_scale_factor}, {"x_offset", h.x_offset},
      {"y_offset", h.y_offset},             {"z_offset", h.z_offset},
      {"max_x", h.max_x},                   {"min_x", h.min_x},
      {"max_y", h.max_y},                   {"min_y", h.min_y},
      {"max_z", h.max_z},                   {"min_z", h.min_z},
  };
  for (const auto& f : reals) {
    if (!put_le(out, f.value)) {
      fprintf(stderr, "ERROR: writing header->%s\n", f.name);
      return false;
    }
  }

  writing_las_1_4 = false;
  writing_new_point_type = false;
  if (version_minor >= 3) {
    // Kept waveform data get their new start when the extended records are
    // written.
    if (h.start_of_waveform_data_packet_record != 0 && !internal_waveforms) {
      fprintf(stderr, "WARNING: header->start_of_waveform_data_packet_record is %" PRId64 ". writing 0 instead.\n",
              static_cast<int64_t>(h.start_of_waveform_data_packet_record));
    }
    if (!put_le(out, uint64_t(0))) {
      fprintf(stderr, "ERROR: writing start_of_waveform_data_packet_record\n");
      return false;
    }
  }
  if (version_minor >= 4) {
    writing_las_1_4 = true;
    writing_new_point_type = point_data_format > 5;
    start_of_first_extended_variable_length_record = h.start_of_first_extended_variable_length_record;
    number_of_extended_variable_length_records = h.number_of_extended_variable_length_records;
    evlrs = h.evlrs;
    if (!put_le(out, start_of_first_extended_variable_length_record)) {
      fprintf(stderr, "ERROR: writing header->start_of_first_extended_variable_length_record\n");
      return false;
    }
    if (!put_le(out, number_of_extended_variable_length_records)) {
      fprintf(stderr, "ERROR: writing header->number_of_extended_variable_length_records\n");
      return false;
    }
    if (!put_le(out, h.get_extended_number_of_point_records())) {
      fprintf(stderr, "ERROR: writing header->extended_number_of_point_records\n");
      return false;
    }
    for (int i = 0; i < 15; i++) {
      if (!put_le(out, h.get_extended_number_of_points_by_return(i + 1))) {
        fprintf(stderr, "ERROR: writing header->extended_number_of_points_by_return[%d]\n", i);
        return false;
      }
    }
  } else {
    start_of_first_extended_variable_length_record = 0;
    number_of_extended_variable_length_records = 0;
    evlrs = nullptr;
  }

  if (h.user_data_in_header_size > 0 && !out.put_bytes(h.user_data_in_header, h.user_data_in_header_size)) {
    fprintf(stderr, "ERROR: writing %d bytes of data from header->user_data_in_header\n",
            static_cast<int>(h.user_data_in_header_size));
    return false;
  }

  for (uint32_t i = 0; i < h.number_of_variable_length_records; i++) {
    const LASvlr& vlr = h.vlrs[i];
    const int index = static_cast<int>(i);
    if (!put_le(out, vlr.reserved)) {
      fprintf(stderr, "ERROR: writing header->vlrs[%d].reserved\n", index);
      return false;
    }
    if (!out.put_bytes(reinterpret_cast<const uint8_t*>(vlr.user_id), 16)) {
      fprintf(stderr, "ERROR: writing header->vlrs[%d].user_id\n", index);
      return false;
    }
    if (!put_le(out, vlr.record_id)) {
      fprintf(stderr, "ERROR: writing header->vlrs[%d].record_id\n", index);
      return false;
    }
    if (!put_le(out, vlr.record_length_after_header)) {
      fprintf(stderr, "ERROR: writing header->vlrs[%d].record_length_after_header\n", index);
      return false;
    }
    if (!out.put_bytes(reinterpret_cast<const uint8_t*>(vlr.description), 32)) {
      fprintf(stderr, "ERROR: writing header->vlrs[%d].description\n", index);
      return false;
    }
    if (vlr.record_length_after_header == 0) continue;
    if (vlr.data == nullptr) {
      fprintf(stderr, "ERROR: there should be %d bytes of data in header->vlrs[%d].data\n",
              vlr.record_length_after_header, index);
      return false;
    }
    if (!out.put_bytes(vlr.data, vlr.record_length_after_header)) {
      fprintf(stderr, "ERROR: writing %d bytes of data from header->vlrs[%d].data\n", vlr.record_length_after_header,
              index);
      return false;
    }
  }

  if (descriptor && !descriptor->write_vlr(out)) return false;

  if (h.vlr_lastiling) {
    const std::string description = h.vlr_lastiling->get_description();
    if (!put_suite_vlr_header(out, LASvlr_lastiling::user_id, LASvlr_lastiling::record_id,
                              LASvlr_lastiling::payload_bytes, description.c_str())) {
      return false;
    }
    if (!h.vlr_lastiling->write(out)) return false;
  }
  if (h.vlr_lasoriginal) {
    if (!put_suite_vlr_header(out, LASvlr_lasoriginal::user_id, LASvlr_lasoriginal::record_id,
                              LASvlr_lasoriginal::payload_bytes, LASvlr_lasoriginal::description)) {
      return false;
    }
    if (!h.vlr_lasoriginal->write(out)) return false;
  }

  if (h.user_data_after_header_size > 0) {
    if (h.user_data_after_header == nullptr) {
      fprintf(stderr, "ERROR: there should be %d bytes of data in header->user_data_after_header\n",
              static_cast<int>(h.user_data_after_header_size));
      return false;
    }
    if (!out.put_bytes(h.user_data_after_header, h.user_data_after_header_size)) {
      fprintf(stderr, "ERROR: writing %d bytes of data from header->user_data_after_header\n",
              static_cast<int>(h.user_data_after_header_size));
      return false;
    }
  }
  return true;
}

bool LASwriterLAS::write_point(const LASpoint* point) {
  if (point != checked_point || point->items != checked_items) {
    // The item pointers of the point are used as the file's items: a point
    // with another list would be read beyond its fields.
    if (writer == nullptr || point == nullptr || point->num_items != num_items ||
        !same_items(num_items, point->items, items)) {
      fprintf(stderr, "ERROR: point items do not match the items of the file being written\n");
      return false;
    }
    checked_point = point;
    checked_items = point->items;
  }
  p_count++;
  return writer->write(point->point);
}

bool LASwriterLAS::chunk() { return writer && writer->chunk(); }

bool LASwriterLAS::update_header(const LASheader* header, bool use_inventory, bool update_extra_bytes) {
  if (header == nullptr) {
    fprintf(stderr, "ERROR: header pointer is zero\n");
    return false;
  }
  if (stream == nullptr) {
    fprintf(stderr, "ERROR: stream pointer is zero\n");
    return false;
  }
  if (!stream->is_seekable()) {
    fprintf(stderr, "WARNING: stream not seekable. cannot update header.\n");
    return false;
  }
  // The counting sink holds nothing that could be updated, and writing into
  // it would only inflate its count.
  if (!can_patch()) return true;
  ByteStreamOut& out = *stream;
  if (!out.seek(header_start_position + 107)) {
    fprintf(stderr, "ERROR: updating header->number_of_point_records\n");
    return false;
  }
  // Only a LAS 1.4 file has 64-bit counts to hold what its legacy counts
  // leave at 0; in older files the legacy counts are the only ones.
  const bool legacy_counts = !writing_new_point_type;
  if (use_inventory) {
    const uint64_t count = static_cast<uint64_t>(inventory.extended_number_of_point_records);
    const uint32_t number = legacy_counts ? legacy_count(count, true) : 0;
    if (!put_le(out, number)) {
      fprintf(stderr, "ERROR: updating inventory.number_of_point_records\n");
      return false;
    }
    npoints = inventory.extended_number_of_point_records;
    for (int i = 0; i < 5; i++) {
      const uint64_t by_return = static_cast<uint64_t>(inventory.extended_number_of_points_by_return[i + 1]);
      const uint32_t value = legacy_counts ? legacy_count(by_return, false) : 0;
      if (!put_le(out, value)) {
        fprintf(stderr, "ERROR: updating inventory.number_of_points_by_return[%d]\n", i);
        return false;
      }
    }
    if (!out.seek(header_start_position + 179)) {
      fprintf(stderr, "ERROR: updating inventory.max_X\n");
      return false;
    }
    const struct {
      const char* name;
      double value;
    } bounds[] = {
        {"max_X", quantizer.get_x(inventory.max_X)}, {"min_X", quantizer.get_x(inventory.min_X)},
        {"max_Y", quantizer.get_y(inventory.max_Y)}, {"min_Y", quantizer.get_y(inventory.min_Y)},
        {"max_Z", quantizer.get_z(inventory.max_Z)}, {"min_Z", quantizer.get_z(inventory.min_Z)},
    };
    for (const auto& b : bounds) {
      if (!put_le(out, b.value)) {
        fprintf(stderr, "ERROR: updating inventory.%s\n", b.name);
        return false;
      }
    }
    if (version_minor >= 4) {
      if (!out.seek(header_start_position + 247) || !put_le(out, count)) {
        fprintf(stderr, "ERROR: updating header->extended_number_of_point_records\n");
        return false;
      }
      for (int i = 0; i < 15; i++) {
        if (!put_le(out, static_cast<uint64_t>(inventory.extended_number_of_points_by_return[i + 1]))) {
          fprintf(stderr, "ERROR: updating header->extended_number_of_points_by_return[%d]\n", i);
          return false;
        }
      }
    }
  } else {
    if (!put_le(out, legacy_counts ? header->number_of_point_records : uint32_t(0))) {
      fprintf(stderr, "ERROR: updating header->number_of_point_records\n");
      return false;
    }
    npoints = static_cast<int64_t>(header->get_number_of_point_records());
    for (int i = 0; i < 5; i++) {
      if (!put_le(out, legacy_counts ? header->number_of_points_by_return[i] : uint32_t(0))) {
        fprintf(stderr, "ERROR: updating header->number_of_points_by_return[%d]\n", i);
        return false;
      }
    }
    if (!out.seek(header_start_position + 179)) {
      fprintf(stderr, "ERROR: updating header->max_x\n");
      return false;
    }
    const struct {
      const char* name;
      double value;
    } bounds[] = {
        {"max_x", header->max_x}, {"min_x", header->min_x}, {"max_y", header->max_y},
        {"min_y", header->min_y}, {"max_z", header->max_z}, {"min_z", header->min_z},
    };
    for (const auto& b : bounds) {
      if (!put_le(out, b.value)) {
        fprintf(stderr, "ERROR: updating header->%s\n", b.name);
        return false;
      }
    }
    if (version_minor >= 3) {
      if (header->start_of_waveform_data_packet_record != 0 && !internal_waveforms) {
        fprintf(stderr, "WARNING: header->start_of_waveform_data_packet_record is %" PRId64 ". writing 0 instead.\n",
                static_cast<int64_t>(header->start_of_waveform_data_packet_record));
      }
      if (!put_le(out, uint64_t(0))) {
        fprintf(stderr, "ERROR: updating start_of_waveform_data_packet_record\n");
        return false;
      }
    }
    if (version_minor >= 4) {
      // The extended records written at close are those of this header.
      start_of_first_extended_variable_length_record = header->start_of_first_extended_variable_length_record;
      number_of_extended_variable_length_records = header->number_of_extended_variable_length_records;
      evlrs = header->evlrs;
      if (!out.seek(header_start_position + 235) || !put_le(out, start_of_first_extended_variable_length_record)) {
        fprintf(stderr, "ERROR: updating header->start_of_first_extended_variable_length_record\n");
        return false;
      }
      if (!put_le(out, number_of_extended_variable_length_records)) {
        fprintf(stderr, "ERROR: updating header->number_of_extended_variable_length_records\n");
        return false;
      }
      if (!put_le(out, header->get_extended_number_of_point_records())) {
        fprintf(stderr, "ERROR: updating header->extended_number_of_point_records\n");
        return false;
      }
      for (int i = 0; i < 15; i++) {
        if (!put_le(out, header->get_extended_number_of_points_by_return(i + 1))) {
          fprintf(stderr, "ERROR: updating header->extended_number_of_points_by_return[%d]\n", i);
          return false;
        }
      }
    }
  }
  if (!out.seek_end()) {
    fprintf(stderr, "ERROR: cannot seek to the end of the stream\n");
    return false;
  }

  if (update_extra_bytes && header->number_attributes > 0) {
    int64_t position = header_start_position + header_size;
    uint32_t i = 0;
    for (; i < header->number_of_variable_length_records; i++) {
      const LASvlr& vlr = header->vlrs[i];
      if (vlr.has_user_id("LASF_Spec") && vlr.record_id == 4) break;
      position += LASvlr::header_bytes + vlr.record_length_after_header;
    }
    if (i == header->number_of_variable_length_records) {
      fprintf(stderr, "WARNING: could not find extra bytes VLR for update\n");
    } else {
      const LASvlr& vlr = header->vlrs[i];
      if (vlr.data && (!out.seek(position + LASvlr::header_bytes) ||
                       !out.put_bytes(vlr.data, vlr.record_length_after_header) || !out.seek_end())) {
        fprintf(stderr, "ERROR: writing %d bytes of data from header->vlrs[%d].data\n", vlr.record_length_after_header,
                static_cast<int>(i));
        return false;
      }
    }
  }
  return true;
}

bool LASwriterLAS::write_evlrs() {
  ByteStreamOut& out = *sink();
  const int64_t position = out.tell();
  int64_t waveform_position = -1;
  for (uint32_t i = 0; i < number_of_extended_variable_length_records; i++) {
    const LASevlr& evlr = evlrs[i];
    const int index = static_cast<int>(i);
    if (internal_waveforms && waveform_position < 0 && evlr.has_user_id("LASF_Spec") && evlr.record_id == 65535) {
      waveform_position = out.tell();
    }
    if (!put_le(out, evlr.reserved)) {
      fprintf(stderr, "ERROR: writing evlrs[%d].reserved\n", index);
      return false;
    }
    if (!out.put_bytes(reinterpret_cast<const uint8_t*>(evlr.user_id), 16)) {
      fprintf(stderr, "ERROR: writing evlrs[%d].user_id\n", index);
      return false;
    }
    if (!put_le(out, evlr.record_id)) {
      fprintf(stderr, "ERROR: writing evlrs[%d].record_id\n", index);
      return false;
    }
    if (!put_le(out, evlr.record_length_after_header)) {
      fprintf(stderr, "ERROR: writing evlrs[%d].record_length_after_header\n", index);
      return false;
    }
    if (!out.put_bytes(reinterpret_cast<const uint8_t*>(evlr.description), 32)) {
      fprintf(stderr, "ERROR: writing evlrs[%d].description\n", index);
      return false;
    }
    if (evlr.record_length_after_header == 0) continue;
    if (evlr.data == nullptr) {
      fprintf(stderr, "ERROR: there should be %" PRIu64 " bytes of data in evlrs[%d].data\n",
              evlr.record_length_after_header, index);
      return false;
    }
    if (!put_payload(out, evlr.data, evlr.record_length_after_header)) {
      fprintf(stderr, "ERROR: writing %" PRIu64 " bytes of data from evlrs[%d].data\n", evlr.record_length_after_header,
              index);
      return false;
    }
  }
  const uint64_t start = static_cast<uint64_t>(position - header_start_position);
  if (start != start_of_first_extended_variable_length_record && can_patch()) {
    if (!out.seek(header_start_position + 235) || !put_le(out, start) || !out.seek_end()) {
      fprintf(stderr, "ERROR: updating header->start_of_first_extended_variable_length_record\n");
      return false;
    }
  }
  if (waveform_position >= 0 && can_patch()) {
    const uint64_t waveforms = static_cast<uint64_t>(waveform_position - header_start_position);
    if (!out.seek(header_start_position + 227) || !put_le(out, waveforms) || !out.seek_end()) {
      fprintf(stderr, "ERROR: updating header->start_of_waveform_data_packet_record\n");
      return false;
    }
  }
  return true;
}

int64_t LASwriterLAS::close(bool update_npoints) {
  // After a failed open nothing more goes into the stream.
  bool ok = opened;
  opened = false;
  if (ok && p_count != npoints && (npoints != 0 || !update_npoints)) {
    fprintf(stderr, "WARNING: written %" PRId64 " points but expected %" PRId64 " points\n", p_count, npoints);
  }
  if (writer) {
    if (ok && !writer->done()) {
      fprintf(stderr, "ERROR: writing %" PRId64 " points\n", p_count);
      ok = false;
    }
    writer.reset();
  }
  if (ok && stream && writing_las_1_4 && number_of_extended_variable_length_records > 0) {
    if (evlrs == nullptr) {
      fprintf(stderr, "ERROR: there should be %u records in evlrs\n", number_of_extended_variable_length_records);
      ok = false;
    } else {
      ok = write_evlrs();
    }
  }
  if (ok && stream && update_npoints && npoints != p_count) {
    if (can_patch()) {
      const uint32_t number = writing_new_point_type ? 0 : legacy_count(static_cast<uint64_t>(p_count), false);
      bool patched = stream->seek(header_start_position + 107) && put_le(*stream, number);
      if (patched && writing_las_1_4) {
        patched = stream->seek(header_start_position + 247) && put_le(*stream, static_cast<uint64_t>(p_count));
      }
      if (!patched || !stream->seek_end()) {
        fprintf(stderr, "ERROR: updating header->number_of_point_records\n");
        ok = false;
      }
    } else if (!stream->is_seekable()) {
      fprintf(stderr, "WARNING: stream not seekable. cannot update header from %" PRId64 " to %" PRId64 " points.\n",
              npoints, p_count);
    }
  }
  int64_t bytes = 0;
  if (stream) {
    bytes = sink()->tell() - header_start_position;
    counting.reset();
    if (delete_stream) delete stream;
    stream = nullptr;
  }
  if (file) {
    if (fclose(file) != 0) {
      fprintf(stderr, "ERROR: closing the output file\n");
      ok = false;
    }
    file = nullptr;
  }
  npoints = p_count;
  p_count = 0;
  return ok ? bytes : 0;
}
