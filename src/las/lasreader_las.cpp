#include "las/lasreader_las.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "compression/laschunkreader.h"
#include "compression/qopack.h"
#include "las/bytestreamin.h"
#include "las/bytestreamin_file.h"

namespace {

// Payloads are read in steps of this many bytes when the stream cannot tell
// how much it holds, so that a bogus length costs at most one step of memory
// beyond what the stream really delivers.
constexpr uint32_t payload_read_step = 1 << 20;
// Extended records above this size (waveform data) are skipped rather than
// held in memory.
constexpr uint64_t max_evlr_payload_bytes = uint64_t(1) << 30;

bool get_raw(ByteStreamIn& in, void* destination, uint32_t bytes) {
  try {
    in.get_bytes(static_cast<uint8_t*>(destination), bytes);
  } catch (int) {
    return false;
  }
  return true;
}

template <typename T>
bool get_le(ByteStreamIn& in, T& value) {
  static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8, "fixed-width field");
  uint8_t* bytes = reinterpret_cast<uint8_t*>(&value);
  try {
    if constexpr (sizeof(T) == 1) {
      *bytes = static_cast<uint8_t>(in.get_byte());
    } else if constexpr (sizeof(T) == 2) {
      in.get_16bits_le(bytes);
    } else if constexpr (sizeof(T) == 4) {
      in.get_32bits_le(bytes);
    } else {
      in.get_64bits_le(bytes);
    }
  } catch (int) {
    return false;
  }
  return true;
}

// Reads `size` bytes into a new malloc'ed buffer that carries one extra zero
// byte, so that text payloads (WKT, GeoAscii) are always terminated. When the
// stream can tell how many bytes remain (`remaining` >= 0) a longer request
// fails before anything is allocated; otherwise the buffer grows in steps as
// the bytes arrive. False (and null) when the bytes are not there.
bool read_payload(ByteStreamIn& in, uint64_t size, int64_t remaining, uint8_t*& data) {
  data = nullptr;
  if (remaining >= 0 && size > static_cast<uint64_t>(remaining)) return false;
  if (size >= SIZE_MAX) return false;
  const uint64_t first = remaining >= 0 ? size : std::min<uint64_t>(size, payload_read_step);
  uint8_t* buffer = static_cast<uint8_t*>(malloc(first + 1));
  if (buffer == nullptr) return false;
  uint64_t done = 0;
  uint64_t allocated = first;
  while (done < size) {
    if (done == allocated) {
      allocated = std::min<uint64_t>(size, allocated + payload_read_step);
      uint8_t* grown = static_cast<uint8_t*>(realloc(buffer, allocated + 1));
      if (grown == nullptr) {
        free(buffer);
        return false;
      }
      buffer = grown;
    }
    const uint32_t step = static_cast<uint32_t>(std::min<uint64_t>(allocated - done, payload_read_step));
    if (!get_raw(in, buffer + done, step)) {
      free(buffer);
      return false;
    }
    done += step;
  }
  buffer[size] = 0;
  data = buffer;
  return true;
}

// Skips `size` bytes by reading them (the stream may not seek).
bool skip_payload(ByteStreamIn& in, uint64_t size) {
  uint8_t scratch[4096];
  while (size > 0) {
    const uint32_t step = static_cast<uint32_t>(std::min<uint64_t>(size, sizeof(scratch)));
    if (!get_raw(in, scratch, step)) return false;
    size -= step;
  }
  return true;
}

