// WAVEPACKET13 codec, version 1: codes built by hand for every offset kind
// (and the models chosen by the previous kind), a packet of 2 GiB or more
// followed by one further back, round trips of packets back to back, shared
// between returns, with jumps and random records, truncated and garbage codes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "compression/integercoder.h"
#include "compression/itemcompressed_wavepacket13_v1.h"
#include "compression/itemcodec_roundtrip.h"

namespace {

using itemcodec::Codec;
using itemcodec::Records;

const Codec kV1{"WAVEPACKET13 v1", 29,
                [](ArithEncoder* e) { return new LASwriteItemCompressed_WAVEPACKET13_v1(e); },
                [](ArithDecoder* d) { return new LASreadItemCompressed_WAVEPACKET13_v1(d); }};

struct Packet {
  uint8_t index;
  uint64_t offset;
  uint32_t size;
  float location;
  float xt, yt, zt;
};

void put(Records& r, const Packet& p) {
  uint8_t* b = r.add();
  b[0] = p.index;
  memcpy(b + 1, &p.offset, 8);
  memcpy(b + 9, &p.size, 4);
  memcpy(b + 13, &p.location, 4);
  memcpy(b + 17, &p.xt, 4);
  memcpy(b + 21, &p.yt, 4);
  memcpy(b + 25, &p.zt, 4);
}

int32_t bits_of(float f) {
  int32_t i;
  memcpy(&i, &f, 4);
  return i;
}

std::vector<uint8_t> code_of(const std::function<void(ArithEncoder&)>& steps) {
  ArithEncoder enc;
  ByteStreamOutArrayLE out;
  EXPECT_TRUE(enc.init(&out));
  steps(enc);
  EXPECT_TRUE(enc.done());
  return std::vector<uint8_t>(out.get_data(), out.get_data() + out.get_size());
}

struct Models {
  explicit Models(ArithEncoder& enc)
      : index(enc.create_symbol_model(256)),
        offset_diff(&enc, 32, 1, 8, 0),
        packet_size(&enc, 32, 1, 8, 0),
        return_point(&enc, 32, 1, 8, 0),
        xyz(&enc, 32, 3, 8, 0) {
    enc.init_symbol_model(*index);
    for (auto& m : kind) {
      m.reset(enc.create_symbol_model(4));
      enc.init_symbol_model(*m);
    }
    for (IntegerCoder* ic : {&offset_diff, &packet_size, &return_point, &xyz}) ic->init_encoding();
  }
  // The fields after the offset, against the last packet.
  void rest(const Packet& q, const Packet& p) {
    packet_size.compress(static_cast<int32_t>(q.size), static_cast<int32_t>(p.size), 0);
    return_point.compress(bits_of(q.location), bits_of(p.location), 0);
    xyz.compress(bits_of(q.xt), bits_of(p.xt), 0);
    xyz.compress(bits_of(q.yt), bits_of(p.yt), 1);
    xyz.compress(bits_of(q.zt), bits_of(p.zt), 2);
  }
  std::unique_ptr<SymbolModel> index;
  std::unique_ptr<SymbolModel> kind[4];
  IntegerCoder offset_diff, packet_size, return_point, xyz;
};

// Offset kinds: 1 for packets back to back, 0 for a shared packet, 2 for a
// 32-bit difference (predicted by the last one), 3 for a raw offset. The
// kind is coded with the model of the previous kind.
TEST(WavePacket13V1, OffsetKinds) {
  const Packet p0{1, 1000, 500, 1.5f, 0.1f, 0.2f, -0.9f};
  Packet p1 = p0;
  p1.offset = 1500;  // back to back
  Packet p2 = p1;
  p2.index = 2;      // shared offset
  p2.size = 600;
  p2.location = 2.25f;
  Packet p3 = p2;
  p3.offset = 2100;  // back to back again
  Packet p4 = p3;
  p4.offset = 2100 + 12345;
  Packet p5 = p4;
  p5.offset += uint64_t{1} << 40;
  Packet p6 = p5;
  p6.offset -= 7;
  Records r(29);
  for (const Packet& p : {p0, p1, p2, p3, p4, p5, p6}) put(r, p);

  const std::vector<uint8_t> expected = code_of([&](ArithEncoder& enc) {
    Models m(enc);
    enc.encode_symbol(*m.index, 1);
    enc.encode_symbol(*m.kind[0], 1);
    m.rest(p0, p1);
    enc.encode_symbol(*m.index, 2);
    enc.encode_symbol(*m.kind[1], 0);
    m.rest(p1, p2);
    enc.encode_symbol(*m.index, 2);
    enc.encode_symbol(*m.kind[0], 1);
    m.rest(p2, p3);
    enc.encode_symbol(*m.index, 2);
    enc.encode_symbol(*m.kind[1], 2);
    m.offset_diff.compress(0, 12345, 0);
    m.rest(p3, p4);
    enc.encode_symbol(*m.index, 2);
    enc.encode_symbol(*m.kind[2], 3);
    enc.write_int64(p5.offset);
    m.rest(p4, p5);
    enc.encode_symbol(*m.index, 2);
    enc.encode_symbol(*m.kind[3], 2);
    m.offset_diff.compress(12345, -7, 0);
    m.rest(p5, p6);
  });
  EXPECT_EQ(itemcodec::encode_all(kV1, r), expected);
  itemcodec::expect_round_trip(kV1, r, r.count());
}

// A packet of 2^31 bytes or more followed by one whose offset lies 2^32 -
// size bytes before it: the difference -2^31 equals the size only as 32-bit
// values. Coding it as back to back made the reader rebuild an offset 2^32
// too large; the difference is coded instead.
TEST(WavePacket13V1, HugePacketFollowedByEarlierOffsetIsNotBackToBack) {
  struct Case {
    const char* name;
    uint32_t size;
    int64_t step;       // offset change from the huge packet
    uint32_t kind;
  };
  const Case cases[] = {
      {"2 GiB packet, offset back by 2 GiB", 0x80000000u, -int64_t{0x80000000}, 2},
      {"3 GiB packet, offset back by 1 GiB", 0xC0000000u, -int64_t{0x40000000}, 2},
      {"2 GiB packet laid back to back: beyond 32 bits", 0x80000000u, int64_t{0x80000000}, 3},
      {"just under 2 GiB back to back", 0x7FFFFFFFu, int64_t{0x7FFFFFFF}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Packet q{1, uint64_t{1} << 33, c.size, 0.0f, 0.0f, 0.0f, 1.0f};
    Packet p = q;
    p.offset = q.offset + static_cast<uint64_t>(c.step);
    Records r(29);
    put(r, q);
    put(r, p);
    const std::vector<uint8_t> expected = code_of([&](ArithEncoder& enc) {
      Models m(enc);
      enc.encode_symbol(*m.index, 1);
      enc.encode_symbol(*m.kind[0], c.kind);
      if (c.kind == 2) m.offset_diff.compress(0, static_cast<int32_t>(c.step), 0);
      if (c.kind == 3) enc.write_int64(p.offset);
      m.rest(q, p);
    });
    EXPECT_EQ(itemcodec::encode_all(kV1, r), expected);
    itemcodec::expect_round_trip(kV1, r, 2);
  }
}

// Waveforms of a pulse's returns share one packet; pulses follow each
// other in the waveform file, with packet sizes that vary a little, and
// descriptor indices that change now and then; occasionally a new file
// region starts far away.
Records waveforms(int points, uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<float> noise(0.0f, 0.01f);
  Records r(29);
  uint64_t offset = 60;
  uint32_t size = 256;
  while (static_cast<int>(r.count()) < points) {
    const int returns = 1 + static_cast<int>(rng() % 3);
    const uint8_t index = static_cast<uint8_t>(1 + (rng() % 40 == 0));
    const float xt = 0.05f + noise(rng), yt = -0.03f + noise(rng), zt = -0.998f;
    for (int i = 0; i < returns; i++) {
      put(r, {index, offset, size, 1000.0f + 37.5f * i + noise(rng) * 100, xt, yt, zt});
    }
    offset += size;
    size = 240 + rng() % 32;
    if (rng() % 1000 == 0) offset += uint64_t{1} << 33;
    if (rng() % 1000 == 0) offset -= 5000;
  }
  return r;
}

Records random_packets(int points, uint32_t seed) {
  std::mt19937 rng(seed);
  Records r(29);
  for (int i = 0; i < points; i++) {
    uint8_t* b = r.add();
    for (int j = 0; j < 29; j++) b[j] = static_cast<uint8_t>(rng());
  }
  return r;
}

// Offsets and sizes at the edges of their ranges, every kind in turn.
Records edge_packets() {
  const uint64_t offsets[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, uint64_t{1} << 32, ~uint64_t{0},
                              ~uint64_t{0} - 0x7FFFFFFF};
  const uint32_t sizes[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
  Records r(29);
  for (uint64_t o : offsets) {
    for (uint32_t s : sizes) {
      put(r, {255, o, s, -0.0f, 1e30f, -1e-30f, 0.5f});
      put(r, {0, o + s, s, 0.0f, 0.0f, 0.0f, 0.0f});
      put(r, {0, o + s, s, 0.0f, 0.0f, 0.0f, 0.0f});
      put(r, {7, o - s, s, 1.0f, 2.0f, 3.0f, 4.0f});
    }
  }
  return r;
}

TEST(WavePacket13V1, RoundTrips) {
  struct Data {
    const char* name;
    Records records;
    size_t chunk_points;
  };
  const Data data[] = {
      {"waveforms", waveforms(30000, 1), 10000},
      {"random", random_packets(10000, 2), 4000},
      {"edges", edge_packets(), 33},
      {"single-point chunks", waveforms(10, 3), 1},
  };
  for (const Data& d : data) {
    SCOPED_TRACE(d.name);
    itemcodec::expect_round_trip(kV1, d.records, d.chunk_points);
  }
}

TEST(WavePacket13V1, TruncatedAndGarbageCodes) {
  const Records r = waveforms(2000, 4);
  itemcodec::expect_truncations_end_with_end_of_data(kV1, r);
  itemcodec::expect_garbage_decodes_safely(kV1, r, 29);
}

}  // namespace
