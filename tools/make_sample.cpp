// Writes a synthetic airborne LiDAR tile and a control-point file for it.
//
// The scene: rolling terrain, forest patches and single trees with several
// returns per pulse, houses with gabled roofs, shrubs and a few outliers,
// scanned strip by strip in zigzag lines as an airborne scanner records
// them. Every LiDAR return lies 0.045 m above the truth (plus noise), so the
// control points, surveyed on open ground with centimetre noise, measure a
// bias of about +0.045 m. Some control points lie outside the tile.
//
// usage: make_sample [-points N] [-cps M] [-seed S] out.las out.csv
//
// N is the approximate number of points: the tile is sized for it and then
// scanned completely.
//
// The output depends only on the arguments: the same call writes the same
// bytes on every platform.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "las/lasheader.h"
#include "las/laspoint.h"
#include "las/laswriter_las.h"

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double tile_x = 431000.0;  // south-west corner of the tile
constexpr double tile_y = 5162000.0;
constexpr double lidar_bias = 0.045;
constexpr double tree_cell = 14.0;
constexpr double house_cell = 70.0;
constexpr double swath = 480.0;    // width of one flight strip
constexpr double spacing = 0.62;   // between pulses along a scan line
constexpr double line_step = 0.7;  // between scan lines

uint64_t splitmix64(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// A uniform value in [0, 1) for a grid cell, a seed and a purpose.
double cell_uniform(int64_t cx, int64_t cy, uint64_t seed, uint64_t salt) {
  uint64_t h = splitmix64(seed ^ (salt * 0x632BE59BD9B4E019ull));
  h = splitmix64(h ^ static_cast<uint64_t>(cx) * 0x8CB92BA72F3D8DD7ull);
  h = splitmix64(h ^ static_cast<uint64_t>(cy) * 0xD6E8FEB86659FD93ull);
  return static_cast<double>(h >> 11) * (1.0 / 9007199254740992.0);
}

// A sequential generator for noise.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  double uniform() { return static_cast<double>(splitmix64(state_++) >> 11) * (1.0 / 9007199254740992.0); }
  double gaussian(double sigma) {
    const double u1 = 1.0 - uniform();
    const double u2 = uniform();
    return sigma * std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * pi * u2);
  }

 private:
  uint64_t state_;
};

double terrain(double x, double y) {
  return 200.0 + 15.0 * std::sin(x / 180.0) + 10.0 * std::cos(y / 130.0) + 4.0 * std::sin((x + y) / 45.0) +
         1.5 * std::sin(x / 17.0) * std::cos(y / 23.0);
}

bool in_forest(double x, double y) { return std::sin(x / 97.0) * std::cos(y / 83.0) > 0.25; }

struct Tree {
  double x, y, radius, height;
  bool shrub;
};

struct House {
  double min_x, min_y, max_x, max_y, eaves, ridge;
  bool ridge_along_x;
};

class Scene {
 public:
  explicit Scene(uint64_t seed) : seed_(seed) {}

  // The tree of a tree cell, if it has one.
  bool tree_of_cell(int64_t cx, int64_t cy, Tree& t) const {
    const double cx0 = cx * tree_cell;
    const double cy0 = cy * tree_cell;
    const bool forest = in_forest(cx0 + tree_cell / 2, cy0 + tree_cell / 2);
    const double chance = forest ? 0.9 : 0.07;
    if (cell_uniform(cx, cy, seed_, 1) >= chance) return false;
    House h;
    if (house_at(cx0 + tree_cell / 2, cy0 + tree_cell / 2, 8.0, h)) return false;
    t.x = cx0 + 2.0 + cell_uniform(cx, cy, seed_, 2) * (tree_cell - 4.0);
    t.y = cy0 + 2.0 + cell_uniform(cx, cy, seed_, 3) * (tree_cell - 4.0);
    t.shrub = !forest && cell_uniform(cx, cy, seed_, 4) < 0.4;
    t.radius = t.shrub ? 0.8 + cell_uniform(cx, cy, seed_, 5) : 2.5 + 3.5 * cell_uniform(cx, cy, seed_, 5);
    t.height = t.shrub ? 0.6 + cell_uniform(cx, cy, seed_, 6) : 8.0 + 14.0 * cell_uniform(cx, cy, seed_, 6);
    return true;
  }