// Half away from zero into 32 bits, saturating.
int32_t round_coordinate(double v) {
  const int64_t r = LASquantizer::round64(v);
  if (r < INT32_MIN) return INT32_MIN;
  if (r > INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(r);
}

// Grows a malloc'ed record array to hold at least `needed` entries, at most
// `limit`. False when it cannot.
template <typename Record>
bool grow_records(Record*& records, uint32_t& capacity, uint32_t needed, uint32_t limit) {
  if (needed <= capacity) return true;
  uint32_t next = capacity ? capacity : 16;
  while (next < needed) next = next > UINT32_MAX / 2 ? UINT32_MAX : next * 2;
  if (next > limit) next = limit;
  Record* grown = static_cast<Record*>(realloc(records, sizeof(Record) * static_cast<size_t>(next)));
  if (grown == nullptr) return false;
  records = grown;
  capacity = next;
  return true;
}

// What the records of the two lists have in common, for the classification.
struct RecordView {
  const char* user_id;  // 16 bytes
  uint16_t record_id;
  uint64_t length;
  uint8_t* data;
};

// Links a kept record into the header's recognised pointers and warns about
// what looks wrong, in the wording of the list it came from.
void classify_record(LASheader& header, const RecordView& r, bool extended) {
  const char* records = extended ? "extended variable length records" : "variable length records";
  if (strncmp(r.user_id, "LASF_Projection", 16) == 0) {
    if (r.data == nullptr) {
      if (extended) {
        fprintf(stderr, "WARNING: no payload for LASF_Projection EVLR with record_id %d.\n", r.record_id);
      } else {
        fprintf(stderr, "WARNING: no payload for LASF_Projection VLR with record_id %d.\n", r.record_id);
      }
      return;
    }
    switch (r.record_id) {
      case 2111:
        if (header.vlr_geo_ogc_wkt_math) fprintf(stderr, "WARNING: %s contain more than one WKT OGC MATH TRANSFORM\n", records);
        header.vlr_geo_ogc_wkt_math = reinterpret_cast<char*>(r.data);
        return;
      case 2112:
        if (header.vlr_geo_ogc_wkt) fprintf(stderr, "WARNING: %s contain more than one WKT OGC COORDINATE SYSTEM\n", records);
        header.vlr_geo_ogc_wkt = reinterpret_cast<char*>(r.data);
        return;
      case 34735: {
        if (header.vlr_geo_keys) fprintf(stderr, "WARNING: %s contain more than one GeoKeyDirectoryTag\n", records);
        const char* keys = extended ? "evlr_geo_keys" : "vlr_geo_keys";
        // The key entries are read through vlr_geo_key_entries by number_of_keys,
        // so a directory longer than its payload is not linked.
        LASvlr_geo_keys head = {};
        if (r.length >= sizeof(head)) memcpy(&head, r.data, sizeof(head));
        if (r.length < sizeof(head) || r.length < 8 * (uint64_t(head.number_of_keys) + 1)) {
          fprintf(stderr, "WARNING: GeoKeyDirectoryTag of %" PRIu64 " bytes is too short for its %d keys. ignoring it.\n",
                  r.length, head.number_of_keys);
          header.vlr_geo_keys = nullptr;
          header.vlr_geo_key_entries = nullptr;
          return;
        }
        header.vlr_geo_keys = reinterpret_cast<LASvlr_geo_keys*>(r.data);
        header.vlr_geo_key_entries = reinterpret_cast<LASvlr_key_entry*>(r.data + 8);
        if (head.key_directory_version != 1) {
          fprintf(stderr, "WARNING: wrong %s->key_directory_version: %d != 1\n", keys, head.key_directory_version);
        }
        if (head.key_revision != 1) {
          fprintf(stderr, "WARNING: wrong %s->key_revision: %d != 1\n", keys, head.key_revision);
        }
        if (head.minor_revision != 0) {
          fprintf(stderr, "WARNING: wrong %s->minor_revision: %d != 0\n", keys, head.minor_revision);
        }
        return;
      }
      case 34736:
        if (header.vlr_geo_double_params) {
          fprintf(stderr, "WARNING: %s contain more than one %s\n", records,
                  extended ? "GeoF64ParamsTag" : "GeoDoubleParamsTag");
        }
        header.vlr_geo_double_params = reinterpret_cast<double*>(r.data);
        return;
      case 34737:
        if (header.vlr_geo_ascii_params) fprintf(stderr, "WARNING: %s contain more than one GeoAsciiParamsTag\n", records);
        header.vlr_geo_ascii_params = reinterpret_cast<char*>(r.data);
        return;
      default:
        if (extended) {
          fprintf(stderr, "WARNING: unknown LASF_Projection EVLR with record_id %d.\n", r.record_id);
        } else {
          fprintf(stderr, "WARNING: unknown LASF_Projection VLR with record_id %d.\n", r.record_id);
        }
        return;
    }
  }
  if (strncmp(r.user_id, "LASF_Spec", 16) == 0) {
    if (r.data == nullptr) {
      fprintf(stderr, "WARNING: no payload for LASF_Spec (not specification-conform).\n");
      return;
    }
    if (r.record_id == 0) {
      if (header.vlr_classification) fprintf(stderr, "WARNING: %s contain more than one ClassificationLookup\n", records);
      header.vlr_classification = reinterpret_cast<LASvlr_classification*>(r.data);
    } else if (r.record_id == 4) {
      const uint64_t count = r.length / sizeof(LASattribute);
      if (count > static_cast<uint64_t>(LASattributer::max_attributes) ||
          !header.init_attributes(static_cast<int32_t>(count), reinterpret_cast<const LASattribute*>(r.data))) {
        fprintf(stderr, "WARNING: cannot use the %" PRIu64 " extra bytes descriptors\n", count);
        return;
      }
      for (int32_t i = 0; i < header.number_attributes; i++) {
        const LASattribute& a = header.attributes[i];
        if (a.data_type > 10) {
          fprintf(stderr, "WARNING: data type %d of attribute %d ('%.32s') is deprecated\n", a.data_type, i, a.name);
        }
      }
    } else if (r.record_id >= 100 && r.record_id <= 354) {
      const int index = r.record_id - 99;
      if (header.vlr_wave_packet_descr && header.vlr_wave_packet_descr[index]) {
        if (extended) {
          fprintf(stderr, "WARNING: extended variable length records defines wave packet descr %d more than once\n", index);
        } else {
          fprintf(stderr, "WARNING: variable length records defines wave packet descr %d more than once\n", index);
        }
      }
      if (r.length != LASvlr_wave_packet_descr::payload_bytes) {
        fprintf(stderr, "WARNING: variable length record payload for wave packet descr %d is %d instead of 26 bytes\n",
                index, static_cast<int>(r.length));
      }
      // A shorter payload cannot be viewed as a descriptor.
      if (r.length < LASvlr_wave_packet_descr::payload_bytes) return;
      auto* descr = reinterpret_cast<LASvlr_wave_packet_descr*>(r.data);
      if (!header.set_wave_packet_descr(static_cast<uint8_t>(index), descr)) return;
      const int bits = descr->get_bits_per_sample();
      if (bits != 8 && bits != 16) {
        fprintf(stderr, "WARNING: bits per sample for wave packet descr %d is %d instead of 8 or 16\n", index, bits);
      }
      const uint32_t samples = descr->get_number_of_samples();
      if (samples == 0) {
        fprintf(stderr, "WARNING: number of samples for wave packet descr %d is zero\n", index);
      } else if (samples > 8096) {
        fprintf(stderr, "WARNING: number of samples of %u for wave packet descr %d is with unusually large\n", samples,
                index);
      }
      if (descr->get_temporal_spacing() == 0) {
        fprintf(stderr, "WARNING: temporal spacing for wave packet descr %d is zero\n", index);
      }
    }
  }
}

bool is_user_id(const char* user_id, const char* name) { return strncmp(user_id, name, 16) == 0; }

}  // namespace

