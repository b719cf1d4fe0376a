// Raw point records through LASchunkWriter and LASchunkReader: the bytes of
// every item kind, block boundaries, cut data, seeking, and the item lists
// and streams they refuse.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "compression/laschunkreader.h"
#include "compression/laschunkwriter.h"
#include "compression/lasreaditemraw.h"
#include "compression/laswriteitemraw.h"
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

// Output that takes `capacity` bytes and then refuses more.
class ByteStreamOutFull : public ByteStreamOutArrayLE {
 public:
  explicit ByteStreamOutFull(int64_t capacity) : capacity(capacity) {}
  bool put_bytes(const uint8_t* bytes, uint32_t n) override {
    if (get_size() + n > capacity) return false;
    return ByteStreamOutArrayLE::put_bytes(bytes, n);
  }

 private:
  int64_t capacity;
};

// Distinct values in every byte a record carries.
void vary(LASpoint& p, uint32_t i) {
  p.X = static_cast<int32_t>(0x9E3779B9u * (i + 1));
  p.Y = -static_cast<int32_t>(i * 77777);
  p.Z = static_cast<int32_t>(i ^ 0x55AA55AAu);
  p.intensity = static_cast<uint16_t>(i * 31);
  p.return_number = i % 8;
  p.number_of_returns = (i + 3) % 8;
  p.classification = i % 32;
  p.scan_angle_rank = static_cast<int8_t>(i);
  p.user_data = static_cast<uint8_t>(i * 3);
  p.point_source_ID = static_cast<uint16_t>(i * 5);
  if (p.extended_point_type) {
    p.extended_return_number = i % 16;
    p.extended_number_of_returns = (i / 2) % 16;
    p.extended_classification = static_cast<uint8_t>(i * 11);
    p.extended_classification_flags = i % 16;
    p.extended_scanner_channel = i % 4;
    p.extended_scan_angle = static_cast<int16_t>(i * 101);
    p.update_legacy_from_extended();
  }
  p.gps_time = i * 0.125 - 3.0;
  for (int c = 0; c < 4; c++) p.rgb[c] = static_cast<uint16_t>(i * 7 + c);
  uint8_t* w = reinterpret_cast<uint8_t*>(&p.wavepacket);
  for (size_t b = 0; b < sizeof(LASwavepacket); b++) w[b] = static_cast<uint8_t>(i + b);
  for (int32_t b = 0; b < p.extra_bytes_number; b++) p.extra_bytes[b] = static_cast<uint8_t>(i * 13 + b);
}

std::vector<uint8_t> record_of(const LASpoint& p) {
  std::vector<uint8_t> r(p.total_point_size);
  p.copy_to(r.data());
  return r;
}

struct Format {
  uint8_t type;
  uint16_t length;  // with extra bytes
};

// Every point format, with extra bytes where they change the item list.
const Format formats[] = {{0, 20}, {1, 28}, {2, 26}, {3, 34}, {4, 57}, {5, 66}, {6, 30},
                          {7, 36}, {8, 38}, {9, 59}, {10, 70}, {1, 29}, {6, 45}};

// The writer stores each point as its record bytes, and the reader fills a
// point whose record bytes are the same, from a seekable stream (records
// read in blocks) and from a pipe (item by item).
TEST(LASchunkRaw, EveryFormatRoundTripsAcrossBlocks) {
  for (const Format& f : formats) {
    SCOPED_TRACE(::testing::Message() << "format " << int(f.type) << " length " << f.length);
    LASquantizer quantizer;
    LASpoint out;
    ASSERT_TRUE(out.init(&quantizer, f.type, f.length));
    // More than a block of records, so that the reader refills.
    const uint32_t count = LASchunkReader::block_bytes / f.length + 17;

    ByteStreamOutArrayLE stream;
    LASchunkWriter writer;
    ASSERT_TRUE(writer.setup(out.num_items, out.items));
    ASSERT_TRUE(writer.init(&stream));
    std::vector<uint8_t> expected;
    for (uint32_t i = 0; i < count; i++) {
      vary(out, i);
      ASSERT_TRUE(writer.write(out.point));
      const std::vector<uint8_t> r = record_of(out);
      expected.insert(expected.end(), r.begin(), r.end());
    }
    ASSERT_TRUE(writer.done());
    ASSERT_EQ(stream.get_size(), static_cast<int64_t>(expected.size()));
    ASSERT_EQ(0, memcmp(stream.get_data(), expected.data(), expected.size()));

    for (bool pipe : {false, true}) {
      SCOPED_TRACE(pipe ? "pipe" : "memory");
      std::unique_ptr<ByteStreamIn> in;
      if (pipe) {
        in = std::make_unique<ByteStreamInPipe>(stream.get_data(), stream.get_size());
      } else {
        in = std::make_unique<ByteStreamInArrayLE>(stream.get_data(), stream.get_size());
      }
      LASpoint back;
      ASSERT_TRUE(back.init(&quantizer, f.type, f.length));
      LASchunkReader reader;
      ASSERT_TRUE(reader.setup(back.num_items, back.items));
      ASSERT_TRUE(reader.init(in.get()));
      for (uint32_t i = 0; i < count; i++) {
        ASSERT_TRUE(reader.read(back.point)) << i;
        ASSERT_EQ(record_of(back), std::vector<uint8_t>(expected.begin() + size_t(i) * f.length,
                                                        expected.begin() + size_t(i + 1) * f.length))
            << i;
      }
      EXPECT_FALSE(reader.read(back.point));
      EXPECT_EQ(reader.get_last_error(), nullptr);
      EXPECT_TRUE(reader.check_end());
      EXPECT_TRUE(reader.done());
    }
  }
}

