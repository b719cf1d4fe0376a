// check_delaunay: verifies the current TIN against the points it was built
// from, with exact integer arithmetic independent of the predicates under
// test. It checks
//  - counterclockwise finite triangles and non-degenerate hull edges,
//  - mutual neighbour links that name the same (reversed) edge,
//  - the empty-circle property on every edge against the opposite vertex,
//    and optionally against every point near each circumcircle,
//  - a convex hull holding every point,
//  - 2m - 2 triangles in use for m vertices, and (optionally) that the
//    vertices are exactly the distinct x, y of the finite input points.
#ifndef TIECHECK_TESTS_TIN_CHECK_DELAUNAY_H
#define TIECHECK_TESTS_TIN_CHECK_DELAUNAY_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <set>
#include <sstream>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tin/exact_arith.h"
#include "tin/tin.h"

struct DelaunayOptions {
  // Every distinct finite input point must be a vertex (false under the
  // hull-only flag, which leaves interior points out).
  bool all_points_are_vertices = true;
  // Also test every circumcircle against all nearby points.
  bool global_check = false;
};

namespace check_delaunay_detail {

// A plain double evaluation is trusted only far from zero: its error is
// below 12 epsilon times the permanent, the margin here is 1e-9.
constexpr double trust = 1e-9;

inline int quick_orient(const float* a, const float* b, const float* c) {
  double l = (static_cast<double>(a[0]) - c[0]) * (static_cast<double>(b[1]) - c[1]);
  double r = (static_cast<double>(a[1]) - c[1]) * (static_cast<double>(b[0]) - c[0]);
  double d = l - r;
  double m = trust * (std::fabs(l) + std::fabs(r));
  return d > m ? 1 : (d < -m ? -1 : 0);
}

inline int quick_incircle(const float* a, const float* b, const float* c, const float* p) {
  double adx = static_cast<double>(a[0]) - p[0], ady = static_cast<double>(a[1]) - p[1];
  double bdx = static_cast<double>(b[0]) - p[0], bdy = static_cast<double>(b[1]) - p[1];
  double cdx = static_cast<double>(c[0]) - p[0], cdy = static_cast<double>(c[1]) - p[1];
  double al = adx * adx + ady * ady, bl = bdx * bdx + bdy * bdy, cl = cdx * cdx + cdy * cdy;
  double d = al * (bdx * cdy - cdx * bdy) + bl * (cdx * ady - adx * cdy) +
             cl * (adx * bdy - bdx * ady);
  double m = trust * (al * (std::fabs(bdx * cdy) + std::fabs(cdx * bdy)) +
                      bl * (std::fabs(cdx * ady) + std::fabs(adx * cdy)) +
                      cl * (std::fabs(adx * bdy) + std::fabs(bdx * ady)));
  return d > m ? 1 : (d < -m ? -1 : 0);
}

template <class T>
class Checker {
 public:
  Checker(int scale, bool small) : scale_(scale), small_(small) {}

  int orient(const float* a, const float* b, const float* c) {
    int q = quick_orient(a, b, c);
    if (q != 0) return q;
    const auto& A = at(a);
    const auto& B = at(b);
    const auto& C = at(c);
    return exact::sign_of(exact::orient_det(A.first, A.second, B.first, B.second, C.first, C.second));
  }

  int incircle(const float* a, const float* b, const float* c, const float* p) {
    int q = quick_incircle(a, b, c, p);
    if (q != 0) return q;
    const auto& A = at(a);
    const auto& B = at(b);
    const auto& C = at(c);
    const auto& P = at(p);
    return exact::sign_of(exact::incircle_det(A.first, A.second, B.first, B.second, C.first,
                                              C.second, P.first, P.second));
  }

 private:
  const std::pair<T, T>& at(const float* p) {
    auto it = cache_.find(p);
    if (it != cache_.end()) return it->second;
    return cache_.emplace(p, std::make_pair(convert(p[0]), convert(p[1]))).first->second;
  }

  T convert(float v) const {
    if (small_) {
      if constexpr (std::is_same<T, __int128>::value) {
        return static_cast<__int128>(std::ldexp(static_cast<double>(v), scale_));
      }
    }
    if constexpr (std::is_same<T, exact::BigInt>::value) {
      return exact::to_big(v, scale_);
    }
    return T();
  }

