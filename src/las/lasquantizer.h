// Scale factor and offset per axis: the bridge between the scaled 32-bit
// integer coordinates of a point record and real coordinates.
#ifndef TIECHECK_LAS_LASQUANTIZER_H
#define TIECHECK_LAS_LASQUANTIZER_H

#include <cstdint>

class LASquantizer {
 public:
  // The LAS header begins with these six values in this order.
  double x_scale_factor = 0.01;
  double y_scale_factor = 0.01;
  double z_scale_factor = 0.01;
  double x_offset = 0.0;
  double y_offset = 0.0;
  double z_offset = 0.0;

  // Integer to real: X * scale + offset in double precision.
  double get_x(int32_t X) const { return x_scale_factor * X + x_offset; }
  double get_y(int32_t Y) const { return y_scale_factor * Y + y_offset; }
  double get_z(int32_t Z) const { return z_scale_factor * Z + z_offset; }

  // Real to integer, rounding half away from zero. The side is decided by
  // comparing the value with the offset, not by the sign of the quotient, so
  // that a value just above the offset never rounds down across it.
  // Results outside the 32-bit range saturate (NaN gives INT32_MIN); callers
  // that must notice this test with fits_X() and friends first.
  int32_t get_X(double x) const { return quantize(x, x_scale_factor, x_offset); }
  int32_t get_Y(double y) const { return quantize(y, y_scale_factor, y_offset); }
  int32_t get_Z(double z) const { return quantize(z, z_scale_factor, z_offset); }

  // The same rounding into 64 bits, for range checks (saturating at the
  // 64-bit limits, NaN gives INT64_MIN).
  int64_t get_X64(double x) const { return quantize64(x, x_scale_factor, x_offset); }
  int64_t get_Y64(double y) const { return quantize64(y, y_scale_factor, y_offset); }
  int64_t get_Z64(double z) const { return quantize64(z, z_scale_factor, z_offset); }

  // Whether a real coordinate quantizes into the signed 32-bit range; false
  // is what the library reports as "LAS integer overflow".
  bool fits_X(double x) const { return fits_int32(get_X64(x)); }
  bool fits_Y(double y) const { return fits_int32(get_Y64(y)); }
  bool fits_Z(double z) const { return fits_int32(get_Z64(z)); }

  static int64_t quantize64(double value, double scale, double offset) {
    const double q = (value - offset) / scale;
    return round_to_int64(value >= offset ? q + 0.5 : q - 0.5);
  }
  static int32_t quantize(double value, double scale, double offset) {
    return clamp_to_int32(quantize64(value, scale, offset));
  }

  // Half-away-from-zero rounding of an already scaled value into 64 bits.
  static int64_t round64(double v) { return round_to_int64(v >= 0.0 ? v + 0.5 : v - 0.5); }

  // Whether v, rounded half away from zero into 64 bits, is a valid
  // 32-bit coordinate.
  static bool rounds_into_int32(double v) { return fits_int32(round64(v)); }
  static bool fits_int32(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

 private:
  // Truncation toward zero with the out-of-range cases made defined.
  static int64_t round_to_int64(double r) {
    if (!(r > -9223372036854775808.0)) return INT64_MIN;  // also NaN
    if (r >= 9223372036854775808.0) return INT64_MAX;
    return static_cast<int64_t>(r);
  }
  static int32_t clamp_to_int32(int64_t v) {
    if (v < INT32_MIN) return INT32_MIN;
    if (v > INT32_MAX) return INT32_MAX;
    return static_cast<int32_t>(v);
  }
};

#endif
