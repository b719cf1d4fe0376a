// Sparse, unbounded, tiled grid of cells addressed by two unsigned 32-bit
// indices. Each cell holds one small statistic whose kind (the cell type) is
// chosen by name before the first write. Tiles of 100 x 100 cells are created
// where cells are written; when their buffers outgrow the memory budget the
// least recently used tiles are swapped to temporary files.
#ifndef TIECHECK_DRIVER_LASRASTER_H
#define TIECHECK_DRIVER_LASRASTER_H

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

class LASpoint;

// One tile of the grid. The buffer holds the cell layers one after the other;
// it is null while the tile lives only in its temporary-file slot.
class LASrasterTile {
public:
  static constexpr uint32_t file_copy_current = 0x80000000u;  // bit 31
  static constexpr uint32_t has_slot = 0x40000000u;           // bit 30
  static constexpr uint32_t slot_mask = 0x3FFFFFFFu;          // bits 0..29

  uint8_t* buffer = nullptr;
  uint32_t state = 0;
  uint32_t read_count = 0;   // times read back from the temporary file
  uint32_t write_count = 0;  // times written to the temporary file
  LASrasterTile* newer = nullptr;  // neighbours in the most-recently-used list
  LASrasterTile* older = nullptr;
};

class LASraster {
public:
  static constexpr uint32_t tile_side = 100;
  static constexpr uint32_t tile_cells = tile_side * tile_side;
  static constexpr uint64_t default_memory_budget = 536870912;  // bytes
  static constexpr uint32_t max_temp_file_bytes = 2147483647;

  // The default cell type is the 32-bit lowest elevation with a valid bit.
  LASraster();
  // Same, with a budget in bytes for the tile buffers (at least one tile is
  // always kept in memory, whatever the budget).
  explicit LASraster(uint64_t memory_budget);
  // Frees every tile and buffer, closes and deletes every temporary file.
  ~LASraster();

  LASraster(const LASraster&) = delete;
  LASraster& operator=(const LASraster&) = delete;

  // Selects the cell type by the keywords found in name, the first group
  // keyword found deciding in this order: "counter", "elevation",
  // "intensity", "xyz_random", "scan_angle", "user_data", "point_source",
  // "gps_time", "number_returns", "return_type", "rgb", "occupancy",
  // "classification", "value", "mean_xyz"; sub-keywords of the group then
  // pick the statistic ("lowest"/"min", "highest"/"max", "average"/"avg"/
  // "mean", "stddev"/"std", "range", "16bit", "quotient", ...). Prints
  // "ERROR: unknown cell type '<name>'" and answers false when no type
  // matches; also refused once a cell has been written.
  [[nodiscard]] bool set_cell_type(const char* name);
  const char* get_cell_type() const { return cell_type_name.c_str(); }

  // Prefix (may contain a directory) of the temporary file names; without
  // one they are "taemp<pid>.<n>.tmp" in the current directory. Only before
  // the first write.
  [[nodiscard]] bool set_temp_file_prefix(const char* prefix);
  // Budget in bytes for the tile buffers: as many whole tiles as it holds
  // stay in memory. Only before the first write.
  [[nodiscard]] bool set_memory_budget(uint64_t bytes);

  // Value stored by the type "value" and by the elevation type "index".
  void set_current_value(int32_t value) { current_value = value; }
  int32_t get_current_value() const { return current_value; }

  // Cell sizes for "mean_xyz", in the units of the integer coordinates
  // (default 1). It averages X - (col + 0.5) * x size, the same for Y with
  // the row (col and row taken as signed), and Z - (floor(Z / z size) + 0.5)
  // * z size; a z size of 2e307 or more switches the z binning off and the
  // plain Z is averaged.
  void set_cell_sizes(double x_size, double y_size, double z_size);

  // Updates the cell with the point (occupancy ignores the point, every other
  // type needs one). Prints "ERROR: cannot get tile (%d/%d)\n" and answers
  // false when the tile cannot be made present.
  [[nodiscard]] bool add(uint32_t col, uint32_t row, const LASpoint* point = nullptr);

