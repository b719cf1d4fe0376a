// IntegerCoder: round trips for every bit width, range and context over the
// full value range, the magnitude class k reported to the codecs, folding of
// correctors, restart of the models, and truncated codes; Median5.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/integercoder.h"
#include "compression/median5.h"
#include "las/bytestreamin_array.h"
#include "las/bytestreamout_array.h"

namespace {

struct Coded {
  int32_t pred;
  int32_t real;
  uint32_t context;
};

struct Params {
  uint32_t bits;
  uint32_t contexts;
  uint32_t bits_high;
  uint32_t range;
};

// Values the coder must reproduce: for full 32-bit coders every i32, else
// 0 .. corr_range - 1 (the fields the codecs give them never exceed it).
uint32_t value_range(const Params& p) {
  if (p.range) return p.range;
  if (p.bits >= 1 && p.bits < 32) return 1u << p.bits;
  return 0;  // all of u32
}

std::vector<uint8_t> encode(const Params& p, const std::vector<Coded>& values, std::vector<uint32_t>* ks) {
  ArithEncoder enc;
  ByteStreamOutArrayLE out(1 << 20);
  IntegerCoder ic(&enc, p.bits, p.contexts, p.bits_high, p.range);
  EXPECT_TRUE(enc.init(&out));
  ic.init_encoding();
  for (const Coded& v : values) {
    ic.compress(v.pred, v.real, v.context);
    if (ks) ks->push_back(ic.get_k());
  }
  EXPECT_TRUE(enc.done());
  return std::vector<uint8_t>(out.get_data(), out.get_data() + out.get_size());
}

// Decodes and compares; returns the stream position at the end.
int64_t decode(const Params& p, const std::vector<Coded>& values, const std::vector<uint8_t>& code,
               const std::vector<uint32_t>* ks) {
  ArithDecoder dec;
  ByteStreamInArrayLE in(code.data(), static_cast<int64_t>(code.size()));
  IntegerCoder ic(&dec, p.bits, p.contexts, p.bits_high, p.range);
  ic.init_decoding();
  EXPECT_TRUE(dec.init(&in));
  for (size_t i = 0; i < values.size(); i++) {
    const int32_t got = ic.decompress(values[i].pred, values[i].context);
    if (got != values[i].real || (ks && (*ks)[i] != ic.get_k())) {
      ADD_FAILURE() << "value " << i << ": pred " << values[i].pred << " real " << values[i].real << " decoded "
                    << got << " k " << ic.get_k();
      break;
    }
  }
  return in.tell();
}

std::vector<Coded> values_for(const Params& p, std::mt19937_64& rng, int count) {
  const uint32_t r = value_range(p);
  auto any = [&]() -> int32_t {
    const uint32_t v = static_cast<uint32_t>(rng());
    return static_cast<int32_t>(r ? v % r : v);
  };
  // Edge values of the range: 0, 1, the middle, the top.
  std::vector<int32_t> edges = {0, 1};
  const uint32_t top = r ? r - 1 : 0xFFFFFFFFu;
  const uint32_t half = r ? r / 2 : 0x80000000u;
  for (uint32_t e : {top, top - 1, half, half - 1, half + 1}) {
    if (!r || e < r) edges.push_back(static_cast<int32_t>(e));
  }
  std::vector<Coded> values;
  // Every pair of edge values in every context: correctors at both ends of
  // the folded interval (and -2^31 for 32-bit coders).
  for (uint32_t c = 0; c < p.contexts; c++) {
    for (int32_t a : edges) {
      for (int32_t b : edges) values.push_back({a, b, c});
    }
  }
  for (int i = 0; i < count; i++) {
    const uint32_t c = static_cast<uint32_t>(rng() % p.contexts);
    const int32_t pred = any();
    switch (rng() % 4) {
      case 0: values.push_back({pred, any(), c}); break;  // any corrector
      case 1: values.push_back({pred, pred, c}); break;   // exact prediction
      default: {                                          // small corrector, as codecs mostly see
        int32_t real = static_cast<int32_t>(static_cast<uint32_t>(pred) + static_cast<uint32_t>(rng() % 33) - 16);
        if (r) real = static_cast<int32_t>(static_cast<uint32_t>(real) % r);
        values.push_back({pred, real, c});
        break;
      }
    }
  }
  return values;
}

TEST(IntegerCoder, RoundTripsEveryWidthRangeAndContext) {
  std::vector<Params> params;
  for (uint32_t bits = 1; bits <= 32; bits++) params.push_back({bits, 3, 8, 0});
  // bits 0 and above 32 mean full 32-bit values.
  params.push_back({0, 2, 8, 0});
  params.push_back({40, 2, 8, 0});
  // Other bits_high: all bits modelled, one bit modelled, the most a model takes.
  for (uint32_t bits_high : {1u, 4u, 11u}) {
    params.push_back({32, 4, bits_high, 0});
    params.push_back({16, 4, bits_high, 0});
  }
  // Ranges that are and are not powers of two; as used by the codecs.
  for (uint32_t range : {2u, 3u, 5u, 255u, 256u, 1000u, 65537u, 0x80000000u}) {
    params.push_back({0, 2, 8, range});
  }
  params.push_back({32, 22, 8, 0});  // POINT10 dy
  params.push_back({8, 6, 8, 0});    // RGB12 version 1
  std::mt19937_64 rng(99);
  for (const Params& p : params) {
    SCOPED_TRACE(testing::Message() << "bits " << p.bits << " contexts " << p.contexts << " bits_high "
                                    << p.bits_high << " range " << p.range);
    const std::vector<Coded> values = values_for(p, rng, 20000);
    std::vector<uint32_t> ks;
    const std::vector<uint8_t> code = encode(p, values, &ks);
    EXPECT_EQ(decode(p, values, code, &ks), static_cast<int64_t>(code.size()));
  }
}

// k is the number of significant bits of the corrector's magnitude class;
// codecs derive contexts from it, so it is part of the format.
TEST(IntegerCoder, MagnitudeClassOfCorrectors) {
  struct Case {
    Params p;
    int32_t pred;
    int32_t real;
    uint32_t k;
  };
  const Case cases[] = {
      {{32, 1, 8, 0}, 5, 5, 0},                  // c = 0
      {{32, 1, 8, 0}, 5, 6, 0},                  // c = 1
      {{32, 1, 8, 0}, 5, 4, 1},                  // c = -1
      {{32, 1, 8, 0}, 5, 7, 1},                  // c = 2
      {{32, 1, 8, 0}, 0, 4, 2},                  // c = 4 = 2^2
      {{32, 1, 8, 0}, 0, 5, 3},                  // c = 5
      {{32, 1, 8, 0}, 0, -3, 2},                 // c = -3 = -(2^2 - 1)
      {{32, 1, 8, 0}, 0, -4, 3},                 // c = -4
      {{32, 1, 8, 0}, 0, INT32_MAX, 31},         // c = 2^31 - 1
      {{32, 1, 8, 0}, 0, INT32_MIN, 32},         // c = -2^31: the class alone
      {{32, 1, 8, 0}, INT32_MAX, INT32_MIN, 0},  // wraps to c = 1
      {{32, 1, 8, 0}, INT32_MIN, INT32_MAX, 1},  // wraps to c = -1
      {{8, 1, 8, 0}, 255, 0, 0},                 // folds to c = +1
      {{8, 1, 8, 0}, 0, 255, 1},                 // folds to c = -1
      {{8, 1, 8, 0}, 0, 128, 8},                 // c = -128, the low end
      {{8, 1, 8, 0}, 0, 127, 7},                 // c = 127, the high end
      {{16, 1, 8, 0}, 65535, 0, 0},              // folds to c = +1
      {{0, 1, 8, 5}, 4, 0, 0},                   // range 5: c = -4 folds to +1
      {{0, 1, 8, 5}, 0, 3, 2},                   // c = 3 folds to -2
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "bits " << c.p.bits << " range " << c.p.range << ": " << c.pred << " -> "
                                    << c.real);
    const std::vector<Coded> values = {{c.pred, c.real, 0}};
    std::vector<uint32_t> ks;
    const std::vector<uint8_t> code = encode(c.p, values, &ks);
    EXPECT_EQ(ks[0], c.k);
    EXPECT_EQ(decode(c.p, values, code, &ks), static_cast<int64_t>(code.size()));
  }
}

