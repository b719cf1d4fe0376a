// LAS files written by LASwriterLAS and read back by LASreaderLAS: every
// version with every point format it allows, the counts and bounds the writer
// patches, the suite records it adds, and the outputs it refuses.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "compression/qopack.h"
#include "las/bytestreamout_array.h"
#include "las/bytestreamout_nil.h"
#include "lasfile_fixture.h"

namespace {

using lasfile::expect_same_header;
using lasfile::expect_same_point;
using lasfile::fill_point;
using lasfile::make_header;
using lasfile::open_memory;
using lasfile::peek;
using lasfile::write_file;

// Reads every point of `bytes` and compares it with what fill_point() made.
void expect_points(LASreaderLAS& reader, const LASheader& written, uint32_t count) {
  LASpoint expected;
  ASSERT_TRUE(expected.init(&written, written.point_data_format, written.point_data_record_length, &written));
  for (uint32_t i = 0; i < count; i++) {
    ASSERT_TRUE(reader.read_point()) << "point " << i;
    fill_point(expected, i);
    expect_same_point(expected, reader.point, i);
  }
  EXPECT_FALSE(reader.read_point());
  EXPECT_EQ(reader.p_count, static_cast<int64_t>(count));
}

struct Version {
  uint8_t minor;
  uint8_t max_format;
};

// LAS 1.0 and 1.1 know formats 0 and 1, 1.2 adds colour, 1.3 wave packets,
// 1.4 the formats 6 to 10.
const Version versions[] = {{0, 1}, {1, 1}, {2, 3}, {3, 5}, {4, 10}};

TEST(LASwriterLAS, RoundTripEveryVersionAndFormat) {
  const uint32_t count = 257;
  for (const Version& v : versions) {
    for (uint8_t format = 0; format <= v.max_format; format++) {
      for (uint16_t extra_bytes : {0, 7}) {
        SCOPED_TRACE(::testing::Message() << "LAS 1." << int(v.minor) << " format " << int(format) << " extra bytes "
                                          << extra_bytes);
        LASheader header;
        make_header(header, v.minor, format, extra_bytes, count);
        const std::vector<uint8_t> bytes = write_file(header, count);
        ASSERT_FALSE(bytes.empty());

        LASreaderLAS reader;
        ::testing::internal::CaptureStderr();
        const bool opened = open_memory(reader, bytes);
        const std::string messages = ::testing::internal::GetCapturedStderr();
        ASSERT_TRUE(opened) << messages;
        EXPECT_EQ(messages, "");
        // The writer puts the extended records right after the points.
        if (v.minor >= 4) {
          header.start_of_first_extended_variable_length_record =
              header.offset_to_point_data + uint64_t(count) * header.point_data_record_length;
          EXPECT_EQ(reader.header.start_of_first_extended_variable_length_record,
                    header.start_of_first_extended_variable_length_record);
        }
        expect_same_header(header, reader.header);
        EXPECT_EQ(reader.npoints, count);
        EXPECT_EQ(reader.get_format(), LASreader::format_las);
        expect_points(reader, header, count);
      }
    }
  }
}

// A header whose item list is not that of a point format travels in a
// compression record with the "none" compressor, and the points stay raw.
TEST(LASwriterLAS, NonStandardItemListRoundTripsThroughItsDescriptor) {
  const LASitem items[] = {{LASitem::POINT10, 20}, {LASitem::RGB12, 6}, {LASitem::GPSTIME11, 8}, {LASitem::BYTE, 3}};
  LASheader header;
  make_header(header, 2, 3, 3, 40, false);
  header.qopack = std::make_shared<Qopack>();
  ASSERT_TRUE(header.qopack->setup(4, items, Qopack::COMPRESSOR_NONE));
  ASSERT_TRUE(header.qopack->request_version(0));

  ByteStreamOutArrayLE out;
  LASwriterLAS writer;
  writer.set_delete_stream(false);
  ASSERT_TRUE(writer.open(&out, &header));
  LASpoint point;
  ASSERT_TRUE(point.init(&header, 4, items, &header));
  for (uint32_t i = 0; i < 40; i++) {
    fill_point(point, i);
    ASSERT_TRUE(writer.write_point(&point));
  }
  ASSERT_GT(writer.close(), 0);
  const std::vector<uint8_t> bytes(out.get_data(), out.get_data() + out.get_size());
  // Format 127 (no standard format) with bit 6 set demands the descriptor.
  EXPECT_EQ(bytes[104], 127);
  EXPECT_EQ(peek<uint32_t>(bytes, 100), 1u);
  EXPECT_EQ(peek<uint32_t>(bytes, 96), 227u + 54 + 34 + 4 * 6);

  LASreaderLAS reader;
  ASSERT_TRUE(open_memory(reader, bytes));
  ASSERT_TRUE(reader.header.qopack);
  EXPECT_EQ(reader.header.qopack->compressor, Qopack::COMPRESSOR_NONE);
  EXPECT_EQ(reader.header.number_of_variable_length_records, 0u);
  EXPECT_EQ(reader.header.offset_to_point_data, 227u);
  ASSERT_EQ(reader.point.num_items, 4);
  LASpoint expected;
  ASSERT_TRUE(expected.init(&header, 4, items, &header));
  for (uint32_t i = 0; i < 40; i++) {
    ASSERT_TRUE(reader.read_point());
    fill_point(expected, i);
    expect_same_point(expected, reader.point, i);
  }
}

TEST(LASwriterLAS, SuiteRecordsFollowTheHeaderRecords) {
  LASheader header;
  make_header(header, 2, 1, 0, 3);
  header.vlr_lastiling = std::make_unique<LASvlr_lastiling>();
  header.vlr_lastiling->level = 3;
  header.vlr_lastiling->level_index = 42;
  header.vlr_lastiling->buffer = true;
  header.vlr_lastiling->min_x = 1.5f;
  header.vlr_lastiling->max_y = 9.5f;
  header.vlr_lasoriginal = std::make_unique<LASvlr_lasoriginal>();
  header.vlr_lasoriginal->number_of_point_records = 123456789012ULL;
  header.vlr_lasoriginal->max_z = 77.0;

  const std::vector<uint8_t> bytes = write_file(header, 3);
  ASSERT_FALSE(bytes.empty());
  // 82 bytes for the tiling record and 230 for the original counts.
  EXPECT_EQ(peek<uint32_t>(bytes, 96), header.offset_to_point_data + 82 + 230);
  EXPECT_EQ(peek<uint32_t>(bytes, 100), header.number_of_variable_length_records + 2);

  LASreaderLAS reader;
  ASSERT_TRUE(open_memory(reader, bytes));
  expect_same_header(header, reader.header);
  ASSERT_TRUE(reader.header.vlr_lastiling);
  EXPECT_EQ(reader.header.vlr_lastiling->level, 3u);
  EXPECT_EQ(reader.header.vlr_lastiling->level_index, 42u);
  EXPECT_TRUE(reader.header.vlr_lastiling->buffer);
  EXPECT_FALSE(reader.header.vlr_lastiling->reversible);
  EXPECT_EQ(reader.header.vlr_lastiling->min_x, 1.5f);
  EXPECT_EQ(reader.header.vlr_lastiling->max_y, 9.5f);
  ASSERT_TRUE(reader.header.vlr_lasoriginal);
  EXPECT_EQ(reader.header.vlr_lasoriginal->number_of_point_records, 123456789012ULL);
  EXPECT_EQ(reader.header.vlr_lasoriginal->max_z, 77.0);
  expect_points(reader, header, 3);
}

// Counts and bounds come from the inventory when the header's are wrong.
TEST(LASwriterLAS, UpdateHeaderWritesTheInventory) {
  for (uint8_t minor : {2, 4}) {
    for (uint8_t format : {1, 6}) {
      if (format > 5 && minor < 4) continue;
      SCOPED_TRACE(::testing::Message() << "LAS 1." << int(minor) << " format " << int(format));
      LASheader header;
      make_header(header, minor, format, 0, 1000, false);
      header.min_x = header.max_x = 0.0;

      ByteStreamOutArrayLE out;
      LASwriterLAS writer;
      writer.set_delete_stream(false);
      ASSERT_TRUE(writer.open(&out, &header));
      LASpoint point;
      ASSERT_TRUE(point.init(&header, format, header.point_data_record_length, &header));
      int64_t by_return[16] = {};
      int32_t min_X = INT32_MAX, max_X = INT32_MIN;
      for (uint32_t i = 0; i < 20; i++) {
        fill_point(point, i);
        point.X = static_cast<int32_t>(i * 1000) - 5000;
        by_return[point.extended_point_type ? point.extended_return_number : point.return_number]++;
        min_X = std::min(min_X, point.X);
        max_X = std::max(max_X, point.X);
        ASSERT_TRUE(writer.update_inventory(&point));
        ASSERT_TRUE(writer.write_point(&point));
      }
      ASSERT_TRUE(writer.update_header(&header, true));
      ::testing::internal::CaptureStderr();
      ASSERT_GT(writer.close(), 0);
      EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

      LASreaderLAS reader;
      ASSERT_TRUE(open_memory(reader, std::vector<uint8_t>(out.get_data(), out.get_data() + out.get_size())));
      const LASheader& h = reader.header;
      EXPECT_EQ(h.number_of_point_records, format > 5 ? 0u : 20u);
      for (int r = 1; r <= 5; r++) EXPECT_EQ(h.number_of_points_by_return[r - 1], format > 5 ? 0 : by_return[r]) << r;
      if (minor >= 4) {
        EXPECT_EQ(h.extended_number_of_point_records, 20u);
        for (int r = 1; r <= 15; r++) EXPECT_EQ(h.extended_number_of_points_by_return[r - 1], by_return[r]) << r;
      }
      EXPECT_DOUBLE_EQ(h.min_x, min_X * header.x_scale_factor + header.x_offset);
      EXPECT_DOUBLE_EQ(h.max_x, max_X * header.x_scale_factor + header.x_offset);
      EXPECT_EQ(reader.npoints, 20);
    }
  }
}

// A legacy count cannot hold 2^32 points: LAS 1.2 saturates with a warning,
// LAS 1.4 writes 0 and the true count in the 64-bit field.
TEST(LASwriterLAS, TooManyPointsForTheLegacyCount) {
  struct Case {
    uint8_t minor;
    uint32_t legacy;
    const char* message;
  } cases[] = {
      {2, 0xFFFFFFFFu, "WARNING: too many points in LAS 1.2 file. limit is 4294967295.\n"},
      {4, 0u, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.minor));
    LASheader header;
    make_header(header, c.minor, 1, 0, 0, false);
    ByteStreamOutArrayLE out;
    LASwriterLAS writer;
    writer.set_delete_stream(false);
    ASSERT_TRUE(writer.open(&out, &header));
    writer.inventory.extended_number_of_point_records = (int64_t(1) << 32) + 5;
    writer.inventory.first = false;
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(writer.update_header(&header, true));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.message);
    std::vector<uint8_t> bytes(out.get_data(), out.get_data() + out.get_size());
    EXPECT_EQ(peek<uint32_t>(bytes, 107), c.legacy);
    if (c.minor >= 4) {
      EXPECT_EQ(peek<uint64_t>(bytes, 247), (uint64_t(1) << 32) + 5);
    }
    writer.npoints = 0;  // nothing to patch at close
    ::testing::internal::CaptureStderr();
    writer.close(false);
    ::testing::internal::GetCapturedStderr();
  }
}

