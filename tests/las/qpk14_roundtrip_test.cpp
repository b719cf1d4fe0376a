// Compressed LAS 1.4 points (point types 6 to 10 in layered chunks) written
// by LASwriterLAS and read back by LASreaderLAS: every point equal, for chunks
// of fixed and of varying size; the header and compression record; seeking
// into any chunk; reading only X, Y and Z; and real LAS 1.4 tiles.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "compression/qopack.h"
#include "las/bytestreamin_array.h"
#include "las/bytestreamout_array.h"
#include "las/lasreader_las.h"
#include "qpk14_fixture.h"

namespace {

using qpk14::Channels;
using qpk14::Records;

// Every point type 6 to 10, without and with extra bytes (20 of them, so
// that bytes beyond the 16 selectable ones are coded too), survey records
// of one, alternating and bursting scanner channels and random bytes, for
// chunks of one and two points, the default size with a short last chunk,
// one chunk larger than the file, and chunks of varying size.
TEST(Qpk14RoundTrip, EveryPointTypeAndChunking) {
  struct Chunking {
    const char *name;
    int32_t chunk_size;
    uint32_t points;
    std::vector<uint32_t> chunk_ends;  // chunk() after these point counts
  };
  const Chunking chunkings[] = {
      {"one point per chunk", 1, 301, {}},
      {"two points per chunk", 2, 301, {}},
      {"default chunks, last one short", 50000, 60007, {}},
      {"one chunk larger than the file", 1000000, 7000, {}},
      {"chunks of varying size", 0, 7000, {1, 2, 3, 50, 1999, 2000, 6999}},
  };
  for (uint8_t format = 6; format <= 10; format++) {
    for (uint16_t extra : {uint16_t(0), uint16_t(20)}) {
      for (const Chunking &c : chunkings) {
        LASheader h;
        qpk14::make_header(h, format, extra, c.points);
        struct Input {
          const char *name;
          Records records;
        } inputs[] = {
            {"one channel", qpk14::make_records(h, c.points, Channels::one, format)},
            {"alternating channels", qpk14::make_records(h, c.points, Channels::alternating, format + 1)},
            {"bursts of four channels", qpk14::make_records(h, c.points, Channels::bursts, format + 2)},
            {"random bytes", qpk14::make_random_records(h, c.points, format + 3)},
        };
        for (const Input &in : inputs) {
          // The default chunks take long enough with one kind of input.
          if (c.points > 50000 && std::string(in.name) != "bursts of four channels") continue;
          SCOPED_TRACE(::testing::Message()
                       << "format " << int(format) << " extra " << extra << " " << in.name << ", " << c.name);
          const std::vector<uint8_t> bytes = qpk14::write_qpk(h, in.records, c.chunk_size, c.chunk_ends);
          ASSERT_FALSE(bytes.empty());
          qpk14::expect_same_records(in.records, qpk14::read_all(bytes));
        }
      }
    }
  }
}

// What the file says about itself: bit 7 of the point data format, a
// compression record of the layered compressor with the chunk size asked
// for and codec version 3 for every item, and the record length of the
// uncompressed points.
TEST(Qpk14RoundTrip, HeaderAnnouncesLayeredCompression) {
  struct Case {
    uint8_t format;
    uint16_t extra;
    int32_t chunk_size;
    std::vector<LASitem> items;
  } cases[] = {
      {6, 0, 50000, {{LASitem::POINT14, 30, 3}}},
      {7, 2, 1000, {{LASitem::POINT14, 30, 3}, {LASitem::RGB14, 6, 3}, {LASitem::BYTE14, 2, 3}}},
      {8, 0, 0, {{LASitem::POINT14, 30, 3}, {LASitem::RGBNIR14, 8, 3}}},
      {9, 0, 77, {{LASitem::POINT14, 30, 3}, {LASitem::WAVEPACKET14, 29, 3}}},
      {10,
       5,
       50000,
       {{LASitem::POINT14, 30, 3}, {LASitem::RGBNIR14, 8, 3}, {LASitem::WAVEPACKET14, 29, 3}, {LASitem::BYTE14, 5, 3}}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(int(c.format));
    LASheader h;
    qpk14::make_header(h, c.format, c.extra, 500);
    const Records r = qpk14::make_records(h, 500, Channels::alternating, 1);
    const std::vector<uint8_t> bytes = qpk14::write_qpk(h, r, c.chunk_size);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes[104], 0x80 | c.format);
    EXPECT_EQ(qpk14::get<uint16_t>(&bytes[105]), r.size);

    LASreaderLAS reader;
    ASSERT_TRUE(reader.open(new ByteStreamInArrayLE(bytes.data(), static_cast<int64_t>(bytes.size()))));
    EXPECT_EQ(reader.get_format(), LASreader::format_qpk);
    EXPECT_EQ(reader.header.point_data_format, c.format);
    ASSERT_TRUE(reader.header.qopack);
    const Qopack &q = *reader.header.qopack;
    EXPECT_EQ(q.compressor, Qopack::COMPRESSOR_LAYERED_CHUNKED);
    EXPECT_EQ(q.chunk_size, c.chunk_size == 0 ? 0u : static_cast<uint32_t>(c.chunk_size));
    ASSERT_EQ(q.num_items, c.items.size());
    for (size_t i = 0; i < c.items.size(); i++) EXPECT_EQ(q.items[i], c.items[i]) << i;
    EXPECT_EQ(reader.header.number_of_variable_length_records, 0u);
    EXPECT_EQ(reader.header.get_extended_number_of_point_records(), 500u);
  }
}

// Seeking lands on the asked point in the first, a middle and the last
// chunk, forwards and backwards, within a chunk and across chunks, for
// chunks of fixed and of varying size, and reading goes on from there. The
// points passed over are decoded into the chunk reader's own buffer, which
// for point type 6 holds the point core alone (the sanitizers check its
// size).
TEST(Qpk14RoundTrip, SeekLandsOnTheAskedPoint) {
  const uint32_t count = 10 * 1000 + 17;
  for (uint8_t format : {uint8_t(6), uint8_t(10)}) {
    SCOPED_TRACE(int(format));
    LASheader h;
    qpk14::make_header(h, format, format == 6 ? 0 : 20, count);
    const Records r = qpk14::make_records(h, count, Channels::bursts, 3);
    const struct {
      const char *name;
      int32_t chunk_size;
      std::vector<uint32_t> chunk_ends;
    } chunkings[] = {
        {"chunks of 1000", 1000, {}},
        {"chunks of varying size", 0, {1000, 1001, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000}},
    };
    for (const auto &c : chunkings) {
      SCOPED_TRACE(c.name);
      const std::vector<uint8_t> bytes = qpk14::write_qpk(h, r, c.chunk_size, c.chunk_ends);
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
          1000,   // a chunk of a single point (varying sizes)
      };
      std::vector<uint8_t> record(r.size);
      for (int64_t t : targets) {
        SCOPED_TRACE(t);
        ASSERT_TRUE(reader.seek(t));
        EXPECT_EQ(reader.p_count, t);
        for (int64_t i = t; i < std::min<int64_t>(t + 3, count); i++) {
          ASSERT_TRUE(reader.read_point());
          reader.point.copy_to(record.data());
          EXPECT_TRUE(qpk14::same_record(record.data(), r.at(static_cast<size_t>(i)), r.size)) << i;
        }
      }
      EXPECT_FALSE(reader.seek(count));
    }
  }
}

