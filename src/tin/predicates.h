// Exact orientation and in-circle predicates on double coordinates.
//
// Each predicate first evaluates its determinant in plain floating point and
// accepts the sign when the result exceeds a proven error bound. Otherwise it
// recomputes the determinant exactly with floating-point expansions (sums of
// non-overlapping doubles), so the sign is exact for all finite inputs whose
// intermediate products neither overflow nor underflow. Coordinates widened
// from floats always satisfy that: float differences and their fourth powers
// stay far inside the double exponent range.
#ifndef TIECHECK_TIN_PREDICATES_H
#define TIECHECK_TIN_PREDICATES_H

// The machine constants and error bounds of the predicates.
struct PredicateConstants {
  double epsilon;           // largest power of two with 1 + epsilon == 1
  double splitter;          // 2^ceil(p/2) + 1 for p-bit significands
  double orient_bound;      // (3 + 16 epsilon) epsilon
  double incircle_bound;    // (10 + 96 epsilon) epsilon
};

// Recomputes the constants by probing the floating-point unit. They are also
// computed once at start-up, so the predicates work before any call.
void predicates_init();

// The constants in use.
const PredicateConstants& predicate_constants();

// Twice the signed area of triangle a, b, c:
// (ax - cx)(by - cy) - (ay - cy)(bx - cx). Positive when a, b, c run
// counterclockwise, negative when clockwise, zero exactly when collinear.
// The value approximates the determinant; its sign is exact.
double orient(double ax, double ay, double bx, double by, double cx, double cy);

// The lifted 3 by 3 determinant of a, b, c relative to d (rows dx, dy,
// dx^2 + dy^2). For counterclockwise a, b, c it is positive when d lies
// strictly inside their circumcircle, negative outside, zero exactly when the
// four points are cocircular. The sign is exact.
double incircle(double ax, double ay, double bx, double by, double cx, double cy,
                double dx, double dy);

// The same determinants always evaluated exactly (no floating-point filter);
// the answer is the most significant component of the exact expansion.
double orient_exact(double ax, double ay, double bx, double by, double cx,
                    double cy);
double incircle_exact(double ax, double ay, double bx, double by, double cx,
                      double cy, double dx, double dy);

#endif