// A stream that refuses to seek, like standard output.
class ByteStreamOutPipe : public ByteStreamOutArrayLE {
 public:
  bool is_seekable() const override { return false; }
  bool seek(int64_t) override { return false; }
};

TEST(LASwriterLAS, FewerPointsThanAnnouncedArePatchedWhenTheStreamSeeks) {
  LASheader header;
  make_header(header, 4, 1, 0, 10, false);
  {
    ByteStreamOutArrayLE out;
    LASwriterLAS writer;
    writer.set_delete_stream(false);
    ASSERT_TRUE(writer.open(&out, &header));
    LASpoint point;
    ASSERT_TRUE(point.init(&header, 1, 28, &header));
    for (uint32_t i = 0; i < 4; i++) ASSERT_TRUE(writer.write_point(&point));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(writer.close(), 375 + 4 * 28);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "WARNING: written 4 points but expected 10 points\n");
    std::vector<uint8_t> bytes(out.get_data(), out.get_data() + out.get_size());
    EXPECT_EQ(peek<uint32_t>(bytes, 107), 4u);
    EXPECT_EQ(peek<uint64_t>(bytes, 247), 4u);
  }
  {
    ByteStreamOutPipe out;
    LASwriterLAS writer;
    writer.set_delete_stream(false);
    ASSERT_TRUE(writer.open(&out, &header));
    LASpoint point;
    ASSERT_TRUE(point.init(&header, 1, 28, &header));
    for (uint32_t i = 0; i < 4; i++) ASSERT_TRUE(writer.write_point(&point));
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(writer.update_header(&header));
    EXPECT_EQ(writer.close(), 375 + 4 * 28);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "WARNING: stream not seekable. cannot update header.\n"
              "WARNING: written 4 points but expected 10 points\n"
              "WARNING: stream not seekable. cannot update header from 10 to 4 points.\n");
    std::vector<uint8_t> bytes(out.get_data(), out.get_data() + out.get_size());
    EXPECT_EQ(peek<uint32_t>(bytes, 107), 10u);
  }
}

