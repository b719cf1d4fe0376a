#include "driver/lasraster.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "las/laspoint.h"

#ifdef _WIN32
#include <process.h>
#else
#include <sys/types.h>
#include <unistd.h>
#endif

namespace {

constexpr uint32_t tile_side = LASraster::tile_side;
constexpr uint32_t initial_pointer_array_size = 64;
// A z cell size at or above this value switches the z binning of mean_xyz off.
constexpr double no_z_binning = 2e307;

template <typename T>
T load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <typename T>
void store(uint8_t* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

// Fields of 1, 2 or 4 bits packed into little 32-bit words; they never
// straddle a word because the width divides 32.
uint32_t get_field(const uint8_t* layer, uint32_t place, uint32_t bits) {
  const uint32_t index = place * bits;
  const uint32_t word = load<uint32_t>(layer + 4 * (index / 32));
  return (word >> (index % 32)) & ((1u << bits) - 1);
}

void put_field(uint8_t* layer, uint32_t place, uint32_t bits, uint32_t value) {
  const uint32_t index = place * bits;
  uint8_t* p = layer + 4 * (index / 32);
  const uint32_t mask = ((1u << bits) - 1) << (index % 32);
  const uint32_t word = load<uint32_t>(p);
  store<uint32_t>(p, (word & ~mask) | ((value << (index % 32)) & mask));
}

bool has(const char* name, const char* keyword) { return std::strstr(name, keyword) != nullptr; }

// Bits per stored value of a statistic's source field.
uint32_t source_bits(uint8_t source) {
  static const uint32_t bits[] = {32, 16, 8, 8, 8, 16, 64, 4};
  return bits[source];
}

int32_t to_int32(double v) {
  if (v >= 2147483648.0 && v < 4294967296.0) return static_cast<int32_t>(static_cast<uint32_t>(v));
  if (!(v > -2147483648.5)) return INT32_MIN;  // also NaN
  if (v >= 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(v < 0 ? v - 0.5 : v + 0.5);
}

}  // namespace

LASraster::LASraster() { init(default_memory_budget); }

LASraster::LASraster(uint64_t budget) { init(budget); }

void LASraster::init(uint64_t budget) {
  memory_budget = budget;
#ifdef _WIN32
  process_id = _getpid();
#else
  process_id = static_cast<int>(getpid());
#endif
  CellType lowest_elevation;
  parse_cell_type("elevation_lowest", &lowest_elevation);
  type = lowest_elevation;
  value_min = type.range_min;
  value_max = type.range_max;
}

LASraster::~LASraster() {
  for (auto& entry : near_tiles) delete entry.second;
  for (auto& entry : far_tiles) delete entry.second;
  for (uint32_t i = 0; i < data_count; i++) std::free(data[i]);
  std::free(data);
  for (TempFile& f : temp_files) {
    if (f.file) {
      std::fclose(f.file);
      std::remove(f.name.c_str());
    }
  }
}

// ---------------------------------------------------------------------------
// Cell types

bool LASraster::parse_cell_type(const char* name, CellType* t) {
  // Statistic of a point field with its layers: the value, then a valid bit;
  // a range keeps two values; means and deviations keep floats and a count.
  auto statistic = [t](Source source, Stat stat) {
    const uint32_t b = source_bits(static_cast<uint8_t>(source));
    t->family = Family::statistic;
    t->source = source;
    t->stat = stat;
    const uint32_t* chosen = nullptr;
    static const uint32_t mean[] = {32, 16, 0};
    static const uint32_t stddev[] = {64, 16, 0};
    const uint32_t single[] = {b, 1, 0};
    const uint32_t twin[] = {b, b, 1, 0};
    static const uint32_t index[] = {32, 32, 1, 0};
    switch (stat) {
      case Stat::mean: chosen = mean; break;
      case Stat::stddev: chosen = stddev; break;
      case Stat::range: chosen = twin; break;
      case Stat::index: chosen = index; break;
      default: chosen = single; break;
    }
    for (int i = 0; i < 5; i++) {
      t->layer_bits[i] = chosen[i];
      if (chosen[i] == 0) break;
    }
  };
  auto layers = [t](uint32_t b0, uint32_t b1 = 0, uint32_t b2 = 0) {
    t->layer_bits[0] = b0;
    t->layer_bits[1] = b1;
    t->layer_bits[2] = b2;
    t->layer_bits[3] = 0;
  };
  auto counter = [&](uint32_t bits) {
    t->family = Family::counter;
    t->counter_bits = bits;
    layers(bits);
    t->range_min = 0;
    t->range_max = bits == 32 ? 4294967295LL : (1LL << bits) - 1;
  };
  auto pair = [&](bool wide, uint32_t quotient_class) {
    t->family = Family::pair;
    t->wide_pair = wide;
    t->quotient_class = quotient_class;
    layers(wide ? 32 : 16);
    t->range_min = 0;
    t->range_max = wide ? 65535 : 255;
  };
  // Sub-keywords for fields whose default statistic is the highest value.
  auto highest_by_default = [&](Source source, bool mean_and_stddev) {
    if (has(name, "lowest") || has(name, "min")) {
      statistic(source, Stat::lowest);
    } else if (mean_and_stddev && (has(name, "average") || has(name, "avg") || has(name, "mean"))) {
      statistic(source, Stat::mean);
    } else if (mean_and_stddev && (has(name, "stddev") || has(name, "std"))) {
      statistic(source, Stat::stddev);
    } else if (has(name, "range")) {
      statistic(source, Stat::range);
    } else {
      statistic(source, Stat::highest);
    }
  };

  *t = CellType();
  if (has(name, "counter")) {
    if (has(name, "quotient")) {
      pair(has(name, "16bit"), 0);
    } else if (has(name, "16bit")) {
      counter(16);
    } else if (has(name, "32bit")) {
      counter(32);
    } else if (has(name, "2bit")) {
      counter(2);
    } else if (has(name, "4bit")) {
      counter(4);
    } else {
      counter(8);
    }
  } else if (has(name, "elevation")) {
    if (has(name, "highest") || has(name, "max")) {
      statistic(Source::z, Stat::highest);
    } else if (has(name, "average") || has(name, "avg") || has(name, "mean")) {
      statistic(Source::z, Stat::mean);
    } else if (has(name, "stddev") || has(name, "std")) {
      statistic(Source::z, Stat::stddev);
    } else if (has(name, "range")) {
      statistic(Source::z, Stat::range);
    } else if (has(name, "index")) {
      statistic(Source::z, Stat::index);
    } else {
      statistic(Source::z, Stat::lowest);
    }
  } else if (has(name, "intensity")) {
    highest_by_default(Source::intensity, true);
  } else if (has(name, "xyz_random")) {
    t->family = Family::xyz_random;
    layers(96, 16);
  } else if (has(name, "scan_angle")) {
    if (has(name, "highest_abs") || has(name, "abs_highest") || has(name, "max_abs") || has(name, "abs_max")) {
      statistic(Source::scan_angle_abs, Stat::highest);
    } else if (has(name, "average_abs") || has(name, "abs_average") || has(name, "avg_abs") ||
               has(name, "abs_avg")) {
      statistic(Source::scan_angle_abs, Stat::mean);
    } else if (has(name, "highest") || has(name, "max")) {
      statistic(Source::scan_angle, Stat::highest);
    } else if (has(name, "abs")) {
      statistic(Source::scan_angle_abs, Stat::lowest);
    } else if (has(name, "range")) {
      statistic(Source::scan_angle, Stat::range);
    } else {
      statistic(Source::scan_angle, Stat::lowest);
    }
  } else if (has(name, "user_data")) {
    highest_by_default(Source::user_data, true);
  } else if (has(name, "point_source")) {
    highest_by_default(Source::point_source, false);
  } else if (has(name, "gps_time")) {
    highest_by_default(Source::gps_time, false);
  } else if (has(name, "number_returns")) {
    if (has(name, "lowest") || has(name, "min")) {
      statistic(Source::number_returns, Stat::lowest);
    } else if (has(name, "highest") || has(name, "max")) {
      statistic(Source::number_returns, Stat::highest);
    } else if (has(name, "stddev") || has(name, "std")) {
      statistic(Source::number_returns, Stat::stddev);
    } else {
      statistic(Source::number_returns, Stat::mean);
    }
  } else if (has(name, "return_type")) {
    t->family = Family::return_type;
    layers(32, 2, 1);
    if (has(name, "lowest") || has(name, "min")) {
      t->stat = Stat::lowest;
    } else if (has(name, "highest") || has(name, "max") || std::strcmp(name, "return_type") == 0) {
      t->stat = Stat::highest;
    } else {
      return false;
    }
  } else if (has(name, "rgb")) {
    t->family = Family::rgb;
    layers(24, 1);
  } else if (has(name, "occupancy")) {
    t->family = Family::occupancy;
    layers(1);
    t->range_min = 0;
    t->range_max = 1;
  } else if (has(name, "classification")) {
    if (has(name, "variety")) {
      t->family = Family::variety;
      t->extended_variety = has(name, "extended_classification");
      layers(t->extended_variety ? 256 : 32);
    } else if (has(name, "quotient")) {
      static const char* const class_names[] = {"_1_", "_2_", "_3_", "_4_", "_5_", "_6_", "_7_", "_8_"};
      uint32_t quotient_class = 0;
      for (uint32_t c = 0; c < 8 && quotient_class == 0; c++) {
        if (has(name, class_names[c])) quotient_class = c + 1;
      }
      if (quotient_class == 0) return false;
      pair(has(name, "16bit"), quotient_class);
    } else if (has(name, "majority")) {
      counter(has(name, "16bit") ? 16 : has(name, "32bit") ? 32 : 8);
    } else {
      return false;
    }
  } else if (has(name, "value")) {
    t->family = Family::value;
    layers(32, 1);
  } else if (has(name, "mean_xyz")) {
    t->family = Family::mean_xyz;
    layers(128);
  } else {
    return false;
  }
  return true;
}

bool LASraster::set_cell_type(const char* name) {
  if (started) {
    fprintf(stderr, "ERROR: cannot change the cell type after cells were written\n");
    return false;
  }
  CellType parsed;
  if (name == nullptr || !parse_cell_type(name, &parsed)) {
    fprintf(stderr, "ERROR: unknown cell type '%s'\n", name ? name : "");
    return false;
  }
  type = parsed;
  cell_type_name = name;
  value_min = type.range_min;
  value_max = type.range_max;
  return true;
}

bool LASraster::set_temp_file_prefix(const char* prefix) {
  if (started) {
    fprintf(stderr, "ERROR: cannot change the temporary file prefix after cells were written\n");
    return false;
  }
  have_temp_file_prefix = prefix != nullptr;
  temp_file_prefix = prefix ? prefix : "";
  return true;
}

bool LASraster::set_memory_budget(uint64_t bytes) {
  if (started) {
    fprintf(stderr, "ERROR: cannot change the memory budget after cells were written\n");
    return false;
  }
  memory_budget = bytes;
  return true;
}

void LASraster::set_cell_sizes(double x_size, double y_size, double z_size) {
  cell_size[0] = x_size;
  cell_size[1] = y_size;
  cell_size[2] = z_size;
}

// ---------------------------------------------------------------------------
// Tiles

bool LASraster::start_grid(uint32_t col, uint32_t row) {
  uint64_t offset = 0;
  for (int i = 0; i < 5 && type.layer_bits[i]; i++) {
    layer_offset[i] = static_cast<uint32_t>(offset);
    offset += (static_cast<uint64_t>(type.layer_bits[i]) * tile_cells + 31) / 32 * 4;
  }
  tile_bytes = static_cast<uint32_t>(offset);
  uint64_t max_tiles = memory_budget / tile_bytes;
  if (max_tiles < 1) max_tiles = 1;
  if (max_tiles > UINT32_MAX / 2) max_tiles = UINT32_MAX / 2;
  max_tiles_in_memory = static_cast<uint32_t>(max_tiles);

  data_alloc = initial_pointer_array_size < max_tiles_in_memory ? initial_pointer_array_size : max_tiles_in_memory;
  data = static_cast<uint8_t**>(std::malloc(sizeof(uint8_t*) * data_alloc));
  if (data == nullptr) {
    fprintf(stderr, "ERROR: cannot alloc pointer array 'data' to size %u\n", data_alloc);
    data_alloc = 0;
    return false;
  }
  data_count = 0;
  slots_per_file = max_temp_file_bytes / tile_bytes;
  next_slot = 0;
  origin_x = col / tile_side;
  origin_y = row / tile_side;
  started = true;
  return true;
}

void LASraster::tile_coordinates(uint32_t col, uint32_t row, int32_t* dx, int32_t* dy) const {
  // Unsigned division and 32-bit wrap-around: indices a caller computed as
  // negative numbers land in tiles far from the origin, the same way every time.
  *dx = static_cast<int32_t>(col / tile_side - origin_x);
  *dy = static_cast<int32_t>(row / tile_side - origin_y);
}

namespace {

bool is_near(int32_t dx, int32_t dy) { return dx >= -32768 && dx <= 32767 && dy >= -32768 && dy <= 32767; }

uint32_t near_key(int32_t dx, int32_t dy) {
  return (static_cast<uint32_t>(static_cast<uint16_t>(dx)) << 16) | static_cast<uint16_t>(dy);
}

uint64_t far_key(int32_t dx, int32_t dy) {
  return (static_cast<uint64_t>(static_cast<uint32_t>(dx)) << 32) | static_cast<uint32_t>(dy);
}

}  // namespace

LASrasterTile* LASraster::lookup(int32_t dx, int32_t dy) const {
  if (is_near(dx, dy)) {
    auto it = near_tiles.find(near_key(dx, dy));
    return it == near_tiles.end() ? nullptr : it->second;
  }
  auto it = far_tiles.find(far_key(dx, dy));
  return it == far_tiles.end() ? nullptr : it->second;
}

const LASrasterTile* LASraster::find_tile(uint32_t col, uint32_t row) const {
  if (tile_count == 0) return nullptr;
  int32_t dx, dy;
  tile_coordinates(col, row, &dx, &dy);
  return lookup(dx, dy);
}

uint32_t LASraster::get_tiles_in_memory() const { return data_count - (spare_buffer ? 1 : 0); }

std::vector<std::string> LASraster::get_temp_file_names() const {
  std::vector<std::string> names;
  for (const TempFile& f : temp_files) {
    if (f.file) names.push_back(f.name);
  }
  return names;
}

void LASraster::link_head(LASrasterTile* tile) {
  tile->newer = nullptr;
  tile->older = mru_head;
  if (mru_head) mru_head->newer = tile;
  mru_head = tile;
  if (mru_tail == nullptr) mru_tail = tile;
}

void LASraster::unlink(LASrasterTile* tile) {
  if (tile->newer) {
    tile->newer->older = tile->older;
  } else {
    mru_head = tile->older;
  }
  if (tile->older) {
    tile->older->newer = tile->newer;
  } else {
    mru_tail = tile->newer;
  }
  tile->newer = nullptr;
  tile->older = nullptr;
}

LASrasterTile* LASraster::get_tile(uint32_t col, uint32_t row, bool create) {
  if (tile_count == 0 && !create) return nullptr;
  if (!started && !start_grid(col, row)) return nullptr;
  int32_t dx, dy;
  tile_coordinates(col, row, &dx, &dy);
  const bool same = dx == current_dx && dy == current_dy;
  if (current == Current::present && same) return current_tile;
  if (!create && current == Current::absent && same) return nullptr;

  LASrasterTile* tile = lookup(dx, dy);
  if (tile == nullptr) {
    if (!create) {
      current = Current::absent;
      current_dx = dx;
      current_dy = dy;
      current_tile = nullptr;
      return nullptr;
    }
    tile = make_tile(dx, dy);
    if (tile == nullptr) {
      fprintf(stderr, "ERROR: cannot alloc tile\n");
      current = Current::none;
      return nullptr;
    }
  } else if (tile->buffer == nullptr) {
    uint8_t* buffer = obtain_buffer();
    if (buffer == nullptr) {
      current = Current::none;
      return nullptr;
    }
    if (!load_tile(tile, buffer)) {
      spare_buffer = buffer;
      current = Current::none;
      return nullptr;
    }
    tile->buffer = buffer;
    link_head(tile);
  } else if (tile != mru_head) {
    unlink(tile);
    link_head(tile);
  }
  current = Current::present;
  current_dx = dx;
  current_dy = dy;
  current_tile = tile;
  return tile;
}

LASrasterTile* LASraster::make_tile(int32_t dx, int32_t dy) {
  // Reserve the index entry first so that no later failure leaves a tile
  // without an entry or an entry without a tile.
  const bool near = is_near(dx, dy);
  try {
    if (near) {
      near_tiles.emplace(near_key(dx, dy), nullptr);
    } else {
      far_tiles.emplace(far_key(dx, dy), nullptr);
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  auto drop_entry = [&]() {
    if (near) {
      near_tiles.erase(near_key(dx, dy));
    } else {
      far_tiles.erase(far_key(dx, dy));
    }
  };
  LASrasterTile* tile = new (std::nothrow) LASrasterTile();
  if (tile == nullptr) {
    fprintf(stderr, "ERROR: cannot alloc LASrasterTile\n");
    drop_entry();
    return nullptr;
  }
  tile->buffer = obtain_buffer();
  if (tile->buffer == nullptr) {
    delete tile;
    drop_entry();
    return nullptr;
  }
  if (near) {
    near_tiles[near_key(dx, dy)] = tile;
  } else {
    far_tiles[far_key(dx, dy)] = tile;
  }
  tile_count++;
  link_head(tile);
  return tile;
}

uint8_t* LASraster::obtain_buffer() {
  uint8_t* buffer = nullptr;
  if (spare_buffer) {
    buffer = spare_buffer;
    spare_buffer = nullptr;
  } else if (data_count < max_tiles_in_memory) {
    if (data_count == data_alloc) {
      uint32_t size = data_alloc * 2;
      if (size > max_tiles_in_memory) size = max_tiles_in_memory;
      uint8_t** grown = static_cast<uint8_t**>(std::realloc(data, sizeof(uint8_t*) * size));
      if (grown == nullptr) {
        fprintf(stderr, "ERROR: cannot realloc pointer array 'data' to size %u\n", size);
        return nullptr;
      }
      data = grown;
      data_alloc = size;
    }
    buffer = static_cast<uint8_t*>(std::calloc(1, tile_bytes));
    if (buffer == nullptr) {
      fprintf(stderr, "ERROR: cannot alloc data[%u] with size %u\n", data_count, tile_bytes);
      return nullptr;
    }
    data[data_count++] = buffer;
    return buffer;
  } else {
    // Every buffer is in use: swap out the least recently used tile. If it
    // cannot be saved it keeps its buffer, so no marked cell is lost.
    LASrasterTile* victim = mru_tail;
    if (victim == nullptr || !save_tile(victim)) return nullptr;
    buffer = victim->buffer;
    victim->buffer = nullptr;
    unlink(victim);
    if (victim == current_tile) current = Current::none;
  }
  std::memset(buffer, 0, tile_bytes);
  return buffer;
}

FILE* LASraster::temp_file(uint32_t file_number, const char** name) {
  if (temp_files.size() <= file_number) temp_files.resize(file_number + 1);
  TempFile& f = temp_files[file_number];
  if (f.file == nullptr) {
    char number[64];
    snprintf(number, sizeof number, "%d.%u.tmp", process_id, file_number);
    f.name = (have_temp_file_prefix ? temp_file_prefix : std::string("taemp")) + number;
    f.file = std::fopen(f.name.c_str(), "w+b");
    if (f.file == nullptr) {
      fprintf(stderr, "ERROR: cannot create temporary file '%s'\n", f.name.c_str());
      return nullptr;
    }
    // Whole tiles are read and written at random places: a stream buffer
    // would only copy them once more.
    std::setvbuf(f.file, nullptr, _IONBF, 0);
  }
  *name = f.name.c_str();
  return f.file;
}

namespace {

bool seek(FILE* file, uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

}  // namespace

bool LASraster::save_tile(LASrasterTile* tile) {
  if (tile->state & LASrasterTile::file_copy_current) return true;
  if ((tile->state & LASrasterTile::has_slot) == 0) {
    if (next_slot > LASrasterTile::slot_mask) {
      fprintf(stderr, "ERROR: no free slot left in the temporary tile files\n");
      return false;
    }
    tile->state = LASrasterTile::has_slot | next_slot++;
  }
  const uint32_t slot = tile->state & LASrasterTile::slot_mask;
  const char* name = nullptr;
  FILE* file = temp_file(slot / slots_per_file, &name);
  if (file == nullptr) return false;
  // The file is unbuffered, so a full disk shows up here and not in a later swap.
  const uint64_t offset = static_cast<uint64_t>(slot % slots_per_file) * tile_bytes;
  if (!seek(file, offset) || std::fwrite(tile->buffer, 1, tile_bytes, file) != tile_bytes) {
    fprintf(stderr, "ERROR: cannot write tile to temporary file '%s'\n", name);
    return false;
  }
  tile->state |= LASrasterTile::file_copy_current;
  tile->write_count++;
  return true;
}

bool LASraster::load_tile(LASrasterTile* tile, uint8_t* buffer) {
  const uint32_t slot = tile->state & LASrasterTile::slot_mask;
  const char* name = nullptr;
  FILE* file = temp_file(slot / slots_per_file, &name);
  if (file == nullptr) return false;
  const uint64_t offset = static_cast<uint64_t>(slot % slots_per_file) * tile_bytes;
  if (!seek(file, offset) || std::fread(buffer, 1, tile_bytes, file) != tile_bytes) {
    fprintf(stderr, "ERROR: cannot read tile from temporary file '%s'\n", name);
    return false;
  }
  tile->state |= LASrasterTile::file_copy_current;
  tile->read_count++;
  return true;
}

void LASraster::widen_bounding_box(uint32_t col, uint32_t row) {
  const int32_t c = static_cast<int32_t>(col);
  const int32_t r = static_cast<int32_t>(row);
  if (!have_bbox) {
    bbox_min_col = bbox_max_col = c;
    bbox_min_row = bbox_max_row = r;
    have_bbox = true;
    return;
  }
  if (c < bbox_min_col) bbox_min_col = c;
  if (c > bbox_max_col) bbox_max_col = c;
  if (r < bbox_min_row) bbox_min_row = r;
  if (r > bbox_max_row) bbox_max_row = r;
}

bool LASraster::get_bounding_box(int32_t* min_col, int32_t* min_row, int32_t* max_col, int32_t* max_row) const {
  if (!have_bbox) return false;
  *min_col = bbox_min_col;
  *min_row = bbox_min_row;
  *max_col = bbox_max_col;
  *max_row = bbox_max_row;
  return true;
}

// ---------------------------------------------------------------------------
// Cell operations

namespace {

uint32_t place_of(uint32_t col, uint32_t row) { return col % tile_side + (row % tile_side) * tile_side; }

}  // namespace

void LASraster::get_point_values(const LASpoint* point, PointValues* v) {
  v->X = point->X;
  v->Y = point->Y;
  v->Z = point->Z;
  v->intensity = point->intensity;
  // Points filled from LAS 1.4 records carry up to 15 returns and 256
  // classes in their extended fields; the legacy fields are clamped copies.
  const bool extended = point->extended_point_type != 0;
  v->return_number = extended ? point->extended_return_number : point->return_number;
  v->number_of_returns = extended ? point->extended_number_of_returns : point->number_of_returns;
  v->scan_angle_rank = point->scan_angle_rank;
  v->user_data = point->user_data;
  v->point_source_ID = point->point_source_ID;
  v->gps_time = point->gps_time;
  for (int i = 0; i < 3; i++) v->rgb[i] = point->rgb[i];
  v->classification = point->classification;
  v->extended_classification = extended ? point->extended_classification : point->classification;
}

void LASraster::track(double v) {
  // NaN (a GPS time, say) is not a value; huge values are clamped so the
  // conversion stays defined.
  if (!track_range || std::isnan(v)) return;
  const double clamped = v < -9.0e18 ? -9.0e18 : v > 9.0e18 ? 9.0e18 : v;
  const int64_t i = static_cast<int64_t>(std::floor(clamped));
  if (i < value_min) value_min = i;
  if (i > value_max) value_max = i;
}

bool LASraster::add(uint32_t col, uint32_t row, const LASpoint* point) {
  PointValues values;
  if (type.family != Family::occupancy) {
    if (point == nullptr) {
      fprintf(stderr, "ERROR: cell type '%s' needs a point to add\n", cell_type_name.c_str());
      return false;
    }
    get_point_values(point, &values);
  }
  LASrasterTile* tile = get_tile(col, row, true);
  if (tile == nullptr) {
    fprintf(stderr, "ERROR: cannot get tile (%d/%d)\n", static_cast<int>(col), static_cast<int>(row));
    return false;
  }
  widen_bounding_box(col, row);
  if (add_cell(tile->buffer, col, row, place_of(col, row), values)) {
    tile->state &= ~LASrasterTile::file_copy_current;
  }
  return true;
}

bool LASraster::add_pair(uint8_t* cell, bool first, bool second) {
  const uint32_t full = type.wide_pair ? 65535 : 255;
  const uint32_t half = type.wide_pair ? 32767 : 127;
  uint32_t a, b;
  if (type.wide_pair) {
    a = load<uint16_t>(cell);
    b = load<uint16_t>(cell + 2);
  } else {
    a = cell[0];
    b = cell[1];
  }
  // A full counter is halved together with the other one, which keeps their
  // quotient while making room.
  auto increment = [&](uint32_t& counter, uint32_t& other) {
    if (counter == full) {
      counter = half;
      other /= 2;
      overflow++;
    }
    counter++;
  };
  if (first) increment(a, b);
  if (second) increment(b, a);
  if (type.wide_pair) {
    store<uint16_t>(cell, static_cast<uint16_t>(a));
    store<uint16_t>(cell + 2, static_cast<uint16_t>(b));
  } else {
    cell[0] = static_cast<uint8_t>(a);
    cell[1] = static_cast<uint8_t>(b);
  }
  return first || second;
}

namespace {

// Stored value of a statistic: the width follows the source field; only the
// elevation and the signed scan angle are signed, only GPS time is a double.
double load_value(const uint8_t* layer, uint32_t place, uint32_t bits, bool is_signed) {
  switch (bits) {
    case 4: return get_field(layer, place, 4);
    case 8: return is_signed ? static_cast<double>(static_cast<int8_t>(layer[place])) : layer[place];
    case 16: return load<uint16_t>(layer + 2 * place);
    case 32: return load<int32_t>(layer + 4 * place);
    default: return load<double>(layer + 8 * place);
  }
}

void store_value(uint8_t* layer, uint32_t place, uint32_t bits, bool is_signed, double v) {
  switch (bits) {
    case 4: put_field(layer, place, 4, static_cast<uint32_t>(v)); break;
    case 8:
      layer[place] = is_signed ? static_cast<uint8_t>(static_cast<int8_t>(v)) : static_cast<uint8_t>(v);
      break;
    case 16: store<uint16_t>(layer + 2 * place, static_cast<uint16_t>(v)); break;
    case 32: store<int32_t>(layer + 4 * place, static_cast<int32_t>(v)); break;
    default: store<double>(layer + 8 * place, v); break;
  }
}

}  // namespace

bool LASraster::add_statistic(uint8_t* buffer, uint32_t place, double v) {
  const uint32_t bits = source_bits(static_cast<uint8_t>(type.source));
  const bool is_signed = type.source == Source::z || type.source == Source::scan_angle;
  uint8_t* values = buffer + layer_offset[0];
  switch (type.stat) {
    case Stat::lowest:
    case Stat::highest: {
      uint8_t* valid = buffer + layer_offset[1];
      if (get_field(valid, place, 1)) {
        const double kept = load_value(values, place, bits, is_signed);
        if (type.stat == Stat::lowest ? !(v < kept) : !(v > kept)) return false;
      }
      store_value(values, place, bits, is_signed, v);
      put_field(valid, place, 1, 1);
      return true;
    }
    case Stat::range: {
      uint8_t* highs = buffer + layer_offset[1];
      uint8_t* valid = buffer + layer_offset[2];
      if (!get_field(valid, place, 1)) {
        store_value(values, place, bits, is_signed, v);
        store_value(highs, place, bits, is_signed, v);
        put_field(valid, place, 1, 1);
        return true;
      }
      if (v < load_value(values, place, bits, is_signed)) {
        store_value(values, place, bits, is_signed, v);
        return true;
      }
      if (v > load_value(highs, place, bits, is_signed)) {
        store_value(highs, place, bits, is_signed, v);
        return true;
      }
      return false;
    }
    case Stat::index: {
      uint8_t* indices = buffer + layer_offset[1];
      uint8_t* valid = buffer + layer_offset[2];
      if (get_field(valid, place, 1) && !(v < load<int32_t>(values + 4 * place))) return false;
      store<int32_t>(values + 4 * place, static_cast<int32_t>(v));
      store<int32_t>(indices + 4 * place, current_value);
      put_field(valid, place, 1, 1);
      return true;
    }
    case Stat::mean:
    case Stat::stddev: {
      // Welford's update; once the 16-bit count is full the mean keeps
      // moving with a weight of 1/65536.
      uint8_t* counts = buffer + layer_offset[1];
      const uint16_t n = load<uint16_t>(counts + 2 * place);
      const double weight = static_cast<double>(n) + 1.0;
      if (n == 65535) {
        overflow++;
      } else {
        store<uint16_t>(counts + 2 * place, static_cast<uint16_t>(n + 1));
      }
      if (type.stat == Stat::mean) {
        float mean = load<float>(values + 4 * place);
        mean = static_cast<float>(mean + (v - mean) / weight);
        store<float>(values + 4 * place, mean);
      } else {
        float mean = load<float>(values + 8 * place);
        float m2 = load<float>(values + 8 * place + 4);
        const double delta = v - mean;
        const double new_mean = mean + delta / weight;
        m2 = static_cast<float>(m2 + delta * (v - new_mean));
        store<float>(values + 8 * place, static_cast<float>(new_mean));
        store<float>(values + 8 * place + 4, m2);
      }
      return true;
    }
  }
  return false;
}

bool LASraster::add_cell(uint8_t* buffer, uint32_t col, uint32_t row, uint32_t place, const PointValues& p) {
  uint8_t* layer0 = buffer + layer_offset[0];
  switch (type.family) {
    case Family::occupancy:
      track(1);
      if (get_field(layer0, place, 1)) return false;
      put_field(layer0, place, 1, 1);
      return true;

    case Family::counter: {
      const uint32_t bits = type.counter_bits;
      const uint32_t full = bits == 32 ? UINT32_MAX : (1u << bits) - 1;
      uint32_t count;
      switch (bits) {
        case 8: count = layer0[place]; break;
        case 16: count = load<uint16_t>(layer0 + 2 * place); break;
        case 32: count = load<uint32_t>(layer0 + 4 * place); break;
        default: count = get_field(layer0, place, bits); break;
      }
      if (count == full) {
        overflow++;
        track(count);
        return false;
      }
      count++;
      track(count);
      switch (bits) {
        case 8: layer0[place] = static_cast<uint8_t>(count); break;
        case 16: store<uint16_t>(layer0 + 2 * place, static_cast<uint16_t>(count)); break;
        case 32: store<uint32_t>(layer0 + 4 * place, count); break;
        default: put_field(layer0, place, bits, count); break;
      }
      return true;
    }

    case Family::pair: {
      uint8_t* cell = layer0 + (type.wide_pair ? 4 : 2) * place;
      if (type.quotient_class) {
        const bool of_class = p.classification == type.quotient_class;
        return add_pair(cell, of_class, !of_class);
      }
      return add_pair(cell, p.number_of_returns == 1, p.return_number == 1);
    }

    case Family::statistic: {
      double v = 0.0;
      switch (type.source) {
        case Source::z: v = p.Z; break;
        case Source::intensity: v = p.intensity; break;
        case Source::scan_angle: v = p.scan_angle_rank; break;
        case Source::scan_angle_abs: v = std::abs(static_cast<int>(p.scan_angle_rank)); break;
        case Source::user_data: v = p.user_data; break;
        case Source::point_source: v = p.point_source_ID; break;
        case Source::gps_time: v = p.gps_time; break;
        case Source::number_returns: v = p.number_of_returns & 15; break;
      }
      track(v);
      return add_statistic(buffer, place, v);
    }

    case Family::xyz_random: {
      // Reservoir sampling of one point: the n-th point replaces the kept
      // one with chance 1/n, so every point is kept with equal chance.
      uint8_t* counts = buffer + layer_offset[1];
      uint16_t n = load<uint16_t>(counts + 2 * place);
      if (n == 32767) {
        overflow++;
      } else {
        n++;
        store<uint16_t>(counts + 2 * place, n);
      }
      track(p.Z);
      if (n == 1 || std::rand() % n == 0) {
        uint8_t* cell = layer0 + 12 * place;
        store<int32_t>(cell, p.X);
        store<int32_t>(cell + 4, p.Y);
        store<int32_t>(cell + 8, p.Z);
      }
      return true;
    }

    case Family::return_type: {
      uint8_t* types = buffer + layer_offset[1];
      uint8_t* valid = buffer + layer_offset[2];
      track(p.Z);
      if (get_field(valid, place, 1)) {
        const int32_t kept = load<int32_t>(layer0 + 4 * place);
        if (type.stat == Stat::lowest ? p.Z >= kept : p.Z <= kept) return false;
      }
      uint32_t return_type = 0;
      if (p.return_number <= 1) return_type |= 1;
      if (p.return_number >= p.number_of_returns) return_type |= 2;
      store<int32_t>(layer0 + 4 * place, p.Z);
      put_field(types, place, 2, return_type);
      put_field(valid, place, 1, 1);
      return true;
    }

    case Family::rgb: {
      uint8_t* valid = buffer + layer_offset[1];
      if (get_field(valid, place, 1)) return false;
      uint8_t* cell = layer0 + 3 * place;
      for (int i = 0; i < 3; i++) cell[i] = static_cast<uint8_t>(p.rgb[i] & 0xFF);
      put_field(valid, place, 1, 1);
      return true;
    }

    case Family::variety: {
      const uint32_t c = type.extended_variety ? p.extended_classification : p.classification & 31u;
      track(c);
      uint8_t* cell = layer0 + (type.extended_variety ? 32 : 4) * place;
      uint8_t* word = cell + 4 * (c / 32);
      const uint32_t mask = 1u << (c % 32);
      const uint32_t bits = load<uint32_t>(word);
      if (bits & mask) return false;
      store<uint32_t>(word, bits | mask);
      return true;
    }

    case Family::value: {
      uint8_t* valid = buffer + layer_offset[1];
      track(current_value);
      store<int32_t>(layer0 + 4 * place, current_value);
      put_field(valid, place, 1, 1);
      return true;
    }

    case Family::mean_xyz: {
      uint8_t* cell = layer0 + 16 * place;
      uint32_t n = load<uint32_t>(cell);
      const double weight = static_cast<double>(n) + 1.0;
      if (n == UINT32_MAX) {
        overflow++;
      } else {
        store<uint32_t>(cell, n + 1);
      }
      // Offsets from the cell centre; cell indices are signed here so that
      // cells left of or below the origin get their true centre.
      double offset[3];
      offset[0] = p.X - (static_cast<int32_t>(col) + 0.5) * cell_size[0];
      offset[1] = p.Y - (static_cast<int32_t>(row) + 0.5) * cell_size[1];
      if (cell_size[2] < no_z_binning) {
        offset[2] = p.Z - (std::floor(p.Z / cell_size[2]) + 0.5) * cell_size[2];
      } else {
        offset[2] = p.Z;
      }
      track(p.Z);
      for (int i = 0; i < 3; i++) {
        float mean = load<float>(cell + 4 + 4 * i);
        store<float>(cell + 4 + 4 * i, static_cast<float>(mean + (offset[i] - mean) / weight));
      }
      return true;
    }
  }
  return false;
}

bool LASraster::read(uint32_t col, uint32_t row, int32_t* value, uint32_t extra) {
  double v = 0.0;
  const bool found = read_cell(col, row, extra, &v);
  if (value) *value = found ? to_int32(v) : 0;
  return found;
}

bool LASraster::read_double(uint32_t col, uint32_t row, double* value, uint32_t extra) {
  double v = 0.0;
  const bool found = read_cell(col, row, extra, &v);
  if (value) *value = found ? v : 0.0;
  return found;
}

bool LASraster::read_statistic(const uint8_t* buffer, uint32_t place, uint32_t extra, double* value) const {
  const uint32_t bits = source_bits(static_cast<uint8_t>(type.source));
  const bool is_signed = type.source == Source::z || type.source == Source::scan_angle;
  const uint8_t* values = buffer + layer_offset[0];
  switch (type.stat) {
    case Stat::lowest:
    case Stat::highest:
      if (extra != 0 || !get_field(buffer + layer_offset[1], place, 1)) return false;
      *value = load_value(values, place, bits, is_signed);
      return true;
    case Stat::range:
      if (extra > 1 || !get_field(buffer + layer_offset[2], place, 1)) return false;
      *value = load_value(buffer + layer_offset[extra], place, bits, is_signed);
      return true;
    case Stat::index:
      if (extra > 1 || !get_field(buffer + layer_offset[2], place, 1)) return false;
      *value = load<int32_t>(buffer + layer_offset[extra] + 4 * place);
      return true;
    case Stat::mean:
    case Stat::stddev: {
      const uint16_t n = load<uint16_t>(buffer + layer_offset[1] + 2 * place);
      if (n == 0) return false;
      if (type.stat == Stat::mean) {
        if (extra > 1) return false;
        *value = extra == 0 ? static_cast<double>(load<float>(values + 4 * place)) : n;
        return true;
      }
      const float mean = load<float>(values + 8 * place);
      const float m2 = load<float>(values + 8 * place + 4);
      switch (extra) {
        case 0: *value = std::sqrt(m2 > 0.0f ? m2 / static_cast<double>(n) : 0.0); return true;
        case 1: *value = mean; return true;
        case 2: *value = n; return true;
        default: return false;
      }
    }
  }
  return false;
}

bool LASraster::read_cell(uint32_t col, uint32_t row, uint32_t extra, double* value) {
  LASrasterTile* tile = get_tile(col, row, false);
  if (tile == nullptr) return false;
  const uint8_t* buffer = tile->buffer;
  const uint8_t* layer0 = buffer + layer_offset[0];
  const uint32_t place = place_of(col, row);
  switch (type.family) {
    case Family::occupancy:
      if (extra != 0 || !get_field(layer0, place, 1)) return false;
      *value = 1;
      return true;

    case Family::counter: {
      uint32_t count;
      switch (type.counter_bits) {
        case 8: count = layer0[place]; break;
        case 16: count = load<uint16_t>(layer0 + 2 * place); break;
        case 32: count = load<uint32_t>(layer0 + 4 * place); break;
        default: count = get_field(layer0, place, type.counter_bits); break;
      }
      if (extra != 0 || count == 0) return false;
      *value = count;
      return true;
    }

    case Family::pair: {
      uint32_t a, b;
      if (type.wide_pair) {
        a = load<uint16_t>(layer0 + 4 * place);
        b = load<uint16_t>(layer0 + 4 * place + 2);
      } else {
        a = layer0[2 * place];
        b = layer0[2 * place + 1];
      }
      if (extra > 1 || (a == 0 && b == 0)) return false;
      *value = extra == 0 ? a : b;
      return true;
    }

    case Family::statistic:
      return read_statistic(buffer, place, extra, value);

    case Family::xyz_random: {
      const uint16_t n = load<uint16_t>(buffer + layer_offset[1] + 2 * place);
      if (extra > 3 || n == 0) return false;
      *value = extra == 3 ? n : load<int32_t>(layer0 + 12 * place + 4 * extra);
      return true;
    }

    case Family::return_type:
      if (extra > 1 || !get_field(buffer + layer_offset[2], place, 1)) return false;
      *value = extra == 0 ? static_cast<double>(load<int32_t>(layer0 + 4 * place))
                          : static_cast<double>(get_field(buffer + layer_offset[1], place, 2));
      return true;

    case Family::rgb:
      if (extra > 2 || !get_field(buffer + layer_offset[1], place, 1)) return false;
      *value = layer0[3 * place + extra];
      return true;

    case Family::variety: {
      const uint32_t words = type.extended_variety ? 8 : 1;
      const uint8_t* cell = layer0 + 4 * words * place;
      bool any = false;
      for (uint32_t i = 0; i < words; i++) any = any || load<uint32_t>(cell + 4 * i) != 0;
      if (extra >= words || !any) return false;
      *value = load<uint32_t>(cell + 4 * extra);
      return true;
    }

    case Family::value:
      if (extra != 0 || !get_field(buffer + layer_offset[1], place, 1)) return false;
      *value = load<int32_t>(layer0 + 4 * place);
      return true;

    case Family::mean_xyz: {
      const uint8_t* cell = layer0 + 16 * place;
      const uint32_t n = load<uint32_t>(cell);
      if (extra > 3 || n == 0) return false;
      *value = extra == 0 ? static_cast<double>(n) : load<float>(cell + 4 * extra);
      return true;
    }
  }
  return false;
}

bool LASraster::clear(uint32_t col, uint32_t row) {
  if (type.family != Family::occupancy) {
    fprintf(stderr, "ERROR: cell type '%s' cannot clear a cell\n", cell_type_name.c_str());
    return false;
  }
  LASrasterTile* tile = get_tile(col, row, false);
  if (tile == nullptr) return true;  // the cell of a missing tile is clear already
  uint8_t* layer0 = tile->buffer + layer_offset[0];
  const uint32_t place = place_of(col, row);
  if (get_field(layer0, place, 1)) {
    put_field(layer0, place, 1, 0);
    tile->state &= ~LASrasterTile::file_copy_current;
  }
  return true;
}

bool LASraster::set(uint32_t col, uint32_t row, int32_t value) {
  const bool settable = type.family == Family::value ||
                        (type.family == Family::counter && type.counter_bits >= 8);
  if (!settable) {
    fprintf(stderr, "ERROR: cell type '%s' cannot set a cell\n", cell_type_name.c_str());
    return false;
  }
  LASrasterTile* tile = get_tile(col, row, true);
  if (tile == nullptr) {
    fprintf(stderr, "ERROR: cannot get tile (%d/%d)\n", static_cast<int>(col), static_cast<int>(row));
    return false;
  }
  widen_bounding_box(col, row);
  uint8_t* layer0 = tile->buffer + layer_offset[0];
  const uint32_t place = place_of(col, row);
  if (type.family == Family::value) {
    store<int32_t>(layer0 + 4 * place, value);
    put_field(tile->buffer + layer_offset[1], place, 1, 1);
  } else if (type.counter_bits == 8) {
    layer0[place] = static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
  } else if (type.counter_bits == 16) {
    store<uint16_t>(layer0 + 2 * place, static_cast<uint16_t>(value < 0 ? 0 : value > 65535 ? 65535 : value));
  } else {
    // The full 32-bit range is reachable only through the bit pattern.
    store<uint32_t>(layer0 + 4 * place, static_cast<uint32_t>(value));
  }
  tile->state &= ~LASrasterTile::file_copy_current;
  return true;
}
