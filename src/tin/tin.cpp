#include "tin/tin.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "tin/predicates.h"

static_assert(sizeof(TINtriangle) == 40, "TINtriangle is a 40-byte record");

namespace {

constexpr int delay_slots = 10000;
constexpr int swap_period = 256;
constexpr int max_walk_steps = 10000;
constexpr int cavity_growth = 500;
// Neighbour references 3 * index + edge must fit a signed 32-bit integer.
constexpr int64_t max_triangles = (INT32_MAX - 2) / 3;

constexpr int plus1[3] = {1, 2, 0};
constexpr int plus2[3] = {2, 0, 1};

// The one TIN of the module. Free triangles chain through next; the list
// ends at index pool_capacity, so growing the pool extends the chain.
TINtriangle* pool = nullptr;
int pool_capacity = 0;
int free_head = 0;
int high_water = 0;
int in_use = 0;
int last_created = -1;

const float* delay[delay_slots];
int delay_pos = 0;
bool have_first = false;
bool delay_full = false;
bool hull_only = false;

int32_t* cavity = nullptr;
int cavity_capacity = 0;

// Location hints, a speed-up that leaves every answer unchanged: a coarse
// grid over the extent of the first buffered points remembers, per cell, a
// triangle near the point inserted there last. A walk from that hint is used
// only when it ends strictly inside a finite triangle (or on a vertex), where
// the answer is the same from any start; otherwise the walk from the last
// created triangle decides, as without hints. Random input order then
// locates in a few steps instead of crossing the whole TIN. The grid refines
// as the TIN grows, about points_per_hint_cell vertices a cell.
bool hints_enabled = true;
int32_t* hint_cells = nullptr;
int64_t hint_capacity = 0;
int hint_side = 0;
int hint_max_side = 0;
int hint_refine_at = 0;  // triangles in use that call for a finer grid
bool hint_ready = false;
double hint_x0 = 0.0;
double hint_y0 = 0.0;
double hint_width = 0.0;
double hint_height = 0.0;
double hint_scale_x = 0.0;
double hint_scale_y = 0.0;
constexpr int points_per_hint_cell = 8;
constexpr int max_hint_side = 2048;

void chain_free(int from, int to) {
  for (int i = from; i < to; i++) pool[i].next = i + 1;
}

// Grows the pool when more points arrive than tin_init announced.
void grow_pool() {
  int64_t wanted = pool_capacity < 2 ? 4 : 2 * static_cast<int64_t>(pool_capacity);
  if (wanted > max_triangles) wanted = max_triangles;
  void* grown = wanted > pool_capacity
                    ? std::realloc(pool, static_cast<size_t>(wanted) * sizeof(TINtriangle))
                    : nullptr;
  if (grown == nullptr) {
    fprintf(stderr, "ERROR (TINclean): failed malloc for %" PRId64 " TINtriangles.\n",
            wanted);
    exit(1);
  }
  pool = static_cast<TINtriangle*>(grown);
  chain_free(pool_capacity, static_cast<int>(wanted));
  pool_capacity = static_cast<int>(wanted);
}

// Makes room for an insertion: an insertion never holds more than two
// triangles beyond those in use before it, so pointers into the pool stay
// valid while it runs.
inline void reserve_triangles(int count) {
  while (pool_capacity - in_use < count) grow_pool();
}

inline int allocate_triangle() {
  int t = free_head;
  free_head = pool[t].next;
  pool[t].next = tin_in_use;
  if (free_head > high_water) high_water = free_head;
  last_created = t;
  in_use++;
  return t;
}

inline void release_triangle(int t) {
  pool[t].next = free_head;
  free_head = t;
  in_use--;
}

inline void reserve_cavity(int count) {
  if (count <= cavity_capacity) return;
  int grown_capacity = cavity_capacity + cavity_growth;
  while (grown_capacity < count) grown_capacity += cavity_growth;
  void* grown = std::realloc(cavity, static_cast<size_t>(grown_capacity) * sizeof(int32_t));
  if (grown == nullptr) {
    fprintf(stderr, "ERROR (TINclean): failed malloc for %d cavity entries.\n",
            grown_capacity);
    exit(1);
  }
  cavity = static_cast<int32_t*>(grown);
  cavity_capacity = grown_capacity;
}

inline double orient_points(double px, double py, const float* a, const float* b) {
  return orient(px, py, a[0], a[1], b[0], b[1]);
}

// Whether triangle s must leave the triangulation when p = (px, py) enters.
// Points on a circumcircle count as inside; for an infinite triangle a point
// on its hull edge's line conflicts only on the closed edge itself.
inline bool conflicts(const TINtriangle& s, double px, double py, const float* p) {
  if (s.V[0] != nullptr) {
    return incircle(s.V[0][0], s.V[0][1], s.V[1][0], s.V[1][1], s.V[2][0], s.V[2][1],
                    px, py) >= 0.0;
  }
  double side = orient(s.V[1][0], s.V[1][1], s.V[2][0], s.V[2][1], px, py);
  if (side > 0.0) return true;
  if (side < 0.0) return false;
  return TINonsegment(s.V[1], s.V[2], p);
}

// Forms the first triangle 0 and its three infinite neighbours from a, b, c;
// false when they are collinear.
bool make_first_triangle(const float* a, const float* b, const float* c) {
  double s = orient(a[0], a[1], b[0], b[1], c[0], c[1]);
  if (!(s > 0.0) && !(s < 0.0)) return false;
  if (s < 0.0) {
    const float* t = a;
    a = b;
    b = t;
  }
  reserve_triangles(4);
  for (int i = 0; i < 4; i++) allocate_triangle();
  // 0 = (a, b, c), 1 = (inf, c, b), 2 = (inf, a, c), 3 = (inf, b, a). Each
  // pair shares the edges opposite the corner each one lacks of the other.
  TINtriangle* t = pool;
  t[0].V[0] = a; t[0].V[1] = b; t[0].V[2] = c;
  t[1].V[0] = nullptr; t[1].V[1] = c; t[1].V[2] = b;
  t[2].V[0] = nullptr; t[2].V[1] = a; t[2].V[2] = c;
  t[3].V[0] = nullptr; t[3].V[1] = b; t[3].V[2] = a;
  t[0].N[0] = 3 * 1 + 0; t[0].N[1] = 3 * 2 + 0; t[0].N[2] = 3 * 3 + 0;
  t[1].N[0] = 3 * 0 + 0; t[1].N[1] = 3 * 3 + 2; t[1].N[2] = 3 * 2 + 1;
  t[2].N[0] = 3 * 0 + 1; t[2].N[1] = 3 * 1 + 2; t[2].N[2] = 3 * 3 + 1;
  t[3].N[0] = 3 * 0 + 2; t[3].N[1] = 3 * 2 + 2; t[3].N[2] = 3 * 1 + 1;
  last_created = 0;
  return true;
}

// Bowyer-Watson insertion of p into triangle start, which holds it: a
// depth-first search removes every triangle in conflict with p and a fan of
// new triangles around p fills the cavity. Boundary edges are met in cyclic
// order around p, so each new triangle shares an edge with the one before.
void insert_point(const float* p, int start) {
  reserve_triangles(2);
  reserve_cavity(3);
  const double px = p[0];
  const double py = p[1];
  int top = 0;
  cavity[top++] = pool[start].N[0];
  cavity[top++] = pool[start].N[1];
  cavity[top++] = pool[start].N[2];
  release_triangle(start);

  int first = -1;
  int first_edge = 0;
  int previous = -1;
  int previous_open = 0;
  // A cavity never holds more triangles than the TIN. Only a damaged TIN
  // (points moved by the caller after insertion) can lead the search back
  // into the new fan, where it would cycle forever.
  int removable = in_use;
  while (top > 0) {
    int32_t r = cavity[--top];
    int si = r / 3;
    int k = r - 3 * si;
    TINtriangle& s = pool[si];
    if (conflicts(s, px, py, p)) {
      if (--removable < 0) {
        fprintf(stderr, "ERROR (TINclean): damaged triangulation at point %g %g.\n", px, py);
        exit(1);
      }
      reserve_cavity(top + 2);
      cavity[top++] = s.N[plus1[k]];
      cavity[top++] = s.N[plus2[k]];
      release_triangle(si);
      continue;
    }
    // Edge k of s bounds the cavity: cover it with a new triangle on p.
    int ti = allocate_triangle();
    TINtriangle& t = pool[ti];
    int link, back, open;
    switch (k) {
      case 0:
        t.V[0] = p; t.V[1] = s.V[2]; t.V[2] = s.V[1];
        link = 0; back = 1; open = 2;
        break;
      case 1:
        t.V[0] = s.V[0]; t.V[1] = s.V[2]; t.V[2] = p;
        link = 2; back = 0; open = 1;
        break;
      default:
        t.V[0] = s.V[0]; t.V[1] = p; t.V[2] = s.V[1];
        link = 1; back = 2; open = 0;
        break;
    }
    t.N[link] = r;
    s.N[k] = 3 * ti + link;
    if (previous < 0) {
      first = ti;
      first_edge = back;
    } else {
      t.N[back] = 3 * previous + previous_open;
      pool[previous].N[previous_open] = 3 * ti + back;
    }
    previous = ti;
    previous_open = open;
  }
  pool[first].N[first_edge] = 3 * previous + previous_open;
  pool[previous].N[previous_open] = 3 * first + first_edge;
}

int hint_cell_of(const float* p);

// Sizes the grid for m vertices and fills it from the triangles in use.
void regrid_hints(int64_t m) {
  int64_t side = static_cast<int64_t>(std::sqrt(static_cast<double>(m) / points_per_hint_cell));
  hint_side = static_cast<int>(std::clamp<int64_t>(side, 1, hint_max_side));
  hint_scale_x = hint_width > 0.0 ? hint_side / hint_width : 0.0;
  hint_scale_y = hint_height > 0.0 ? hint_side / hint_height : 0.0;
  std::fill(hint_cells, hint_cells + static_cast<int64_t>(hint_side) * hint_side, -1);
  for (int i = 0; i < high_water; i++) {
    if (pool[i].next == tin_in_use) hint_cells[hint_cell_of(pool[i].V[1])] = i;
  }
  // Refine once the TIN holds four times as many vertices (2m triangles).
  hint_refine_at = hint_side < hint_max_side
                       ? static_cast<int>(std::min<int64_t>(
                             INT32_MAX, 8 * static_cast<int64_t>(points_per_hint_cell) *
                                            hint_side * hint_side))
                       : INT32_MAX;
}

// Spans the hint grid over the given points and the first triangle.
void prepare_hints(const float* const* points, int count) {
  hint_ready = true;
  double min_x = pool[0].V[0][0], max_x = min_x;
  double min_y = pool[0].V[0][1], max_y = min_y;
  auto widen = [&](const float* v) {
    min_x = std::min(min_x, static_cast<double>(v[0]));
    max_x = std::max(max_x, static_cast<double>(v[0]));
    min_y = std::min(min_y, static_cast<double>(v[1]));
    max_y = std::max(max_y, static_cast<double>(v[1]));
  };
  for (int c = 1; c < 3; c++) widen(pool[0].V[c]);
  for (int i = 0; i < count; i++) widen(points[i]);
  hint_x0 = min_x;
  hint_y0 = min_y;
  hint_width = max_x - min_x;
  hint_height = max_y - min_y;
  regrid_hints(count + 3);
}

int hint_cell_of(const float* p) {
  double fx = (p[0] - hint_x0) * hint_scale_x;
  double fy = (p[1] - hint_y0) * hint_scale_y;
  int last = hint_side - 1;
  int cx = fx <= 0.0 ? 0 : (fx >= last ? last : static_cast<int>(fx));
  int cy = fy <= 0.0 ? 0 : (fy >= last ? last : static_cast<int>(fy));
  return cy * hint_side + cx;
}

inline double squared_distance(const float* p, const float* v) {
  double dx = static_cast<double>(p[0]) - v[0];
  double dy = static_cast<double>(p[1]) - v[1];
  return dx * dx + dy * dy;
}

inline bool strictly_inside(const TINtriangle* t, const float* p) {
  const float* const* v = t->V;
  return v[0] != nullptr && orient_points(p[0], p[1], v[1], v[2]) > 0.0 &&
         orient_points(p[0], p[1], v[2], v[0]) > 0.0 &&
         orient_points(p[0], p[1], v[0], v[1]) > 0.0;
}

// tin_locate from the last created triangle, answered faster through the
// hint grid where that cannot change the answer.
TINtriangle* locate_for_insertion(const float* p, int cell) {
  int h = hint_cells[cell];
  if (hints_enabled && h >= 0 && h != last_created && pool[h].next == tin_in_use &&
      squared_distance(p, pool[h].V[1]) < squared_distance(p, pool[last_created].V[1])) {
    TINtriangle* t = tin_locate(p[0], p[1], pool + h);
    if (t == nullptr || strictly_inside(t, p)) return t;
  }
  return tin_locate(p[0], p[1], nullptr);
}

// Locates and inserts a point leaving the delay buffer. Duplicates of a
// vertex locate to null and are left out.
void insert_waiting(const float* p) {
  int cell = hint_cell_of(p);
  TINtriangle* t = locate_for_insertion(p, cell);
  if (t == nullptr) return;
  if (hull_only && t->V[0] != nullptr) return;
  insert_point(p, static_cast<int>(t - pool));
  hint_cells[cell] = last_created;
  if (in_use > hint_refine_at) regrid_hints(in_use / 2);
}

// From an infinite triangle whose edge line holds p, steps along the hull
// until p lies in a half-plane or on a hull edge.
TINtriangle* hull_walk(TINtriangle* t, const float* p) {
  // Each step moves monotonically along the line, so a walk longer than the
  // hull means a damaged TIN; the exhaustive search then decides.
  for (int steps = 0; steps <= in_use; steps++) {
    const float* a = t->V[1];
    const float* b = t->V[2];
    int axis = a[0] != b[0] ? 0 : 1;
    if (axis == 1 && a[1] == b[1]) {
      fprintf(stderr, "ERROR: degenerate finite edge of infinite triangle.\n");
      exit(1);
    }
    float pa = a[axis];
    float pb = b[axis];
    float pp = p[axis];
    bool beyond_b = pa < pb ? pp > pb : pp < pb;
    bool beyond_a = pa < pb ? pp < pa : pp > pa;
    int32_t r;
    if (beyond_b) {
      r = t->N[1];
    } else if (beyond_a) {
      r = t->N[2];
    } else {
      return (pp == pa || pp == pb) ? nullptr : t;
    }
    t = pool + r / 3;
    if (orient_points(p[0], p[1], t->V[2], t->V[1]) != 0.0) return t;
  }
  return brute_locate(p[0], p[1], false);
}

}  // namespace