// Every chunk re-initialises the coder's models: the same values then give
// the same bytes, whatever was coded before.
TEST(IntegerCoder, InitRestartsAllModels) {
  std::mt19937_64 rng(5);
  const Params p{32, 3, 8, 0};
  const std::vector<Coded> first = values_for(p, rng, 5000);
  const std::vector<Coded> second = values_for(p, rng, 5000);
  ArithEncoder enc;
  IntegerCoder ic(&enc, p.bits, p.contexts, p.bits_high, p.range);
  std::vector<std::vector<uint8_t>> codes;
  for (const std::vector<Coded>* values : {&first, &second, &first}) {
    ByteStreamOutArrayLE out;
    ASSERT_TRUE(enc.init(&out));
    ic.init_encoding();
    for (const Coded& v : *values) ic.compress(v.pred, v.real, v.context);
    ASSERT_TRUE(enc.done());
    codes.emplace_back(out.get_data(), out.get_data() + out.get_size());
  }
  EXPECT_EQ(codes[0], codes[2]);
  EXPECT_EQ(codes[0], encode(p, first, nullptr));

  // The decoder side likewise, with one IntegerCoder across both codes.
  ArithDecoder dec;
  IntegerCoder id(&dec, p.bits, p.contexts, p.bits_high, p.range);
  for (int i : {0, 1, 2}) {
    const std::vector<Coded>& values = i == 1 ? second : first;
    ByteStreamInArrayLE in(codes[i].data(), static_cast<int64_t>(codes[i].size()));
    id.init_decoding();
    ASSERT_TRUE(dec.init(&in));
    for (size_t j = 0; j < values.size(); j++) ASSERT_EQ(id.decompress(values[j].pred, values[j].context), values[j].real);
  }
}

