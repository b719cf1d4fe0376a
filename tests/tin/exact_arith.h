// Exact integer arithmetic for checking the TIN and its predicates
// independently of the floating-point expansions under test.
#ifndef TIECHECK_TESTS_TIN_EXACT_ARITH_H
#define TIECHECK_TESTS_TIN_EXACT_ARITH_H

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

namespace exact {

// Signed integer of up to 48 x 32 bits, enough for the in-circle
// determinant of any float coordinates scaled to integers (about 1,120 bits).
class BigInt {
 public:
  static constexpr int max_limbs = 48;

  BigInt() = default;
  BigInt(int64_t v) {  // NOLINT: implicit, so integer literals mix in
    negative_ = v < 0;
    uint64_t m = negative_ ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    while (m != 0) {
      limb_[len_++] = static_cast<uint32_t>(m);
      m >>= 32;
    }
  }

  int sign() const { return len_ == 0 ? 0 : (negative_ ? -1 : 1); }

  BigInt operator-() const {
    BigInt r = *this;
    if (r.len_ != 0) r.negative_ = !r.negative_;
    return r;
  }

  friend BigInt operator+(const BigInt& a, const BigInt& b) {
    if (a.negative_ == b.negative_) {
      BigInt r = add_magnitudes(a, b);
      r.negative_ = a.negative_ && r.len_ != 0;
      return r;
    }
    int c = compare_magnitudes(a, b);
    if (c == 0) return BigInt();
    BigInt r = c > 0 ? subtract_magnitudes(a, b) : subtract_magnitudes(b, a);
    r.negative_ = c > 0 ? a.negative_ : b.negative_;
    return r;
  }

  friend BigInt operator-(const BigInt& a, const BigInt& b) { return a + (-b); }

  friend BigInt operator*(const BigInt& a, const BigInt& b) {
    BigInt r;
    if (a.len_ == 0 || b.len_ == 0) return r;
    if (a.len_ + b.len_ > max_limbs) std::abort();
    uint32_t out[2 * max_limbs] = {};
    for (int i = 0; i < a.len_; i++) {
      uint64_t carry = 0;
      for (int j = 0; j < b.len_; j++) {
        uint64_t t = static_cast<uint64_t>(a.limb_[i]) * b.limb_[j] + out[i + j] + carry;
        out[i + j] = static_cast<uint32_t>(t);
        carry = t >> 32;
      }
      out[i + b.len_] = static_cast<uint32_t>(carry);
    }
    r.len_ = a.len_ + b.len_;
    for (int i = 0; i < r.len_; i++) r.limb_[i] = out[i];
    r.trim();
    r.negative_ = (a.negative_ != b.negative_) && r.len_ != 0;
    return r;
  }

  // this * 2^bits.
  BigInt shifted(int bits) const {
    BigInt r;
    if (len_ == 0) return r;
    int words = bits / 32;
    int rest = bits % 32;
    if (len_ + words + 1 > max_limbs) std::abort();
    uint32_t carry = 0;
    for (int i = 0; i < len_; i++) {
      uint64_t t = static_cast<uint64_t>(limb_[i]) << rest;
      r.limb_[i + words] = static_cast<uint32_t>(t) | carry;
      carry = static_cast<uint32_t>(t >> 32);
    }
    r.limb_[len_ + words] = carry;
    r.len_ = len_ + words + 1;
    r.trim();
    r.negative_ = negative_;
    return r;
  }

  friend bool operator==(const BigInt& a, const BigInt& b) { return (a - b).sign() == 0; }
  friend bool operator<(const BigInt& a, const BigInt& b) { return (a - b).sign() < 0; }

 private:
  void trim() {
    while (len_ > 0 && limb_[len_ - 1] == 0) len_--;
  }

  static int compare_magnitudes(const BigInt& a, const BigInt& b) {
    if (a.len_ != b.len_) return a.len_ < b.len_ ? -1 : 1;
    for (int i = a.len_ - 1; i >= 0; i--) {
      if (a.limb_[i] != b.limb_[i]) return a.limb_[i] < b.limb_[i] ? -1 : 1;
    }
    return 0;
  }

