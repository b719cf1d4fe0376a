#include "tin/predicates.h"

#include <cmath>

// Error bounds of the floating-point filters
// =========================================
//
// u = epsilon = 2^-53. With round-to-nearest and no underflow, every rounded
// operation satisfies |fl(x) - x| <= u |fl(x)|, and rounding is monotone:
// |x| <= y implies |fl(x)| <= fl(y). Inputs are exact doubles.
//
// Product of two rounded differences. With a = fl(A), b = fl(B), p = fl(ab):
//   |ab - AB| <= |a||b - B| + |B||a - A| <= u|ab| + (1 + u)u|ab|
//             = (2u + u^2)|ab| <= (2u + u^2)(1 + u)|p|
//   |p - AB|  <= u|p| + (2u + 3u^2 + u^3)|p| = c1 |p|,  c1 = 3u + 3u^2 + u^3.
//
// orient: det = fl(p1 - p2), D = A1 B1 - A2 B2 the exact determinant,
// detsum = fl(|p1| + |p2|) >= (|p1| + |p2|) / (1 + u):
//   |det - D| <= u|det| + c1 (|p1| + |p2|) <= u|det| + c1 (1 + u) detsum.
// The filter accepts when |det| >= errbound = fl(B detsum) >= B detsum/(1 + u),
// so detsum <= (1 + u)|det| / B and
//   |det - D| <= (u + c1 (1 + u)^2 / B) |det|,
// which is below |det| (so D has the sign of det) whenever
//   c1 (1 + u)^2 < B (1 - u).
// Left: 3u + 9u^2 + O(u^3). B = (3 + 16u)u gives 3u + 13u^2 - 16u^3 on the
// right, so the bound holds with 4u^2 to spare.
//
// incircle: per row a, t_a = fl(|bdxcdy| + |cdxbdy|), alift = fl(adx^2 +
// ady^2), bc = fl(bdxcdy - cdxbdy), adet = fl(alift bc), pa = fl(t_a alift);
// det = fl(fl(adet + bdet) + cdet); the permanent is r = fl(pa + pb),
// P = fl(r + pc). Upper-case names (BC, ALIFT, ADET, D) are exact values.
//   |bc - BC|        <= u|bc| + c1(|bdxcdy| + |cdxbdy|) <= k t_a,
//                       k = u + c1 (1 + u)     (|bc| <= t_a by monotonicity)
//   |alift - ALIFT|  <= k alift                (same argument, all terms >= 0)
//   |BC|             <= (1 + k) t_a
//   |alift bc - ALIFT BC| <= alift |bc - BC| + |BC| |alift - ALIFT|
//                       <= k (2 + k) alift t_a <= k (2 + k)(1 + u) pa
//   |adet - alift bc| <= u |adet| <= u pa
// so |adet - ADET| <= m pa with m = u + k (2 + k)(1 + u). The two sums add
// u|fl(adet + bdet)| <= u r and u|det|. With pa + pb <= (1 + u) r and
// r + pc <= (1 + u) P:
//   |det - D| <= u|det| + u r + m (pa + pb + pc)
//             <= u|det| + K P,   K = u (1 + u) + m (1 + u)^2.
// Accepting |det| >= fl(B P) >= B P / (1 + u) leaves the sign certain when
//   K (1 + u) < B (1 - u).
// k = 4u + 6u^2 + O(u^3), m = 9u + 36u^2 + O(u^3), K (1 + u) = 10u + 65u^2 +
// O(u^3); B = (10 + 96u)u gives 10u + 86u^2 - 96u^3 on the right.
//
// Both inequalities are checked exactly, as polynomials in u, by the tests.

