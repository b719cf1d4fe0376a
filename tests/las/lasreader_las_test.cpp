// LASreaderLAS on files built by our writer and then damaged, on the real
// airborne tiles, from named files, pipes and memory, and with new scales and
// offsets.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "compression/qopack.h"
#include "las/bytestreamin_array.h"
#include "las/bytestreamout_array.h"
#include "lasfile_fixture.h"

namespace {

using lasfile::expect_same_point;
using lasfile::fill_point;
using lasfile::make_header;
using lasfile::open_memory;
using lasfile::peek;
using lasfile::poke;
using lasfile::write_file;

// Memory that cannot seek, like a pipe.
class ByteStreamInPipe : public ByteStreamInArrayLE {
 public:
  ByteStreamInPipe(const uint8_t* data, int64_t size) : ByteStreamInArrayLE(data, size) {}
  bool is_seekable() const override { return false; }
  bool seek(int64_t) override { return false; }
  bool seek_end(int64_t) override { return false; }
};

// Where the parts of a file written by the fixture begin.
struct Layout {
  size_t vlr[3] = {};           // record headers
  size_t point_data = 0;
  size_t evlr = 0;              // first extended record (LAS 1.4)
};

Layout layout_of(const std::vector<uint8_t>& bytes) {
  Layout l;
  size_t at = peek<uint16_t>(bytes, 94);
  for (size_t& v : l.vlr) {
    v = at;
    at += 54 + peek<uint16_t>(bytes, at + 20);
  }
  l.point_data = peek<uint32_t>(bytes, 96);
  if (bytes[25] == 4) l.evlr = static_cast<size_t>(peek<uint64_t>(bytes, 235));
  return l;
}

std::vector<uint8_t> le16(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
std::vector<uint8_t> le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
std::vector<uint8_t> le64(uint64_t v) {
  std::vector<uint8_t> b = le32(uint32_t(v));
  const std::vector<uint8_t> high = le32(uint32_t(v >> 32));
  b.insert(b.end(), high.begin(), high.end());
  return b;
}
std::vector<uint8_t> text16(const char* s) {
  std::vector<uint8_t> b(16, 0);
  memcpy(b.data(), s, strnlen(s, 16));
  return b;
}

// The payload of a compression record for format 1 with the given compressor.
std::vector<uint8_t> descriptor(uint16_t compressor) {
  const LASitem items[] = {{LASitem::POINT10, 20, 2}, {LASitem::GPSTIME11, 8, 2}};
  Qopack q;
  EXPECT_TRUE(q.setup(2, items, 2));
  q.compressor = compressor;
  ByteStreamOutArrayLE out;
  EXPECT_TRUE(q.write_payload(out));
  return std::vector<uint8_t>(out.get_data(), out.get_data() + out.get_size());
}

struct Patch {
  size_t offset;
  std::vector<uint8_t> bytes;
};

// Opens the bytes, reads every point and returns what was printed.
struct Outcome {
  bool opened = false;
  int64_t points = 0;
  std::string messages;
};

Outcome read_all(const std::vector<uint8_t>& bytes) {
  Outcome o;
  LASreaderLAS reader;
  ::testing::internal::CaptureStderr();
  o.opened = open_memory(reader, bytes);
  // A reader that failed to open delivers nothing and says nothing more.
  while (reader.read_point()) o.points++;
  EXPECT_EQ(reader.p_count, o.points);
  o.messages = ::testing::internal::GetCapturedStderr();
  return o;
}

// Files of 10 format-1 points damaged in one way each. A negative `points`
// means the open fails.
TEST(LASreaderLAS, DamagedInputs) {
  const uint32_t count = 10;
  LASheader h12;
  make_header(h12, 2, 1, 0, count);
  const std::vector<uint8_t> las12 = write_file(h12, count);
  LASheader h14;
  make_header(h14, 4, 1, 0, count);
  const std::vector<uint8_t> las14 = write_file(h14, count);
  ASSERT_FALSE(las12.empty());
  ASSERT_FALSE(las14.empty());
  const Layout a = layout_of(las12);
  const Layout b = layout_of(las14);
  // The records leave 5 bytes of user data before the points.
  ASSERT_EQ(a.point_data - (a.vlr[2] + 54 + 300), 5u);

  struct Case {
    const char* name;
    const std::vector<uint8_t>* base;
    std::vector<Patch> patches;
    int64_t truncate_to;  // -1: keep the length
    int64_t points;       // -1: the open fails
    std::string message;
  };
  const std::string user_data_size = std::to_string(0x7FFFFFFF - (a.vlr[2] + 54 + 300));
  const Case cases[] = {
      {"wrong signature", &las12, {{0, {'L', 'A', 'S', 'X'}}}, -1, -1, "ERROR: wrong file signature 'LASX'\n"},
      {"header size below 227", &las12, {{94, le16(200)}}, -1, -1,
       "ERROR: header size is 200 but should be at least 227\n"},
      {"offset to point data inside the header", &las12, {{96, le32(100)}}, -1, -1,
       "ERROR: offset to point data 100 is smaller than header size 230\n"},
      {"LAS 1.4 header of 235 bytes", &las14, {{94, le16(235)}}, -1, -1,
       "ERROR: for LAS 1.4 header_size should at least be 375 but it is only 235\n"},
      {"LAS 1.3 header without the waveform field", &las12, {{25, {3}}}, -1, count,
       "WARNING: for LAS 1.3 header_size should at least be 235 but it is only 230\n"},
      {"more records than fit before the points", &las12, {{100, le32(5)}}, -1, count,
       "WARNING: only 5 bytes until point block after reading 3 of 5 vlrs. skipping remaining vlrs ...\n"},
      {"four billion records announced", &las12, {{100, le32(0xFFFFFFFF)}}, -1, count,
       "WARNING: only 5 bytes until point block after reading 3 of -1 vlrs. skipping remaining vlrs ...\n"},
      {"record payload running into the points", &las12, {{a.vlr[2] + 20, le16(400)}}, -1, count,
       "WARNING: only 305 bytes until point block when trying to read 400 bytes into header.vlrs[2].data\n"},
      {"offset to point data beyond the file", &las12, {{96, le32(0x7FFFFFFF)}}, -1, -1,
       "ERROR: reading " + user_data_size + " bytes of data into header.user_data_after_header\n"},
      {"record length beyond the file", &las12, {{105, le16(60000)}}, -1, 0,
       "WARNING: end-of-file after 0 of 10 points for 'stream'\n"},
      {"truncated point area", &las12, {}, static_cast<int64_t>(a.point_data + 5 * 28 + 13), 5,
       "WARNING: end-of-file after 5 of 10 points for 'stream'\n"},
      {"more points announced than stored", &las12, {{107, le32(1000000)}}, -1, count,
       "WARNING: end-of-file after 10 of 1000000 points for 'stream'\n"},
      {"empty file", &las12, {}, 0, -1, "ERROR: reading header.file_signature\n"},
      {"header cut short", &las12, {}, 100, -1, "ERROR: reading header.number_of_variable_length_records\n"},
      {"record header cut short", &las12, {}, static_cast<int64_t>(a.vlr[1] + 20), -1,
       "ERROR: reading header.vlrs[1].record_length_after_header\n"},
      {"unknown point format", &las12, {{104, {11}}}, -1, -1, "ERROR: unknown point type 11 with point size 28\n"},
      {"compressed without a compression record", &las12, {{104, {0x81}}}, -1, -1,
       "ERROR: this file was compressed with an experimental version of qopack\n"},
      {"compression record lost with skipped records", &las12, {{104, {0x81}}, {100, le32(5)}}, -1, -1,
       "WARNING: only 5 bytes until point block after reading 3 of 5 vlrs. skipping remaining vlrs ...\n"
       "ERROR: your QPK file has corruptions in the LAS header resulting in\n"
       "ERROR: the qopack VLR being lost. maybe your download failed?\n"},
      // The first point is raw in any case; the next one finds no code.
      {"raw points announced as compressed", &las12,
       {{104, {0x81}}, {a.vlr[2] + 2, text16("qopack encoded")}, {a.vlr[2] + 18, le16(22204)},
        {a.vlr[2] + 54, descriptor(2)}},
       -1, 1,
       "WARNING: 'corrupt chunk table' for 'stream'\n"
       "ERROR: 'chunk with index 0 of 1 is corrupt' after 1 of 10 points for 'stream'\n"},
      {"compression record of an unknown compressor", &las12,
       {{104, {0x81}}, {a.vlr[2] + 2, text16("qopack encoded")}, {a.vlr[2] + 54, descriptor(7)}}, -1, -1,
       "ERROR: compressor 7 not supported (Qopack v3.4r3)\n"},
      {"original-counts record of the wrong size", &las12,
       {{a.vlr[2] + 2, text16("Quillbox")}, {a.vlr[2] + 18, le16(20)}}, -1, -1,
       "ERROR: record_length_after_header of VLR Quillbox (20) is 300 instead of 176\n"},
      {"tiling record of the wrong size", &las12, {{a.vlr[2] + 2, text16("quillbox tile")}}, -1, -1,
       "ERROR: record_length_after_header of VLR quillbox tile (8) is 300 instead of 28\n"},
      {"geo key directory longer than its record", &las12, {{a.vlr[0] + 54 + 6, le16(100)}}, -1, count,
       "WARNING: GeoKeyDirectoryTag of 16 bytes is too short for its 100 keys. ignoring it.\n"},
      {"wave packet descriptor too short", &las12,
       {{a.vlr[0] + 2, text16("LASF_Spec")}, {a.vlr[0] + 18, le16(100)}}, -1, count,
       "WARNING: variable length record payload for wave packet descr 1 is 16 instead of 26 bytes\n"},
      {"extended records beyond the file", &las14, {{235, le64(las14.size() + 1000)}}, -1, -1,
       "ERROR: reading header.evlrs[0].reserved\n"},
      {"extended record running past the file", &las14, {{b.evlr + 20, le64(uint64_t(1) << 40)}}, -1, -1,
       "ERROR: reading 1099511627776 bytes of data into header.evlrs[0].data\n"},
      {"LAS 1.4 truncated inside the points", &las14, {{235, le64(0)}, {243, le32(0)}},
       static_cast<int64_t>(b.point_data + 3 * 28), 3, "WARNING: end-of-file after 3 of 10 points for 'stream'\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = *c.base;
    for (const Patch& p : c.patches) {
      ASSERT_LE(p.offset + p.bytes.size(), bytes.size());
      memcpy(bytes.data() + p.offset, p.bytes.data(), p.bytes.size());
    }
    if (c.truncate_to >= 0) bytes.resize(static_cast<size_t>(c.truncate_to));
    const Outcome o = read_all(bytes);
    EXPECT_EQ(o.opened, c.points >= 0);
    if (c.points >= 0) {
      EXPECT_EQ(o.points, c.points);
    }
    EXPECT_EQ(o.messages, c.message);
  }
}

// A cut file delivers every complete point, from memory, from a pipe and
// from a named file.
TEST(LASreaderLAS, TruncatedFileDeliversEveryCompletePoint) {
  LASheader header;
  make_header(header, 2, 3, 0, 100);
  std::vector<uint8_t> bytes = write_file(header, 100);
  ASSERT_FALSE(bytes.empty());
  bytes.resize(header.offset_to_point_data + 61 * 34 + 33);
  const std::string name = ::testing::TempDir() + "lasreader_las_truncated.las";
  {
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  struct Source {
    const char* name;
    std::function<bool(LASreaderLAS&)> open;
    const char* display_name;
  } sources[] = {
      {"memory", [&](LASreaderLAS& r) { return open_memory(r, bytes); }, "stream"},
      {"pipe",
       [&](LASreaderLAS& r) { return r.open(new ByteStreamInPipe(bytes.data(), static_cast<int64_t>(bytes.size()))); },
       "stream"},
      {"named file", [&](LASreaderLAS& r) { return r.open(name.c_str()); }, name.c_str()},
  };
  LASpoint expected;
  ASSERT_TRUE(expected.init(&header, 3, 34, &header));
  for (const Source& s : sources) {
    SCOPED_TRACE(s.name);
    LASreaderLAS reader;
    ASSERT_TRUE(s.open(reader));
    for (uint32_t i = 0; i < 61; i++) {
      ASSERT_TRUE(reader.read_point()) << i;
      fill_point(expected, i);
      expect_same_point(expected, reader.point, i);
    }
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(reader.read_point());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              std::string("WARNING: end-of-file after 61 of 100 points for '") + s.display_name + "'\n");
  }
  remove(name.c_str());
}

TEST(LASreaderLAS, SeekMovesToAnyPoint) {
  LASheader header;
  make_header(header, 4, 8, 4, 20000);
  const std::vector<uint8_t> bytes = write_file(header, 20000);
  LASreaderLAS reader;
  ASSERT_TRUE(open_memory(reader, bytes));
  LASpoint expected;
  ASSERT_TRUE(expected.init(&header, 8, header.point_data_record_length, &header));
  // Forward, backward, into another block of records, to the last point.
  for (int64_t target : {int64_t(5), int64_t(3), int64_t(12345), int64_t(7000), int64_t(19999), int64_t(0)}) {
    SCOPED_TRACE(target);
    ASSERT_TRUE(reader.seek(target));
    EXPECT_EQ(reader.p_count, target);
    for (int64_t i = target; i < std::min<int64_t>(target + 3, 20000); i++) {
      ASSERT_TRUE(reader.read_point());
      fill_point(expected, static_cast<uint32_t>(i));
      expect_same_point(expected, reader.point, static_cast<uint32_t>(i));
    }
  }
  EXPECT_FALSE(reader.seek(20000));
  EXPECT_FALSE(reader.seek(-1));

  LASreaderLAS piped;
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(piped.open(new ByteStreamInPipe(bytes.data(), static_cast<int64_t>(bytes.size()))));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "WARNING: LAS 1.4 file has 2 EVLRs but stream is not seekable ...\n");
  EXPECT_EQ(piped.header.number_of_extended_variable_length_records, 0u);
  EXPECT_FALSE(piped.seek(10));
  ASSERT_TRUE(piped.read_point());
  fill_point(expected, 0);
  expect_same_point(expected, piped.point, 0);
}

TEST(LASreaderLAS, PeekOnlyReadsThePublicHeader) {
  LASheader header;
  make_header(header, 4, 6, 0, 12);
  const std::vector<uint8_t> bytes = write_file(header, 12);
  LASreaderLAS reader;
  ASSERT_TRUE(open_memory(reader, bytes, true));
  EXPECT_EQ(reader.header.point_data_format, 6);
  EXPECT_EQ(reader.header.extended_number_of_point_records, 12u);
  EXPECT_EQ(reader.npoints, 12);
  EXPECT_EQ(reader.header.vlrs, nullptr);
  EXPECT_FALSE(reader.read_point());
}

TEST(LASreaderLAS, OpenFailuresNameTheirCause) {
  LASreaderLAS reader;
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(reader.open(static_cast<const char*>(nullptr)));
  EXPECT_FALSE(reader.open(static_cast<FILE*>(nullptr)));
  EXPECT_FALSE(reader.open(static_cast<ByteStreamIn*>(nullptr)));
  EXPECT_FALSE(reader.open("/nonexistent-folder/none.las"));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "ERROR: file name pointer is zero\n"
            "ERROR: file pointer is zero\n"
            "ERROR: ByteStreamIn* pointer is zero\n"
            "ERROR: cannot open file '/nonexistent-folder/none.las' for read\n");
  EXPECT_FALSE(reader.read_point());
  EXPECT_FALSE(reader.seek(0));
}

// The merged reader reopens one reader on one file after another.
TEST(LASreaderLAS, ReopensOnAnotherSource) {
  LASheader first;
  make_header(first, 2, 1, 0, 5);
  LASheader second;
  make_header(second, 4, 7, 0, 8);
  const std::vector<uint8_t> one = write_file(first, 5);
  const std::vector<uint8_t> two = write_file(second, 8, 100);
  LASreaderLAS reader;
  ASSERT_TRUE(open_memory(reader, one));
  ASSERT_TRUE(reader.read_point());
  reader.close(false);
  ASSERT_TRUE(open_memory(reader, two));
  EXPECT_EQ(reader.header.point_data_format, 7);
  LASpoint expected;
  ASSERT_TRUE(expected.init(&second, 7, 36, &second));
  int64_t n = 0;
  while (reader.read_point()) {
    fill_point(expected, static_cast<uint32_t>(100 + n));
    expect_same_point(expected, reader.point, static_cast<uint32_t>(n));
    n++;
  }
  EXPECT_EQ(n, 8);
  FILE* file = fopen("/dev/null", "rb");
  ASSERT_NE(file, nullptr);
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(reader.open(file));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "ERROR: reading header.file_signature\n");
  reader.close();
  fclose(file);
}

