#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "las/bytestreamin_array.h"
#include "las/bytestreamin_file.h"
#include "las/bytestreaminout_file.h"
#include "las/bytestreamout_array.h"
#include "las/bytestreamout_file.h"
#include "las/bytestreamout_nil.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A FILE* holding the given bytes, positioned at the start.
struct TempFile {
  FILE* file = tmpfile();
  explicit TempFile(const Bytes& bytes = {}) {
    if (file && !bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), file);
    if (file) rewind(file);
  }
  ~TempFile() {
    if (file) fclose(file);
  }
  Bytes contents() {
    fflush(file);
    rewind(file);
    Bytes bytes;
    int c;
    while ((c = getc(file)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
    return bytes;
  }
};

// A mixed record of fields in both byte orders, written and read the same way.
struct Fields {
  uint8_t byte = 0;
  uint16_t u16_le = 0;
  uint32_t u32_le = 0;
  uint64_t u64_le = 0;
  uint16_t u16_be = 0;
  uint32_t u32_be = 0;
  uint64_t u64_be = 0;
  uint8_t raw[3] = {};
};

const Fields kFields = {0xA5, 0x1234, 0xDEADBEEF, 0x0102030405060708ull, 0xFEDC, 0x80000001u,
                        0xFFEEDDCCBBAA9988ull, {7, 8, 9}};

// Field bytes as stored when the "_le" writes go to a little-endian target.
const Bytes kFieldBytes = {0xA5, 0x34, 0x12, 0xEF, 0xBE, 0xAD, 0xDE, 0x08, 0x07, 0x06, 0x05, 0x04,
                           0x03, 0x02, 0x01, 0xFE, 0xDC, 0x80, 0x00, 0x00, 0x01, 0xFF, 0xEE, 0xDD,
                           0xCC, 0xBB, 0xAA, 0x99, 0x88, 7,    8,    9};

bool write_fields(ByteStreamOut& out, const Fields& f) {
  return out.put_byte(f.byte) && out.put_16bits_le(reinterpret_cast<const uint8_t*>(&f.u16_le)) &&
         out.put_32bits_le(reinterpret_cast<const uint8_t*>(&f.u32_le)) &&
         out.put_64bits_le(reinterpret_cast<const uint8_t*>(&f.u64_le)) &&
         out.put_16bits_be(reinterpret_cast<const uint8_t*>(&f.u16_be)) &&
         out.put_32bits_be(reinterpret_cast<const uint8_t*>(&f.u32_be)) &&
         out.put_64bits_be(reinterpret_cast<const uint8_t*>(&f.u64_be)) && out.put_bytes(f.raw, 3);
}

Fields read_fields(ByteStreamIn& in) {
  Fields f;
  f.byte = static_cast<uint8_t>(in.get_byte());
  in.get_16bits_le(reinterpret_cast<uint8_t*>(&f.u16_le));
  in.get_32bits_le(reinterpret_cast<uint8_t*>(&f.u32_le));
  in.get_64bits_le(reinterpret_cast<uint8_t*>(&f.u64_le));
  in.get_16bits_be(reinterpret_cast<uint8_t*>(&f.u16_be));
  in.get_32bits_be(reinterpret_cast<uint8_t*>(&f.u32_be));
  in.get_64bits_be(reinterpret_cast<uint8_t*>(&f.u64_be));
  in.get_bytes(f.raw, 3);
  return f;
}

void expect_fields_eq(const Fields& a, const Fields& b) {
  EXPECT_EQ(a.byte, b.byte);
  EXPECT_EQ(a.u16_le, b.u16_le);
  EXPECT_EQ(a.u32_le, b.u32_le);
  EXPECT_EQ(a.u64_le, b.u64_le);
  EXPECT_EQ(a.u16_be, b.u16_be);
  EXPECT_EQ(a.u32_be, b.u32_be);
  EXPECT_EQ(a.u64_be, b.u64_be);
  EXPECT_EQ(0, memcmp(a.raw, b.raw, 3));
}

Bytes reversed_fields(const Bytes& le) {
  // The same fields with every multi-byte field in the other byte order.
  Bytes be = le;
  auto flip = [&](size_t at, size_t n) {
    for (size_t i = 0; i < n; i++) be[at + i] = le[at + n - 1 - i];
  };
  flip(1, 2);
  flip(3, 4);
  flip(7, 8);
  flip(15, 2);
  flip(17, 4);
  flip(21, 8);
  return be;
}

TEST(ByteStreamOut, FieldsAreStoredInTheirByteOrder) {
  struct Case {
    const char* name;
    std::function<Bytes()> write;
  };
  const Case cases[] = {
      {"memory",
       [] {
         ByteStreamOutArrayLE out;
         EXPECT_TRUE(write_fields(out, kFields));
         return Bytes(out.get_data(), out.get_data() + out.get_size());
       }},
      {"file",
       [] {
         TempFile tmp;
         ByteStreamOutFileLE out(tmp.file);
         EXPECT_TRUE(write_fields(out, kFields));
         EXPECT_EQ(out.tell(), static_cast<int64_t>(kFieldBytes.size()));
         return tmp.contents();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.write(), kFieldBytes);
  }
}

TEST(ByteStreamIn, FieldsRoundTripInBothByteOrders) {
  // The LE readers see the bytes as written; the BE file reader sees the
  // byte-swapped image of the same record, so its "_le" reads reverse.
  struct Case {
    const char* name;
    Bytes stored;
    std::function<std::unique_ptr<ByteStreamIn>(TempFile&, const Bytes&)> open;
  };
  const Case cases[] = {
      {"memory LE", kFieldBytes,
       [](TempFile&, const Bytes& b) { return std::make_unique<ByteStreamInArrayLE>(b.data(), b.size()); }},
      {"file LE", kFieldBytes, [](TempFile& t, const Bytes&) { return std::make_unique<ByteStreamInFileLE>(t.file); }},
      {"file BE", reversed_fields(kFieldBytes),
       [](TempFile& t, const Bytes&) { return std::make_unique<ByteStreamInFileBE>(t.file); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile tmp(c.stored);
    std::unique_ptr<ByteStreamIn> in = c.open(tmp, c.stored);
    expect_fields_eq(read_fields(*in), kFields);
    EXPECT_EQ(in->tell(), static_cast<int64_t>(c.stored.size()));
    EXPECT_THROW(in->get_byte(), int);
  }
}

TEST(ByteStreamIn, DocumentedByteOrderExamples) {
  uint16_t v = 258;
  ByteStreamOutArrayLE out;
  ASSERT_TRUE(out.put_16bits_be(reinterpret_cast<uint8_t*>(&v)));
  ASSERT_TRUE(out.put_16bits_le(reinterpret_cast<uint8_t*>(&v)));
  EXPECT_EQ(Bytes(out.get_data(), out.get_data() + out.get_size()), (Bytes{0x01, 0x02, 0x02, 0x01}));

  TempFile tmp({0x00, 0x00, 0x01, 0x02});
  ByteStreamInFileBE in(tmp.file);
  uint32_t u = 0;
  in.get_32bits_le(reinterpret_cast<uint8_t*>(&u));
  EXPECT_EQ(u, 0x00000102u);
}

TEST(ByteStreamIn, EveryReadThrowsEndOfDataWhenShort) {
  // Each read is tried on a source one byte shorter than it needs.
  struct Read {
    const char* name;
    uint32_t width;
    std::function<void(ByteStreamIn&, uint8_t*)> read;
  };
  const Read reads[] = {
      {"get_byte", 1, [](ByteStreamIn& in, uint8_t*) { in.get_byte(); }},
      {"get_bytes", 5, [](ByteStreamIn& in, uint8_t* d) { in.get_bytes(d, 5); }},
      {"get_16bits_le", 2, [](ByteStreamIn& in, uint8_t* d) { in.get_16bits_le(d); }},
      {"get_32bits_le", 4, [](ByteStreamIn& in, uint8_t* d) { in.get_32bits_le(d); }},
      {"get_64bits_le", 8, [](ByteStreamIn& in, uint8_t* d) { in.get_64bits_le(d); }},
      {"get_16bits_be", 2, [](ByteStreamIn& in, uint8_t* d) { in.get_16bits_be(d); }},
      {"get_32bits_be", 4, [](ByteStreamIn& in, uint8_t* d) { in.get_32bits_be(d); }},
      {"get_64bits_be", 8, [](ByteStreamIn& in, uint8_t* d) { in.get_64bits_be(d); }},
  };
  const Bytes source = {1, 2, 3, 4, 5, 6, 7, 8};
  for (const Read& r : reads) {
    for (int kind = 0; kind < 3; kind++) {
      SCOPED_TRACE(std::string(r.name) + (kind == 0 ? " memory" : kind == 1 ? " file LE" : " file BE"));
      Bytes shorter(source.begin(), source.begin() + (r.width - 1));
      TempFile tmp(shorter);
      std::unique_ptr<ByteStreamIn> in;
      if (kind == 0) in = std::make_unique<ByteStreamInArrayLE>(shorter.data(), shorter.size());
      if (kind == 1) in = std::make_unique<ByteStreamInFileLE>(tmp.file);
      if (kind == 2) in = std::make_unique<ByteStreamInFileBE>(tmp.file);
      uint8_t dest[8] = {};
      try {
        r.read(*in, dest);
        ADD_FAILURE() << "no exception";
      } catch (int e) {
        EXPECT_EQ(e, byte_stream_end_of_data);
      }
      // A complete read of the same width still works on a long enough source.
      ByteStreamInArrayLE full(source.data(), source.size());
      EXPECT_NO_THROW(r.read(full, dest));
    }
  }
}

TEST(ByteStreamInArray, ShortReadCopiesNothingAndKeepsPosition) {
  const Bytes source = {1, 2, 3};
  ByteStreamInArrayLE in(source.data(), source.size());
  in.get_byte();
  uint8_t dest[4] = {9, 9, 9, 9};
  EXPECT_THROW(in.get_32bits_le(dest), int);
  EXPECT_EQ(Bytes(dest, dest + 4), (Bytes{9, 9, 9, 9}));
  EXPECT_EQ(in.tell(), 1);
  in.get_bytes(dest, 2);
  EXPECT_EQ(dest[0], 2);
  EXPECT_EQ(dest[1], 3);
  // Zero bytes at the end of data succeed.
  EXPECT_NO_THROW(in.get_bytes(dest, 0));
}

TEST(ByteStreamInArray, EmptyAndNullBlocks) {
  const uint8_t some[10] = {};
  struct Case {
    const char* name;
    const uint8_t* data;
    int64_t size;
  };
  const Case cases[] = {{"size 0", some, 0}, {"null data with a size", nullptr, 10}, {"default", nullptr, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ByteStreamInArrayLE in;
    ASSERT_TRUE(in.init(c.data, c.size));
    EXPECT_THROW(in.get_byte(), int);
    EXPECT_NO_THROW(in.get_bytes(nullptr, 0));
    EXPECT_TRUE(in.seek(0));
    EXPECT_TRUE(in.seek_end(0));
    EXPECT_FALSE(in.seek(1));
    EXPECT_FALSE(in.seek_end(1));
    EXPECT_EQ(in.tell(), 0);
  }
  ByteStreamInArrayLE in(some, 10);
  EXPECT_FALSE(in.init(some, -1));
  EXPECT_EQ(in.get_byte(), 0u);  // the earlier block stays attached
}

TEST(ByteStreamIn, SeekTellAndSkipOnMemoryAndFile) {
  const Bytes source = {10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
  TempFile tmp(source);
  ByteStreamInArrayLE memory(source.data(), source.size());
  ByteStreamInFileLE file(tmp.file);
  for (ByteStreamIn* in : {static_cast<ByteStreamIn*>(&memory), static_cast<ByteStreamIn*>(&file)}) {
    SCOPED_TRACE(in == &memory ? "memory" : "file");
    EXPECT_TRUE(in->is_seekable());
    EXPECT_TRUE(in->seek(4));
    EXPECT_EQ(in->tell(), 4);
    EXPECT_EQ(in->get_byte(), 14u);
    EXPECT_TRUE(in->skip_bytes(3));
    EXPECT_EQ(in->get_byte(), 18u);
    EXPECT_TRUE(in->seek_end(3));
    EXPECT_EQ(in->tell(), 7);
    EXPECT_EQ(in->get_byte(), 17u);
    EXPECT_TRUE(in->seek_end());
    EXPECT_EQ(in->tell(), 10);
    EXPECT_THROW(in->get_byte(), int);
    EXPECT_TRUE(in->seek(0));
    EXPECT_EQ(in->get_byte(), 10u);
    EXPECT_FALSE(in->seek(-1));
    EXPECT_FALSE(in->seek_end(11));
  }
  // Memory refuses positions past the end; a file may seek there but reads nothing.
  EXPECT_FALSE(memory.seek(11));
  EXPECT_FALSE(memory.skip_bytes(100));
  EXPECT_EQ(memory.tell(), 1);
  EXPECT_FALSE(memory.seek_end(-1));

  ByteStreamInFileLE standard_input(stdin);
  EXPECT_FALSE(standard_input.is_seekable());
}

TEST(ByteStreamOutArray, RewritingInsideKeepsTheHighWaterMark) {
  ByteStreamOutArrayLE out;
  const Bytes ten = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  ASSERT_TRUE(out.put_bytes(ten.data(), 10));
  ASSERT_TRUE(out.seek(4));
  const uint8_t two[2] = {40, 50};
  ASSERT_TRUE(out.put_bytes(two, 2));
  EXPECT_EQ(out.get_size(), 10);
  EXPECT_EQ(out.tell(), 6);
  EXPECT_FALSE(out.seek(11));
  EXPECT_FALSE(out.seek(-1));
  EXPECT_EQ(out.tell(), 6);
  ASSERT_TRUE(out.seek(9));
  ASSERT_TRUE(out.put_byte(90));
  ASSERT_TRUE(out.put_byte(100));  // one past the old end extends the size
  EXPECT_EQ(out.get_size(), 11);
  EXPECT_TRUE(out.seek_end());
  EXPECT_EQ(out.tell(), 11);
  EXPECT_EQ(Bytes(out.get_data(), out.get_data() + out.get_size()), (Bytes{0, 1, 2, 3, 40, 50, 6, 7, 8, 90, 100}));
}

TEST(ByteStreamOutArray, GrowsBeyondItsFirstAllocationAndHandsOverItsBuffer) {
  struct Case {
    const char* name;
    int64_t initial;
  };
  const Case cases[] = {{"no allocation", 0}, {"tiny", 3}, {"default", 4096}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ByteStreamOutArrayLE out(c.initial);
    Bytes expected;
    for (uint32_t i = 0; i < 5000; i++) {
      uint8_t b = static_cast<uint8_t>(i * 7);
      ASSERT_TRUE(out.put_byte(b));
      expected.push_back(b);
    }
    Bytes block(10000, 0x5A);
    ASSERT_TRUE(out.put_bytes(block.data(), static_cast<uint32_t>(block.size())));
    expected.insert(expected.end(), block.begin(), block.end());
    ASSERT_EQ(out.get_size(), static_cast<int64_t>(expected.size()));
    EXPECT_EQ(0, memcmp(out.get_data(), expected.data(), expected.size()));

    uint8_t* taken = out.take_data();
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(0, memcmp(taken, expected.data(), expected.size()));
    free(taken);
    EXPECT_EQ(out.get_data(), nullptr);
    EXPECT_EQ(out.get_size(), 0);
    EXPECT_EQ(out.tell(), 0);
    // The stream starts again with a new buffer.
    ASSERT_TRUE(out.put_byte(1));
    EXPECT_EQ(out.get_size(), 1);
  }
}

TEST(ByteStreamOutArray, GrowthPastTheCapFailsAndStaysFailed) {
  // A write that would need a buffer of 4 GiB or more is refused before any
  // byte is copied, and the stream refuses every later write so a lost write
  // can never be followed by one that looks successful.
  ByteStreamOutArrayLE out;
  ASSERT_TRUE(out.put_byte(7));
  uint8_t small[4] = {};
  EXPECT_FALSE(out.put_bytes(small, 0xFFFFFFFFu));
  EXPECT_TRUE(out.has_failed());
  EXPECT_FALSE(out.put_byte(8));
  EXPECT_FALSE(out.put_bytes(small, 1));
  uint32_t v = 1;
  EXPECT_FALSE(out.put_32bits_le(reinterpret_cast<uint8_t*>(&v)));
  EXPECT_EQ(out.get_size(), 1);
  EXPECT_EQ(out.get_data()[0], 7);
}

TEST(ByteStreamOutNil, CountsEveryWriteAndNeverMoves) {
  ByteStreamOutNil nil;
  EXPECT_TRUE(write_fields(nil, kFields));
  EXPECT_EQ(nil.tell(), static_cast<int64_t>(kFieldBytes.size()));
  EXPECT_TRUE(nil.is_seekable());
  EXPECT_TRUE(nil.seek(0));
  EXPECT_TRUE(nil.seek_end());
  EXPECT_EQ(nil.tell(), static_cast<int64_t>(kFieldBytes.size()));
  EXPECT_TRUE(nil.put_bytes(nullptr, 1000));
  EXPECT_EQ(nil.tell(), static_cast<int64_t>(kFieldBytes.size()) + 1000);
}

TEST(ByteStreamOutFile, SeekTellAndFailures) {
  TempFile tmp;
  ByteStreamOutFileLE out(tmp.file);
  EXPECT_TRUE(out.is_seekable());
  const Bytes six = {1, 2, 3, 4, 5, 6};
  ASSERT_TRUE(out.put_bytes(six.data(), 6));
  ASSERT_TRUE(out.seek(2));
  ASSERT_TRUE(out.put_byte(30));
  EXPECT_EQ(out.tell(), 3);
  ASSERT_TRUE(out.seek_end());
  EXPECT_EQ(out.tell(), 6);
  EXPECT_EQ(tmp.contents(), (Bytes{1, 2, 30, 4, 5, 6}));

  ByteStreamOutFileLE standard_output(stdout);
  EXPECT_FALSE(standard_output.is_seekable());

  // Writes into a file opened read-only report false.
  std::string path = testing::TempDir() + "bytestream_read_only.bin";
  FILE* created = fopen(path.c_str(), "wb");
  ASSERT_NE(created, nullptr);
  fclose(created);
  FILE* read_only = fopen(path.c_str(), "rb");
  ASSERT_NE(read_only, nullptr);
  {
    ByteStreamOutFileLE refused(read_only);
    EXPECT_FALSE(refused.put_byte(1));
    uint64_t v = 1;
    EXPECT_FALSE(refused.put_64bits_le(reinterpret_cast<uint8_t*>(&v)));
    EXPECT_FALSE(refused.put_64bits_be(reinterpret_cast<uint8_t*>(&v)));
  }
  fclose(read_only);
  remove(path.c_str());
}

TEST(ByteStreamOut, PutBitsPacksLeastSignificantFirst) {
  struct Put {
    uint32_t value;
    uint32_t bits;
  };
  struct Case {
    const char* name;
    std::vector<Put> puts;
    Bytes written;
  };
  const Case cases[] = {
      // 20 + 20 bits: one word goes out at once, 8 bits stay buffered.
      {"20 then 20", {{0xABCDE, 20}, {0x12345, 20}}, {0xDE, 0xBC, 0x5A, 0x34}},
      {"one full word", {{0xCAFEBABE, 32}}, {0xBE, 0xBA, 0xFE, 0xCA}},
      // Bits above the count are ignored.
      {"high bits masked", {{0xFFFFFFFF, 4}, {0, 28}}, {0x0F, 0, 0, 0}},
      {"zero bits", {{0xFFFFFFFF, 0}, {0x1, 31}, {0x1, 1}}, {0x01, 0, 0, 0x80}},
      {"spans two words", {{0x7, 3}, {0xFFFFFFFF, 32}, {0, 29}}, {0xFF, 0xFF, 0xFF, 0xFF, 0x07, 0, 0, 0}},
      {"not yet a word", {{0x1FFFFF, 31}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ByteStreamOutArrayLE out;
    for (const Put& p : c.puts) ASSERT_TRUE(out.put_bits(p.value, p.bits));
    EXPECT_EQ(Bytes(out.get_data(), out.get_data() + out.get_size()), c.written);
  }
  ByteStreamOutArrayLE out;
  EXPECT_FALSE(out.put_bits(1, 33));
  EXPECT_EQ(out.get_size(), 0);
}

TEST(ByteStreamInOutFile, ReadsAndWritesOneFileThroughBothInterfaces) {
  TempFile tmp({1, 2, 3, 4, 5, 6, 7, 8});
  ByteStreamInOutFileLE both(tmp.file);
  ByteStreamIn& in = both;
  ByteStreamOut& out = both;
  EXPECT_TRUE(in.is_seekable());
  EXPECT_TRUE(out.is_seekable());
  uint32_t first = 0;
  in.get_32bits_le(reinterpret_cast<uint8_t*>(&first));
  EXPECT_EQ(first, 0x04030201u);
  // Switching from reading to writing at the current position.
  ASSERT_TRUE(out.seek(in.tell()));
  uint16_t patch = 0xBBAA;
  ASSERT_TRUE(out.put_16bits_le(reinterpret_cast<uint8_t*>(&patch)));
  EXPECT_EQ(out.tell(), 6);
  ASSERT_TRUE(in.seek(4));
  EXPECT_EQ(in.get_byte(), 0xAAu);
  EXPECT_EQ(in.get_byte(), 0xBBu);
  EXPECT_EQ(in.get_byte(), 7u);
  ASSERT_TRUE(out.seek_end());
  ASSERT_TRUE(out.put_byte(9));
  ASSERT_TRUE(in.seek_end(1));
  EXPECT_EQ(in.get_byte(), 9u);
  EXPECT_EQ(tmp.contents(), (Bytes{1, 2, 3, 4, 0xAA, 0xBB, 7, 8, 9}));
}

}  // namespace