LASreaderLAS::LASreaderLAS() = default;

LASreaderLAS::~LASreaderLAS() { release(); }

void LASreaderLAS::release() {
  if (reader || stream || file || file_name) close(true);
}

const char* LASreaderLAS::get_display_name() const {
  if (file_name) return file_name;
  return file_is_stdin ? "stdin" : "stream";
}

bool LASreaderLAS::open(const char* name, int32_t io_buffer_size, bool peek_only, uint32_t decompress_selective) {
  if (name == nullptr) {
    fprintf(stderr, "ERROR: file name pointer is zero\n");
    return false;
  }
  release();
  FILE* opened = fopen(name, "rb");
  if (opened == nullptr) {
    fprintf(stderr, "ERROR: cannot open file '%s' for read\n", name);
    return false;
  }
  file = opened;
  file_is_stdin = false;
  file_name = strdup(name);
  if (setvbuf(file, nullptr, _IOFBF, io_buffer_size > 0 ? static_cast<size_t>(io_buffer_size) : 0) != 0) {
    fprintf(stderr, "WARNING: setvbuf() failed with buffer size %d\n", io_buffer_size);
  }
  delete_stream = true;
  return open(new ByteStreamInFileLE(file), peek_only, decompress_selective);
}

bool LASreaderLAS::open(FILE* opened, bool peek_only, uint32_t decompress_selective) {
  if (opened == nullptr) {
    fprintf(stderr, "ERROR: file pointer is zero\n");
    return false;
  }
  release();
  // POSIX streams have no text mode, so standard input needs no switch.
  file_is_stdin = opened == stdin;
  if (file_is_stdin) decompress_selective = 0xFFFFFFFF;
  delete_stream = true;
  return open(new ByteStreamInFileLE(opened), peek_only, decompress_selective);
}

bool LASreaderLAS::read_header_fields(ByteStreamIn& in) {
  LASheader& h = header;
  struct Field {
    const char* name;
    void* value;
    uint32_t bytes;
    bool raw;  // bytes as stored (characters), not a number
  };
  const Field head[] = {
      {"file_signature", h.file_signature, 4, true},
      {"file_source_ID", &h.file_source_ID, 2, false},
      {"global_encoding", &h.global_encoding, 2, false},
      {"project_ID_GUID_data_1", &h.project_ID_GUID_data_1, 4, false},
      {"project_ID_GUID_data_2", &h.project_ID_GUID_data_2, 2, false},
      {"project_ID_GUID_data_3", &h.project_ID_GUID_data_3, 2, false},
      {"project_ID_GUID_data_4", h.project_ID_GUID_data_4, 8, true},
      {"version_major", &h.version_major, 1, false},
      {"version_minor", &h.version_minor, 1, false},
      {"system_identifier", h.system_identifier, 32, true},
      {"generating_software", h.generating_software, 32, true},
      {"file_creation_day", &h.file_creation_day, 2, false},
      {"file_creation_year", &h.file_creation_year, 2, false},
      {"header_size", &h.header_size, 2, false},
      {"offset_to_point_data", &h.offset_to_point_data, 4, false},
      {"number_of_variable_length_records", &h.number_of_variable_length_records, 4, false},
      {"point_data_format", &h.point_data_format, 1, false},
      {"point_data_record_length", &h.point_data_record_length, 2, false},
      {"number_of_point_records", &h.number_of_point_records, 4, false},
  };
  for (const Field& f : head) {
    bool ok = false;
    if (f.raw || f.bytes == 1) {
      ok = get_raw(in, f.value, f.bytes);
    } else if (f.bytes == 2) {
      ok = get_le(in, *static_cast<uint16_t*>(f.value));
    } else {
      ok = get_le(in, *static_cast<uint32_t*>(f.value));
    }
    if (!ok) {
      fprintf(stderr, "ERROR: reading header.%s\n", f.name);
      return false;
    }
  }
  for (int i = 0; i < 5; i++) {
    if (!get_le(in, h.number_of_points_by_return[i])) {
      fprintf(stderr, "ERROR: reading header.number_of_points_by_return %d\n", i);
      return false;
    }
  }
  const struct {
    const char* name;
    double* value;
  } reals[] = {
      {"x_scale_factor", &h.x_scale_factor}, {"y_scale_factor", &h.y_scale_factor},
      {"z_scale_factor", &h.z_scale_factor}, {"x_offset", &h.x_offset},
      {"y_offset", &h.y_offset},             {"z_offset", &h.z_offset},
      {"max_x", &h.max_x},                   {"min_x", &h.min_x},
      {"max_y", &h.max_y},                   {"min_y", &h.min_y},
      {"max_z", &h.max_z},                   {"min_z", &h.min_z},
  };
  for (const auto& f : reals) {
    if (!get_le(in, *f.value)) {
      fprintf(stderr, "ERROR: reading header.%s\n", f.name);
      return false;
    }
  }
  return true;
}

