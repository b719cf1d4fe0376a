// The elevation of a TIN triangle at a point.
#ifndef TIECHECK_DRIVER_TININTERPOLATION_H
#define TIECHECK_DRIVER_TININTERPOLATION_H

#include "tin/tin.h"

// Elevation at (px, py) in a finite triangle. The apex is the first corner
// (0, 1, 2) whose x differs from both others' and lies with px between it and
// each of them; the vertical line x = px cuts the two edges from the apex,
// and z is interpolated along that cut in double precision. When px equals
// the apex's x the cut shrinks to the apex and its z is answered.
//
// Prints "ERROR: x coordinate %g not contained in x interval of two edges\n"
// and answers false when no corner qualifies (px outside the triangle).
[[nodiscard]] bool interpolate_finite_triangle(const TINtriangle& triangle, float px, float py, float* z);

// Elevation at (px, py) beyond the hull edge A B of an infinite triangle
// (V[0] null, A = V[1], B = V[2]): the inverse-distance mean of A's and B's z
// in single precision. Where single precision overflows the mean is taken in
// double instead.
float interpolate_infinite_triangle(const TINtriangle& triangle, float px, float py);

#endif
