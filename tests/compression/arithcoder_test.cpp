// Arithmetic encoder and decoder: codes derived by hand, round trips of
// random and adversarial operation sequences (large enough to wrap the
// encoder's ring many times), carries through long runs of 0xFF, model
// tables, and decoding of truncated and corrupt codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/arithmodel.h"
#include "las/bytestreamin_array.h"
#include "las/bytestreamout_array.h"

namespace {

enum class OpKind { kBit, kSymbol, kBits, kShort, kInt, kInt64 };

struct Op {
  OpKind kind;
  uint32_t model;  // bit or symbol model index
  uint32_t bits;   // width for kBits
  uint64_t value;
};

// The models an operation sequence refers to.
struct ModelSet {
  uint32_t bit_models = 0;
  std::vector<uint32_t> symbol_sizes;
};

std::vector<uint8_t> encode_ops(const ModelSet& set, const std::vector<Op>& ops) {
  ArithEncoder enc;
  ByteStreamOutArrayLE out(1 << 20);
  EXPECT_TRUE(enc.init(&out));
  std::vector<std::unique_ptr<BitModel>> bits;
  std::vector<std::unique_ptr<SymbolModel>> symbols;
  for (uint32_t i = 0; i < set.bit_models; i++) bits.emplace_back(enc.create_bit_model());
  for (uint32_t n : set.symbol_sizes) {
    symbols.emplace_back(enc.create_symbol_model(n));
    EXPECT_EQ(enc.init_symbol_model(*symbols.back()), 0);
  }
  for (const Op& op : ops) {
    switch (op.kind) {
      case OpKind::kBit: enc.encode_bit(*bits[op.model], static_cast<uint32_t>(op.value)); break;
      case OpKind::kSymbol: enc.encode_symbol(*symbols[op.model], static_cast<uint32_t>(op.value)); break;
      case OpKind::kBits: enc.write_bits(op.bits, static_cast<uint32_t>(op.value)); break;
      case OpKind::kShort: enc.write_short(static_cast<uint16_t>(op.value)); break;
      case OpKind::kInt: enc.write_int(static_cast<uint32_t>(op.value)); break;
      case OpKind::kInt64: enc.write_int64(op.value); break;
    }
  }
  EXPECT_TRUE(enc.done());
  return std::vector<uint8_t>(out.get_data(), out.get_data() + out.get_size());
}

// Where the decoder takes the code from: a stream, memory, or the first
// `split` bytes from memory and the rest from the stream after them.
enum class Source { kStream, kMemory, kMemoryThenStream };

// Decodes the sequence, failing the test at the first value that differs.
// Returns how many code bytes were taken. Throws what the decoder throws.
int64_t decode_ops(const ModelSet& set, const std::vector<Op>& ops, const uint8_t* data, int64_t size,
                   Source source = Source::kStream, int64_t split = 0) {
  ArithDecoder dec;
  ByteStreamInArrayLE in(data, size);
  std::vector<std::unique_ptr<BitModel>> bits;
  std::vector<std::unique_ptr<SymbolModel>> symbols;
  for (uint32_t i = 0; i < set.bit_models; i++) bits.emplace_back(dec.create_bit_model());
  for (uint32_t n : set.symbol_sizes) {
    symbols.emplace_back(dec.create_symbol_model(n));
    EXPECT_EQ(dec.init_symbol_model(*symbols.back()), 0);
  }
  if (source == Source::kStream) {
    EXPECT_TRUE(dec.init(&in));
  } else if (source == Source::kMemory) {
    dec.init(data, static_cast<uint32_t>(size), nullptr);
  } else {
    EXPECT_TRUE(in.seek(split));
    dec.init(data, static_cast<uint32_t>(split), &in);
  }
  for (size_t i = 0; i < ops.size(); i++) {
    const Op& op = ops[i];
    uint64_t v = 0;
    switch (op.kind) {
      case OpKind::kBit: v = dec.decode_bit(*bits[op.model]); break;
      case OpKind::kSymbol: v = dec.decode_symbol(*symbols[op.model]); break;
      case OpKind::kBits: v = dec.read_bits(op.bits); break;
      case OpKind::kShort: v = dec.read_short(); break;
      case OpKind::kInt: v = dec.read_int(); break;
      case OpKind::kInt64: v = dec.read_int64(); break;
    }
    if (v != op.value) {
      ADD_FAILURE() << "operation " << i << " decoded " << v << " instead of " << op.value;
      break;
    }
  }
  int64_t taken = in.tell();
  if (source == Source::kMemory) taken = dec.used_exactly_the_memory() ? size : -1;
  if (source == Source::kMemoryThenStream && dec.used_exactly_the_memory()) taken = split;
  dec.done();
  return taken;
}

uint64_t random_bits(std::mt19937_64& rng, uint32_t bits) {
  return bits == 64 ? rng() : rng() & ((uint64_t{1} << bits) - 1);
}

// Symbols drawn so that low symbols dominate: exercises adaptation, count
// halving and the table search far from the uniform case.
uint32_t skewed_symbol(std::mt19937_64& rng, uint32_t symbols) {
  std::geometric_distribution<uint32_t> g(0.3);
  return g(rng) % symbols;
}

struct Sequence {
  const char* name;
  ModelSet set;
  std::vector<Op> ops;
  size_t min_code_bytes = 3 * 8192;  // wraps the encoder's ring several times
};

const std::vector<uint32_t> kAllSizes = {2, 3, 5, 16, 17, 31, 64, 255, 256, 257, 1000, 2047, 2048};

std::vector<Sequence> make_sequences() {
  std::vector<Sequence> seqs;
  std::mt19937_64 rng(20240611);

  {  // Uniform symbols of every alphabet size, one model each.
    Sequence s{"uniform symbols of 2 to 2048", {0, kAllSizes}, {}};
    for (int i = 0; i < 200000; i++) {
      const uint32_t m = static_cast<uint32_t>(rng() % kAllSizes.size());
      s.ops.push_back({OpKind::kSymbol, m, 0, rng() % kAllSizes[m]});
    }
    seqs.push_back(std::move(s));
  }
  {  // Skewed symbols: long adaptation, counts halved many times.
    Sequence s{"skewed symbols of 2 to 2048", {0, kAllSizes}, {}};
    for (int i = 0; i < 300000; i++) {
      const uint32_t m = static_cast<uint32_t>(rng() % kAllSizes.size());
      s.ops.push_back({OpKind::kSymbol, m, 0, skewed_symbol(rng, kAllSizes[m])});
    }
    seqs.push_back(std::move(s));
  }
  {  // One symbol only, then a switch: probabilities at their extremes.
    // The last symbol's runs keep the code value near the top of the
    // interval, where the decoder's table index is largest.
    Sequence s{"runs of one symbol", {0, {2, 17, 33, 256, 2048}}, {}, 0};
    for (uint32_t m = 0; m < 5; m++) {
      const uint32_t n = s.set.symbol_sizes[m];
      for (int i = 0; i < 50000; i++) s.ops.push_back({OpKind::kSymbol, m, 0, n - 1});
      for (int i = 0; i < 50000; i++) s.ops.push_back({OpKind::kSymbol, m, 0, 0});
      s.ops.push_back({OpKind::kSymbol, m, 0, n / 2});
    }
    seqs.push_back(std::move(s));
  }
  {  // Bits: fair, heavily skewed either way, and all-equal runs.
    Sequence s{"bit models", {4, {}}, {}};
    for (int i = 0; i < 400000; i++) {
      const uint32_t m = static_cast<uint32_t>(rng() % 4);
      uint64_t bit = 0;
      if (m == 0) bit = rng() & 1;
      if (m == 1) bit = (rng() % 100) == 0;
      if (m == 2) bit = (rng() % 100) != 0;
      if (m == 3) bit = (i / 20000) & 1;
      s.ops.push_back({OpKind::kBit, m, 0, bit});
    }
    seqs.push_back(std::move(s));
  }
  {  // Raw values of every width, extremes included.
    Sequence s{"raw bits of 1 to 32, shorts, ints, int64s", {0, {}}, {}};
    for (int i = 0; i < 100000; i++) {
      const uint32_t bits = 1 + static_cast<uint32_t>(rng() % 32);
      const uint64_t mask = (uint64_t{1} << bits) - 1;
      const uint64_t pick = rng() % 4;
      const uint64_t v = pick == 0 ? 0 : pick == 1 ? mask : random_bits(rng, bits);
      s.ops.push_back({OpKind::kBits, 0, bits, v});
      if (i % 7 == 0) s.ops.push_back({OpKind::kShort, 0, 0, random_bits(rng, 16)});
      if (i % 11 == 0) s.ops.push_back({OpKind::kInt, 0, 0, i % 2 ? 0xFFFFFFFFu : random_bits(rng, 32)});
      if (i % 13 == 0) s.ops.push_back({OpKind::kInt64, 0, 0, i % 2 ? ~uint64_t{0} : rng()});
    }
    seqs.push_back(std::move(s));
  }
  {  // Everything interleaved, as the codecs use it.
    Sequence s{"mixed", {3, {2, 17, 33, 256, 2048}}, {}};
    for (int i = 0; i < 300000; i++) {
      switch (rng() % 6) {
        case 0: s.ops.push_back({OpKind::kBit, static_cast<uint32_t>(rng() % 3), 0, (rng() % 5) == 0}); break;
        case 1: {
          const uint32_t m = static_cast<uint32_t>(rng() % 5);
          s.ops.push_back({OpKind::kSymbol, m, 0, skewed_symbol(rng, s.set.symbol_sizes[m])});
          break;
        }
        case 2: {
          const uint32_t m = static_cast<uint32_t>(rng() % 5);
          s.ops.push_back({OpKind::kSymbol, m, 0, rng() % s.set.symbol_sizes[m]});
          break;
        }
        case 3: {
          const uint32_t bits = 1 + static_cast<uint32_t>(rng() % 32);
          s.ops.push_back({OpKind::kBits, 0, bits, random_bits(rng, bits)});
          break;
        }
        case 4: s.ops.push_back({OpKind::kShort, 0, 0, random_bits(rng, 16)}); break;
        default: s.ops.push_back({OpKind::kInt64, 0, 0, rng()}); break;
      }
    }
    seqs.push_back(std::move(s));
  }
  return seqs;
}

// Decoded from a stream, from memory and from memory that ends anywhere in
// the code with the stream taking over, every value comes back and exactly
// the code's bytes are taken.
TEST(ArithCoder, RoundTripsAndDecoderReadsExactlyTheCode) {
  for (const Sequence& s : make_sequences()) {
    SCOPED_TRACE(s.name);
    const std::vector<uint8_t> code = encode_ops(s.set, s.ops);
    const int64_t size = static_cast<int64_t>(code.size());
    // The decoder's four-byte read-ahead ends exactly on the trailing zeros.
    EXPECT_EQ(decode_ops(s.set, s.ops, code.data(), size), size);
    EXPECT_EQ(decode_ops(s.set, s.ops, code.data(), size, Source::kMemory), size);
    for (int64_t split : {int64_t(0), int64_t(3), size / 2, size - 1, size}) {
      SCOPED_TRACE(split);
      EXPECT_EQ(decode_ops(s.set, s.ops, code.data(), size, Source::kMemoryThenStream, split), size);
    }
    EXPECT_GE(code.size(), s.min_code_bytes);
  }
}

// Codes worked out by hand from the interval arithmetic; they pin down the
// byte format (renormalisation, finishing bytes, trailing zeros).
TEST(ArithCoder, HandDerivedCodes) {
  struct Case {
    const char* name;
    std::vector<Op> ops;
    std::vector<uint8_t> expected;
  };
  const Case cases[] = {
      // length 0xFFFFFFFF > 2^25: base 2^24, one code byte and three zeros.
      {"empty code", {}, {0x01, 0x00, 0x00, 0x00}},
      // base = 0x1234 * 0xFFFF = 0x1233EDCC, emits 12 33; done adds 2^24 to 0xEDCC0000.
      {"one short", {{OpKind::kShort, 0, 0, 0x1234}}, {0x12, 0x33, 0xEE, 0x00, 0x00, 0x00}},
      // Bit 0 keeps base 0 and length 4096 * 0x7FFFF.
      {"bit 0", {{OpKind::kBit, 0, 0, 0}}, {0x01, 0x00, 0x00, 0x00}},
      // Bit 1 moves base to 0x7FFFF000; done gives 0x80FFF000.
      {"bit 1", {{OpKind::kBit, 0, 0, 1}}, {0x80, 0x00, 0x00, 0x00}},
      // 0xFFFF * 0xFFFF = 0xFFFE0001 emits FF FE, leaving length 0xFFFF0000
      // and base 0x00010000: done gives 0x01010000.
      {"short 0xFFFF", {{OpKind::kShort, 0, 0, 0xFFFF}}, {0xFF, 0xFE, 0x01, 0x00, 0x00, 0x00}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ModelSet set{1, {}};
    EXPECT_EQ(encode_ops(set, c.ops), c.expected);
    EXPECT_EQ(decode_ops(set, c.ops, c.expected.data(), static_cast<int64_t>(c.expected.size())),
              static_cast<int64_t>(c.expected.size()));
  }
}

// Mirrors the encoder's interval for raw shorts only, so that a test can pick
// values whose subinterval straddles the point where a carry would occur.
struct ShortInterval {
  uint32_t base = 0;
  uint32_t length = 0xFFFFFFFF;
  void write(uint16_t v) {
    length >>= 16;
    base += v * length;
    while (length < (1u << 24)) {
      base <<= 8;
      length <<= 8;
    }
  }
  // The value whose subinterval contains the 2^32 carry boundary when the
  // interval straddles it, else the next multiple of 2^16 (which then ends
  // up at the boundary after the two renormalisation bytes).
  uint16_t straddling_value() const {
    const uint64_t l = length >> 16;
    const uint64_t top = uint64_t{base} + length;
    const uint64_t target = top > (uint64_t{1} << 32) ? (uint64_t{1} << 32) : ((uint64_t{base} >> 16) + 1) << 16;
    uint64_t v = (target - base) / l;
    if (v > 0 && base + v * l == target) v--;
    return static_cast<uint16_t>(v > 0xFFFF ? 0xFFFF : v);
  }
  // The smallest value whose subinterval starts past the boundary.
  uint16_t carrying_value() const {
    const uint64_t l = length >> 16;
    const uint64_t v = ((uint64_t{1} << 32) - base + l - 1) / l;
    return static_cast<uint16_t>(v > 0xFFFF ? 0xFFFF : v);
  }
};

size_t longest_run(const std::vector<uint8_t>& bytes, uint8_t value) {
  size_t best = 0, run = 0;
  for (uint8_t b : bytes) {
    run = b == value ? run + 1 : 0;
    if (run > best) best = run;
  }
  return best;
}

// A carry travels back through every 0xFF byte at the end of the code. Runs
// longer than a ring block used to reach bytes already handed to the stream,
// and the carry was lost: the decoder then returned different values from
// the first byte of the run on. Values chosen adversarially (raw low bits of
// coordinates can be anything) produce such runs.
TEST(ArithCoder, CarryThroughLongRunsOf0xFFAcrossRingBlocks) {
  struct Case {
    const char* name;
    int prefix_shorts;    // random shorts before the run (moves the run's offset in the ring)
    int straddle_shorts;  // two 0xFF bytes each
  };
  const Case cases[] = {
      {"short run", 10, 5},
      {"run across the first hand-over", 4000, 300},
      {"run of just under a block", 100, 2040},
      {"run of one block", 2000, 2048},
      {"run of a block and a half", 3000, 3072},
      {"run of several blocks", 1234, 20000},
      {"run ending on the ring wrap", 0, 4096 + 2048 - 1},
  };
  std::mt19937_64 rng(7);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ShortInterval iv;
    std::vector<Op> ops;
    auto add = [&](uint16_t v) {
      ops.push_back({OpKind::kShort, 0, 0, v});
      iv.write(v);
    };
    for (int i = 0; i < c.prefix_shorts; i++) add(static_cast<uint16_t>(rng()));
    // Enter the straddle, stay in it, then carry out of it.
    for (int i = 0; i < c.straddle_shorts + 1; i++) add(iv.straddling_value());
    add(iv.carrying_value());
    for (int i = 0; i < 100; i++) add(static_cast<uint16_t>(rng()));

    const ModelSet set{0, {}};
    const std::vector<uint8_t> code = encode_ops(set, ops);
    // The carry turned the run of 0xFF into zeros.
    EXPECT_GE(longest_run(code, 0x00), static_cast<size_t>(2 * c.straddle_shorts));
    EXPECT_EQ(decode_ops(set, ops, code.data(), static_cast<int64_t>(code.size())),
              static_cast<int64_t>(code.size()));
  }
}

// Same, but the run is still open when the code ends: done() must hand over
// the held-back bytes ahead of the ring.
TEST(ArithCoder, CodeEndingInsideLongRunOf0xFF) {
  for (int straddle : {4096, 9000}) {
    SCOPED_TRACE(straddle);
    ShortInterval iv;
    std::vector<Op> ops;
    for (int i = 0; i < 777; i++) {
      ops.push_back({OpKind::kShort, 0, 0, static_cast<uint16_t>(i * 40503u)});
      iv.write(static_cast<uint16_t>(ops.back().value));
    }
    for (int i = 0; i < straddle; i++) {
      ops.push_back({OpKind::kShort, 0, 0, iv.straddling_value()});
      iv.write(static_cast<uint16_t>(ops.back().value));
    }
    const ModelSet set{0, {}};
    const std::vector<uint8_t> code = encode_ops(set, ops);
    EXPECT_GE(longest_run(code, 0xFF) + longest_run(code, 0x00), static_cast<size_t>(2 * straddle));
    EXPECT_EQ(decode_ops(set, ops, code.data(), static_cast<int64_t>(code.size())),
              static_cast<int64_t>(code.size()));
  }
}

TEST(ArithCoder, EncoderRestartsCleanlyAfterDone) {
  // A second code from the same encoder (as at every chunk) must not depend
  // on the first.
  std::mt19937_64 rng(3);
  std::vector<Op> ops;
  for (int i = 0; i < 30000; i++) ops.push_back({OpKind::kBits, 0, 32, random_bits(rng, 32)});
  ArithEncoder enc;
  ByteStreamOutArrayLE first, second;
  for (ByteStreamOutArrayLE* out : {&first, &second}) {
    ASSERT_TRUE(enc.init(out));
    for (const Op& op : ops) enc.write_bits(32, static_cast<uint32_t>(op.value));
    ASSERT_TRUE(enc.done());
  }
  ASSERT_EQ(first.get_size(), second.get_size());
  EXPECT_TRUE(std::equal(first.get_data(), first.get_data() + first.get_size(), second.get_data()));
}

TEST(ArithCoder, NullStreamsAreRefused) {
  ArithEncoder enc;
  ArithDecoder dec;
  EXPECT_FALSE(enc.init(nullptr));
  EXPECT_FALSE(dec.init(nullptr));
  EXPECT_FALSE(enc.done());  // never started
}

// Output that the stream refuses makes done() fail.
class RefusingStream : public ByteStreamOutArrayLE {
 public:
  explicit RefusingStream(int64_t limit) : limit(limit) {}
  bool put_byte(uint8_t byte) override { return tell() < limit && ByteStreamOutArrayLE::put_byte(byte); }
  bool put_bytes(const uint8_t* bytes, uint32_t n) override {
    return tell() + n <= limit && ByteStreamOutArrayLE::put_bytes(bytes, n);
  }

