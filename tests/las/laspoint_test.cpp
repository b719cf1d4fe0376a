#include "las/laspoint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

template <typename T>
void put(uint8_t* p, T v) {
  memcpy(p, &v, sizeof(T));
}

// A 30-byte POINT14 record.
struct Raw14 {
  int32_t X = 0, Y = 0, Z = 0;
  uint16_t intensity = 0;
  uint8_t r = 1, n = 1;
  uint8_t flags = 0;  // bits 0-3 class flags, 4-5 channel, 6 scan direction, 7 edge
  uint8_t classification = 0;
  uint8_t user_data = 0;
  int16_t scan_angle = 0;
  uint16_t point_source_ID = 0;
  double gps_time = 0.0;

  std::vector<uint8_t> bytes() const {
    std::vector<uint8_t> b(30);
    put(&b[0], X);
    put(&b[4], Y);
    put(&b[8], Z);
    put(&b[12], intensity);
    b[14] = static_cast<uint8_t>(r | (n << 4));
    b[15] = flags;
    b[16] = classification;
    b[17] = user_data;
    put(&b[18], scan_angle);
    put(&b[20], point_source_ID);
    put(&b[22], gps_time);
    return b;
  }
};

struct ItemPlace {
  LASitem::Type type;
  size_t offset;  // offsetof the field the item points to
};

struct InitCase {
  int format;
  uint16_t point_size;
  bool gps, rgb, nir, wavepacket;
  int extended_point_type;
  int extra_bytes;
  std::vector<LASitem::Type> types;
};

const InitCase kInitCases[] = {
    {0, 20, false, false, false, false, 0, 0, {LASitem::POINT10}},
    {1, 30, true, false, false, false, 0, 2, {LASitem::POINT10, LASitem::GPSTIME11, LASitem::BYTE}},
    {2, 26, false, true, false, false, 0, 0, {LASitem::POINT10, LASitem::RGB12}},
    {3, 30, true, true, false, false, 0, 0, {LASitem::POINT10, LASitem::GPSTIME11, LASitem::RGB12}},
    {4, 57, true, false, false, true, 0, 0, {LASitem::POINT10, LASitem::GPSTIME11, LASitem::WAVEPACKET13}},
    {5, 64, true, true, false, true, 0, 1,
     {LASitem::POINT10, LASitem::GPSTIME11, LASitem::RGB12, LASitem::WAVEPACKET13, LASitem::BYTE}},
    {6, 30, true, false, false, false, 1, 0, {LASitem::POINT14}},
    {7, 40, true, true, false, false, 1, 4, {LASitem::POINT14, LASitem::RGB14, LASitem::BYTE14}},
    {8, 38, true, true, true, false, 1, 0, {LASitem::POINT14, LASitem::RGBNIR14}},
    {9, 59, true, false, false, true, 1, 0, {LASitem::POINT14, LASitem::WAVEPACKET14}},
    {10, 77, true, true, true, true, 1, 10,
     {LASitem::POINT14, LASitem::RGBNIR14, LASitem::WAVEPACKET14, LASitem::BYTE14}},
};

const uint8_t* expected_place(const LASpoint& p, LASitem::Type type) {
  switch (type) {
    case LASitem::POINT10:
    case LASitem::POINT14: return reinterpret_cast<const uint8_t*>(&p.X);
    case LASitem::GPSTIME11: return reinterpret_cast<const uint8_t*>(&p.gps_time);
    case LASitem::RGB12:
    case LASitem::RGB14:
    case LASitem::RGBNIR14: return reinterpret_cast<const uint8_t*>(p.rgb);
    case LASitem::WAVEPACKET13:
    case LASitem::WAVEPACKET14: return reinterpret_cast<const uint8_t*>(&p.wavepacket);
    default: return p.extra_bytes;
  }
}

TEST(LASpoint, InitBindsEveryFormat) {
  const LASquantizer quantizer;
  const LASattributer attributer;
  for (const InitCase& c : kInitCases) {
    SCOPED_TRACE(testing::Message() << "format " << c.format << " size " << c.point_size);
    LASpoint p;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(p.init(&quantizer, static_cast<uint8_t>(c.format), c.point_size, &attributer));
    const std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_EQ(p.quantizer, &quantizer);
    EXPECT_EQ(p.attributer, &attributer);
    EXPECT_EQ(p.have_gps_time, c.gps);
    EXPECT_EQ(p.have_rgb, c.rgb);
    EXPECT_EQ(p.have_nir, c.nir);
    EXPECT_EQ(p.have_wavepacket, c.wavepacket);
    EXPECT_EQ(p.extended_point_type, c.extended_point_type);
    EXPECT_EQ(p.extra_bytes_number, c.extra_bytes);
    ASSERT_EQ(p.num_items, c.types.size());
    uint32_t sum = 0;
    for (size_t i = 0; i < c.types.size(); i++) {
      EXPECT_EQ(p.items[i].type, c.types[i]);
      EXPECT_EQ(p.point[i], expected_place(p, c.types[i]));
      sum += p.items[i].size;
    }
    EXPECT_EQ(p.total_point_size, sum);
    EXPECT_EQ(sum, std::max<uint32_t>(c.point_size, LASitem::base_size(static_cast<uint8_t>(c.format))));
    for (int i = 0; i < p.extra_bytes_number; i++) EXPECT_EQ(p.extra_bytes[i], 0);
    if (c.format == 3) {
      EXPECT_EQ(warnings, "WARNING: point size 30 too small by 4 bytes for point type 3. assuming point_size of 34\n");
    } else {
      EXPECT_EQ(warnings, "");
    }
  }
}