// With the mask of X, Y and Z only, coordinates, returns and channel are
// those of the full read; the fields of the layers not decoded keep the
// values of the chunk's first point, except the extra bytes beyond the 16
// selectable ones, which are always decoded.
TEST(Qpk14RoundTrip, SelectiveReadingDecodesOnlyXYZ) {
  const uint32_t count = 3000;
  const uint32_t chunk = 700;
  LASheader h;
  qpk14::make_header(h, 10, 20, count);
  const Records r = qpk14::make_records(h, count, Channels::bursts, 4);
  const std::vector<uint8_t> bytes = qpk14::write_qpk(h, r, chunk);
  ASSERT_FALSE(bytes.empty());
  const Records full = qpk14::read_all(bytes);
  const Records xyz = qpk14::read_all(bytes, 0x1);
  qpk14::expect_same_records(r, full);
  ASSERT_EQ(xyz.count(), count);

  const size_t extra_at = 30 + 8 + 29;
  for (uint32_t i = 0; i < count; i++) {
    SCOPED_TRACE(i);
    const uint8_t *f = full.at(i);
    const uint8_t *s = xyz.at(i);
    const uint8_t *first = full.at(i / chunk * chunk);
    // X, Y, Z, the returns byte and the channel.
    ASSERT_EQ(0, memcmp(f, s, 12));
    ASSERT_EQ(f[qpk14::kReturns], s[qpk14::kReturns]);
    ASSERT_EQ(f[qpk14::kFlags] & 0x30, s[qpk14::kFlags] & 0x30);
    // Intensity, the flags, classification, user data, scan angle, point
    // source, GPS time, colour, near infrared, wave packet and extra bytes 0
    // to 15 as at the chunk's first point.
    ASSERT_EQ(0, memcmp(first + qpk14::kIntensity, s + qpk14::kIntensity, 2));
    ASSERT_EQ(first[qpk14::kFlags] & 0xCF, s[qpk14::kFlags] & 0xCF);
    ASSERT_EQ(0, memcmp(first + qpk14::kClass, s + qpk14::kClass, 30 - qpk14::kClass));
    ASSERT_EQ(0, memcmp(first + 30, s + 30, extra_at + 16 - 30));
    // Extra bytes 16 to 19.
    ASSERT_EQ(0, memcmp(f + extra_at + 16, s + extra_at + 16, 4));
  }
  // The mask of a filter on classification and GPS time decodes those too.
  const Records more = qpk14::read_all(bytes, 0x1 | 0x2 | 0x80);
  ASSERT_EQ(more.count(), count);
  for (uint32_t i = 0; i < count; i++) {
    ASSERT_EQ(full.at(i)[qpk14::kClass], more.at(i)[qpk14::kClass]) << i;
    ASSERT_TRUE(qpk14::get<double>(full.at(i) + qpk14::kGpsTime) == qpk14::get<double>(more.at(i) + qpk14::kGpsTime))
        << i;
  }
}

