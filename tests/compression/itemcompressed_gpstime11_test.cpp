// GPSTIME11 codecs, versions 1 and 2: codes built by hand for sequence
// switches, new sequences and the multiplier cases, round trips of steady
// pulses, interleaved flight lines, jumps and adversarial bit images,
// truncated and garbage codes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "compression/integercoder.h"
#include "compression/itemcompressed_gpstime11_v1.h"
#include "compression/itemcompressed_gpstime11_v2.h"
#include "compression/itemcodec_roundtrip.h"

namespace {

using itemcodec::Codec;
using itemcodec::Records;

const Codec kV1{"GPSTIME11 v1", 8, [](ArithEncoder* e) { return new LASwriteItemCompressed_GPSTIME11_v1(e); },
                [](ArithDecoder* d) { return new LASreadItemCompressed_GPSTIME11_v1(d); }};
const Codec kV2{"GPSTIME11 v2", 8, [](ArithEncoder* e) { return new LASwriteItemCompressed_GPSTIME11_v2(e); },
                [](ArithDecoder* d) { return new LASreadItemCompressed_GPSTIME11_v2(d); }};

uint64_t image(double t) {
  uint64_t u;
  memcpy(&u, &t, 8);
  return u;
}

void put_image(Records& r, uint64_t u) { memcpy(r.add(), &u, 8); }
void put_time(Records& r, double t) { put_image(r, image(t)); }

std::vector<uint8_t> code_of(const std::function<void(ArithEncoder&)>& steps) {
  ArithEncoder enc;
  ByteStreamOutArrayLE out;
  EXPECT_TRUE(enc.init(&out));
  steps(enc);
  EXPECT_TRUE(enc.done());
  return std::vector<uint8_t>(out.get_data(), out.get_data() + out.get_size());
}

struct V2Models {
  explicit V2Models(ArithEncoder& enc)
      : multi(enc.create_symbol_model(516)), zero_diff(enc.create_symbol_model(6)), ic(&enc, 32, 9, 8, 0) {
    enc.init_symbol_model(*multi);
    enc.init_symbol_model(*zero_diff);
    ic.init_encoding();
  }
  std::unique_ptr<SymbolModel> multi;
  std::unique_ptr<SymbolModel> zero_diff;
  IntegerCoder ic;
};

int32_t upper(uint64_t u) { return static_cast<int32_t>(u >> 32); }

// Two flight lines whose times lie too far apart for a 32-bit difference:
// the second line starts a new sequence, then the points alternate with
// switches by one (513) and by three (515) sequences.
TEST(GpsTime11V2, InterleavedFlightLinesSwitchSequences) {
  // Steps of the bit images: about 10 and 30 microseconds at these times.
  const int32_t da = 171799, db = 515396;
  const uint64_t a[3] = {image(300000.25), image(300000.25) + da, image(300000.25) + 2 * da};
  const uint64_t b[3] = {image(305000.5), image(305000.5) + db, image(305000.5) + 2 * db};
  Records r(8);
  for (uint64_t t : {a[0], b[0], a[1], b[1], a[2], b[2]}) put_image(r, t);

  const std::vector<uint8_t> expected = code_of([&](ArithEncoder& enc) {
    V2Models m(enc);
    // b0: no sequence within 32 bits: new sequence 1, upper half predicted
    // from sequence 0, lower half raw.
    enc.encode_symbol(*m.zero_diff, 2);
    m.ic.compress(upper(a[0]), upper(b[0]), 8);
    enc.write_int(static_cast<uint32_t>(b[0]));
    // a1: sequence 1 + 3 = 0 fits; its first difference.
    enc.encode_symbol(*m.zero_diff, 5);
    enc.encode_symbol(*m.zero_diff, 1);
    m.ic.compress(0, da, 0);
    // b1: switch by one to sequence 1, its first difference.
    enc.encode_symbol(*m.multi, 513);
    enc.encode_symbol(*m.zero_diff, 1);
    m.ic.compress(0, db, 0);
    // a2, b2: switch by three and by one, each then repeats its difference.
    enc.encode_symbol(*m.multi, 515);
    enc.encode_symbol(*m.multi, 1);
    m.ic.compress(da, da, 1);
    enc.encode_symbol(*m.multi, 513);
    enc.encode_symbol(*m.multi, 1);
    m.ic.compress(db, db, 1);
  });
  EXPECT_EQ(itemcodec::encode_all(kV2, r), expected);
  itemcodec::expect_round_trip(kV2, r, r.count());
}

// Every multiplier case of a sequence with last difference D = 1000, and
// the quotient that leaves the i32 range: d = 2^31 - 1 against D = 1 is
// 2^31 in single precision, which converts to INT32_MIN and codes as
// "-10 or less".
TEST(GpsTime11V2, MultiplierCases) {
  const uint64_t t0 = image(1000.0);
  struct Step {
    int64_t d;        // difference to the previous time
    uint32_t symbol;  // multiplier symbol
    int32_t pred;     // integer coder prediction
    uint32_t context;
  };
  const Step steps[] = {
      {1000, 1, 1000, 1},               // same difference
      {3000, 3, 3000, 2},               // multiplier 3
      {20000, 20, 20000, 3},            // multiplier 20
      {800000, 500, 500000, 4},         // 800: "500 or more", extreme 1
      {-4000, 504, -4000, 5},           // -4
      {-50000, 510, -10000, 6},         // -50: "-10 or less", extreme 2
      {300, 0, 0, 7},                   // 0.3 rounds to 0, extreme 3
      {0, 511, 0, 0},                   // unchanged
      {1499, 1, 1000, 1},               // 1.499 rounds to 1: counter back to 0
  };
  Records r(8);
  uint64_t t = t0;
  put_image(r, t);
  t += 1000;
  put_image(r, t);
  for (const Step& s : steps) {
    t += static_cast<uint64_t>(s.d);
    put_image(r, t);
  }
  // After 1 and 2^31 - 1: the new difference 1 stays the prediction.
  Records big(8);
  put_image(big, t0);
  put_image(big, t0 + 1);
  put_image(big, t0 + 1 + 0x7FFFFFFF);

  const std::vector<uint8_t> expected = code_of([&](ArithEncoder& enc) {
    V2Models m(enc);
    enc.encode_symbol(*m.zero_diff, 1);
    m.ic.compress(0, 1000, 0);
    for (const Step& s : steps) {
      enc.encode_symbol(*m.multi, s.symbol);
      if (s.symbol != 511) m.ic.compress(s.pred, static_cast<int32_t>(s.d), s.context);
    }
  });
  EXPECT_EQ(itemcodec::encode_all(kV2, r), expected);
  itemcodec::expect_round_trip(kV2, r, r.count());

  const std::vector<uint8_t> expected_big = code_of([&](ArithEncoder& enc) {
    V2Models m(enc);
    enc.encode_symbol(*m.zero_diff, 1);
    m.ic.compress(0, 1, 0);
    enc.encode_symbol(*m.multi, 510);
    m.ic.compress(-10, 0x7FFFFFFF, 6);
  });
  EXPECT_EQ(itemcodec::encode_all(kV2, big), expected_big);
  itemcodec::expect_round_trip(kV2, big, big.count());
}

// Runs of one multiplier, long enough for the integer coder's models to
// adapt per context: multipliers below 10 share a context, 10 to 499 have
// another, negative ones a third.
TEST(GpsTime11V2, MultiplierContexts) {
  struct Run {
    int32_t multiplier;
    uint32_t symbol;
    uint32_t context;
  };
  const Run runs[] = {{9, 9, 2}, {10, 10, 3}, {-3, 503, 5}, {2, 2, 2}, {499, 499, 3}, {-9, 509, 5}};
  constexpr int kRun = 25;
  Records r(8);
  uint64_t t = image(60.0);
  put_image(r, t);
  put_image(r, t += 1000);
  for (const Run& run : runs) {
    for (int i = 0; i < kRun; i++) put_image(r, t += static_cast<uint64_t>(int64_t{run.multiplier} * 1000));
  }
  const std::vector<uint8_t> expected = code_of([&](ArithEncoder& enc) {
    V2Models m(enc);
    enc.encode_symbol(*m.zero_diff, 1);
    m.ic.compress(0, 1000, 0);
    for (const Run& run : runs) {
      for (int i = 0; i < kRun; i++) {
        enc.encode_symbol(*m.multi, run.symbol);
        m.ic.compress(run.multiplier * 1000, run.multiplier * 1000, run.context);
      }
    }
  });
  EXPECT_EQ(itemcodec::encode_all(kV2, r), expected);
}

// Four extreme multipliers in a row replace the last difference: the fifth
// point is then predicted from the difference of the fourth.
TEST(GpsTime11V2, ExtremeMultipliersReplaceTheDifference) {
  Records r(8);
  uint64_t t = image(50.0);
  put_image(r, t);
  for (int64_t d : {10, 100000, 100000, 100000, 100000, 100000}) put_image(r, t += static_cast<uint64_t>(d));
  const std::vector<uint8_t> expected = code_of([&](ArithEncoder& enc) {
    V2Models m(enc);
    enc.encode_symbol(*m.zero_diff, 1);
    m.ic.compress(0, 10, 0);
    for (int i = 0; i < 4; i++) {
      enc.encode_symbol(*m.multi, 500);  // 10000 x the difference 10
      m.ic.compress(5000, 100000, 4);
    }
    enc.encode_symbol(*m.multi, 1);  // the difference is now 100000
    m.ic.compress(100000, 100000, 1);
  });
  EXPECT_EQ(itemcodec::encode_all(kV2, r), expected);
}

TEST(GpsTime11V1, CodeOfOneSequence) {
  const uint64_t t0 = image(2000.0);
  Records r(8);
  put_image(r, t0);
  put_image(r, t0 + 700);            // first difference
  put_image(r, t0 + 700 + 1400);     // multiplier 2
  put_image(r, t0 + 700 + 1400);     // unchanged
  put_image(r, t0 + 2100 + 200);     // 0.29 + 0.5 truncates to 0
  put_image(r, t0 + 2300 + 40000);   // multiplier 57
  put_image(r, image(1e9));          // jump: raw
  put_image(r, image(1e9) + 700);    // multiplier 1: becomes the difference
  put_image(r, image(1e9) + 1400);
  const std::vector<uint8_t> expected = code_of([&](ArithEncoder& enc) {
    std::unique_ptr<SymbolModel> multi(enc.create_symbol_model(512)), zero_diff(enc.create_symbol_model(3));
    enc.init_symbol_model(*multi);
    enc.init_symbol_model(*zero_diff);
    IntegerCoder ic(&enc, 32, 6, 8, 0);
    ic.init_encoding();
    enc.encode_symbol(*zero_diff, 1);
    ic.compress(0, 700, 0);
    enc.encode_symbol(*multi, 2);
    ic.compress(1400, 1400, 3);
    enc.encode_symbol(*multi, 511);
    enc.encode_symbol(*multi, 0);
    ic.compress(700 / 4, 200, 2);
    enc.encode_symbol(*multi, 57);
    ic.compress(57 * 700, 40000, 5);
    enc.encode_symbol(*multi, 510);
    enc.write_int64(image(1e9));
    enc.encode_symbol(*multi, 1);
    ic.compress(700, 700, 1);
    enc.encode_symbol(*multi, 1);
    ic.compress(700, 700, 1);
  });
  EXPECT_EQ(itemcodec::encode_all(kV1, r), expected);
  itemcodec::expect_round_trip(kV1, r, r.count());
}

TEST(GpsTime11V1, MultiplierBeyondI32IsLimitedToZero) {
  Records r(8);
  const uint64_t t0 = image(3.0);
  put_image(r, t0);
  put_image(r, t0 + 1);
  put_image(r, t0 + 1 + 0x7FFFFFFF);
  const std::vector<uint8_t> expected = code_of([&](ArithEncoder& enc) {
    std::unique_ptr<SymbolModel> multi(enc.create_symbol_model(512)), zero_diff(enc.create_symbol_model(3));
    enc.init_symbol_model(*multi);
    enc.init_symbol_model(*zero_diff);
    IntegerCoder ic(&enc, 32, 6, 8, 0);
    ic.init_encoding();
    enc.encode_symbol(*zero_diff, 1);
    ic.compress(0, 1, 0);
    enc.encode_symbol(*multi, 0);
    ic.compress(0, 0x7FFFFFFF, 2);
  });
  EXPECT_EQ(itemcodec::encode_all(kV1, r), expected);
}

// Pulses every 10 microseconds, the returns of a pulse sharing its time,
// with occasional gaps between scan lines.
Records steady_pulses(int points, uint32_t seed) {
  std::mt19937 rng(seed);
  Records r(8);
  double t = 412345.678;
  while (static_cast<int>(r.count()) < points) {
    const int returns = 1 + static_cast<int>(rng() % 3);
    for (int i = 0; i < returns; i++) put_time(r, t);
    t += 1e-5;
    if (rng() % 500 == 0) t += 0.37;
  }
  return r;
}

// Flight lines far apart in time, interleaved in runs of random length;
// with more lines than sequences, sequences are replaced in turn.
Records interleaved_lines(int points, int lines, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<double> t(lines);
  for (int i = 0; i < lines; i++) t[i] = 100000.0 + 9000.0 * i;
  Records r(8);
  while (static_cast<int>(r.count()) < points) {
    const int line = static_cast<int>(rng() % lines);
    const int run = 1 + static_cast<int>(rng() % 20);
    for (int i = 0; i < run; i++) {
      put_time(r, t[line]);
      t[line] += 1e-5 * (1 + rng() % 3);
    }
  }
  return r;
}

// Times of every kind of jump and bit image: forward and backward jumps,
// crossing zero and exponents, NaN, infinities, signed zeros, denormals.
Records odd_times() {
  const double values[] = {0.0,   -0.0,  1e-310, -1e-310, 1.0,    -1.0,  1e300,  -1e300,
                           std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN(),  5e8,   5e8 + 1e-6, 5e8 - 1e-6, 123.0, 123.0};
  Records r(8);
  for (int rep = 0; rep < 20; rep++) {
    for (double v : values) put_time(r, v);
  }
  // Bit images at the edges of 64 bits.
  for (uint64_t u : {uint64_t{0}, ~uint64_t{0}, uint64_t{1} << 63, (uint64_t{1} << 63) - 1, uint64_t{0x7FFFFFFF},
                     uint64_t{0x80000000}, uint64_t{0xFFFFFFFF}, uint64_t{0x100000000}}) {
    put_image(r, u);
    put_image(r, u);
  }
  return r;
}

// Differences at the edges of the 32-bit range and multiples of the last
// difference, positive and negative.
Records multiplier_walk(uint32_t seed) {
  std::mt19937 rng(seed);
  Records r(8);
  uint64_t t = image(777.0);
  int64_t d = 1;
  put_image(r, t);
  const int64_t factors[] = {1, 1, 2, 3, 9, 10, 11, 49, 50, 499, 500, 509, 600, 100000, -1, -2, -9, -10, -11, 0};
  for (int i = 0; i < 20000; i++) {
    const int64_t f = factors[rng() % 20];
    int64_t step = d * f + static_cast<int64_t>(rng() % 5) - 2;
    if (step > INT32_MAX || step < INT32_MIN) step = (rng() & 1) ? INT32_MAX : INT32_MIN;
    if (rng() % 50 == 0) step = static_cast<int64_t>(rng() % 3) - 1 + ((rng() & 1) ? INT32_MAX : INT32_MIN);
    if (rng() % 200 == 0) step = int64_t{1} << 40;
    t += static_cast<uint64_t>(step);
    put_image(r, t);
    if (step != 0 && step > -1000000 && step < 1000000) d = step;
  }
  return r;
}

Records random_images(int points, uint32_t seed) {
  std::mt19937_64 rng(seed);
  Records r(8);
  for (int i = 0; i < points; i++) put_image(r, rng());
  return r;
}

TEST(GpsTime11Codecs, RoundTrips) {
  struct Data {
    const char* name;
    Records records;
    size_t chunk_points;
  };
  const Data data[] = {
      {"steady pulses", steady_pulses(50000, 1), 20000},
      {"two interleaved lines", interleaved_lines(20000, 2, 2), 5000},
      {"four interleaved lines", interleaved_lines(20000, 4, 3), 5000},
      {"seven interleaved lines", interleaved_lines(20000, 7, 4), 5000},
      {"odd times", odd_times(), 50},
      {"multiplier walk", multiplier_walk(5), 3000},
      {"random bit images", random_images(20000, 6), 7000},
      {"single-point chunks", steady_pulses(10, 7), 1},
  };
  for (const Codec* codec : {&kV1, &kV2}) {
    for (const Data& d : data) {
      SCOPED_TRACE(testing::Message() << codec->name << ", " << d.name);
      itemcodec::expect_round_trip(*codec, d.records, d.chunk_points);
    }
  }
}

TEST(GpsTime11Codecs, InterleavedLinesCompressBetterWithSequences) {
  // Version 2 tracks both lines; version 1 falls back to raw times at every
  // switch.
  const Records r = interleaved_lines(20000, 2, 8);
  const size_t v1 = itemcodec::encode_all(kV1, r).size();
  const size_t v2 = itemcodec::encode_all(kV2, r).size();
  EXPECT_LT(v2 * 5, v1 * 3);
  EXPECT_LT(v2, r.bytes.size() / 4);
}

TEST(GpsTime11Codecs, TruncatedAndGarbageCodes) {
  const Records r = interleaved_lines(3000, 3, 9);
  for (const Codec* codec : {&kV1, &kV2}) {
    SCOPED_TRACE(codec->name);
    itemcodec::expect_truncations_end_with_end_of_data(*codec, r);
    itemcodec::expect_garbage_decodes_safely(*codec, r, 91);
  }
}

}  // namespace