  // Reads the cell. False (value 0) when its tile does not exist (nothing is
  // created), when the cell holds nothing, or when "extra" names no
  // component of the type. What each type answers:
  //   counters                    0: count (32-bit counts above 2^31 - 1 as
  //                               their bit pattern); false when 0
  //   quotient counters           0: first counter, 1: second; false when both 0
  //   lowest / highest            0: value
  //   range                       0: lowest, 1: highest
  //   elevation index             0: lowest Z, 1: value stored with it
  //   average                     0: mean, 1: count
  //   stddev                      0: standard deviation (of the population),
  //                               1: mean, 2: count
  //   xyz_random                  0, 1, 2: X, Y, Z, 3: count
  //   return_type                 0: Z, 1: return type (bit 0 first, bit 1 last)
  //   rgb                         0, 1, 2: red, green, blue
  //   occupancy                   0: 1 when set
  //   classification variety      0: classes 0-31 as a bit mask; over 256
  //                               classes, extra k answers classes 32k to 32k+31
  //   value                       0: the stored value
  //   mean_xyz                    0: count, 1, 2, 3: mean x, y, z offset
  // Floating-point values are rounded half away from zero by read(); use
  // read_double() to get them exactly.
  [[nodiscard]] bool read(uint32_t col, uint32_t row, int32_t* value = nullptr, uint32_t extra = 0);
  // The same as a double, for the types that store floating-point values
  // (means, standard deviations, GPS times); integer values are converted.
  [[nodiscard]] bool read_double(uint32_t col, uint32_t row, double* value, uint32_t extra = 0);

  // Unsets the cell ("occupancy" only). A cell of a missing tile is already
  // clear: true and nothing is created.
  [[nodiscard]] bool clear(uint32_t col, uint32_t row);
  // Stores value in the cell, for the 8-, 16- and 32-bit counters (clamped
  // to 0..255 and 0..65535; the 32-bit counter takes the bit pattern) and
  // "value". Other types print a message and answer false.
  [[nodiscard]] bool set(uint32_t col, uint32_t row, int32_t value);

  // Value range: a starting pair set by the cell type, widened by the add
  // operations while range tracking is on.
  void set_range_tracking(bool on) { track_range = on; }
  int64_t get_value_min() const { return value_min; }
  int64_t get_value_max() const { return value_max; }
  // Number of times a saturating counter was already full.
  uint64_t get_overflow() const { return overflow; }

  // Bounding box of the written cells as signed indices; false when empty.
  bool get_bounding_box(int32_t* min_col, int32_t* min_row, int32_t* max_col, int32_t* max_row) const;

  // Inspection (does not load tiles or change the recency order).
  uint32_t get_tile_count() const { return tile_count; }
  uint32_t get_tiles_in_memory() const;
  uint32_t get_max_tiles_in_memory() const { return max_tiles_in_memory; }
  uint32_t get_tile_bytes() const { return tile_bytes; }
  // The tile holding the cell, or null when it does not exist.
  const LASrasterTile* find_tile(uint32_t col, uint32_t row) const;
  // Names of the temporary files created so far (deleted on destruction).
  std::vector<std::string> get_temp_file_names() const;

private:
  enum class Family : uint8_t {
    counter, pair, statistic, xyz_random, return_type, rgb, occupancy, variety, value, mean_xyz
  };
  // Point field a statistic is taken of.
  enum class Source : uint8_t {
    z, intensity, scan_angle, scan_angle_abs, user_data, point_source, gps_time, number_returns
  };
  enum class Stat : uint8_t { lowest, highest, range, index, mean, stddev };
  struct CellType {
    Family family = Family::statistic;
    Source source = Source::z;
    Stat stat = Stat::lowest;
    uint32_t layer_bits[5] = {32, 1, 0, 0, 0};  // 0 ends the list
    uint32_t counter_bits = 0;     // plain counters: 2, 4, 8, 16 or 32
    bool wide_pair = false;        // pair counters: 16-bit halves, else 8-bit
    uint32_t quotient_class = 0;   // pair counters of a class (1 to 8); 0: of returns
    bool extended_variety = false; // classification variety over 256 classes
    int64_t range_min = 2147483647;
    int64_t range_max = -2147483648LL;
  };
  // The point fields the add operations use.
  struct PointValues {
    int32_t X = 0, Y = 0, Z = 0;
    uint16_t intensity = 0;
    uint8_t return_number = 0, number_of_returns = 0;
    int8_t scan_angle_rank = 0;
    uint8_t user_data = 0;
    uint16_t point_source_ID = 0;
    double gps_time = 0.0;
    uint16_t rgb[3] = {0, 0, 0};
    uint8_t classification = 0;           // legacy 5-bit class
    uint8_t extended_classification = 0;  // 0 to 255, also for legacy points
  };
  struct TempFile {
    std::string name;
    FILE* file = nullptr;
  };