TEST(IntegerCoder, TruncatedCodeEndsWithEndOfData) {
  std::mt19937_64 rng(17);
  const Params p{32, 2, 8, 0};
  const std::vector<Coded> values = values_for(p, rng, 3000);
  const std::vector<uint8_t> code = encode(p, values, nullptr);
  for (size_t cut : {size_t{0}, size_t{3}, code.size() / 2, code.size() - 1}) {
    SCOPED_TRACE(cut);
    const std::vector<uint8_t> kept(code.begin(), code.begin() + static_cast<long>(cut));
    try {
      decode(p, values, kept, nullptr);
      ADD_FAILURE() << "decoded a truncated code";
    } catch (int e) {
      EXPECT_EQ(e, byte_stream_end_of_data);
    }
  }
}

// Random bytes decoded as integers of every kind: wrong values or one of the
// two decoder exceptions, and values of limited coders stay in their range.
TEST(IntegerCoder, CorruptCodesStayInRange) {
  std::mt19937_64 rng(23);
  const Params kinds[] = {{32, 4, 8, 0}, {16, 2, 8, 0}, {8, 6, 8, 0}, {0, 1, 8, 1000}};
  for (int trial = 0; trial < 200; trial++) {
    std::vector<uint8_t> bytes(64 + rng() % 512);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
    const Params& p = kinds[trial % 4];
    ArithDecoder dec;
    ByteStreamInArrayLE in(bytes.data(), static_cast<int64_t>(bytes.size()));
    IntegerCoder ic(&dec, p.bits, p.contexts, p.bits_high, p.range);
    ic.init_decoding();
    const uint32_t r = value_range(p);
    try {
      ASSERT_TRUE(dec.init(&in));
      for (int i = 0; i < 100000; i++) {
        const int32_t pred = static_cast<int32_t>(r ? rng() % r : rng());
        const uint32_t v = static_cast<uint32_t>(ic.decompress(pred, static_cast<uint32_t>(i) % p.contexts));
        if (r) {
          ASSERT_LT(v, r);
        }
        ASSERT_LE(ic.get_k(), 32u);
      }
    } catch (int e) {
      EXPECT_TRUE(e == byte_stream_end_of_data || e == arith_corrupt_data) << e;
    }
  }
}