// Standard input cannot seek: the points arrive item by item, the extended
// records are left alone, and messages name "stdin".
TEST(LASreaderLAS, StandardInput) {
  LASheader header;
  make_header(header, 4, 7, 0, 30);
  std::vector<uint8_t> bytes = write_file(header, 30);
  ASSERT_FALSE(bytes.empty());
  bytes.resize(header.offset_to_point_data + 20 * 36 + 5);
  const std::string name = ::testing::TempDir() + "lasreader_las_stdin.las";
  {
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  ASSERT_NE(freopen(name.c_str(), "rb", stdin), nullptr);
  LASreaderLAS reader;
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(reader.open(stdin));
  EXPECT_EQ(reader.get_display_name(), std::string("stdin"));
  EXPECT_FALSE(reader.seek(3));
  LASpoint expected;
  ASSERT_TRUE(expected.init(&header, 7, 36, &header));
  for (uint32_t i = 0; i < 20; i++) {
    ASSERT_TRUE(reader.read_point());
    fill_point(expected, i);
    expect_same_point(expected, reader.point, i);
  }
  EXPECT_FALSE(reader.read_point());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "WARNING: LAS 1.4 file has 2 EVLRs but stream is not seekable ...\n"
            "WARNING: end-of-file after 20 of 30 points for 'stdin'\n");
  reader.close();
  // The caller's file stays open.
  EXPECT_EQ(fseek(stdin, 0, SEEK_SET), 0);
  remove(name.c_str());
}

