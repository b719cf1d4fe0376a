// POINT14 codecs, versions 3 and 4: round trips of simulated multi-channel
// scans and of adversarial records in every LAS 1.4 format, layers dropped
// when nothing changed, selective decoding, the context handed to the items
// that follow, the GPS time +0/-0 rule, the legacy view of the returns, and
// truncated, corrupt and oversized chunks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "compression/arithmodel.h"
#include "compression/integercoder.h"
#include "compression/layered_chunk.h"
#include "las/bytestreamin.h"

namespace {

using layered::ChunkReader;
using layered::ChunkWriter;
using layered::kAllLayers;
using layered::Layout;
using layered::Records;

// Layer indexes of POINT14.
enum { kLayerXY, kLayerZ, kLayerClass, kLayerFlags, kLayerIntensity, kLayerScanAngle, kLayerUserData,
       kLayerPointSource, kLayerGpsTime };

// The fields of a POINT14 record.
struct Point {
  int32_t x = 0, y = 0, z = 0;
  uint16_t intensity = 0;
  uint8_t r = 1, n = 1;
  uint8_t class_flags = 0;  // synthetic, key-point, withheld, overlap
  uint8_t channel = 0;
  uint8_t scan_direction = 0, edge = 0;
  uint8_t classification = 0;
  uint8_t user_data = 0;
  int16_t scan_angle = 0;
  uint16_t point_source = 0;
  double gps_time = 0.0;
};

void put_point14(uint8_t* b, const Point& p) {
  memcpy(b + layered::kX, &p.x, 4);
  memcpy(b + layered::kY, &p.y, 4);
  memcpy(b + layered::kZ, &p.z, 4);
  memcpy(b + layered::kIntensity, &p.intensity, 2);
  b[layered::kReturns] = static_cast<uint8_t>((p.r & 15) | (p.n << 4));
  b[layered::kFlags] =
      static_cast<uint8_t>((p.class_flags & 15) | ((p.channel & 3) << 4) | (p.scan_direction << 6) | (p.edge << 7));
  b[layered::kClass] = p.classification;
  b[layered::kUserData] = p.user_data;
  memcpy(b + layered::kScanAngle, &p.scan_angle, 2);
  memcpy(b + layered::kPointSource, &p.point_source, 2);
  memcpy(b + layered::kGpsTime, &p.gps_time, 8);
}

// A simulated scan: pulses of 1 to 15 returns sharing a GPS time, scanner
// channels interleaving in runs, coordinates along zig-zag scan lines, a
// terrain with noise, mostly ground and vegetation classes with some above
// 31, occasional withheld and overlap points, flight lines with their own
// point source and a time jump between them. The bytes after POINT14 (the
// colour, wave packet and extra bytes of formats 7 to 10) change slowly.
Records simulated_scan(const Layout& layout, size_t points, uint32_t seed, int channels = 4) {
  std::mt19937 rng(seed);
  Records r(layout.record_length());
  double t = 245000.0 + seed;
  int32_t x = 100000, y = 200000;
  uint8_t channel = 0;
  int run = 0;
  uint16_t source = 7;
  int line_points = 0;
  std::vector<uint8_t> rest(layout.record_length() - 30);
  for (size_t i = 0; i < rest.size(); i++) rest[i] = static_cast<uint8_t>(rng());
  while (r.count() < points) {
    if (++line_points > 3000) {
      // Next flight line: new source, a time far away.
      line_points = 0;
      source++;
      t += (rng() % 2) ? 1e6 : 3.5;
      y += 5000;
    }
    if (--run <= 0) {
      channel = static_cast<uint8_t>(rng() % channels);
      run = 1 + static_cast<int>(rng() % 40);
    }
    t += 0.00001 * (1 + rng() % 3);
    x += 30 + static_cast<int32_t>(rng() % 11) - 5;
    y += static_cast<int32_t>(rng() % 5) - 2;
    const uint8_t n = static_cast<uint8_t>((rng() % 10 < 7) ? 1 : 2 + rng() % ((rng() % 50 == 0) ? 14 : 4));
    const int32_t ground = 50000 + static_cast<int32_t>(2000.0 * std::sin(x * 1e-4)) + static_cast<int32_t>(rng() % 20);
    for (uint8_t ret = 1; ret <= n && r.count() < points; ret++) {
      Point p;
      p.x = x + static_cast<int32_t>(rng() % 3);
      p.y = y + static_cast<int32_t>(rng() % 3);
      p.z = ground + (n - ret) * 300 + static_cast<int32_t>(rng() % 50);
      p.intensity = static_cast<uint16_t>(200 + ret * 10 + rng() % 40);
      p.r = ret;
      p.n = n;
      p.channel = channel;
      p.scan_direction = (line_points / 100) & 1;
      p.edge = (line_points % 100) == 0;
      const uint32_t c = rng() % 100;
      p.classification = static_cast<uint8_t>(ret == n ? (c < 80 ? 2 : (c < 95 ? 1 : 40 + c % 5)) : 5);
      p.class_flags = static_cast<uint8_t>((rng() % 200 == 0 ? 4 : 0) | (line_points < 300 ? 8 : 0));
      p.user_data = 3;
      p.scan_angle = static_cast<int16_t>((line_points % 200) * 50 - 5000);
      p.point_source = source;
      p.gps_time = t;
      uint8_t* b = r.add();
      put_point14(b, p);
      if (!rest.empty() && rng() % 8 == 0) rest[rng() % rest.size()] += 1;
      if (!rest.empty()) memcpy(b + 30, rest.data(), rest.size());
    }
  }
  return r;
}

// Records whose every byte is random.
Records random_records(const Layout& layout, size_t points, uint32_t seed) {
  std::mt19937 rng(seed);
  Records r(layout.record_length());
  for (size_t i = 0; i < points; i++) {
    uint8_t* b = r.add();
    for (size_t j = 0; j < r.record_length; j++) b[j] = static_cast<uint8_t>(rng());
  }
  return r;
}

std::vector<Layout> all_layouts() {
  std::vector<Layout> layouts;
  for (int version : {3, 4}) {
    for (uint8_t format = 6; format <= 10; format++) {
      layouts.push_back({format, 0, version});
      layouts.push_back({format, 5, version});
    }
    layouts.push_back({6, 23, version});  // more extra bytes than have selective bits
  }
  return layouts;
}

std::string name_of(const Layout& l) {
  return "format " + std::to_string(l.format) + " extra " + std::to_string(l.extra) + " v" +
         std::to_string(l.version);
}

uint32_t layer_size(const std::vector<uint8_t>& chunk, int layer) {
  uint32_t size;
  memcpy(&size, chunk.data() + 4 * layer, 4);
  return size;
}

TEST(Point14, SimulatedScansRoundTripInEveryFormat) {
  for (const Layout& layout : all_layouts()) {
    SCOPED_TRACE(name_of(layout));
    const Records r = simulated_scan(layout, 7000, layout.format * 10 + layout.version);
    layered::expect_round_trip(layout, r, 2500);
  }
}

TEST(Point14, RandomRecordsRoundTripInEveryFormat) {
  for (const Layout& layout : all_layouts()) {
    SCOPED_TRACE(name_of(layout));
    layered::expect_round_trip(layout, random_records(layout, 1500, layout.format + 100 * layout.extra), 700);
  }
}

// Extreme values next to each other: coordinate differences that wrap,
// every return count and number, classes above 31, all flags, scan angle and
// point source extremes, GPS times that jump by more than 32 bits, go back,
// repeat, and NaN.
TEST(Point14, EdgeValuesRoundTrip) {
  const Layout layout{6, 0, 3};
  Records r(layout.record_length());
  const int32_t coords[] = {0, 1, -1, INT32_MAX, INT32_MIN, 12345, INT32_MIN + 1};
  const double times[] = {0.0, 1.0, 1e9, 1e9, -5.0, std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::quiet_NaN(), 1e-300, 1e300, 2.0, 2.0000001};
  int i = 0;
  for (int32_t c : coords) {
    for (int n = 0; n < 16; n++) {
      Point p;
      p.x = c;
      p.y = static_cast<int32_t>(0u - static_cast<uint32_t>(c));
      p.z = c ^ n;
      p.intensity = static_cast<uint16_t>(i % 3 == 0 ? 65535 : i);
      p.n = static_cast<uint8_t>(n);
      p.r = static_cast<uint8_t>((i * 7) % 16);
      p.class_flags = static_cast<uint8_t>(i % 16);
      p.channel = static_cast<uint8_t>((i / 5) % 4);
      p.scan_direction = i & 1;
      p.edge = (i >> 1) & 1;
      p.classification = static_cast<uint8_t>(i * 37);
      p.user_data = static_cast<uint8_t>(255 - i);
      p.scan_angle = static_cast<int16_t>(i % 2 ? INT16_MIN : INT16_MAX);
      p.point_source = static_cast<uint16_t>(i % 4 ? 0 : 65535);
      p.gps_time = times[i % (sizeof(times) / sizeof(times[0]))];
      put_point14(r.add(), p);
      i++;
    }
  }
  for (int version : {3, 4}) {
    SCOPED_TRACE(version);
    layered::expect_round_trip({6, 0, version}, r, 40);
  }
}

// A chunk whose points differ only in X, Y, Z and returns stores nothing for
// the other seven layers, and the reader gives every point the first one's
// values of them.
TEST(Point14, UnchangedLayersAreDropped) {
  const Layout layout{6, 0, 3};
  Records r(layout.record_length());
  for (int i = 0; i < 500; i++) {
    Point p;
    p.x = i * 10;
    p.y = i * i;
    p.z = 1000 - i;
    p.r = static_cast<uint8_t>(1 + i % 3);
    p.n = 3;
    p.intensity = 77;
    p.classification = 40;
    p.class_flags = 8;
    p.user_data = 9;
    p.scan_angle = -300;
    p.point_source = 12;
    p.gps_time = 12345.5;
    put_point14(r.add(), p);
  }
  ChunkWriter writer(layout);
  const std::vector<uint8_t> chunk = writer.write(r);
  EXPECT_GT(layer_size(chunk, kLayerXY), 0u);
  EXPECT_GT(layer_size(chunk, kLayerZ), 0u);
  for (int layer = kLayerClass; layer <= kLayerGpsTime; layer++) EXPECT_EQ(layer_size(chunk, layer), 0u) << layer;
  ChunkReader reader(layout, kAllLayers);
  Records decoded(r.record_length);
  ASSERT_TRUE(reader.read(chunk, r.at(0), r.count(), decoded));
  layered::expect_same_records(r, decoded);
}

// Each layer is kept exactly when its field changes somewhere in the chunk.
TEST(Point14, OneChangedFieldKeepsOneLayer) {
  struct Case {
    const char* name;
    void (*change)(Point&);
    int layer;
  };
  const Case cases[] = {
      {"classification", [](Point& p) { p.classification = 6; }, kLayerClass},
      {"overlap flag", [](Point& p) { p.class_flags = 8; }, kLayerFlags},
      {"scan direction", [](Point& p) { p.scan_direction = 1; }, kLayerFlags},
      {"edge of flight line", [](Point& p) { p.edge = 1; }, kLayerFlags},
      {"intensity", [](Point& p) { p.intensity = 1; }, kLayerIntensity},
      {"scan angle", [](Point& p) { p.scan_angle = 1; }, kLayerScanAngle},
      {"user data", [](Point& p) { p.user_data = 1; }, kLayerUserData},
      {"point source", [](Point& p) { p.point_source = 1; }, kLayerPointSource},
      {"GPS time", [](Point& p) { p.gps_time = 1.0; }, kLayerGpsTime},
  };
  const Layout layout{6, 0, 4};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Records r(layout.record_length());
    for (int i = 0; i < 20; i++) {
      Point p;
      p.x = i;
      if (i == 13) c.change(p);
      put_point14(r.add(), p);
    }
    ChunkWriter writer(layout);
    const std::vector<uint8_t> chunk = writer.write(r);
    for (int layer = kLayerClass; layer <= kLayerGpsTime; layer++) {
      EXPECT_EQ(layer_size(chunk, layer) > 0, layer == c.layer) << "layer " << layer;
    }
    ChunkReader reader(layout, kAllLayers);
    Records decoded(r.record_length);
    ASSERT_TRUE(reader.read(chunk, r.at(0), r.count(), decoded));
    layered::expect_same_records(r, decoded);
  }
}

