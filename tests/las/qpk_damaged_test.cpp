// Damaged compressed LAS files: each damage made to a file our writer wrote,
// read through LASreaderLAS, gives its warning or error and the points that
// can still be read; nothing crashes, hangs or allocates what the file
// cannot hold.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "compression/arithdecoder.h"
#include "compression/integercoder.h"
#include "compression/qopack.h"
#include "las/bytestreamin_array.h"
#include "las/lasreader_las.h"
#include "qpk_fixture.h"

namespace {

template <typename T>
std::vector<uint8_t> le(T v) {
  std::vector<uint8_t> b(sizeof(T));
  memcpy(b.data(), &v, sizeof(T));
  return b;
}

template <typename T>
T at(const std::vector<uint8_t>& bytes, size_t offset) {
  T v;
  memcpy(&v, &bytes[offset], sizeof(T));
  return v;
}

// Where the parts of the compressed file lie.
struct Layout {
  size_t descriptor = 0;  // payload of the compression record
  size_t points = 0;      // the chunk table pointer
  size_t table = 0;
  std::vector<size_t> chunks;
};

Layout layout_of(const std::vector<uint8_t>& bytes) {
  Layout l;
  l.descriptor = at<uint16_t>(bytes, 94) + 54;
  l.points = at<uint32_t>(bytes, 96);
  l.table = static_cast<size_t>(at<int64_t>(bytes, l.points));
  ByteStreamInArrayLE in(bytes.data(), static_cast<int64_t>(bytes.size()));
  EXPECT_TRUE(in.seek(static_cast<int64_t>(l.table + 8)));
  ArithDecoder dec;
  EXPECT_TRUE(dec.init(&in));
  IntegerCoder ic(&dec, 32, 2, 8, 0);
  ic.init_decoding();
  size_t start = l.points + 8;
  int32_t length = 0;
  for (uint32_t i = 0; i < at<uint32_t>(bytes, l.table + 4); i++) {
    l.chunks.push_back(start);
    length = ic.decompress(length, 1);
    start += static_cast<size_t>(length);
  }
  EXPECT_EQ(start, l.table);
  return l;
}

struct Patch {
  size_t offset;
  std::vector<uint8_t> bytes;
};

// Bytes scrambled every 7th byte over [from, to).
std::vector<Patch> scramble(const std::vector<uint8_t>& bytes, size_t from, size_t to) {
  std::vector<Patch> patches;
  for (size_t i = from; i < to; i += 7) patches.push_back({i, {static_cast<uint8_t>(bytes[i] ^ 0x5A)}});
  return patches;
}

// 2500 survey points of type 1 in chunks of 1000; each damage with the points
// still delivered (-1: the open fails) and every line printed.
TEST(QpkDamaged, EachDamageGivesItsMessage) {
  const uint32_t count = 2500;
  LASheader h;
  qpk::make_header(h, 1, 0, count);
  const qpk::Records r = qpk::make_records(h, count, true, 7);
  const std::vector<uint8_t> file = qpk::write_qpk(h, r, Qopack::COMPRESSOR_POINTWISE_CHUNKED, 2, 1000);
  ASSERT_FALSE(file.empty());
  const Layout l = layout_of(file);
  ASSERT_EQ(l.chunks.size(), 3u);
  const size_t size = file.size();
  const size_t item0 = l.descriptor + 34;  // type, size, version of the first item
  const int64_t own = static_cast<int64_t>(l.points);  // a pointer at itself

  struct Case {
    const char* name;
    std::vector<Patch> patches;
    int64_t truncate_to;  // -1: keep the length
    int64_t points;       // -1: the open fails
    std::string messages;
  };
  const Case cases[] = {
      {"truncated inside a chunk", {}, static_cast<int64_t>(l.chunks[1] + 200), 1023,
       "WARNING: 'chunk table and " + std::to_string(l.table - l.chunks[1] - 200) +
           " bytes are missing. QPK file truncated during copy or transfer?' for 'stream'\n"
           "ERROR: 'end-of-file during chunk with index 1' after 1023 of 2500 points for 'stream'\n"},
      {"truncated inside the chunk table", {}, static_cast<int64_t>(l.table + 10), count,
       "WARNING: 'corrupt chunk table'\n"},
      {"truncated before the chunk table", {}, static_cast<int64_t>(l.table), count,
       "WARNING: 'chunk table is missing. improper use of QPK compressor?'\n"},
      {"truncated at the point data", {}, static_cast<int64_t>(l.points), 0,
       "ERROR: 'end-of-file during chunk with index 0' after 0 of 2500 points for 'stream'\n"},
      {"missing compression record", {{l.descriptor - 52, {'x'}}}, -1, -1,
       "ERROR: this file was compressed with an experimental version of qopack\n"},
      // Decoding runs into an impossible value before the chunk ends.
      {"corrupt bytes in a chunk", scramble(file, l.chunks[1] + 40, l.chunks[2] - 10), -1, 1136,
       "ERROR: 'chunk with index 1 of 4 is corrupt' after 1136 of 2500 points for 'stream'\n"},
      // The entries still look like lengths: the first chunk ends elsewhere.
      {"scrambled chunk table", scramble(file, l.table + 8, size), -1, 1000,
       "ERROR: 'chunk with index 0 of 4 is corrupt' after 1000 of 2500 points for 'stream'\n"},
      {"chunk table pointer zeroed", {{l.points, le<int64_t>(0)}}, -1, count, "WARNING: 'corrupt chunk table'\n"},
      {"chunk table pointer beyond the file", {{l.points, le<int64_t>(int64_t(1) << 40)}}, -1, count,
       "WARNING: 'chunk table and " + std::to_string((int64_t(1) << 40) - int64_t(size)) +
           " bytes are missing. QPK file truncated during copy or transfer?'\n"},
      {"chunk table version 1", {{l.table, le<uint32_t>(1)}}, -1, count, "WARNING: 'corrupt chunk table'\n"},
      {"chunk table of four billion chunks", {{l.table + 4, le<uint32_t>(0xFFFFFFFF)}}, -1, count,
       "WARNING: 'corrupt chunk table'\n"},
      {"interrupted writer", {{l.points, le<int64_t>(own)}}, static_cast<int64_t>(l.table), count,
       "WARNING: 'compressor was interrupted before writing chunk table of QPK file'\n"},
      {"interrupted writer of chunks of varying size", {{l.points, le<int64_t>(own)}, {l.descriptor + 12, le<uint32_t>(0)}},
       static_cast<int64_t>(l.table), 0,
       "ERROR: 'compressor was interrupted before writing adaptive chunk table of QPK file' after 0 of 2500 points "
       "for 'stream'\n"},
      // The last chunk ends where the chunk table begins: no point is decoded
      // from the table's bytes.
      {"more points announced than stored", {{107, le<uint32_t>(3000)}}, -1, count,
       "ERROR: 'end-of-file during chunk with index 2' after 2500 of 3000 points for 'stream'\n"},
      {"fewer points announced than stored", {{107, le<uint32_t>(1500)}}, -1, 1500,
       "ERROR: 'chunk with index 1 of 4 is corrupt' when reaching end of encoding\n"},
      {"codec version the reader does not know", {{item0 + 4, le<uint16_t>(3)}}, -1, -1,
       "ERROR: POINT10 has version > 2 (Qopack v3.4r3)\n"},
      {"compressed items without a codec version", {{item0 + 4, le<uint16_t>(0)}}, -1, -1,
       "ERROR: point type 1 of size 28 not supported (with Qopack)\n"},
      // Legacy items have no layers.
      {"layered compressor", {{l.descriptor, le<uint16_t>(3)}}, -1, -1,
       "ERROR: point type 1 of size 28 not supported (with Qopack)\n"},
      {"another coder", {{l.descriptor + 2, le<uint16_t>(1)}}, -1, -1,
       "ERROR: coder 1 not supported (Qopack v3.4r3)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = file;
    for (const Patch& p : c.patches) {
      ASSERT_LE(p.offset + p.bytes.size(), bytes.size());
      memcpy(bytes.data() + p.offset, p.bytes.data(), p.bytes.size());
    }
    if (c.truncate_to >= 0) bytes.resize(static_cast<size_t>(c.truncate_to));
    LASreaderLAS reader;
    ::testing::internal::CaptureStderr();
    const bool opened = reader.open(new ByteStreamInArrayLE(bytes.data(), static_cast<int64_t>(bytes.size())));
    int64_t points = 0;
    std::vector<uint8_t> record(r.size);
    bool same = true;
    while (reader.read_point()) {
      reader.point.copy_to(record.data());
      // Points before the damage are the points written.
      if (c.name != std::string("corrupt bytes in a chunk") && points < static_cast<int64_t>(r.count())) {
        same = same && memcmp(record.data(), r.at(static_cast<size_t>(points)), r.size) == 0;
      }
      points++;
    }
    const std::string messages = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(opened, c.points >= 0);
    EXPECT_EQ(points, std::max<int64_t>(c.points, 0));
    EXPECT_TRUE(same);
    EXPECT_EQ(messages, c.messages);
  }
}

}  // namespace
