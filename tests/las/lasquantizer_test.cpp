#include "las/lasquantizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

struct QuantizeCase {
  const char* name;
  double value;
  double scale;
  double offset;
  int64_t expected;
};

// Scales and offsets are powers of two where the quotient must land exactly
// on a half, so that the rounding rule (not floating-point noise) decides.
const QuantizeCase kQuantizeCases[] = {
    {"half above zero offset rounds up", 0.005, 0.01, 0.0, 1},
    {"half below zero offset rounds down", -0.005, 0.01, 0.0, -1},
    {"exactly the offset", 10.0, 0.5, 10.0, 0},
    {"half above offset", 10.25, 0.5, 10.0, 1},
    {"half below offset", 9.75, 0.5, 10.0, -1},
    {"one and a half above offset", 10.75, 0.5, 10.0, 2},
    {"one and a half below offset", 9.25, 0.5, 10.0, -2},
    {"below half above offset", 10.2, 0.5, 10.0, 0},
    {"below half below offset", 9.8, 0.5, 10.0, 0},
    {"negative offset, value above it", -99.75, 0.5, -100.0, 1},
    {"negative offset, value below it", -100.25, 0.5, -100.0, -1},
    // With a negative scale the quotient's sign and the side of the offset
    // disagree; the side of the offset decides.
    {"negative scale, value above offset", 0.25, -0.5, 0.0, 0},
    {"negative scale, value below offset", -0.25, -0.5, 0.0, 0},
    {"negative scale, far above offset", 0.75, -0.5, 0.0, -1},
    {"typical survey coordinate", 501234.565, 0.001, 500000.0, 1234565},
};

TEST(LASquantizer, QuantizeRoundsHalfAwayFromOffset) {
  for (const QuantizeCase& c : kQuantizeCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LASquantizer::quantize64(c.value, c.scale, c.offset), c.expected);
    EXPECT_EQ(LASquantizer::quantize(c.value, c.scale, c.offset), c.expected);
  }
}

TEST(LASquantizer, AxesUseTheirOwnScaleAndOffset) {
  LASquantizer q;
  q.x_scale_factor = 0.5;
  q.y_scale_factor = 0.25;
  q.z_scale_factor = 0.125;
  q.x_offset = 100.0;
  q.y_offset = -200.0;
  q.z_offset = 0.0;
  EXPECT_EQ(q.get_X(100.75), 2);
  EXPECT_EQ(q.get_Y(-199.375), 3);
  EXPECT_EQ(q.get_Z(-0.0625), -1);
  EXPECT_EQ(q.get_X64(99.25), -2);
  EXPECT_EQ(q.get_Y64(-200.125), -1);
  EXPECT_EQ(q.get_Z64(0.0625), 1);
  EXPECT_DOUBLE_EQ(q.get_x(-3), 98.5);
  EXPECT_DOUBLE_EQ(q.get_y(8), -198.0);
  EXPECT_DOUBLE_EQ(q.get_z(INT32_MIN), INT32_MIN * 0.125);
}

TEST(LASquantizer, DefaultsAreCentimetresAtZero) {
  const LASquantizer q;
  EXPECT_EQ(q.x_scale_factor, 0.01);
  EXPECT_EQ(q.y_scale_factor, 0.01);
  EXPECT_EQ(q.z_scale_factor, 0.01);
  EXPECT_EQ(q.x_offset, 0.0);
  EXPECT_EQ(q.y_offset, 0.0);
  EXPECT_EQ(q.z_offset, 0.0);
}

TEST(LASquantizer, IntegerRealIntegerRoundTripsAtCommonScales) {
  const double scales[] = {0.01, 0.001, 0.0001, 0.5, 1.0, 1e-7};
  const double offsets[] = {0.0, 500000.0, -4100000.0, 0.3};
  const int32_t values[] = {0, 1, -1, 12345678, -12345678, INT32_MAX, INT32_MIN, 99999999};
  for (double scale : scales) {
    for (double offset : offsets) {
      LASquantizer q;
      q.x_scale_factor = scale;
      q.x_offset = offset;
      for (int32_t X : values) {
        SCOPED_TRACE(testing::Message() << "scale " << scale << " offset " << offset << " X " << X);
        EXPECT_EQ(q.get_X(q.get_x(X)), X);
      }
    }
  }
}

struct FitsCase {
  const char* name;
  double value;  // already scaled
  bool fits;
  int64_t rounded;
};

const FitsCase kFitsCases[] = {
    {"largest", 2147483647.4, true, 2147483647},
    {"rounds past largest", 2147483647.5, false, 2147483648},
    {"smallest", -2147483648.4, true, -2147483648LL},
    {"rounds past smallest", -2147483648.5, false, -2147483649LL},
    {"zero", 0.0, true, 0},
    {"far beyond 64 bits", 1e300, false, INT64_MAX},
    {"far below 64 bits", -1e300, false, INT64_MIN},
    {"infinity", std::numeric_limits<double>::infinity(), false, INT64_MAX},
};

TEST(LASquantizer, FitsTestUsesSixtyFourBitRounding) {
  for (const FitsCase& c : kFitsCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LASquantizer::rounds_into_int32(c.value), c.fits);
    EXPECT_EQ(LASquantizer::round64(c.value), c.rounded);
  }
  EXPECT_FALSE(LASquantizer::rounds_into_int32(std::nan("")));
}

TEST(LASquantizer, CoordinateFitsAndSaturates) {
  LASquantizer q;
  q.x_scale_factor = 0.01;
  q.x_offset = 1000.0;
  // 1000 + 0.01 * INT32_MAX = 21475836.47
  EXPECT_TRUE(q.fits_X(21475836.47));
  EXPECT_EQ(q.get_X(21475836.47), INT32_MAX);
  EXPECT_FALSE(q.fits_X(21475836.48));
  EXPECT_EQ(q.get_X64(21475836.48), 2147483648LL);
  EXPECT_EQ(q.get_X(21475836.48), INT32_MAX);  // saturates rather than wraps
  EXPECT_FALSE(q.fits_X(-1e12));
  EXPECT_EQ(q.get_X(-1e12), INT32_MIN);
  EXPECT_FALSE(q.fits_X(std::nan("")));
  EXPECT_TRUE(q.fits_Y(0.0));
  EXPECT_FALSE(q.fits_Z(1e8));
}

}  // namespace