// Selective decoding: X, Y, returns and channel always equal the full read;
// a layer not asked for leaves its fields at the chunk's first point; the
// layers asked for equal the full read.
TEST(Point14, SelectiveDecodingKeepsTheFirstPointsValuesOfSkippedLayers) {
  struct Case {
    const char* name;
    uint32_t selective;
  };
  const Case cases[] = {{"nothing", 0}, {"x, y, z", 0x1}, {"classification and GPS time", 0x82},
                        {"intensity and point source", 0x48}, {"all but z", 0xFFFFFFFE}};
  const Layout layout{6, 0, 3};
  const Records r = simulated_scan(layout, 4000, 3);
  ChunkWriter writer(layout);
  const std::vector<uint8_t> chunk = writer.write(r);
  // Which bytes of the record each selective bit covers.
  struct Field {
    uint32_t bit;
    int offset;
    int bytes;
    uint8_t mask;
  };
  const Field fields[] = {{0x1, layered::kZ, 4, 0xFF},          {0x2, layered::kClass, 1, 0xFF},
                          {0x4, layered::kFlags, 1, 0xCF},      {0x8, layered::kIntensity, 2, 0xFF},
                          {0x10, layered::kScanAngle, 2, 0xFF}, {0x20, layered::kUserData, 1, 0xFF},
                          {0x40, layered::kPointSource, 2, 0xFF}, {0x80, layered::kGpsTime, 8, 0xFF}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChunkReader reader(layout, c.selective);
    Records decoded(r.record_length);
    ASSERT_TRUE(reader.read(chunk, r.at(0), r.count(), decoded));
    ASSERT_EQ(decoded.count(), r.count());
    for (size_t i = 0; i < r.count(); i++) {
      const uint8_t* want = r.at(i);
      const uint8_t* got = decoded.at(i);
      ASSERT_EQ(0, memcmp(want, got, 8)) << "X, Y of point " << i;
      ASSERT_EQ(want[layered::kReturns], got[layered::kReturns]) << "returns of point " << i;
      ASSERT_EQ(want[layered::kFlags] & 0x30, got[layered::kFlags] & 0x30) << "channel of point " << i;
      for (const Field& f : fields) {
        const uint8_t* expected = (c.selective & f.bit) ? want : r.at(0);
        for (int b = 0; b < f.bytes; b++) {
          ASSERT_EQ(expected[f.offset + b] & f.mask, got[f.offset + b] & f.mask)
              << "field at " << f.offset << " of point " << i;
        }
      }
    }
  }
}