// A reader of X, Y and Z reads fewer bytes: the layers it does not need
// are skipped, not loaded.
TEST(Qpk14RoundTrip, SelectiveReadingSkipsLayers) {
  class ByteStreamInCounted : public ByteStreamInArrayLE {
   public:
    using ByteStreamInArrayLE::ByteStreamInArrayLE;
    uint32_t get_byte() override {
      taken++;
      return ByteStreamInArrayLE::get_byte();
    }
    void get_bytes(uint8_t *bytes, uint32_t n) override {
      taken += n;
      ByteStreamInArrayLE::get_bytes(bytes, n);
    }
    int64_t taken = 0;
  };
  LASheader h;
  qpk14::make_header(h, 8, 0, 20000);
  const Records r = qpk14::make_records(h, 20000, Channels::alternating, 5);
  const std::vector<uint8_t> bytes = qpk14::write_qpk(h, r, 5000);
  ASSERT_FALSE(bytes.empty());
  int64_t taken[2];
  const uint32_t masks[2] = {0xFFFFFFFF, 0x1};
  for (int m = 0; m < 2; m++) {
    auto *in = new ByteStreamInCounted(bytes.data(), static_cast<int64_t>(bytes.size()));
    LASreaderLAS reader;
    reader.set_delete_stream(false);
    ASSERT_TRUE(reader.open(in, false, masks[m]));
    int64_t n = 0;
    while (reader.read_point()) n++;
    EXPECT_EQ(n, 20000);
    taken[m] = in->taken;
    reader.close();
    delete in;
  }
  EXPECT_LT(taken[1], taken[0] * 3 / 4);
}