  // The tree whose crown covers (x, y), if any (the tallest).
  bool tree_at(double x, double y, double margin, Tree& found) const {
    const int64_t cx = static_cast<int64_t>(std::floor(x / tree_cell));
    const int64_t cy = static_cast<int64_t>(std::floor(y / tree_cell));
    bool any = false;
    for (int64_t j = cy - 1; j <= cy + 1; j++) {
      for (int64_t i = cx - 1; i <= cx + 1; i++) {
        Tree t;
        if (!tree_of_cell(i, j, t)) continue;
        const double d = std::hypot(x - t.x, y - t.y);
        if (d < t.radius + margin && (!any || t.height > found.height)) {
          found = t;
          any = true;
        }
      }
    }
    return any;
  }

  // The house whose footprint (grown by margin) holds (x, y), if any.
  bool house_at(double x, double y, double margin, House& h) const {
    const int64_t cx = static_cast<int64_t>(std::floor(x / house_cell));
    const int64_t cy = static_cast<int64_t>(std::floor(y / house_cell));
    const double hx = cx * house_cell + house_cell / 2;
    const double hy = cy * house_cell + house_cell / 2;
    if (in_forest(hx, hy) || cell_uniform(cx, cy, seed_, 10) >= 0.6) return false;
    const double w = 12.0 + 18.0 * cell_uniform(cx, cy, seed_, 11);
    const double d = 10.0 + 15.0 * cell_uniform(cx, cy, seed_, 12);
    const double ox = (cell_uniform(cx, cy, seed_, 13) - 0.5) * (house_cell - w - 20.0);
    const double oy = (cell_uniform(cx, cy, seed_, 14) - 0.5) * (house_cell - d - 20.0);
    h.min_x = hx + ox - w / 2;
    h.max_x = hx + ox + w / 2;
    h.min_y = hy + oy - d / 2;
    h.max_y = hy + oy + d / 2;
    h.eaves = terrain(hx + ox, hy + oy) + 4.0 + 6.0 * cell_uniform(cx, cy, seed_, 15);
    h.ridge = 1.5 + 2.5 * cell_uniform(cx, cy, seed_, 16);
    h.ridge_along_x = w >= d;
    return x >= h.min_x - margin && x <= h.max_x + margin && y >= h.min_y - margin && y <= h.max_y + margin;
  }

 private:
  uint64_t seed_;
};

double roof(const House& h, double x, double y) {
  const double half = h.ridge_along_x ? (h.max_y - h.min_y) / 2 : (h.max_x - h.min_x) / 2;
  const double from_ridge = h.ridge_along_x ? std::fabs(y - (h.min_y + h.max_y) / 2) : std::fabs(x - (h.min_x + h.max_x) / 2);
  return h.eaves + h.ridge * (1.0 - from_ridge / half);
}

struct Return {
  double z;
  uint8_t classification;
  uint16_t intensity;
};

class Writer {
 public:
  bool open(const char* name, int64_t announced) {
    header.version_minor = 2;
    header.point_data_format = 0;
    header.point_data_record_length = 20;
    header.x_scale_factor = header.y_scale_factor = header.z_scale_factor = 0.01;
    header.x_offset = 400000.0;
    header.y_offset = 5100000.0;
    header.z_offset = 0.0;
    header.file_creation_day = 100;
    header.file_creation_year = 2024;
    std::memcpy(header.system_identifier, "tiecheck sample", 15);
    std::memcpy(header.generating_software, "make_sample", 11);
    header.number_of_point_records = static_cast<uint32_t>(announced);
    // WGS 84 / UTM zone 32N, metres.
    const LASvlr_key_entry keys[] = {{1024, 0, 1, 1}, {1025, 0, 1, 1}, {3072, 0, 1, 32632}, {3076, 0, 1, 9001},
                                     {4099, 0, 1, 9001}};
    if (!header.set_geo_keys(5, keys)) return false;
    if (!point.init(&header, 0, 20)) return false;
    return writer.open(name, &header);
  }