// The counting sink runs the whole write and reports the size the file
// would have, extended records and count patches included.
TEST(LASwriterLAS, CountingSinkReportsTheFileSize) {
  for (uint32_t announced : {50u, 20u}) {
    LASheader header;
    make_header(header, 4, 7, 7, announced);
    LASwriterLAS sized;
    ASSERT_TRUE(sized.open(&header));
    LASpoint point;
    ASSERT_TRUE(point.init(&header, 7, header.point_data_record_length, &header));
    for (uint32_t i = 0; i < 50; i++) ASSERT_TRUE(sized.write_point(&point));
    ::testing::internal::CaptureStderr();
    const int64_t size = sized.close();
    ::testing::internal::GetCapturedStderr();
    header.number_of_point_records = 0;
    header.extended_number_of_point_records = 50;
    EXPECT_EQ(size, static_cast<int64_t>(write_file(header, 50).size())) << announced;
  }
}

// Messages of the outputs the writer refuses.
TEST(LASwriterLAS, RefusedOutputs) {
  struct Case {
    const char* name;
    uint8_t minor;
    uint8_t format;
    uint32_t compressor;
    int32_t chunk_size;
    const char* message;
  } cases[] = {
      {"LAS 1.4 point types need the layered compressor", 4, 6, 2, 50000,
       "ERROR: point type 6 requires using \"native LAS 1.4 extension\" of Qopack\n"},
      {"adaptive chunking of legacy points", 2, 1, 2, 0,
       "ERROR: adaptive chunking is depricated for point type 1.\n       only available for new LAS 1.4 point types 6 "
       "or higher.\n"},
      {"unknown point format", 2, 11, 0, 50000, "ERROR: unknown point type 11 with point size 0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LASheader header;
    make_header(header, c.minor, c.format, 0, 1, false);
    LASwriterLAS writer;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(writer.open(new ByteStreamOutNil(), &header, c.compressor, 0, c.chunk_size));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.message);
  }
  LASwriterLAS writer;
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(writer.open(static_cast<ByteStreamOut*>(nullptr), nullptr));
  EXPECT_FALSE(writer.open(new ByteStreamOutNil(), nullptr));
  EXPECT_FALSE(writer.open("/nonexistent-folder/x.las", nullptr));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "ERROR: ByteStreamOut pointer is zero\n"
            "ERROR: LASheader pointer is zero\n"
            "ERROR: cannot open file '/nonexistent-folder/x.las' for write\n");
}

