// Compressed LAS files built in memory with our writer: airborne-like
// surveys (scan lines, multiple returns, two interleaved flight lines, GPS
// time jumps, grey and coloured RGB, wave packets back to back) and records
// of random bytes, written through LASwriterLAS and read back through
// LASreaderLAS.
#ifndef TIECHECK_TESTS_LAS_QPK_FIXTURE_H
#define TIECHECK_TESTS_LAS_QPK_FIXTURE_H

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "las/bytestreamin_array.h"
#include "las/bytestreamout_array.h"
#include "las/lasheader.h"
#include "las/laspoint.h"
#include "las/lasreader_las.h"
#include "las/laswriter_las.h"

namespace qpk {

// Point records laid out back to back.
struct Records {
  uint32_t size = 0;
  std::vector<uint8_t> bytes;

  size_t count() const { return size ? bytes.size() / size : 0; }
  const uint8_t* at(size_t i) const { return bytes.data() + i * size; }
};

// An airborne survey flown in two lines whose pulses arrive interleaved in
// blocks, as when a file is cut from overlapping strips.
class Survey {
 public:
  explicit Survey(uint32_t seed) : rng(seed) {
    lines[0] = {300000.25, 101, 0.0, 0.0, true};
    lines[1] = {303600.75, 102, 40.0, -15.0, false};
  }

  void next(LASpoint& p) {
    if (returns_left == 0) next_pulse();
    Line& l = lines[line];
    const int r = returns - returns_left + 1;
    returns_left--;
    const double ground = 100.0 + 5.0 * std::sin(x / 50.0) + 3.0 * std::cos(y / 70.0);
    const double z = r == returns ? ground : ground + canopy * (returns - r) / returns;
    p.X = static_cast<int32_t>(std::lround(x * 100.0));
    p.Y = static_cast<int32_t>(std::lround(y * 100.0));
    p.Z = static_cast<int32_t>(std::lround(z * 100.0)) + static_cast<int32_t>(rng() % 3);
    p.intensity = static_cast<uint16_t>(400 - 60 * r + rng() % 40);
    p.return_number = static_cast<uint8_t>(r);
    p.number_of_returns = static_cast<uint8_t>(returns);
    p.scan_direction_flag = direction;
    p.edge_of_flight_line = edge;
    p.classification = r == returns ? 2 : (canopy > 8 ? 5 : 1);
    p.synthetic_flag = 0;
    p.keypoint_flag = 0;
    p.withheld_flag = (rng() % 1000) == 0;
    p.scan_angle_rank = static_cast<int8_t>(angle);
    p.user_data = 0;
    p.point_source_ID = l.source;
    p.gps_time = time;
    // Grey from a panchromatic camera over one part, colour elsewhere.
    const uint16_t shade = static_cast<uint16_t>((120 + 60 * std::sin(x / 9.0)) * 256);
    if (std::fmod(x, 200.0) < 90.0) {
      p.rgb[0] = p.rgb[1] = p.rgb[2] = shade;
    } else {
      p.rgb[0] = shade;
      p.rgb[1] = static_cast<uint16_t>(shade / 2 + (rng() % 4) * 256);
      p.rgb[2] = static_cast<uint16_t>(shade / 3 + 1000);
    }
    p.rgb[3] = 0;
    // Packets stored back to back, one per return, some longer.
    const uint32_t size = (rng() % 16) == 0 ? 512 : 256;
    LASwavepacket w{};
    w.index = 1;
    w.offset = packet_offset;
    w.size = size;
    w.location = static_cast<float>(1000 + 37 * r);
    w.x_t = static_cast<float>(angle * 1e-4);
    w.y_t = static_cast<float>(-angle * 2e-5);
    w.z_t = -1.0f;
    memcpy(&p.wavepacket, &w, sizeof(w));
    packet_offset += size;
    for (int32_t b = 0; b < p.extra_bytes_number; b++) {
      p.extra_bytes[b] = static_cast<uint8_t>(b == 0 ? (z - ground) * 10 : (b == 1 ? r : 7));
    }
  }

 private:
  struct Line {
    double time;
    uint16_t source;
    double x0;
    double y0;
    bool eastward;
  };

  void next_pulse() {
    if (pulses_left == 0) {
      line ^= 1;
      pulses_left = 500 + rng() % 2500;
    }
    pulses_left--;
    Line& l = lines[line];
    l.time += 1.0 / 200000.0;
    // Now and then the laser pauses, as on a turn.
    if (rng() % 20000 == 0) l.time += 1.7;
    time = l.time;
    const uint64_t pulse = pulse_counter[line]++;
    const int phase = static_cast<int>(pulse % 400);
    const bool up = (pulse / 400) % 2 == 0;
    direction = up;
    angle = up ? -20 + phase / 10 : 20 - phase / 10;
    edge = phase == 399;
    const double along = static_cast<double>(pulse) / 400.0 * 0.5;
    const double across = angle * 20.0 + (rng() % 100) * 0.001;
    x = l.eastward ? l.x0 + along : l.x0 + across;
    y = l.eastward ? l.y0 + across : l.y0 + along;
    returns = rng() % 10 < 7 ? 1 : 2 + static_cast<int>(rng() % 3);
    returns_left = returns;
    canopy = (rng() % 25);
  }

