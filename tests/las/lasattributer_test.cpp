#include "las/lasattributer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace {

template <typename T>
void put(uint8_t* p, T v) {
  memcpy(p, &v, sizeof(T));
}

template <typename T>
T get(const uint8_t* p) {
  T v;
  memcpy(&v, p, sizeof(T));
  return v;
}

// A descriptor assembled byte by byte at the offsets of the LAS 1.4 Extra
// Bytes record, then copied into the struct as the header does.
TEST(LASattribute, RecordIsReadByteForByte) {
  uint8_t record[192] = {};
  record[2] = 4;  // i16
  record[3] = LASattribute::option_no_data | LASattribute::option_scale | LASattribute::option_offset;
  memcpy(record + 4, "height above ground", 19);
  put<int64_t>(record + 40, -9999);
  put<int64_t>(record + 64, -100);
  put<int64_t>(record + 88, 100);
  put<double>(record + 112, 0.01);
  put<double>(record + 120, 7.0);
  put<double>(record + 136, 250.0);
  memcpy(record + 160, "metres", 6);

  LASattribute a;
  memcpy(static_cast<void*>(&a), record, sizeof(record));
  EXPECT_EQ(a.data_type, 4);
  EXPECT_STREQ(a.name, "height above ground");
  EXPECT_STREQ(a.description, "metres");
  EXPECT_EQ(a.no_data[0].i64, -9999);
  EXPECT_EQ(a.min[0].i64, -100);
  EXPECT_EQ(a.max[0].i64, 100);
  EXPECT_EQ(a.scale[0], 0.01);
  EXPECT_EQ(a.scale[1], 7.0);
  EXPECT_EQ(a.offset[0], 250.0);
  EXPECT_TRUE(a.has_no_data());
  EXPECT_FALSE(a.has_min());
  EXPECT_FALSE(a.has_max());
  EXPECT_TRUE(a.has_scale());
  EXPECT_TRUE(a.has_offset());
  EXPECT_EQ(a.get_size(), 2);
  EXPECT_EQ(a.get_value_as_float(a.no_data[0]), -9999.0);

  uint8_t back[192];
  memcpy(back, &a, sizeof(back));
  EXPECT_EQ(memcmp(back, record, sizeof(record)), 0);
}

TEST(LASattribute, ConstructorFillsNameAndDescription) {
  const LASattribute a(9, "a name that is far longer than thirty-two bytes", "desc");
  EXPECT_EQ(a.data_type, 9);
  EXPECT_EQ(a.options, 0);
  EXPECT_EQ(std::string(a.name, 32), "a name that is far longer than t");
  EXPECT_STREQ(a.description, "desc");
  EXPECT_EQ(a.scale[0], 0.0);
  EXPECT_EQ(a.unused[0], 0);
}

TEST(LASattribute, SizeBaseTypeAndDimension) {
  struct Case {
    int data_type;
    int options;
    int size;
    int base;
    int dim;
  };
  const Case cases[] = {
      {0, 0, 0, 0, 1},   {0, 7, 7, 0, 1},   {0, 255, 255, 0, 1},
      {1, 0, 1, 1, 1},   {2, 0, 1, 2, 1},   {3, 0, 2, 3, 1},    {4, 0, 2, 4, 1},
      {5, 0, 4, 5, 1},   {6, 0, 4, 6, 1},   {7, 0, 8, 7, 1},    {8, 0, 8, 8, 1},
      {9, 0, 4, 9, 1},   {10, 0, 8, 10, 1}, {11, 0, 2, 1, 2},   {14, 0, 4, 4, 2},
      {19, 0, 8, 9, 2},  {20, 0, 16, 10, 2}, {21, 0, 3, 1, 3},  {24, 0, 6, 4, 3},
      {27, 0, 24, 7, 3}, {30, 0, 24, 10, 3}, {31, 0, 0, 0, 1},  {255, 3, 0, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data_type);
    LASattribute a(static_cast<uint8_t>(c.data_type), "x");
    a.options = static_cast<uint8_t>(c.options);
    EXPECT_EQ(a.get_size(), c.size);
    EXPECT_EQ(a.get_base_type(), c.base);
    EXPECT_EQ(a.get_dim(), c.dim);
  }
}

struct ValueCase {
  const char* name;
  uint8_t data_type;
  std::vector<uint8_t> bytes;
  double scale;   // 0 = no scale
  double offset;  // NAN = no offset
  double expected;
};