// A version beyond 1.4 is written as 1.4, with a header of the LAS 1.4 size
// whatever the given header said, so that the file reads back.
TEST(LASwriterLAS, UnknownMinorVersionIsWrittenAsLas14) {
  LASheader header;
  make_header(header, 2, 1, 0, 5);
  header.version_minor = 5;
  ::testing::internal::CaptureStderr();
  const std::vector<uint8_t> bytes = write_file(header, 5);
  const std::string messages = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find("WARNING: header->version_minor is 5. writing 4 instead.\n"), std::string::npos) << messages;
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(bytes[25], 4);
  EXPECT_EQ(peek<uint16_t>(bytes, 94), 375 + 3);
  LASreaderLAS reader;
  ASSERT_TRUE(open_memory(reader, bytes));
  EXPECT_EQ(reader.header.version_minor, 4);
  EXPECT_EQ(reader.header.extended_number_of_point_records, 5u);
  header.version_minor = 2;
  expect_points(reader, header, 5);
}

// A point bound to another item list would be read beyond its fields.
TEST(LASwriterLAS, PointWithOtherItemsIsRefused) {
  LASheader header;
  make_header(header, 2, 3, 0, 1, false);
  LASwriterLAS writer;
  ASSERT_TRUE(writer.open(&header));
  LASpoint other;
  ASSERT_TRUE(other.init(&header, 1, 28, &header));
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(writer.write_point(&other));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "ERROR: point items do not match the items of the file being written\n");
  LASpoint same;
  ASSERT_TRUE(same.init(&header, 3, 34, &header));
  EXPECT_TRUE(writer.write_point(&same));
  ::testing::internal::CaptureStderr();
  writer.close();
  ::testing::internal::GetCapturedStderr();
}

