#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "compression/qopack.h"
#include "las/bytestreamin_array.h"
#include "las/bytestreamout_array.h"
#include "las/lasheader.h"

namespace {

using Items = std::vector<LASitem>;

const LASitem P10(LASitem::POINT10, 20);
const LASitem GPS(LASitem::GPSTIME11, 8);
const LASitem RGB(LASitem::RGB12, 6);
const LASitem W13(LASitem::WAVEPACKET13, 29);
const LASitem P14(LASitem::POINT14, 30);
const LASitem RGB14(LASitem::RGB14, 6);
const LASitem NIR14(LASitem::RGBNIR14, 8);
const LASitem W14(LASitem::WAVEPACKET14, 29);

LASitem byte_item(uint16_t n) { return LASitem(LASitem::BYTE, n); }
LASitem byte14_item(uint16_t n) { return LASitem(LASitem::BYTE14, n); }

std::string with_suffix(const std::string& text) { return text + " (Qopack v3.4r3)"; }

Items items_of(const Qopack& q) { return Items(q.items, q.items + q.num_items); }

// A stream that accepts `capacity` bytes and refuses the write that would pass
// them.
class ShortStream : public ByteStreamOutArrayLE {
 public:
  explicit ShortStream(int64_t capacity) : capacity(capacity) {}
  bool put_byte(uint8_t byte) override { return room(1) && ByteStreamOutArray::put_byte(byte); }
  bool put_bytes(const uint8_t* bytes, uint32_t n) override { return room(n) && ByteStreamOutArray::put_bytes(bytes, n); }