std::vector<uint8_t> bytes_of(const void* p, size_t n) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  return std::vector<uint8_t>(b, b + n);
}

template <typename T>
std::vector<uint8_t> le(T v) {
  return bytes_of(&v, sizeof(T));
}

const ValueCase kValueCases[] = {
    {"u8", 1, le<uint8_t>(200), 0, NAN, 200.0},
    {"i8", 2, le<int8_t>(-100), 0, NAN, -100.0},
    {"u16", 3, le<uint16_t>(65535), 0, NAN, 65535.0},
    {"i16 with scale, no offset", 4, le<int16_t>(-2), 0.5, NAN, -1.0},
    {"u32", 5, le<uint32_t>(4000000000u), 0, NAN, 4000000000.0},
    {"i32 with offset", 6, le<int32_t>(-2000000000), 0, 1000.0, -1999999000.0},
    {"u64 above the signed range", 7, le<uint64_t>(0x8000000000000000ull), 0, NAN, 9223372036854775808.0},
    {"i64", 8, le<int64_t>(-5), 0, NAN, -5.0},
    {"f32 widened", 9, le<float>(1.1f), 0, NAN, static_cast<double>(1.1f)},
    {"f64 with scale and offset", 10, le<double>(-2.25), 2.0, 1.0, -3.5},
    {"i16 with scale and offset", 4, le<int16_t>(1234), 0.01, 100.0, 112.34},
    {"2 x i8 reads the first element", 12, {0xFE, 0x05}, 0, NAN, -2.0},
    {"3 x u16 reads the first element", 23, {0x10, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}, 0, NAN, 16.0},
    {"3 x f64 with scale", 30, [] {
       std::vector<uint8_t> v = le<double>(4.0);
       std::vector<uint8_t> w = le<double>(9.0);
       v.insert(v.end(), w.begin(), w.end());
       v.insert(v.end(), w.begin(), w.end());
       return v;
     }(), 0.25, NAN, 1.0},
    {"undocumented bytes", 0, {1, 2, 3}, 0, NAN, 0.0},
};

LASattribute descriptor_of(const ValueCase& c) {
  LASattribute a(c.data_type, c.name);
  if (c.data_type == 0) a.options = static_cast<uint8_t>(c.bytes.size());
  if (c.scale != 0) a.set_scale(c.scale);
  if (!std::isnan(c.offset)) a.set_offset(c.offset);
  return a;
}

TEST(LASattribute, ValuesOfEveryTypeWithScaleAndOffset) {
  for (const ValueCase& c : kValueCases) {
    SCOPED_TRACE(c.name);
    const LASattribute a = descriptor_of(c);
    ASSERT_EQ(static_cast<size_t>(a.get_size()), c.bytes.size());
    EXPECT_DOUBLE_EQ(a.get_float(c.bytes.data()), c.expected);
  }
}

TEST(LASattribute, SetFloatIsTheInverse) {
  for (const ValueCase& c : kValueCases) {
    if (c.data_type == 0) continue;
    SCOPED_TRACE(c.name);
    const LASattribute a = descriptor_of(c);
    std::vector<uint8_t> bytes(c.bytes.size(), 0xAA);
    a.set_float(bytes.data(), c.expected);
    const size_t element = c.bytes.size() / a.get_dim();
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + element),
              std::vector<uint8_t>(c.bytes.begin(), c.bytes.begin() + element));
    // only the first element is written
    for (size_t i = element; i < bytes.size(); i++) EXPECT_EQ(bytes[i], 0xAA);
  }
}