bool LASreaderLAS::open(ByteStreamIn* in, bool peek_only, uint32_t decompress_selective) {
  if (in == nullptr) {
    fprintf(stderr, "ERROR: ByteStreamIn* pointer is zero\n");
    return false;
  }
  // A stream handed over by a caller replaces whatever an earlier open left.
  if (stream && stream != in && delete_stream) delete stream;
  reader.reset();
  stream = in;
  header.clean();
  point.clean();
  npoints = 0;
  p_count = 0;
  checked_end = false;

  // The stream's size bounds every length read from it.
  stream_size = -1;
  if (in->is_seekable()) {
    const int64_t start = in->tell();
    if (in->seek_end(0)) stream_size = in->tell();
    if (!in->seek(start)) {
      fprintf(stderr, "ERROR: cannot seek in '%s'\n", get_display_name());
      return false;
    }
  }
  auto remaining = [&]() -> int64_t { return stream_size < 0 ? -1 : std::max<int64_t>(0, stream_size - in->tell()); };

  if (!read_header_fields(*in)) return false;
  if (!header.check()) return false;

  uint32_t header_bytes_read = LASheader::header_size_10;
  if (header.version_major == 1 && (header.version_minor == 3 || header.version_minor == 4)) {
    if (header.header_size < LASheader::header_size_13) {
      fprintf(stderr, "WARNING: for LAS 1.%d header_size should at least be 235 but it is only %d\n",
              header.version_minor, header.header_size);
    } else {
      if (!get_le(*in, header.start_of_waveform_data_packet_record)) {
        fprintf(stderr, "ERROR: reading header.start_of_waveform_data_packet_record\n");
        return false;
      }
      header_bytes_read = LASheader::header_size_13;
    }
  }
  if (header.version_major == 1 && header.version_minor == 4) {
    if (header.header_size < LASheader::header_size_14) {
      fprintf(stderr, "ERROR: for LAS 1.%d header_size should at least be 375 but it is only %d\n",
              header.version_minor, header.header_size);
      return false;
    }
    if (!get_le(*in, header.start_of_first_extended_variable_length_record)) {
      fprintf(stderr, "ERROR: reading header.start_of_first_extended_variable_length_record\n");
      return false;
    }
    if (!get_le(*in, header.number_of_extended_variable_length_records)) {
      fprintf(stderr, "ERROR: reading header.number_of_extended_variable_length_records\n");
      return false;
    }
    if (!get_le(*in, header.extended_number_of_point_records)) {
      fprintf(stderr, "ERROR: reading header.extended_number_of_point_records\n");
      return false;
    }
    for (int i = 0; i < 15; i++) {
      if (!get_le(*in, header.extended_number_of_points_by_return[i])) {
        fprintf(stderr, "ERROR: reading header.extended_number_of_points_by_return[%d]\n", i);
        return false;
      }
    }
    header_bytes_read = LASheader::header_size_14;
  }

  if (header.header_size > header_bytes_read) {
    const uint32_t size = header.header_size - header_bytes_read;
    if (!read_payload(*in, size, remaining(), header.user_data_in_header)) {
      fprintf(stderr, "ERROR: reading %d bytes of data into header.user_data_in_header\n", static_cast<int>(size));
      return false;
    }
    header.user_data_in_header_size = size;
  }

  npoints = static_cast<int64_t>(header.get_number_of_point_records());
  p_count = 0;

  if (peek_only) {
    header.point_data_format &= 0x7F;
    return true;
  }

  const uint32_t original_offset = header.offset_to_point_data;
  bool vlrs_lost = false;
  if (!read_vlrs(*in, original_offset, vlrs_lost)) return false;

  if (header.version_major == 1 && header.version_minor == 4 && header.number_of_extended_variable_length_records) {
    if (in->is_seekable()) {
      if (!read_evlrs(*in)) return false;
    } else {
      fprintf(stderr, "WARNING: LAS %d.%d file has %d EVLRs but stream is not seekable ...\n", header.version_major,
              header.version_minor, static_cast<int>(header.number_of_extended_variable_length_records));
      // Nothing was read, so the header must not claim records it lacks.
      header.number_of_extended_variable_length_records = 0;
    }
  }

  if (header.qopack && !header.qopack->check(header.point_data_record_length)) {
    fprintf(stderr, "ERROR: %s\n", header.qopack->get_error());
    return false;
  }

  if (header.point_data_format & 0xC0) {
    if (!header.qopack) {
      if (vlrs_lost) {
        fprintf(stderr, "ERROR: your QPK file has corruptions in the LAS header resulting in\n");
        fprintf(stderr, "ERROR: the qopack VLR being lost. maybe your download failed?\n");
      } else {
        fprintf(stderr, "ERROR: this file was compressed with an experimental version of qopack\n");
      }
      return false;
    }
    header.point_data_format &= 0x7F;
  }

  // The point reader becomes the reader's only once it stands at the points.
  auto points = std::make_unique<LASchunkReader>(decompress_selective);
  bool initialised;
  if (header.qopack) {
    initialised = point.init(&header, header.qopack->num_items, header.qopack->items, &header);
  } else {
    initialised = point.init(&header, header.point_data_format, header.point_data_record_length, &header);
  }
  if (!initialised) return false;

  bool set_up;
  if (header.qopack) {
    set_up = points->setup(header.qopack->num_items, header.qopack->items, header.qopack.get());
  } else {
    set_up = points->setup(point.num_items, point.items);
  }
  if (!set_up) {
    if (header.qopack) {
      fprintf(stderr, "ERROR: point type %d of size %d not supported (with Qopack)\n", header.point_data_format,
              header.point_data_record_length);
    } else {
      fprintf(stderr, "ERROR: point type %d of size %d not supported\n", header.point_data_format,
              header.point_data_record_length);
    }
    return false;
  }

  if (!points->init(in)) {
    fprintf(stderr, "ERROR: cannot start reading points of '%s'\n", get_display_name());
    return false;
  }
  reader = std::move(points);
  checked_end = false;
  return true;
}

