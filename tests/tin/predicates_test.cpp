// The exact predicates: their constants and error bounds, and their signs on
// inputs where plain double evaluation goes wrong, against exact integer
// arithmetic.
#include "tin/predicates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "tin/exact_arith.h"

namespace {

using exact::BigInt;

const double u = std::numeric_limits<double>::epsilon() / 2;  // 2^-53

TEST(PredicateConstants, MatchTheDoubleFormat) {
  predicates_init();
  const PredicateConstants& k = predicate_constants();
  EXPECT_EQ(k.epsilon, std::ldexp(1.0, -53));
  EXPECT_EQ(k.epsilon, u);
  EXPECT_EQ(k.splitter, std::ldexp(1.0, 27) + 1.0);
  // The bounds are exact doubles: 3 + 2^-49 and 10 + 3 * 2^-48 fit 53 bits.
  EXPECT_EQ(exact::to_big(k.orient_bound, 106), BigInt(3).shifted(53) + BigInt(16));
  EXPECT_EQ(exact::to_big(k.incircle_bound, 106), BigInt(10).shifted(53) + BigInt(96));
}

// Polynomials in u with integer coefficients, to redo the error-bound
// derivation exactly.
struct Poly {
  std::vector<int64_t> c;  // c[i] is the coefficient of u^i

  Poly(std::initializer_list<int64_t> coefficients) : c(coefficients) {}
  explicit Poly(std::vector<int64_t> coefficients) : c(std::move(coefficients)) {}

  friend Poly operator+(const Poly& a, const Poly& b) {
    std::vector<int64_t> r(std::max(a.c.size(), b.c.size()), 0);
    for (size_t i = 0; i < a.c.size(); i++) r[i] += a.c[i];
    for (size_t i = 0; i < b.c.size(); i++) r[i] += b.c[i];
    return Poly(r);
  }
  friend Poly operator-(const Poly& a, const Poly& b) {
    Poly n = b;
    for (int64_t& v : n.c) v = -v;
    return a + n;
  }
  friend Poly operator*(const Poly& a, const Poly& b) {
    std::vector<int64_t> r(a.c.size() + b.c.size() - 1, 0);
    for (size_t i = 0; i < a.c.size(); i++) {
      for (size_t j = 0; j < b.c.size(); j++) r[i + j] += a.c[i] * b.c[j];
    }
    return Poly(r);
  }