// The extra-bytes descriptors can be rewritten in place once the points
// showed their ranges.
TEST(LASwriterLAS, UpdateHeaderRewritesTheExtraBytesDescriptors) {
  LASheader header;
  make_header(header, 4, 6, 7, 2);
  ByteStreamOutArrayLE out;
  LASwriterLAS writer;
  writer.set_delete_stream(false);
  ASSERT_TRUE(writer.open(&out, &header));
  LASpoint point;
  ASSERT_TRUE(point.init(&header, 6, header.point_data_record_length, &header));
  ASSERT_TRUE(writer.write_point(&point));
  ASSERT_TRUE(writer.write_point(&point));
  header.attributes[0].set_min(-3.0);
  header.attributes[0].set_max(12.0);
  ASSERT_TRUE(header.update_extra_bytes_vlr(true));
  ASSERT_TRUE(writer.update_header(&header, false, true));
  ASSERT_GT(writer.close(), 0);
  LASreaderLAS reader;
  ASSERT_TRUE(open_memory(reader, std::vector<uint8_t>(out.get_data(), out.get_data() + out.get_size())));
  ASSERT_EQ(reader.header.number_attributes, 2);
  EXPECT_TRUE(reader.header.attributes[0].has_min());
  EXPECT_EQ(reader.header.attributes[0].get_value_as_float(reader.header.attributes[0].max[0]), 12.0);
}

