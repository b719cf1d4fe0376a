// The reader base: read_point() goes through the default path of the
// concrete reader, counts come from it, and the hooks that are not there yet
// say so instead of pretending.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filters/lasfilter.h"
#include "io/lasreader.h"

namespace {

// Delivers `npoints` points whose X is their index.
class LASreaderCounting : public LASreader {
 public:
  explicit LASreaderCounting(int64_t n) {
    npoints = n;
    EXPECT_TRUE(point.init(&header, 0, 20, &header));
  }
  int32_t get_format() const override { return 0; }
  bool seek(int64_t index) override {
    if (index < 0 || index > npoints) return false;
    p_count = index;
    return true;
  }
  ByteStreamIn* get_stream() const override { return nullptr; }
  void close(bool) override {}

 protected:
  bool read_point_default() override {
    if (p_count >= npoints) return false;
    point.X = static_cast<int32_t>(p_count);
    point.classification = static_cast<uint8_t>(p_count % 3);
    p_count++;
    return true;
  }
};

TEST(LASreader, ReadPointUsesTheDefaultPath) {
  LASreaderCounting reader(5);
  reader.set_filter(nullptr);
  reader.set_transform(nullptr);
  ASSERT_TRUE(reader.inside_none());
  for (int32_t i = 0; i < 5; i++) {
    ASSERT_TRUE(reader.read_point());
    EXPECT_EQ(reader.point.X, i);
  }
  EXPECT_FALSE(reader.read_point());
  EXPECT_EQ(reader.p_count, 5);
  ASSERT_TRUE(reader.seek(2));
  ASSERT_TRUE(reader.read_point());
  EXPECT_EQ(reader.point.X, 2);
  EXPECT_EQ(reader.get_filter(), nullptr);
  EXPECT_EQ(reader.get_index(), nullptr);
}

// With a filter only the kept points arrive; every point read is counted.
TEST(LASreader, FilterDropsPointsAndNullFilterRestoresThePlainPath) {
  LASreaderCounting reader(10);
  LASfilter filter;
  ASSERT_TRUE(filter.parse(std::string("-keep_class 2")));
  reader.set_filter(&filter);
  std::vector<int32_t> kept;
  while (reader.read_point()) kept.push_back(reader.point.X);
  EXPECT_EQ(kept, (std::vector<int32_t>{2, 5, 8}));
  EXPECT_EQ(reader.p_count, 10);

  reader.set_filter(nullptr);
  ASSERT_TRUE(reader.seek(0));
  int n = 0;
  while (reader.read_point()) n++;
  EXPECT_EQ(n, 10);
}

TEST(LASreader, AreaQueriesAreRefused) {
  LASreaderCounting reader(3);
  reader.header.min_x = 1.0;
  reader.header.max_x = 2.0;
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(reader.inside_tile(0.0f, 0.0f, 10.0f));
  EXPECT_FALSE(reader.inside_circle(0.0, 0.0, 1.0));
  EXPECT_FALSE(reader.inside_rectangle(0.0, 0.0, 1.0, 1.0));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "ERROR: area queries are not supported yet\n"
            "ERROR: area queries are not supported yet\n"
            "ERROR: area queries are not supported yet\n");
  // The header keeps its bounds and every point still arrives.
  EXPECT_EQ(reader.get_min_x(), 1.0);
  EXPECT_EQ(reader.get_max_x(), 2.0);
  EXPECT_EQ(reader.get_inside(), 0u);
  int n = 0;
  while (reader.read_point()) n++;
  EXPECT_EQ(n, 3);
}

}  // namespace
