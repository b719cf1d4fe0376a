// The reader base: read_point() goes through the default path of the
// concrete reader, counts come from it, and filter and area queries select
// the points it delivers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
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

// Delivers the given points; the header's scale 0.5 and offset (100, 200)
// make x = 100 + X / 2 and y = 200 + Y / 2, and its box is theirs.
class LASreaderPoints : public LASreader {
 public:
  explicit LASreaderPoints(std::vector<std::pair<double, double>> xy) : xy_(std::move(xy)) {
    header.x_scale_factor = header.y_scale_factor = 0.5;
    header.x_offset = 100.0;
    header.y_offset = 200.0;
    EXPECT_TRUE(point.init(&header, 0, 20, &header));
    npoints = static_cast<int64_t>(xy_.size());
    header.min_x = header.min_y = 1e300;
    header.max_x = header.max_y = -1e300;
    for (const auto& p : xy_) {
      header.min_x = std::min(header.min_x, p.first);
      header.max_x = std::max(header.max_x, p.first);
      header.min_y = std::min(header.min_y, p.second);
      header.max_y = std::max(header.max_y, p.second);
    }
  }
  int32_t get_format() const override { return 0; }
  bool seek(int64_t index) override {
    p_count = index;
    return true;
  }
  ByteStreamIn* get_stream() const override { return nullptr; }
  void close(bool) override {}

  // Every point the reader delivers, as (x, y).
  std::vector<std::pair<double, double>> read_all() {
    std::vector<std::pair<double, double>> got;
    while (read_point()) got.emplace_back(point.get_x(), point.get_y());
    return got;
  }

 protected:
  bool read_point_default() override {
    if (p_count >= npoints) return false;
    point.set_x(xy_[static_cast<size_t>(p_count)].first);
    point.set_y(xy_[static_cast<size_t>(p_count)].second);
    point.classification = static_cast<uint8_t>(p_count % 2 == 0 ? 2 : 5);
    p_count++;
    return true;
  }

 private:
  std::vector<std::pair<double, double>> xy_;
};

using XY = std::vector<std::pair<double, double>>;

// The tile and the rectangle keep their lower-left edges and drop their
// upper-right ones; the circle drops its rim.
TEST(LASreaderArea, EdgesOfTileRectangleAndCircle) {
  const XY grid = {{110, 210}, {115, 215}, {120, 215}, {115, 220}, {119.5, 219.5}, {109.5, 215}, {113, 214}};
  LASreaderPoints tile(grid);
  ASSERT_TRUE(tile.inside_tile(110.0f, 210.0f, 10.0f));
  EXPECT_EQ(tile.get_inside(), LASreader::inside_is_tile);
  EXPECT_EQ(tile.read_all(), (XY{{110, 210}, {115, 215}, {119.5, 219.5}, {113, 214}}));
  // The tile's box ends one scale factor before its upper-right edges.
  EXPECT_EQ(tile.get_min_x(), 110.0);
  EXPECT_EQ(tile.get_max_x(), 119.5);
  EXPECT_EQ(tile.get_max_y(), 219.5);

  LASreaderPoints rectangle(grid);
  ASSERT_TRUE(rectangle.inside_rectangle(110.0, 210.0, 120.0, 220.0));
  EXPECT_EQ(rectangle.read_all(), (XY{{110, 210}, {115, 215}, {119.5, 219.5}, {113, 214}}));
  EXPECT_EQ(rectangle.get_max_x(), 120.0);

  // Centre (115, 215), radius 5: (110, 215) and (115, 220) lie on the rim,
  // (118.5, 218.5) just inside and (119.5, 219.5) outside.
  LASreaderPoints circle({{110, 215}, {115, 220}, {113, 214}, {119.5, 219.5}, {115, 215}, {118.5, 218.5}});
  ASSERT_TRUE(circle.inside_circle(115.0, 215.0, 5.0));
  EXPECT_EQ(circle.read_all(), (XY{{113, 214}, {115, 215}, {118.5, 218.5}}));
  EXPECT_EQ(circle.get_min_y(), 210.0);
  EXPECT_EQ(circle.get_max_x(), 120.0);
}

// An area that misses the file's box delivers nothing and reads nothing.
TEST(LASreaderArea, AreaOutsideTheFileReadsNothing) {
  const XY points = {{100, 200}, {150, 250}};
  struct Case {
    const char* name;
    int kind;
  };
  for (const Case& c : {Case{"tile", 1}, Case{"circle", 2}, Case{"rectangle", 3}}) {
    SCOPED_TRACE(c.name);
    LASreaderPoints reader(points);
    bool ok = false;
    if (c.kind == 1) ok = reader.inside_tile(151.0f, 200.0f, 10.0f);
    if (c.kind == 2) ok = reader.inside_circle(160.0, 260.0, 5.0);
    if (c.kind == 3) ok = reader.inside_rectangle(0.0, 0.0, 99.5, 199.5);
    ASSERT_TRUE(ok);
    EXPECT_FALSE(reader.read_point());
    EXPECT_EQ(reader.p_count, 0);
  }
}

// inside_none gives back the file's box and every point.
TEST(LASreaderArea, InsideNoneRestoresTheFile) {
  LASreaderPoints reader({{100, 200}, {150, 250}, {120, 230}});
  ASSERT_TRUE(reader.inside_rectangle(110.0, 220.0, 130.0, 240.0));
  ASSERT_TRUE(reader.inside_circle(120.0, 230.0, 1.0));
  EXPECT_EQ(reader.get_min_x(), 119.0);
  ASSERT_TRUE(reader.inside_none());
  EXPECT_EQ(reader.get_inside(), LASreader::inside_is_none);
  EXPECT_EQ(reader.get_min_x(), 100.0);
  EXPECT_EQ(reader.get_min_y(), 200.0);
  EXPECT_EQ(reader.get_max_x(), 150.0);
  EXPECT_EQ(reader.get_max_y(), 250.0);
  EXPECT_EQ(reader.read_all().size(), 3u);
}

// Filter and area both apply, whichever was set first: a filter set after
// the area query does not widen the read to the whole file.
TEST(LASreaderArea, FilterAndAreaInEitherOrder) {
  const XY points = {{100, 200}, {101, 201}, {102, 202}, {103, 203}, {110, 210}, {111, 211}};
  LASfilter filter;
  ASSERT_TRUE(filter.parse(std::string("-keep_class 2")));  // every other point
  for (bool filter_first : {true, false}) {
    SCOPED_TRACE(filter_first ? "filter first" : "area first");
    LASreaderPoints reader(points);
    if (filter_first) reader.set_filter(&filter);
    ASSERT_TRUE(reader.inside_rectangle(100.0, 200.0, 105.0, 205.0));
    if (!filter_first) reader.set_filter(&filter);
    EXPECT_EQ(reader.read_all(), (XY{{100, 200}, {102, 202}}));
    reader.set_filter(nullptr);
    ASSERT_TRUE(reader.seek(0));
    EXPECT_EQ(reader.read_all().size(), 4u);
  }
}

}  // namespace
