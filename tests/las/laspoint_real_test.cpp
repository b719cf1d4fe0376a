// Point records of real airborne LAS files, moved through LASpoint: every
// record must come back byte for byte, and the legacy and LAS 1.4 views
// must give the class and return counts of the files.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "las/laspoint.h"

namespace {

template <typename T>
T get(const std::vector<uint8_t>& b, size_t at) {
  T v;
  memcpy(&v, b.data() + at, sizeof(T));
  return v;
}

// The few public-header fields the test needs, read at their LAS offsets.
struct File {
  std::vector<uint8_t> bytes;
  uint8_t format = 0;
  uint16_t record_length = 0;
  uint32_t offset_to_point_data = 0;
  uint64_t count = 0;
  std::vector<LASattribute> attributes;  // from a LASF_Spec/4 record

  bool load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const uint8_t minor = bytes[25];
    const uint16_t header_size = get<uint16_t>(bytes, 94);
    offset_to_point_data = get<uint32_t>(bytes, 96);
    const uint32_t vlrs = get<uint32_t>(bytes, 100);
    format = bytes[104] & 0x3F;
    record_length = get<uint16_t>(bytes, 105);
    count = get<uint32_t>(bytes, 107);
    if (minor >= 4 && count == 0) count = get<uint64_t>(bytes, 247);
    size_t at = header_size;
    for (uint32_t i = 0; i < vlrs && at + 54 <= offset_to_point_data; i++) {
      const uint16_t record_id = get<uint16_t>(bytes, at + 18);
      const uint16_t length = get<uint16_t>(bytes, at + 20);
      if (strncmp(reinterpret_cast<const char*>(&bytes[at + 2]), "LASF_Spec", 16) == 0 && record_id == 4) {
        attributes.resize(length / 192);
        memcpy(static_cast<void*>(attributes.data()), &bytes[at + 54], attributes.size() * 192);
      }
      at += 54 + length;
    }
    return true;
  }
};

struct Case {
  const char* file;
  int format;
  std::map<int, int> classes;  // counted with is_classification
  std::map<int, int> returns;  // legacy return_number
};

const Case kCases[] = {
    {"hexbin-crop.las", 1, {{1, 3049}, {2, 35318}}, {{4, 38367}}},
    {"autzen-thin-srs.las", 3, {{1, 7934}, {2, 2719}}, {{1, 9079}, {2, 1244}, {3, 288}, {4, 42}}},
    {"edge_cases/simple1_3.las", 4, {{1, 999}}, {{1, 999}}},
    {"test_data_77050_627755_LA93_IGN69_classified.las", 6, {{1, 912}, {2, 20251}, {65, 9}},
     {{1, 17342}, {2, 2731}, {3, 850}, {4, 223}, {5, 26}}},
    {"autzen_trim_7.las", 7, {{1, 83893}, {2, 26107}}, {{1, 99257}, {2, 9021}, {3, 1623}, {4, 99}}},
    {"792000_6272000-50mx100m-left.las", 8, {{1, 2462}, {2, 6242}, {6, 4150}, {50, 2027}, {59, 57}},
     {{1, 12222}, {2, 2325}, {3, 362}, {4, 26}, {5, 3}}},
    {"gib_las_col.las", 8, {{1, 6236}},
     {{1, 4382}, {2, 1376}, {3, 331}, {4, 118}, {5, 23}, {6, 5}, {7, 1}}},
    {"prio4_bridge_with_probas.las", 8, {{1, 3184}, {2, 1850}, {17, 279}},
     {{1, 3473}, {2, 1417}, {3, 359}, {4, 60}, {5, 4}}},
};

TEST(LASpointRealData, RecordsRoundTripAndCountsMatch) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.file);
    File file;
    if (!file.load(std::string(TIECHECK_REAL_DATA_DIR) + "/" + c.file)) GTEST_SKIP() << "real data not present";
    ASSERT_EQ(file.format, c.format);
    ASSERT_LE(file.offset_to_point_data + file.count * file.record_length, file.bytes.size());

    LASattributer attributer;
    ASSERT_TRUE(attributer.init_attributes(static_cast<int32_t>(file.attributes.size()), file.attributes.data()));
    LASquantizer quantizer;
    LASpoint point;
    ASSERT_TRUE(point.init(&quantizer, file.format, file.record_length, &attributer));
    ASSERT_EQ(point.total_point_size, file.record_length);

    std::map<int, int> classes;
    std::map<int, int> returns;
    std::vector<uint8_t> back(point.total_point_size);
    int mismatches = 0;
    for (uint64_t i = 0; i < file.count; i++) {
      const uint8_t* record = &file.bytes[file.offset_to_point_data + i * file.record_length];
      point.copy_from(record);
      point.copy_to(back.data());
      if (memcmp(record, back.data(), back.size()) != 0) mismatches++;
      for (const auto& [cls, n] : c.classes) {
        if (point.is_classification(static_cast<uint8_t>(cls))) classes[cls]++;
      }
      returns[point.return_number]++;
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(classes, c.classes);
    EXPECT_EQ(returns, c.returns);
  }
}

// Extended classes above 31 have no legacy code: those points read 0 there.
TEST(LASpointRealData, ExtendedClassesHaveLegacyZero) {
  File file;
  if (!file.load(std::string(TIECHECK_REAL_DATA_DIR) + "/792000_6272000-50mx100m-left.las")) {
    GTEST_SKIP() << "real data not present";
  }
  LASpoint point;
  ASSERT_TRUE(point.init(nullptr, file.format, file.record_length));
  int above_31 = 0;
  for (uint64_t i = 0; i < file.count; i++) {
    point.copy_from(&file.bytes[file.offset_to_point_data + i * file.record_length]);
    if (point.extended_classification > 31) {
      above_31++;
      EXPECT_EQ(point.classification, 0);
    } else {
      EXPECT_EQ(point.classification, point.extended_classification);
    }
  }
  EXPECT_EQ(above_31, 2027 + 57);
}

TEST(LASpointRealData, ExtraBytesAttributesReadFromRecords) {
  File file;
  if (!file.load(std::string(TIECHECK_REAL_DATA_DIR) + "/prio4_bridge_with_probas.las")) {
    GTEST_SKIP() << "real data not present";
  }
  ASSERT_EQ(file.attributes.size(), 5u);
  LASattributer attributer;
  ASSERT_TRUE(attributer.init_attributes(5, file.attributes.data()));
  EXPECT_EQ(attributer.get_attribute_start("bridge_half"), 8);
  EXPECT_EQ(attributer.get_attributes_size(), 40);
  LASpoint point;
  ASSERT_TRUE(point.init(nullptr, file.format, file.record_length, &attributer));
  ASSERT_EQ(point.extra_bytes_number, 40);
  int non_zero[5] = {};
  int outside_unit_interval = 0;
  for (uint64_t i = 0; i < file.count; i++) {
    point.copy_from(&file.bytes[file.offset_to_point_data + i * file.record_length]);
    for (int a = 0; a < 5; a++) {
      const double v = point.get_attribute_as_float(a);
      if (v != 0.0) non_zero[a]++;
      if (v < 0.0 || v > 1.0) outside_unit_interval++;
    }
  }
  EXPECT_EQ(outside_unit_interval, 0);
  EXPECT_EQ(non_zero[0], 279);  // "bridge_accurate": as many as class 17 points
  EXPECT_EQ(non_zero[1], 151);
  EXPECT_EQ(non_zero[2], 0);
  EXPECT_EQ(non_zero[3], 792);
  EXPECT_EQ(non_zero[4], 865);
}

}  // namespace