bool tin_init(int n, bool hull_only_flag) {
  predicates_init();
  int64_t wanted = 2 * static_cast<int64_t>(n < 0 ? 0 : n);
  if (wanted > pool_capacity) {
    void* fresh = wanted <= max_triangles
                      ? std::malloc(static_cast<size_t>(wanted) * sizeof(TINtriangle))
                      : nullptr;
    if (fresh == nullptr) {
      fprintf(stderr, "ERROR (TINclean): failed malloc for %" PRId64 " TINtriangles.\n",
              wanted);
      return false;
    }
    std::free(pool);
    pool = static_cast<TINtriangle*>(fresh);
    pool_capacity = static_cast<int>(wanted);
  }
  int64_t side = static_cast<int64_t>(std::sqrt(static_cast<double>(n < 0 ? 0 : n) /
                                                 points_per_hint_cell));
  hint_max_side = static_cast<int>(std::clamp<int64_t>(side, 1, max_hint_side));
  int64_t cells = static_cast<int64_t>(hint_max_side) * hint_max_side;
  if (cells > hint_capacity) {
    void* grown = std::realloc(hint_cells, static_cast<size_t>(cells) * sizeof(int32_t));
    if (grown == nullptr) {
      fprintf(stderr, "ERROR (TINclean): failed malloc for %" PRId64 " TINtriangles.\n",
              wanted);
      return false;
    }
    hint_cells = static_cast<int32_t*>(grown);
    hint_capacity = cells;
  }
  hint_ready = false;
  chain_free(0, pool_capacity);
  free_head = 0;
  high_water = 0;
  in_use = 0;
  last_created = -1;
  delay_pos = 0;
  have_first = false;
  delay_full = false;
  hull_only = hull_only_flag;
  return true;
}