// The raw item readers and writers move the same bytes as the records.
TEST(LASchunkRaw, ItemReadersAndWritersMatchTheRecordBytes) {
  for (const Format& f : formats) {
    SCOPED_TRACE(::testing::Message() << "format " << int(f.type) << " length " << f.length);
    LASquantizer quantizer;
    LASpoint out;
    ASSERT_TRUE(out.init(&quantizer, f.type, f.length));
    vary(out, 12345);
    ByteStreamOutArrayLE stream;
    uint32_t context = 0;
    for (uint16_t i = 0; i < out.num_items; i++) {
      std::unique_ptr<LASwriteItemRaw> item = make_raw_item_writer(out.items[i]);
      ASSERT_TRUE(item);
      item->init(&stream);
      ASSERT_TRUE(item->write(out.point[i], context));
    }
    EXPECT_EQ(std::vector<uint8_t>(stream.get_data(), stream.get_data() + stream.get_size()), record_of(out));

    LASpoint back;
    ASSERT_TRUE(back.init(&quantizer, f.type, f.length));
    ByteStreamInArrayLE in(stream.get_data(), stream.get_size());
    for (uint16_t i = 0; i < back.num_items; i++) {
      std::unique_ptr<LASreadItemRaw> item = make_raw_item_reader(back.items[i]);
      ASSERT_TRUE(item);
      item->init(&in);
      item->read(back.point[i], context);
    }
    EXPECT_EQ(record_of(back), record_of(out));
    EXPECT_EQ(context, 0u);
  }
}

// A cut record ends the reading after the last complete one, without an
// error, from a seekable stream and from a pipe.
TEST(LASchunkRaw, CutDataEndsAfterTheLastCompleteRecord) {
  LASquantizer quantizer;
  LASpoint p;
  ASSERT_TRUE(p.init(&quantizer, 3, 34));
  std::vector<uint8_t> bytes;
  for (uint32_t i = 0; i < 10; i++) {
    vary(p, i);
    const std::vector<uint8_t> r = record_of(p);
    bytes.insert(bytes.end(), r.begin(), r.end());
  }
  for (size_t cut : {size_t(0), size_t(33), size_t(34 * 7), size_t(34 * 7 + 20), size_t(34 * 7 + 30)}) {
    for (bool pipe : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "cut at " << cut << (pipe ? " pipe" : " memory"));
      std::unique_ptr<ByteStreamIn> in;
      if (pipe) {
        in = std::make_unique<ByteStreamInPipe>(bytes.data(), static_cast<int64_t>(cut));
      } else {
        in = std::make_unique<ByteStreamInArrayLE>(bytes.data(), static_cast<int64_t>(cut));
      }
      LASchunkReader reader;
      ASSERT_TRUE(reader.setup(p.num_items, p.items));
      ASSERT_TRUE(reader.init(in.get()));
      size_t complete = 0;
      while (reader.read(p.point)) {
        ASSERT_EQ(record_of(p), std::vector<uint8_t>(bytes.begin() + complete * 34, bytes.begin() + complete * 34 + 34));
        complete++;
      }
      EXPECT_EQ(complete, cut / 34);
      EXPECT_EQ(reader.get_last_error(), nullptr);
      EXPECT_FALSE(reader.read(p.point));
    }
  }
}