 private:
  bool room(int64_t n) const { return tell() + n <= capacity; }
  int64_t capacity;
};

TEST(QopackSetup, ItemListOfEveryPointType) {
  struct Case {
    uint8_t point_type;
    uint16_t point_size;
    Items expected;
    std::string warning;
  };
  const Case cases[] = {
      {0, 20, {P10}, ""},
      {0, 23, {P10, byte_item(3)}, ""},
      {1, 28, {P10, GPS}, ""},
      {1, 30, {P10, GPS, byte_item(2)}, ""},
      {1, 26, {P10, GPS},
       "WARNING: point size 26 too small by 2 bytes for point type 1. assuming point_size of 28\n"},
      {2, 26, {P10, RGB}, ""},
      {2, 27, {P10, RGB, byte_item(1)}, ""},
      {3, 34, {P10, GPS, RGB}, ""},
      {3, 30, {P10, GPS, RGB},
       "WARNING: point size 30 too small by 4 bytes for point type 3. assuming point_size of 34\n"},
      {3, 65535, {P10, GPS, RGB, byte_item(65501)}, ""},
      {4, 57, {P10, GPS, W13}, ""},
      {4, 61, {P10, GPS, W13, byte_item(4)}, ""},
      {5, 63, {P10, GPS, RGB, W13}, ""},
      {5, 64, {P10, GPS, RGB, W13, byte_item(1)}, ""},
      {6, 30, {P14}, ""},
      {6, 40, {P14, byte14_item(10)}, ""},
      {6, 0, {P14}, "WARNING: point size 0 too small by 30 bytes for point type 6. assuming point_size of 30\n"},
      {7, 36, {P14, RGB14}, ""},
      {7, 38, {P14, RGB14, byte14_item(2)}, ""},
      {8, 38, {P14, NIR14}, ""},
      {8, 39, {P14, NIR14, byte14_item(1)}, ""},
      {9, 59, {P14, W14}, ""},
      {9, 60, {P14, W14, byte14_item(1)}, ""},
      {10, 67, {P14, NIR14, W14}, ""},
      {10, 70, {P14, NIR14, W14, byte14_item(3)}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("point type " + std::to_string(c.point_type) + " size " + std::to_string(c.point_size));
    Qopack qopack;
    Items items = {LASitem(LASitem::RGB12, 1)};  // replaced, not appended to
    testing::internal::CaptureStderr();
    ASSERT_TRUE(qopack.setup(items, c.point_type, c.point_size, Qopack::COMPRESSOR_NONE));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.warning);
    EXPECT_EQ(items, c.expected);
    // The descriptor's own list is not touched.
    EXPECT_EQ(qopack.num_items, 0);
    // A derived list always describes its point size (or the format's base
    // size when the given one was too small), and is standard.
    Qopack standard;
    ASSERT_TRUE(standard.setup(static_cast<uint16_t>(items.size()), items.data(), Qopack::COMPRESSOR_NONE));
    uint8_t type = 0;
    uint16_t length = 0;
    EXPECT_TRUE(standard.is_standard(type, length));
    EXPECT_EQ(type, c.point_type);
    EXPECT_EQ(length, c.warning.empty() ? c.point_size : LASitem::base_size(c.point_type));
  }

  Qopack qopack;
  Items items;
  EXPECT_FALSE(qopack.setup(items, 11, 30));
  EXPECT_EQ(qopack.get_error(), with_suffix("point type 11 unknown"));
  EXPECT_TRUE(items.empty());
}

TEST(QopackSetup, CompressorKindFollowsTheItems) {
  struct Case {
    const char* name;
    Items items;
    uint16_t requested;
    uint32_t chunk_size_before;
    bool ok;
    uint16_t compressor;
    uint32_t chunk_size;
    std::string error;
  };
  const Case cases[] = {
      {"POINT14 with kind 2 is refused", {P14}, 2, 50000, false, 2, 50000, ""},
      {"POINT14 with kind 1 is refused", {P14, RGB14}, 1, 50000, false, 2, 50000, ""},
      {"POINT14 keeps kind 3", {P14, RGB14}, 3, 50000, true, 3, 50000, ""},
      {"POINT14 uncompressed", {P14}, 0, 50000, true, 0, 50000, ""},
      {"POINT10 with kind 3 ends with 2", {P10, GPS}, 3, 50000, true, 2, 50000, ""},
      {"POINT10 pointwise", {P10}, 1, 0, true, 1, 0, ""},
      {"POINT10 chunked", {P10, RGB}, 2, 1000, true, 2, 1000, ""},
      {"chunk size 0 becomes the default", {P10}, 2, 0, true, 2, 50000, ""},
      {"chunk size 0 becomes the default for kind 3", {P14}, 3, 0, true, 3, 50000, ""},
      {"chunk size 0 stays without compression", {P10}, 0, 0, true, 0, 0, ""},
      {"compressor 5", {P10}, 5, 50000, false, 2, 50000, "compressor 5 not supported"},
      {"compressor 4", {P10}, 4, 50000, false, 2, 50000, "compressor 4 not supported"},
      {"bad item", {P10, LASitem(LASitem::GPSTIME11, 9)}, 2, 50000, false, 2, 50000, "GPSTIME11 has size != 8"},
      {"no items", {}, 2, 50000, false, 2, 50000, "number of items cannot be zero"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Qopack qopack;
    qopack.chunk_size = c.chunk_size_before;
    EXPECT_EQ(qopack.setup(static_cast<uint16_t>(c.items.size()), c.items.data(), c.requested), c.ok);
    EXPECT_EQ(qopack.compressor, c.compressor);
    EXPECT_EQ(qopack.chunk_size, c.chunk_size);
    EXPECT_EQ(items_of(qopack), c.ok ? c.items : Items());
    EXPECT_EQ(qopack.get_error(), c.error.empty() ? std::string() : with_suffix(c.error));
  }

  // A second setup replaces the list.
  Qopack qopack;
  Items first = {P10, GPS, RGB};
  Items second = {P10};
  ASSERT_TRUE(qopack.setup(3, first.data(), 2));
  ASSERT_TRUE(qopack.setup(1, second.data(), 2));
  EXPECT_EQ(items_of(qopack), second);
  EXPECT_FALSE(qopack.setup(1, nullptr, 2));
  EXPECT_EQ(qopack.get_error(), with_suffix("items pointer cannot be NULL"));
}

TEST(QopackCheck, RefusalsCarryTheirExactText) {
  struct Case {
    Items items;
    uint16_t point_size;
    uint16_t compressor;
    uint16_t coder;
    std::string error;
  };
  const Case cases[] = {
      {{LASitem(static_cast<LASitem::Type>(1), 20, 0)}, 0, 2, 0, "item unknown (1,20,0)"},
      {{P10, LASitem(static_cast<LASitem::Type>(5), 4, 1)}, 0, 2, 0, "item unknown (5,4,1)"},
      {{LASitem(static_cast<LASitem::Type>(15), 1, 2)}, 0, 2, 0, "item unknown (15,1,2)"},
      {{P10, byte_item(0)}, 0, 2, 0, "BYTE has size < 1"},
      {{LASitem(LASitem::POINT10, 19)}, 0, 2, 0, "POINT10 has size != 20"},
      {{P10, LASitem(LASitem::GPSTIME11, 16)}, 0, 2, 0, "GPSTIME11 has size != 8"},
      {{P10, LASitem(LASitem::RGB12, 8)}, 0, 2, 0, "RGB12 has size != 6"},
      {{P10, LASitem(LASitem::WAVEPACKET13, 28)}, 0, 2, 0, "WAVEPACKET13 has size != 29"},
      {{LASitem(LASitem::POINT14, 20)}, 0, 3, 0, "POINT14 has size != 30"},
      {{P14, LASitem(LASitem::RGB14, 8)}, 0, 3, 0, "RGB14 has size != 6"},
      {{P14, LASitem(LASitem::RGBNIR14, 6)}, 0, 3, 0, "RGBNIR14 has size != 8"},
      {{P14, LASitem(LASitem::WAVEPACKET14, 30)}, 0, 3, 0, "WAVEPACKET14 has size != 29"},
      {{P14, byte14_item(0)}, 0, 3, 0, "BYTE14 has size < 1"},
      {{P10, LASitem(LASitem::BYTE, 2, 3)}, 0, 2, 0, "BYTE has version > 2"},
      {{LASitem(LASitem::POINT10, 20, 3)}, 0, 2, 0, "POINT10 has version > 2"},
      {{P10, LASitem(LASitem::GPSTIME11, 8, 3)}, 0, 2, 0, "GPSTIME11 has version > 2"},
      {{P10, LASitem(LASitem::RGB12, 6, 4)}, 0, 2, 0, "RGB12 has version > 2"},
      {{P10, LASitem(LASitem::WAVEPACKET13, 29, 2)}, 0, 2, 0, "WAVEPACKET13 has version > 1"},
      {{LASitem(LASitem::POINT14, 30, 1)}, 0, 3, 0, "POINT14 has version != 0 and != 2 and != 3 and != 4"},
      {{LASitem(LASitem::POINT14, 30, 5)}, 0, 3, 0, "POINT14 has version != 0 and != 2 and != 3 and != 4"},
      {{P14, LASitem(LASitem::RGB14, 6, 1)}, 0, 3, 0, "RGB14 has version != 0 and != 2 and != 3 and != 4"},
      {{P14, LASitem(LASitem::RGBNIR14, 8, 5)}, 0, 3, 0, "RGBNIR14 has version != 0 and != 2 and != 3 and != 4"},
      {{P14, LASitem(LASitem::WAVEPACKET14, 29, 2)}, 0, 3, 0, "WAVEPACKET14 has version != 0 and != 3 and != 4"},
      {{P14, LASitem(LASitem::BYTE14, 1, 1)}, 0, 3, 0, "BYTE14 has version != 0 and != 2 and != 3 and != 4"},
      {{LASitem(LASitem::POINT14, 30, 65535)}, 0, 3, 0, "POINT14 has version != 0 and != 2 and != 3 and != 4"},
      // The first bad item decides.
      {{LASitem(LASitem::POINT10, 21), LASitem(LASitem::GPSTIME11, 9)}, 0, 2, 0, "POINT10 has size != 20"},
      {{P10, GPS}, 30, 2, 0, "point has size of 30 but items only add up to 28 bytes"},
      {{P10, GPS}, 20, 2, 0, "point has size of 20 but items only add up to 28 bytes"},
      // Sizes are summed without wrapping: 20 + 65535 + 1 bytes are not a
      // point of 20 bytes.
      {{P10, byte_item(65535), byte_item(1)}, 20, 2, 0,
       "point has size of 20 but items only add up to 65556 bytes"},
      {{P10, byte_item(65535)}, 0, 2, 0, "point has size of 0 but items only add up to 65555 bytes"},
      {{}, 20, 2, 0, "number of items cannot be zero"},
      {{P10}, 20, 4, 0, "compressor 4 not supported"},
      {{P10}, 20, 65535, 0, "compressor 65535 not supported"},
      {{P10}, 20, 2, 1, "coder 1 not supported"},
      // The compressor is checked before the coder, the coder before the items.
      {{LASitem(LASitem::POINT10, 1)}, 20, 9, 7, "compressor 9 not supported"},
      {{LASitem(LASitem::POINT10, 1)}, 20, 2, 7, "coder 7 not supported"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    Qopack qopack;
    qopack.compressor = c.compressor;
    qopack.coder = c.coder;
    qopack.num_items = static_cast<uint16_t>(c.items.size());
    qopack.items = c.items.empty() ? nullptr : new LASitem[c.items.size()];
    for (size_t i = 0; i < c.items.size(); i++) qopack.items[i] = c.items[i];
    EXPECT_FALSE(qopack.check(c.point_size));
    EXPECT_EQ(qopack.get_error(), with_suffix(c.error));
  }
}

TEST(QopackCheck, AcceptsEveryListedVersion) {
  struct Case {
    LASitem first;
    LASitem item;
    std::vector<uint16_t> versions;
  };
  const Case cases[] = {
      {P10, byte_item(3), {0, 1, 2}},
      {P10, P10, {0, 1, 2}},
      {P10, GPS, {0, 1, 2}},
      {P10, RGB, {0, 1, 2}},
      {P10, W13, {0, 1}},
      {P14, P14, {0, 2, 3, 4}},
      {P14, RGB14, {0, 2, 3, 4}},
      {P14, NIR14, {0, 2, 3, 4}},
      {P14, W14, {0, 3, 4}},
      {P14, byte14_item(7), {0, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    for (uint16_t version : c.versions) {
      SCOPED_TRACE(std::string(c.item.get_name()) + " version " + std::to_string(version));
      LASitem item = c.item;
      item.version = version;
      Items items = {c.first, item};
      Qopack qopack;
      ASSERT_TRUE(qopack.setup(2, items.data(), Qopack::COMPRESSOR_LAYERED_CHUNKED)) << qopack.get_error();
      EXPECT_TRUE(qopack.check(static_cast<uint16_t>(c.first.size + item.size))) << qopack.get_error();
      EXPECT_TRUE(qopack.check(0));
    }
  }
}

TEST(QopackIsStandard, RecognisesEveryPointTypeAndNothingElse) {
  struct Case {
    const char* name;
    Items items;
    bool standard;
    uint8_t point_type;
    uint16_t record_length;
    std::string error;
  };
  const std::string mismatch = "LASitem array does not match LAS specification 1.4";
  const Case cases[] = {
      {"0", {P10}, true, 0, 20, ""},
      {"0 with extra bytes", {P10, byte_item(5)}, true, 0, 25, ""},
      {"1", {P10, GPS}, true, 1, 28, ""},
      {"2", {P10, RGB, byte_item(1)}, true, 2, 27, ""},
      {"3", {P10, GPS, RGB}, true, 3, 34, ""},
      {"4", {P10, GPS, W13, byte_item(3)}, true, 4, 60, ""},
      {"5", {P10, GPS, RGB, W13, byte_item(2)}, true, 5, 65, ""},
      {"6", {P14}, true, 6, 30, ""},
      {"6 with legacy extra bytes", {P14, byte_item(2)}, true, 6, 32, ""},
      {"7", {P14, RGB14, byte14_item(4)}, true, 7, 40, ""},
      {"8", {P14, NIR14}, true, 8, 38, ""},
      {"9", {P14, W14}, true, 9, 59, ""},
      {"9 with a legacy wave packet", {P14, W13}, true, 9, 59, ""},
      {"10", {P14, NIR14, W14, byte14_item(1)}, true, 10, 68, ""},
      {"10 with a legacy wave packet", {P14, NIR14, W13}, true, 10, 67, ""},
      // Versions do not matter.
      {"compressed 3", {LASitem(LASitem::POINT10, 20, 2), LASitem(LASitem::GPSTIME11, 8, 2), LASitem(LASitem::RGB12, 6, 2)},
       true, 3, 34, ""},
      {"first neither", {GPS, P10}, false, 127, 28, mismatch},
      {"POINT10 of a wrong size", {LASitem(LASitem::POINT10, 22)}, false, 127, 22, mismatch},
      {"items out of order", {P10, RGB, GPS}, false, 127, 34, mismatch},
      {"LAS 1.4 extra bytes after legacy items", {P10, GPS, byte14_item(2)}, false, 127, 30, mismatch},
      {"LAS 1.4 colour after POINT10", {P10, RGB14}, false, 127, 26, mismatch},
      {"legacy colour after POINT14", {P14, RGB}, false, 127, 36, mismatch},
      {"two extra-bytes items", {P10, byte_item(1), byte_item(1)}, false, 127, 22, mismatch},
      {"extra bytes in the middle", {P14, byte14_item(1), RGB14}, false, 127, 37, mismatch},
      {"RGB14 of a wrong size", {P14, LASitem(LASitem::RGB14, 8)}, false, 127, 38, mismatch},
      {"six items", {P10, GPS, RGB, W13, byte_item(1), byte_item(1)}, false, 127, 65,
       "more than five LASitem entries"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Qopack qopack;
    qopack.num_items = static_cast<uint16_t>(c.items.size());
    qopack.items = new LASitem[c.items.size()];
    for (size_t i = 0; i < c.items.size(); i++) qopack.items[i] = c.items[i];
    uint8_t point_type = 200;
    uint16_t record_length = 1;
    EXPECT_EQ(qopack.is_standard(point_type, record_length), c.standard);
    EXPECT_EQ(point_type, c.point_type);
    EXPECT_EQ(record_length, c.record_length);
    EXPECT_EQ(qopack.get_error(), c.error.empty() ? std::string() : with_suffix(c.error));
  }

  // Without items the outputs stay untouched.
  Qopack empty;
  uint8_t point_type = 200;
  uint16_t record_length = 1;
  EXPECT_FALSE(empty.is_standard(point_type, record_length));
  EXPECT_EQ(point_type, 200);
  EXPECT_EQ(record_length, 1);
  EXPECT_EQ(empty.get_error(), with_suffix("LASitem array is zero"));
}

TEST(QopackRequestVersion, SetsVersionsPerItemType) {
  struct Case {
    const char* name;
    Items items;
    uint16_t compressor;
    uint16_t requested;
    bool ok;
    std::vector<uint16_t> versions;
    std::string error;
  };
  const Case cases[] = {
      {"legacy version 2", {P10, GPS, W13}, 2, 2, true, {2, 2, 1}, ""},
      {"legacy version 1", {P10, GPS, RGB, W13, byte_item(2)}, 2, 1, true, {1, 1, 1, 1, 1}, ""},
      {"LAS 1.4 always 3", {P14, byte14_item(4)}, 3, 2, true, {3, 3}, ""},
      {"LAS 1.4 with version 1 is still 3", {P14, NIR14, W14}, 3, 1, true, {3, 3, 3}, ""},
      {"uncompressed LAS 1.4", {P14, RGB14}, 0, 0, true, {3, 3}, ""},
      {"uncompressed legacy", {P10, GPS, W13, byte_item(1)}, 0, 0, true, {0, 0, 1, 0}, ""},
      {"uncompressed asks for 1", {P10}, 0, 1, false, {0}, "without compression version is always 0"},
      {"compressed asks for 0", {P10}, 2, 0, false, {0}, "with compression version is at least 1"},
      {"compressed asks for 3", {P10}, 2, 3, false, {0}, "version larger than 2 not supported"},
      {"unknown item type", {P10, LASitem(static_cast<LASitem::Type>(3), 4)}, 2, 2, false, {0, 0},
       "item type not supported"},
      {"no items", {}, 2, 2, false, {}, "call setup() before requesting version"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Qopack qopack;
    qopack.compressor = c.compressor;
    qopack.num_items = static_cast<uint16_t>(c.items.size());
    qopack.items = c.items.empty() ? nullptr : new LASitem[c.items.size()];
    for (size_t i = 0; i < c.items.size(); i++) qopack.items[i] = c.items[i];
    EXPECT_EQ(qopack.request_version(c.requested), c.ok);
    std::vector<uint16_t> versions;
    for (uint16_t i = 0; i < qopack.num_items; i++) versions.push_back(qopack.items[i].version);
    EXPECT_EQ(versions, c.versions);
    EXPECT_EQ(qopack.get_error(), c.error.empty() ? std::string() : with_suffix(c.error));
    if (c.ok && c.compressor != 0) {
      EXPECT_TRUE(qopack.check(0)) << qopack.get_error();
    }
  }
}

TEST(QopackChunkSize, NeedsItemsAndAChunkedCompressor) {
  Qopack qopack;
  EXPECT_FALSE(qopack.set_chunk_size(1000));
  EXPECT_EQ(qopack.get_error(), with_suffix("call setup() before setting chunk size"));
  EXPECT_EQ(qopack.chunk_size, 50000u);

  Items items = {P10};
  ASSERT_TRUE(qopack.setup(1, items.data(), Qopack::COMPRESSOR_POINTWISE));
  EXPECT_FALSE(qopack.set_chunk_size(1000));
  EXPECT_EQ(qopack.chunk_size, 50000u);

  ASSERT_TRUE(qopack.setup(1, items.data(), Qopack::COMPRESSOR_POINTWISE_CHUNKED));
  EXPECT_TRUE(qopack.set_chunk_size(1000));
  EXPECT_EQ(qopack.chunk_size, 1000u);
  EXPECT_TRUE(qopack.set_chunk_size(0));
  EXPECT_EQ(qopack.chunk_size, 0u);
  ASSERT_TRUE(qopack.setup(1, items.data(), Qopack::COMPRESSOR_NONE));
  EXPECT_TRUE(qopack.set_chunk_size(7));
  EXPECT_EQ(qopack.chunk_size, 7u);
}

TEST(QopackVlr, RecordLayout) {
  Qopack qopack;
  Items items = {P10, GPS, RGB};
  ASSERT_TRUE(qopack.setup(3, items.data(), Qopack::COMPRESSOR_POINTWISE_CHUNKED));
  ASSERT_TRUE(qopack.request_version(2));
  qopack.number_of_special_evlrs = 1;
  qopack.offset_to_special_evlrs = 0x123456789A;
  EXPECT_EQ(qopack.get_payload_size(), 52u);

  ByteStreamOutArrayLE out;
  ASSERT_TRUE(qopack.write_vlr(out));
  ASSERT_EQ(out.get_size(), 54 + 52);
  const uint8_t* b = out.get_data();
  const uint8_t record_header[22] = {0xBB, 0xAA, 'q', 'o', 'p', 'a', 'c', 'k', ' ', 'e', 'n',
                                     'c',  'o',  'd', 'e', 'd', 0,   0,   0xBC, 0x56, 52, 0};
  EXPECT_EQ(0, memcmp(b, record_header, sizeof(record_header)));
  char description[33] = {};
  memcpy(description, b + 22, 32);
  EXPECT_STREQ(description, "by qopack of Quillbox (221128)");
  const uint8_t payload[52] = {
      2, 0, 0, 0, 3, 4, 3, 0,                     // compressor, coder, version 3.4r3
      0, 0, 0, 0, 0x50, 0xC3, 0, 0,               // options, chunk size 50000
      1, 0, 0, 0, 0, 0, 0, 0,                     // special EVLRs
      0x9A, 0x78, 0x56, 0x34, 0x12, 0, 0, 0,      // their offset
      3, 0,                                       // items
      6, 0, 20, 0, 2, 0, 7, 0, 8, 0, 2, 0, 8, 0, 6, 0, 2, 0,
  };
  EXPECT_EQ(0, memcmp(b + 54, payload, sizeof(payload)));
}

TEST(QopackVlr, RoundTripOfEveryPointType) {
  struct Case {
    uint8_t point_type;
    uint16_t point_size;
    uint16_t compressor;
    uint16_t version;
  };
  const Case cases[] = {
      {0, 20, 2, 2}, {1, 30, 2, 1}, {2, 26, 2, 2}, {3, 40, 2, 2}, {4, 57, 2, 2}, {5, 63, 2, 1},
      {6, 30, 3, 2}, {7, 36, 3, 2}, {8, 50, 3, 2}, {9, 59, 3, 2}, {10, 67, 3, 2}, {10, 100, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("point type " + std::to_string(c.point_type) + " size " + std::to_string(c.point_size));
    Qopack written;
    Items items;
    ASSERT_TRUE(written.setup(items, c.point_type, c.point_size));
    ASSERT_TRUE(written.setup(static_cast<uint16_t>(items.size()), items.data(), c.compressor));
    ASSERT_TRUE(written.request_version(c.version));
    ASSERT_TRUE(written.set_chunk_size(12345));
    written.options = 0;

    ByteStreamOutArrayLE out;
    ASSERT_TRUE(written.write_payload(out));
    ASSERT_EQ(out.get_size(), written.get_payload_size());

    Qopack read;
    ASSERT_TRUE(read.unpack(out.get_data(), static_cast<uint32_t>(out.get_size())));
    EXPECT_EQ(read.compressor, written.compressor);
    EXPECT_EQ(read.coder, 0);
    EXPECT_EQ(read.version_major, 3);
    EXPECT_EQ(read.version_minor, 4);
    EXPECT_EQ(read.version_revision, 3);
    EXPECT_EQ(read.chunk_size, 12345u);
    EXPECT_EQ(read.number_of_special_evlrs, -1);
    EXPECT_EQ(read.offset_to_special_evlrs, -1);
    EXPECT_EQ(items_of(read), items_of(written));
    EXPECT_TRUE(read.check(c.point_size)) << read.get_error();
    uint8_t point_type = 0;
    uint16_t record_length = 0;
    EXPECT_TRUE(read.is_standard(point_type, record_length));
    EXPECT_EQ(point_type, c.point_type);
    EXPECT_EQ(record_length, c.point_size);
  }
}

TEST(QopackVlr, TheHeaderOwnsADescriptor) {
  LASheader header;
  header.qopack = std::make_shared<Qopack>();
  Items items = {P14, RGB14};
  ASSERT_TRUE(header.qopack->setup(2, items.data(), Qopack::COMPRESSOR_LAYERED_CHUNKED));
  LASheader working;
  working.take_over(header);
  EXPECT_EQ(header.qopack, nullptr);
  ASSERT_NE(working.qopack, nullptr);
  EXPECT_EQ(working.qopack->num_items, 2);
  working.clean();
  EXPECT_EQ(working.qopack, nullptr);
}

TEST(QopackVlr, CorruptPayloadsAreReportedByField) {
  Qopack source;
  Items items = {P10, GPS};
  ASSERT_TRUE(source.setup(2, items.data(), Qopack::COMPRESSOR_POINTWISE_CHUNKED));
  ByteStreamOutArrayLE out;
  ASSERT_TRUE(source.write_payload(out));
  ASSERT_EQ(out.get_size(), 46);

  struct Cut {
    uint32_t bytes;
    const char* message;
  };
  const Cut cuts[] = {
      {0, "ERROR: reading compressor 0\n"},
      {1, "ERROR: reading compressor 0\n"},
      {2, "ERROR: reading coder 0\n"},
      {4, "ERROR: reading version_major 0\n"},
      {5, "ERROR: reading version_minor 0\n"},
      {6, "ERROR: reading version_revision 0\n"},
      {8, "ERROR: reading options 0\n"},
      {12, "ERROR: reading chunk_size 0\n"},
      {16, "ERROR: reading number_of_special_evlrs 0\n"},
      {24, "ERROR: reading offset_to_special_evlrs 0\n"},
      {32, "ERROR: reading num_items 0\n"},
      {34, "ERROR: reading type 0 of item 0\n"},
      {36, "ERROR: reading size 0 of item 0\n"},
      {38, "ERROR: reading version 0 of item 0\n"},
      {41, "ERROR: reading type 0 of item 1\n"},
      {45, "ERROR: reading version 0 of item 1\n"},
  };
  for (const Cut& c : cuts) {
    SCOPED_TRACE(c.message);
    Qopack kept;  // a failed read leaves the descriptor as it was
    Items mine = {P14};
    ASSERT_TRUE(kept.setup(1, mine.data(), Qopack::COMPRESSOR_LAYERED_CHUNKED));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(kept.unpack(out.get_data(), c.bytes));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
    EXPECT_EQ(items_of(kept), mine);
    EXPECT_EQ(kept.compressor, 3);
  }

  // A huge item count in a short record fails at the first missing item.
  std::vector<uint8_t> lying(out.get_data(), out.get_data() + out.get_size());
  lying[32] = 0xFF;
  lying[33] = 0xFF;
  Qopack read;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(read.unpack(lying.data(), static_cast<uint32_t>(lying.size())));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: reading type 0 of item 2\n");

  // Values that read fine but describe no valid list are caught by check().
  struct Corrupt {
    const char* name;
    size_t offset;
    uint8_t byte;
    uint16_t point_size;
    std::string error;
  };
  const Corrupt corruptions[] = {
      {"compressor", 0, 7, 28, "compressor 7 not supported"},
      {"coder", 2, 1, 28, "coder 1 not supported"},
      {"first item type", 34, 2, 28, "item unknown (2,20,0)"},
      {"second item size", 42, 9, 28, "GPSTIME11 has size != 8"},
      {"second item version", 44, 3, 28, "GPSTIME11 has version > 2"},
      {"point size", 0, 2, 34, "point has size of 34 but items only add up to 28 bytes"},
      {"no items", 32, 0, 28, "number of items cannot be zero"},
  };
  for (const Corrupt& c : corruptions) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes(out.get_data(), out.get_data() + out.get_size());
    bytes[c.offset] = c.byte;
    Qopack corrupt;
    ASSERT_TRUE(corrupt.unpack(bytes.data(), static_cast<uint32_t>(bytes.size())));
    EXPECT_FALSE(corrupt.check(c.point_size));
    EXPECT_EQ(corrupt.get_error(), with_suffix(c.error));
  }
}

TEST(QopackVlr, WriteFailuresNameTheField) {
  Qopack qopack;
  Items items = {P10, GPS};
  ASSERT_TRUE(qopack.setup(2, items.data(), Qopack::COMPRESSOR_POINTWISE_CHUNKED));
  ASSERT_TRUE(qopack.request_version(2));
  struct Case {
    int64_t capacity;
    const char* message;
  };
  const Case cases[] = {
      {0, "ERROR: writing reserved 43707\n"},
      {2, "ERROR: writing user_id qopack encoded\n"},
      {18, "ERROR: writing record_id 22204\n"},
      {20, "ERROR: writing record_length_after_header 46\n"},
      {22, "ERROR: writing description by qopack of Quillbox (221128)\n"},
      {54, "ERROR: writing compressor 2\n"},
      {56, "ERROR: writing coder 0\n"},
      {58, "ERROR: writing version_major 3\n"},
      {59, "ERROR: writing version_minor 4\n"},
      {60, "ERROR: writing version_revision 3\n"},
      {62, "ERROR: writing options 0\n"},
      {66, "ERROR: writing chunk_size 50000\n"},
      {70, "ERROR: writing number_of_special_evlrs -1\n"},
      {78, "ERROR: writing offset_to_special_evlrs -1\n"},
      {86, "ERROR: writing num_items 2\n"},
      {88, "ERROR: writing type 6 of item 0\n"},
      {90, "ERROR: writing size 20 of item 0\n"},
      {92, "ERROR: writing version 2 of item 0\n"},
      {94, "ERROR: writing type 7 of item 1\n"},
      {98, "ERROR: writing version 2 of item 1\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    ShortStream out(c.capacity);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(qopack.write_vlr(out));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
  }
  ShortStream exact(100);
  EXPECT_TRUE(qopack.write_vlr(exact));

  // An item list too long for a 16-bit record length is refused.
  Qopack huge;
  std::vector<LASitem> many(10917, byte_item(1));
  many[0] = P10;
  huge.num_items = static_cast<uint16_t>(many.size());
  huge.items = new LASitem[many.size()];
  for (size_t i = 0; i < many.size(); i++) huge.items[i] = many[i];
  ByteStreamOutArrayLE out;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(huge.write_vlr(out));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: writing record_length_after_header 65536\n");
}

TEST(Qopack, CopiesOwnTheirItems) {
  Qopack a;
  Items items = {P10, GPS};
  ASSERT_TRUE(a.setup(2, items.data(), 2));
  Qopack b = a;
  ASSERT_TRUE(b.request_version(2));
  EXPECT_EQ(a.items[0].version, 0);
  EXPECT_EQ(b.items[0].version, 2);
  a = b;
  EXPECT_EQ(a.items[1].version, 2);
  EXPECT_NE(a.items, b.items);
}

}  // namespace