  int scale_;
  bool small_;
  std::unordered_map<const float*, std::pair<T, T>> cache_;
};

inline bool same_xy(const float* a, const float* b) {
  return a != nullptr && b != nullptr && a[0] == b[0] && a[1] == b[1];
}

template <class T>
::testing::AssertionResult run(const std::vector<const float*>& points, DelaunayOptions options,
                               Checker<T>& exact) {
  TINtriangle* pool = tin_triangles();
  const int high = tin_high_water();
  std::ostringstream err;
  int failures = 0;
  auto fail = [&](const std::string& what) {
    if (failures++ < 10) err << what << "\n";
  };

  std::vector<int> used;
  std::set<std::pair<float, float>> vertices;
  std::vector<const float*> vertex_refs;
  for (int i = 0; i < high; i++) {
    if (pool[i].next != tin_in_use) continue;
    used.push_back(i);
    for (int c = 0; c < 3; c++) {
      const float* v = pool[i].V[c];
      if (v != nullptr && vertices.insert({v[0], v[1]}).second) vertex_refs.push_back(v);
    }
  }
  if (static_cast<int>(used.size()) != tin_triangles_in_use()) {
    fail("pool scan finds " + std::to_string(used.size()) + " triangles in use, module counts " +
         std::to_string(tin_triangles_in_use()));
  }
  const int m = static_cast<int>(vertices.size());
  if (static_cast<int>(used.size()) != 2 * m - 2) {
    fail(std::to_string(used.size()) + " triangles for " + std::to_string(m) +
         " vertices, expected 2m - 2");
  }

  std::set<std::pair<float, float>> distinct;
  for (const float* p : points) {
    if (std::isfinite(p[0]) && std::isfinite(p[1])) distinct.insert({p[0], p[1]});
  }
  if (options.all_points_are_vertices && distinct != vertices) {
    fail("vertex set differs from the distinct input points: " + std::to_string(m) +
         " vertices, " + std::to_string(distinct.size()) + " distinct points");
  }

  std::vector<const float*> hull_a, hull_b;
  for (int i : used) {
    const TINtriangle& t = pool[i];
    std::string name = "triangle " + std::to_string(i);
    if (t.V[1] == nullptr || t.V[2] == nullptr) {
      fail(name + " lacks a finite corner");
      continue;
    }
    if (t.V[0] != nullptr) {
      if (exact.orient(t.V[0], t.V[1], t.V[2]) <= 0) fail(name + " is not counterclockwise");
    } else {
      if (same_xy(t.V[1], t.V[2])) fail(name + " has a degenerate hull edge");
      hull_a.push_back(t.V[1]);
      hull_b.push_back(t.V[2]);
    }
    for (int e = 0; e < 3; e++) {
      int32_t r = t.N[e];
      int j = r / 3;
      int k = r % 3;
      if (r < 0 || j >= high || pool[j].next != tin_in_use) {
        fail(name + " edge " + std::to_string(e) + " links to a triangle not in use");
        continue;
      }
      const TINtriangle& u = pool[j];
      if (u.N[k] != 3 * i + e) fail(name + " edge " + std::to_string(e) + " link is not mutual");
      if (t.V[(e + 1) % 3] != u.V[(k + 2) % 3] || t.V[(e + 2) % 3] != u.V[(k + 1) % 3]) {
        fail(name + " edge " + std::to_string(e) + " does not match its neighbour's edge");
      }
      const float* q = u.V[k];
      if (t.V[0] != nullptr && q != nullptr && exact.incircle(t.V[0], t.V[1], t.V[2], q) > 0) {
        fail(name + " has the opposite vertex across edge " + std::to_string(e) +
             " inside its circumcircle");
      }
    }
  }

  // Convex hull: infinite triangles chain into one cycle of hull edges that
  // never turn outwards, and no point lies outside any of them.
  for (int i : used) {
    const TINtriangle& t = pool[i];
    if (t.V[0] != nullptr || t.V[1] == nullptr || t.V[2] == nullptr) continue;
    const TINtriangle& next = pool[t.N[1] / 3];
    if (next.V[0] != nullptr) {
      fail("infinite triangle " + std::to_string(i) + " neighbours a finite one across edge 1");
    } else if (next.V[2] != nullptr && exact.orient(t.V[1], t.V[2], next.V[2]) > 0) {
      fail("hull turns outwards after triangle " + std::to_string(i));
    }
  }
  const std::vector<const float*>& hull_test = vertex_refs;
  for (size_t h = 0; h < hull_a.size(); h++) {
    for (const float* p : hull_test) {
      if (exact.orient(hull_a[h], hull_b[h], p) > 0) {
        fail("a vertex lies outside a hull edge");
        break;
      }
    }
  }
  if (!options.all_points_are_vertices) {
    for (size_t h = 0; h < hull_a.size(); h++) {
      for (const float* p : points) {
        if (std::isfinite(p[0]) && std::isfinite(p[1]) && exact.orient(hull_a[h], hull_b[h], p) > 0) {
          fail("an input point lies outside a hull edge");
          break;
        }
      }
    }
  }

  if (options.global_check && m > 0) {
    float min_x = vertex_refs[0][0], max_x = min_x, min_y = vertex_refs[0][1], max_y = min_y;
    for (const float* v : vertex_refs) {
      min_x = std::min(min_x, v[0]);
      max_x = std::max(max_x, v[0]);
      min_y = std::min(min_y, v[1]);
      max_y = std::max(max_y, v[1]);
    }
    int cells = std::max(1, static_cast<int>(std::sqrt(static_cast<double>(m) / 2)));
    double w = (static_cast<double>(max_x) - min_x) / cells;
    double h = (static_cast<double>(max_y) - min_y) / cells;
    if (w <= 0) w = 1;
    if (h <= 0) h = 1;
    std::vector<std::vector<const float*>> grid(static_cast<size_t>(cells) * cells);
    auto cell_of = [&](double v, double lo, double size) {
      int c = static_cast<int>(std::floor((v - lo) / size));
      return std::clamp(c, 0, cells - 1);
    };
    for (const float* v : vertex_refs) {
      grid[static_cast<size_t>(cell_of(v[1], min_y, h)) * cells + cell_of(v[0], min_x, w)].push_back(v);
    }
    for (int i : used) {
      const TINtriangle& t = pool[i];
      if (t.V[0] == nullptr) continue;
      long double ax = t.V[0][0], ay = t.V[0][1];
      long double bx = t.V[1][0] - ax, by = t.V[1][1] - ay;
      long double cx = t.V[2][0] - ax, cy = t.V[2][1] - ay;
      long double d = 2 * (bx * cy - by * cx);
      long double ux = (cy * (bx * bx + by * by) - by * (cx * cx + cy * cy)) / d;
      long double uy = (bx * (cx * cx + cy * cy) - cx * (bx * bx + by * by)) / d;
      long double r = std::sqrt(ux * ux + uy * uy);
      r = r * (1 + 1e-6L) + 1e-6L;
      double x0 = static_cast<double>(ax + ux - r), x1 = static_cast<double>(ax + ux + r);
      double y0 = static_cast<double>(ay + uy - r), y1 = static_cast<double>(ay + uy + r);
      int i0 = cell_of(x0, min_x, w), i1 = cell_of(x1, min_x, w);
      int j0 = cell_of(y0, min_y, h), j1 = cell_of(y1, min_y, h);
      for (int gj = j0; gj <= j1; gj++) {
        for (int gi = i0; gi <= i1; gi++) {
          for (const float* p : grid[static_cast<size_t>(gj) * cells + gi]) {
            if (same_xy(p, t.V[0]) || same_xy(p, t.V[1]) || same_xy(p, t.V[2])) continue;
            if (exact.incircle(t.V[0], t.V[1], t.V[2], p) > 0) {
              fail("triangle " + std::to_string(i) + " has a vertex inside its circumcircle");
            }
          }
        }
      }
    }
  }

  if (failures == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << failures << " violation(s):\n" << err.str();
}

}  // namespace check_delaunay_detail

// Checks the current TIN built from points (the references given to tin_add).
inline ::testing::AssertionResult check_delaunay(const std::vector<const float*>& points,
                                                 DelaunayOptions options = {}) {
  int scale = 0;
  int top = -1000;
  for (const float* p : points) {
    for (int c = 0; c < 2; c++) {
      float v = p[c];
      if (!std::isfinite(v) || v == 0.0f) continue;
      scale = std::max(scale, -exact::lowest_exponent(v));
      int e;
      std::frexp(v, &e);
      top = std::max(top, e);
    }
  }
  // Integers below 2^25 keep the in-circle determinant within 108 bits.
  if (top + scale <= 25) {
    check_delaunay_detail::Checker<__int128> exact(scale, true);
    return check_delaunay_detail::run(points, options, exact);
  }
  check_delaunay_detail::Checker<exact::BigInt> exact(scale, false);
  return check_delaunay_detail::run(points, options, exact);
}

#endif