TEST(LASpoint, InitRejectsUnknownFormat) {
  LASpoint p;
  ASSERT_TRUE(p.init(nullptr, 1, 28));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(p.init(nullptr, 11, 20));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: unknown point type 11 with point size 20\n");
  EXPECT_EQ(p.num_items, 0);
  EXPECT_EQ(p.items, nullptr);
  EXPECT_FALSE(p.have_gps_time);
}

TEST(LASpoint, InitRejectsBadItemLists) {
  struct Case {
    const char* name;
    std::vector<LASitem> items;
  };
  const Case cases[] = {
      {"empty list", {}},
      {"reserved type 3", {LASitem(LASitem::POINT10, 20), LASitem(static_cast<LASitem::Type>(3), 4)}},
      {"type above 14", {LASitem(static_cast<LASitem::Type>(15), 20)}},
      {"POINT10 too short", {LASitem(LASitem::POINT10, 19)}},
      {"RGB12 larger than its field", {LASitem(LASitem::POINT10, 20), LASitem(LASitem::RGB12, 200)}},
      {"wave packet too long", {LASitem(LASitem::POINT14, 30), LASitem(LASitem::WAVEPACKET14, 30)}},
      {"empty extra bytes", {LASitem(LASitem::POINT10, 20), LASitem(LASitem::BYTE, 0)}},
      {"record beyond 65535 bytes",
       {LASitem(LASitem::POINT10, 20), LASitem(LASitem::BYTE, 65535), LASitem(LASitem::BYTE, 65535)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LASpoint p;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(p.init(nullptr, static_cast<uint16_t>(c.items.size()), c.items.empty() ? nullptr : c.items.data()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(p.num_items, 0);
    EXPECT_EQ(p.point, nullptr);
    EXPECT_EQ(p.extra_bytes, nullptr);
    EXPECT_EQ(p.extended_point_type, 0);
  }
}

TEST(LASpoint, InitCopiesACustomItemList) {
  std::vector<LASitem> items = {LASitem(LASitem::POINT14, 30, 3), LASitem(LASitem::BYTE, 2, 2),
                                LASitem(LASitem::BYTE14, 3, 3)};
  LASpoint p;
  ASSERT_TRUE(p.init(nullptr, 3, items.data()));
  items[0].version = 9;
  EXPECT_EQ(p.items[0], LASitem(LASitem::POINT14, 30, 3));
  EXPECT_EQ(p.extra_bytes_number, 5);
  EXPECT_EQ(p.total_point_size, 35u);
  // two extra-bytes items follow each other instead of overlapping
  EXPECT_EQ(p.point[1], p.extra_bytes);
  EXPECT_EQ(p.point[2], p.extra_bytes + 2);
}

// The first 20 bytes of the record are the on-disk POINT10 record.
TEST(LASpoint, Point10BytesMapToTheLegacyFields) {
  LASpoint p;
  ASSERT_TRUE(p.init(nullptr, 0, 20));
  uint8_t raw[20];
  put<int32_t>(raw + 0, -7);
  put<int32_t>(raw + 4, 123456789);
  put<int32_t>(raw + 8, INT32_MIN);
  put<uint16_t>(raw + 12, 65000);
  raw[14] = 0xAB;  // return 3, of 5, scan direction 0, edge 1
  raw[15] = 0xD3;  // class 19, synthetic 0, key-point 1, withheld 1
  raw[16] = 0xF6;  // -10 degrees
  raw[17] = 200;
  put<uint16_t>(raw + 18, 4321);
  p.copy_from(raw);
  EXPECT_EQ(p.X, -7);
  EXPECT_EQ(p.Y, 123456789);
  EXPECT_EQ(p.Z, INT32_MIN);
  EXPECT_EQ(p.intensity, 65000);
  EXPECT_EQ(p.return_number, 3);
  EXPECT_EQ(p.number_of_returns, 5);
  EXPECT_EQ(p.scan_direction_flag, 0);
  EXPECT_EQ(p.edge_of_flight_line, 1);
  EXPECT_EQ(p.classification, 19);
  EXPECT_EQ(p.synthetic_flag, 0);
  EXPECT_EQ(p.keypoint_flag, 1);
  EXPECT_EQ(p.withheld_flag, 1);
  EXPECT_EQ(p.scan_angle_rank, -10);
  EXPECT_EQ(p.user_data, 200);
  EXPECT_EQ(p.point_source_ID, 4321);
  uint8_t back[20];
  p.copy_to(back);
  EXPECT_EQ(memcmp(raw, back, 20), 0);
}

struct Read14Case {
  const char* name;
  Raw14 raw;
  // legacy view
  int return_number, number_of_returns, classification, synthetic, keypoint, withheld, scan_angle_rank;
  int scan_direction, edge;
  // extended view
  int extended_classification, extended_flags, channel;
};

Raw14 raw14(uint8_t r, uint8_t n, uint8_t flags, uint8_t classification, int16_t scan_angle) {
  Raw14 raw;
  raw.r = r;
  raw.n = n;
  raw.flags = flags;
  raw.classification = classification;
  raw.scan_angle = scan_angle;
  return raw;
}

const Read14Case kRead14Cases[] = {
    {"return 3 of 5", raw14(3, 5, 0, 2, 0), 3, 5, 2, 0, 0, 0, 0, 0, 0, 2, 0, 0},
    {"return 7 of 7", raw14(7, 7, 0, 2, 0), 7, 7, 2, 0, 0, 0, 0, 0, 0, 2, 0, 0},
    {"return 6 of 9 keeps its number", raw14(6, 9, 0, 2, 0), 6, 7, 2, 0, 0, 0, 0, 0, 0, 2, 0, 0},
    {"return 7 of 12 becomes 6 of 7", raw14(7, 12, 0, 2, 0), 6, 7, 2, 0, 0, 0, 0, 0, 0, 2, 0, 0},
    // any return above 6 that is not the last becomes the second to last
    {"return 9 of 12 becomes 6 of 7", raw14(9, 12, 0, 2, 0), 6, 7, 2, 0, 0, 0, 0, 0, 0, 2, 0, 0},
    {"last return 12 of 12 becomes 7 of 7", raw14(12, 12, 0, 2, 0), 7, 7, 2, 0, 0, 0, 0, 0, 0, 2, 0, 0},
    {"return 15 of 8 becomes 7 of 7", raw14(15, 8, 0, 2, 0), 7, 7, 2, 0, 0, 0, 0, 0, 0, 2, 0, 0},
    {"return 9 of 5 keeps three bits", raw14(9, 5, 0, 2, 0), 1, 5, 2, 0, 0, 0, 0, 0, 0, 2, 0, 0},
    {"classification 31 fits", raw14(1, 1, 0, 31, 0), 1, 1, 31, 0, 0, 0, 0, 0, 0, 31, 0, 0},
    {"classification 32 does not", raw14(1, 1, 0, 32, 0), 1, 1, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0},
    {"classification 40", raw14(1, 1, 0, 40, 0), 1, 1, 0, 0, 0, 0, 0, 0, 0, 40, 0, 0},
    {"classification 255", raw14(1, 1, 0, 255, 0), 1, 1, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0},
    {"synthetic", raw14(1, 1, 0x01, 2, 0), 1, 1, 2, 1, 0, 0, 0, 0, 0, 2, 1, 0},
    {"key-point", raw14(1, 1, 0x02, 2, 0), 1, 1, 2, 0, 1, 0, 0, 0, 0, 2, 2, 0},
    {"withheld", raw14(1, 1, 0x04, 2, 0), 1, 1, 2, 0, 0, 1, 0, 0, 0, 2, 4, 0},
    {"overlap has no legacy bit", raw14(1, 1, 0x08, 2, 0), 1, 1, 2, 0, 0, 0, 0, 0, 0, 2, 8, 0},
    {"scanner channel 3", raw14(1, 1, 0x30, 2, 0), 1, 1, 2, 0, 0, 0, 0, 0, 0, 2, 0, 3},
    {"scan direction and edge", raw14(1, 1, 0xC0, 2, 0), 1, 1, 2, 0, 0, 0, 0, 1, 1, 2, 0, 0},
    {"all flags", raw14(2, 3, 0xFF, 9, 0), 2, 3, 9, 1, 1, 1, 0, 1, 1, 9, 15, 3},
    {"+90 degrees", raw14(1, 1, 0, 2, 15000), 1, 1, 2, 0, 0, 0, 90, 0, 0, 2, 0, 0},
    {"-90 degrees", raw14(1, 1, 0, 2, -15000), 1, 1, 2, 0, 0, 0, -90, 0, 0, 2, 0, 0},
    {"-180 degrees clamps", raw14(1, 1, 0, 2, -30000), 1, 1, 2, 0, 0, 0, -128, 0, 0, 2, 0, 0},
    {"+196 degrees clamps", raw14(1, 1, 0, 2, 32767), 1, 1, 2, 0, 0, 0, 127, 0, 0, 2, 0, 0},
    {"-0.498 degrees rounds to 0", raw14(1, 1, 0, 2, -83), 1, 1, 2, 0, 0, 0, 0, 0, 0, 2, 0, 0},
    {"-0.504 degrees rounds away", raw14(1, 1, 0, 2, -84), 1, 1, 2, 0, 0, 0, -1, 0, 0, 2, 0, 0},
    {"+0.504 degrees rounds away", raw14(1, 1, 0, 2, 84), 1, 1, 2, 0, 0, 0, 1, 0, 0, 2, 0, 0},
};

TEST(LASpoint, Point14ReadsIntoLegacyAndExtendedFields) {
  for (const Read14Case& c : kRead14Cases) {
    SCOPED_TRACE(c.name);
    LASpoint p;
    ASSERT_TRUE(p.init(nullptr, 6, 30));
    Raw14 raw = c.raw;
    raw.X = -1;
    raw.Y = 2;
    raw.Z = INT32_MAX;
    raw.intensity = 777;
    raw.user_data = 66;
    raw.point_source_ID = 65535;
    raw.gps_time = 123456.789;
    p.copy_from(raw.bytes().data());
    EXPECT_EQ(p.X, -1);
    EXPECT_EQ(p.Y, 2);
    EXPECT_EQ(p.Z, INT32_MAX);
    EXPECT_EQ(p.intensity, 777);
    EXPECT_EQ(p.user_data, 66);
    EXPECT_EQ(p.point_source_ID, 65535);
    EXPECT_EQ(p.gps_time, 123456.789);
    EXPECT_EQ(p.return_number, c.return_number);
    EXPECT_EQ(p.number_of_returns, c.number_of_returns);
    EXPECT_EQ(p.classification, c.classification);
    EXPECT_EQ(p.synthetic_flag, c.synthetic);
    EXPECT_EQ(p.keypoint_flag, c.keypoint);
    EXPECT_EQ(p.withheld_flag, c.withheld);
    EXPECT_EQ(p.scan_angle_rank, c.scan_angle_rank);
    EXPECT_EQ(p.scan_direction_flag, c.scan_direction);
    EXPECT_EQ(p.edge_of_flight_line, c.edge);
    EXPECT_EQ(p.extended_return_number, c.raw.r);
    EXPECT_EQ(p.extended_number_of_returns, c.raw.n);
    EXPECT_EQ(p.extended_classification, c.extended_classification);
    EXPECT_EQ(p.extended_classification_flags, c.extended_flags);
    EXPECT_EQ(p.extended_scanner_channel, c.channel);
    EXPECT_EQ(p.extended_scan_angle, c.raw.scan_angle);
    EXPECT_EQ(p.extended_point_type, 1);
    EXPECT_EQ(p.get_extended_overlap_flag(), (c.extended_flags & 8) != 0);

    // and back to the same 30 bytes
    std::vector<uint8_t> back(30);
    p.copy_to(back.data());
    EXPECT_EQ(back, raw.bytes());
  }
}

TEST(LASpoint, LegacyPointWrittenAsPoint14) {
  struct Case {
    const char* name;
    int scan_angle_rank;
    int16_t expected_angle;
  };
  const Case cases[] = {
      {"zero", 0, 0},
      {"one degree", 1, 167},
      {"minus one degree", -1, -167},
      {"ninety degrees", 90, 15000},
      {"largest", 127, 21167},
      {"smallest", -128, -21333},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LASpointcore p;  // extended_point_type 0
    p.X = 5;
    p.return_number = 2;
    p.number_of_returns = 4;
    p.scan_direction_flag = 1;
    p.classification = 7;
    p.withheld_flag = 1;
    p.keypoint_flag = 1;
    p.extended_scanner_channel = 2;        // not written for a legacy point
    p.extended_classification_flags = 8;  // nor the overlap bit
    p.extended_classification = 40;
    p.scan_angle_rank = static_cast<int8_t>(c.scan_angle_rank);
    p.gps_time = -1.5;
    uint8_t raw[30];
    p.write_point14(raw);
    Raw14 expected = raw14(2, 4, 0x40 | 0x06, 7, c.expected_angle);
    expected.X = 5;
    expected.gps_time = -1.5;
    EXPECT_EQ(std::vector<uint8_t>(raw, raw + 30), expected.bytes());
  }
}

TEST(LASpoint, ExtendedPointWritesItsExtendedFields) {
  LASpoint p;
  ASSERT_TRUE(p.init(nullptr, 6, 30));
  p.set_classification(40);
  p.set_synthetic_flag(true);
  p.set_extended_overlap_flag(true);
  p.extended_scanner_channel = 1;
  p.set_extended_return_number(9);
  p.set_extended_number_of_returns(12);
  p.set_return_number(9);
  p.set_number_of_returns(12);
  p.extended_scan_angle = -20000;
  p.scan_angle_rank = 5;  // the legacy angle is not written
  p.edge_of_flight_line = 1;
  std::vector<uint8_t> raw(30);
  p.copy_to(raw.data());
  EXPECT_EQ(raw, raw14(9, 12, 0x80 | 0x10 | 0x08 | 0x01, 40, -20000).bytes());

  // a legacy classification other than 0 wins over the extended one
  p.classification = 5;
  p.copy_to(raw.data());
  EXPECT_EQ(raw[16], 5);
}

// Fills every field that some item carries with a distinctive value.
void fill(LASpoint& p, uint8_t seed) {
  p.X = -100000 * seed;
  p.Y = 7 + seed;
  p.Z = 1000000 + seed;
  p.intensity = static_cast<uint16_t>(1000 + seed);
  p.set_return_number(2);
  p.set_number_of_returns(3);
  p.set_extended_return_number(2);
  p.set_extended_number_of_returns(3);
  p.scan_direction_flag = 1;
  p.set_classification(static_cast<uint8_t>(seed % 32));
  p.set_withheld_flag(true);
  p.scan_angle_rank = -12;
  p.extended_scan_angle = -2000;
  p.user_data = seed;
  p.point_source_ID = static_cast<uint16_t>(300 + seed);
  p.extended_scanner_channel = 2;
  p.gps_time = 1e9 + seed + 0.25;
  for (int i = 0; i < 4; i++) p.rgb[i] = static_cast<uint16_t>(seed * 100 + i);
  p.wavepacket.index = seed;
  p.wavepacket.offset = 0x0123456789ABCDEFull + seed;
  p.wavepacket.size = 99;
  p.wavepacket.location = 1.5f;
  p.wavepacket.x_t = -0.25f;
  for (int i = 0; i < p.extra_bytes_number; i++) p.extra_bytes[i] = static_cast<uint8_t>(seed + i);
}

TEST(LASpoint, FlatBufferRoundTripsEveryFormat) {
  for (const InitCase& c : kInitCases) {
    SCOPED_TRACE(testing::Message() << "format " << c.format);
    LASpoint a;
    LASpoint b;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(a.init(nullptr, static_cast<uint8_t>(c.format), c.point_size));
    ASSERT_TRUE(b.init(nullptr, static_cast<uint8_t>(c.format), c.point_size));
    testing::internal::GetCapturedStderr();
    fill(a, 17);
    std::vector<uint8_t> buffer(a.total_point_size);
    a.copy_to(buffer.data());
    b.copy_from(buffer.data());
    std::vector<uint8_t> again(b.total_point_size);
    b.copy_to(again.data());
    EXPECT_EQ(buffer, again);
    EXPECT_EQ(b.X, a.X);
    EXPECT_EQ(b.point_source_ID, a.point_source_ID);
    EXPECT_EQ(b.classification, a.classification);
    EXPECT_EQ(b.withheld_flag, 1);
    if (c.gps) {  // also inside a POINT14 item
      EXPECT_EQ(b.gps_time, a.gps_time);
    }
    if (c.rgb) {
      EXPECT_EQ(b.rgb[2], a.rgb[2]);
    }
    if (c.nir) {
      EXPECT_EQ(b.rgb[3], a.rgb[3]);
    }
    if (c.wavepacket) {
      EXPECT_EQ(static_cast<uint64_t>(b.wavepacket.offset), static_cast<uint64_t>(a.wavepacket.offset));
    }
    if (c.extra_bytes > 0) {
      EXPECT_EQ(memcmp(a.extra_bytes, b.extra_bytes, c.extra_bytes), 0);
    }
    if (c.extended_point_type) {
      EXPECT_EQ(b.extended_scan_angle, -2000);
      EXPECT_EQ(b.extended_scanner_channel, 2);
    }
  }
}

TEST(LASpoint, AssignmentCopiesWhatTheSourceHas) {
  LASpoint src;
  LASpoint dst;
  ASSERT_TRUE(src.init(nullptr, 0, 22));  // no GPS time, no colour, 2 extra bytes
  ASSERT_TRUE(dst.init(nullptr, 3, 38));  // GPS time, colour, 4 extra bytes
  fill(src, 1);
  fill(dst, 2);
  dst = src;
  EXPECT_EQ(dst.X, src.X);
  EXPECT_EQ(dst.Z, src.Z);
  EXPECT_EQ(dst.intensity, src.intensity);
  EXPECT_EQ(dst.classification, src.classification);
  EXPECT_EQ(dst.user_data, 1);
  EXPECT_EQ(dst.gps_time, 1e9 + 2 + 0.25);  // kept: the source has none
  EXPECT_EQ(dst.rgb[0], 200);               // kept
  EXPECT_EQ(dst.extra_bytes[0], 1);         // the common two bytes copied
  EXPECT_EQ(dst.extra_bytes[1], 2);
  EXPECT_EQ(dst.extra_bytes[2], 4);  // the rest kept
  EXPECT_EQ(dst.num_items, 4);

  LASpoint rgb_only;
  LASpoint nir;
  ASSERT_TRUE(rgb_only.init(nullptr, 7, 36));
  ASSERT_TRUE(nir.init(nullptr, 8, 38));
  fill(rgb_only, 3);
  fill(nir, 4);
  nir = rgb_only;
  EXPECT_EQ(nir.rgb[0], 300);
  EXPECT_EQ(nir.rgb[2], 302);
  EXPECT_EQ(nir.rgb[3], 403);  // the source has no near infrared
  rgb_only = nir;
  EXPECT_EQ(rgb_only.rgb[3], 403);

  LASpoint wave;
  ASSERT_TRUE(wave.init(nullptr, 4, 57));
  fill(wave, 5);
  nir = wave;
  EXPECT_EQ(nir.wavepacket.index, 5);
  EXPECT_EQ(nir.gps_time, wave.gps_time);
}

TEST(LASpoint, AssignmentBetweenLegacyAndExtendedPoints) {
  // extended source: its LAS 1.4 fields are copied, even into a legacy point
  LASpoint ext;
  ASSERT_TRUE(ext.init(nullptr, 6, 30));
  ext.set_classification(45);
  ext.set_extended_overlap_flag(true);
  ext.extended_scanner_channel = 3;
  ext.set_extended_return_number(10);
  ext.set_extended_number_of_returns(11);
  ext.extended_scan_angle = 12345;
  LASpoint legacy;
  ASSERT_TRUE(legacy.init(nullptr, 1, 28));
  legacy = ext;
  EXPECT_EQ(legacy.extended_point_type, 0);
  EXPECT_EQ(legacy.extended_classification, 45);
  EXPECT_EQ(legacy.classification, 0);
  EXPECT_EQ(legacy.extended_classification_flags, 8);
  EXPECT_EQ(legacy.extended_scanner_channel, 3);
  EXPECT_EQ(legacy.extended_return_number, 10);
  EXPECT_EQ(legacy.extended_number_of_returns, 11);
  EXPECT_EQ(legacy.extended_scan_angle, 12345);

  // legacy source into an extended point: the LAS 1.4 fields are derived
  struct Case {
    const char* name;
    int scan_angle_rank;
    int16_t expected_angle;
  };
  const Case cases[] = {{"zero", 0, 0}, {"one", 1, 167}, {"minus one", -1, -167}, {"largest", 127, 21167},
                        {"smallest", -128, -21333}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LASpoint src;
    ASSERT_TRUE(src.init(nullptr, 1, 28));
    src.set_classification(17);
    src.set_keypoint_flag(true);
    src.set_withheld_flag(true);
    src.extended_classification_flags = 8;  // not part of a legacy point's values
    src.return_number = 4;
    src.number_of_returns = 5;
    src.scan_angle_rank = static_cast<int8_t>(c.scan_angle_rank);
    LASpoint dst;
    ASSERT_TRUE(dst.init(nullptr, 6, 30));
    dst.extended_scanner_channel = 1;
    dst = src;
    EXPECT_EQ(dst.extended_point_type, 1);
    EXPECT_EQ(dst.extended_classification, 17);
    EXPECT_EQ(dst.extended_classification_flags, 6);  // overlap 0
    EXPECT_EQ(dst.extended_return_number, 4);
    EXPECT_EQ(dst.extended_number_of_returns, 5);
    EXPECT_EQ(dst.extended_scan_angle, c.expected_angle);
    EXPECT_EQ(dst.extended_scanner_channel, 0);  // the source's
  }

  // two legacy points: the extended fields stay
  LASpoint a;
  LASpoint b;
  ASSERT_TRUE(a.init(nullptr, 0, 20));
  ASSERT_TRUE(b.init(nullptr, 0, 20));
  a.extended_classification = 99;
  b.extended_classification = 7;
  b = a;
  EXPECT_EQ(b.extended_classification, 7);
}

TEST(LASpoint, ClassificationKeepsLegacyAndExtendedConsistent) {
  struct Case {
    int c;
    int legacy;
  };
  const Case cases[] = {{0, 0}, {2, 2}, {31, 31}, {32, 0}, {40, 0}, {255, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.c);
    LASpoint p;
    p.synthetic_flag = 1;
    p.withheld_flag = 1;
    p.set_classification(static_cast<uint8_t>(c.c));
    EXPECT_EQ(p.classification, c.legacy);
    EXPECT_EQ(p.extended_classification, c.c);
    EXPECT_EQ(p.synthetic_flag, 1);
    EXPECT_EQ(p.keypoint_flag, 0);
    EXPECT_EQ(p.withheld_flag, 1);
    EXPECT_TRUE(p.is_classification(static_cast<uint8_t>(c.c)));
  }
  // below 32 the legacy field is compared, from 32 on the extended one
  LASpoint p;
  p.classification = 3;
  p.extended_classification = 40;
  EXPECT_TRUE(p.is_classification(3));
  EXPECT_FALSE(p.is_classification(0));
  EXPECT_TRUE(p.is_classification(40));
  EXPECT_FALSE(p.is_classification(3 + 32));
}

TEST(LASpoint, FlagSettersSetBothBits) {
  LASpoint p;
  p.set_synthetic_flag(true);
  p.set_keypoint_flag(true);
  p.set_withheld_flag(true);
  p.set_extended_overlap_flag(true);
  EXPECT_EQ(p.synthetic_flag + p.keypoint_flag + p.withheld_flag, 3);
  EXPECT_EQ(p.extended_classification_flags, 15);
  EXPECT_TRUE(p.get_extended_overlap_flag());
  p.set_keypoint_flag(false);
  EXPECT_EQ(p.keypoint_flag, 0);
  EXPECT_EQ(p.extended_classification_flags, 13);
  p.set_extended_overlap_flag(false);
  p.set_synthetic_flag(false);
  EXPECT_EQ(p.synthetic_flag, 0);
  EXPECT_EQ(p.withheld_flag, 1);
  EXPECT_EQ(p.extended_classification_flags, 4);
  EXPECT_FALSE(p.get_extended_overlap_flag());
}

TEST(LASpoint, ReturnSettersSaturateOrWrap) {
  struct Case {
    int n;
    int legacy;
    int extended;
  };
  const Case cases[] = {{0, 0, 0}, {1, 1, 1}, {7, 7, 7}, {8, 7, 8}, {15, 7, 15}, {16, 7, 0}, {255, 7, 15}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    LASpoint p;
    const uint8_t n = static_cast<uint8_t>(c.n);
    p.set_return_number(n);
    p.set_number_of_returns(n);
    p.set_extended_return_number(n);
    p.set_extended_number_of_returns(n);
    EXPECT_EQ(p.return_number, c.legacy);
    EXPECT_EQ(p.number_of_returns, c.legacy);
    EXPECT_EQ(p.extended_return_number, c.extended);
    EXPECT_EQ(p.extended_number_of_returns, c.extended);
  }
}

TEST(LASpoint, ScanAngleSetterFollowsThePointType) {
  struct Case {
    const char* name;
    bool extended;
    float degrees;
    int expected;
  };
  const Case cases[] = {
      {"legacy whole", false, 12.0f, 12},
      {"legacy half up", false, 12.5f, 13},
      {"legacy half down", false, -12.5f, -13},
      {"legacy below half", false, -12.4f, -12},
      {"legacy beyond range", false, 200.0f, 127},
      {"legacy below range", false, -200.0f, -128},
      {"legacy NaN", false, NAN, 0},
      {"extended ninety", true, 90.0f, 15000},
      {"extended half step", true, -0.003f, -1},
      {"extended below half step", true, 0.0029f, 0},
      {"extended minus ninety", true, -90.0f, -15000},
      {"extended beyond range", true, 1000.0f, 32767},
      {"extended below range", true, -1000.0f, -32768},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LASpoint p;
    p.extended_point_type = c.extended ? 1 : 0;
    p.set_scan_angle(c.degrees);
    if (c.extended) {
      EXPECT_EQ(p.extended_scan_angle, c.expected);
      EXPECT_EQ(p.scan_angle_rank, 0);
    } else {
      EXPECT_EQ(p.scan_angle_rank, c.expected);
      EXPECT_EQ(p.extended_scan_angle, 0);
    }
  }
  LASpoint p;
  p.extended_point_type = 1;
  p.extended_scan_angle = 15000;
  EXPECT_FLOAT_EQ(p.get_scan_angle(), 90.0f);
}

TEST(LASpoint, ZeroKeepsTheBindingAndCleanReleasesIt) {
  LASquantizer quantizer;
  LASpoint p;
  ASSERT_TRUE(p.init(&quantizer, 10, 70));
  fill(p, 9);
  p.set_extended_overlap_flag(true);
  p.keypoint_flag = 1;
  p.edge_of_flight_line = 1;
  p.zero();
  const LASpointcore empty;
  EXPECT_EQ(memcmp(static_cast<const void*>(&p.X), &empty.X, 20), 0);
  EXPECT_EQ(p.return_number, 1);
  EXPECT_EQ(p.number_of_returns, 1);
  EXPECT_EQ(p.extended_return_number, 1);
  EXPECT_EQ(p.extended_number_of_returns, 1);
  EXPECT_EQ(p.extended_classification_flags, 0);
  EXPECT_EQ(p.extended_scanner_channel, 0);
  EXPECT_EQ(p.extended_scan_angle, 0);
  EXPECT_EQ(p.gps_time, 0.0);
  EXPECT_EQ(p.rgb[3], 0);
  EXPECT_EQ(static_cast<uint64_t>(p.wavepacket.offset), 0u);
  EXPECT_EQ(p.extended_point_type, 1);  // unchanged
  EXPECT_EQ(p.num_items, 4);
  EXPECT_EQ(p.extra_bytes[1], 10);  // extra bytes are not values of zero()

  p.clean();
  EXPECT_EQ(p.extended_point_type, 0);
  EXPECT_EQ(p.num_items, 0);
  EXPECT_EQ(p.items, nullptr);
  EXPECT_EQ(p.point, nullptr);
  EXPECT_EQ(p.extra_bytes, nullptr);
  EXPECT_EQ(p.extra_bytes_number, 0);
  EXPECT_EQ(p.total_point_size, 0u);
  EXPECT_EQ(p.quantizer, nullptr);
  EXPECT_FALSE(p.have_gps_time || p.have_rgb || p.have_nir || p.have_wavepacket);
  EXPECT_EQ(p.return_number, 1);
}

TEST(LASpoint, CoordinatesGoThroughTheQuantizer) {
  LASquantizer q;
  q.x_scale_factor = 0.25;
  q.y_scale_factor = 0.5;
  q.z_scale_factor = 0.5;
  q.x_offset = 500000.0;
  q.y_offset = 4000000.0;
  q.z_offset = -10.0;
  LASpoint p;
  ASSERT_TRUE(p.init(&q, 0, 20));
  // halves round away from the offset
  p.set_x(500012.125);
  p.set_y(3999999.75);
  p.set_z(-10.25);
  EXPECT_EQ(p.X, 49);
  EXPECT_EQ(p.Y, -1);
  EXPECT_EQ(p.Z, -1);
  p.compute_coordinates();
  EXPECT_DOUBLE_EQ(p.coordinates[0], 500012.25);
  EXPECT_DOUBLE_EQ(p.coordinates[1], 3999999.5);
  EXPECT_DOUBLE_EQ(p.coordinates[2], -10.5);
  EXPECT_DOUBLE_EQ(p.get_x(), p.coordinates[0]);
  EXPECT_DOUBLE_EQ(p.get_z(), -10.5);
}

// An attributer with one attribute of each base type, laid out one after
// the other in the extra bytes.
struct AttributeFixture {
  LASattributer attributer;
  LASpoint point;
  AttributeFixture() {
    for (int type = 1; type <= 10; type++) {
      LASattribute a(static_cast<uint8_t>(type), ("t" + std::to_string(type)).c_str());
      if (type == 4) a.set_scale(0.5);
      if (type == 6) a.set_offset(1000.0);
      if (type == 10) {
        a.set_scale(0.01);
        a.set_offset(-5.0);
        a.set_no_data(-9999.0);
      }
      EXPECT_EQ(attributer.add_attribute(a), type - 1);
    }
    EXPECT_EQ(attributer.get_attributes_size(), 42);
    EXPECT_TRUE(point.init(nullptr, 6, static_cast<uint16_t>(30 + 42), &attributer));
  }
};

TEST(LASpoint, AttributesReadAndWrittenThroughTheAttributer) {
  AttributeFixture f;
  struct Case {
    int index;
    double value;
  };
  const Case cases[] = {{0, 255.0},     {1, -128.0},       {2, 65535.0}, {3, -1.0},
                        {4, 4e9},       {5, -2147482648.0}, {6, 1e15},    {7, -1e15},
                        {8, 0.5},       {9, 12.34}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    f.point.set_attribute_as_float(c.index, c.value);
    EXPECT_DOUBLE_EQ(f.point.get_attribute_as_float(c.index), c.value);
  }
  // -2 stored in the i16 attribute with scale 0.5 and no offset reads -1
  const int32_t start = f.attributer.get_attribute_start("t4");
  EXPECT_EQ(start, 4);
  EXPECT_EQ(f.point.extra_bytes[start], 0xFE);
  EXPECT_EQ(f.point.extra_bytes[start + 1], 0xFF);
  // no_data is not consulted when reading
  f.point.set_attribute_as_float(9, -9999.0);
  EXPECT_DOUBLE_EQ(f.point.get_attribute_as_float(9), -9999.0);
}

TEST(LASpoint, MissingAttributesReadZeroAndIgnoreWrites) {
  AttributeFixture f;
  f.point.set_attribute_as_float(0, 9.0);
  EXPECT_EQ(f.point.get_attribute_as_float(-1), 0.0);
  EXPECT_EQ(f.point.get_attribute_as_float(10), 0.0);
  f.point.set_attribute_as_float(10, 1.0);
  f.point.set_attribute_as_float(-1, 1.0);

  LASpoint no_attributer;
  ASSERT_TRUE(no_attributer.init(nullptr, 6, 72));
  EXPECT_EQ(no_attributer.get_attribute_as_float(0), 0.0);
  no_attributer.set_attribute_as_float(0, 5.0);
  EXPECT_EQ(no_attributer.extra_bytes[0], 0);

  // a header whose attributes describe more bytes than the records carry
  LASpoint short_record;
  ASSERT_TRUE(short_record.init(nullptr, 6, 30 + 20, &f.attributer));
  EXPECT_EQ(short_record.get_attribute_as_float(5), 1000.0);  // i32 at 8..12 fits: 0 + offset
  short_record.set_attribute_as_float(5, 1001.0);
  EXPECT_EQ(short_record.get_attribute_as_float(5), 1001.0);
  EXPECT_EQ(short_record.get_attribute_as_float(6), 0.0);  // u64 at 12..20 fits
  EXPECT_EQ(short_record.get_attribute_as_float(7), 0.0);  // i64 at 20..28 does not
  short_record.set_attribute_as_float(7, 3.0);              // must not write past the end
  LASpoint no_extra;
  ASSERT_TRUE(no_extra.init(nullptr, 6, 30, &f.attributer));
  EXPECT_EQ(no_extra.get_attribute_as_float(0), 0.0);
  no_extra.set_attribute_as_float(0, 3.0);
}

}  // namespace
