// Entropy-coding throughput: integers through the IntegerCoder at the
// corrector sizes the codecs see (coordinate differences of a few units up
// to random 32-bit values), symbols through models with and without a
// decoder table, and whole chunks of point type 3 records (POINT10,
// GPSTIME11, RGB12, version 2) through the item codecs.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/integercoder.h"
#include "compression/itemcompressed_gpstime11_v2.h"
#include "compression/itemcompressed_point10_v2.h"
#include "compression/itemcompressed_rgb12_v2.h"
#include "las/bytestreamin_array.h"
#include "las/bytestreamout_array.h"

namespace {

constexpr int kValues = 1 << 16;

// Values whose differences to the previous one have about `spread` bits.
std::vector<int32_t> walk(int spread) {
  std::mt19937 rng(42);
  std::vector<int32_t> v(kValues);
  uint32_t x = 0;
  for (int32_t& e : v) {
    const uint32_t step = spread >= 32 ? rng() : rng() & ((1u << spread) - 1);
    x += step - (spread >= 32 ? 0 : (1u << spread) / 2);
    e = static_cast<int32_t>(x);
  }
  return v;
}

std::vector<uint8_t> compress_all(const std::vector<int32_t>& values) {
  ArithEncoder enc;
  ByteStreamOutArrayLE out(static_cast<int64_t>(values.size()) * 5 + 4096);
  IntegerCoder ic(&enc, 32, 2, 8, 0);
  (void)enc.init(&out);
  ic.init_encoding();
  int32_t last = 0;
  for (int32_t v : values) {
    ic.compress(last, v, 0);
    last = v;
  }
  (void)enc.done();
  return std::vector<uint8_t>(out.get_data(), out.get_data() + out.get_size());
}

void BM_IntegerCompress(benchmark::State& state) {
  const std::vector<int32_t> values = walk(static_cast<int>(state.range(0)));
  ArithEncoder enc;
  ByteStreamOutArrayLE out(static_cast<int64_t>(values.size()) * 5 + 4096);
  IntegerCoder ic(&enc, 32, 2, 8, 0);
  int64_t bytes = 0;
  for (auto _ : state) {
    (void)out.seek(0);
    (void)enc.init(&out);
    ic.init_encoding();
    int32_t last = 0;
    for (int32_t v : values) {
      ic.compress(last, v, 0);
      last = v;
    }
    (void)enc.done();
    bytes += out.tell();
  }
  state.SetItemsProcessed(state.iterations() * kValues);
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_IntegerCompress)->Arg(4)->Arg(12)->Arg(32);

void BM_IntegerDecompress(benchmark::State& state) {
  const std::vector<int32_t> values = walk(static_cast<int>(state.range(0)));
  const std::vector<uint8_t> code = compress_all(values);
  ArithDecoder dec;
  IntegerCoder ic(&dec, 32, 2, 8, 0);
  for (auto _ : state) {
    ByteStreamInArrayLE in(code.data(), static_cast<int64_t>(code.size()));
    (void)dec.init(&in);
    ic.init_decoding();
    int32_t last = 0;
    for (int i = 0; i < kValues; i++) last = ic.decompress(last, 0);
    benchmark::DoNotOptimize(last);
    if (last != values.back()) state.SkipWithError("decoded values differ");
  }
  state.SetItemsProcessed(state.iterations() * kValues);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(code.size()));
}
BENCHMARK(BM_IntegerDecompress)->Arg(4)->Arg(12)->Arg(32);

std::vector<uint32_t> skewed_symbols(uint32_t symbols) {
  std::mt19937 rng(7);
  std::geometric_distribution<uint32_t> g(0.05);
  std::vector<uint32_t> v(kValues);
  for (uint32_t& s : v) s = g(rng) % symbols;
  return v;
}