  std::mt19937 rng;
  Line lines[2];
  uint64_t pulse_counter[2] = {0, 0};
  int line = 1;
  uint32_t pulses_left = 0;
  int returns = 0;
  int returns_left = 0;
  int angle = 0;
  bool direction = false;
  bool edge = false;
  double x = 0.0;
  double y = 0.0;
  double canopy = 0.0;
  double time = 0.0;
  uint64_t packet_offset = 60;
};

// A LAS 1.3 header for `count` points of `format` with `extra_bytes` extra
// bytes, scale 0.01.
inline void make_header(LASheader& h, uint8_t format, uint16_t extra_bytes, uint32_t count) {
  h.clean();
  h.version_minor = 3;
  h.header_size = 235;
  h.offset_to_point_data = 235;
  h.point_data_format = format;
  h.point_data_record_length = static_cast<uint16_t>(LASitem::base_size(format) + extra_bytes);
  h.x_scale_factor = h.y_scale_factor = h.z_scale_factor = 0.01;
  h.number_of_point_records = count;
  h.max_x = h.max_y = h.max_z = 1e6;
  h.min_x = h.min_y = h.min_z = -1e6;
}

// `count` records of the header's format: a survey, or random bytes in
// every field.
inline Records make_records(const LASheader& h, uint32_t count, bool survey, uint32_t seed) {
  LASpoint p;
  EXPECT_TRUE(p.init(&h, h.point_data_format, h.point_data_record_length));
  Records r;
  r.size = p.total_point_size;
  r.bytes.resize(static_cast<size_t>(count) * r.size);
  Survey s(seed);
  std::mt19937 rng(seed);
  for (uint32_t i = 0; i < count; i++) {
    uint8_t* record = r.bytes.data() + static_cast<size_t>(i) * r.size;
    if (survey) {
      s.next(p);
      p.copy_to(record);
    } else {
      for (uint32_t b = 0; b < r.size; b++) record[b] = static_cast<uint8_t>(rng());
    }
  }
  return r;
}

// The records written through LASwriterLAS into memory; empty when the
// writer refused.
inline std::vector<uint8_t> write_qpk(const LASheader& h, const Records& r, uint32_t compressor, int32_t version,
                                      int32_t chunk_size) {
  ByteStreamOutArrayLE out(static_cast<int64_t>(r.bytes.size() / 2 + 4096));
  LASwriterLAS writer;
  writer.set_delete_stream(false);
  if (!writer.open(&out, &h, compressor, version, chunk_size)) return {};
  LASpoint p;
  if (!p.init(&h, h.point_data_format, h.point_data_record_length)) return {};
  for (size_t i = 0; i < r.count(); i++) {
    p.copy_from(r.at(i));
    if (!writer.write_point(&p)) return {};
  }
  if (writer.close() <= 0) return {};
  return std::vector<uint8_t>(out.get_data(), out.get_data() + out.get_size());
}

// Reads every point of the bytes and compares it with the records; returns
// how many points matched before the first difference or the end.
inline size_t read_back(const std::vector<uint8_t>& bytes, const Records& r) {
  LASreaderLAS reader;
  if (!reader.open(new ByteStreamInArrayLE(bytes.data(), static_cast<int64_t>(bytes.size())))) return 0;
  std::vector<uint8_t> record(r.size);
  size_t i = 0;
  while (i < r.count() && reader.read_point()) {
    if (reader.point.total_point_size != r.size) return i;
    reader.point.copy_to(record.data());
    if (memcmp(record.data(), r.at(i), r.size) != 0) {
      // Name the fields that differ.
      LASpoint expected;
      EXPECT_TRUE(expected.init(&reader.header, reader.point.num_items, reader.point.items));
      expected.copy_from(r.at(i));
      SCOPED_TRACE(::testing::Message() << "point " << i);
      EXPECT_EQ(expected.X, reader.point.X);
      EXPECT_EQ(expected.Y, reader.point.Y);
      EXPECT_EQ(expected.Z, reader.point.Z);
      EXPECT_EQ(expected.intensity, reader.point.intensity);
      EXPECT_EQ(0, memcmp(&expected.gps_time, &reader.point.gps_time, 8));
      EXPECT_EQ(0, memcmp(expected.rgb, reader.point.rgb, 6));
      EXPECT_EQ(0, memcmp(&expected.wavepacket, &reader.point.wavepacket, sizeof(LASwavepacket)));
      ADD_FAILURE() << "record " << i << " differs";
      return i;
    }
    i++;
  }
  // Nothing beyond the records, and the encoding ends where it should.
  EXPECT_FALSE(reader.read_point());
  return i;
}

}  // namespace qpk

#endif
