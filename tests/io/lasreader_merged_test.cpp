#include "io/lasreader_merged.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/lastestfiles.h"

namespace {

using lastest::Point;
using lastest::Quantization;

Quantization quantization(double scale, double offset_x = 0.0, double offset_y = 0.0, double offset_z = 0.0) {
  Quantization q;
  q.scale[0] = q.scale[1] = q.scale[2] = scale;
  q.offset[0] = offset_x;
  q.offset[1] = offset_y;
  q.offset[2] = offset_z;
  return q;
}

class MergedTest : public testing::Test {
 protected:
  std::string las(const std::string& name, const std::vector<Point>& points, const Quantization& q = {}) {
    const std::string path = dir_.file(name);
    EXPECT_TRUE(lastest::write_las(path, points, q));
    return path;
  }
  // Opens the files merged; stderr of the populate pass goes to err_.
  bool open(LASreaderMerged& reader, const std::vector<std::string>& files) {
    for (const std::string& f : files) EXPECT_TRUE(reader.add_file_name(f.c_str()));
    testing::internal::CaptureStderr();
    const bool ok = reader.open();
    err_ = testing::internal::GetCapturedStderr();
    return ok;
  }
  // Every point as real coordinates through the reader's header.
  static std::vector<Point> read_all(LASreaderMerged& reader) {
    std::vector<Point> points;
    while (reader.read_point()) {
      points.push_back({reader.point.get_x(), reader.point.get_y(), reader.point.get_z()});
    }
    return points;
  }
  lastest::TempDir dir_;
  std::string err_;
};

// Counts add up, the box grows over all files, and points come file after
// file in list order.
TEST_F(MergedTest, HeaderAndPointsOverAllFiles) {
  const std::string a = las("a.las", {{10, 20, 1}, {11, 21, 2}});
  const std::string b = las("b.las", {{30, 5, 3}});
  const std::string c = las("c.las", {{-4, 40, 0.5}, {0, 0, 9}, {1, 1, 1}});
  LASreaderMerged reader;
  ASSERT_TRUE(open(reader, {a, b, c}));
  EXPECT_EQ(err_, "");
  EXPECT_EQ(reader.npoints, 6);
  EXPECT_EQ(reader.header.number_of_point_records, 6u);
  EXPECT_EQ(reader.header.number_of_points_by_return[0], 6u);
  EXPECT_EQ(reader.header.min_x, -4);
  EXPECT_EQ(reader.header.max_x, 30);
  EXPECT_EQ(reader.header.min_y, 0);
  EXPECT_EQ(reader.header.max_y, 40);
  EXPECT_EQ(reader.header.min_z, 0.5);
  EXPECT_EQ(reader.header.max_z, 9);
  EXPECT_FALSE(reader.is_rescaled() || reader.is_reoffset());
  const std::vector<Point> points = read_all(reader);
  ASSERT_EQ(points.size(), 6u);
  const double xs[] = {10, 11, 30, -4, 0, 1};
  for (size_t i = 0; i < 6; i++) EXPECT_DOUBLE_EQ(points[i].x, xs[i]);
  EXPECT_EQ(reader.p_count, 6);
  EXPECT_FALSE(reader.read_point());
}

// An empty first file gives way to the first file with points: its box,
// scale factors and offsets.
TEST_F(MergedTest, EmptyFirstFileTakesNextFilesQuantization) {
  const std::string empty = las("empty.las", {}, quantization(0.1, 7, 7, 7));
  const std::string full = las("full.las", {{100, 200, 50}, {101, 202, 51}}, quantization(0.001, 100, 200, 0));
  LASreaderMerged reader;
  ASSERT_TRUE(open(reader, {empty, full}));
  EXPECT_EQ(reader.header.x_scale_factor, 0.001);
  EXPECT_EQ(reader.header.x_offset, 100);
  EXPECT_EQ(reader.header.y_offset, 200);
  EXPECT_EQ(reader.header.min_x, 100);
  EXPECT_EQ(reader.header.max_y, 202);
  EXPECT_FALSE(reader.is_rescaled() || reader.is_reoffset());
  const std::vector<Point> points = read_all(reader);
  ASSERT_EQ(points.size(), 2u);
  EXPECT_DOUBLE_EQ(points[1].y, 202);
}

// Files of scale 0.01 and 0.001 (and other offsets) are read into the
// first file's quantization.
TEST_F(MergedTest, DifferentScalesAndOffsetsAreReadInFirstQuantization) {
  const std::string coarse = las("coarse.las", {{1000.25, 2000.5, 10.75}}, quantization(0.01, 1000, 2000, 0));
  const std::string fine = las("fine.las", {{1500.123, 2500.456, 12.789}}, quantization(0.001, 0, 0, 5));
  LASreaderMerged reader;
  ASSERT_TRUE(open(reader, {coarse, fine}));
  EXPECT_TRUE(reader.is_rescaled());
  EXPECT_TRUE(reader.is_reoffset());
  EXPECT_EQ(reader.header.x_scale_factor, 0.01);
  EXPECT_EQ(reader.header.x_offset, 1000);
  ASSERT_TRUE(reader.read_point());
  EXPECT_EQ(reader.point.X, 25);
  EXPECT_EQ(reader.point.Y, 50);
  EXPECT_EQ(reader.point.Z, 1075);
  ASSERT_TRUE(reader.read_point());
  // 1500.123 - 1000 = 500.123 -> 50012.3 -> 50012; 500.456 -> 50045.6 -> 50046.
  EXPECT_EQ(reader.point.X, 50012);
  EXPECT_EQ(reader.point.Y, 50046);
  EXPECT_EQ(reader.point.Z, 1279);
  EXPECT_FALSE(reader.read_point());
}

// Requested scale factors and offsets replace the merged header's.
TEST_F(MergedTest, RequestedQuantization) {
  const std::string a = las("a.las", {{1.234, 5.678, 9.1}}, quantization(0.001));
  const std::string b = las("b.las", {{2.5, 3.5, 4.5}}, quantization(0.001));
  LASreaderMerged reader;
  const double scale[3] = {0.1, 0.0, 0.1};
  const double offset[3] = {1.0, 0.0, 0.0};
  reader.set_scale_factor(scale);
  reader.set_offset(offset);
  ASSERT_TRUE(open(reader, {a, b}));
  EXPECT_EQ(reader.header.x_scale_factor, 0.1);
  EXPECT_EQ(reader.header.y_scale_factor, 0.001);  // 0 keeps the files' scale
  EXPECT_EQ(reader.header.x_offset, 1.0);
  ASSERT_TRUE(reader.read_point());
  EXPECT_EQ(reader.point.X, 2);  // (1.234 - 1) / 0.1 = 2.34
  EXPECT_EQ(reader.point.Y, 5678);
  EXPECT_EQ(reader.point.Z, 91);
}

// A joint box wider than 2^31 units of the scale raises the scale by
// powers of ten and moves the offset to the rounded centre.
TEST_F(MergedTest, WideBoxRaisesScaleAndMovesOffset) {
  const std::string west = las("west.las", {{0, 0, 0}}, quantization(0.001, 0, 0, 0));
  const std::string east = las("east.las", {{30000000, 10, 0}}, quantization(0.001, 29000000, 0, 0));
  LASreaderMerged reader;
  ASSERT_TRUE(open(reader, {west, east}));
  EXPECT_EQ(err_,
            "WARNING: i changed x_scale_factor from 0.001 to 0.01 to accommodate enlarged bounding box\n"
            "WARNING: i changed x_offset from 0 to 1.5e+07 to accommodate enlarged bounding box\n");
  EXPECT_EQ(reader.header.x_scale_factor, 0.01);
  EXPECT_EQ(reader.header.x_offset, 15000000);
  EXPECT_EQ(reader.header.y_scale_factor, 0.001);
  const std::vector<Point> points = read_all(reader);
  ASSERT_EQ(points.size(), 2u);
  EXPECT_DOUBLE_EQ(points[0].x, 0);
  EXPECT_DOUBLE_EQ(points[1].x, 30000000);
}

// With an area query, each file gets the area and a file lying wholly
// outside it is never opened: here it is destroyed after the populate pass
// and reading still succeeds.
TEST_F(MergedTest, AreaQuerySkipsFilesOutsideIt) {
  const std::string west = las("west.las", {{0, 0, 1}, {5, 5, 2}, {9, 9, 3}});
  const std::string east = las("east.las", {{100, 0, 4}, {105, 5, 5}});
  const std::string mid = las("mid.las", {{8, 8, 6}, {20, 20, 7}});
  struct Case {
    const char* name;
    int kind;
    std::vector<double> zs;
  };
  const Case cases[] = {{"rectangle", 3, {2, 3, 6}}, {"tile", 1, {2, 3, 6}}, {"circle", 2, {2, 6}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(lastest::write_las(east, {{100, 0, 4}, {105, 5, 5}}));
    LASreaderMerged reader;
    ASSERT_TRUE(open(reader, {west, east, mid}));
    bool ok = false;
    if (c.kind == 3) ok = reader.inside_rectangle(4, 4, 12, 12);
    if (c.kind == 1) ok = reader.inside_tile(4.0f, 4.0f, 8.0f);
    if (c.kind == 2) ok = reader.inside_circle(6.5, 6.5, 2.2);
    ASSERT_TRUE(ok);
    EXPECT_EQ(reader.header.min_x, c.kind == 2 ? 4.3 : 4.0);
    dir_.write("east.las", "overwritten");
    testing::internal::CaptureStderr();
    std::vector<double> zs;
    for (const Point& p : read_all(reader)) zs.push_back(p.z);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(zs, c.zs);
    ASSERT_TRUE(reader.inside_none());
    EXPECT_EQ(reader.header.min_x, 0.0);
    EXPECT_EQ(reader.header.max_x, 105.0);
  }
}

// Files that cannot be merged are refused when added and do not stop the
// others; a file that cannot be opened in the populate pass fails open.
TEST_F(MergedTest, RefusedAndBrokenFiles) {
  const std::string a = las("a.las", {{1, 1, 1}});
  const std::string bin = dir_.write("b.bin", "bin");
  LASreaderMerged reader;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(reader.add_file_name(bin.c_str()));
  EXPECT_FALSE(reader.add_file_name(dir_.file("missing.las").c_str()));
  EXPECT_FALSE(reader.add_file_name(nullptr));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ERROR: merging BIN files is not supported yet. skipping '" + bin + "' ...\n" + "ERROR: file '" +
                dir_.file("missing.las") + "' cannot be opened\n" + "ERROR: file name pointer is NULL\n");
  EXPECT_EQ(reader.get_file_name_number(), 0u);

  LASreaderMerged none;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(none.open());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: no valid file names\n");

  const std::string garbage = dir_.write("garbage.las", "this is no LAS file at all, just text");
  LASreaderMerged broken;
  EXPECT_FALSE(open(broken, {a, garbage}));
  EXPECT_NE(err_.find("ERROR: could not open lasreaderlas for file '" + garbage + "'\n"), std::string::npos);
}

}  // namespace