void BM_SymbolEncode(benchmark::State& state) {
  const uint32_t symbols = static_cast<uint32_t>(state.range(0));
  const std::vector<uint32_t> input = skewed_symbols(symbols);
  ArithEncoder enc;
  std::unique_ptr<SymbolModel> model(enc.create_symbol_model(symbols));
  ByteStreamOutArrayLE out(kValues * 2 + 4096);
  for (auto _ : state) {
    (void)out.seek(0);
    (void)enc.init(&out);
    enc.init_symbol_model(*model);
    for (uint32_t s : input) enc.encode_symbol(*model, s);
    (void)enc.done();
  }
  state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(BM_SymbolEncode)->Arg(16)->Arg(256)->Arg(2048);

void BM_SymbolDecode(benchmark::State& state) {
  const uint32_t symbols = static_cast<uint32_t>(state.range(0));
  const std::vector<uint32_t> input = skewed_symbols(symbols);
  std::vector<uint8_t> code;
  {
    ArithEncoder enc;
    std::unique_ptr<SymbolModel> model(enc.create_symbol_model(symbols));
    enc.init_symbol_model(*model);
    ByteStreamOutArrayLE out(kValues * 2 + 4096);
    (void)enc.init(&out);
    for (uint32_t s : input) enc.encode_symbol(*model, s);
    (void)enc.done();
    code.assign(out.get_data(), out.get_data() + out.get_size());
  }
  ArithDecoder dec;
  std::unique_ptr<SymbolModel> model(dec.create_symbol_model(symbols));
  for (auto _ : state) {
    ByteStreamInArrayLE in(code.data(), static_cast<int64_t>(code.size()));
    (void)dec.init(&in);
    dec.init_symbol_model(*model);
    uint32_t sum = 0;
    for (int i = 0; i < kValues; i++) sum += dec.decode_symbol(*model);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(BM_SymbolDecode)->Arg(16)->Arg(256)->Arg(2048);

// Point type 3 records (20 + 8 + 6 bytes) of a scan: lines of pulses with
// one to three returns, steady GPS time, smoothly varying colour.
constexpr int kPoints = 50000;
constexpr size_t kRecord = 34;

std::vector<uint8_t> scan_records() {
  std::mt19937 rng(3);
  std::vector<uint8_t> bytes(kPoints * kRecord);
  double t = 412345.678;
  int i = 0;
  for (int pulse = 0; i < kPoints; pulse++) {
    const int along = pulse % 400, line = pulse / 400;
    const int32_t x = 100000 + along * 25 + static_cast<int32_t>(rng() % 5);
    const int32_t y = 500000 + line * 120 + static_cast<int32_t>(rng() % 5);
    const int32_t ground = 2000 + static_cast<int32_t>(300 * std::sin(x * 1e-4));
    const int n = rng() % 10 < 7 ? 1 : 1 + static_cast<int>(rng() % 3);
    for (int r = 1; r <= n && i < kPoints; r++, i++) {
      uint8_t* p = &bytes[i * kRecord];
      const int32_t z = ground + (n - r) * 400 + static_cast<int32_t>(rng() % 7);
      const uint16_t intensity = static_cast<uint16_t>(100 + rng() % 200);
      memcpy(p, &x, 4);
      memcpy(p + 4, &y, 4);
      memcpy(p + 8, &z, 4);
      memcpy(p + 12, &intensity, 2);
      p[14] = static_cast<uint8_t>(r | (n << 3) | ((line & 1) << 6));
      p[15] = r == n ? 2 : 5;
      p[16] = static_cast<uint8_t>(along / 10 - 20);
      p[17] = 0;
      p[18] = 1;
      p[19] = 0;
      memcpy(p + 20, &t, 8);
      const uint16_t rgb[3] = {static_cast<uint16_t>((128 + 100 * std::sin(i * 0.01)) * 256),
                               static_cast<uint16_t>((128 + 90 * std::sin(i * 0.013)) * 256),
                               static_cast<uint16_t>((128 + 80 * std::sin(i * 0.017)) * 256)};
      memcpy(p + 28, rgb, 6);
    }
    t += 1e-5;
  }
  return bytes;
}

struct Point3Writer {
  explicit Point3Writer(ArithEncoder* enc) : point(enc), gpstime(enc), rgb(enc) {}
  LASwriteItemCompressed_POINT10_v2 point;
  LASwriteItemCompressed_GPSTIME11_v2 gpstime;
  LASwriteItemCompressed_RGB12_v2 rgb;
};

struct Point3Reader {
  explicit Point3Reader(ArithDecoder* dec) : point(dec), gpstime(dec), rgb(dec) {}
  LASreadItemCompressed_POINT10_v2 point;
  LASreadItemCompressed_GPSTIME11_v2 gpstime;
  LASreadItemCompressed_RGB12_v2 rgb;
};

// One chunk: the first record starts the models, the rest is coded.
void encode_chunk(Point3Writer& w, ArithEncoder& enc, ByteStreamOutArrayLE& out, const std::vector<uint8_t>& bytes) {
  uint32_t context = 0;
  (void)out.seek(0);
  (void)w.point.init(&bytes[0], context);
  (void)w.gpstime.init(&bytes[20], context);
  (void)w.rgb.init(&bytes[28], context);
  (void)enc.init(&out);
  for (size_t i = 1; i < kPoints; i++) {
    const uint8_t* p = &bytes[i * kRecord];
    (void)w.point.write(p, context);
    (void)w.gpstime.write(p + 20, context);
    (void)w.rgb.write(p + 28, context);
  }
  (void)enc.done();
}

void BM_Point3ChunkEncode(benchmark::State& state) {
  const std::vector<uint8_t> bytes = scan_records();
  ArithEncoder enc;
  Point3Writer w(&enc);
  ByteStreamOutArrayLE out(static_cast<int64_t>(bytes.size()));
  for (auto _ : state) encode_chunk(w, enc, out, bytes);
  state.counters["bytes_per_point"] = static_cast<double>(out.tell()) / kPoints;
  state.SetItemsProcessed(state.iterations() * kPoints);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_Point3ChunkEncode);

void BM_Point3ChunkDecode(benchmark::State& state) {
  const std::vector<uint8_t> bytes = scan_records();
  std::vector<uint8_t> code;
  {
    ArithEncoder enc;
    Point3Writer w(&enc);
    ByteStreamOutArrayLE out(static_cast<int64_t>(bytes.size()));
    encode_chunk(w, enc, out, bytes);
    code.assign(out.get_data(), out.get_data() + out.tell());
  }
  ArithDecoder dec;
  Point3Reader r(&dec);
  std::vector<uint8_t> decoded(bytes.size());
  for (auto _ : state) {
    ByteStreamInArrayLE in(code.data(), static_cast<int64_t>(code.size()));
    uint32_t context = 0;
    memcpy(decoded.data(), bytes.data(), kRecord);
    (void)r.point.init(&decoded[0], context);
    (void)r.gpstime.init(&decoded[20], context);
    (void)r.rgb.init(&decoded[28], context);
    (void)dec.init(&in);
    for (size_t i = 1; i < kPoints; i++) {
      uint8_t* p = &decoded[i * kRecord];
      r.point.read(p, context);
      r.gpstime.read(p + 20, context);
      r.rgb.read(p + 28, context);
    }
    benchmark::DoNotOptimize(decoded.data());
  }
  if (decoded != bytes) state.SkipWithError("decoded records differ");
  state.SetItemsProcessed(state.iterations() * kPoints);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_Point3ChunkDecode);

}  // namespace

BENCHMARK_MAIN();