// A header whose x bounds are 300000 and 300100 with scale 0.01.
void make_reoffset_header(LASheader& h) {
  make_header(h, 2, 0, 0, 3, false);
  h.x_scale_factor = h.y_scale_factor = h.z_scale_factor = 0.01;
  h.x_offset = h.y_offset = h.z_offset = 0.0;
  h.min_x = 300000.0;
  h.max_x = 300100.0;
  h.min_y = -5000.0;
  h.max_y = 5000.0;
  h.min_z = 10.0;
  h.max_z = 20.0;
}

std::vector<uint8_t> write_reoffset_file(const LASheader& h, const int32_t (*xyz)[3], int n) {
  ByteStreamOutArrayLE out;
  LASwriterLAS writer;
  writer.set_delete_stream(false);
  EXPECT_TRUE(writer.open(&out, &h));
  LASpoint p;
  EXPECT_TRUE(p.init(&h, 0, 20, &h));
  for (int i = 0; i < n; i++) {
    p.X = xyz[i][0];
    p.Y = xyz[i][1];
    p.Z = xyz[i][2];
    EXPECT_TRUE(writer.write_point(&p));
  }
  writer.close();
  return std::vector<uint8_t>(out.get_data(), out.get_data() + out.get_size());
}

TEST(LASreaderLAS, RescaleAndReoffsetKeepTheCoordinates) {
  LASheader h;
  make_reoffset_header(h);
  const int32_t xyz[3][3] = {{30000000, -500000, 1000}, {30010000, 500000, 2000}, {30005001, 0, 1555}};
  const std::vector<uint8_t> bytes = write_reoffset_file(h, xyz, 3);

  struct Case {
    const char* name;
    std::function<LASreaderLAS*()> make;
    double scale[3];
    double offset[3];
  } cases[] = {
      {"automatic offsets", [] { return new LASreaderLASreoffset(); }, {0.01, 0.01, 0.01}, {300000.0, 0.0, 0.0}},
      {"given offsets", [] { return new LASreaderLASreoffset(300050.0, -100.0, 15.0); }, {0.01, 0.01, 0.01},
       {300050.0, -100.0, 15.0}},
      {"finer scales", [] { return new LASreaderLASrescale(0.001, 0.005, 0.0); }, {0.001, 0.005, 0.01},
       {0.0, 0.0, 0.0}},
      {"both", [] { return new LASreaderLASrescalereoffset(0.001, 0.001, 0.001, 300000.0, 0.0, 10.0); },
       {0.001, 0.001, 0.001}, {300000.0, 0.0, 10.0}},
      {"finer scales and automatic offsets", [] { return new LASreaderLASrescalereoffset(0.001, 0.001, 0.001); },
       {0.001, 0.001, 0.001}, {300000.0, 0.0, 0.0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<LASreaderLAS> reader(c.make());
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(open_memory(*reader, bytes));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(reader->header.x_scale_factor, c.scale[0]);
    EXPECT_EQ(reader->header.y_scale_factor, c.scale[1]);
    EXPECT_EQ(reader->header.z_scale_factor, c.scale[2]);
    EXPECT_EQ(reader->header.x_offset, c.offset[0]);
    EXPECT_EQ(reader->header.y_offset, c.offset[1]);
    EXPECT_EQ(reader->header.z_offset, c.offset[2]);
    for (const auto& p : xyz) {
      ASSERT_TRUE(reader->read_point());
      // Every new scale divides the old one, so the coordinates are exact.
      EXPECT_NEAR(reader->point.get_x(), p[0] * 0.01, 1e-9);
      EXPECT_NEAR(reader->point.get_y(), p[1] * 0.01, 1e-9);
      EXPECT_NEAR(reader->point.get_z(), p[2] * 0.01, 1e-9);
    }
    EXPECT_FALSE(reader->read_point());
  }
}

// Bounds that no longer fit into 32 bits warn, and the file still opens.
TEST(LASreaderLAS, OverflowingBoundsWarn) {
  LASheader h;
  make_reoffset_header(h);
  h.min_x = -20000000.0;
  h.max_x = 20000000.0;
  h.number_of_point_records = 1;
  const int32_t xyz[1][3] = {{0, 0, 1500}};
  const std::vector<uint8_t> bytes = write_reoffset_file(h, xyz, 1);
  struct Case {
    const char* name;
    std::function<LASreaderLAS*()> make;
    const char* message;
  } cases[] = {
      {"reoffset", [] { return new LASreaderLASreoffset(10000000.0, 0.0, 0.0); },
       "WARNING: reoffsetting from 0 to 1e+07 causes LAS integer overflow for min_x\n"},
      {"rescale", [] { return new LASreaderLASrescale(0.001, 0.0, 0.0); },
       "WARNING: rescaling from 0.01 to 0.001 causes LAS integer overflow for min_x\n"
       "WARNING: rescaling from 0.01 to 0.001 causes LAS integer overflow for max_x\n"},
      {"rescale without the check", [] { return new LASreaderLASrescale(0.001, 0.0, 0.0, false); }, ""},
      {"both", [] { return new LASreaderLASrescalereoffset(0.001, 0.0, 0.0, -1.0, 0.0, 0.0); },
       "WARNING: rescaling from 0.01 to 0.001 and reoffsetting from 0 to -1 causes LAS integer overflow for min_x\n"
       "WARNING: rescaling from 0.01 to 0.001 and reoffsetting from 0 to -1 causes LAS integer overflow for max_x\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<LASreaderLAS> reader(c.make());
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(open_memory(*reader, bytes));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.message);
    EXPECT_TRUE(reader->read_point());
  }
}

// The real airborne tiles: header values as their notes list them, and
// exactly the announced number of points, all inside the header bounds.
TEST(LASreaderLAS, RealTiles) {
  struct Tile {
    const char* file;
    uint8_t minor;
    uint8_t format;
    uint16_t record_length;
    int64_t points;
    uint32_t vlrs;
    double scale[3];
    double offset[3];
    double bounds[6];  // min_x, max_x, min_y, max_y, min_z, max_z
    // The header bounds hold raw integer values instead of coordinates.
    bool raw_bounds;
  } tiles[] = {
    {"autzen-thin-srs.las", 2, 3, 34, 10653, 4, {0.01, 0.01, 0.01}, {-0.0, -0.0, -0.0},
     {635589.01, 638994.75, 848886.45, 853535.43, 406.59, 593.73}, false},
    {"autzen_trim.las", 2, 3, 34, 110000, 5, {0.01, 0.01, 0.01}, {0.0, 0.0, 0.0},
     {636001.76, 637179.22, 848935.2, 849497.9, 406.26, 520.51}, false},
    {"autzen_trim_7.las", 4, 7, 36, 110000, 2, {0.01, 0.01, 0.01}, {0.0, 0.0, 0.0},
     {636001.76, 637179.22, 848935.2, 849497.9, 406.26, 520.51}, false},
    {"hexbin-crop.las", 2, 1, 28, 38367, 4, {0.0010000000000000002, 0.0010000000000000002, 1.0000000000000006e-05}, {393775.82306091185, 3689071.9431220554, 3107.8627},
     {393775.823, 394069.238, 3689071.943, 3689273.095, 3107.863, 3209.321}, false},
    {"mvk-thin.las", 2, 1, 28, 6280, 5, {0.01, 0.01, 0.01}, {-0.0, -0.0, -0.0},
     {2045001.76, 2049993.92, 1267501.19, 1272499.79, 95.79, 228.73}, false},
    {"4_6_crop.las", 2, 3, 34, 23875, 2, {0.01, 0.01, 0.01}, {0.0, 0.0, 0.0},
     {1639600.0, 1639799.98, 1454500.02, 1454700.0, 7077.92, 7139.7}, false},
    {"LASexample2.las", 2, 1, 28, 55783, 0, {0.01, 0.01, 0.01}, {523978.99, 3377681.5, 0.0},
     {525264.67, 525324.5, 3378066.89, 3378126.73, -0.01, 11.89}, false},
    {"test_data_77050_627755_LA93_IGN69_classified.las", 4, 6, 30, 21172, 0, {0.01, 0.01, 0.01}, {0.0, 0.0, 0.0},
     {770500.0, 770550.0, 6277500.0, 6277550.0, 20.25, 21.42}, false},
    {"792000_6272000-50mx100m-left.las", 4, 8, 38, 14938, 0, {0.01, 0.01, 0.01}, {792000.0, 6271170.0, 0.78},
     {792000.0, 792050.0, 6271171.67, 6271271.67, 0.78, 20.15}, false},
    {"gib_las_col.las", 4, 8, 38, 6236, 2, {0.01, 0.01, 0.01}, {0.0, 0.0, 0.0},
     {484269.74, 484999.97, 6484000.41, 6484999.96, 83.09, 153.39}, false},
    {"prio4_bridge_with_probas.las", 4, 8, 78, 5313, 1, {0.001, 0.001, 0.001}, {794054.0, 6266250.0, 0.05},
     {794053.562, 794071.188, 6266250.125, 6266264.375, 0.05, 9.52}, false},
    {"wontcompress3.las", 4, 6, 30, 1000, 2, {0.001, 0.001, 1e-05}, {767126.0, 2026581.0, 102.15},
     {768321.06, 768376.937, 2028734.533, 2028768.078, 104.98, 113.03}, false},
    {"test1_4.las", 4, 6, 30, 1000, 2, {1.16451354e-06, 1.164510015e-06, 1.003143236e-06}, {1692500.352, 1817499.596, 7350.194653},
     {1694038.446, 1694539.677, 1816492.706, 1816497.976, 5592.75, 5599.07}, false},
    {"edge_cases/simple1_3.las", 3, 4, 57, 999, 5, {0.001, 0.001, 0.001}, {0.0, 5000000.0, 0.0},
     {-235434519.0, -234935841.0, 800843145.0, 800946249.0, 265094.0, 273811.0}, true},
    {"edge_cases/epsg_4326.las", 2, 0, 20, 5380, 3, {1e-07, 1e-07, 1e-07}, {0.0, 0.0, 0.0},
     {-94.683, -94.661, 31.037, 31.047, 39.081, 78.119}, false},
    {"ign_ground_tiles/test_data_77050_627755_LA93_IGN69_ground.las", 2, 3, 34, 21172, 2, {0.01, 0.01, 0.01}, {0.0, 0.0, 0.0},
     {770500.0, 770550.0, 6277500.0, 6277550.0, 20.25, 21.42}, false},
    {"ign_ground_tiles/test_data_77050_627760_LA93_IGN69_ground.las", 2, 3, 34, 33568, 2, {0.01, 0.01, 0.01}, {0.0, 0.0, 0.0},
     {770500.0, 770550.0, 6277550.0, 6277600.0, 20.64, 21.92}, false},
    {"ign_ground_tiles/test_data_77055_627755_LA93_IGN69_ground.las", 2, 3, 34, 39468, 2, {0.01, 0.01, 0.01}, {0.0, 0.0, 0.0},
     {770550.0, 770600.0, 6277500.0, 6277550.0, 20.41, 21.48}, false},
    {"ign_ground_tiles/test_data_77055_627760_LA93_IGN69_ground.las", 2, 3, 34, 22343, 2, {0.01, 0.01, 0.01}, {0.0, 0.0, 0.0},
     {770550.0, 770600.0, 6277550.0, 6277600.0, 20.72, 21.6}, false},
    {"ign_ground_tiles/test_data_77060_627755_LA93_IGN69_ground.las", 2, 3, 34, 32663, 2, {0.01, 0.01, 0.01}, {0.0, 0.0, 0.0},
     {770600.0, 770650.0, 6277500.0, 6277550.0, 20.21, 21.27}, false},
    {"ign_ground_tiles/test_data_77060_627760_LA93_IGN69_ground.las", 2, 3, 34, 21975, 2, {0.01, 0.01, 0.01}, {0.0, 0.0, 0.0},
     {770600.0, 770650.0, 6277550.0, 6277599.99, 20.39, 21.21}, false},
  };
  const std::string folder = TIECHECK_REAL_DATA_DIR;
  int opened = 0;
  for (const Tile& t : tiles) {
    SCOPED_TRACE(t.file);
    const std::string path = folder + "/" + t.file;
    FILE* probe = fopen(path.c_str(), "rb");
    if (probe == nullptr) continue;
    fclose(probe);
    LASreaderLAS reader;
    ASSERT_TRUE(reader.open(path.c_str()));
    opened++;
    const LASheader& h = reader.header;
    EXPECT_EQ(h.version_major, 1);
    EXPECT_EQ(h.version_minor, t.minor);
    EXPECT_EQ(h.point_data_format, t.format);
    EXPECT_EQ(h.point_data_record_length, t.record_length);
    EXPECT_EQ(reader.npoints, t.points);
    EXPECT_EQ(h.number_of_variable_length_records, t.vlrs);
    EXPECT_EQ(h.number_of_extended_variable_length_records, 0u);
    EXPECT_EQ(reader.get_format(), LASreader::format_las);
    const double scale[3] = {h.x_scale_factor, h.y_scale_factor, h.z_scale_factor};
    const double offset[3] = {h.x_offset, h.y_offset, h.z_offset};
    const double bounds[6] = {h.min_x, h.max_x, h.min_y, h.max_y, h.min_z, h.max_z};
    for (int i = 0; i < 3; i++) {
      EXPECT_DOUBLE_EQ(scale[i], t.scale[i]) << i;
      EXPECT_DOUBLE_EQ(offset[i], t.offset[i]) << i;
    }
    // The notes give the bounds rounded to three decimals.
    for (int i = 0; i < 6; i++) EXPECT_NEAR(bounds[i], t.bounds[i], 1e-3) << i;

    int64_t n = 0;
    int64_t outside = 0;
    while (reader.read_point()) {
      double v[3];
      for (int axis = 0; axis < 3; axis++) {
        const int32_t raw = axis == 0 ? reader.point.X : axis == 1 ? reader.point.Y : reader.point.Z;
        v[axis] = t.raw_bounds ? raw : raw * scale[axis] + offset[axis];
        // Header bounds are stored rounded to the scale.
        const double slack = t.raw_bounds ? 0.0 : 0.5 * scale[axis] + 1e-9 * std::fabs(v[axis]);
        if (v[axis] < bounds[2 * axis] - slack || v[axis] > bounds[2 * axis + 1] + slack) outside++;
      }
      n++;
    }
    EXPECT_EQ(n, t.points);
    EXPECT_EQ(outside, 0);
  }
  if (opened == 0) GTEST_SKIP() << "no real tiles in " << folder;
}

}  // namespace
