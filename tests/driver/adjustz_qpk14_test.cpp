// "-adjust_z -oqpk" on LAS 1.4 tiles of point types 6 to 10: every tile is
// written compressed in layered chunks with every point, every field but Z
// as it was and Z shifted by the bias; a second run reads the compressed
// tiles (X, Y and Z only) and finds no bias.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "compression/qopack.h"
#include "driver/program_runner.h"
#include "las/lasfile_fixture.h"
#include "las/lasreader_las.h"
#include "las/laswriter_las.h"
#include "support/lastestfiles.h"

namespace {

constexpr double origin_x = 500000.0;
constexpr double origin_y = 4000000.0;
// LiDAR minus control at every control point, in meters and in z units.
constexpr double bias = 0.35;
constexpr int32_t bias_units = 35;
constexpr int columns = 24;
constexpr int rows = 20;

double plane(double x, double y) { return 120.0 + 0.5 * x - 0.25 * y; }

// Ground points at unit spacing over the plane, every other field varying
// from point to point (scanner channels, returns up to 15, classes above 31
// among them); the header carries records, extra-bytes descriptors and
// extended records.
void write_tile(const std::string& path, uint8_t format) {
  const uint64_t count = static_cast<uint64_t>((columns + 1) * (rows + 1));
  LASheader h;
  lasfile::make_header(h, 4, format, 2, count);
  h.x_scale_factor = h.y_scale_factor = h.z_scale_factor = 0.01;
  h.x_offset = origin_x;
  h.y_offset = origin_y;
  h.z_offset = -50.0;
  LASpoint p;
  ASSERT_TRUE(p.init(&h, format, h.point_data_record_length, &h));
  LASwriterLAS writer;
  ASSERT_TRUE(writer.open(path.c_str(), &h));
  uint32_t i = 0;
  for (int y = 0; y <= rows; y++) {
    for (int x = 0; x <= columns; x++) {
      lasfile::fill_point(p, i++);
      p.set_x(origin_x + x);
      p.set_y(origin_y + y);
      p.set_z(plane(x, y));
      writer.update_inventory(&p);
      ASSERT_TRUE(writer.write_point(&p));
    }
  }
  ASSERT_TRUE(writer.update_header(&h, true));
  ASSERT_GT(writer.close(), 0);
}

// Control points inside the tile, `bias` below the plane.
std::string control_points() {
  std::string text;
  for (int i = 0; i < 12; i++) {
    const double x = 4.25 + 5.0 * (i % 4);
    const double y = 4.5 + 5.0 * (i / 4);
    char line[160];
    std::snprintf(line, sizeof(line), "CP%d %.10g %.10g %.10g\n", i, origin_x + x, origin_y + y, plane(x, y) - bias);
    text += line;
  }
  return text;
}

double average_error(const std::string& err) {
  const std::string key = "avgabs/rms/stddev/avg of elevation errors are ";
  const size_t at = err.find(key);
  if (at == std::string::npos) return std::nan("");
  const size_t end = err.find(" meter.", at);
  const size_t slash = err.rfind('/', end);
  return std::atof(err.substr(slash + 1, end - slash - 1).c_str());
}

TEST(AdjustZQpk14, LayeredOutputOfEveryLas14PointType) {
  lastest::TempDir dir;
  dir.write("cp.txt", control_points());
  std::vector<std::string> args = {"-cp", "cp.txt", "-parse", "sxyz", "-adjust_z", "-odix", "_adjusted", "-oqpk"};
  for (uint8_t format = 6; format <= 10; format++) {
    const std::string name = "tile" + std::to_string(format) + ".las";
    write_tile(dir.file(name), format);
    if (testing::Test::HasFatalFailure()) return;
    args.insert(args.begin(), {"-i", name});
  }
  const ProgramResult r = run_program(args, "", dir.path());
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NEAR(average_error(r.err), bias, 1e-5) << r.err;

  for (uint8_t format = 6; format <= 10; format++) {
    SCOPED_TRACE(int(format));
    LASreaderLAS in;
    LASreaderLAS out;
    ASSERT_TRUE(in.open(dir.file("tile" + std::to_string(format) + ".las").c_str()));
    ASSERT_TRUE(out.open(dir.file("tile" + std::to_string(format) + "_adjusted.qpk").c_str()));
    EXPECT_EQ(out.get_format(), LASreader::format_qpk);
    EXPECT_EQ(out.header.point_data_format, format);
    ASSERT_TRUE(out.header.qopack);
    EXPECT_EQ(out.header.qopack->compressor, Qopack::COMPRESSOR_LAYERED_CHUNKED);
    EXPECT_EQ(out.header.qopack->chunk_size, Qopack::default_chunk_size);
    uint32_t count = 0;
    while (in.read_point()) {
      ASSERT_TRUE(out.read_point()) << "output ends after " << count << " points";
      EXPECT_EQ(out.point.Z, in.point.Z - bias_units) << "point " << count;
      out.point.Z = in.point.Z;
      lasfile::expect_same_point(in.point, out.point, count);
      count++;
      if (testing::Test::HasFailure()) return;
    }
    EXPECT_FALSE(out.read_point());
    EXPECT_EQ(out.header.extended_number_of_point_records, count);
  }

  // The compressed tiles are read with X, Y and Z decoded only.
  std::vector<std::string> again = {"-cp", "cp.txt", "-parse", "sxyz"};
  for (uint8_t format = 6; format <= 10; format++) {
    again.insert(again.begin(), {"-i", "tile" + std::to_string(format) + "_adjusted.qpk"});
  }
  const ProgramResult second = run_program(again, "", dir.path());
  ASSERT_EQ(second.exit_code, 0) << second.err;
  EXPECT_LE(std::fabs(average_error(second.err)), 0.01) << second.err;
}

}  // namespace
