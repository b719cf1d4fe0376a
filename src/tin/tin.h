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

// Starts a new TIN for up to n points. Prints "ERROR (TINclean): failed malloc
// for %d TINtriangles.\n" and answers false when the pool cannot grow.
[[nodiscard]] bool tin_init(int n, bool hull_only = false);

// Hands one point (x, y, z) to the TIN through the delay buffer.
void tin_add(const float* point);

// Inserts every waiting point; false when no first triangle was ever formed
// (a degenerate TIN).
[[nodiscard]] bool tin_finish();

// The triangle holding (x, y), walking from start (or from the last created
// triangle when start is null); null when (x, y) is a vertex of the TIN.
TINtriangle* tin_locate(float x, float y, TINtriangle* start = nullptr);

#endif