  // The sign of the polynomial at u = 2^-53, exactly: sum c_i 2^(53 (n - i)).
  int sign_at_epsilon() const {
    BigInt sum;
    int n = static_cast<int>(c.size()) - 1;
    for (int i = 0; i <= n; i++) sum = sum + BigInt(c[static_cast<size_t>(i)]).shifted(53 * (n - i));
    return sum.sign();
  }
};

TEST(PredicateConstants, ErrorBoundsFollowFromTheDerivation) {
  const Poly U{0, 1};
  const Poly one{1};
  const Poly c1 = U * Poly{3} + U * U * Poly{3} + U * U * U;  // one rounded product

  // orient: c1 (1 + u)^2 < B (1 - u) with B = (3 + 16u)u.
  const Poly orient_bound = U * Poly{3} + U * U * Poly{16};
  Poly orient_need = c1 * (one + U) * (one + U);
  EXPECT_EQ((orient_bound * (one - U) - orient_need).sign_at_epsilon(), 1);
  // ... and the bound is not far above what the derivation needs.
  EXPECT_EQ((orient_bound * (one - U) - orient_need - U * U * Poly{5}).sign_at_epsilon(), -1);

  // incircle: K (1 + u) < B (1 - u) with B = (10 + 96u)u.
  const Poly k = U + c1 * (one + U);
  const Poly m = U + k * (Poly{2} + k) * (one + U);
  const Poly K = U * (one + U) + m * (one + U) * (one + U);
  const Poly incircle_bound = U * Poly{10} + U * U * Poly{96};
  EXPECT_EQ((incircle_bound * (one - U) - K * (one + U)).sign_at_epsilon(), 1);

  // The constants in use are these polynomials at u = 2^-53.
  const PredicateConstants& constants = predicate_constants();
  EXPECT_EQ(constants.orient_bound, (3.0 + 16.0 * u) * u);
  EXPECT_EQ(constants.incircle_bound, (10.0 + 96.0 * u) * u);
}

double naive_orient(double ax, double ay, double bx, double by, double cx, double cy) {
  return (ax - cx) * (by - cy) - (ay - cy) * (bx - cx);
}

double naive_incircle(double ax, double ay, double bx, double by, double cx, double cy,
                      double dx, double dy) {
  double adx = ax - dx, ady = ay - dy, bdx = bx - dx, bdy = by - dy, cdx = cx - dx,
         cdy = cy - dy;
  return (adx * adx + ady * ady) * (bdx * cdy - cdx * bdy) +
         (bdx * bdx + bdy * bdy) * (cdx * ady - adx * cdy) +
         (cdx * cdx + cdy * cdy) * (adx * bdy - bdx * ady);
}

TEST(Orient, NearlyCollinearGridWherePlainDoublesFail) {
  // p = (0.5 + i u, 0.5 + j u) against the line through (12, 12), (24, 24):
  // the plain evaluation misjudges many of these points.
  int naive_wrong = 0;
  for (int i = 0; i < 128; i++) {
    for (int j = 0; j < 128; j++) {
      double px = 0.5 + i * u, py = 0.5 + j * u;
      int expected = exact::orient_sign(px, py, 12, 12, 24, 24);
      naive_wrong += exact::sign_of(naive_orient(px, py, 12, 12, 24, 24)) != expected;
      ASSERT_EQ(exact::sign_of(orient(px, py, 12, 12, 24, 24)), expected) << i << ", " << j;
      ASSERT_EQ(exact::sign_of(orient_exact(px, py, 12, 12, 24, 24)), expected) << i << ", " << j;
      // Cyclic order keeps the sign, swapping two points flips it.
      ASSERT_EQ(exact::sign_of(orient(12, 12, 24, 24, px, py)), expected);
      ASSERT_EQ(exact::sign_of(orient(24, 24, 12, 12, px, py)), -expected);
    }
  }
  EXPECT_GT(naive_wrong, 1000);
}

TEST(Incircle, NearlyCocircularGridsWherePlainDoublesFail) {
  struct Case {
    const char* name;
    double a[2], b[2], c[2], d[2];
    double step_x, step_y;  // d moves by i step_x, j step_y
    bool relative;          // steps scale d's coordinates instead
  };
  const Case cases[] = {
      {"unit circle", {1, 0}, {0, 1}, {-1, 0}, {0.6, -0.8}, 2 * u, 2 * u, false},
      {"small circle, relative steps", {0.3, 0.4}, {-0.5, 0}, {0, -0.5}, {-0.3, 0.4}, u * 2, u * 2,
       true},
      {"large circle, relative steps", {3e5, 4e5}, {-5e5, 0}, {0, -5e5}, {-3e5, 4e5}, u * 2, u * 2,
       true},
  };
  int naive_wrong = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int i = -32; i < 32; i++) {
      for (int j = -32; j < 32; j++) {
        double dx = c.relative ? c.d[0] * (1 + i * c.step_x) : c.d[0] + i * c.step_x;
        double dy = c.relative ? c.d[1] * (1 + j * c.step_y) : c.d[1] + j * c.step_y;
        int expected = exact::incircle_sign(c.a[0], c.a[1], c.b[0], c.b[1], c.c[0], c.c[1], dx, dy);
        naive_wrong += exact::sign_of(naive_incircle(c.a[0], c.a[1], c.b[0], c.b[1], c.c[0],
                                                     c.c[1], dx, dy)) != expected;
        ASSERT_EQ(exact::sign_of(incircle(c.a[0], c.a[1], c.b[0], c.b[1], c.c[0], c.c[1], dx, dy)),
                  expected)
            << i << ", " << j;
        ASSERT_EQ(exact::sign_of(incircle_exact(c.a[0], c.a[1], c.b[0], c.b[1], c.c[0], c.c[1],
                                                dx, dy)),
                  expected)
            << i << ", " << j;
        // Rotating a, b, c keeps the sign; d against a clockwise a, c, b
        // flips it.
        ASSERT_EQ(exact::sign_of(incircle(c.b[0], c.b[1], c.c[0], c.c[1], c.a[0], c.a[1], dx, dy)),
                  expected);
        ASSERT_EQ(exact::sign_of(incircle(c.a[0], c.a[1], c.c[0], c.c[1], c.b[0], c.b[1], dx, dy)),
                  -expected);
      }
    }
  }
  EXPECT_GT(naive_wrong, 50);
}

