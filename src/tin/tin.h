// Incremental Delaunay triangulation of 2D points with exact predicates.
//
// One TIN at a time: the module keeps its state at module level and a new
// tin_init() starts a new TIN, reusing the triangle pool. Points are given as
// the address of three consecutive floats x, y, z owned by the caller; they
// must not move or change while the TIN is in use. Only x and y take part in
// the triangulation; z is carried for interpolation.
#ifndef TIECHECK_TIN_TIN_H
#define TIECHECK_TIN_TIN_H

#include <cstdint>

// A triangle of the pool, 40 bytes. Edge i is opposite corner i. V[0] is null
// in an infinite triangle, whose finite edge is V[1] V[2]. N[i] is the
// neighbour across edge i as 3 * triangle index + the edge's index in that
// neighbour. next is 0x80000000 while the triangle is in use, else the index
// of the next free triangle.
struct TINtriangle {
  const float* V[3];
  int32_t N[3];
  int32_t next;
};

// Starts a new TIN for up to n points: computes the predicate constants and
// makes the pool hold 2n triangles. Prints "ERROR (TINclean): failed malloc
// for %d TINtriangles.\n" (2n) and answers false when the pool cannot grow.
[[nodiscard]] bool tin_init(int n, bool hull_only = false);

// Hands one point (x, y, z) to the TIN through the delay buffer. Points whose
// x or y is not finite are left out. Prints "ERROR: cannot find triangle in
// first %d points.\n" (10000) and ends the process with exit code 1 when the
// first 10,000 buffered points hold no non-collinear consecutive triple.
// Should more points arrive than tin_init announced, the pool grows. Points
// already handed over must not move: an insertion that finds the TIN damaged
// prints "ERROR (TINclean): damaged triangulation at point %g %g.\n" and ends
// the process with exit code 1 rather than loop.
void tin_add(const float* point);

// Inserts every waiting point; false when no first triangle was ever formed
// (a degenerate TIN).
[[nodiscard]] bool tin_finish();

// The triangle holding (x, y), walking from start (a triangle in use, or the
// last created triangle when start is null); null when (x, y) is a vertex of
// the TIN. A point outside the hull gets an infinite triangle whose
// half-plane holds it. Walks longer than 10,000 steps end in brute_locate,
// as does a call before any triangle exists.
TINtriangle* tin_locate(float x, float y, TINtriangle* start = nullptr);

// The triangle holding (x, y) found by visiting every triangle in use in
// index order; with accept_vertex a triangle with (x, y) at a corner is
// answered, without it such a point answers null. Prints "ERROR: fail to
// brute_locate a point.\n" and ends the process with exit code 1 when no
// triangle holds the point.
TINtriangle* brute_locate(float x, float y, bool accept_vertex);

// Where p, known to be collinear with a and b, lies on segment a b, compared
// by x unless a and b share x, then by y: 0 outside the closed segment, 1 at
// a, 2 at b, 3 strictly between. Points are read as x, y floats. Prints
// "ERROR: identical endpoints in TINinsegment() test.\n" and ends the process
// with exit code 1 when a and b coincide.
int TINinsegment(const float* a, const float* b, const float* p);

// Whether p, known to be collinear with a and b, lies on the closed segment
// a b (same comparison as TINinsegment). Prints "ERROR: identical endpoints
// in TINonsegment() test.\n" and ends the process with exit code 1 when a
// and b coincide.
bool TINonsegment(const float* a, const float* b, const float* p);

// Location hints speed up insertion in random order without changing any
// answer (on by default); switching them off shows that they do not.
void tin_set_hints(bool enabled);

// Inspection of the current TIN, for sampling, tests and benchmarks.

// Marks a triangle in use in TINtriangle::next.
constexpr int32_t tin_in_use = INT32_MIN;

// The triangle pool; triangles [0, tin_high_water()) may be in use (check
// next == tin_in_use). Valid until the next tin_init or tin_add.
TINtriangle* tin_triangles();

// One more than the highest pool index allocated since tin_init.
int tin_high_water();

// Number of triangles in use, finite and infinite.
int tin_triangles_in_use();

// The most recently created triangle, the default start of tin_locate; null
// before a first triangle is formed.
TINtriangle* tin_last_created();

// Bytes held by the module: triangle pool, delay buffer, cavity stack and
// location hints.
int64_t tin_memory_bytes();

#endif
