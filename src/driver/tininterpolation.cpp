#include "driver/tininterpolation.h"

#include <cmath>
#include <cstdio>

bool interpolate_finite_triangle(const TINtriangle& triangle, float px, float py, float* z) {
  const double x = px;
  const double y = py;
  // The two other corners of each apex candidate, in ascending corner order.
  static const int others[3][2] = {{1, 2}, {0, 2}, {0, 1}};
  for (int k = 0; k < 3; ++k) {
    const float* apex = triangle.V[k];
    const float* a = triangle.V[others[k][0]];
    const float* b = triangle.V[others[k][1]];
    const double xk = apex[0];
    const double xa = a[0];
    const double xb = b[0];
    if (xk == xa || xk == xb) continue;
    if (!((xk <= x && x <= xa && x <= xb) || (xk >= x && x >= xa && x >= xb))) continue;
    const double yk = apex[1];
    const double zk = apex[2];
    const double ta = (x - xk) / (xa - xk);
    const double ya = yk + (a[1] - yk) * ta;
    const double za = zk + (a[2] - zk) * ta;
    const double tb = (x - xk) / (xb - xk);
    const double yb = yk + (b[1] - yk) * tb;
    const double zb = zk + (b[2] - zk) * tb;
    // Equal ends: px is the apex's x and the cut is the apex itself.
    const double height = ya == yb ? za : (y - yb) / (ya - yb) * (za - zb) + zb;
    *z = static_cast<float>(height);
    return true;
  }
  std::fprintf(stderr, "ERROR: x coordinate %g not contained in x interval of two edges\n", x);
  return false;
}

float interpolate_infinite_triangle(const TINtriangle& triangle, float px, float py) {
  const float* a = triangle.V[1];
  const float* b = triangle.V[2];
  const float ax = px - a[0];
  const float ay = py - a[1];
  const float bx = px - b[0];
  const float by = py - b[1];
  const float da = static_cast<float>(std::sqrt(static_cast<double>(ax * ax + ay * ay)));
  const float db = static_cast<float>(std::sqrt(static_cast<double>(bx * bx + by * by)));
  const float z = (da * b[2] + db * a[2]) / (db + da);
  if (std::isfinite(z)) return z;
  const double dad = std::hypot(static_cast<double>(px) - a[0], static_cast<double>(py) - a[1]);
  const double dbd = std::hypot(static_cast<double>(px) - b[0], static_cast<double>(py) - b[1]);
  return static_cast<float>((dad * b[2] + dbd * a[2]) / (dbd + dad));
}
