// Compressed LAS 1.4 files (point types 6 to 10, layered chunks) built in
// memory with our writer: records of a multi-channel airborne survey with
// the LAS 1.4 ranges (classes above 31, up to 15 returns, overlap and
// withheld flags, GPS times of +0 and -0), written through LASwriterLAS,
// optionally cut into chunks of varying size, and read back through
// LASreaderLAS.
#ifndef TIECHECK_TESTS_LAS_QPK14_FIXTURE_H
#define TIECHECK_TESTS_LAS_QPK14_FIXTURE_H

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
#include "las/lasitem.h"
#include "las/laspoint.h"
#include "las/lasreader_las.h"
#include "las/laswriter_las.h"

namespace qpk14 {

// Offsets inside the 30-byte POINT14 record, the first item of every record.
enum Point14Offset {
  kX = 0,
  kY = 4,
  kZ = 8,
  kIntensity = 12,
  kReturns = 14,
  kFlags = 15,
  kClass = 16,
  kUserData = 17,
  kScanAngle = 18,
  kPointSource = 20,
  kGpsTime = 22
};
constexpr size_t kPoint14Bytes = 30;

// Point records laid out back to back.
struct Records {
  uint32_t size = 0;
  std::vector<uint8_t> bytes;

  size_t count() const { return size ? bytes.size() / size : 0; }
  const uint8_t* at(size_t i) const { return bytes.data() + i * size; }
  uint8_t* at(size_t i) { return bytes.data() + i * size; }
};

template <typename T>
void put(uint8_t* at, T v) {
  memcpy(at, &v, sizeof(T));
}

template <typename T>
T get(const uint8_t* at) {
  T v;
  memcpy(&v, at, sizeof(T));
  return v;
}

// How the scanner channels of consecutive pulses follow each other.
enum class Channels {
  one,          // channel 0 only
  alternating,  // 0, 1, 0, 1, ... pulse by pulse
  bursts,       // runs of one channel, switching among all four
};

// A LAS 1.4 header for `count` points of `format` (6 to 10) with
// `extra_bytes` extra bytes, scale 0.01.
inline void make_header(LASheader& h, uint8_t format, uint16_t extra_bytes, uint64_t count) {
  h.clean();
  h.version_minor = 4;
  h.header_size = LASheader::header_size_14;
  h.offset_to_point_data = LASheader::header_size_14;
  h.point_data_format = format;
  h.point_data_record_length = static_cast<uint16_t>(LASitem::base_size(format) + extra_bytes);
  h.x_scale_factor = h.y_scale_factor = h.z_scale_factor = 0.01;
  h.number_of_point_records = 0;
  h.extended_number_of_point_records = count;
  h.max_x = h.max_y = h.max_z = 1e6;
  h.min_x = h.min_y = h.min_z = -1e6;
}

// `count` records of the header's format from a survey flown by a scanner
// whose channels follow `channels`. Besides terrain-like coordinates the
// records hold the LAS 1.4 ranges: classes above 31, up to 15 returns (and
// now and then a return number above the count), the overlap, withheld,
// synthetic and key-point flags, scan angles beyond the legacy range, GPS
// times that repeat, jump, and run through a stretch of +0 and -0, and
// colours, near infrared, wave packets and extra bytes that change at
// different rates.
inline Records make_records(const LASheader& h, uint32_t count, Channels channels, uint32_t seed) {
  LASpoint layout;
  EXPECT_TRUE(layout.init(&h, h.point_data_format, h.point_data_record_length));
  Records r;
  r.size = layout.total_point_size;
  r.bytes.assign(static_cast<size_t>(count) * r.size, 0);
  std::mt19937 rng(seed);
  const uint8_t format = h.point_data_format;
  const bool rgb = format == 7 || format == 8 || format == 10;
  const bool nir = format == 8 || format == 10;
  const bool wave = format == 9 || format == 10;
  const size_t extra_at = kPoint14Bytes + (rgb ? (nir ? 8 : 6) : 0) + (wave ? 29 : 0);

  double times[4] = {5000.0, 5000.0 + 1e-7, 5000.0 + 2e-7, 5000.0 + 3e-7};
  uint32_t channel = 0;
  uint32_t burst = 0;
  uint32_t returns = 0;
  uint32_t returns_left = 0;
  uint32_t pulse = 0;
  double x = 1000.0;
  double y = 2000.0;
  uint16_t source = 7;
  uint64_t offset = 60;
  for (uint32_t i = 0; i < count; i++) {
    uint8_t* rec = r.at(i);
    if (returns_left == 0) {
      pulse++;
      switch (channels) {
        case Channels::one:
          break;
        case Channels::alternating:
          channel ^= 1;
          break;
        case Channels::bursts:
          if (burst == 0) {
            channel = rng() % 4;
            burst = 1 + rng() % 40;
          }
          burst--;
          break;
      }
      const uint32_t kind = rng() % 100;
      returns = kind < 60 ? 1 : (kind < 95 ? 2 + rng() % 4 : 6 + rng() % 10);
      returns_left = returns;
      times[channel] += 2.5e-6;
      if (rng() % 5000 == 0) times[channel] += 123.456;  // a pause
      x += 0.37 + (rng() % 10) * 0.01;
      if (pulse % 700 == 0) {
        x = 1000.0;
        y += 1.5;
      }
      if (pulse % 9000 == 0) source++;
    }
    const uint32_t rn = returns - returns_left + 1;
    returns_left--;
    const double ground = 100.0 + 5.0 * std::sin(x / 50.0) + 3.0 * std::cos(y / 70.0);
    put<int32_t>(rec + kX, static_cast<int32_t>(std::lround(x * 100.0)));
    put<int32_t>(rec + kY, static_cast<int32_t>(std::lround((y + channel * 0.25) * 100.0)));
    put<int32_t>(rec + kZ, static_cast<int32_t>(std::lround((ground + 2.0 * (returns - rn)) * 100.0)));
    put<uint16_t>(rec + kIntensity, static_cast<uint16_t>(300 + 40 * rn + rng() % 64));
    uint32_t r_out = rn & 15;
    uint32_t n_out = returns & 15;
    if (rng() % 500 == 0) r_out = (n_out + 1 + rng() % 3) & 15;  // a return above the count
    if (rng() % 2000 == 0) r_out = n_out = 0;
    rec[kReturns] = static_cast<uint8_t>(r_out | (n_out << 4));
    // Classification flags: synthetic 1, key-point 2, withheld 4, overlap 8.
    uint32_t class_flags = 0;
    if ((pulse / 50) % 7 == 0) class_flags |= 8;
    if (rng() % 300 == 0) class_flags |= 4;
    if (rng() % 700 == 0) class_flags |= 1 | 2;
    const bool direction = (pulse / 400) % 2 == 0;
    const bool edge = pulse % 400 == 399;
    rec[kFlags] = static_cast<uint8_t>(class_flags | (channel << 4) | (direction ? 0x40 : 0) | (edge ? 0x80 : 0));
    static const uint8_t classes[] = {1, 2, 2, 2, 5, 6, 9, 17, 40, 64, 65, 200, 255};
    rec[kClass] = rn == returns ? 2 : classes[rng() % sizeof(classes)];
    rec[kUserData] = static_cast<uint8_t>((pulse / 1000) % 3 == 0 ? rng() % 256 : 0);
    put<int16_t>(rec + kScanAngle, static_cast<int16_t>(-30000 + static_cast<int>((pulse * 37) % 60001)));
    put<uint16_t>(rec + kPointSource, source);
    // From the 1000th pulse on, a stretch of times of +0 and -0, after which
    // a new channel's context may start from a point of time -0.
    double t = times[channel];
    if (pulse >= 1000 && pulse < 1030) t = (rng() % 2) ? 0.0 : -0.0;
    put<double>(rec + kGpsTime, t);
    size_t at = kPoint14Bytes;
    if (rgb) {
      const bool grey = std::fmod(x, 200.0) < 90.0;
      const uint16_t shade = static_cast<uint16_t>((120 + 60 * std::sin(x / 9.0)) * 256);
      put<uint16_t>(rec + at, shade);
      put<uint16_t>(rec + at + 2, grey ? shade : static_cast<uint16_t>(shade / 2 + (rng() % 4) * 256));
      put<uint16_t>(rec + at + 4, grey ? shade : static_cast<uint16_t>(shade / 3 + 1000));
      at += 6;
      if (nir) {
        put<uint16_t>(rec + at, static_cast<uint16_t>((pulse / 20) * 97));
        at += 2;
      }
    }
    if (wave) {
      rec[at] = static_cast<uint8_t>(1 + (pulse / 5000) % 2);
      const uint32_t size = (rng() % 16) == 0 ? 512 : 256;
      put<uint64_t>(rec + at + 1, offset);
      put<uint32_t>(rec + at + 9, size);
      put<float>(rec + at + 13, static_cast<float>(1000 + 37 * rn));
      put<float>(rec + at + 17, static_cast<float>(x * 1e-4));
      put<float>(rec + at + 21, static_cast<float>(-y * 2e-5));
      put<float>(rec + at + 25, -1.0f);
      offset += size;
      at += 29;
    }
    for (size_t b = extra_at; b < r.size; b++) {
      const size_t k = b - extra_at;
      rec[b] = static_cast<uint8_t>(k == 0 ? rn : (k % 3 == 1 ? rng() : (k % 3 == 2 ? pulse / 100 : 7)));
    }
  }
  return r;
}

// Records of random bytes in every field.
inline Records make_random_records(const LASheader& h, uint32_t count, uint32_t seed) {
  LASpoint layout;
  EXPECT_TRUE(layout.init(&h, h.point_data_format, h.point_data_record_length));
  Records r;
  r.size = layout.total_point_size;
  r.bytes.resize(static_cast<size_t>(count) * r.size);
  std::mt19937 rng(seed);
  for (uint8_t& b : r.bytes) b = static_cast<uint8_t>(rng());
  return r;
}

// The records through LASwriterLAS into memory (compressor 3), with chunk()
// called after each point count listed in `chunk_ends`; empty when the
// writer refused.
inline std::vector<uint8_t> write_qpk(const LASheader& h, const Records& r, int32_t chunk_size,
                                      const std::vector<uint32_t>& chunk_ends = {}) {
  ByteStreamOutArrayLE out(static_cast<int64_t>(r.bytes.size() / 2 + 4096));
  LASwriterLAS writer;
  writer.set_delete_stream(false);
  if (!writer.open(&out, &h, 3, 0, chunk_size)) return {};
  LASpoint p;
  if (!p.init(&h, h.point_data_format, h.point_data_record_length)) return {};
  size_t next_end = 0;
  for (size_t i = 0; i < r.count(); i++) {
    p.copy_from(r.at(i));
    if (!writer.write_point(&p)) return {};
    if (next_end < chunk_ends.size() && chunk_ends[next_end] == i + 1) {
      if (!writer.chunk()) return {};
      next_end++;
    }
  }
  if (writer.close() <= 0) return {};
  return std::vector<uint8_t>(out.get_data(), out.get_data() + out.get_size());
}

// Whether two records are equal, except that a GPS time of +0 may come back
// as -0 and the other way round.
inline bool same_record(const uint8_t* a, const uint8_t* b, size_t size) {
  if (memcmp(a, b, size) == 0) return true;
  if (memcmp(a, b, kGpsTime) != 0 || memcmp(a + kGpsTime + 8, b + kGpsTime + 8, size - kGpsTime - 8) != 0) {
    return false;
  }
  return get<double>(a + kGpsTime) == 0.0 && get<double>(b + kGpsTime) == 0.0;
}

// Names the fields of a POINT14 record that differ.
inline std::string describe_difference(const uint8_t* expected, const uint8_t* got, size_t size) {
  static const struct {
    const char* name;
    size_t offset;
    size_t bytes;
  } fields[] = {{"X", kX, 4},
                {"Y", kY, 4},
                {"Z", kZ, 4},
                {"intensity", kIntensity, 2},
                {"returns", kReturns, 1},
                {"flags", kFlags, 1},
                {"classification", kClass, 1},
                {"user data", kUserData, 1},
                {"scan angle", kScanAngle, 2},
                {"point source", kPointSource, 2},
                {"GPS time", kGpsTime, 8}};
  std::string text;
  for (const auto& f : fields) {
    if (memcmp(expected + f.offset, got + f.offset, f.bytes) != 0) text += std::string(" ") + f.name;
  }
  if (memcmp(expected + kPoint14Bytes, got + kPoint14Bytes, size - kPoint14Bytes) != 0) text += " later items";
  return text;
}

// Reads every point of the bytes with `selective` and returns the records
// delivered; the messages printed go to `messages` when given.
inline Records read_all(const std::vector<uint8_t>& bytes, uint32_t selective = 0xFFFFFFFF,
                        std::string* messages = nullptr) {
  Records out;
  LASreaderLAS reader;
  if (messages) ::testing::internal::CaptureStderr();
  if (reader.open(new ByteStreamInArrayLE(bytes.data(), static_cast<int64_t>(bytes.size())), false, selective)) {
    out.size = reader.point.total_point_size;
    std::vector<uint8_t> record(out.size);
    while (reader.read_point()) {
      reader.point.copy_to(record.data());
      out.bytes.insert(out.bytes.end(), record.begin(), record.end());
    }
  }
  if (messages) *messages = ::testing::internal::GetCapturedStderr();
  return out;
}

// Expects the records read to be the records written.
inline void expect_same_records(const Records& expected, const Records& got) {
  ASSERT_EQ(got.size, expected.size);
  ASSERT_EQ(got.count(), expected.count());
  for (size_t i = 0; i < expected.count(); i++) {
    if (!same_record(expected.at(i), got.at(i), expected.size)) {
      FAIL() << "record " << i << " differs in" << describe_difference(expected.at(i), got.at(i), expected.size);
    }
  }
}

}  // namespace qpk14

#endif