// LAS 1.4 outputs the writer refuses, each with its message, and nothing
// written.
TEST(Qpk14RoundTrip, RefusedOutputs) {
  struct Case {
    const char *name;
    uint8_t format;
    uint32_t compressor;
    int32_t version;
    std::vector<LASitem> items;  // a descriptor in the header, when given
    const char *message;
  } cases[] = {
      {"the legacy chunked compressor",
       6,
       2,
       0,
       {},
       "ERROR: point type 6 requires using \"native LAS 1.4 extension\" of Qopack\n"},
      {"the pointwise compressor",
       7,
       1,
       0,
       {},
       "ERROR: point type 7 requires using \"native LAS 1.4 extension\" of Qopack\n"},
      {"codec version 3 asked for", 6, 3, 3, {}, "ERROR: version larger than 2 not supported (Qopack v3.4r3)\n"},
      // Point type 9 with the legacy wave packet item, which has no layers.
      {"a legacy item in a layered chunk",
       9,
       3,
       0,
       {{LASitem::POINT14, 30, 0}, {LASitem::WAVEPACKET13, 29, 0}},
       "ERROR: point type 9 of size 59 not supported (with Qopack)\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    LASheader h;
    qpk14::make_header(h, c.format, 0, 0);
    if (!c.items.empty()) {
      h.qopack = std::make_shared<Qopack>();
      ASSERT_TRUE(h.qopack->setup(static_cast<uint16_t>(c.items.size()), c.items.data(), 0));
    }
    ByteStreamOutArrayLE out;
    LASwriterLAS writer;
    writer.set_delete_stream(false);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(writer.open(&out, &h, c.compressor, c.version, 50000));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.message);
    EXPECT_EQ(out.get_size(), 0);
  }
}

// Real LAS 1.4 tiles of point types 6, 7 and 8 (some with extra bytes)
// compress and read back equal byte for byte.
TEST(Qpk14RoundTrip, RealTiles) {
  const char *names[] = {"autzen_trim_7.las",
                         "test_data_77050_627755_LA93_IGN69_classified.las",
                         "792000_6272000-50mx100m-left.las",
                         "gib_las_col.las",
                         "prio4_bridge_with_probas.las",
                         "wontcompress3.las",
                         "test1_4.las"};
  int found = 0;
  for (const char *name : names) {
    SCOPED_TRACE(name);
    const std::string path = std::string(TIECHECK_REAL_DATA_DIR) + "/" + name;
    FILE *probe = fopen(path.c_str(), "rb");
    if (probe == nullptr) continue;
    fclose(probe);
    found++;
    LASreaderLAS source;
    ASSERT_TRUE(source.open(path.c_str()));
    ASSERT_GE(source.header.point_data_format, 6);
    Records r;
    r.size = source.point.total_point_size;
    std::vector<uint8_t> record(r.size);
    while (source.read_point()) {
      source.point.copy_to(record.data());
      r.bytes.insert(r.bytes.end(), record.begin(), record.end());
    }
    ASSERT_EQ(static_cast<int64_t>(r.count()), source.npoints);
    const std::vector<uint8_t> bytes = qpk14::write_qpk(source.header, r, 50000);
    ASSERT_FALSE(bytes.empty());
    const Records back = qpk14::read_all(bytes);
    ASSERT_EQ(back.bytes.size(), r.bytes.size());
    EXPECT_TRUE(back.bytes == r.bytes);
    // Real airborne points compress to well under half their records.
    const uint32_t point_data = qpk14::get<uint32_t>(&bytes[96]);
    EXPECT_LT(bytes.size() - point_data, r.bytes.size() / 2);
  }
  if (found == 0) GTEST_SKIP() << "no real LAS 1.4 tiles in " << TIECHECK_REAL_DATA_DIR;
}

}  // namespace