TEST(LASwriterLAS, NamedFileRoundTrip) {
  const std::string name = ::testing::TempDir() + "laswriter_las_named.las";
  LASheader header;
  make_header(header, 3, 5, 2, 100);
  {
    LASwriterLAS writer;
    ASSERT_TRUE(writer.open(name.c_str(), &header));
    LASpoint point;
    ASSERT_TRUE(point.init(&header, 5, header.point_data_record_length, &header));
    for (uint32_t i = 0; i < 100; i++) {
      fill_point(point, i);
      ASSERT_TRUE(writer.write_point(&point));
    }
    EXPECT_EQ(writer.close(), header.offset_to_point_data + 100 * header.point_data_record_length);
  }
  LASreaderLAS reader;
  ASSERT_TRUE(reader.open(name.c_str()));
  expect_same_header(header, reader.header);
  expect_points(reader, header, 100);
  reader.close();
  remove(name.c_str());
}

// After a failed open the writer adds nothing to the stream, and a writer
// opened again finishes the file it was writing first.
TEST(LASwriterLAS, FailedOpenWritesNothingMoreAndReopenFinishesTheFirstFile) {
  LASheader broken;
  make_header(broken, 4, 6, 0, 1);
  free(broken.vlrs[2].data);
  broken.vlrs[2].data = nullptr;
  {
    ByteStreamOutArrayLE out;
    LASwriterLAS writer;
    writer.set_delete_stream(false);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(writer.open(&out, &broken));
    const int64_t size = out.get_size();
    EXPECT_EQ(writer.close(), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "ERROR: there should be 300 bytes of data in header->vlrs[2].data\n");
    EXPECT_EQ(out.get_size(), size);
  }

  LASheader header;
  make_header(header, 2, 1, 0, 5, false);
  ByteStreamOutArrayLE first;
  ByteStreamOutArrayLE second;
  LASwriterLAS writer;
  writer.set_delete_stream(false);
  ASSERT_TRUE(writer.open(&first, &header));
  LASpoint point;
  ASSERT_TRUE(point.init(&header, 1, 28, &header));
  for (int i = 0; i < 3; i++) ASSERT_TRUE(writer.write_point(&point));
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(writer.open(&second, &header));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "WARNING: written 3 points but expected 5 points\n");
  EXPECT_EQ(first.get_size(), 227 + 3 * 28);
  EXPECT_EQ(peek<uint32_t>(std::vector<uint8_t>(first.get_data(), first.get_data() + first.get_size()), 107), 3u);
  for (int i = 0; i < 5; i++) ASSERT_TRUE(writer.write_point(&point));
  EXPECT_EQ(writer.close(), 227 + 5 * 28);
}

}  // namespace

