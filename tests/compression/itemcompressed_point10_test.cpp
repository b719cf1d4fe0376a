// POINT10 codecs, versions 1 and 2: codes built by hand for the cases the
// format pins down (changed bits, intensity memory, contexts by return),
// round trips of realistic scan data and of adversarial records, truncated
// and garbage codes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "compression/integercoder.h"
#include "compression/itemcompressed_point10_v1.h"
#include "compression/itemcompressed_point10_v2.h"
#include "compression/itemcodec_roundtrip.h"

namespace {

using itemcodec::Codec;
using itemcodec::Records;

const Codec kV1{"POINT10 v1", 20, [](ArithEncoder* e) { return new LASwriteItemCompressed_POINT10_v1(e); },
                [](ArithDecoder* d) { return new LASreadItemCompressed_POINT10_v1(d); }};
const Codec kV2{"POINT10 v2", 20, [](ArithEncoder* e) { return new LASwriteItemCompressed_POINT10_v2(e); },
                [](ArithDecoder* d) { return new LASreadItemCompressed_POINT10_v2(d); }};

struct Point {
  int32_t x, y, z;
  uint16_t intensity;
  uint8_t returns;  // bits 0-2 return number, 3-5 number of returns, 6 scan direction, 7 edge
  uint8_t classification;
  uint8_t scan_angle;
  uint8_t user_data;
  uint16_t point_source;
};

uint8_t returns_byte(int r, int n, int dir = 0, int edge = 0) {
  return static_cast<uint8_t>((r & 7) | ((n & 7) << 3) | (dir << 6) | (edge << 7));
}

void put(Records& r, const Point& p) {
  uint8_t* b = r.add();
  memcpy(b, &p.x, 4);
  memcpy(b + 4, &p.y, 4);
  memcpy(b + 8, &p.z, 4);
  memcpy(b + 12, &p.intensity, 2);
  b[14] = p.returns;
  b[15] = p.classification;
  b[16] = p.scan_angle;
  b[17] = p.user_data;
  memcpy(b + 18, &p.point_source, 2);
}

// The code of a chunk whose coding steps are given directly.
std::vector<uint8_t> code_of(const std::function<void(ArithEncoder&)>& steps) {
  ArithEncoder enc;
  ByteStreamOutArrayLE out;
  EXPECT_TRUE(enc.init(&out));
  steps(enc);
  EXPECT_TRUE(enc.done());
  return std::vector<uint8_t>(out.get_data(), out.get_data() + out.get_size());
}

// Two-point chunks whose second point's code is spelled out: the changed
// bits against the intensity memory (0 at every chunk start), differences
// predicted by fresh medians, the height predicted from 0. (Every model is
// fresh here, so contexts do not show; see the next test.)
TEST(Point10V2, CodesOfTwoPointChunks) {
  struct Case {
    const char* name;
    Point first;
    Point second;
    uint32_t changed;
  };
  const Point single{1000, 2000, 300, 7, returns_byte(1, 1), 2, 5, 0, 1};
  Point moved = single;
  moved.x += 5;
  moved.intensity = 0;
  const Case cases[] = {
      // Same point twice: only the intensity differs from its memory.
      {"identical points", single, single, 16},
      // Intensity 0 equals the memory: the reader must return 0, not 7.
      {"intensity back to zero", single, moved, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Records r(20);
    put(r, c.first);
    put(r, c.second);
    const std::vector<uint8_t> expected = code_of([&](ArithEncoder& enc) {
      std::unique_ptr<SymbolModel> changed(enc.create_symbol_model(64));
      enc.init_symbol_model(*changed);
      IntegerCoder intensity(&enc, 16, 4, 8, 0), dx(&enc, 32, 2, 8, 0), dy(&enc, 32, 22, 8, 0),
          z(&enc, 32, 20, 8, 0);
      intensity.init_encoding();
      dx.init_encoding();
      dy.init_encoding();
      z.init_encoding();
      enc.encode_symbol(*changed, c.changed);
      if (c.changed & 16) intensity.compress(0, c.second.intensity, 0);
      dx.compress(0, c.second.x - c.first.x, 1);
      dy.compress(0, c.second.y - c.first.y, 1);
      z.compress(0, c.second.z, 1);
    });
    EXPECT_EQ(itemcodec::encode_all(kV2, r), expected);
    itemcodec::expect_round_trip(kV2, r, 2);
  }
}

// Blocks of four points cycling through return positions (1 of 1, 1 of 2,
// 2 of 2, 4 of 5), each position with its own X and Y steps, intensity
// series and height level. Every coded value is spelled out with the slot,
// prediction and context its return position and the magnitude classes
// select. X steps alternate in sign per position, so their medians stay 0,
// and between 300 and 200 every two blocks, classes 9 and 8, which must
// share their contexts (even classes only); the steady Y steps of +7 and -7 make their
// position's median predict 0 for three points, then the step. With 30
// blocks every context sees enough symbols for its models to adapt, so a
// wrong context changes the bytes.
TEST(Point10V2, CodesFollowReturnPositions) {
  constexpr int kBlocks = 30;
  const uint8_t a_returns = returns_byte(1, 1), b_returns = returns_byte(1, 2), c_returns = returns_byte(2, 2),
                d_returns = returns_byte(4, 5);
  Records r(20);
  Point p{0, 0, 1500, 0, d_returns, 2, 5, 0, 1};
  put(r, p);
  auto step = [&](uint8_t returns, int32_t dx, int32_t dy, int32_t z, int intensity) {
    p.returns = returns;
    p.x += dx;
    p.y += dy;
    p.z = z;
    p.intensity = static_cast<uint16_t>(intensity);
    put(r, p);
  };
  for (int b = 0; b < kBlocks; b++) {
    const int32_t s = ((b & 1) ? -1 : 1) * ((b & 2) ? 200 : 300);
    step(a_returns, s, 0, 1000 + b, 100 + b);
    step(b_returns, -s, 7, 1500, 200 + b);
    step(c_returns, s, -7, 1000 + b, 300 + b);
    step(d_returns, -s, 0, 1500, 400 + b);
  }
  // Then a point that changes every other field and flips the scan direction.
  Point e = p;
  e.returns = returns_byte(4, 5, 1);
  e.classification = 6;
  e.scan_angle = 250;
  e.user_data = 9;
  e.point_source = 777;
  put(r, e);

  const std::vector<uint8_t> expected = code_of([&](ArithEncoder& enc) {
    auto model = [&](uint32_t n) {
      std::unique_ptr<SymbolModel> m(enc.create_symbol_model(n));
      enc.init_symbol_model(*m);
      return m;
    };
    auto changed = model(64);
    auto after_a = model(256), after_b = model(256), after_c = model(256), after_d = model(256);
    auto classification_after_2 = model(256), user_data_after_0 = model(256), scan_angle_reverse = model(256);
    IntegerCoder intensity(&enc, 16, 4, 8, 0), source(&enc, 16, 1, 8, 0), dx(&enc, 32, 2, 8, 0),
        dy(&enc, 32, 22, 8, 0), z(&enc, 32, 20, 8, 0);
    for (IntegerCoder* ic : {&intensity, &source, &dx, &dy, &z}) ic->init_encoding();

    for (int b = 0; b < kBlocks; b++) {
      const int32_t s = ((b & 1) ? -1 : 1) * ((b & 2) ? 200 : 300);
      const bool early = b < 3;  // Y medians still predict 0; the class of 7 is 3
      auto last = [&](int base) { return b == 0 ? 0 : base + b - 1; };
      // A: 1 of 1 (slot 0, level 0). n = 1: odd contexts.
      enc.encode_symbol(*changed, 32 | 16);
      enc.encode_symbol(*after_d, a_returns);
      intensity.compress(last(100), 100 + b, 0);
      dx.compress(0, s, 1);
      dy.compress(0, 0, 1 + 8);                                // class 9 or 8 -> 8
      z.compress(b == 0 ? 0 : 1000 + b - 1, 1000 + b, 1 + 4);  // (9 + 0) / 2 or (8 + 0) / 2
      // B: 1 of 2 (slot 1, level 1).
      enc.encode_symbol(*changed, 32 | 16);
      enc.encode_symbol(*after_a, b_returns);
      intensity.compress(last(200), 200 + b, 1);
      dx.compress(0, -s, 0);
      dy.compress(early ? 0 : 7, 7, 8);
      // (9 + 3) / 2 = 6 in blocks 0, 1; (8 + 3) / 2 = 5 -> 4 in block 2; then 9 or 8 over 2 -> 4
      z.compress(b == 0 ? 0 : 1500, 1500, b < 2 ? 6 : 4);
      // C: 2 of 2 (slot 2, level 0): height from A.
      enc.encode_symbol(*changed, 32 | 16);
      enc.encode_symbol(*after_b, c_returns);
      intensity.compress(last(300), 300 + b, 2);
      dx.compress(0, s, 0);
      dy.compress(early ? 0 : -7, -7, 8);
      z.compress(1000 + b, 1000 + b, b < 2 ? 6 : 4);
      // D: 4 of 5 (slot 13, level 1): height from B.
      enc.encode_symbol(*changed, 32 | 16);
      enc.encode_symbol(*after_c, d_returns);
      intensity.compress(last(400), 400 + b, 3);
      dx.compress(0, -s, 0);
      dy.compress(0, 0, 8);
      z.compress(1500, 1500, 4);
    }
    // E: slot 13 again, intensity unchanged; the scan angle difference goes
    // to the model of the reverse direction.
    enc.encode_symbol(*changed, 32 | 8 | 4 | 2 | 1);
    enc.encode_symbol(*after_d, returns_byte(4, 5, 1));
    enc.encode_symbol(*classification_after_2, 6);
    enc.encode_symbol(*scan_angle_reverse, static_cast<uint8_t>(250 - 5));
    enc.encode_symbol(*user_data_after_0, 9);
    source.compress(1, 777, 0);
    dx.compress(0, 0, 0);
    dy.compress(0, 0, 0);
    z.compress(1500, 1500, 0);
  });
  EXPECT_EQ(itemcodec::encode_all(kV2, r), expected);
  itemcodec::expect_round_trip(kV2, r, r.count());
}

TEST(Point10V1, CodeOfThreePointChunk) {
  // Coordinates first (x context 0, y by the class of x, z by the mean class
  // against the last Z), then the changed bits, with intensity as 32, and
  // the changed fields in the order intensity, returns, classification,
  // scan angle (context 1 after small coordinate classes), user data, source.
  Records r(20);
  const Point a{1000, 2000, 300, 7, returns_byte(1, 1), 2, 5, 0, 1};
  Point b = a;
  b.x += 5;
  b.z += 3;
  b.intensity = 9;
  Point c = b;
  c.returns = returns_byte(2, 3);
  c.classification = 6;
  c.scan_angle = 250;
  c.user_data = 9;
  c.point_source = 777;
  put(r, a);
  put(r, b);
  put(r, c);
  const std::vector<uint8_t> expected = code_of([&](ArithEncoder& enc) {
    IntegerCoder dx(&enc, 32, 1, 8, 0), dy(&enc, 32, 20, 8, 0), z(&enc, 32, 20, 8, 0), intensity(&enc, 16, 1, 8, 0),
        scan_angle(&enc, 8, 2, 8, 0), source(&enc, 16, 1, 8, 0);
    for (IntegerCoder* ic : {&dx, &dy, &z, &intensity, &scan_angle, &source}) ic->init_encoding();
    auto model = [&](uint32_t n) {
      std::unique_ptr<SymbolModel> m(enc.create_symbol_model(n));
      enc.init_symbol_model(*m);
      return m;
    };
    auto changed = model(64), returns_after_single = model(256), classification_after_2 = model(256),
         user_data_after_0 = model(256);
    // b
    dx.compress(0, 5, 0);     // class 3
    dy.compress(0, 0, 3);
    z.compress(300, 303, 1);  // (3 + 0) / 2
    enc.encode_symbol(*changed, 32);
    intensity.compress(7, 9, 0);
    // c: the median of the differences 5, 0, 0 is 0
    dx.compress(0, 0, 0);
    dy.compress(0, 0, 0);
    z.compress(303, 303, 0);
    enc.encode_symbol(*changed, 16 | 8 | 4 | 2 | 1);
    enc.encode_symbol(*returns_after_single, returns_byte(2, 3));
    enc.encode_symbol(*classification_after_2, 6);
    scan_angle.compress(5, 250, 1);
    enc.encode_symbol(*user_data_after_0, 9);
    source.compress(1, 777, 0);
  });
  EXPECT_EQ(itemcodec::encode_all(kV1, r), expected);
}

// An airborne scan: lines of pulses across track, alternating scan
// direction, edge flags at the ends, one to four returns per pulse with
// falling heights, terrain and vegetation classes, two flight lines
// interleaved in blocks.
Records scan_lines(int points, uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, 2.0);
  Records r(20);
  int line = 0, along = 0;
  const int per_line = 317;
  while (static_cast<int>(r.count()) < points) {
    const int dir = line & 1;
    const int32_t x = 100000 + (dir ? per_line - along : along) * 25 + static_cast<int32_t>(noise(rng));
    const int32_t y = 500000 + line * 120 + static_cast<int32_t>(noise(rng));
    const int32_t ground = 2000 + static_cast<int32_t>(300 * std::sin(x * 1e-4) + 50 * std::cos(y * 3e-4));
    const int n = (rng() % 10) < 7 ? 1 : 1 + static_cast<int>(rng() % 4);
    const uint16_t source = static_cast<uint16_t>(((r.count() / 1000) & 1) ? 102 : 101);
    for (int ret = 1; ret <= n && static_cast<int>(r.count()) < points; ret++) {
      Point p;
      p.x = x + (ret - 1);
      p.y = y;
      p.z = ground + (n - ret) * 400 + static_cast<int32_t>(noise(rng));
      p.intensity = static_cast<uint16_t>(ret == n ? 300 + rng() % 50 : 80 + rng() % 100);
      p.returns = returns_byte(ret, n, dir, along == 0 || along == per_line - 1);
      p.classification = ret == n ? 2 : 5;
      p.scan_angle = static_cast<uint8_t>(static_cast<int8_t>((along * 40) / per_line - 20));
      p.user_data = 0;
      p.point_source = source;
      put(r, p);
    }
    if (++along == per_line) {
      along = 0;
      line++;
    }
  }
  return r;
}

Records random_records(int points, uint32_t seed) {
  std::mt19937 rng(seed);
  Records r(20);
  for (int i = 0; i < points; i++) {
    uint8_t* b = r.add();
    for (int j = 0; j < 20; j++) b[j] = static_cast<uint8_t>(rng());
  }
  return r;
}

// Coordinates at the ends of the i32 range (differences wrap), every
// combination of return number and count (invalid ones included), fields
// flipping between extremes.
Records extreme_records() {
  const int32_t coords[] = {INT32_MIN, INT32_MAX, 0, -1, 1, INT32_MIN + 1, INT32_MAX - 1};
  Records r(20);
  int i = 0;
  for (int n = 0; n < 8; n++) {
    for (int ret = 0; ret < 8; ret++) {
      for (int j = 0; j < 7; j++, i++) {
        Point p;
        p.x = coords[j];
        p.y = coords[(j + 3) % 7];
        p.z = coords[(j + 5) % 7];
        p.intensity = static_cast<uint16_t>(i % 2 ? 0xFFFF : 0);
        p.returns = returns_byte(ret, n, i & 1, (i >> 1) & 1);
        p.classification = static_cast<uint8_t>(i * 37);
        p.scan_angle = static_cast<uint8_t>(i % 3 == 0 ? 0x80 : 0x7F);
        p.user_data = static_cast<uint8_t>(255 - i);
        p.point_source = static_cast<uint16_t>(i % 4 == 0 ? 0xFFFF : i);
        put(r, p);
      }
    }
  }
  return r;
}

TEST(Point10Codecs, RoundTrips) {
  struct Data {
    const char* name;
    Records records;
    size_t chunk_points;
  };
  const Data data[] = {
      {"scan lines", scan_lines(60000, 1), 50000},
      {"scan lines, small chunks", scan_lines(5000, 2), 100},
      {"random bytes", random_records(20000, 3), 7000},
      {"extremes", extreme_records(), 150},
      {"single-point chunks", scan_lines(10, 4), 1},
  };
  for (const Codec* codec : {&kV1, &kV2}) {
    for (const Data& d : data) {
      SCOPED_TRACE(testing::Message() << codec->name << ", " << d.name);
      itemcodec::expect_round_trip(*codec, d.records, d.chunk_points);
    }
  }
}

TEST(Point10Codecs, ScanDataCompresses) {
  // Regular scan data must code to far less than its raw size.
  const Records r = scan_lines(20000, 5);
  for (const Codec* codec : {&kV1, &kV2}) {
    SCOPED_TRACE(codec->name);
    EXPECT_LT(itemcodec::encode_all(*codec, r).size(), r.bytes.size() / 3);
  }
}

TEST(Point10Codecs, TruncatedAndGarbageCodes) {
  const Records r = scan_lines(3000, 6);
  for (const Codec* codec : {&kV1, &kV2}) {
    SCOPED_TRACE(codec->name);
    itemcodec::expect_truncations_end_with_end_of_data(*codec, r);
    itemcodec::expect_garbage_decodes_safely(*codec, r, 77);
  }
}

}  // namespace