bool LASreaderLAS::read_vlrs(ByteStreamIn& in, uint32_t original_offset, bool& vlrs_lost) {
  const uint32_t announced = header.number_of_variable_length_records;
  header.number_of_variable_length_records = 0;
  uint32_t capacity = 0;
  // Stream bytes between the end of the header and the point data that the
  // records read so far took up, removed records included.
  int64_t used = header.header_size;
  auto remaining = [&]() -> int64_t { return stream_size < 0 ? -1 : std::max<int64_t>(0, stream_size - in.tell()); };

  for (uint32_t i = 0; i < announced; i++) {
    const int64_t left = static_cast<int64_t>(original_offset) - used;
    if (left < LASvlr::header_bytes) {
      fprintf(stderr, "WARNING: only %d bytes until point block after reading %d of %d vlrs. skipping remaining vlrs ...\n",
              static_cast<int>(left), static_cast<int>(i), static_cast<int>(announced));
      vlrs_lost = true;
      break;
    }
    const uint32_t slot = header.number_of_variable_length_records;
    // Each record takes at least 54 bytes before the point data, which bounds
    // how many can be there whatever the header announces.
    const uint32_t limit = std::min<uint64_t>(announced, slot + 1 + (left - LASvlr::header_bytes) / LASvlr::header_bytes);
    if (!grow_records(header.vlrs, capacity, slot + 1, limit)) {
      fprintf(stderr, "ERROR: allocating header.vlrs[%d]\n", static_cast<int>(slot));
      return false;
    }
    LASvlr& vlr = header.vlrs[slot];
    memset(&vlr, 0, sizeof(vlr));

    if (!get_le(in, vlr.reserved)) {
      fprintf(stderr, "ERROR: reading header.vlrs[%d].reserved\n", static_cast<int>(slot));
      return false;
    }
    if (!get_raw(in, vlr.user_id, 16)) {
      fprintf(stderr, "ERROR: reading header.vlrs[%d].user_id\n", static_cast<int>(slot));
      return false;
    }
    if (!get_le(in, vlr.record_id)) {
      fprintf(stderr, "ERROR: reading header.vlrs[%d].record_id\n", static_cast<int>(slot));
      return false;
    }
    if (!get_le(in, vlr.record_length_after_header)) {
      fprintf(stderr, "ERROR: reading header.vlrs[%d].record_length_after_header\n", static_cast<int>(slot));
      return false;
    }
    if (!get_raw(in, vlr.description, 32)) {
      fprintf(stderr, "ERROR: reading header.vlrs[%d].description\n", static_cast<int>(slot));
      return false;
    }
    used += LASvlr::header_bytes;

    const int64_t room = static_cast<int64_t>(original_offset) - used;
    if (vlr.record_length_after_header > room) {
      fprintf(stderr, "WARNING: only %d bytes until point block when trying to read %d bytes into header.vlrs[%d].data\n",
              static_cast<int>(room), vlr.record_length_after_header, static_cast<int>(slot));
      vlr.record_length_after_header = static_cast<uint16_t>(room);
    }
    const uint16_t length = vlr.record_length_after_header;
    used += length;

    bool removed = true;
    if (is_user_id(vlr.user_id, Qopack::vlr_user_id)) {
      uint8_t* payload = nullptr;
      if (!read_payload(in, length, remaining(), payload)) {
        fprintf(stderr, "ERROR: reading %d bytes of data into header.vlrs[%d].data\n", length, static_cast<int>(slot));
        return false;
      }
      auto qopack = std::make_shared<Qopack>();
      const bool unpacked = qopack->unpack(payload, length);
      free(payload);
      if (!unpacked) return false;
      header.qopack = qopack;
    } else if ((is_user_id(vlr.user_id, LASvlr_lastiling::user_id) && vlr.record_id == LASvlr_lastiling::record_id) ||
               is_user_id(vlr.user_id, LASvlr_lastiling::user_id_tile)) {
      if (length != LASvlr_lastiling::payload_bytes) {
        fprintf(stderr, "ERROR: record_length_after_header of VLR %.16s (%d) is %d instead of 28\n", vlr.user_id,
                vlr.record_id, length);
        return false;
      }
      auto tiling = std::make_unique<LASvlr_lastiling>();
      if (!tiling->read(in)) return false;
      header.vlr_lastiling = std::move(tiling);
    } else if (is_user_id(vlr.user_id, LASvlr_lasoriginal::user_id) && vlr.record_id == LASvlr_lasoriginal::record_id) {
      if (length != LASvlr_lasoriginal::payload_bytes) {
        fprintf(stderr, "ERROR: record_length_after_header of VLR %.16s (%d) is %d instead of 176\n", vlr.user_id,
                vlr.record_id, length);
        return false;
      }
      auto original = std::make_unique<LASvlr_lasoriginal>();
      if (!original->read(in)) return false;
      header.vlr_lasoriginal = std::move(original);
    } else if (is_user_id(vlr.user_id, LASvlr_lastiling::user_id) && vlr.record_id < 2000) {
      if (!skip_payload(in, length)) {
        fprintf(stderr, "ERROR: reading %d bytes of data into header.vlrs[%d].data\n", length, static_cast<int>(slot));
        return false;
      }
    } else {
      removed = false;
      if (length > 0 && !read_payload(in, length, remaining(), vlr.data)) {
        // The slot is counted so that clean() sees it; its data is null.
        header.number_of_variable_length_records = slot + 1;
        fprintf(stderr, "ERROR: reading %d bytes of data into header.vlrs[%d].data\n", length, static_cast<int>(slot));
        return false;
      }
      header.number_of_variable_length_records = slot + 1;
      classify_record(header, {vlr.user_id, vlr.record_id, length, vlr.data}, false);
    }
    if (removed) header.offset_to_point_data -= LASvlr::header_bytes + length;
  }

  if (header.number_of_variable_length_records == 0) {
    free(header.vlrs);
    header.vlrs = nullptr;
  }
  const uint32_t after = static_cast<uint32_t>(static_cast<int64_t>(original_offset) - used);
  if (after > 0 && !read_user_data_after_header(in, after)) return false;
  return true;
}