  void init(uint64_t budget);
  static bool parse_cell_type(const char* name, CellType* type);
  bool start_grid(uint32_t col, uint32_t row);
  void tile_coordinates(uint32_t col, uint32_t row, int32_t* dx, int32_t* dy) const;
  LASrasterTile* get_tile(uint32_t col, uint32_t row, bool create);
  LASrasterTile* lookup(int32_t dx, int32_t dy) const;
  LASrasterTile* make_tile(int32_t dx, int32_t dy);
  uint8_t* obtain_buffer();
  bool save_tile(LASrasterTile* tile);
  bool load_tile(LASrasterTile* tile, uint8_t* buffer);
  FILE* temp_file(uint32_t file_number, const char** name);
  void link_head(LASrasterTile* tile);
  void unlink(LASrasterTile* tile);
  void widen_bounding_box(uint32_t col, uint32_t row);
  bool read_cell(uint32_t col, uint32_t row, uint32_t extra, double* value);
  bool add_cell(uint8_t* buffer, uint32_t col, uint32_t row, uint32_t place, const PointValues& p);
  bool add_statistic(uint8_t* buffer, uint32_t place, double v);
  bool read_statistic(const uint8_t* buffer, uint32_t place, uint32_t extra, double* value) const;
  bool add_pair(uint8_t* cell, bool first, bool second);
  void track(double v);
  // Copies the fields the add operations use out of the point record.
  static void get_point_values(const LASpoint* point, PointValues* values);

  CellType type;
  std::string cell_type_name = "elevation_lowest";
  uint32_t layer_offset[5] = {0, 0, 0, 0, 0};
  int64_t value_min = 2147483647;
  int64_t value_max = -2147483648LL;
  bool track_range = false;
  uint64_t overflow = 0;

  // Grid
  bool started = false;
  bool have_bbox = false;
  int32_t bbox_min_col = 0, bbox_min_row = 0, bbox_max_col = 0, bbox_max_row = 0;
  uint32_t origin_x = 0, origin_y = 0;
  enum class Current : uint8_t { none, present, absent };
  Current current = Current::none;
  int32_t current_dx = 0, current_dy = 0;
  LASrasterTile* current_tile = nullptr;
  std::unordered_map<uint32_t, LASrasterTile*> near_tiles;
  std::map<uint64_t, LASrasterTile*> far_tiles;
  uint32_t tile_count = 0;
  LASrasterTile* mru_head = nullptr;  // most recently used tile with a buffer
  LASrasterTile* mru_tail = nullptr;  // least recently used tile with a buffer

  // Buffer pool
  uint64_t memory_budget = default_memory_budget;
  uint8_t** data = nullptr;
  uint32_t data_alloc = 0;
  uint32_t data_count = 0;
  uint8_t* spare_buffer = nullptr;  // a pool buffer no tile holds at the moment
  uint32_t max_tiles_in_memory = 0;
  uint32_t tile_bytes = 0;

  // Temporary files
  std::vector<TempFile> temp_files;
  uint32_t next_slot = 0;
  uint32_t slots_per_file = 0;
  std::string temp_file_prefix;
  bool have_temp_file_prefix = false;
  int process_id = 0;

  int32_t current_value = 0;
  double cell_size[3] = {1.0, 1.0, 1.0};
};

#endif  // TIECHECK_DRIVER_LASRASTER_H