  bool write(double x, double y, const Return& r, int number, int count, int scan_angle, int strip) {
    point.set_x(x);
    point.set_y(y);
    point.set_z(r.z);
    point.intensity = r.intensity;
    point.return_number = static_cast<uint8_t>(number);
    point.number_of_returns = static_cast<uint8_t>(count);
    point.classification = r.classification;
    point.scan_angle_rank = static_cast<int8_t>(scan_angle);
    point.point_source_ID = static_cast<uint16_t>(strip + 1);
    point.scan_direction_flag = 0;
    point.edge_of_flight_line = 0;
    writer.update_inventory(&point);
    if (!writer.write_point(&point)) return false;
    written_++;
    return true;
  }

  bool close() {
    if (!writer.update_header(&header, true)) return false;
    return writer.close() > 0;
  }

  int64_t written() const { return written_; }

 private:
  LASheader header;
  LASpoint point;
  LASwriterLAS writer;
  int64_t written_ = 0;
};

uint16_t intensity(Random& random, double base, double spread) {
  const double v = base + random.gaussian(spread);
  return static_cast<uint16_t>(v < 1.0 ? 1.0 : v > 65535.0 ? 65535.0 : v);
}

// The returns of one pulse at (x, y), first to last.
int pulse(const Scene& scene, Random& random, double x, double y, Return returns[4]) {
  const double ground = terrain(x, y) + lidar_bias;
  const double u = random.uniform();
  if (u < 0.00005) {
    // A bird or a multipath echo.
    returns[0] = {ground + (random.uniform() < 0.5 ? 35.0 : -12.0) + random.gaussian(3.0), 7,
                  intensity(random, 40, 10)};
    return 1;
  }
  House house;
  if (scene.house_at(x, y, 0.0, house)) {
    returns[0] = {roof(house, x, y) + lidar_bias + random.gaussian(0.03), 6, intensity(random, 1100, 150)};
    return 1;
  }
  Tree tree;
  const uint8_t ground_class = random.uniform() < 0.03 ? 1 : 2;
  if (scene.tree_at(x, y, 0.0, tree)) {
    const double base = terrain(tree.x, tree.y);
    const double r = std::hypot(x - tree.x, y - tree.y) / tree.radius;
    const double top = base + tree.height * (1.0 - 0.35 * r * r) + lidar_bias + random.gaussian(0.15);
    auto vegetation_class = [&](double z) -> uint8_t {
      const double above = z - ground;
      return above > 5.0 ? 5 : above > 2.0 ? 4 : 3;
    };
    int n = 0;
    returns[n++] = {top, vegetation_class(top), intensity(random, 160, 50)};
    if (!tree.shrub && random.uniform() < 0.6) {
      const double mid = ground + (top - ground) * (0.25 + 0.5 * random.uniform());
      returns[n++] = {mid, vegetation_class(mid), intensity(random, 90, 30)};
    }
    if (random.uniform() < (tree.shrub ? 0.7 : 0.45)) {
      returns[n++] = {ground + random.gaussian(0.035), ground_class, intensity(random, 120, 40)};
    }
    return n;
  }
  returns[0] = {ground + random.gaussian(0.025), ground_class, intensity(random, 420, 60)};
  return 1;
}

void usage() {
  std::fprintf(stderr, "usage: make_sample [-points N] [-cps M] [-seed S] out.las out.csv\n");
}

}  // namespace