// Waveform data stored inside the file are never dropped without a word: a
// LAS 1.4 header keeps them as its waveform extended record, written again
// with the start of the waveform data pointing at it; a LAS 1.3 header, whose
// waveform data the header does not hold, is refused.
TEST(LASwriterLAS, InternalWaveformDataAreKeptOrRefused) {
  const uint32_t count = 20;
  for (bool compressed : {false, true}) {
    SCOPED_TRACE(compressed ? "compressed" : "raw");
    LASheader header;
    make_header(header, 4, 4, 0, count, false);
    header.global_encoding |= 2;  // waveform data packets internal
    header.start_of_waveform_data_packet_record = 123456;  // where the source file had them
    ASSERT_TRUE(header.add_evlr("LASF_Spec", 65535, 160, lasfile::payload(160, 3), "WF Data"));
    ByteStreamOutArrayLE out;
    LASwriterLAS writer;
    writer.set_delete_stream(false);
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(writer.open(&out, &header, compressed ? 2 : 0));
    LASpoint point;
    ASSERT_TRUE(point.init(&header, 4, header.point_data_record_length, &header));
    for (uint32_t i = 0; i < count; i++) {
      fill_point(point, i);
      ASSERT_TRUE(writer.write_point(&point));
    }
    ASSERT_GT(writer.close(), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    const std::vector<uint8_t> bytes(out.get_data(), out.get_data() + out.get_size());
    const uint64_t evlr_start = peek<uint64_t>(bytes, 235);
    EXPECT_EQ(peek<uint64_t>(bytes, 227), evlr_start);

    LASreaderLAS reader;
    ASSERT_TRUE(open_memory(reader, bytes));
    EXPECT_EQ(reader.header.start_of_waveform_data_packet_record, evlr_start);
    const LASevlr* waveforms = reader.header.get_evlr("LASF_Spec", 65535);
    ASSERT_NE(waveforms, nullptr);
    ASSERT_EQ(waveforms->record_length_after_header, 160u);
    EXPECT_EQ(lasfile::bytes_of(waveforms->data, 160), lasfile::bytes_of(header.evlrs[0].data, 160));
    expect_points(reader, header, count);
  }

  LASheader las13;
  make_header(las13, 3, 4, 0, count, false);
  las13.global_encoding |= 2;
  las13.start_of_waveform_data_packet_record = 62728;
  for (uint32_t compressor : {0u, 2u}) {
    ByteStreamOutArrayLE out;
    LASwriterLAS writer;
    writer.set_delete_stream(false);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(writer.open(&out, &las13, compressor));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "ERROR: cannot keep the waveform data stored inside the file "
              "(header->start_of_waveform_data_packet_record is 62728)\n");
    EXPECT_EQ(out.get_size(), 0);
  }
  // Without the internal flag the field only points elsewhere: written as 0.
  las13.global_encoding &= ~2;
  ByteStreamOutArrayLE out;
  LASwriterLAS writer;
  writer.set_delete_stream(false);
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(writer.open(&out, &las13));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "WARNING: header->start_of_waveform_data_packet_record is 62728. writing 0 instead.\n");
  ::testing::internal::CaptureStderr();
  writer.close();
  ::testing::internal::GetCapturedStderr();

  // The real LAS 1.3 file with 160 bytes of waveform data after its points.
  const std::string path = std::string(TIECHECK_REAL_DATA_DIR) + "/edge_cases/simple1_3.las";
  LASreaderLAS real;
  if (!real.open(path.c_str())) GTEST_SKIP() << "no " << path;
  LASwriterLAS nil;
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(nil.open(&real.header, 2));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "ERROR: cannot keep the waveform data stored inside the file "
            "(header->start_of_waveform_data_packet_record is 62728)\n");
}

// A pipe cannot seek and may not even tell its position: the writer counts
// the bytes itself, so the compressed file's chunk table is found.
TEST(LASwriterLAS, PipeThatCannotTellItsPosition) {
  class ByteStreamOutBlindPipe : public ByteStreamOutArrayLE {
   public:
    bool is_seekable() const override { return false; }
    int64_t tell() const override { return -1; }
    bool seek(int64_t) override { return false; }
    bool seek_end() override { return false; }
  };
  const uint32_t count = 3000;
  for (uint32_t compressor : {0u, 2u}) {
    SCOPED_TRACE(compressor);
    LASheader header;
    make_header(header, 2, 3, 0, count);
    ByteStreamOutBlindPipe pipe;
    LASwriterLAS writer;
    writer.set_delete_stream(false);
    ASSERT_TRUE(writer.open(&pipe, &header, compressor, 2, 1000));
    LASpoint point;
    ASSERT_TRUE(point.init(&header, 3, header.point_data_record_length, &header));
    for (uint32_t i = 0; i < count; i++) {
      fill_point(point, i);
      ASSERT_TRUE(writer.write_point(&point));
    }
    const int64_t written = writer.close();
    EXPECT_EQ(written, pipe.get_size());
    const std::vector<uint8_t> bytes(pipe.get_data(), pipe.get_data() + pipe.get_size());
    LASreaderLAS reader;
    ASSERT_TRUE(open_memory(reader, bytes));
    ASSERT_TRUE(reader.seek(2500));
    LASpoint expected;
    ASSERT_TRUE(expected.init(&header, 3, header.point_data_record_length, &header));
    ASSERT_TRUE(reader.read_point());
    fill_point(expected, 2500);
    expect_same_point(expected, reader.point, 2500);
  }
}