bool LASreaderLAS::read_user_data_after_header(ByteStreamIn& in, uint32_t size) {
  const int64_t left = stream_size < 0 ? -1 : std::max<int64_t>(0, stream_size - in.tell());
  if (!read_payload(in, size, left, header.user_data_after_header)) {
    fprintf(stderr, "ERROR: reading %d bytes of data into header.user_data_after_header\n", static_cast<int>(size));
    return false;
  }
  header.user_data_after_header_size = size;
  return true;
}

bool LASreaderLAS::read_evlrs(ByteStreamIn& in) {
  const int64_t resume = in.tell();
  const uint32_t announced = header.number_of_extended_variable_length_records;
  header.number_of_extended_variable_length_records = 0;
  uint32_t capacity = 0;
  auto remaining = [&]() -> int64_t { return std::max<int64_t>(0, stream_size - in.tell()); };

  const uint64_t start = header.start_of_first_extended_variable_length_record;
  // A start beyond the stream reads as a record cut short.
  const bool positioned = start <= static_cast<uint64_t>(INT64_MAX) && in.seek(static_cast<int64_t>(start));
  for (uint32_t i = 0; i < announced; i++) {
    const uint32_t slot = header.number_of_extended_variable_length_records;
    const int64_t left = positioned ? remaining() : 0;
    // Each record takes at least 60 bytes of the stream.
    const uint32_t limit = std::min<uint64_t>(announced, slot + 1 + left / LASevlr::header_bytes);
    if (!grow_records(header.evlrs, capacity, slot + 1, limit)) {
      fprintf(stderr, "ERROR: allocating header.evlrs[%d]\n", static_cast<int>(slot));
      return false;
    }
    LASevlr& evlr = header.evlrs[slot];
    memset(&evlr, 0, sizeof(evlr));
    if (!positioned || !get_le(in, evlr.reserved)) {
      fprintf(stderr, "ERROR: reading header.evlrs[%d].reserved\n", static_cast<int>(slot));
      return false;
    }
    if (!get_raw(in, evlr.user_id, 16)) {
      fprintf(stderr, "ERROR: reading header.evlrs[%d].user_id\n", static_cast<int>(slot));
      return false;
    }
    if (!get_le(in, evlr.record_id)) {
      fprintf(stderr, "ERROR: reading header.evlrs[%d].record_id\n", static_cast<int>(slot));
      return false;
    }
    if (!get_le(in, evlr.record_length_after_header)) {
      fprintf(stderr, "ERROR: reading header.evlrs[%d].record_length_after_header\n", static_cast<int>(slot));
      return false;
    }
    if (!get_raw(in, evlr.description, 32)) {
      fprintf(stderr, "ERROR: reading header.evlrs[%d].description\n", static_cast<int>(slot));
      return false;
    }
    const uint64_t length = evlr.record_length_after_header;
    if (length > static_cast<uint64_t>(remaining())) {
      fprintf(stderr, "ERROR: reading %" PRIu64 " bytes of data into header.evlrs[%d].data\n", length,
              static_cast<int>(slot));
      return false;
    }

    if (is_user_id(evlr.user_id, LASvlr_lastiling::user_id) && evlr.record_id == LASvlr_lastiling::record_id) {
      if (length != LASvlr_lastiling::payload_bytes) {
        fprintf(stderr, "ERROR: record_length_after_header of EVLR %.16s (%d) is %u instead of 28\n", evlr.user_id,
                evlr.record_id, static_cast<unsigned>(length));
        return false;
      }
      auto tiling = std::make_unique<LASvlr_lastiling>();
      if (!tiling->read(in)) return false;
      header.vlr_lastiling = std::move(tiling);
      continue;
    }
    if (is_user_id(evlr.user_id, LASvlr_lastiling::user_id) || is_user_id(evlr.user_id, Qopack::vlr_user_id)) {
      // The suite's own extended records are not kept in the list.
      if (!in.seek(in.tell() + static_cast<int64_t>(length))) {
        fprintf(stderr, "ERROR: reading %" PRIu64 " bytes of data into header.evlrs[%d].data\n", length,
                static_cast<int>(slot));
        return false;
      }
      continue;
    }
    if (length > max_evlr_payload_bytes) {
      fprintf(stderr, "WARNING: skipping %" PRIu64 " bytes of header.evlrs[%d] ('%.16s' %d): more than %" PRIu64 "\n",
              length, static_cast<int>(slot), evlr.user_id, evlr.record_id, max_evlr_payload_bytes);
      if (!in.seek(in.tell() + static_cast<int64_t>(length))) return false;
      continue;
    }
    if (length > 0 && !read_payload(in, length, remaining(), evlr.data)) {
      header.number_of_extended_variable_length_records = slot + 1;
      fprintf(stderr, "ERROR: reading %" PRIu64 " bytes of data into header.evlrs[%d].data\n", length,
              static_cast<int>(slot));
      return false;
    }
    header.number_of_extended_variable_length_records = slot + 1;
    classify_record(header, {evlr.user_id, evlr.record_id, length, evlr.data}, true);
  }
  if (header.number_of_extended_variable_length_records == 0) {
    free(header.evlrs);
    header.evlrs = nullptr;
  }
  if (!in.seek(resume)) {
    fprintf(stderr, "ERROR: cannot seek back to the point data of '%s'\n", get_display_name());
    return false;
  }
  return true;
}

int32_t LASreaderLAS::get_format() const {
  if (header.qopack && header.qopack->compressor != Qopack::COMPRESSOR_NONE) return format_qpk;
  return format_las;
}

bool LASreaderLAS::seek(int64_t index) {
  if (!reader || index < 0 || index >= npoints) return false;
  if (!reader->seek(p_count, index)) return false;
  p_count = index;
  return true;
}