int main(int argc, char** argv) {
  int64_t target = 230000;
  int cps = 30;
  uint64_t seed = 7;
  std::vector<const char*> names;
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "-points") == 0 && i + 1 < argc) {
      target = std::atoll(argv[++i]);
    } else if (std::strcmp(argv[i], "-cps") == 0 && i + 1 < argc) {
      cps = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "-seed") == 0 && i + 1 < argc) {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (argv[i][0] == '-') {
      usage();
      return 1;
    } else {
      names.push_back(argv[i]);
    }
  }
  if (names.size() != 2 || target < 1000 || target > 2000000000 || cps < 1) {
    usage();
    return 1;
  }

  // About 2.3 pulses of 1.1 returns per square metre; the tile is 1.6 times as
  // wide as it is long, in whole strips.
  const double area = static_cast<double>(target) / (1.0 / (spacing * line_step) * 1.1);
  double width = std::sqrt(area * 1.6);
  const int strips = static_cast<int>(std::ceil(width / swath));
  width = strips * swath;
  const double length = area / width;

  Scene scene(seed);
  Random random(seed * 1000003 + 17);
  Writer writer;
  if (!writer.open(names[0], target)) {
    std::fprintf(stderr, "ERROR: cannot write '%s'\n", names[0]);
    return 1;
  }
  // Strips fly north and south in turn; each scan line sweeps across the
  // strip, alternating direction, with a little jitter in both directions.
  Return returns[4];
  const int per_line = static_cast<int>(swath / spacing);
  const int lines = static_cast<int>(length / line_step);
  for (int strip = 0; strip < strips; strip++) {
    const bool north = strip % 2 == 0;
    const double strip_x = tile_x + strip * swath;
    for (int line = 0; line < lines; line++) {
      const double along = (north ? line : lines - 1 - line) * line_step;
      for (int k = 0; k < per_line; k++) {
        const int across = line % 2 == 0 ? k : per_line - 1 - k;
        const double x = strip_x + (across + 0.5) * spacing + random.gaussian(0.05);
        const double y = tile_y + along + (across - per_line / 2) * 0.002 + random.gaussian(0.05);
        const int scan_angle = static_cast<int>(std::lround((across - per_line / 2.0) / per_line * 40.0));
        const int n = pulse(scene, random, x, y, returns);
        for (int r = 0; r < n; r++) {
          if (!writer.write(x, y, returns[r], r + 1, n, scan_angle, strip)) {
            std::fprintf(stderr, "ERROR: cannot write point %lld\n", static_cast<long long>(writer.written()));
            return 1;
          }
        }
      }
    }
  }
  if (!writer.close()) {
    std::fprintf(stderr, "ERROR: cannot finish '%s'\n", names[0]);
    return 1;
  }

  // Control points on open ground, every seventh one outside the tile.
  FILE* out = std::fopen(names[1], "w");
  if (out == nullptr) {
    std::fprintf(stderr, "ERROR: cannot write '%s'\n", names[1]);
    return 1;
  }
  std::fprintf(out, "name,x,y,z\n");
  Random survey(seed * 7919 + 3);
  for (int c = 0; c < cps; c++) {
    double x = 0.0;
    double y = 0.0;
    if (c % 7 == 6) {
      const double beyond = 40.0 + 160.0 * survey.uniform();
      x = survey.uniform() < 0.5 ? tile_x - beyond : tile_x + width + beyond;
      y = tile_y + length * survey.uniform();
    } else {
      for (int attempt = 0; attempt < 10000; attempt++) {
        x = tile_x + 25.0 + (width - 50.0) * survey.uniform();
        y = tile_y + 25.0 + (length - 50.0) * survey.uniform();
        Tree t;
        House h;
        if (!scene.tree_at(x, y, 12.0, t) && !scene.house_at(x, y, 12.0, h)) break;
      }
    }
    const double z = terrain(x, y) + survey.gaussian(0.012);
    std::fprintf(out, "CP%03d,%.3f,%.3f,%.3f\n", c + 1, x, y, z);
  }
  std::fclose(out);
  std::fprintf(stderr, "wrote %lld points (%.0f m by %.0f m) to '%s' and %d control points to '%s'\n",
               static_cast<long long>(writer.written()), width, length, names[0], cps, names[1]);
  return 0;
}