void tin_add(const float* point) {
  if (!std::isfinite(point[0]) || !std::isfinite(point[1])) return;
  if (!have_first) {
    delay[delay_pos++] = point;
    if (delay_pos >= 3 &&
        make_first_triangle(delay[delay_pos - 3], delay[delay_pos - 2],
                            delay[delay_pos - 1])) {
      delay_pos -= 3;
      have_first = true;
    } else if (delay_pos >= delay_slots) {
      fprintf(stderr, "ERROR: cannot find triangle in first %d points.\n", delay_slots);
      exit(1);
    }
    return;
  }
  if (!delay_full) {
    delay[delay_pos++] = point;
    if (delay_pos == delay_slots) {
      delay_pos = 0;
      delay_full = true;
      prepare_hints(delay, delay_slots);
    }
    return;
  }
  // Every point waits about delay_slots additions; the periodic swap with a
  // random slot breaks up scan-line order, which would otherwise build long
  // thin triangles and large cavities.
  if (delay_pos % swap_period == 0) {
    int other = std::rand() % delay_slots;
    const float* t = delay[delay_pos];
    delay[delay_pos] = delay[other];
    delay[other] = t;
  }
  insert_waiting(delay[delay_pos]);
  delay[delay_pos] = point;
  delay_pos++;
  if (delay_pos == delay_slots) delay_pos = 0;
}

