// Compressed points through LASchunkWriter and LASchunkReader: the layout of
// the point area and its chunk table, chunks of varying size, streams that
// cannot seek, the pointwise kind, seeking, interrupted writers and corrupt
// chunks.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "compression/arithdecoder.h"
#include "compression/integercoder.h"
#include "compression/laschunkreader.h"
#include "compression/laschunkwriter.h"
#include "compression/qopack.h"
#include "las/bytestreamin_array.h"
#include "las/bytestreamout_array.h"
#include "las/laspoint.h"

namespace {

// Memory that cannot seek, like a pipe.
class ByteStreamInPipe : public ByteStreamInArrayLE {
 public:
  ByteStreamInPipe(const uint8_t* data, int64_t size) : ByteStreamInArrayLE(data, size) {}
  bool is_seekable() const override { return false; }
  bool seek(int64_t) override { return false; }
  bool seek_end(int64_t) override { return false; }
};

class ByteStreamOutPipe : public ByteStreamOutArrayLE {
 public:
  bool is_seekable() const override { return false; }
  bool seek(int64_t) override { return false; }
  bool seek_end() override { return false; }
};

// Memory that remembers where it was sent and how many bytes were taken.
class ByteStreamInWatched : public ByteStreamInArrayLE {
 public:
  ByteStreamInWatched(const uint8_t* data, int64_t size) : ByteStreamInArrayLE(data, size) {}
  uint32_t get_byte() override {
    taken++;
    return ByteStreamInArrayLE::get_byte();
  }
  void get_bytes(uint8_t* bytes, uint32_t n) override {
    taken += n;
    ByteStreamInArrayLE::get_bytes(bytes, n);
  }
  bool seek(int64_t position) override {
    seeks.push_back(position);
    return ByteStreamInArrayLE::seek(position);
  }
  int64_t taken = 0;
  std::vector<int64_t> seeks;
};

// Point type 1 records of a scan: small coordinate steps, a steady clock,
// now and then a new flight line.
std::vector<std::vector<uint8_t>> scan(uint32_t count, uint32_t seed = 1) {
  std::mt19937 rng(seed);
  LASquantizer quantizer;
  LASpoint p;
  EXPECT_TRUE(p.init(&quantizer, 1, 28));
  std::vector<std::vector<uint8_t>> records(count, std::vector<uint8_t>(28));
  double t = 1000.0;
  for (uint32_t i = 0; i < count; i++) {
    if (i % 5000 == 0) t += 90.0;
    t += 1e-5;
    p.X = static_cast<int32_t>(i * 13 + rng() % 50);
    p.Y = static_cast<int32_t>((i / 400) * 70 + rng() % 20);
    p.Z = static_cast<int32_t>(10000 + rng() % 300);
    p.intensity = static_cast<uint16_t>(rng() % 1000);
    p.return_number = 1 + rng() % 2;
    p.number_of_returns = 2;
    p.classification = 2;
    p.point_source_ID = static_cast<uint16_t>(i / 5000);
    p.gps_time = t;
    p.copy_to(records[i].data());
  }
  return records;
}

struct Coded {
  Qopack qopack;
  std::vector<uint8_t> bytes;
};

// The records through a chunk writer. `chunk_ends` lists after how many
// points chunk() is called; `finish` false stops without done(), as an
// interrupted writer does.
Coded encode(const std::vector<std::vector<uint8_t>>& records, uint16_t compressor, uint32_t chunk_size,
             ByteStreamOutArrayLE& out, const std::vector<uint32_t>& chunk_ends = {}, bool finish = true) {
  Coded c;
  const LASitem items[] = {{LASitem::POINT10, 20}, {LASitem::GPSTIME11, 8}};
  EXPECT_TRUE(c.qopack.setup(2, items, compressor));
  EXPECT_TRUE(c.qopack.request_version(compressor ? 2 : 0));
  if (compressor != Qopack::COMPRESSOR_POINTWISE) c.qopack.chunk_size = chunk_size;
  LASquantizer quantizer;
  LASpoint p;
  EXPECT_TRUE(p.init(&quantizer, 2, c.qopack.items));
  LASchunkWriter writer;
  EXPECT_TRUE(writer.setup(c.qopack.num_items, c.qopack.items, &c.qopack));
  EXPECT_TRUE(writer.init(&out));
  size_t next_end = 0;
  for (uint32_t i = 0; i < records.size(); i++) {
    p.copy_from(records[i].data());
    EXPECT_TRUE(writer.write(p.point));
    if (next_end < chunk_ends.size() && chunk_ends[next_end] == i + 1) {
      EXPECT_TRUE(writer.chunk()) << i;
      next_end++;
    }
  }
  if (finish) {
    EXPECT_TRUE(writer.done());
  }
  c.bytes.assign(out.get_data(), out.get_data() + out.get_size());
  return c;
}

Coded encode(const std::vector<std::vector<uint8_t>>& records, uint16_t compressor, uint32_t chunk_size,
             const std::vector<uint32_t>& chunk_ends = {}, bool finish = true) {
  ByteStreamOutArrayLE out;
  return encode(records, compressor, chunk_size, out, chunk_ends, finish);
}

// What a reader delivers: the records in order until read() fails, and the
// messages it leaves.
struct Decoded {
  std::vector<std::vector<uint8_t>> records;
  std::string error;
  std::string warning;
  bool end_ok = false;
};

Decoded decode(const Coded& c, ByteStreamIn& in, uint32_t count) {
  Decoded d;
  LASquantizer quantizer;
  LASpoint p;
  EXPECT_TRUE(p.init(&quantizer, c.qopack.num_items, c.qopack.items));
  LASchunkReader reader;
  EXPECT_TRUE(reader.setup(c.qopack.num_items, c.qopack.items, &c.qopack));
  EXPECT_TRUE(reader.init(&in));
  std::vector<uint8_t> record(28);
  while (d.records.size() < count && reader.read(p.point)) {
    p.copy_to(record.data());
    d.records.push_back(record);
  }
  if (d.records.size() == count) d.end_ok = reader.check_end();
  if (reader.get_last_error()) d.error = reader.get_last_error();
  if (reader.get_last_warning()) d.warning = reader.get_last_warning();
  return d;
}

Decoded decode(const Coded& c, uint32_t count) {
  ByteStreamInArrayLE in(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
  return decode(c, in, count);
}

int64_t i64_at(const std::vector<uint8_t>& bytes, size_t at) {
  int64_t v;
  memcpy(&v, &bytes[at], 8);
  return v;
}

uint32_t u32_at(const std::vector<uint8_t>& bytes, size_t at) {
  uint32_t v;
  memcpy(&v, &bytes[at], 4);
  return v;
}

// The chunk table decoded independently: byte lengths (and point counts for
// varying sizes), each predicted from the one before and the first from 0.
struct Table {
  std::vector<int32_t> counts;
  std::vector<int32_t> lengths;
};

Table decode_table(const std::vector<uint8_t>& bytes, size_t at, bool varying) {
  Table t;
  EXPECT_EQ(u32_at(bytes, at), 0u);  // version
  const uint32_t n = u32_at(bytes, at + 4);
  ByteStreamInArrayLE in(bytes.data(), static_cast<int64_t>(bytes.size()));
  EXPECT_TRUE(in.seek(static_cast<int64_t>(at + 8)));
  ArithDecoder dec;
  EXPECT_TRUE(dec.init(&in));
  IntegerCoder ic(&dec, 32, 2, 8, 0);
  ic.init_decoding();
  int32_t count = 0;
  int32_t length = 0;
  for (uint32_t i = 0; i < n; i++) {
    if (varying) t.counts.push_back(count = ic.decompress(count, 0));
    t.lengths.push_back(length = ic.decompress(length, 1));
  }
  return t;
}

// The point area: the pointer to the table, chunks that each begin with
// their first point raw, and the table whose lengths lead from chunk to
// chunk and end at the table.
TEST(LASchunkCompressed, PointAreaLayout) {
  const auto records = scan(2503);
  const Coded c = encode(records, Qopack::COMPRESSOR_POINTWISE_CHUNKED, 1000);
  const int64_t table = i64_at(c.bytes, 0);
  ASSERT_GT(table, 8);
  ASSERT_LT(table + 8, static_cast<int64_t>(c.bytes.size()));
  const Table t = decode_table(c.bytes, static_cast<size_t>(table), false);
  ASSERT_EQ(t.lengths.size(), 3u);
  int64_t start = 8;
  for (size_t k = 0; k < t.lengths.size(); k++) {
    SCOPED_TRACE(k);
    EXPECT_EQ(0, memcmp(&c.bytes[start], records[k * 1000].data(), 28));
    start += t.lengths[k];
  }
  EXPECT_EQ(start, table);
  // Nothing after the table's code: no trailing pointer for a seekable stream.
  const Decoded d = decode(c, 2503);
  EXPECT_EQ(d.records, records);
  EXPECT_TRUE(d.end_ok);
  EXPECT_EQ(d.error, "");
  EXPECT_EQ(d.warning, "");
}

// A writer on a stream that cannot seek leaves -1 as the pointer and
// appends the table's position. A seekable reader finds the table there and
// can seek; a pipe reads the chunks one after the other.
TEST(LASchunkCompressed, WriterThatCannotSeek) {
  const auto records = scan(3210);
  ByteStreamOutPipe pipe;
  const Coded c = encode(records, Qopack::COMPRESSOR_POINTWISE_CHUNKED, 1000, pipe);
  const Coded seekable = encode(records, Qopack::COMPRESSOR_POINTWISE_CHUNKED, 1000);
  EXPECT_EQ(i64_at(c.bytes, 0), -1);
  EXPECT_EQ(i64_at(c.bytes, c.bytes.size() - 8), i64_at(seekable.bytes, 0));
  EXPECT_EQ(c.bytes.size(), seekable.bytes.size() + 8);

  const Decoded d = decode(c, 3210);
  EXPECT_EQ(d.records, records);
  EXPECT_TRUE(d.end_ok);

  ByteStreamInPipe in(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
  const Decoded piped = decode(c, in, 3210);
  EXPECT_EQ(piped.records, records);
  EXPECT_EQ(piped.error, "");

  LASquantizer quantizer;
  LASpoint p;
  ASSERT_TRUE(p.init(&quantizer, c.qopack.num_items, c.qopack.items));
  ByteStreamInArrayLE memory(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
  LASchunkReader reader;
  ASSERT_TRUE(reader.setup(c.qopack.num_items, c.qopack.items, &c.qopack));
  ASSERT_TRUE(reader.init(&memory));
  ASSERT_TRUE(reader.seek(0, 2500));
  ASSERT_TRUE(reader.read(p.point));
  std::vector<uint8_t> record(28);
  p.copy_to(record.data());
  EXPECT_EQ(record, records[2500]);

  ByteStreamInPipe unseekable(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
  LASchunkReader sequential;
  ASSERT_TRUE(sequential.setup(c.qopack.num_items, c.qopack.items, &c.qopack));
  ASSERT_TRUE(sequential.init(&unseekable));
  EXPECT_FALSE(sequential.seek(0, 5));
}

// Chunks of varying size end where the caller says; the table holds their
// point counts, and seeking finds the chunk by them.
TEST(LASchunkCompressed, ChunksOfVaryingSize) {
  const auto records = scan(2000);
  const std::vector<uint32_t> ends = {1, 2, 4, 100, 101, 1500};
  const Coded c = encode(records, Qopack::COMPRESSOR_POINTWISE_CHUNKED, Qopack::variable_chunk_size_alt, ends);
  const Table t = decode_table(c.bytes, static_cast<size_t>(i64_at(c.bytes, 0)), true);
  EXPECT_EQ(t.counts, (std::vector<int32_t>{1, 1, 2, 96, 1, 1399, 500}));
  const Decoded d = decode(c, 2000);
  EXPECT_EQ(d.records, records);
  EXPECT_TRUE(d.end_ok);

  LASquantizer quantizer;
  LASpoint p;
  ASSERT_TRUE(p.init(&quantizer, c.qopack.num_items, c.qopack.items));
  ByteStreamInArrayLE in(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
  LASchunkReader reader;
  ASSERT_TRUE(reader.setup(c.qopack.num_items, c.qopack.items, &c.qopack));
  ASSERT_TRUE(reader.init(&in));
  int64_t current = 0;
  std::vector<uint8_t> record(28);
  for (int64_t target : {1999, 0, 3, 2, 100, 1499, 1500, 1, 1998}) {
    SCOPED_TRACE(target);
    ASSERT_TRUE(reader.seek(current, target));
    ASSERT_TRUE(reader.read(p.point));
    p.copy_to(record.data());
    EXPECT_EQ(record, records[static_cast<size_t>(target)]);
    current = target + 1;
  }
  EXPECT_FALSE(reader.seek(current, 2000));
}

// chunk() ends only a chunk of varying size that holds points.
TEST(LASchunkCompressed, ChunkNeedsVaryingSizeAndPoints) {
  const LASitem items[] = {{LASitem::POINT10, 20, 2}};
  struct Case {
    const char* name;
    uint16_t compressor;
    uint32_t chunk_size;
    uint32_t points;
    bool ends;
  } cases[] = {
      {"varying size after a point", 2, Qopack::variable_chunk_size_alt, 1, true},
      {"varying size before any point", 2, Qopack::variable_chunk_size_alt, 0, false},
      {"fixed size", 2, 50000, 1, false},
      {"uncompressed", 0, Qopack::variable_chunk_size_alt, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Qopack q;
    ASSERT_TRUE(q.setup(1, items, c.compressor));
    if (c.compressor) {
      ASSERT_TRUE(q.request_version(2));
    }
    q.chunk_size = c.chunk_size;
    LASquantizer quantizer;
    LASpoint p;
    ASSERT_TRUE(p.init(&quantizer, 1, q.items));
    ByteStreamOutArrayLE out;
    LASchunkWriter writer;
    ASSERT_TRUE(writer.setup(1, q.items, &q));
    EXPECT_FALSE(writer.chunk());  // before init
    ASSERT_TRUE(writer.init(&out));
    for (uint32_t i = 0; i < c.points; i++) ASSERT_TRUE(writer.write(p.point));
    EXPECT_EQ(writer.chunk(), c.ends);
    EXPECT_FALSE(writer.chunk());  // nothing since
    EXPECT_TRUE(writer.done());
  }
}

// The pointwise kind has no pointer and no table: the first point raw, then
// one code for all others. It reads and seeks like a single chunk.
TEST(LASchunkCompressed, PointwiseKindIsOneCode) {
  const auto records = scan(1234);
  const Coded c = encode(records, Qopack::COMPRESSOR_POINTWISE, 0);
  EXPECT_EQ(0, memcmp(c.bytes.data(), records[0].data(), 28));
  const Decoded d = decode(c, 1234);
  EXPECT_EQ(d.records, records);
  EXPECT_TRUE(d.end_ok);

  LASquantizer quantizer;
  LASpoint p;
  ASSERT_TRUE(p.init(&quantizer, c.qopack.num_items, c.qopack.items));
  ByteStreamInArrayLE in(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
  LASchunkReader reader;
  ASSERT_TRUE(reader.setup(c.qopack.num_items, c.qopack.items, &c.qopack));
  ASSERT_TRUE(reader.init(&in));
  std::vector<uint8_t> record(28);
  int64_t current = 0;
  for (int64_t target : {700, 5, 1233}) {
    ASSERT_TRUE(reader.seek(current, target));
    ASSERT_TRUE(reader.read(p.point));
    p.copy_to(record.data());
    EXPECT_EQ(record, records[static_cast<size_t>(target)]) << target;
    current = target + 1;
  }
}

// Uncompressed points described by a descriptor stay raw records: no
// pointer, no table.
TEST(LASchunkCompressed, DescriptorWithoutCompressionWritesRawRecords) {
  const auto records = scan(10);
  const Coded c = encode(records, Qopack::COMPRESSOR_NONE, 50000);
  std::vector<uint8_t> raw;
  for (const auto& r : records) raw.insert(raw.end(), r.begin(), r.end());
  EXPECT_EQ(c.bytes, raw);
  EXPECT_EQ(decode(c, 10).records, records);
}

// A writer stopped before done() leaves the pointer at itself. Chunks of one
// size are read up to the chunk it was writing, with a warning; chunks of
// varying size cannot be found without the table.
TEST(LASchunkCompressed, InterruptedWriter) {
  const auto records = scan(2500);
  const Coded fixed = encode(records, Qopack::COMPRESSOR_POINTWISE_CHUNKED, 1000, {}, false);
  EXPECT_EQ(i64_at(fixed.bytes, 0), 0);
  const Decoded d = decode(fixed, 2500);
  // Two chunks; the raw first point of the third has no code after it.
  ASSERT_EQ(d.records.size(), 2000u);
  EXPECT_TRUE(std::equal(d.records.begin(), d.records.end(), records.begin()));
  EXPECT_EQ(d.warning, "compressor was interrupted before writing chunk table of QPK file");
  EXPECT_EQ(d.error, "end-of-file during chunk with index 2");

  // A complete file whose table was lost in the same way reads to the end,
  // and can seek back into the chunks found on the way.
  Coded complete = encode(records, Qopack::COMPRESSOR_POINTWISE_CHUNKED, 1000);
  const int64_t table = i64_at(complete.bytes, 0);
  complete.bytes.resize(static_cast<size_t>(table));
  memset(complete.bytes.data(), 0, 8);
  const Decoded all = decode(complete, 2500);
  EXPECT_EQ(all.records, records);
  EXPECT_EQ(all.warning, "compressor was interrupted before writing chunk table of QPK file");
  EXPECT_TRUE(all.end_ok);

  const Coded varying = encode(records, Qopack::COMPRESSOR_POINTWISE_CHUNKED, Qopack::variable_chunk_size_alt,
                               {700, 1400}, false);
  const Decoded v = decode(varying, 2500);
  EXPECT_TRUE(v.records.empty());
  EXPECT_EQ(v.error, "compressor was interrupted before writing adaptive chunk table of QPK file");
}

// Seeking to point 2 x 50000 + 7 goes to the start of chunk 2 and decodes
// its raw first point and 7 more, not the chunks before.
TEST(LASchunkCompressed, SeekDecodesAtMostOneChunk) {
  const auto records = scan(150100);
  const Coded c = encode(records, Qopack::COMPRESSOR_POINTWISE_CHUNKED, 50000);
  const int64_t table = i64_at(c.bytes, 0);
  const Table t = decode_table(c.bytes, static_cast<size_t>(table), false);
  ASSERT_EQ(t.lengths.size(), 4u);
  const int64_t chunk2 = 8 + int64_t(t.lengths[0]) + t.lengths[1];

  LASquantizer quantizer;
  LASpoint p;
  ASSERT_TRUE(p.init(&quantizer, c.qopack.num_items, c.qopack.items));
  ByteStreamInWatched in(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
  LASchunkReader reader;
  ASSERT_TRUE(reader.setup(c.qopack.num_items, c.qopack.items, &c.qopack));
  ASSERT_TRUE(reader.init(&in));
  ASSERT_TRUE(reader.seek(0, 2 * 50000 + 7));
  ASSERT_FALSE(in.seeks.empty());
  EXPECT_EQ(in.seeks.back(), chunk2);
  // The pointer, the table and chunk 2, nothing of the chunks before.
  const int64_t taken = in.taken;
  EXPECT_LE(taken, 8 + static_cast<int64_t>(c.bytes.size()) - table + t.lengths[2]);
  ASSERT_TRUE(reader.read(p.point));
  std::vector<uint8_t> record(28);
  p.copy_to(record.data());
  EXPECT_EQ(record, records[100007]);

  // Backwards within the chunk restarts it, from the bytes read before.
  in.seeks.clear();
  ASSERT_TRUE(reader.seek(100008, 100003));
  ASSERT_FALSE(in.seeks.empty());
  EXPECT_EQ(in.seeks[0], chunk2);
  EXPECT_EQ(in.taken, taken);
  ASSERT_TRUE(reader.read(p.point));
  p.copy_to(record.data());
  EXPECT_EQ(record, records[100003]);
  // Forwards within the chunk decodes on without moving.
  in.seeks.clear();
  ASSERT_TRUE(reader.seek(100004, 100040));
  EXPECT_TRUE(in.seeks.empty());
  ASSERT_TRUE(reader.read(p.point));
  p.copy_to(record.data());
  EXPECT_EQ(record, records[100040]);
}

// A corrupt chunk costs its own points only: the next read goes on with the
// next chunk, whose start the table knows.
TEST(LASchunkCompressed, CorruptChunkIsSkipped) {
  const auto records = scan(3000);
  Coded c = encode(records, Qopack::COMPRESSOR_POINTWISE_CHUNKED, 1000);
  const Table t = decode_table(c.bytes, static_cast<size_t>(i64_at(c.bytes, 0)), false);
  const size_t chunk1 = 8 + static_cast<size_t>(t.lengths[0]);
  // Scramble the code of chunk 1 behind its raw first point.
  for (size_t i = chunk1 + 28 + 10; i < chunk1 + static_cast<size_t>(t.lengths[1]) - 10; i += 7) c.bytes[i] ^= 0x5A;

  LASquantizer quantizer;
  LASpoint p;
  ASSERT_TRUE(p.init(&quantizer, c.qopack.num_items, c.qopack.items));
  ByteStreamInArrayLE in(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
  LASchunkReader reader;
  ASSERT_TRUE(reader.setup(c.qopack.num_items, c.qopack.items, &c.qopack));
  ASSERT_TRUE(reader.init(&in));
  std::vector<uint8_t> record(28);
  uint32_t delivered = 0;
  while (reader.read(p.point)) delivered++;
  EXPECT_GE(delivered, 1001u);
  EXPECT_LE(delivered, 2000u);
  ASSERT_NE(reader.get_last_error(), nullptr);
  EXPECT_STREQ(reader.get_last_error(), "chunk with index 1 of 4 is corrupt");
  // Chunk 2 follows, whole.
  for (uint32_t i = 2000; i < 3000; i++) {
    ASSERT_TRUE(reader.read(p.point)) << i;
    p.copy_to(record.data());
    ASSERT_EQ(record, records[i]) << i;
  }
  EXPECT_TRUE(reader.check_end());
}

// Reading stopped inside a chunk whose end the table knows is an encoding
// that did not end where it should.
TEST(LASchunkCompressed, CheckEndFindsAnUnfinishedChunk) {
  const auto records = scan(2000);
  const Coded c = encode(records, Qopack::COMPRESSOR_POINTWISE_CHUNKED, 1000);
  for (uint32_t stop : {1000u, 2000u, 1500u}) {
    SCOPED_TRACE(stop);
    const Decoded d = decode(c, stop);
    EXPECT_EQ(d.records.size(), stop);
    EXPECT_EQ(d.end_ok, stop % 1000 == 0);
    EXPECT_EQ(d.error, stop % 1000 == 0 ? "" : "chunk with index 1 of 3 is corrupt");
  }
}

}  // namespace

namespace {

// An end of data inside a chunk leaves the decoder mid-renormalisation:
// reading on must not decode from that state (it divided by a zero interval
// when a seek went on decoding after a cut chunk, found by fuzzing), and a
// seek back into the complete part restarts the chunk.
TEST(LASchunkCompressed, ReadingOnAfterACutIsSafe) {
  const auto records = scan(3000);
  Coded c = encode(records, Qopack::COMPRESSOR_POINTWISE_CHUNKED, 1000);
  const Table t = decode_table(c.bytes, static_cast<size_t>(i64_at(c.bytes, 0)), false);
  c.bytes.resize(8 + static_cast<size_t>(t.lengths[0]) + 300);
  LASquantizer quantizer;
  LASpoint p;
  ASSERT_TRUE(p.init(&quantizer, c.qopack.num_items, c.qopack.items));
  ByteStreamInArrayLE in(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
  LASchunkReader reader;
  ASSERT_TRUE(reader.setup(c.qopack.num_items, c.qopack.items, &c.qopack));
  ASSERT_TRUE(reader.init(&in));
  uint32_t delivered = 0;
  while (reader.read(p.point)) delivered++;
  ASSERT_GT(delivered, 1000u);
  ASSERT_LT(delivered, 2000u);
  EXPECT_STREQ(reader.get_last_error(), "end-of-file during chunk with index 1");
  EXPECT_FALSE(reader.read(p.point));
  EXPECT_STREQ(reader.get_last_error(), "end-of-file during chunk with index 1");
  EXPECT_FALSE(reader.seek(delivered, delivered + 5));
  std::vector<uint8_t> record(28);
  for (uint32_t target : {delivered - 1, 1000u, 999u}) {
    SCOPED_TRACE(target);
    ASSERT_TRUE(reader.seek(delivered, target));
    ASSERT_TRUE(reader.read(p.point));
    p.copy_to(record.data());
    EXPECT_EQ(record, records[target]);
  }
}

}  // namespace