namespace {

PredicateConstants compute_constants() {
  PredicateConstants k{};
  // Halve epsilon until adding it to one no longer changes one; every other
  // halving doubles the splitter, which ends at 2^ceil(p/2) + 1.
  double epsilon = 1.0;
  double splitter = 1.0;
  bool every_other = true;
  for (;;) {
    double half = epsilon * 0.5;
    volatile double sum = 1.0 + half;
    epsilon = half;
    if (every_other) splitter *= 2.0;
    every_other = !every_other;
    if (sum == 1.0) break;
  }
  k.epsilon = epsilon;
  k.splitter = splitter + 1.0;
  k.orient_bound = (3.0 + 16.0 * epsilon) * epsilon;
  k.incircle_bound = (10.0 + 96.0 * epsilon) * epsilon;
  return k;
}

PredicateConstants constants = compute_constants();

// Error-free transformations. x is the rounded result, y its exact error,
// so x + y equals the exact result. They rely on each operation being
// rounded on its own: the library is built with -ffp-contract=off.

inline void two_sum(double a, double b, double& x, double& y) {
  x = a + b;
  double b_virtual = x - a;
  double a_virtual = x - b_virtual;
  double b_round = b - b_virtual;
  double a_round = a - a_virtual;
  y = a_round + b_round;
}

// Requires |a| >= |b|.
inline void fast_two_sum(double a, double b, double& x, double& y) {
  x = a + b;
  double b_virtual = x - a;
  y = b - b_virtual;
}

inline void two_diff(double a, double b, double& x, double& y) {
  x = a - b;
  double b_virtual = a - x;
  double a_virtual = x + b_virtual;
  double b_round = b_virtual - b;
  double a_round = a - a_virtual;
  y = a_round + b_round;
}

// Splits a into hi + lo, each with at most half the significand bits, so
// that products of halves are exact.
inline void split(double a, double& hi, double& lo) {
  double c = constants.splitter * a;
  double big = c - a;
  hi = c - big;
  lo = a - hi;
}

inline void two_product_presplit(double a, double b, double b_hi, double b_lo,
                                 double& x, double& y) {
  x = a * b;
  double a_hi, a_lo;
  split(a, a_hi, a_lo);
  double err1 = x - a_hi * b_hi;
  double err2 = err1 - a_lo * b_hi;
  double err3 = err2 - a_hi * b_lo;
  y = a_lo * b_lo - err3;
}

// Expansions are arrays of non-overlapping doubles in increasing magnitude,
// without zero components except a lone zero for the value zero. The sign of
// an expansion is the sign of its last (largest) component.

// h = e + f. h needs room for elen + flen components.
int expansion_sum(int elen, const double* e, int flen, const double* f,
                  double* h) {
  if (elen == 0 || flen == 0) {
    const double* src = elen == 0 ? f : e;
    int n = elen == 0 ? flen : elen;
    for (int i = 0; i < n; i++) h[i] = src[i];
    return n;
  }
  int i = 0;
  int j = 0;
  // Merge the components by increasing magnitude.
  auto next = [&]() -> double {
    if (j >= flen || (i < elen && std::fabs(e[i]) < std::fabs(f[j]))) {
      return e[i++];
    }
    return f[j++];
  };
  int n = 0;
  double q = next();
  double tail;
  if (i < elen || j < flen) {
    double g = next();
    fast_two_sum(g, q, q, tail);
    if (tail != 0.0) h[n++] = tail;
    while (i < elen || j < flen) {
      g = next();
      two_sum(q, g, q, tail);
      if (tail != 0.0) h[n++] = tail;
    }
  }
  if (q != 0.0 || n == 0) h[n++] = q;
  return n;
}

// h = e * b. h needs room for 2 elen components.
int scale_expansion(int elen, const double* e, double b, double* h) {
  double b_hi, b_lo;
  split(b, b_hi, b_lo);
  int n = 0;
  double q, tail;
  two_product_presplit(e[0], b, b_hi, b_lo, q, tail);
  if (tail != 0.0) h[n++] = tail;
  for (int i = 1; i < elen; i++) {
    double product, product_tail, sum;
    two_product_presplit(e[i], b, b_hi, b_lo, product, product_tail);
    two_sum(q, product_tail, sum, tail);
    if (tail != 0.0) h[n++] = tail;
    fast_two_sum(product, sum, q, tail);
    if (tail != 0.0) h[n++] = tail;
  }
  if (q != 0.0 || n == 0) h[n++] = q;
  return n;
}

// Upper bounds on component counts, reached only when no component cancels.
constexpr int max_difference = 2;
constexpr int max_product = 2 * max_difference * max_difference;     // 8
constexpr int max_minor = 2 * max_product;                           // 16
constexpr int max_lifted = max_minor * 2 * max_minor;                // 512
constexpr int max_incircle = 3 * max_lifted;                         // 1536

// h = e * f, as the sum of e scaled by every component of f. h and scratch
// each need room for 2 elen flen components.
int expansion_product(int elen, const double* e, int flen, const double* f,
                      double* h, double* scratch) {
  double scaled[2 * max_minor];
  // Accumulate into whichever buffer makes the last sum land in h.
  double* acc = (flen % 2 == 1) ? h : scratch;
  double* other = (flen % 2 == 1) ? scratch : h;
  int n = scale_expansion(elen, e, f[0], acc);
  for (int j = 1; j < flen; j++) {
    int m = scale_expansion(elen, e, f[j], scaled);
    n = expansion_sum(n, acc, m, scaled, other);
    double* t = acc;
    acc = other;
    other = t;
  }
  return n;
}

// The exact difference a - b as an expansion of one or two components.
int difference(double a, double b, double* h) {
  double x, y;
  two_diff(a, b, x, y);
  int n = 0;
  if (y != 0.0) h[n++] = y;
  h[n++] = x;
  return n;
}

void negate(int n, double* e) {
  for (int i = 0; i < n; i++) e[i] = -e[i];
}

// u * v - w * z for expansions of differences.
int cross_minor(int ulen, const double* u, int vlen, const double* v, int wlen,
          const double* w, int zlen, const double* z, double* h) {
  double left[max_product], right[max_product], scratch[max_product];
  int l = expansion_product(ulen, u, vlen, v, left, scratch);
  int r = expansion_product(wlen, w, zlen, z, right, scratch);
  negate(r, right);
  return expansion_sum(l, left, r, right, h);
}

// dx^2 + dy^2 for expansions of differences.
int lift(int xlen, const double* x, int ylen, const double* y, double* h) {
  double xx[max_product], yy[max_product], scratch[max_product];
  int a = expansion_product(xlen, x, xlen, x, xx, scratch);
  int b = expansion_product(ylen, y, ylen, y, yy, scratch);
  return expansion_sum(a, xx, b, yy, h);
}

}  // namespace