// The five kept values stay sorted, the median follows the data, and the
// alternation leaves a prediction that is not the exact median.
TEST(Median5, KeepsOrderAndTracksTheData) {
  struct Case {
    const char* name;
    std::vector<int32_t> adds;
    int32_t median;
  };
  const Case cases[] = {
      {"initial state", {}, 0},
      {"one value above moves nothing", {10}, 0},
      {"it drifts up one step per value above", {10, 20, 30}, 10},
      {"constant input", {7, 7, 7, 7, 7}, 7},
      {"increasing run", {1, 2, 3, 4, 5, 6, 7, 8}, 6},
      {"decreasing run", {-1, -2, -3, -4, -5, -6}, -4},
      {"outlier does not move it", {5, 5, 5, 5, 5, 1000000, 5}, 5},
      {"extremes", {INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Median5 m;
    for (int32_t v : c.adds) m.add(v);
    EXPECT_EQ(m.get(), c.median);
  }
  // Random input: the median always stays within the range of values seen
  // (and 0 from the initial state).
  std::mt19937_64 rng(1);
  Median5 m;
  int32_t lo = 0, hi = 0;
  for (int i = 0; i < 100000; i++) {
    const int32_t v = static_cast<int32_t>(rng() % 2001) - 1000;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
    m.add(v);
    ASSERT_GE(m.get(), lo);
    ASSERT_LE(m.get(), hi);
  }
  m.init();
  EXPECT_EQ(m.get(), 0);
}

// The update as the format describes it, step by step with its branches; the
// codec's branch-free update must keep exactly the same five values, or the
// predictions (and the bytes) change.
struct ReferenceMedian5 {
  int32_t m[5] = {0, 0, 0, 0, 0};
  bool high = true;
  void add(int32_t v) {
    if (high) {
      if (v < m[2]) {
        m[4] = m[3];
        m[3] = m[2];
        if (v < m[0]) {
          m[2] = m[1];
          m[1] = m[0];
          m[0] = v;
        } else if (v < m[1]) {
          m[2] = m[1];
          m[1] = v;
        } else {
          m[2] = v;
        }
      } else {
        if (v < m[3]) {
          m[4] = m[3];
          m[3] = v;
        } else {
          m[4] = v;
        }
        high = false;
      }
    } else {
      if (m[2] < v) {
        m[0] = m[1];
        m[1] = m[2];
        if (m[4] < v) {
          m[2] = m[3];
          m[3] = m[4];
          m[4] = v;
        } else if (m[3] < v) {
          m[2] = m[3];
          m[3] = v;
        } else {
          m[2] = v;
        }
      } else {
        if (m[1] < v) {
          m[0] = m[1];
          m[1] = v;
        } else {
          m[0] = v;
        }
        high = true;
      }
    }
  }
};

TEST(Median5, SameValuesAsTheStepByStepUpdate) {
  // Small ranges give many ties, wide ones the extremes.
  for (uint32_t range : {3u, 17u, 1000u, 0u}) {
    SCOPED_TRACE(range);
    std::mt19937_64 rng(range);
    Median5 fast;
    ReferenceMedian5 slow;
    for (int i = 0; i < 200000; i++) {
      const int32_t v = range ? static_cast<int32_t>(rng() % range) - static_cast<int32_t>(range / 2)
                              : static_cast<int32_t>(rng());
      fast.add(v);
      slow.add(v);
      ASSERT_EQ(fast.get(), slow.m[2]) << i;
    }
  }
}

}  // namespace