// Records start where the stream stood at init(); seeking counts from there.
TEST(LASchunkRaw, SeekCountsFromTheFirstRecord) {
  LASquantizer quantizer;
  LASpoint p;
  ASSERT_TRUE(p.init(&quantizer, 6, 30));
  const size_t header = 100;
  const uint32_t count = 20000;
  std::vector<uint8_t> bytes(header, 0xEE);
  for (uint32_t i = 0; i < count; i++) {
    vary(p, i);
    const std::vector<uint8_t> r = record_of(p);
    bytes.insert(bytes.end(), r.begin(), r.end());
  }
  ByteStreamInArrayLE in(bytes.data(), static_cast<int64_t>(bytes.size()));
  ASSERT_TRUE(in.seek(header));
  LASchunkReader reader;
  ASSERT_TRUE(reader.setup(p.num_items, p.items));
  ASSERT_TRUE(reader.init(&in));
  LASpoint expected;
  ASSERT_TRUE(expected.init(&quantizer, 6, 30));
  int64_t current = 0;
  for (int64_t target : {int64_t(0), int64_t(9000), int64_t(9000), int64_t(2), int64_t(19999), int64_t(10)}) {
    SCOPED_TRACE(target);
    ASSERT_TRUE(reader.seek(current, target));
    ASSERT_TRUE(reader.read(p.point));
    vary(expected, static_cast<uint32_t>(target));
    EXPECT_EQ(record_of(p), record_of(expected));
    current = target + 1;
  }
  // Seeking beyond the records succeeds and then finds no record.
  ASSERT_TRUE(reader.seek(current, count));
  EXPECT_FALSE(reader.read(p.point));

  ByteStreamInPipe pipe(bytes.data(), static_cast<int64_t>(bytes.size()));
  LASchunkReader piped;
  ASSERT_TRUE(piped.setup(p.num_items, p.items));
  ASSERT_TRUE(piped.init(&pipe));
  EXPECT_FALSE(piped.seek(0, 5));
}

TEST(LASchunkRaw, SetupRefusesListsItCannotMove) {
  const LASitem point10[] = {{LASitem::POINT10, 20}, {LASitem::GPSTIME11, 8}};
  const LASitem unknown[] = {{LASitem::POINT10, 20}, {static_cast<LASitem::Type>(3), 4}};
  const LASitem empty_bytes[] = {{LASitem::POINT10, 20}, {LASitem::BYTE, 0}};
  Qopack raw;
  ASSERT_TRUE(raw.setup(2, point10, Qopack::COMPRESSOR_NONE));
  Qopack compressed;
  ASSERT_TRUE(compressed.setup(2, point10, Qopack::COMPRESSOR_POINTWISE_CHUNKED));

  struct Case {
    const char* name;
    uint32_t num_items;
    const LASitem* items;
    const Qopack* qopack;
    bool accepted;
  } cases[] = {
      {"plain list", 2, point10, nullptr, true},
      {"descriptor without compression", raw.num_items, raw.items, &raw, true},
      {"no items", 0, point10, nullptr, false},
      {"null items", 2, nullptr, nullptr, false},
      {"reserved item type", 2, unknown, nullptr, false},
      {"empty extra bytes", 2, empty_bytes, nullptr, false},
      {"list that is not the descriptor's", 2, point10, &raw, false},
      {"compressed items without a codec version", compressed.num_items, compressed.items, &compressed, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LASchunkReader reader;
    EXPECT_EQ(reader.setup(c.num_items, c.items, c.qopack), c.accepted);
    LASchunkWriter writer;
    EXPECT_EQ(writer.setup(c.num_items, c.items, c.qopack), c.accepted);
    if (c.accepted) {
      EXPECT_EQ(reader.get_point_size(), 28u);
      EXPECT_EQ(writer.get_point_size(), 28u);
    }
  }
  LASchunkReader reader;
  ASSERT_TRUE(reader.setup(2, point10));
  EXPECT_FALSE(reader.init(nullptr));
  LASchunkWriter writer;
  ASSERT_TRUE(writer.setup(2, point10));
  EXPECT_FALSE(writer.init(nullptr));
  EXPECT_FALSE(writer.chunk());
}

// Records held back in a block still reach done(), and a stream that
// refuses them makes write() or done() fail rather than lose them quietly.
TEST(LASchunkRaw, RefusedBytesFailTheWriter) {
  LASquantizer quantizer;
  LASpoint p;
  ASSERT_TRUE(p.init(&quantizer, 1, 28));
  const uint32_t per_block = LASchunkWriter::block_bytes / 28;
  struct Case {
    const char* name;
    uint32_t points;
    int64_t capacity;
    bool writes_ok;
    bool done_ok;
  } cases[] = {
      {"everything fits", per_block + 5, int64_t(per_block + 5) * 28, true, true},
      {"last partial block refused", per_block + 5, int64_t(per_block) * 28, true, false},
      {"first block refused", per_block + 5, 100, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ByteStreamOutFull stream(c.capacity);
    LASchunkWriter writer;
    ASSERT_TRUE(writer.setup(p.num_items, p.items));
    ASSERT_TRUE(writer.init(&stream));
    bool writes_ok = true;
    for (uint32_t i = 0; i < c.points; i++) writes_ok = writer.write(p.point) && writes_ok;
    EXPECT_EQ(writes_ok, c.writes_ok);
    EXPECT_EQ(writer.done(), c.done_ok);
  }
}

}  // namespace
