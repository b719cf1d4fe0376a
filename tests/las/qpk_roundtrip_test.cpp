// Compressed LAS of point types 0 to 5 written by LASwriterLAS and read back
// by LASreaderLAS: every point equal, the file marked as compressed, seeking
// to any point, and the outputs the writer refuses.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "compression/qopack.h"
#include "las/bytestreamin_array.h"
#include "las/bytestreamout_array.h"
#include "las/bytestreamout_nil.h"
#include "las/lasreader_las.h"
#include "las/laswriter_las.h"
#include "qpk_fixture.h"

namespace {

using qpk::Records;

// Every point type 0 to 5, with and without extra bytes, survey data and
// random bytes, for chunks of one and two points, the default size with a
// short last chunk, and one chunk larger than the file, through both codec
// versions.
TEST(QpkRoundTrip, EveryPointTypeChunkSizeAndVersion) {
  struct Chunking {
    const char* name;
    int32_t chunk_size;
    uint32_t points;
  } chunkings[] = {
      {"one point per chunk", 1, 300},
      {"two points per chunk", 2, 301},
      {"default chunks, last one short", 50000, 100001},
      {"one chunk larger than the file", 1000000, 7000},
  };
  for (uint8_t format = 0; format <= 5; format++) {
    for (uint16_t extra : {uint16_t(0), uint16_t(3)}) {
      for (bool survey : {true, false}) {
        for (const Chunking& c : chunkings) {
          LASheader h;
          qpk::make_header(h, format, extra, c.points);
          const Records r = qpk::make_records(h, c.points, survey, format * 10 + extra);
          for (int32_t version : {1, 2}) {
            SCOPED_TRACE(::testing::Message() << "format " << int(format) << " extra " << extra
                                              << (survey ? " survey " : " random ") << c.name << " version "
                                              << version);
            const std::vector<uint8_t> bytes = qpk::write_qpk(h, r, Qopack::COMPRESSOR_POINTWISE_CHUNKED, version,
                                                              c.chunk_size);
            ASSERT_FALSE(bytes.empty());
            EXPECT_EQ(qpk::read_back(bytes, r), r.count());
          }
        }
      }
    }
  }
}

// What the file says about itself: bit 7 of the point data format, the
// compression record with the chunk size and item versions asked for, and
// a record length that is that of the uncompressed points.
TEST(QpkRoundTrip, HeaderAnnouncesTheCompression) {
  LASheader h;
  qpk::make_header(h, 3, 2, 1000);
  const Records r = qpk::make_records(h, 1000, true, 1);
  const std::vector<uint8_t> bytes = qpk::write_qpk(h, r, Qopack::COMPRESSOR_LAYERED_CHUNKED, 0, 300);
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(bytes[104], 0x83);
  uint16_t record_length;
  memcpy(&record_length, &bytes[105], 2);
  EXPECT_EQ(record_length, 36);

  LASreaderLAS reader;
  ASSERT_TRUE(reader.open(new ByteStreamInArrayLE(bytes.data(), static_cast<int64_t>(bytes.size()))));
  EXPECT_EQ(reader.get_format(), LASreader::format_qpk);
  EXPECT_EQ(reader.header.point_data_format, 3);
  ASSERT_TRUE(reader.header.qopack);
  const Qopack& q = *reader.header.qopack;
  // The layered compressor is for LAS 1.4 points: legacy points get kind 2.
  EXPECT_EQ(q.compressor, Qopack::COMPRESSOR_POINTWISE_CHUNKED);
  EXPECT_EQ(q.chunk_size, 300u);
  ASSERT_EQ(q.num_items, 4);
  const LASitem expected[] = {{LASitem::POINT10, 20, 2}, {LASitem::GPSTIME11, 8, 2}, {LASitem::RGB12, 6, 2},
                              {LASitem::BYTE, 2, 2}};
  for (int i = 0; i < 4; i++) EXPECT_EQ(q.items[i], expected[i]) << i;
  // The compression record does not stay among the header's records.
  EXPECT_EQ(reader.header.number_of_variable_length_records, 0u);
  EXPECT_EQ(reader.header.offset_to_point_data, 235u);
}

// A file on disk, compressed to a pipe-like stream that cannot seek, and
// written to the counting sink: all read back (the pipe's file through the
// position appended after the chunk table) and the sink counts the bytes.
TEST(QpkRoundTrip, FilesPipesAndTheCountingSink) {
  LASheader h;
  qpk::make_header(h, 1, 0, 12345);
  const Records r = qpk::make_records(h, 12345, true, 2);
  const std::vector<uint8_t> bytes = qpk::write_qpk(h, r, Qopack::COMPRESSOR_POINTWISE_CHUNKED, 2, 1000);
  ASSERT_FALSE(bytes.empty());

  const std::string path = ::testing::TempDir() + "qpk_roundtrip.las";
  {
    LASwriterLAS writer;
    ASSERT_TRUE(writer.open(path.c_str(), &h, Qopack::COMPRESSOR_POINTWISE_CHUNKED, 2, 1000));
    LASpoint p;
    ASSERT_TRUE(p.init(&h, 1, 28));
    for (size_t i = 0; i < r.count(); i++) {
      p.copy_from(r.at(i));
      ASSERT_TRUE(writer.write_point(&p));
    }
    EXPECT_EQ(writer.close(), static_cast<int64_t>(bytes.size()));
  }
  FILE* f = fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::vector<uint8_t> on_disk(bytes.size() + 1);
  on_disk.resize(fread(on_disk.data(), 1, on_disk.size(), f));
  fclose(f);
  EXPECT_EQ(on_disk, bytes);
  {
    LASreaderLAS reader;
    ASSERT_TRUE(reader.open(path.c_str()));
    std::vector<uint8_t> record(r.size);
    ASSERT_TRUE(reader.seek(12000));
    ASSERT_TRUE(reader.read_point());
    reader.point.copy_to(record.data());
    EXPECT_EQ(0, memcmp(record.data(), r.at(12000), r.size));
  }
  remove(path.c_str());

  // Memory that cannot seek, like a pipe: the pointer is -1 and the table is
  // followed by its position.
  class ByteStreamOutPipe : public ByteStreamOutArrayLE {
   public:
    bool is_seekable() const override { return false; }
    bool seek(int64_t) override { return false; }
    bool seek_end() override { return false; }
  } pipe;
  {
    LASwriterLAS writer;
    writer.set_delete_stream(false);
    ASSERT_TRUE(writer.open(&pipe, &h, Qopack::COMPRESSOR_POINTWISE_CHUNKED, 2, 1000));
    LASpoint p;
    ASSERT_TRUE(p.init(&h, 1, 28));
    for (size_t i = 0; i < r.count(); i++) {
      p.copy_from(r.at(i));
      ASSERT_TRUE(writer.write_point(&p));
    }
    EXPECT_EQ(writer.close(), static_cast<int64_t>(bytes.size()) + 8);
  }
  const std::vector<uint8_t> piped(pipe.get_data(), pipe.get_data() + pipe.get_size());
  uint32_t point_data;
  memcpy(&point_data, &bytes[96], 4);
  int64_t pointer;
  int64_t trailing;
  memcpy(&pointer, &piped[point_data], 8);
  memcpy(&trailing, &piped[piped.size() - 8], 8);
  EXPECT_EQ(pointer, -1);
  int64_t table;
  memcpy(&table, &bytes[point_data], 8);
  EXPECT_EQ(trailing, table);
  EXPECT_EQ(qpk::read_back(piped, r), r.count());

  LASwriterLAS sized;
  ASSERT_TRUE(sized.open(&h, Qopack::COMPRESSOR_POINTWISE_CHUNKED, 2, 1000));
  LASpoint p;
  ASSERT_TRUE(p.init(&h, 1, 28));
  for (size_t i = 0; i < r.count(); i++) {
    p.copy_from(r.at(i));
    ASSERT_TRUE(sized.write_point(&p));
  }
  EXPECT_EQ(sized.close(), static_cast<int64_t>(bytes.size()));
}

// Seeking lands on the asked point in the first, a middle and the last
// chunk, forwards and backwards, within a chunk and across chunks, and
// reading goes on from there.
TEST(QpkRoundTrip, SeekLandsOnTheAskedPoint) {
  LASheader h;
  const uint32_t count = 10 * 1000 + 17;
  qpk::make_header(h, 3, 0, count);
  const Records r = qpk::make_records(h, count, true, 3);
  const std::vector<uint8_t> bytes = qpk::write_qpk(h, r, Qopack::COMPRESSOR_POINTWISE_CHUNKED, 2, 1000);
  ASSERT_FALSE(bytes.empty());
  LASreaderLAS reader;
  ASSERT_TRUE(reader.open(new ByteStreamInArrayLE(bytes.data(), static_cast<int64_t>(bytes.size()))));
  const int64_t targets[] = {
      5,      // first chunk, before anything was read
      999,    // last point of the first chunk
      5003,   // a middle chunk, forwards
      5004,   // the next point
      5001,   // backwards within the chunk
      10016,  // the last point of the file, in the short last chunk
      10000,  // the first point of the last chunk
      0,      // back to the start
      2000,   // the raw first point of a chunk
      1999,   // the point before it, backwards across a chunk
  };
  std::vector<uint8_t> record(r.size);
  for (int64_t t : targets) {
    SCOPED_TRACE(t);
    ASSERT_TRUE(reader.seek(t));
    EXPECT_EQ(reader.p_count, t);
    for (int64_t i = t; i < std::min<int64_t>(t + 3, count); i++) {
      ASSERT_TRUE(reader.read_point());
      reader.point.copy_to(record.data());
      EXPECT_EQ(0, memcmp(record.data(), r.at(static_cast<size_t>(i)), r.size)) << i;
    }
  }
  EXPECT_FALSE(reader.seek(count));
}

// Outputs the writer refuses, each with its message, and nothing written.
TEST(QpkRoundTrip, RefusedOutputs) {
  struct Case {
    const char* name;
    uint8_t minor;
    uint8_t format;
    uint32_t compressor;
    int32_t version;
    int32_t chunk_size;
    const char* message;
  } cases[] = {
      {"LAS 1.4 point types need the layered compressor", 4, 6, 2, 0, 50000,
       "ERROR: point type 6 requires using \"native LAS 1.4 extension\" of Qopack\n"},
      {"adaptive chunking of legacy points", 2, 1, 2, 0, 0,
       "ERROR: adaptive chunking is depricated for point type 1.\n       only available for new LAS 1.4 point types 6 "
       "or higher.\n"},
      {"codec version 3", 2, 3, 2, 3, 50000, "ERROR: version larger than 2 not supported (Qopack v3.4r3)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LASheader h;
    qpk::make_header(h, c.format, 0, 0);
    h.version_minor = c.minor;
    h.header_size = c.minor == 4 ? 375 : 235;
    h.offset_to_point_data = h.header_size;
    ByteStreamOutArrayLE out;
    LASwriterLAS writer;
    writer.set_delete_stream(false);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(writer.open(&out, &h, c.compressor, c.version, c.chunk_size));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.message);
    EXPECT_EQ(out.get_size(), 0);
  }
}

// Real airborne tiles of point types 0 to 3 compress and read back equal.
TEST(QpkRoundTrip, RealTiles) {
  const char* names[] = {"autzen-thin-srs.las", "autzen_trim.las", "hexbin-crop.las", "mvk-thin.las",
                         "4_6_crop.las", "LASexample2.las", "edge_cases/epsg_4326.las",
                         "ign_ground_tiles/test_data_77050_627755_LA93_IGN69_ground.las"};
  int found = 0;
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const std::string path = std::string(TIECHECK_REAL_DATA_DIR) + "/" + name;
    FILE* probe = fopen(path.c_str(), "rb");
    if (probe == nullptr) continue;
    fclose(probe);
    found++;
    LASreaderLAS source;
    ASSERT_TRUE(source.open(path.c_str()));
    Records r;
    r.size = source.point.total_point_size;
    std::vector<uint8_t> record(r.size);
    while (source.read_point()) {
      source.point.copy_to(record.data());
      r.bytes.insert(r.bytes.end(), record.begin(), record.end());
    }
    ASSERT_EQ(static_cast<int64_t>(r.count()), source.npoints);
    const std::vector<uint8_t> bytes =
        qpk::write_qpk(source.header, r, Qopack::COMPRESSOR_POINTWISE_CHUNKED, 2, 50000);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(qpk::read_back(bytes, r), r.count());
    // Even thinned airborne points compress to under half their records.
    uint32_t point_data;
    memcpy(&point_data, &bytes[96], 4);
    EXPECT_LT(bytes.size() - point_data, r.bytes.size() / 2);
  }
  if (found == 0) GTEST_SKIP() << "no real tiles in " << TIECHECK_REAL_DATA_DIR;
}

}  // namespace