bool tin_finish() {
  if (have_first) {
    int count = delay_full ? delay_slots : delay_pos;
    if (!hint_ready) prepare_hints(delay, count);
    for (int i = 0; i < count; i++) insert_waiting(delay[i]);
  }
  delay_pos = 0;
  delay_full = false;
  return have_first;
}

TINtriangle* tin_locate(float x, float y, TINtriangle* start) {
  if (start == nullptr) {
    if (last_created < 0) return brute_locate(x, y, false);
    start = pool + last_created;
  }
  const float p[2] = {x, y};
  const double px = x;
  const double py = y;
  TINtriangle* t = start;
  int e = 0;
  double a = orient_points(px, py, t->V[1], t->V[2]);
  if (a < 0.0) {
    int32_t r = t->N[0];
    t = pool + r / 3;
    e = r % 3;
  } else if (a == 0.0) {
    int c = TINinsegment(t->V[1], t->V[2], p);
    if (c == 3) return t;
    if (c != 0) return nullptr;
  }
  // Walk along the line from the midpoint m of the entry edge towards p;
  // each triangle is left through the edge that line crosses next.
  double mx = 0.0;
  double my = 0.0;
  if (t->V[0] != nullptr) {
    const float* u = t->V[plus1[e]];
    const float* v = t->V[plus2[e]];
    mx = (static_cast<double>(u[0]) + v[0]) * 0.5;
    my = (static_cast<double>(u[1]) + v[1]) * 0.5;
  }
  for (int step = 0; step < max_walk_steps; step++) {
    if (t->V[0] == nullptr) return a != 0.0 ? t : hull_walk(t, p);
    const float* ve = t->V[e];
    double d = orient(px, py, mx, my, ve[0], ve[1]);
    int leave;
    if (d > 0.0) {
      const float* v1 = t->V[plus1[e]];
      a = orient_points(px, py, v1, ve);
      if (a > 0.0) {
        leave = plus2[e];
      } else if (a == 0.0) {
        int c = TINinsegment(v1, ve, p);
        if (c == 3) return t;
        if (c != 0) return nullptr;
        leave = plus2[e];
      } else {
        return t;
      }
    } else {
      if (d == 0.0 && ve[0] == x && ve[1] == y) return nullptr;
      const float* v2 = t->V[plus2[e]];
      a = orient_points(px, py, ve, v2);
      if (a > 0.0) {
        leave = plus1[e];
      } else if (a == 0.0) {
        int c = TINinsegment(ve, v2, p);
        if (c == 3) return t;
        if (c != 0) return nullptr;
        leave = plus1[e];
      } else {
        return t;
      }
    }
    int32_t r = t->N[leave];
    t = pool + r / 3;
    e = r % 3;
  }
  return brute_locate(x, y, false);
}