TEST(LASattribute, SetFloatRoundsAndKeepsLowBits) {
  struct Case {
    const char* name;
    uint8_t data_type;
    double value;
    std::vector<uint8_t> expected;
  };
  const Case cases[] = {
      {"u8 rounds half up", 1, 2.5, {3}},
      {"u8 negative stores 0", 1, -0.2, {0}},
      {"u8 keeps the low byte", 1, 300.0, {44}},
      {"i8 rounds half away from zero", 2, -2.5, {0xFD}},
      {"i8 keeps the low byte", 2, 200.0, {0xC8}},
      {"i16 wraps", 4, 40000.0, le<int16_t>(-25536)},
      {"u16 negative stores 0", 3, -7.0, {0, 0}},
      {"u32 beyond 64 bits keeps low bits", 5, 18446744073709551616.0 + 7.0 * 1048576.0, {0, 0, 0x70, 0}},
      {"i64 below its range wraps", 8, -9223372036854775808.0 * 2.0 - 4096.0, le<int64_t>(-4096)},
      {"i32 NaN stores 0", 6, NAN, {0, 0, 0, 0}},
      {"f32 stores the float", 9, 0.1, le<float>(0.1f)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const LASattribute a(c.data_type, "v");
    std::vector<uint8_t> bytes(c.expected.size(), 0xAA);
    a.set_float(bytes.data(), c.value);
    EXPECT_EQ(bytes, c.expected);
  }
}

TEST(LASattribute, NoDataMinMaxFollowTheBaseType) {
  LASattribute u(3, "u16");
  u.set_no_data(65535.0);
  u.set_min(0.4);
  u.set_max(1000.5);
  EXPECT_EQ(u.options, LASattribute::option_no_data | LASattribute::option_min | LASattribute::option_max);
  EXPECT_EQ(u.no_data[0].u64, 65535u);
  EXPECT_EQ(u.min[0].u64, 0u);
  EXPECT_EQ(u.max[0].u64, 1001u);

  LASattribute s(26, "3 x i32");
  s.set_no_data(-9999.5, 2);
  s.set_min(-1e30);  // saturates instead of being undefined
  EXPECT_EQ(s.no_data[2].i64, -10000);
  EXPECT_EQ(s.no_data[0].i64, 0);
  EXPECT_EQ(s.min[0].i64, INT64_MIN);
  EXPECT_EQ(s.get_value_as_float(s.no_data[2]), -10000.0);

  LASattribute f(9, "f32");
  f.set_no_data(2e307);
  f.set_scale(0.5);
  f.set_offset(-3.0);
  f.set_no_data(1.0, 3);  // no such element: ignored
  EXPECT_EQ(f.no_data[0].f64, 2e307);
  EXPECT_EQ(f.get_value_as_float(f.no_data[0]), 2e307);
  EXPECT_EQ(f.scale[0], 0.5);
  EXPECT_EQ(f.offset[0], -3.0);
  EXPECT_EQ(f.options, LASattribute::option_no_data | LASattribute::option_scale | LASattribute::option_offset);

  // for undocumented bytes the options byte is the size and stays so
  LASattribute opaque(0, "opaque");
  opaque.options = 5;
  opaque.set_scale(2.0);
  opaque.set_offset(1.0);
  opaque.set_no_data(0.0);
  EXPECT_EQ(opaque.options, 5);
  EXPECT_EQ(opaque.get_size(), 5);

  // no_data is a property of the descriptor: reading does not consult it
  uint8_t raw[2];
  put<uint16_t>(raw, 65535);
  EXPECT_EQ(u.get_float(raw), 65535.0);
}

std::vector<LASattribute> three_attributes() {
  std::vector<LASattribute> list;
  list.emplace_back(4, "height");
  list.emplace_back(0, "opaque");
  list.back().options = 3;
  list.emplace_back(20, "vector");
  return list;
}

void expect_table(const LASattributer& t, const std::vector<int32_t>& starts, const std::vector<int32_t>& sizes) {
  ASSERT_EQ(t.number_attributes, static_cast<int32_t>(starts.size()));
  for (size_t i = 0; i < starts.size(); i++) {
    SCOPED_TRACE(i);
    EXPECT_EQ(t.attribute_starts[i], starts[i]);
    EXPECT_EQ(t.attribute_sizes[i], sizes[i]);
  }
}

TEST(LASattributer, InitComputesStartsAndSizes) {
  const std::vector<LASattribute> list = three_attributes();
  LASattributer t;
  ASSERT_TRUE(t.init_attributes(3, list.data()));
  expect_table(t, {0, 2, 5}, {2, 3, 16});
  EXPECT_EQ(t.get_attributes_size(), 21);
  EXPECT_EQ(memcmp(t.attributes, list.data(), 3 * sizeof(LASattribute)), 0);
  EXPECT_EQ(t.get_attribute_start("height"), 0);
  EXPECT_EQ(t.get_attribute_start("opaque"), 2);
  EXPECT_EQ(t.get_attribute_start("vector"), 5);
  EXPECT_EQ(t.get_attribute_index("vector"), 2);
  EXPECT_EQ(t.get_attribute_start("missing"), -1);
  EXPECT_EQ(t.get_attribute_start("heigh"), -1);
  EXPECT_EQ(t.get_attribute_start(nullptr), -1);

  // re-initialising from its own array replaces the table safely
  ASSERT_TRUE(t.init_attributes(2, t.attributes + 1));
  expect_table(t, {0, 3}, {3, 16});
  EXPECT_STREQ(t.attributes[0].name, "opaque");
}

TEST(LASattributer, InitRejectsBadCounts) {
  const std::vector<LASattribute> list = three_attributes();
  struct Case {
    int32_t count;
    const LASattribute* descriptors;
    const char* message;
  };
  const Case cases[] = {
      {-1, list.data(), "ERROR: cannot hold -1 attributes (at most 65535)\n"},
      {65536, list.data(), "ERROR: cannot hold 65536 attributes (at most 65535)\n"},
      {2, nullptr, "ERROR: cannot hold 2 attributes (at most 65535)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    LASattributer t;
    ASSERT_TRUE(t.init_attributes(3, list.data()));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(t.init_attributes(c.count, c.descriptors));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
    EXPECT_EQ(t.number_attributes, 0);
    EXPECT_EQ(t.attributes, nullptr);
  }
  LASattributer empty;
  EXPECT_TRUE(empty.init_attributes(0, nullptr));
  EXPECT_EQ(empty.get_attributes_size(), 0);
}

TEST(LASattributer, AddAppendsAfterTheLast) {
  LASattributer t;
  EXPECT_EQ(t.add_attribute(LASattribute(10, "first")), 0);
  EXPECT_EQ(t.add_attribute(LASattribute(0, "empty")), -1);   // size 0
  EXPECT_EQ(t.add_attribute(LASattribute(31, "bogus")), -1);  // size 0
  EXPECT_EQ(t.add_attribute(LASattribute(2, "second")), 1);
  EXPECT_EQ(t.add_attribute(LASattribute(25, "third")), 2);
  expect_table(t, {0, 8, 9}, {8, 1, 12});
  EXPECT_EQ(t.get_attribute_start("third"), 9);
}

TEST(LASattributer, NameOfThirtyTwoBytesNeedsNoTerminator) {
  LASattribute a(1, "");
  memset(a.name, 'n', 32);
  a.description[0] = 'x';  // the byte after the name must not count
  LASattributer t;
  ASSERT_EQ(t.add_attribute(a), 0);
  EXPECT_EQ(t.get_attribute_index(std::string(32, 'n').c_str()), 0);
  EXPECT_EQ(t.get_attribute_index(std::string(33, 'n').c_str()), -1);
  EXPECT_EQ(t.get_attribute_index((std::string(32, 'n') + "x").c_str()), -1);
}

TEST(LASattributer, CopiesOwnTheirArrays) {
  const std::vector<LASattribute> list = three_attributes();
  LASattributer a;
  ASSERT_TRUE(a.init_attributes(3, list.data()));
  LASattributer b(a);
  EXPECT_NE(b.attributes, a.attributes);
  expect_table(b, {0, 2, 5}, {2, 3, 16});
  a.clean_attributes();
  EXPECT_EQ(a.number_attributes, 0);
  EXPECT_STREQ(b.attributes[2].name, "vector");

  LASattributer c;
  ASSERT_EQ(c.add_attribute(LASattribute(1, "lone")), 0);
  c = b;
  expect_table(c, {0, 2, 5}, {2, 3, 16});
  c = a;  // empty
  EXPECT_EQ(c.number_attributes, 0);
}

TEST(LASattributer, BorrowedArraysAreNeitherFreedNorGrownInPlace) {
  const std::vector<LASattribute> list = three_attributes();
  LASattributer owner;
  ASSERT_TRUE(owner.init_attributes(3, list.data()));
  {
    LASattributer borrower;
    borrower.attributes_linked = false;
    borrower.number_attributes = owner.number_attributes;
    borrower.attributes = owner.attributes;
    borrower.attribute_starts = owner.attribute_starts;
    borrower.attribute_sizes = owner.attribute_sizes;
    borrower.clean_attributes();  // not its arrays: left alone
    EXPECT_EQ(borrower.number_attributes, 3);
    EXPECT_EQ(borrower.add_attribute(LASattribute(6, "more")), 3);
    EXPECT_TRUE(borrower.attributes_linked);
    EXPECT_NE(borrower.attributes, owner.attributes);
    expect_table(borrower, {0, 2, 5, 21}, {2, 3, 16, 4});
  }
  expect_table(owner, {0, 2, 5}, {2, 3, 16});  // still intact (ASan checks the rest)
}

}  // namespace