bool LASreaderLAS::read_point_default() {
  if (p_count < npoints) {
    if (!reader) return false;
    if (reader->read(point.point)) {
      p_count++;
      return true;
    }
    if (reader->get_last_warning()) {
      fprintf(stderr, "WARNING: '%s' for '%s'\n", reader->get_last_warning(), get_display_name());
    }
    if (reader->get_last_error()) {
      fprintf(stderr, "ERROR: '%s' after %" PRId64 " of %" PRId64 " points for '%s'\n", reader->get_last_error(),
              p_count, npoints, get_display_name());
    } else {
      fprintf(stderr, "WARNING: end-of-file after %" PRId64 " of %" PRId64 " points for '%s'\n", p_count, npoints,
              get_display_name());
    }
    return false;
  }
  if (!checked_end && reader) {
    if (!reader->check_end()) {
      fprintf(stderr, "ERROR: '%s' when reaching end of encoding\n",
              reader->get_last_error() ? reader->get_last_error() : "unknown");
      p_count--;
    }
    if (reader->get_last_warning()) fprintf(stderr, "WARNING: '%s'\n", reader->get_last_warning());
    checked_end = true;
  }
  return false;
}

void LASreaderLAS::close(bool close_stream) {
  if (reader) {
    (void)reader->done();
    reader.reset();
  }
  if (close_stream) {
    if (stream && delete_stream) delete stream;
    stream = nullptr;
    if (file) fclose(file);
    file = nullptr;
    free(file_name);
    file_name = nullptr;
    file_is_stdin = false;
  }
}

// Rescaling and reoffsetting.

namespace {

const char* const bound_names[6] = {"min_x", "max_x", "min_y", "max_y", "min_z", "max_z"};

// The header bounds of one axis (0 x, 1 y, 2 z): min then max.
void axis_bounds(const LASheader& h, int axis, double bounds[2]) {
  if (axis == 0) {
    bounds[0] = h.min_x;
    bounds[1] = h.max_x;
  } else if (axis == 1) {
    bounds[0] = h.min_y;
    bounds[1] = h.max_y;
  } else {
    bounds[0] = h.min_z;
    bounds[1] = h.max_z;
  }
}

double& scale_of(LASheader& h, int axis) {
  return axis == 0 ? h.x_scale_factor : axis == 1 ? h.y_scale_factor : h.z_scale_factor;
}

double& offset_of(LASheader& h, int axis) { return axis == 0 ? h.x_offset : axis == 1 ? h.y_offset : h.z_offset; }

// Warns for each bound of the axis that does not fit into 32 bits once it
// is stored with the new scale and offset. `message` picks the wording: 1
// rescale, 2 reoffset, 3 both.
void check_axis_overflow(const LASheader& h, int axis, double orig_scale, double orig_offset, double new_scale,
                         double new_offset, int message) {
  double bounds[2];
  axis_bounds(h, axis, bounds);
  for (int b = 0; b < 2; b++) {
    const int64_t q = LASquantizer::quantize64(bounds[b], orig_scale, orig_offset);
    const double value = (static_cast<double>(q) * orig_scale + orig_offset - new_offset) / new_scale;
    if (LASquantizer::rounds_into_int32(value)) continue;
    const char* name = bound_names[axis * 2 + b];
    if (message == 1) {
      fprintf(stderr, "WARNING: rescaling from %g to %g causes LAS integer overflow for %s\n", orig_scale, new_scale,
              name);
    } else if (message == 2) {
      fprintf(stderr, "WARNING: reoffsetting from %g to %g causes LAS integer overflow for %s\n", orig_offset,
              new_offset, name);
    } else {
      fprintf(stderr,
              "WARNING: rescaling from %g to %g and reoffsetting from %g to %g causes LAS integer overflow for %s\n",
              orig_scale, new_scale, orig_offset, new_offset, name);
    }
  }
}

}  // namespace

LASreaderLASrescale::LASreaderLASrescale(double x_scale_factor, double y_scale_factor, double z_scale_factor,
                                         bool check_for_overflow)
    : scale_factor{x_scale_factor, y_scale_factor, z_scale_factor}, check_for_overflow(check_for_overflow) {}

void LASreaderLASrescale::apply_rescale() {
  orig_x_scale_factor = header.x_scale_factor;
  orig_y_scale_factor = header.y_scale_factor;
  orig_z_scale_factor = header.z_scale_factor;
  bool* flags[3] = {&rescale_x, &rescale_y, &rescale_z};
  for (int axis = 0; axis < 3; axis++) {
    *flags[axis] = false;
    if (scale_factor[axis] != 0.0 && scale_factor[axis] != scale_of(header, axis)) {
      scale_of(header, axis) = scale_factor[axis];
      *flags[axis] = true;
    }
  }
}

bool LASreaderLASrescale::open(ByteStreamIn* in, bool peek_only, uint32_t decompress_selective) {
  if (!LASreaderLAS::open(in, peek_only, decompress_selective)) return false;
  apply_rescale();
  if (check_for_overflow) {
    const double orig[3] = {orig_x_scale_factor, orig_y_scale_factor, orig_z_scale_factor};
    const bool flags[3] = {rescale_x, rescale_y, rescale_z};
    for (int axis = 0; axis < 3; axis++) {
      if (flags[axis]) {
        check_axis_overflow(header, axis, orig[axis], offset_of(header, axis), scale_of(header, axis),
                            offset_of(header, axis), 1);
      }
    }
  }
  return true;
}

bool LASreaderLASrescale::read_point_default() {
  if (!LASreaderLAS::read_point_default()) return false;
  if (rescale_x) point.X = round_coordinate(point.X * orig_x_scale_factor / header.x_scale_factor);
  if (rescale_y) point.Y = round_coordinate(point.Y * orig_y_scale_factor / header.y_scale_factor);
  if (rescale_z) point.Z = round_coordinate(point.Z * orig_z_scale_factor / header.z_scale_factor);
  return true;
}

