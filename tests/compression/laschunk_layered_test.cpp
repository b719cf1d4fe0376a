// Layered chunks (compressor 3, LAS 1.4 items) through LASchunkWriter and
// LASchunkReader: the layout of a chunk, codec versions 2 to 4, the items a
// layered chunk refuses, streams that cannot seek, seeking, and the point
// count each chunk stores.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "compression/laschunkreader.h"
#include "compression/laschunkwriter.h"
#include "compression/qopack.h"
#include "las/bytestreamin_array.h"
#include "las/bytestreamout_array.h"
#include "las/laspoint.h"

namespace {

class ByteStreamInPipe : public ByteStreamInArrayLE {
 public:
  ByteStreamInPipe(const uint8_t* data, int64_t size) : ByteStreamInArrayLE(data, size) {}
  bool is_seekable() const override { return false; }
  bool seek(int64_t) override { return false; }
  bool seek_end(int64_t) override { return false; }
  bool skip_bytes(uint32_t) override { return false; }
};

class ByteStreamOutPipe : public ByteStreamOutArrayLE {
 public:
  bool is_seekable() const override { return false; }
  bool seek(int64_t) override { return false; }
  bool seek_end() override { return false; }
};

// POINT14, RGBNIR14, WAVEPACKET14 and 3 extra bytes: the items of point type
// 10 with every kind of layered codec.
const LASitem kItems[] = {
    {LASitem::POINT14, 30, 3}, {LASitem::RGBNIR14, 8, 3}, {LASitem::WAVEPACKET14, 29, 3}, {LASitem::BYTE14, 3, 3}};
constexpr uint16_t kNumItems = 4;
constexpr uint32_t kRecordBytes = 30 + 8 + 29 + 3;

// Records of a scanner whose channels 0 to 3 switch in short runs, with
// coordinates, times and the other fields moving slowly.
std::vector<std::vector<uint8_t>> scan(uint32_t count, uint32_t seed = 1) {
  std::mt19937 rng(seed);
  std::vector<std::vector<uint8_t>> records(count, std::vector<uint8_t>(kRecordBytes));
  uint32_t channel = 0;
  for (uint32_t i = 0; i < count; i++) {
    if (rng() % 8 == 0) channel = rng() % 4;
    uint8_t* r = records[i].data();
    const int32_t x = static_cast<int32_t>(i * 13 + rng() % 50);
    const int32_t y = static_cast<int32_t>((i / 400) * 70 + channel * 9);
    const int32_t z = static_cast<int32_t>(10000 + rng() % 300);
    memcpy(r, &x, 4);
    memcpy(r + 4, &y, 4);
    memcpy(r + 8, &z, 4);
    r[12] = static_cast<uint8_t>(rng());
    r[14] = static_cast<uint8_t>(1 + rng() % 3) | 0x30;
    r[15] = static_cast<uint8_t>(channel << 4 | (i % 50 == 0 ? 8 : 0));
    r[16] = static_cast<uint8_t>(i % 97 == 0 ? 40 : 2);
    const double t = 1000.0 + i * 1e-5 + channel;
    memcpy(r + 22, &t, 8);
    for (uint32_t b = 30; b < kRecordBytes; b++) r[b] = static_cast<uint8_t>((i / 16) * b);
  }
  return records;
}

struct Coded {
  Qopack qopack;
  std::vector<uint8_t> bytes;
};

// The records through a chunk writer with the items at codec `version`;
// chunk() after each count in `chunk_ends`.
Coded encode(const std::vector<std::vector<uint8_t>>& records, uint16_t version, uint32_t chunk_size,
             ByteStreamOutArrayLE& out, const std::vector<uint32_t>& chunk_ends = {}) {
  Coded c;
  EXPECT_TRUE(c.qopack.setup(kNumItems, kItems, Qopack::COMPRESSOR_LAYERED_CHUNKED));
  for (uint16_t i = 0; i < kNumItems; i++) c.qopack.items[i].version = version;
  c.qopack.chunk_size = chunk_size;
  LASquantizer quantizer;
  LASpoint p;
  EXPECT_TRUE(p.init(&quantizer, kNumItems, c.qopack.items));
  LASchunkWriter writer;
  EXPECT_TRUE(writer.setup(c.qopack.num_items, c.qopack.items, &c.qopack));
  EXPECT_TRUE(writer.init(&out));
  size_t next_end = 0;
  for (uint32_t i = 0; i < records.size(); i++) {
    p.copy_from(records[i].data());
    EXPECT_TRUE(writer.write(p.point));
    if (next_end < chunk_ends.size() && chunk_ends[next_end] == i + 1) {
      EXPECT_TRUE(writer.chunk());
      next_end++;
    }
  }
  EXPECT_TRUE(writer.done());
  c.bytes.assign(out.get_data(), out.get_data() + out.get_size());
  return c;
}

Coded encode(const std::vector<std::vector<uint8_t>>& records, uint16_t version, uint32_t chunk_size,
             const std::vector<uint32_t>& chunk_ends = {}) {
  ByteStreamOutArrayLE out;
  return encode(records, version, chunk_size, out, chunk_ends);
}

struct Decoded {
  std::vector<std::vector<uint8_t>> records;
  std::string error;
  bool end_ok = false;
};

Decoded decode(const Qopack& q, ByteStreamIn& in, uint32_t count) {
  Decoded d;
  LASquantizer quantizer;
  LASpoint p;
  EXPECT_TRUE(p.init(&quantizer, q.num_items, q.items));
  LASchunkReader reader;
  EXPECT_TRUE(reader.setup(q.num_items, q.items, &q));
  EXPECT_TRUE(reader.init(&in));
  std::vector<uint8_t> record(kRecordBytes);
  while (d.records.size() < count && reader.read(p.point)) {
    p.copy_to(record.data());
    d.records.push_back(record);
  }
  if (d.records.size() == count) d.end_ok = reader.check_end();
  if (reader.get_last_error()) d.error = reader.get_last_error();
  return d;
}

Decoded decode(const Coded& c, uint32_t count) {
  ByteStreamInArrayLE in(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
  return decode(c.qopack, in, count);
}

uint32_t u32_at(const std::vector<uint8_t>& bytes, size_t at) {
  uint32_t v;
  memcpy(&v, &bytes[at], 4);
  return v;
}

// A chunk: the raw first point, the point count, the 9 + 2 + 1 + 3 layer
// sizes, then exactly that many layer bytes up to the next chunk.
TEST(LASchunkLayered, ChunkLayout) {
  const auto records = scan(2500);
  const Coded c = encode(records, 3, 1000);
  int64_t table;
  memcpy(&table, c.bytes.data(), 8);
  size_t at = 8;
  for (uint32_t k = 0; k < 3; k++) {
    SCOPED_TRACE(k);
    EXPECT_EQ(0, memcmp(&c.bytes[at], records[k * 1000].data(), 30));
    at += kRecordBytes;
    EXPECT_EQ(u32_at(c.bytes, at), k < 2 ? 1000u : 500u);
    at += 4;
    uint64_t layers = 0;
    for (uint32_t l = 0; l < 15; l++) layers += u32_at(c.bytes, at + 4 * l);
    // Layer 1 of POINT14 (channel, returns, X, Y) is always there.
    EXPECT_GT(u32_at(c.bytes, at), 0u);
    at += 15 * 4 + layers;
  }
  EXPECT_EQ(static_cast<int64_t>(at), table);
  const Decoded d = decode(c, 2500);
  EXPECT_TRUE(d.records == records);
  EXPECT_TRUE(d.end_ok);
  EXPECT_EQ(d.error, "");
}

// The reader takes codec versions 2 (read as 3), 3 and 4, the writer 3 and
// 4; version 4 codes the same records into other bytes (the channel goes to
// every item at every point).
TEST(LASchunkLayered, CodecVersions) {
  const auto records = scan(3000);
  const Coded v3 = encode(records, 3, 1000);
  const Coded v4 = encode(records, 4, 1000);
  EXPECT_NE(v3.bytes, v4.bytes);
  EXPECT_TRUE(decode(v3, 3000).records == records);
  EXPECT_TRUE(decode(v4, 3000).records == records);
  // WAVEPACKET14 has no version 2.
  Coded v2 = v3;
  for (uint16_t i = 0; i < kNumItems; i++) {
    if (v2.qopack.items[i].type != LASitem::WAVEPACKET14) v2.qopack.items[i].version = 2;
  }
  EXPECT_TRUE(decode(v2, 3000).records == records);
}

// A layered chunk holds only items with layered codecs, and a chunk of
// legacy items none: either list is refused by both sides.
TEST(LASchunkLayered, RefusedItemLists) {
  struct Case {
    const char* name;
    uint16_t compressor;
    std::vector<LASitem> items;
    bool reader;
    bool writer;
  } cases[] = {
      {"LAS 1.4 items", 3, {{LASitem::POINT14, 30, 3}, {LASitem::RGB14, 6, 3}}, true, true},
      {"version 2, read only", 3, {{LASitem::POINT14, 30, 2}}, true, false},
      {"uncompressed version", 3, {{LASitem::POINT14, 30, 0}}, false, false},
      {"wave packet version 2", 3, {{LASitem::POINT14, 30, 3}, {LASitem::WAVEPACKET14, 29, 2}}, false, false},
      {"legacy wave packet", 3, {{LASitem::POINT14, 30, 3}, {LASitem::WAVEPACKET13, 29, 1}}, false, false},
      {"legacy extra bytes", 3, {{LASitem::POINT14, 30, 3}, {LASitem::BYTE, 4, 2}}, false, false},
      {"legacy point", 3, {{LASitem::POINT10, 20, 2}}, false, false},
      {"LAS 1.4 point in a legacy chunk", 2, {{LASitem::POINT14, 30, 3}}, false, false},
      {"LAS 1.4 colour in a legacy chunk", 2, {{LASitem::POINT10, 20, 2}, {LASitem::RGB14, 6, 3}}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Qopack q;
    q.compressor = c.compressor;
    q.num_items = static_cast<uint16_t>(c.items.size());
    q.items = new LASitem[c.items.size()];
    std::copy(c.items.begin(), c.items.end(), q.items);
    LASchunkReader reader;
    EXPECT_EQ(reader.setup(q.num_items, q.items, &q), c.reader);
    LASchunkWriter writer;
    EXPECT_EQ(writer.setup(q.num_items, q.items, &q), c.writer);
  }
}

// Written to a pipe and read from one: the chunks follow one another; a
// reader that cannot seek skips the layers it does not need by reading them.
TEST(LASchunkLayered, PipesBothWays) {
  const auto records = scan(2500);
  ByteStreamOutPipe pipe;
  const Coded c = encode(records, 3, 1000, pipe);
  int64_t pointer;
  memcpy(&pointer, c.bytes.data(), 8);
  EXPECT_EQ(pointer, -1);
  EXPECT_TRUE(decode(c, 2500).records == records);
  ByteStreamInPipe in(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
  EXPECT_TRUE(decode(c.qopack, in, 2500).records == records);

  LASquantizer quantizer;
  LASpoint p;
  ASSERT_TRUE(p.init(&quantizer, c.qopack.num_items, c.qopack.items));
  ByteStreamInPipe xyz_in(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
  LASchunkReader xyz(0x1);
  ASSERT_TRUE(xyz.setup(c.qopack.num_items, c.qopack.items, &c.qopack));
  ASSERT_TRUE(xyz.init(&xyz_in));
  for (uint32_t i = 0; i < 2500; i++) {
    ASSERT_TRUE(xyz.read(p.point)) << i;
    ASSERT_EQ(0, memcmp(&p.X, records[i].data(), 12)) << i;
  }
}

// Seeking into chunks of fixed and of varying size; the points skipped are
// decoded into the reader's own buffer, which holds a whole point core for
// POINT14 (a record-sized buffer would be overrun).
TEST(LASchunkLayered, Seek) {
  const auto records = scan(3000);
  const struct {
    const char* name;
    uint32_t chunk_size;
    std::vector<uint32_t> ends;
  } chunkings[] = {{"fixed", 1000, {}}, {"varying", 0xFFFFFFFF, {1, 2, 999, 1000, 2500}}};
  for (const auto& ch : chunkings) {
    SCOPED_TRACE(ch.name);
    const Coded c = encode(records, 3, ch.chunk_size, ch.ends);
    LASquantizer quantizer;
    LASpoint p;
    ASSERT_TRUE(p.init(&quantizer, c.qopack.num_items, c.qopack.items));
    ByteStreamInArrayLE in(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
    LASchunkReader reader;
    ASSERT_TRUE(reader.setup(c.qopack.num_items, c.qopack.items, &c.qopack));
    ASSERT_TRUE(reader.init(&in));
    int64_t current = 0;
    std::vector<uint8_t> record(kRecordBytes);
    for (int64_t target : {2999, 0, 1, 2, 1500, 999, 1000, 2501, 2400}) {
      SCOPED_TRACE(target);
      ASSERT_TRUE(reader.seek(current, target));
      ASSERT_TRUE(reader.read(p.point));
      p.copy_to(record.data());
      EXPECT_TRUE(record == records[static_cast<size_t>(target)]);
      current = target + 1;
    }
    EXPECT_FALSE(reader.seek(current, 3000));
  }
}

// The point count a layered chunk stores bounds what is read from it: a
// reader asked for more points than the file holds gets an end of file, not
// points decoded past the layers' codes, and one that stops early learns
// that the chunk held more.
TEST(LASchunkLayered, StoredPointCountBoundsTheChunk) {
  const auto records = scan(2500);
  const Coded c = encode(records, 3, 1000);
  const Decoded more = decode(c, 2600);
  EXPECT_TRUE(more.records == records);
  EXPECT_EQ(more.error, "end-of-file during chunk with index 2");
  const Decoded fewer = decode(c, 2400);
  EXPECT_EQ(fewer.records.size(), 2400u);
  EXPECT_FALSE(fewer.end_ok);
  EXPECT_EQ(fewer.error, "chunk with index 2 of 4 is corrupt");
}

}  // namespace