// A stream that cannot seek: layers not asked for are read and dropped.
class PipeStream : public ByteStreamInArrayLE {
 public:
  using ByteStreamInArrayLE::ByteStreamInArrayLE;
  bool is_seekable() const override { return false; }
  bool seek(int64_t) override { return false; }
};

TEST(Point14, SelectiveDecodingFromAStreamThatCannotSeek) {
  const Layout layout{7, 3, 3};
  const Records r = simulated_scan(layout, 3000, 11);
  ChunkWriter writer(layout);
  const std::vector<uint8_t> chunk = writer.write(r);
  Records from_array(r.record_length);
  Records from_pipe(r.record_length);
  ChunkReader array_reader(layout, 0x1);
  ChunkReader pipe_reader(layout, 0x1);
  ASSERT_TRUE(array_reader.read(chunk, r.at(0), r.count(), from_array));
  PipeStream pipe(chunk.data(), static_cast<int64_t>(chunk.size()));
  ASSERT_TRUE(pipe_reader.read(pipe, r.at(0), r.count(), from_pipe));
  EXPECT_EQ(pipe.tell(), static_cast<int64_t>(chunk.size()));
  layered::expect_same_records(from_array, from_pipe);
}

// Channels interleave: each predicts from its own last point, and the
// POINT14 codec hands the channel to the items that follow it: version 3
// only where it changes (0 at the other points), version 4 at every point.
TEST(Point14, ContextHandedToTheFollowingItems) {
  struct Case {
    const char* name;
    std::vector<uint8_t> channels;
    std::vector<uint32_t> v3;
    std::vector<uint32_t> v4;
  };
  const Case cases[] = {
      {"one channel", {2, 2, 2}, {2, 0, 0}, {2, 2, 2}},
      {"alternating 0, 2", {0, 2, 0, 2}, {0, 2, 0, 2}, {0, 2, 0, 2}},
      {"1, 1, 2, 1", {1, 1, 2, 1}, {1, 0, 2, 1}, {1, 1, 2, 1}},
      {"all four", {3, 0, 1, 2, 2, 3}, {3, 0, 1, 2, 0, 3}, {3, 0, 1, 2, 2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int version : {3, 4}) {
      const Layout layout{6, 0, version};
      Records r(layout.record_length());
      for (size_t i = 0; i < c.channels.size(); i++) {
        Point p;
        p.channel = c.channels[i];
        p.x = static_cast<int32_t>(i * 100 + c.channels[i]);
        p.intensity = static_cast<uint16_t>(i);
        put_point14(r.add(), p);
      }
      std::vector<uint32_t> written;
      std::vector<uint32_t> read;
      ChunkWriter writer(layout);
      const std::vector<uint8_t> chunk = writer.write(r, 0, r.count(), &written);
      ChunkReader reader(layout, kAllLayers);
      Records decoded(r.record_length);
      ASSERT_TRUE(reader.read(chunk, r.at(0), r.count(), decoded, &read));
      layered::expect_same_records(r, decoded);
      EXPECT_EQ(written, version == 3 ? c.v3 : c.v4);
      EXPECT_EQ(read, written);
    }
  }
}

// The first symbols of layer 1 for channels 0, 2, 0, 2: the change mask has
// the channel bit and the channel is coded as (new - old - 1) mod 4, which
// is 1 both ways.
TEST(Point14, ChannelChangeSymbols) {
  const Layout layout{6, 0, 3};
  Records r(layout.record_length());
  for (uint8_t c : {0, 2, 0, 2}) {
    Point p;
    p.channel = c;
    put_point14(r.add(), p);
  }
  ChunkWriter writer(layout);
  const std::vector<uint8_t> chunk = writer.write(r);
  const layered::ChunkLayers layers = layered::layers_of(layout, chunk);
  ByteStreamInArrayLE in(chunk.data() + layers[0][kLayerXY].offset, layers[0][kLayerXY].size);
  ArithDecoder dec;
  ASSERT_TRUE(dec.init(&in));
  // Point 2, in channel 0's fresh models (the last point is a single
  // return: mask model 3), then its X and Y in channel 2's fresh coders
  // (differences 0, single-return contexts); point 3 in channel 2's fresh
  // mask and channel models.
  SymbolModel mask0(128, false), channel0(3, false), mask2(128, false), channel2(3, false);
  IntegerCoder dx2(&dec, 32, 2, 8, 0), dy2(&dec, 32, 22, 8, 0);
  for (SymbolModel* m : {&mask0, &channel0, &mask2, &channel2}) ASSERT_EQ(m->init(), 0);
  dx2.init_decoding();
  dy2.init_decoding();
  EXPECT_EQ(dec.decode_symbol(mask0), 64u);
  EXPECT_EQ(dec.decode_symbol(channel0), 1u);
  EXPECT_EQ(dx2.decompress(0, 1), 0);
  EXPECT_EQ(dy2.decompress(0, 1), 0);
  EXPECT_EQ(dec.decode_symbol(mask2), 64u);
  EXPECT_EQ(dec.decode_symbol(channel2), 1u);
}

// -0.0 after +0.0 is the same time: no change is coded, and the reader
// gives +0.0 back (the only field that does not round-trip bit for bit).
// +0.0 after -0.0 gives -0.0 back, likewise.
TEST(Point14, GpsTimeMinusZeroAfterPlusZeroReadsAsPlusZero) {
  const Layout layout{6, 0, 3};
  for (double first : {0.0, -0.0}) {
    SCOPED_TRACE(first);
    Records r(layout.record_length());
    for (int i = 0; i < 4; i++) {
      Point p;
      p.x = i;
      p.gps_time = i % 2 ? -first : first;
      put_point14(r.add(), p);
    }
    ChunkWriter writer(layout);
    const std::vector<uint8_t> chunk = writer.write(r);
    EXPECT_EQ(layer_size(chunk, kLayerGpsTime), 0u);
    ChunkReader reader(layout, kAllLayers);
    Records decoded(r.record_length);
    ASSERT_TRUE(reader.read(chunk, r.at(0), r.count(), decoded));
    for (size_t i = 0; i < decoded.count(); i++) {
      double t;
      memcpy(&t, decoded.at(i) + layered::kGpsTime, 8);
      EXPECT_EQ(t, 0.0);
      EXPECT_EQ(std::signbit(t), std::signbit(first)) << "point " << i;
    }
  }
}

// A -0 time after +0 is not coded; when a new scanner channel's context
// then starts from that point, writer and reader must start it from the
// same time, or the next new sequence, predicted from it, comes back with
// its sign flipped.
TEST(Point14, MinusZeroTimeBeforeANewChannelKeepsTheLaterTimes) {
  for (int version : {3, 4}) {
    SCOPED_TRACE(version);
    const Layout layout{6, 0, version};
    Records r(layout.record_length());
    const struct {
      uint8_t channel;
      double time;
    } points[] = {{0, 0.0}, {0, -0.0}, {1, 5000.0}, {1, 5000.5}};
    for (const auto& t : points) {
      Point p;
      p.channel = t.channel;
      p.gps_time = t.time;
      put_point14(r.add(), p);
    }
    ChunkWriter writer(layout);
    const std::vector<uint8_t> chunk = writer.write(r);
    ChunkReader reader(layout, kAllLayers);
    Records decoded(r.record_length);
    ASSERT_TRUE(reader.read(chunk, r.at(0), r.count(), decoded));
    for (size_t i = 2; i < r.count(); i++) {
      double t;
      memcpy(&t, decoded.at(i) + layered::kGpsTime, 8);
      EXPECT_EQ(t, points[i].time) << "point " << i;
    }
  }
}

// The reader keeps the legacy fields of the point in step with the coded
// LAS 1.4 fields.
TEST(Point14, LegacyFieldsOfDecodedPoints) {
  struct Case {
    const char* name;
    uint8_t r, n;
    uint8_t classification;
    uint8_t class_flags;
    int16_t scan_angle;
    int legacy_r, legacy_n, legacy_class, legacy_withheld, legacy_angle;
  };
  const Case cases[] = {
      {"return 9 of 12", 9, 12, 2, 0, 0, 6, 7, 2, 0, 0},
      {"return 12 of 12", 12, 12, 2, 0, 0, 7, 7, 2, 0, 0},
      {"return 5 of 12", 5, 12, 2, 0, 0, 5, 7, 2, 0, 0},
      {"return 15 of 15", 15, 15, 2, 0, 0, 7, 7, 2, 0, 0},
      {"return 3 of 5", 3, 5, 2, 0, 0, 3, 5, 2, 0, 0},
      {"class 40", 1, 1, 40, 0, 0, 1, 1, 0, 0, 0},
      {"withheld and overlap", 1, 1, 31, 0xC, 0, 1, 1, 31, 1, 0},
      {"scan angle -180 degrees", 1, 1, 2, 0, -30000, 1, 1, 2, 0, -128},
      {"scan angle +90 degrees", 1, 1, 2, 0, 15000, 1, 1, 2, 0, 90},
  };
  const Layout layout{6, 0, 4};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Records r(layout.record_length());
    Point first;
    put_point14(r.add(), first);
    Point p;
    p.x = 5;
    p.r = c.r;
    p.n = c.n;
    p.classification = c.classification;
    p.class_flags = c.class_flags;
    p.scan_angle = c.scan_angle;
    put_point14(r.add(), p);
    ChunkWriter writer(layout);
    ChunkReader reader(layout, kAllLayers);
    Records decoded(r.record_length);
    ASSERT_TRUE(reader.read(writer.write(r), r.at(0), r.count(), decoded));
    layered::expect_same_records(r, decoded);
    const LASpoint& got = reader.point;
    EXPECT_EQ(got.extended_return_number, c.r);
    EXPECT_EQ(got.extended_number_of_returns, c.n);
    EXPECT_EQ(got.return_number, c.legacy_r);
    EXPECT_EQ(got.number_of_returns, c.legacy_n);
    EXPECT_EQ(got.extended_classification, c.classification);
    EXPECT_EQ(got.classification, c.legacy_class);
    EXPECT_EQ(got.withheld_flag, c.legacy_withheld);
    EXPECT_EQ(got.get_extended_overlap_flag(), (c.class_flags & 8) != 0);
    EXPECT_EQ(got.scan_angle_rank, c.legacy_angle);
  }
}