TEST(Predicates, ExactZerosAndPlainSigns) {
  struct OrientCase {
    const char* name;
    double a[2], b[2], c[2];
    int sign;
  };
  const OrientCase orient_cases[] = {
      {"counterclockwise", {0, 0}, {1, 0}, {0, 1}, 1},
      {"clockwise", {0, 0}, {0, 1}, {1, 0}, -1},
      {"collinear, integer", {-7, -13}, {1, 3}, {100001, 200003}, 0},
      {"collinear, far apart magnitudes", {0x1p-60, 0x1p-60}, {1, 1}, {0x1p+70, 0x1p+70}, 0},
      {"repeated point", {2.5, 3.5}, {2.5, 3.5}, {9, -1}, 0},
  };
  for (const OrientCase& c : orient_cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(exact::sign_of(orient(c.a[0], c.a[1], c.b[0], c.b[1], c.c[0], c.c[1])), c.sign);
    EXPECT_EQ(exact::sign_of(orient_exact(c.a[0], c.a[1], c.b[0], c.b[1], c.c[0], c.c[1])), c.sign);
  }

  struct IncircleCase {
    const char* name;
    double a[2], b[2], c[2], d[2];
    int sign;
  };
  const IncircleCase incircle_cases[] = {
      {"centre is inside", {1, 0}, {0, 1}, {-1, 0}, {0, 0}, 1},
      {"far point is outside", {1, 0}, {0, 1}, {-1, 0}, {5, 5}, -1},
      {"square corners are cocircular", {0, 0}, {1, 0}, {1, 1}, {0, 1}, 0},
      {"pythagorean points, radius 5 * 2^20", {0x5p+20, 0}, {0x3p+20, 0x4p+20},
       {-0x4p+20, 0x3p+20}, {0x4p+20, -0x3p+20}, 0},
      {"cocircular, translated by 2^30", {0x1p+30 + 5, 0x1p+30}, {0x1p+30 + 3, 0x1p+30 + 4},
       {0x1p+30 - 4, 0x1p+30 + 3}, {0x1p+30, 0x1p+30 - 5}, 0},
      {"d equals a", {1, 0}, {0, 1}, {-1, 0}, {1, 0}, 0},
  };
  for (const IncircleCase& c : incircle_cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(exact::sign_of(incircle(c.a[0], c.a[1], c.b[0], c.b[1], c.c[0], c.c[1], c.d[0], c.d[1])),
              c.sign);
    EXPECT_EQ(exact::sign_of(incircle_exact(c.a[0], c.a[1], c.b[0], c.b[1], c.c[0], c.c[1], c.d[0],
                                            c.d[1])),
              c.sign);
  }
}

// Random nearly degenerate inputs whose coordinates differ widely in
// magnitude, so that even the coordinate differences are inexact and the
// exact stage must carry their rounding errors.
TEST(Predicates, NearlyDegenerateWithInexactDifferences) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-40, 40);
  int naive_orient_wrong = 0;
  int naive_incircle_wrong = 0;
  for (int n = 0; n < 4000; n++) {
    double ax = std::ldexp(unit(rng), exponent(rng)), ay = std::ldexp(unit(rng), exponent(rng));
    double bx = std::ldexp(unit(rng), exponent(rng)), by = std::ldexp(unit(rng), exponent(rng));
    double t = std::ldexp(unit(rng), exponent(rng) / 4);
    double cx = ax + t * (bx - ax), cy = ay + t * (by - ay);  // rounded onto the line
    int expected = exact::orient_sign(ax, ay, bx, by, cx, cy);
    naive_orient_wrong += exact::sign_of(naive_orient(ax, ay, bx, by, cx, cy)) != expected;
    ASSERT_EQ(exact::sign_of(orient(ax, ay, bx, by, cx, cy)), expected) << n;
    ASSERT_EQ(exact::sign_of(orient_exact(ax, ay, bx, by, cx, cy)), expected) << n;

    // Four points rounded onto one circle whose centre and radius differ in
    // magnitude from each other.
    double ox = std::ldexp(unit(rng), exponent(rng) / 2), oy = std::ldexp(unit(rng), exponent(rng) / 2);
    double r = std::ldexp(1.0 + unit(rng) / 4, exponent(rng) / 2);
    double angle[4];
    for (double& g : angle) g = unit(rng) * 3.14159265358979;
    double px[4], py[4];
    for (int i = 0; i < 4; i++) {
      px[i] = ox + r * std::cos(angle[i]);
      py[i] = oy + r * std::sin(angle[i]);
    }
    int sign = exact::incircle_sign(px[0], py[0], px[1], py[1], px[2], py[2], px[3], py[3]);
    naive_incircle_wrong += exact::sign_of(naive_incircle(px[0], py[0], px[1], py[1], px[2], py[2],
                                                          px[3], py[3])) != sign;
    ASSERT_EQ(exact::sign_of(incircle(px[0], py[0], px[1], py[1], px[2], py[2], px[3], py[3])), sign)
        << n;
    ASSERT_EQ(exact::sign_of(incircle_exact(px[0], py[0], px[1], py[1], px[2], py[2], px[3], py[3])),
              sign)
        << n;
  }
  EXPECT_GT(naive_orient_wrong, 0);
  EXPECT_GT(naive_incircle_wrong, 0);
}

}  // namespace