LASreaderLASreoffset::LASreaderLASreoffset(double x_offset, double y_offset, double z_offset)
    : offset{x_offset, y_offset, z_offset}, auto_reoffset(false) {}

LASreaderLASreoffset::LASreaderLASreoffset() : offset{0.0, 0.0, 0.0}, auto_reoffset(true) {}

void LASreaderLASreoffset::apply_reoffset() {
  if (auto_reoffset) {
    for (int axis = 0; axis < 3; axis++) {
      double bounds[2];
      axis_bounds(header, axis, bounds);
      const double scale = scale_of(header, axis);
      if (bounds[0] > -2e307 && bounds[1] < 2e307 && bounds[0] < 2e307 && bounds[1] > -2e307) {
        // The centre, snapped toward zero to a multiple of ten million units.
        offset[axis] = std::trunc((bounds[0] + bounds[1]) / scale / 2e7) * 10000000 * scale;
      } else {
        offset[axis] = 0.0;
      }
    }
  }
  orig_x_offset = header.x_offset;
  orig_y_offset = header.y_offset;
  orig_z_offset = header.z_offset;
  bool* flags[3] = {&reoffset_x, &reoffset_y, &reoffset_z};
  for (int axis = 0; axis < 3; axis++) {
    *flags[axis] = false;
    if (offset[axis] != offset_of(header, axis)) {
      offset_of(header, axis) = offset[axis];
      *flags[axis] = true;
    }
  }
}

bool LASreaderLASreoffset::open(ByteStreamIn* in, bool peek_only, uint32_t decompress_selective) {
  if (!LASreaderLAS::open(in, peek_only, decompress_selective)) return false;
  apply_reoffset();
  const double orig[3] = {orig_x_offset, orig_y_offset, orig_z_offset};
  const bool flags[3] = {reoffset_x, reoffset_y, reoffset_z};
  for (int axis = 0; axis < 3; axis++) {
    if (flags[axis]) {
      check_axis_overflow(header, axis, scale_of(header, axis), orig[axis], scale_of(header, axis),
                          offset_of(header, axis), 2);
    }
  }
  return true;
}

bool LASreaderLASreoffset::read_point_default() {
  if (!LASreaderLAS::read_point_default()) return false;
  const LASheader& h = header;
  if (reoffset_x) point.X = round_coordinate((point.X * h.x_scale_factor + orig_x_offset - h.x_offset) / h.x_scale_factor);
  if (reoffset_y) point.Y = round_coordinate((point.Y * h.y_scale_factor + orig_y_offset - h.y_offset) / h.y_scale_factor);
  if (reoffset_z) point.Z = round_coordinate((point.Z * h.z_scale_factor + orig_z_offset - h.z_offset) / h.z_scale_factor);
  return true;
}

LASreaderLASrescalereoffset::LASreaderLASrescalereoffset(double x_scale_factor, double y_scale_factor,
                                                         double z_scale_factor, double x_offset, double y_offset,
                                                         double z_offset)
    : LASreaderLASrescale(x_scale_factor, y_scale_factor, z_scale_factor, false),
      LASreaderLASreoffset(x_offset, y_offset, z_offset) {}

LASreaderLASrescalereoffset::LASreaderLASrescalereoffset(double x_scale_factor, double y_scale_factor,
                                                         double z_scale_factor)
    : LASreaderLASrescale(x_scale_factor, y_scale_factor, z_scale_factor, false), LASreaderLASreoffset() {}

bool LASreaderLASrescalereoffset::open(ByteStreamIn* in, bool peek_only, uint32_t decompress_selective) {
  if (!LASreaderLAS::open(in, peek_only, decompress_selective)) return false;
  apply_rescale();
  apply_reoffset();
  const double orig_scale[3] = {orig_x_scale_factor, orig_y_scale_factor, orig_z_scale_factor};
  const double orig_offset[3] = {orig_x_offset, orig_y_offset, orig_z_offset};
  const bool rescaled[3] = {rescale_x, rescale_y, rescale_z};
  const bool reoffset[3] = {reoffset_x, reoffset_y, reoffset_z};
  for (int axis = 0; axis < 3; axis++) {
    if (!rescaled[axis] && !reoffset[axis]) continue;
    const int message = rescaled[axis] && reoffset[axis] ? 3 : rescaled[axis] ? 1 : 2;
    check_axis_overflow(header, axis, orig_scale[axis], orig_offset[axis], scale_of(header, axis),
                        offset_of(header, axis), message);
  }
  return true;
}

bool LASreaderLASrescalereoffset::read_point_default() {
  if (!LASreaderLAS::read_point_default()) return false;
  const LASheader& h = header;
  if (reoffset_x) {
    point.X = round_coordinate((point.X * orig_x_scale_factor + orig_x_offset - h.x_offset) / h.x_scale_factor);
  } else if (rescale_x) {
    point.X = round_coordinate(point.X * orig_x_scale_factor / h.x_scale_factor);
  }
  if (reoffset_y) {
    point.Y = round_coordinate((point.Y * orig_y_scale_factor + orig_y_offset - h.y_offset) / h.y_scale_factor);
  } else if (rescale_y) {
    point.Y = round_coordinate(point.Y * orig_y_scale_factor / h.y_scale_factor);
  }
  if (reoffset_z) {
    point.Z = round_coordinate((point.Z * orig_z_scale_factor + orig_z_offset - h.z_offset) / h.z_scale_factor);
  } else if (rescale_z) {
    point.Z = round_coordinate(point.Z * orig_z_scale_factor / h.z_scale_factor);
  }
  return true;
}