// Every cut of a chunk ends in the end-of-data exception: the layer sizes
// promise bytes that are not there (or a layer too short to start its
// decoder). Nothing is read beyond the kept bytes.
TEST(Point14, TruncatedChunksEndWithEndOfData) {
  const Layout layout{8, 2, 3};
  const Records r = simulated_scan(layout, 300, 5);
  ChunkWriter writer(layout);
  const std::vector<uint8_t> chunk = writer.write(r);
  for (size_t cut = 0; cut < chunk.size(); cut += (cut < 80 || chunk.size() - cut < 40) ? 1 : 37) {
    SCOPED_TRACE(cut);
    const std::vector<uint8_t> kept(chunk.begin(), chunk.begin() + static_cast<long>(cut));
    ChunkReader reader(layout, kAllLayers);
    Records decoded(r.record_length);
    try {
      ByteStreamInArrayLE in(kept.data(), static_cast<int64_t>(kept.size()));
      reader.read(in, r.at(0), r.count(), decoded);
      ADD_FAILURE() << "decoded a truncated chunk";
    } catch (int e) {
      EXPECT_EQ(e, byte_stream_end_of_data);
    }
  }
}

// Layer sizes that announce far more than the chunk holds cost no memory
// beyond a small step: the load ends at the end of the data, or is refused
// when the sizes add up to more than any chunk may hold.
TEST(Point14, OversizedLayerSizesAreRefusedOrEndAtTheData) {
  struct Case {
    const char* name;
    uint32_t sizes[9];
    bool refused;
  };
  const Case cases[] = {
      {"one layer of 2 GiB", {0x7FFFFFFF, 4, 0, 0, 0, 0, 0, 0, 0}, false},
      {"layers adding up beyond 4 GiB", {0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0, 0, 0, 0, 0}, true},
      {"every layer 4 GiB", {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
                             0xFFFFFFFF, 0xFFFFFFFF}, true},
  };
  const Layout layout{6, 0, 3};
  Records r(layout.record_length());
  put_point14(r.add(), Point());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> chunk(9 * 4 + 100, 0x5A);
    memcpy(chunk.data(), c.sizes, sizeof(c.sizes));
    ChunkReader reader(layout, kAllLayers);
    Records decoded(r.record_length);
    try {
      ByteStreamInArrayLE in(chunk.data(), static_cast<int64_t>(chunk.size()));
      const bool ok = reader.read(in, r.at(0), 2, decoded);
      EXPECT_FALSE(ok);
      EXPECT_TRUE(c.refused);
    } catch (int e) {
      EXPECT_EQ(e, byte_stream_end_of_data);
      EXPECT_FALSE(c.refused);
    }
  }
}

