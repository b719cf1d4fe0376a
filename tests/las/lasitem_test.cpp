#include "las/lasitem.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using T = LASitem::Type;

struct FormatCase {
  int format;
  uint16_t base_size;
  std::vector<T> core;
  T extra_type;
};

const FormatCase kFormats[] = {
    {0, 20, {LASitem::POINT10}, LASitem::BYTE},
    {1, 28, {LASitem::POINT10, LASitem::GPSTIME11}, LASitem::BYTE},
    {2, 26, {LASitem::POINT10, LASitem::RGB12}, LASitem::BYTE},
    {3, 34, {LASitem::POINT10, LASitem::GPSTIME11, LASitem::RGB12}, LASitem::BYTE},
    {4, 57, {LASitem::POINT10, LASitem::GPSTIME11, LASitem::WAVEPACKET13}, LASitem::BYTE},
    {5, 63, {LASitem::POINT10, LASitem::GPSTIME11, LASitem::RGB12, LASitem::WAVEPACKET13}, LASitem::BYTE},
    {6, 30, {LASitem::POINT14}, LASitem::BYTE14},
    {7, 36, {LASitem::POINT14, LASitem::RGB14}, LASitem::BYTE14},
    {8, 38, {LASitem::POINT14, LASitem::RGBNIR14}, LASitem::BYTE14},
    {9, 59, {LASitem::POINT14, LASitem::WAVEPACKET14}, LASitem::BYTE14},
    {10, 67, {LASitem::POINT14, LASitem::RGBNIR14, LASitem::WAVEPACKET14}, LASitem::BYTE14},
};

int sum_of_sizes(const std::vector<LASitem>& items) {
  int sum = 0;
  for (const LASitem& item : items) sum += item.size;
  return sum;
}

TEST(LASitem, EveryFormatHasItsItemsAndRecordLength) {
  const int extras[] = {0, 1, 2, 100, 65535 - 67};
  for (const FormatCase& c : kFormats) {
    EXPECT_EQ(LASitem::base_size(static_cast<uint8_t>(c.format)), c.base_size);
    for (int extra : extras) {
      SCOPED_TRACE(testing::Message() << "format " << c.format << " extra " << extra);
      const uint16_t record_length = static_cast<uint16_t>(c.base_size + extra);
      std::vector<LASitem> items;
      ASSERT_TRUE(LASitem::items_of_point_type(static_cast<uint8_t>(c.format), record_length, items));
      ASSERT_EQ(items.size(), c.core.size() + (extra > 0 ? 1 : 0));
      for (size_t i = 0; i < c.core.size(); i++) {
        EXPECT_EQ(items[i], LASitem(c.core[i], LASitem::fixed_size(c.core[i]), 0));
      }
      if (extra > 0) {
        EXPECT_EQ(items.back(), LASitem(c.extra_type, static_cast<uint16_t>(extra), 0));
      }
      EXPECT_EQ(sum_of_sizes(items), record_length);
    }
  }
}

TEST(LASitem, ShortRecordWarnsAndDropsExtraBytes) {
  struct Case {
    int format;
    uint16_t point_size;
    size_t items;
    const char* warning;
  };
  const Case cases[] = {
      {3, 30, 3, "WARNING: point size 30 too small by 4 bytes for point type 3. assuming point_size of 34\n"},
      {1, 26, 2, "WARNING: point size 26 too small by 2 bytes for point type 1. assuming point_size of 28\n"},
      {10, 0, 3, "WARNING: point size 0 too small by 67 bytes for point type 10. assuming point_size of 67\n"},
      {6, 29, 1, "WARNING: point size 29 too small by 1 bytes for point type 6. assuming point_size of 30\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.warning);
    std::vector<LASitem> items;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(LASitem::items_of_point_type(static_cast<uint8_t>(c.format), c.point_size, items));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.warning);
    EXPECT_EQ(items.size(), c.items);
    EXPECT_EQ(sum_of_sizes(items), LASitem::base_size(static_cast<uint8_t>(c.format)));
  }
}

TEST(LASitem, UnknownFormatGivesNoList) {
  for (int format : {11, 63, 127, 128, 255}) {
    SCOPED_TRACE(format);
    std::vector<LASitem> items = {LASitem(LASitem::POINT10, 20)};
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LASitem::items_of_point_type(static_cast<uint8_t>(format), 40, items));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(LASitem::base_size(static_cast<uint8_t>(format)), 0);
  }
}

TEST(LASitem, TypeTable) {
  struct Case {
    uint32_t type;
    bool known;
    uint16_t size;
    const char* name;
  };
  const Case cases[] = {
      {0, true, 0, "BYTE"},          {1, false, 0, "UNKNOWN"},       {5, false, 0, "UNKNOWN"},
      {6, true, 20, "POINT10"},      {7, true, 8, "GPSTIME11"},      {8, true, 6, "RGB12"},
      {9, true, 29, "WAVEPACKET13"}, {10, true, 30, "POINT14"},      {11, true, 6, "RGB14"},
      {12, true, 8, "RGBNIR14"},     {13, true, 29, "WAVEPACKET14"}, {14, true, 0, "BYTE14"},
      {15, false, 0, "UNKNOWN"},     {65535, false, 0, "UNKNOWN"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    EXPECT_EQ(LASitem::is_known_type(c.type), c.known);
    EXPECT_EQ(LASitem::fixed_size(c.type), c.size);
    EXPECT_STREQ(LASitem::type_name(c.type), c.name);
  }
  EXPECT_TRUE(LASitem(LASitem::BYTE14, 3).is_extra_bytes());
  EXPECT_FALSE(LASitem(LASitem::POINT14, 30).is_extra_bytes());
}

}  // namespace