void predicates_init() { constants = compute_constants(); }

const PredicateConstants& predicate_constants() { return constants; }

double orient_exact(double ax, double ay, double bx, double by, double cx,
                    double cy) {
  double acx[max_difference], bcy[max_difference], acy[max_difference],
      bcx[max_difference];
  int n_acx = difference(ax, cx, acx);
  int n_bcy = difference(by, cy, bcy);
  int n_acy = difference(ay, cy, acy);
  int n_bcx = difference(bx, cx, bcx);
  double det[max_minor];
  int n = cross_minor(n_acx, acx, n_bcy, bcy, n_acy, acy, n_bcx, bcx, det);
  return det[n - 1];
}

double orient(double ax, double ay, double bx, double by, double cx,
              double cy) {
  double left = (ax - cx) * (by - cy);
  double right = (ay - cy) * (bx - cx);
  double det = left - right;
  // When the two products differ in sign (or one is zero) their difference
  // cannot change sign through rounding: the products have the exact signs.
  double detsum;
  if (left > 0.0) {
    if (right <= 0.0) return det;
    detsum = left + right;
  } else if (left < 0.0) {
    if (right >= 0.0) return det;
    detsum = -left - right;
  } else {
    return det;
  }
  double errbound = constants.orient_bound * detsum;
  if (det >= errbound || -det >= errbound) return det;
  return orient_exact(ax, ay, bx, by, cx, cy);
}

double incircle_exact(double ax, double ay, double bx, double by, double cx,
                      double cy, double dx, double dy) {
  double adx[max_difference], ady[max_difference], bdx[max_difference],
      bdy[max_difference], cdx[max_difference], cdy[max_difference];
  int n_adx = difference(ax, dx, adx);
  int n_ady = difference(ay, dy, ady);
  int n_bdx = difference(bx, dx, bdx);
  int n_bdy = difference(by, dy, bdy);
  int n_cdx = difference(cx, dx, cdx);
  int n_cdy = difference(cy, dy, cdy);

  double m[max_minor], l[max_minor];
  double a[max_lifted], b[max_lifted], c[max_lifted], scratch[max_lifted];
  double ab[2 * max_lifted], det[max_incircle];

  int n_m = cross_minor(n_bdx, bdx, n_cdy, cdy, n_cdx, cdx, n_bdy, bdy, m);
  int n_l = lift(n_adx, adx, n_ady, ady, l);
  int n_a = expansion_product(n_l, l, n_m, m, a, scratch);

  n_m = cross_minor(n_cdx, cdx, n_ady, ady, n_adx, adx, n_cdy, cdy, m);
  n_l = lift(n_bdx, bdx, n_bdy, bdy, l);
  int n_b = expansion_product(n_l, l, n_m, m, b, scratch);

  n_m = cross_minor(n_adx, adx, n_bdy, bdy, n_bdx, bdx, n_ady, ady, m);
  n_l = lift(n_cdx, cdx, n_cdy, cdy, l);
  int n_c = expansion_product(n_l, l, n_m, m, c, scratch);

  int n_ab = expansion_sum(n_a, a, n_b, b, ab);
  int n = expansion_sum(n_ab, ab, n_c, c, det);
  return det[n - 1];
}

double incircle(double ax, double ay, double bx, double by, double cx,
                double cy, double dx, double dy) {
  double adx = ax - dx;
  double bdx = bx - dx;
  double cdx = cx - dx;
  double ady = ay - dy;
  double bdy = by - dy;
  double cdy = cy - dy;

  double bdxcdy = bdx * cdy;
  double cdxbdy = cdx * bdy;
  double alift = adx * adx + ady * ady;

  double cdxady = cdx * ady;
  double adxcdy = adx * cdy;
  double blift = bdx * bdx + bdy * bdy;

  double adxbdy = adx * bdy;
  double bdxady = bdx * ady;
  double clift = cdx * cdx + cdy * cdy;

  double det = alift * (bdxcdy - cdxbdy) + blift * (cdxady - adxcdy) +
               clift * (adxbdy - bdxady);
  double permanent = (std::fabs(bdxcdy) + std::fabs(cdxbdy)) * alift +
                     (std::fabs(cdxady) + std::fabs(adxcdy)) * blift +
                     (std::fabs(adxbdy) + std::fabs(bdxady)) * clift;
  double errbound = constants.incircle_bound * permanent;
  if (det > errbound || -det > errbound) return det;
  return incircle_exact(ax, ay, bx, by, cx, cy, dx, dy);
}