  static BigInt add_magnitudes(const BigInt& a, const BigInt& b) {
    BigInt r;
    int n = a.len_ > b.len_ ? a.len_ : b.len_;
    if (n + 1 > max_limbs) std::abort();
    uint64_t carry = 0;
    for (int i = 0; i < n; i++) {
      uint64_t t = carry;
      if (i < a.len_) t += a.limb_[i];
      if (i < b.len_) t += b.limb_[i];
      r.limb_[i] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
    r.limb_[n] = static_cast<uint32_t>(carry);
    r.len_ = n + 1;
    r.trim();
    return r;
  }

  // |a| - |b| for |a| >= |b|.
  static BigInt subtract_magnitudes(const BigInt& a, const BigInt& b) {
    BigInt r;
    int64_t borrow = 0;
    for (int i = 0; i < a.len_; i++) {
      int64_t t = static_cast<int64_t>(a.limb_[i]) - borrow - (i < b.len_ ? b.limb_[i] : 0);
      borrow = t < 0 ? 1 : 0;
      if (t < 0) t += static_cast<int64_t>(1) << 32;
      r.limb_[i] = static_cast<uint32_t>(t);
    }
    r.len_ = a.len_;
    r.trim();
    return r;
  }

  bool negative_ = false;
  int len_ = 0;
  uint32_t limb_[max_limbs] = {};
};

inline int sign_of(const BigInt& v) { return v.sign(); }
inline int sign_of(__int128 v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

// The power-of-two exponent of the lowest set bit of a finite nonzero double:
// v is an odd integer times 2^lowest_exponent(v).
inline int lowest_exponent(double v) {
  int e;
  double f = std::frexp(v, &e);
  int64_t m = static_cast<int64_t>(std::ldexp(f, 53));
  if (m < 0) m = -m;
  int low = e - 53;
  while ((m & 1) == 0) {
    m >>= 1;
    low++;
  }
  return low;
}

// v * 2^scale as an exact integer; v * 2^scale must be an integer.
inline BigInt to_big(double v, int scale) {
  if (v == 0.0) return BigInt();
  int e;
  double f = std::frexp(v, &e);
  int64_t m = static_cast<int64_t>(std::ldexp(f, 53));
  int shift = e - 53 + scale;
  while (shift < 0) {
    if ((m & 1) != 0) std::abort();
    m /= 2;
    shift++;
  }
  return BigInt(m).shifted(shift);
}

// The smallest scale that turns every value into an integer.
inline int common_scale(std::initializer_list<double> values) {
  int scale = 0;
  for (double v : values) {
    if (v != 0.0 && -lowest_exponent(v) > scale) scale = -lowest_exponent(v);
  }
  return scale;
}

template <class T>
T orient_det(const T& ax, const T& ay, const T& bx, const T& by, const T& cx, const T& cy) {
  return (ax - cx) * (by - cy) - (ay - cy) * (bx - cx);
}

template <class T>
T incircle_det(const T& ax, const T& ay, const T& bx, const T& by, const T& cx, const T& cy,
               const T& dx, const T& dy) {
  T adx = ax - dx, ady = ay - dy;
  T bdx = bx - dx, bdy = by - dy;
  T cdx = cx - dx, cdy = cy - dy;
  T alift = adx * adx + ady * ady;
  T blift = bdx * bdx + bdy * bdy;
  T clift = cdx * cdx + cdy * cdy;
  return alift * (bdx * cdy - cdx * bdy) + blift * (cdx * ady - adx * cdy) +
         clift * (adx * bdy - bdx * ady);
}

// Exact signs of the predicates for any finite doubles.
inline int orient_sign(double ax, double ay, double bx, double by, double cx, double cy) {
  int s = common_scale({ax, ay, bx, by, cx, cy});
  return orient_det(to_big(ax, s), to_big(ay, s), to_big(bx, s), to_big(by, s), to_big(cx, s),
                    to_big(cy, s))
      .sign();
}

inline int incircle_sign(double ax, double ay, double bx, double by, double cx, double cy,
                         double dx, double dy) {
  int s = common_scale({ax, ay, bx, by, cx, cy, dx, dy});
  return incircle_det(to_big(ax, s), to_big(ay, s), to_big(bx, s), to_big(by, s),
                      to_big(cx, s), to_big(cy, s), to_big(dx, s), to_big(dy, s))
      .sign();
}

inline int sign_of(double v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

}  // namespace exact

#endif
