// Damaged compressed LAS 1.4 files (layered chunks): each damage made to a
// file our writer wrote, read through LASreaderLAS, gives its warning or
// error and the points that can still be read; nothing crashes, hangs or
// allocates what the file cannot hold.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "compression/arithdecoder.h"
#include "compression/integercoder.h"
#include "compression/qopack.h"
#include "las/bytestreamin_array.h"
#include "las/lasreader_las.h"
#include "qpk14_fixture.h"

namespace {

template <typename T>
std::vector<uint8_t> le(T v) {
  std::vector<uint8_t> b(sizeof(T));
  memcpy(b.data(), &v, sizeof(T));
  return b;
}

using qpk14::get;

// Where the parts of a layered file lie.
struct Layout {
  size_t descriptor = 0;  // payload of the compression record
  size_t points = 0;      // the chunk table pointer
  size_t table = 0;
  std::vector<size_t> chunks;
};

Layout layout_of(const std::vector<uint8_t>& bytes) {
  Layout l;
  l.descriptor = get<uint16_t>(&bytes[94]) + 54;
  l.points = get<uint32_t>(&bytes[96]);
  l.table = static_cast<size_t>(get<int64_t>(&bytes[l.points]));
  ByteStreamInArrayLE in(bytes.data(), static_cast<int64_t>(bytes.size()));
  EXPECT_TRUE(in.seek(static_cast<int64_t>(l.table + 8)));
  ArithDecoder dec;
  EXPECT_TRUE(dec.init(&in));
  IntegerCoder ic(&dec, 32, 2, 8, 0);
  ic.init_decoding();
  size_t start = l.points + 8;
  int32_t length = 0;
  for (uint32_t i = 0; i < get<uint32_t>(&bytes[l.table + 4]); i++) {
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

// 2500 survey points of type 8 from two alternating scanner channels in
// chunks of 1000; each damage with the points still delivered (-1: the open
// fails) and every line printed.
TEST(Qpk14Damaged, EachDamageGivesItsMessage) {
  const uint32_t count = 2500;
  LASheader h;
  qpk14::make_header(h, 8, 0, count);
  const qpk14::Records r = qpk14::make_records(h, count, qpk14::Channels::alternating, 7);
  const std::vector<uint8_t> file = qpk14::write_qpk(h, r, 1000);
  ASSERT_FALSE(file.empty());
  const Layout l = layout_of(file);
  ASSERT_EQ(l.chunks.size(), 3u);
  const size_t size = file.size();
  const size_t item0 = l.descriptor + 34;  // type, size, version of the first item
  const size_t item1 = item0 + 6;
  // In chunk 1: the stored point count, the nine POINT14 layer sizes (the
  // first is channel, returns and XY; the second Z), then RGB and NIR.
  const size_t count1 = l.chunks[1] + r.size;
  const size_t sizes1 = count1 + 4;
  const size_t layers1 = sizes1 + 11 * 4;
  const uint32_t xy_size = get<uint32_t>(&file[sizes1]);
  const uint32_t z_size = get<uint32_t>(&file[sizes1 + 4]);
  ASSERT_GT(z_size, 8u);
  const int64_t own = static_cast<int64_t>(l.points);  // a pointer at itself
  const std::string corrupt1 = "ERROR: 'chunk with index 1 of 4 is corrupt' after 1000 of 2500 points for 'stream'\n";

  struct Case {
    const char* name;
    std::vector<Patch> patches;
    int64_t truncate_to;  // -1: keep the length
    int64_t points;       // -1: the open fails
    std::string messages;
  };
  const Case cases[] = {
      // The layers of a chunk are loaded when it begins: none of its points
      // is delivered.
      {"truncated inside a chunk",
       {},
       static_cast<int64_t>(l.chunks[1] + 200),
       1000,
       "WARNING: 'chunk table and " + std::to_string(l.table - l.chunks[1] - 200) +
           " bytes are missing. QPK file truncated during copy or transfer?' for 'stream'\n"
           "ERROR: 'end-of-file during chunk with index 1' after 1000 of 2500 points for 'stream'\n"},
      {"truncated inside the chunk table",
       {},
       static_cast<int64_t>(l.table + 10),
       count,
       "WARNING: 'corrupt chunk table'\n"},
      {"truncated before the chunk table",
       {},
       static_cast<int64_t>(l.table),
       count,
       "WARNING: 'chunk table is missing. improper use of QPK compressor?'\n"},
      {"truncated at the point data",
       {},
       static_cast<int64_t>(l.points),
       0,
       "ERROR: 'end-of-file during chunk with index 0' after 0 of 2500 points for 'stream'\n"},
      // Layer sizes that do not add up to the chunk are found before any
      // layer is loaded; the huge one would otherwise ask for 4 GB.
      {"layer size too large", {{sizes1 + 4, le<uint32_t>(z_size + 1)}}, -1, 1000, corrupt1},
      {"layer size too small", {{sizes1 + 4, le<uint32_t>(z_size - 1)}}, -1, 1000, corrupt1},
      {"layer size of four billion", {{sizes1, le<uint32_t>(0xFFFFFFF0)}}, -1, 1000, corrupt1},
      // The arithmetic codes carry no check: the decoder finds an
      // impossible value, or runs out of a layer's bytes, some points in.
      {"two layer sizes swapped",
       {{sizes1, le<uint32_t>(z_size)}, {sizes1 + 4, le<uint32_t>(xy_size)}},
       -1,
       1559,
       "ERROR: 'chunk with index 1 of 4 is corrupt' after 1559 of 2500 points for 'stream'\n"},
      {"corrupt layer bytes", scramble(file, layers1 + 4, layers1 + xy_size - 4), -1, 1046,
       "ERROR: 'chunk with index 1 of 4 is corrupt' after 1046 of 2500 points for 'stream'\n"},
      {"stored point count 0", {{count1, le<uint32_t>(0)}}, -1, 1000, corrupt1},
      {"stored point count beyond the chunk size", {{count1, le<uint32_t>(1001)}}, -1, 1000, corrupt1},
      {"stored point count short of the chunk size",
       {{count1, le<uint32_t>(900)}},
       -1,
       1900,
       "ERROR: 'chunk with index 1 of 4 is corrupt' after 1900 of 2500 points for 'stream'\n"},
      // The entries still decode, but the first chunk's length is wrong: its
      // layers do not end where the table says.
      {"scrambled chunk table", scramble(file, l.table + 8, size), -1, 0,
       "WARNING: 'corrupt chunk table' for 'stream'\n"
       "ERROR: 'chunk with index 0 of 2 is corrupt' after 0 of 2500 points for 'stream'\n"},
      {"chunk table pointer beyond the file",
       {{l.points, le<int64_t>(int64_t(1) << 40)}},
       -1,
       count,
       "WARNING: 'chunk table and " + std::to_string((int64_t(1) << 40) - int64_t(size)) +
           " bytes are missing. QPK file truncated during copy or transfer?'\n"},
      {"interrupted writer",
       {{l.points, le<int64_t>(own)}},
       static_cast<int64_t>(l.table),
       count,
       "WARNING: 'compressor was interrupted before writing chunk table of QPK file'\n"},
      {"interrupted writer of chunks of varying size",
       {{l.points, le<int64_t>(own)}, {l.descriptor + 12, le<uint32_t>(0)}},
       static_cast<int64_t>(l.table),
       0,
       "ERROR: 'compressor was interrupted before writing adaptive chunk table of QPK file' after 0 of 2500 points "
       "for 'stream'\n"},
      // The count of a LAS 1.4 file is the 64-bit one.
      {"more points announced than stored",
       {{247, le<uint64_t>(3000)}},
       -1,
       count,
       "ERROR: 'end-of-file during chunk with index 2' after 2500 of 3000 points for 'stream'\n"},
      {"fewer points announced than stored",
       {{247, le<uint64_t>(1500)}},
       -1,
       1500,
       "ERROR: 'chunk with index 1 of 4 is corrupt' when reaching end of encoding\n"},
      {"codec version 1",
       {{item0 + 4, le<uint16_t>(1)}},
       -1,
       -1,
       "ERROR: POINT14 has version != 0 and != 2 and != 3 and != 4 (Qopack v3.4r3)\n"},
      {"compressed items without a codec version",
       {{item0 + 4, le<uint16_t>(0)}},
       -1,
       -1,
       "ERROR: point type 8 of size 38 not supported (with Qopack)\n"},
      {"codec version 2, read as 3", {{item0 + 4, le<uint16_t>(2)}, {item1 + 4, le<uint16_t>(2)}}, -1, count, ""},
      {"legacy compressor",
       {{l.descriptor, le<uint16_t>(2)}},
       -1,
       -1,
       "ERROR: point type 8 of size 38 not supported (with Qopack)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = file;
    for (const Patch& p : c.patches) {
      ASSERT_LE(p.offset + p.bytes.size(), bytes.size());
      memcpy(bytes.data() + p.offset, p.bytes.data(), p.bytes.size());
    }
    if (c.truncate_to >= 0) bytes.resize(static_cast<size_t>(c.truncate_to));
    std::string messages;
    const qpk14::Records got = qpk14::read_all(bytes, 0xFFFFFFFF, &messages);
    EXPECT_EQ(got.size != 0, c.points >= 0);
    EXPECT_EQ(static_cast<int64_t>(got.count()), std::max<int64_t>(c.points, 0));
    // The points delivered before the damage are the points written.
    const bool garbled =
        std::string(c.name) == "corrupt layer bytes" || std::string(c.name) == "two layer sizes swapped";
    const size_t intact = garbled ? 1000 : got.count();
    for (size_t i = 0; i < std::min(intact, r.count()); i++) {
      ASSERT_TRUE(qpk14::same_record(got.at(i), r.at(i), r.size)) << i;
    }
    EXPECT_EQ(messages, c.messages);
  }
}

}  // namespace