TINtriangle* brute_locate(float x, float y, bool accept_vertex) {
  const float p[2] = {x, y};
  const double px = x;
  const double py = y;
  for (int i = 0; i < high_water; i++) {
    TINtriangle* t = pool + i;
    if (t->next != tin_in_use) continue;
    if (t->V[0] == nullptr) {
      double side = orient_points(px, py, t->V[1], t->V[2]);
      if (side > 0.0) return t;
      if (side == 0.0) {
        int c = TINinsegment(t->V[1], t->V[2], p);
        if (c == 3 || (accept_vertex && c != 0)) return t;
      }
      continue;
    }
    double d0 = orient_points(px, py, t->V[1], t->V[2]);
    double d1 = orient_points(px, py, t->V[2], t->V[0]);
    double d2 = orient_points(px, py, t->V[0], t->V[1]);
    if (d0 >= 0.0 && d1 >= 0.0 && d2 >= 0.0) {
      int zeros = (d0 == 0.0) + (d1 == 0.0) + (d2 == 0.0);
      if (zeros >= 2 && !accept_vertex) return nullptr;
      return t;
    }
  }
  fprintf(stderr, "ERROR: fail to brute_locate a point.\n");
  exit(1);
}

int TINinsegment(const float* a, const float* b, const float* p) {
  int axis = a[0] != b[0] ? 0 : 1;
  if (axis == 1 && a[1] == b[1]) {
    fprintf(stderr, "ERROR: identical endpoints in TINinsegment() test.\n");
    exit(1);
  }
  float pa = a[axis];
  float pb = b[axis];
  float pp = p[axis];
  if (pp == pa) return 1;
  if (pp == pb) return 2;
  if (pa < pb ? (pa < pp && pp < pb) : (pb < pp && pp < pa)) return 3;
  return 0;
}

bool TINonsegment(const float* a, const float* b, const float* p) {
  int axis = a[0] != b[0] ? 0 : 1;
  if (axis == 1 && a[1] == b[1]) {
    fprintf(stderr, "ERROR: identical endpoints in TINonsegment() test.\n");
    exit(1);
  }
  float pa = a[axis];
  float pb = b[axis];
  float pp = p[axis];
  return pa < pb ? (pa <= pp && pp <= pb) : (pb <= pp && pp <= pa);
}

void tin_set_hints(bool enabled) { hints_enabled = enabled; }

TINtriangle* tin_triangles() { return pool; }

int tin_high_water() { return high_water; }

int tin_triangles_in_use() { return in_use; }

TINtriangle* tin_last_created() { return last_created < 0 ? nullptr : pool + last_created; }

int64_t tin_memory_bytes() {
  return static_cast<int64_t>(pool_capacity) * static_cast<int64_t>(sizeof(TINtriangle)) +
         static_cast<int64_t>(sizeof(delay)) +
         static_cast<int64_t>(cavity_capacity) * static_cast<int64_t>(sizeof(int32_t)) +
         hint_capacity * static_cast<int64_t>(sizeof(int32_t));
}