 private:
  int64_t limit;
};

TEST(ArithCoder, RefusedOutputIsReported) {
  for (int64_t limit : {0, 3, 4096, 10000}) {
    SCOPED_TRACE(limit);
    RefusingStream out(limit);
    ArithEncoder enc;
    ASSERT_TRUE(enc.init(&out));
    for (uint32_t i = 0; i < 5000; i++) enc.write_bits(32, i * 2654435761u);
    EXPECT_FALSE(enc.done());
  }
}

TEST(SymbolModel, AlphabetLimitsAndDecoderTables) {
  struct Case {
    uint32_t symbols;
    bool compress;
    int result;
    uint32_t table_size;
    uint32_t table_shift;
  };
  const Case cases[] = {
      {1, false, -1, 0, 0},      {2049, false, -1, 0, 0},  {0, true, -1, 0, 0},
      {2, false, 0, 0, 0},       {16, false, 0, 0, 0},     {17, false, 0, 128, 8},
      {32, false, 0, 128, 8},    {33, false, 0, 256, 7},   {256, false, 0, 512, 6},
      {256, true, 0, 0, 0},      {2048, false, 0, 512, 6}, {2048, true, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.symbols << (c.compress ? " encoding" : " decoding"));
    SymbolModel m(c.symbols, c.compress);
    EXPECT_EQ(m.init(), c.result);
    EXPECT_EQ(m.get_table_size(), c.table_size);
    EXPECT_EQ(m.get_table_shift(), c.table_shift);
  }
}

// Truncating a code anywhere makes decoding run out of data, never decode
// past the end (the array stream throws rather than reading on).
TEST(ArithDecoder, TruncatedCodesEndWithEndOfData) {
  std::mt19937_64 rng(11);
  ModelSet set{2, {3, 40, 2048}};
  std::vector<Op> ops;
  for (int i = 0; i < 3000; i++) {
    ops.push_back({OpKind::kSymbol, static_cast<uint32_t>(i % 3), 0, rng() % set.symbol_sizes[i % 3]});
    ops.push_back({OpKind::kBit, static_cast<uint32_t>(i % 2), 0, rng() & 1});
    ops.push_back({OpKind::kBits, 0, 24, random_bits(rng, 24)});
  }
  const std::vector<uint8_t> code = encode_ops(set, ops);
  for (size_t cut = 0; cut < code.size(); cut += (cut < 64 || code.size() - cut < 64) ? 1 : 97) {
    SCOPED_TRACE(cut);
    // A copy of exactly the kept bytes, so that ASan sees any over-read.
    const std::vector<uint8_t> kept(code.begin(), code.begin() + static_cast<long>(cut));
    for (Source source : {Source::kStream, Source::kMemory}) {
      try {
        decode_ops(set, ops, kept.data(), static_cast<int64_t>(kept.size()), source);
        ADD_FAILURE() << "decoded a truncated code";
      } catch (int e) {
        EXPECT_EQ(e, byte_stream_end_of_data);
      }
    }
  }
}

// Corrupt codes decode to wrong values or stop with one of the two decoder
// exceptions; they never read outside the models or the data (ASan) and
// never loop.
TEST(ArithDecoder, CorruptCodesStopWithTheDecoderExceptions) {
  std::mt19937_64 rng(13);
  const std::vector<uint32_t> sizes = {2, 16, 17, 256, 2048};
  int corrupt = 0, end = 0;
  for (int trial = 0; trial < 400; trial++) {
    std::vector<uint8_t> bytes(static_cast<size_t>(8 + rng() % 200));
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(trial % 4 == 0 ? 0xFF : rng());
    ArithDecoder dec;
    ByteStreamInArrayLE in(bytes.data(), static_cast<int64_t>(bytes.size()));
    std::vector<std::unique_ptr<SymbolModel>> models;
    for (uint32_t n : sizes) {
      models.emplace_back(dec.create_symbol_model(n));
      ASSERT_EQ(dec.init_symbol_model(*models.back()), 0);
    }
    BitModel bit;
    try {
      ASSERT_TRUE(dec.init(&in));
      for (int i = 0; i < 100000; i++) {
        switch (rng() % 4) {
          case 0: dec.decode_bit(bit); break;
          case 1: EXPECT_LT(dec.decode_symbol(*models[i % sizes.size()]), sizes[i % sizes.size()]); break;
          case 2: EXPECT_LT(dec.read_bits(1 + i % 19), 1u << (1 + i % 19)); break;
          default: dec.read_bits(32); break;
        }
      }
      ADD_FAILURE() << "100000 operations from " << bytes.size() << " bytes";
    } catch (int e) {
      if (e == arith_corrupt_data) {
        corrupt++;
      } else {
        EXPECT_EQ(e, byte_stream_end_of_data);
        end++;
      }
    }
  }
  // Both ways of stopping occur.
  EXPECT_GT(corrupt, 0);
  EXPECT_GT(end, 0);
}

// Raw values that no encoder can produce: the check comes after the
// renormalisation, so a code that also runs out reports end of data.
TEST(ArithDecoder, ImpossibleRawValues) {
  struct Case {
    const char* name;
    size_t bytes;  // of 0xFF: value == length, beyond every raw value
    uint32_t bits;
    int expected;
  };
  const Case cases[] = {
      {"short", 6, 16, arith_corrupt_data},
      {"short, out of data while renormalising", 5, 16, byte_stream_end_of_data},
      {"8 bits", 5, 8, arith_corrupt_data},
      {"19 bits", 7, 19, arith_corrupt_data},
      {"32 bits: the low short already", 6, 32, arith_corrupt_data},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> bytes(c.bytes, 0xFF);
    ByteStreamInArrayLE in(bytes.data(), static_cast<int64_t>(bytes.size()));
    ArithDecoder dec;
    ASSERT_TRUE(dec.init(&in));
    try {
      if (c.bits == 16) {
        dec.read_short();
      } else {
        dec.read_bits(c.bits);
      }
      ADD_FAILURE() << "no exception";
    } catch (int e) {
      EXPECT_EQ(e, c.expected);
    }
  }
}

// Once the code value exceeds the interval, the table index of a large model
// can point past the table: that is corrupt data, not an over-read.
TEST(ArithDecoder, TableIndexBeyondTheTableIsCorruptData) {
  const std::vector<uint8_t> bytes(4096, 0xFF);
  ByteStreamInArrayLE in(bytes.data(), static_cast<int64_t>(bytes.size()));
  ArithDecoder dec;
  std::unique_ptr<SymbolModel> model(dec.create_symbol_model(2048));
  ASSERT_EQ(dec.init_symbol_model(*model), 0);
  BitModel bit;
  ASSERT_TRUE(dec.init(&in));
  int thrown = 0;
  try {
    // All 0xFF keeps value at or above length; each 1-bit shrinks the
    // interval but not the excess, until the table index leaves the table.
    for (int i = 0; i < 1000; i++) {
      dec.decode_bit(bit);
      dec.decode_symbol(*model);
    }
  } catch (int e) {
    thrown = e;
  }
  EXPECT_EQ(thrown, arith_corrupt_data);
}

}  // namespace
