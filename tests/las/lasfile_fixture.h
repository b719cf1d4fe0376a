// Small LAS files built in memory with our writer: headers of every version
// and point format, points that vary every field, and comparisons that name
// the field that differs.
#ifndef TIECHECK_TESTS_LAS_LASFILE_FIXTURE_H
#define TIECHECK_TESTS_LAS_LASFILE_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "las/bytestreamin_array.h"
#include "las/bytestreamout_array.h"
#include "las/lasheader.h"
#include "las/laspoint.h"
#include "las/lasreader_las.h"
#include "las/laswriter_las.h"

namespace lasfile {

inline uint8_t* payload(uint32_t size, uint8_t seed) {
  uint8_t* data = static_cast<uint8_t*>(malloc(size ? size : 1));
  for (uint32_t i = 0; i < size; i++) data[i] = static_cast<uint8_t>(seed + i * 7);
  return data;
}

// Header sizes of LAS 1.0 to 1.2, 1.3 and 1.4.
inline uint16_t standard_header_size(uint8_t minor) { return minor >= 4 ? 375 : minor == 3 ? 235 : 227; }

// A header for `count` points of `format` with `extra_bytes` extra bytes per
// point (described by an extra-bytes record for LAS 1.4), records before the
// points, user data around them, and for LAS 1.4 extended records.
inline void make_header(LASheader& h, uint8_t minor, uint8_t format, uint16_t extra_bytes, uint64_t count,
                        bool with_records = true) {
  h.clean();
  h.version_minor = minor;
  h.header_size = standard_header_size(minor);
  h.offset_to_point_data = h.header_size;
  h.point_data_format = format;
  h.point_data_record_length = static_cast<uint16_t>(LASitem::base_size(format) + extra_bytes);
  h.file_source_ID = 4711;
  h.global_encoding = minor >= 4 ? 0x10 : 0;
  h.project_ID_GUID_data_1 = 0xDEADBEEF;
  h.project_ID_GUID_data_2 = 0x1234;
  h.project_ID_GUID_data_3 = 0x5678;
  memcpy(h.project_ID_GUID_data_4, "guid-end", 8);
  memcpy(h.system_identifier, "tiecheck fixture", 16);
  memcpy(h.generating_software, "lasfile_fixture.h", 17);
  h.file_creation_day = 200;
  h.file_creation_year = 2024;
  h.x_scale_factor = 0.001;
  h.y_scale_factor = 0.01;
  h.z_scale_factor = 0.1;
  h.x_offset = 1000.0;
  h.y_offset = -2000.0;
  h.z_offset = 0.5;
  h.min_x = -1.0e6;
  h.max_x = 1.0e6;
  h.min_y = -2.0e6;
  h.max_y = 2.0e6;
  h.min_z = -3.0e6;
  h.max_z = 3.0e6;
  const bool new_type = format > 5;
  h.number_of_point_records = new_type ? 0 : static_cast<uint32_t>(count);
  for (int i = 0; i < 5; i++) h.number_of_points_by_return[i] = new_type ? 0 : static_cast<uint32_t>(count / (i + 2));
  if (minor >= 4) {
    h.extended_number_of_point_records = count;
    for (int i = 0; i < 15; i++) h.extended_number_of_points_by_return[i] = count / (i + 2);
    // A 64-bit count that no 32-bit field could hold.
    h.extended_number_of_points_by_return[14] = 5000000000ULL;
  }
  if (!with_records) return;

  // A geo key directory with one key, a record without payload, and user
  // data on both sides of the records.
  uint8_t* keys = payload(16, 0);
  const uint16_t directory[8] = {1, 1, 0, 1, 3072, 0, 1, 32632};
  memcpy(keys, directory, 16);
  EXPECT_TRUE(h.add_vlr("LASF_Projection", 34735, 16, keys, false, "GeoKeyDirectoryTag"));
  EXPECT_TRUE(h.add_vlr("tiecheck", 7, 0, nullptr, false, "no payload"));
  EXPECT_TRUE(h.add_vlr("tiecheck", 8, 300, payload(300, 1)));
  h.user_data_in_header_size = 3;
  h.user_data_in_header = payload(3, 9);
  h.header_size += 3;
  h.offset_to_point_data += 3;
  h.user_data_after_header_size = 5;
  h.user_data_after_header = payload(5, 11);
  h.offset_to_point_data += 5;
  if (extra_bytes > 0 && minor >= 4) {
    LASattribute height(LASattribute::I16, "height", "height above ground");
    height.set_scale(0.01);
    LASattribute rest(LASattribute::UNDOCUMENTED, "rest");
    rest.options = static_cast<uint8_t>(extra_bytes - 2);
    EXPECT_GE(h.add_attribute(height), 0);
    if (extra_bytes > 2) {
      EXPECT_GE(h.add_attribute(rest), 0);
    }
    EXPECT_TRUE(h.update_extra_bytes_vlr());
  }
  if (minor >= 4) {
    const char wkt[] = "PROJCS[\"test\"]";
    uint8_t* text = payload(sizeof(wkt), 0);
    memcpy(text, wkt, sizeof(wkt));
    EXPECT_TRUE(h.add_evlr("LASF_Projection", 2112, sizeof(wkt), text, "WKT"));
    EXPECT_TRUE(h.add_evlr("tiecheck", 9, 1000, payload(1000, 5)));
  }
}

// Values for point i that exercise every field the item list carries,
// extremes included. LAS 1.4 points get their extended fields and the
// legacy view derived from them, as a reader derives it.
inline void fill_point(LASpoint& p, uint32_t i) {
  static const int32_t coordinates[] = {INT32_MIN, INT32_MAX, 0, -1, 1, 123456789, -987654321};
  static const double times[] = {0.0, -1.5, 1e300, 123456.789012345, -0.0, 4.9e-324};
  // Wrapping steps away from the extremes (unsigned, so without overflow).
  p.X = static_cast<int32_t>(static_cast<uint32_t>(coordinates[i % 7]) + i / 7);
  p.Y = static_cast<int32_t>(static_cast<uint32_t>(coordinates[(i + 3) % 7]) - i / 7);
  p.Z = coordinates[(i + 5) % 7] ^ static_cast<int32_t>(i);
  p.intensity = static_cast<uint16_t>(i * 7919u);
  p.scan_direction_flag = i & 1;
  p.edge_of_flight_line = (i >> 1) & 1;
  p.user_data = static_cast<uint8_t>(i * 13u);
  p.point_source_ID = static_cast<uint16_t>(i * 40503u);
  p.gps_time = times[i % 6] + (i / 6) * 0.25;
  if (p.extended_point_type) {
    p.extended_return_number = i % 16;
    p.extended_number_of_returns = (i / 16) % 16;
    p.extended_classification = static_cast<uint8_t>(i * 7u);
    p.extended_classification_flags = i % 16;
    p.extended_scanner_channel = (i / 3) % 4;
    p.extended_scan_angle = static_cast<int16_t>(i * 1237u);
    p.update_legacy_from_extended();
  } else {
    p.return_number = i % 8;
    p.number_of_returns = (i / 8) % 8;
    p.classification = i % 32;
    p.synthetic_flag = (i >> 2) & 1;
    p.keypoint_flag = (i >> 3) & 1;
    p.withheld_flag = (i >> 4) & 1;
    p.scan_angle_rank = static_cast<int8_t>(i * 37u);
  }
  for (int c = 0; c < 4; c++) p.rgb[c] = static_cast<uint16_t>(i * 1000u + c * 65535u / 3);
  LASwavepacket w{};
  w.index = static_cast<uint8_t>(i);
  w.offset = 0x0123456789ABCDEFULL + i;
  w.size = 0xFFFFFFFFu - i;
  w.location = static_cast<float>(i) * 0.5f;
  w.x_t = -1.0f;
  w.y_t = 1e-30f;
  w.z_t = 3.25f;
  memcpy(&p.wavepacket, &w, sizeof(w));
  for (int32_t b = 0; b < p.extra_bytes_number; b++) p.extra_bytes[b] = static_cast<uint8_t>(i * 31u + b);
}

// Field by field, with the bits of floating-point values (so that -0.0 and
// denormals count).
inline void expect_same_point(const LASpoint& a, const LASpoint& b, uint32_t index) {
  SCOPED_TRACE(::testing::Message() << "point " << index);
  EXPECT_EQ(a.X, b.X);
  EXPECT_EQ(a.Y, b.Y);
  EXPECT_EQ(a.Z, b.Z);
  EXPECT_EQ(a.intensity, b.intensity);
  EXPECT_EQ(a.return_number, b.return_number);
  EXPECT_EQ(a.number_of_returns, b.number_of_returns);
  EXPECT_EQ(a.scan_direction_flag, b.scan_direction_flag);
  EXPECT_EQ(a.edge_of_flight_line, b.edge_of_flight_line);
  EXPECT_EQ(a.classification, b.classification);
  EXPECT_EQ(a.synthetic_flag, b.synthetic_flag);
  EXPECT_EQ(a.keypoint_flag, b.keypoint_flag);
  EXPECT_EQ(a.withheld_flag, b.withheld_flag);
  EXPECT_EQ(a.scan_angle_rank, b.scan_angle_rank);
  EXPECT_EQ(a.user_data, b.user_data);
  EXPECT_EQ(a.point_source_ID, b.point_source_ID);
  EXPECT_EQ(a.extended_point_type, b.extended_point_type);
  EXPECT_EQ(a.extended_scan_angle, b.extended_scan_angle);
  EXPECT_EQ(a.extended_scanner_channel, b.extended_scanner_channel);
  EXPECT_EQ(a.extended_classification_flags, b.extended_classification_flags);
  EXPECT_EQ(a.extended_classification, b.extended_classification);
  EXPECT_EQ(a.extended_return_number, b.extended_return_number);
  EXPECT_EQ(a.extended_number_of_returns, b.extended_number_of_returns);
  if (a.have_gps_time) {
    EXPECT_EQ(0, memcmp(&a.gps_time, &b.gps_time, 8)) << a.gps_time << " vs " << b.gps_time;
  }
  if (a.have_rgb) {
    EXPECT_EQ(a.rgb[0], b.rgb[0]);
    EXPECT_EQ(a.rgb[1], b.rgb[1]);
    EXPECT_EQ(a.rgb[2], b.rgb[2]);
  }
  if (a.have_nir) {
    EXPECT_EQ(a.rgb[3], b.rgb[3]);
  }
  if (a.have_wavepacket) {
    EXPECT_EQ(0, memcmp(&a.wavepacket, &b.wavepacket, sizeof(LASwavepacket)));
  }
  ASSERT_EQ(a.extra_bytes_number, b.extra_bytes_number);
  if (a.extra_bytes_number > 0) {
    EXPECT_EQ(0, memcmp(a.extra_bytes, b.extra_bytes, a.extra_bytes_number));
  }
}

inline std::vector<uint8_t> bytes_of(const uint8_t* data, uint64_t size) {
  return data ? std::vector<uint8_t>(data, data + size) : std::vector<uint8_t>();
}

// Everything a reader gives back of what a writer was given. The offset to
// the point data and the record count are those of the file, so they are
// compared too; the start of the extended records is where the writer put
// them.
inline void expect_same_header(const LASheader& a, const LASheader& b) {
  EXPECT_EQ(0, memcmp(a.file_signature, b.file_signature, 4));
  EXPECT_EQ(a.file_source_ID, b.file_source_ID);
  EXPECT_EQ(a.global_encoding, b.global_encoding);
  EXPECT_EQ(a.project_ID_GUID_data_1, b.project_ID_GUID_data_1);
  EXPECT_EQ(a.project_ID_GUID_data_2, b.project_ID_GUID_data_2);
  EXPECT_EQ(a.project_ID_GUID_data_3, b.project_ID_GUID_data_3);
  EXPECT_EQ(0, memcmp(a.project_ID_GUID_data_4, b.project_ID_GUID_data_4, 8));
  EXPECT_EQ(a.version_major, b.version_major);
  EXPECT_EQ(a.version_minor, b.version_minor);
  EXPECT_EQ(0, memcmp(a.system_identifier, b.system_identifier, 32));
  EXPECT_EQ(0, memcmp(a.generating_software, b.generating_software, 32));
  EXPECT_EQ(a.file_creation_day, b.file_creation_day);
  EXPECT_EQ(a.file_creation_year, b.file_creation_year);
  EXPECT_EQ(a.header_size, b.header_size);
  EXPECT_EQ(a.offset_to_point_data, b.offset_to_point_data);
  EXPECT_EQ(a.point_data_format, b.point_data_format);
  EXPECT_EQ(a.point_data_record_length, b.point_data_record_length);
  EXPECT_EQ(a.number_of_point_records, b.number_of_point_records);
  for (int i = 0; i < 5; i++) EXPECT_EQ(a.number_of_points_by_return[i], b.number_of_points_by_return[i]) << i;
  EXPECT_EQ(a.x_scale_factor, b.x_scale_factor);
  EXPECT_EQ(a.y_scale_factor, b.y_scale_factor);
  EXPECT_EQ(a.z_scale_factor, b.z_scale_factor);
  EXPECT_EQ(a.x_offset, b.x_offset);
  EXPECT_EQ(a.y_offset, b.y_offset);
  EXPECT_EQ(a.z_offset, b.z_offset);
  EXPECT_EQ(a.min_x, b.min_x);
  EXPECT_EQ(a.max_x, b.max_x);
  EXPECT_EQ(a.min_y, b.min_y);
  EXPECT_EQ(a.max_y, b.max_y);
  EXPECT_EQ(a.min_z, b.min_z);
  EXPECT_EQ(a.max_z, b.max_z);
  EXPECT_EQ(a.start_of_waveform_data_packet_record, b.start_of_waveform_data_packet_record);
  EXPECT_EQ(a.extended_number_of_point_records, b.extended_number_of_point_records);
  for (int i = 0; i < 15; i++) {
    EXPECT_EQ(a.extended_number_of_points_by_return[i], b.extended_number_of_points_by_return[i]) << i;
  }
  EXPECT_EQ(bytes_of(a.user_data_in_header, a.user_data_in_header_size),
            bytes_of(b.user_data_in_header, b.user_data_in_header_size));
  EXPECT_EQ(bytes_of(a.user_data_after_header, a.user_data_after_header_size),
            bytes_of(b.user_data_after_header, b.user_data_after_header_size));
  ASSERT_EQ(a.number_of_variable_length_records, b.number_of_variable_length_records);
  for (uint32_t i = 0; i < a.number_of_variable_length_records; i++) {
    SCOPED_TRACE(::testing::Message() << "vlr " << i);
    const LASvlr& v = a.vlrs[i];
    const LASvlr& w = b.vlrs[i];
    EXPECT_EQ(v.reserved, w.reserved);
    EXPECT_EQ(0, memcmp(v.user_id, w.user_id, 16));
    EXPECT_EQ(v.record_id, w.record_id);
    EXPECT_EQ(0, memcmp(v.description, w.description, 32));
    EXPECT_EQ(bytes_of(v.data, v.record_length_after_header), bytes_of(w.data, w.record_length_after_header));
  }
  ASSERT_EQ(a.number_of_extended_variable_length_records, b.number_of_extended_variable_length_records);
  for (uint32_t i = 0; i < a.number_of_extended_variable_length_records; i++) {
    SCOPED_TRACE(::testing::Message() << "evlr " << i);
    const LASevlr& v = a.evlrs[i];
    const LASevlr& w = b.evlrs[i];
    EXPECT_EQ(0, memcmp(v.user_id, w.user_id, 16));
    EXPECT_EQ(v.record_id, w.record_id);
    EXPECT_EQ(0, memcmp(v.description, w.description, 32));
    EXPECT_EQ(bytes_of(v.data, v.record_length_after_header), bytes_of(w.data, w.record_length_after_header));
  }
  ASSERT_EQ(a.number_attributes, b.number_attributes);
  for (int32_t i = 0; i < a.number_attributes; i++) {
    EXPECT_EQ(0, memcmp(&a.attributes[i], &b.attributes[i], sizeof(LASattribute))) << "attribute " << i;
  }
}

// Writes `count` points made by fill_point() with our writer into memory.
inline std::vector<uint8_t> write_file(const LASheader& header, uint32_t count, uint32_t first = 0) {
  ByteStreamOutArrayLE out;
  LASwriterLAS writer;
  writer.set_delete_stream(false);
  if (!writer.open(&out, &header)) return {};
  LASpoint point;
  if (!point.init(&header, header.point_data_format, header.point_data_record_length, &header)) return {};
  for (uint32_t i = 0; i < count; i++) {
    fill_point(point, first + i);
    if (!writer.write_point(&point)) return {};
  }
  if (writer.close() <= 0) return {};
  return std::vector<uint8_t>(out.get_data(), out.get_data() + out.get_size());
}

// A reader over bytes in memory; the bytes must outlive it.
inline bool open_memory(LASreaderLAS& reader, const std::vector<uint8_t>& bytes, bool peek_only = false) {
  return reader.open(new ByteStreamInArrayLE(bytes.data(), static_cast<int64_t>(bytes.size())), peek_only);
}

template <typename T>
void poke(std::vector<uint8_t>& bytes, size_t at, T value) {
  memcpy(bytes.data() + at, &value, sizeof(T));
}

template <typename T>
T peek(const std::vector<uint8_t>& bytes, size_t at) {
  T value;
  memcpy(&value, bytes.data() + at, sizeof(T));
  return value;
}

}  // namespace lasfile

#endif