// Random layer bytes behind valid sizes: wrong points or one of the
// decoder's exceptions, never a crash, over-read or endless loop.
TEST(Point14, GarbageLayersDecodeSafely) {
  std::mt19937 rng(99);
  for (int version : {3, 4}) {
    const Layout layout{10, 4, version};
    const Records first = simulated_scan(layout, 1, 1);
    for (int trial = 0; trial < 40; trial++) {
      ChunkWriter writer(layout);
      const Records r = simulated_scan(layout, 200, 1);
      std::vector<uint8_t> chunk = writer.write(r);
      const layered::ChunkLayers layers = layered::layers_of(layout, chunk);
      // Scramble the bytes of every layer, keep the sizes.
      const size_t data_start = layers[0][0].offset;
      for (size_t i = data_start; i < chunk.size(); i++) {
        if (rng() % 4 == 0 || trial % 5 == 0) chunk[i] = static_cast<uint8_t>(rng());
      }
      ChunkReader reader(layout, kAllLayers);
      Records decoded(layout.record_length());
      try {
        ByteStreamInArrayLE in(chunk.data(), static_cast<int64_t>(chunk.size()));
        reader.read(in, first.at(0), 5000, decoded);
      } catch (int e) {
        EXPECT_TRUE(e == byte_stream_end_of_data || e == arith_corrupt_data) << e;
      }
    }
  }
}

}  // namespace
