#include "driver/lasraster.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "las/laspoint.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t occupancy_tile_bytes = 1252;

// Every test runs in a fresh directory, where the grids put their temporary
// files by default; the directory must be empty again when the test ends.
class LASrasterTest : public ::testing::Test {
protected:
  void SetUp() override {
    old_dir = fs::current_path();
    char name[] = "/tmp/lasraster_test.XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir = name;
    fs::current_path(dir);
  }
  void TearDown() override {
    fs::current_path(old_dir);
    std::vector<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
      if (entry.is_regular_file()) left.push_back(entry.path().string());
    }
    EXPECT_TRUE(left.empty()) << "left behind: " << (left.empty() ? "" : left[0]);
    fs::remove_all(dir);
  }
  std::vector<std::string> files_here() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    return names;
  }

  fs::path old_dir;
  fs::path dir;
};

uint32_t neg(int32_t i) { return static_cast<uint32_t>(i); }

// A cell pattern that differs from tile to tile and includes the corners.
bool marked(uint32_t col, uint32_t row) {
  const uint32_t c = col % 100, r = row % 100;
  if ((c == 0 || c == 99) && (r == 0 || r == 99)) return true;
  return (c * 7 + r * 13 + col / 100 * 3 + row / 100 * 5) % 11 == 0;
}

// ---------------------------------------------------------------------------
// Occupancy, tile index and swapping

TEST_F(LASrasterTest, NeverWrittenGridAnswersFalseAndCreatesNothing) {
  LASraster grid;
  ASSERT_TRUE(grid.set_cell_type("occupancy"));
  int32_t value = 7;
  EXPECT_FALSE(grid.read(0, 0, &value));
  EXPECT_EQ(value, 0);
  EXPECT_FALSE(grid.read(neg(-1), neg(-1)));
  EXPECT_TRUE(grid.clear(5, 5));
  EXPECT_EQ(grid.get_tile_count(), 0u);
  int32_t a, b, c, d;
  EXPECT_FALSE(grid.get_bounding_box(&a, &b, &c, &d));

  // After writing, cells of missing tiles still answer false without creating.
  ASSERT_TRUE(grid.add(250, 250));
  EXPECT_EQ(grid.get_tile_count(), 1u);
  EXPECT_FALSE(grid.read(350, 250, &value));
  EXPECT_FALSE(grid.read(350, 250, &value));  // the failed-lookup shortcut
  EXPECT_FALSE(grid.read(150, 150));
  EXPECT_TRUE(grid.clear(150, 150));
  EXPECT_EQ(grid.find_tile(350, 250), nullptr);
  EXPECT_EQ(grid.get_tile_count(), 1u);
  // The tile a read failed on can still be created and read afterwards.
  EXPECT_FALSE(grid.read(351, 251));
  ASSERT_TRUE(grid.add(351, 251));
  EXPECT_TRUE(grid.read(351, 251, &value));
  EXPECT_EQ(value, 1);
  EXPECT_EQ(grid.get_tile_count(), 2u);
}

TEST_F(LASrasterTest, OccupancyAddReadClear) {
  LASraster grid;
  ASSERT_TRUE(grid.set_cell_type("occupancy"));
  ASSERT_TRUE(grid.add(1234, 5678));
  ASSERT_TRUE(grid.add(1234, 5678));
  int32_t value = 0;
  EXPECT_TRUE(grid.read(1234, 5678, &value));
  EXPECT_EQ(value, 1);
  EXPECT_FALSE(grid.read(1235, 5678, &value));
  EXPECT_EQ(value, 0);
  EXPECT_FALSE(grid.read(1234, 5678, &value, 1));
  EXPECT_TRUE(grid.clear(1234, 5678));
  EXPECT_FALSE(grid.read(1234, 5678, &value));
  EXPECT_EQ(grid.get_tile_bytes(), occupancy_tile_bytes);
  EXPECT_EQ(grid.get_max_tiles_in_memory(), 428810u);  // whole tiles in 512 MiB
  EXPECT_EQ(grid.get_value_min(), 0);
  EXPECT_EQ(grid.get_value_max(), 1);
}

TEST_F(LASrasterTest, NegativeIndicesAreTwosComplementCells) {
  LASraster grid;
  ASSERT_TRUE(grid.set_cell_type("occupancy"));
  ASSERT_TRUE(grid.add(0, 0));
  ASSERT_TRUE(grid.add(neg(-1), 0));
  EXPECT_TRUE(grid.read(4294967295u, 0));
  EXPECT_TRUE(grid.read(neg(-1), 0));
  EXPECT_FALSE(grid.read(neg(-2), 0));
  // -1 and 0 are in different tiles.
  EXPECT_EQ(grid.get_tile_count(), 2u);
  EXPECT_NE(grid.find_tile(neg(-1), 0), grid.find_tile(0, 0));
  ASSERT_TRUE(grid.clear(0, 0));
  EXPECT_TRUE(grid.read(neg(-1), 0));

  ASSERT_TRUE(grid.add(neg(-150), neg(-7)));
  EXPECT_TRUE(grid.read(4294967146u, 4294967289u));
  int32_t min_col, min_row, max_col, max_row;
  ASSERT_TRUE(grid.get_bounding_box(&min_col, &min_row, &max_col, &max_row));
  EXPECT_EQ(min_col, -150);
  EXPECT_EQ(min_row, -7);
  EXPECT_EQ(max_col, 0);
  EXPECT_EQ(max_row, 0);
}

TEST_F(LASrasterTest, TilesAroundTheOriginAndAcrossTheNearFarBoundary) {
  LASraster grid;
  ASSERT_TRUE(grid.set_cell_type("occupancy"));
  const uint32_t origin = 3276900;  // tile 32769: cells below it are near
  std::vector<std::pair<uint32_t, uint32_t>> cells;
  for (int64_t d : {-32769LL, -32768LL, -1LL, 0LL, 1LL, 32767LL, 32768LL}) {
    for (int64_t e : {-32769LL, -1LL, 0LL, 32767LL, 32768LL}) {
      cells.emplace_back(static_cast<uint32_t>(origin + d * 100 + 42), static_cast<uint32_t>(origin + e * 100 + 17));
    }
  }
  ASSERT_TRUE(grid.add(origin, origin));
  for (auto [c, r] : cells) ASSERT_TRUE(grid.add(c, r));
  EXPECT_EQ(grid.get_tile_count(), cells.size());
  for (auto [c, r] : cells) {
    EXPECT_TRUE(grid.read(c, r)) << c << "/" << r;
    EXPECT_FALSE(grid.read(c + 1, r)) << c << "/" << r;
  }
}

TEST_F(LASrasterTest, ManyFarApartTilesKeepTheirCells) {
  // Far tiles live in the ordered map; with a budget of 3 tiles they are
  // swapped as well.
  for (uint64_t budget : {LASraster::default_memory_budget, uint64_t{3} * occupancy_tile_bytes}) {
    SCOPED_TRACE(budget);
    LASraster grid(budget);
    ASSERT_TRUE(grid.set_cell_type("occupancy"));
    std::vector<std::pair<uint32_t, uint32_t>> cells;
    for (uint32_t k = 0; k < 300; k++) {
      const uint32_t col = k * 14000017u;  // wraps around, so some land "below" the origin
      const uint32_t row = (k % 7) * 600000011u + k;
      cells.emplace_back(col, row);
    }
    for (auto [c, r] : cells) ASSERT_TRUE(grid.add(c, r));
    EXPECT_EQ(grid.get_tile_count(), cells.size());
    for (size_t i = cells.size(); i-- > 0;) {
      auto [c, r] = cells[i];
      EXPECT_TRUE(grid.read(c, r)) << c << "/" << r;
      EXPECT_FALSE(grid.read(c, r + 1)) << c << "/" << r;
      EXPECT_FALSE(grid.read(c + 100, r)) << c << "/" << r;
    }
    EXPECT_EQ(grid.get_tile_count(), cells.size());
    EXPECT_LE(grid.get_tiles_in_memory(), grid.get_max_tiles_in_memory());
  }
}

TEST_F(LASrasterTest, SwappingKeepsEveryMarkedCell) {
  const uint32_t tiles_x = 9, tiles_y = 6;
  {
    LASraster grid(4 * occupancy_tile_bytes);
    ASSERT_TRUE(grid.set_cell_type("occupancy"));
    // Mark the pattern row by row, as a run in spatial order does.
    for (uint32_t row = 0; row < tiles_y * 100; row++) {
      for (uint32_t col = 0; col < tiles_x * 100; col++) {
        if (marked(col, row)) {
          ASSERT_TRUE(grid.add(col, row));
        }
      }
    }
    EXPECT_EQ(grid.get_tile_count(), tiles_x * tiles_y);
    EXPECT_EQ(grid.get_tiles_in_memory(), 4u);
    const std::vector<std::string> names = grid.get_temp_file_names();
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0], "taemp" + std::to_string(getpid()) + ".0.tmp");
    EXPECT_EQ(files_here(), names);

    const auto counts = [&](uint32_t* reads, uint32_t* writes) {
      *reads = *writes = 0;
      for (uint32_t ty = 0; ty < tiles_y; ty++) {
        for (uint32_t tx = 0; tx < tiles_x; tx++) {
          const LASrasterTile* tile = grid.find_tile(tx * 100, ty * 100);
          ASSERT_NE(tile, nullptr);
          *reads += tile->read_count;
          *writes += tile->write_count;
        }
      }
    };
    uint32_t reads_before, writes_before;
    counts(&reads_before, &writes_before);
    // Read back column by column, so nearly every access brings a tile back.
    for (uint32_t col = 0; col < tiles_x * 100; col++) {
      for (uint32_t row = 0; row < tiles_y * 100; row++) {
        int32_t value = -1;
        const bool set = grid.read(col, row, &value);
        ASSERT_EQ(set, marked(col, row)) << col << "/" << row;
        ASSERT_EQ(value, set ? 1 : 0);
      }
    }
    uint32_t reads_after, writes_after;
    counts(&reads_after, &writes_after);
    EXPECT_GT(reads_after - reads_before, tiles_x * tiles_y);
    // Reading changes no tile: only the 4 tiles marked last are written, once.
    EXPECT_EQ(writes_after - writes_before, 4u);

    // Changes made to tiles that came back are kept through later swaps.
    for (uint32_t t = 0; t < tiles_x * tiles_y; t++) {
      const uint32_t col = (t % tiles_x) * 100 + 50, row = (t / tiles_x) * 100 + 51;
      if (marked(col, row)) {
        ASSERT_TRUE(grid.clear(col, row));
      } else {
        ASSERT_TRUE(grid.add(col, row));
      }
    }
    for (uint32_t t = 0; t < tiles_x * tiles_y; t++) {
      const uint32_t col = (t % tiles_x) * 100 + 50, row = (t / tiles_x) * 100 + 51;
      EXPECT_NE(grid.read(col, row), marked(col, row)) << col << "/" << row;
      EXPECT_EQ(grid.read(col, row + 1), marked(col, row + 1)) << col << "/" << row + 1;
    }
  }
  EXPECT_TRUE(files_here().empty());
}

TEST_F(LASrasterTest, TemporaryFilePrefixNamesTheFiles) {
  fs::create_directory(dir / "swap");
  const std::string prefix = (dir / "swap" / "grid_").string();
  {
    LASraster grid(occupancy_tile_bytes);
    ASSERT_TRUE(grid.set_cell_type("occupancy"));
    ASSERT_TRUE(grid.set_temp_file_prefix(prefix.c_str()));
    ASSERT_TRUE(grid.add(0, 0));
    ASSERT_TRUE(grid.add(100, 0));
    const std::string expected = prefix + std::to_string(getpid()) + ".0.tmp";
    ASSERT_EQ(grid.get_temp_file_names(), std::vector<std::string>{expected});
    EXPECT_TRUE(fs::exists(expected));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(grid.set_temp_file_prefix("late"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ERROR: cannot change the temporary file prefix after cells were written\n");
  }
  EXPECT_TRUE(fs::is_empty(dir / "swap"));
}

TEST_F(LASrasterTest, LeastRecentlyUsedTileIsSwappedOut) {
  LASraster grid(2 * occupancy_tile_bytes);
  ASSERT_TRUE(grid.set_cell_type("occupancy"));
  ASSERT_TRUE(grid.add(0, 0));    // tile A
  ASSERT_TRUE(grid.add(100, 0));  // tile B
  EXPECT_TRUE(grid.read(0, 0));   // A is now the most recently used
  ASSERT_TRUE(grid.add(200, 0));  // tile C takes B's buffer
  EXPECT_NE(grid.find_tile(0, 0)->buffer, nullptr);
  EXPECT_EQ(grid.find_tile(100, 0)->buffer, nullptr);
  EXPECT_NE(grid.find_tile(200, 0)->buffer, nullptr);
  EXPECT_EQ(grid.find_tile(100, 0)->state,
            LASrasterTile::file_copy_current | LASrasterTile::has_slot | 0u);
  EXPECT_TRUE(grid.read(100, 0));  // B comes back in place of A
  EXPECT_EQ(grid.find_tile(0, 0)->buffer, nullptr);
  EXPECT_EQ(grid.find_tile(0, 0)->state, LASrasterTile::file_copy_current | LASrasterTile::has_slot | 1u);
  EXPECT_EQ(grid.find_tile(100, 0)->read_count, 1u);
}

TEST_F(LASrasterTest, SettingASetCellKeepsTheFileCopyCurrent) {
  LASraster grid(occupancy_tile_bytes);  // one tile in memory
  ASSERT_TRUE(grid.set_cell_type("occupancy"));
  ASSERT_TRUE(grid.add(5, 5));    // tile A
  ASSERT_TRUE(grid.add(105, 5));  // tile B: A is written to its slot
  const LASrasterTile* a = grid.find_tile(5, 5);
  ASSERT_EQ(a->write_count, 1u);
  ASSERT_TRUE(grid.add(5, 5));  // A comes back; its bit is set already
  EXPECT_EQ(a->read_count, 1u);
  EXPECT_NE(a->state & LASrasterTile::file_copy_current, 0u);
  ASSERT_TRUE(grid.add(105, 5));  // A leaves again without being rewritten
  EXPECT_EQ(a->write_count, 1u);
  EXPECT_EQ(a->buffer, nullptr);

  // A real change makes the copy stale, so the next swap writes it.
  ASSERT_TRUE(grid.add(6, 5));
  EXPECT_EQ(a->state & LASrasterTile::file_copy_current, 0u);
  ASSERT_TRUE(grid.add(105, 5));
  EXPECT_EQ(a->write_count, 2u);
  EXPECT_TRUE(grid.read(5, 5));
  EXPECT_TRUE(grid.read(6, 5));
  EXPECT_FALSE(grid.read(7, 5));
}

TEST_F(LASrasterTest, TemporaryFileThatCannotBeCreatedLosesNothing) {
  LASraster grid(occupancy_tile_bytes);
  ASSERT_TRUE(grid.set_cell_type("occupancy"));
  ASSERT_TRUE(grid.set_temp_file_prefix((dir / "missing" / "t").string().c_str()));
  ASSERT_TRUE(grid.add(7, 8));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(grid.add(107, 8));
  const std::string err = testing::internal::GetCapturedStderr();
  const std::string name = (dir / "missing" / "t").string() + std::to_string(getpid()) + ".0.tmp";
  EXPECT_EQ(err, "ERROR: cannot create temporary file '" + name +
                     "'\n"
                     "ERROR: cannot alloc tile\n"
                     "ERROR: cannot get tile (107/8)\n");
  // The tile that could not be swapped out keeps its cells; no tile was made.
  EXPECT_EQ(grid.get_tile_count(), 1u);
  EXPECT_TRUE(grid.read(7, 8));
  EXPECT_FALSE(grid.read(107, 8));
  ASSERT_TRUE(grid.add(9, 8));
  EXPECT_TRUE(grid.read(9, 8));
}

TEST_F(LASrasterTest, TileThatCannotBeReadBackFailsCleanly) {
  LASraster grid(occupancy_tile_bytes);
  ASSERT_TRUE(grid.set_cell_type("occupancy"));
  ASSERT_TRUE(grid.add(1, 1));      // tile A
  ASSERT_TRUE(grid.add(101, 1));    // tile B; A goes to slot 0
  ASSERT_TRUE(grid.read(1, 1));     // B goes to slot 1
  ASSERT_TRUE(grid.read(101, 1));   // A's copy is current: nothing is written
  const std::vector<std::string> names = grid.get_temp_file_names();
  ASSERT_EQ(names.size(), 1u);
  fs::resize_file(names[0], 0);  // both copies are gone

  testing::internal::CaptureStderr();
  int32_t value = 5;
  EXPECT_FALSE(grid.read(1, 1, &value));
  EXPECT_EQ(value, 0);
  EXPECT_FALSE(grid.add(2, 1));
  const std::string err = testing::internal::GetCapturedStderr();
  const std::string message = "ERROR: cannot read tile from temporary file '" + names[0] + "'\n";
  EXPECT_EQ(err, message + message + "ERROR: cannot get tile (2/1)\n");
  // The grid stays usable: a new tile takes the buffer left over.
  ASSERT_TRUE(grid.add(1001, 1001));
  EXPECT_TRUE(grid.read(1001, 1001));
  EXPECT_EQ(grid.get_tile_count(), 3u);
  EXPECT_EQ(grid.get_tiles_in_memory(), 1u);
}

// ---------------------------------------------------------------------------
// Cell types

TEST(LASrasterCellType, NamesSelectTypesByKeywordPrecedence) {
  struct Case {
    const char* name;
    uint32_t tile_bytes;  // 0: refused
  };
  // A layer of b bits a cell takes ceil(b * 10000 / 32) * 4 bytes.
  const Case cases[] = {
      {"counter_quotient_16bit", 40000},
      {"counter_quotient", 20000},
      {"counter_16bit", 20000},
      {"counter_32bit", 40000},
      {"counter_2bit", 2500},
      {"counter_4bit", 5000},
      {"counter", 10000},
      {"counter_elevation_intensity", 10000},
      {"elevation_highest", 41252},
      {"elevation_avg", 60000},
      {"elevation_std", 100000},
      {"elevation_range", 81252},
      {"elevation_index", 81252},
      {"elevation", 41252},
      {"elevation_rgb_occupancy", 41252},
      {"intensity", 21252},
      {"intensity_mean", 60000},
      {"intensity_stddev", 100000},
      {"intensity_range", 41252},
      {"xyz_random", 140000},
      {"scan_angle", 11252},
      {"scan_angle_abs_average", 60000},
      {"scan_angle_range", 21252},
      {"user_data_stddev", 100000},
      {"user_data_range", 21252},
      {"point_source_min", 21252},
      {"point_source_range", 41252},
      {"gps_time", 81252},
      {"gps_time_range", 161252},
      {"number_returns_lowest", 6252},
      {"number_returns", 60000},
      {"number_returns_std", 100000},
      {"return_type", 43752},
      {"return_type_lowest", 43752},
      {"return_type_max", 43752},
      {"return_type_of_first", 0},
      {"rgb", 31252},
      {"occupancy", 1252},
      {"classification_variety", 40000},
      {"extended_classification_variety", 320000},
      {"classification_quotient_3_16bit", 40000},
      {"classification_quotient_8_", 20000},
      {"classification_quotient", 0},
      {"classification_quotient_9_", 0},
      {"classification_majority", 10000},
      {"classification_majority_16bit", 20000},
      {"classification_majority_32bit", 40000},
      {"classification", 0},
      {"classification_lowest", 0},
      {"value", 41252},
      {"mean_xyz", 160000},
      {"point_count", 0},
      {"", 0},
  };
  LASpoint point;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LASraster grid;
    testing::internal::CaptureStderr();
    const bool accepted = grid.set_cell_type(c.name);
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(accepted, c.tile_bytes != 0);
    if (!accepted) {
      EXPECT_EQ(err, std::string("ERROR: unknown cell type '") + c.name + "'\n");
      continue;
    }
    ASSERT_TRUE(grid.add(0, 0, &point));
    EXPECT_EQ(grid.get_tile_bytes(), c.tile_bytes);
    EXPECT_EQ(grid.get_max_tiles_in_memory(), 536870912u / c.tile_bytes);
  }
}

TEST(LASrasterCellType, ChosenOnlyBeforeTheFirstWrite) {
  LASraster grid;
  ASSERT_TRUE(grid.set_cell_type("counter"));
  ASSERT_TRUE(grid.set_cell_type("occupancy"));
  ASSERT_TRUE(grid.add(0, 0));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(grid.set_cell_type("counter"));
  EXPECT_FALSE(grid.set_memory_budget(1000));
  testing::internal::GetCapturedStderr();
  EXPECT_STREQ(grid.get_cell_type(), "occupancy");
  EXPECT_TRUE(grid.read(0, 0));
  // A refused name leaves the chosen type in place.
  LASraster other;
  testing::internal::CaptureStderr();
  ASSERT_FALSE(other.set_cell_type("classification"));
  testing::internal::GetCapturedStderr();
  LASpoint point;
  point.Z = 12;
  ASSERT_TRUE(other.add(0, 0, &point));
  EXPECT_EQ(other.get_tile_bytes(), 41252u);
}

// Three points with distinct fields, added to cell (5, 7) in this order.
struct ThreePoints {
  LASpoint p[3];
  ThreePoints() {
    const int32_t X[] = {10, 30, 50}, Y[] = {20, 40, 60}, Z[] = {5, -3, 9};
    const uint16_t intensity[] = {300, 100, 200};
    const uint8_t ret[] = {1, 2, 3}, nret[] = {1, 3, 3};
    const int8_t scan[] = {-20, 10, -5};
    const uint8_t user[] = {7, 3, 5};
    const uint16_t source[] = {11, 4, 20};
    const double gps[] = {100.5, 50.25, 75.0};
    const uint8_t cls[] = {2, 6, 2};
    for (int i = 0; i < 3; i++) {
      p[i].X = X[i];
      p[i].Y = Y[i];
      p[i].Z = Z[i];
      p[i].intensity = intensity[i];
      p[i].return_number = ret[i];
      p[i].number_of_returns = nret[i];
      p[i].scan_angle_rank = scan[i];
      p[i].user_data = user[i];
      p[i].point_source_ID = source[i];
      p[i].gps_time = gps[i];
      p[i].rgb[0] = static_cast<uint16_t>(0x1200 + 0x34 + i);
      p[i].rgb[1] = static_cast<uint16_t>(0x1256 + 0x100 * i);
      p[i].rgb[2] = static_cast<uint16_t>(0xFF78 + i);
      p[i].classification = cls[i];
    }
  }
};

TEST(LASrasterCellType, AddOperationsOnThreePoints) {
  constexpr double none = -1e300;  // the read answers false
  struct Case {
    const char* name;  // null: the default type
    double extra0, extra1, extra2;
  };
  const double mean_z = 11.0 / 3.0;
  const double stddev_z = std::sqrt(((5 - mean_z) * (5 - mean_z) + (-3 - mean_z) * (-3 - mean_z) +
                                     (9 - mean_z) * (9 - mean_z)) / 3.0);
  const Case cases[] = {
      {nullptr, -3, none, none},
      {"counter", 3, none, none},
      {"counter_2bit", 3, none, none},
      {"counter_32bit", 3, none, none},
      {"counter_quotient", 1, 1, none},  // single returns; first returns
      {"elevation_lowest", -3, none, none},
      {"elevation_highest", 9, none, none},
      {"elevation_mean", mean_z, 3, none},
      {"elevation_stddev", stddev_z, mean_z, 3},
      {"elevation_range", -3, 9, none},
      {"elevation_index", -3, 200, none},  // the value current when -3 came
      {"intensity", 300, none, none},
      {"intensity_lowest", 100, none, none},
      {"intensity_average", 200, 3, none},
      {"intensity_range", 100, 300, none},
      {"scan_angle", -20, none, none},
      {"scan_angle_max", 10, none, none},
      {"scan_angle_abs", 5, none, none},
      {"scan_angle_abs_max", 20, none, none},
      {"scan_angle_avg_abs", 35.0 / 3.0, 3, none},
      {"scan_angle_range", -20, 10, none},
      {"user_data", 7, none, none},
      {"user_data_min", 3, none, none},
      {"user_data_mean", 5, 3, none},
      {"point_source", 20, none, none},
      {"point_source_range", 4, 20, none},
      {"gps_time", 100.5, none, none},
      {"gps_time_lowest", 50.25, none, none},
      {"gps_time_range", 50.25, 100.5, none},
      {"number_returns", 7.0 / 3.0, 3, none},
      {"number_returns_max", 3, none, none},
      {"return_type", 9, 2, none},         // third point: last, not first
      {"return_type_lowest", -3, 0, none},  // second of three
      {"rgb", 0x34, 0x56, 0x78},            // of the first point
      {"occupancy", 1, none, none},
      {"classification_variety", (1 << 2) | (1 << 6), none, none},
      {"extended_classification_variety", (1 << 2) | (1 << 6), 0, 0},
      {"classification_quotient_2_", 2, 1, none},
      {"classification_quotient_6_16bit", 1, 2, none},
      {"classification_majority", 3, none, none},
      {"value", 300, none, none},
      {"mean_xyz", 3, 24.5, 32.5},  // offsets from the centre (5.5, 7.5)
  };
  ThreePoints points;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name ? c.name : "(default)");
    LASraster grid;
    if (c.name) {
      ASSERT_TRUE(grid.set_cell_type(c.name));
    }
    for (int i = 0; i < 3; i++) {
      grid.set_current_value(100 * (i + 1));
      ASSERT_TRUE(grid.add(5, 7, &points.p[i]));
    }
    const double expected[] = {c.extra0, c.extra1, c.extra2};
    for (uint32_t extra = 0; extra < 3; extra++) {
      SCOPED_TRACE(extra);
      double value = 0;
      const bool found = grid.read_double(5, 7, &value, extra);
      ASSERT_EQ(found, expected[extra] != none);
      if (!found) continue;
      EXPECT_NEAR(value, expected[extra], 1e-4);
      int32_t rounded = 0;
      EXPECT_TRUE(grid.read(5, 7, &rounded, extra));
      EXPECT_EQ(rounded, static_cast<int32_t>(std::lround(expected[extra])));
    }
    EXPECT_FALSE(grid.read(6, 7));
    EXPECT_EQ(grid.get_overflow(), 0u);
  }
}

TEST(LASrasterCellType, SaturatingCountersCountOverflows) {
  struct Case {
    const char* name;
    uint32_t full;
  };
  const Case cases[] = {
      {"counter_2bit", 3},
      {"counter_4bit", 15},
      {"counter", 255},
      {"classification_majority", 255},
      {"counter_16bit", 65535},
  };
  LASpoint point;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LASraster grid;
    ASSERT_TRUE(grid.set_cell_type(c.name));
    for (uint32_t i = 0; i < c.full + 5; i++) ASSERT_TRUE(grid.add(99, 99, &point));
    int32_t value = 0;
    EXPECT_TRUE(grid.read(99, 99, &value));
    EXPECT_EQ(static_cast<uint32_t>(value), c.full);
    EXPECT_EQ(grid.get_overflow(), 5u);
    // Neighbouring cells sharing the word are untouched.
    EXPECT_FALSE(grid.read(98, 99));
    EXPECT_FALSE(grid.read(0, 0));
  }
}

TEST(LASrasterCellType, SetStoresClampedCounterValues) {
  struct Case {
    const char* name;
    int32_t stored;
    bool found;
    int32_t expected;
  };
  const Case cases[] = {
      {"counter", 300, true, 255},
      {"counter", -5, false, 0},
      {"counter", 17, true, 17},
      {"counter_16bit", 70000, true, 65535},
      {"counter_16bit", 65534, true, 65534},
      {"counter_32bit", -1, true, -1},  // 4294967295 as a bit pattern
      {"counter_32bit", 2147483647, true, 2147483647},
      {"value", -123456, true, -123456},
      {"value", 0, true, 0},  // a stored 0 is a value
  };
  LASpoint point;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.stored));
    LASraster grid;
    ASSERT_TRUE(grid.set_cell_type(c.name));
    ASSERT_TRUE(grid.set(neg(-1), 3, c.stored));
    int32_t value = 99;
    EXPECT_EQ(grid.read(neg(-1), 3, &value), c.found);
    EXPECT_EQ(value, c.expected);
  }
  // A full 32-bit counter stays full.
  LASraster grid;
  ASSERT_TRUE(grid.set_cell_type("counter_32bit"));
  ASSERT_TRUE(grid.set(0, 0, -1));
  ASSERT_TRUE(grid.add(0, 0, &point));
  double value = 0;
  EXPECT_TRUE(grid.read_double(0, 0, &value));
  EXPECT_EQ(value, 4294967295.0);
  EXPECT_EQ(grid.get_overflow(), 1u);
}

TEST(LASrasterCellType, OperationsATypeLacksAnswerFalse) {
  struct Case {
    const char* name;
    bool can_clear, can_set;
  };
  const Case cases[] = {
      {"occupancy", true, false},        {"counter", false, true},          {"counter_2bit", false, false},
      {"counter_quotient", false, false}, {"elevation_lowest", false, false}, {"value", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LASraster grid;
    ASSERT_TRUE(grid.set_cell_type(c.name));
    testing::internal::CaptureStderr();
    EXPECT_EQ(grid.clear(1, 1), c.can_clear);
    EXPECT_EQ(grid.set(1, 1, 1), c.can_set);
    const std::string err = testing::internal::GetCapturedStderr();
    std::string expected;
    if (!c.can_clear) expected += std::string("ERROR: cell type '") + c.name + "' cannot clear a cell\n";
    if (!c.can_set) expected += std::string("ERROR: cell type '") + c.name + "' cannot set a cell\n";
    EXPECT_EQ(err, expected);
    EXPECT_EQ(grid.get_tile_count(), c.can_set ? 1u : 0u);
  }
  // Every type but occupancy needs a point; without one nothing is created.
  LASraster grid;
  ASSERT_TRUE(grid.set_cell_type("elevation_lowest"));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(grid.add(1, 1));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: cell type 'elevation_lowest' needs a point to add\n");
  EXPECT_EQ(grid.get_tile_count(), 0u);
}

TEST(LASrasterCellType, QuotientCountersHalveWhenFull) {
  struct Case {
    const char* name;
    uint32_t full;
  };
  const Case cases[] = {{"counter_quotient", 255}, {"counter_quotient_16bit", 65535}};
  LASpoint both, single_only, first_only;
  both.number_of_returns = 1;
  both.return_number = 1;
  single_only.number_of_returns = 1;
  single_only.return_number = 2;
  first_only.number_of_returns = 2;
  first_only.return_number = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LASraster grid;
    ASSERT_TRUE(grid.set_cell_type(c.name));
    for (uint32_t i = 0; i < 100; i++) ASSERT_TRUE(grid.add(3, 4, &both));
    for (uint32_t i = 100; i < c.full; i++) ASSERT_TRUE(grid.add(3, 4, &single_only));
    int32_t first = 0, second = 0;
    ASSERT_TRUE(grid.read(3, 4, &first, 0));
    ASSERT_TRUE(grid.read(3, 4, &second, 1));
    ASSERT_EQ(static_cast<uint32_t>(first), c.full);
    ASSERT_EQ(second, 100);
    // The full counter drops to half, the other is halved, then the count.
    ASSERT_TRUE(grid.add(3, 4, &single_only));
    ASSERT_TRUE(grid.read(3, 4, &first, 0));
    ASSERT_TRUE(grid.read(3, 4, &second, 1));
    EXPECT_EQ(static_cast<uint32_t>(first), c.full / 2 + 1);
    EXPECT_EQ(second, 50);
    EXPECT_EQ(grid.get_overflow(), 1u);
    ASSERT_TRUE(grid.add(3, 4, &first_only));
    ASSERT_TRUE(grid.read(3, 4, &second, 1));
    EXPECT_EQ(second, 51);
  }
}

TEST(LASrasterCellType, RunningMeanKeepsMovingOnceTheCountIsFull) {
  LASraster grid;
  ASSERT_TRUE(grid.set_cell_type("elevation_average"));
  LASpoint point;
  point.Z = 0;
  for (int i = 0; i < 65535; i++) ASSERT_TRUE(grid.add(0, 0, &point));
  point.Z = 65536 * 3;
  ASSERT_TRUE(grid.add(0, 0, &point));
  double mean = 0, count = 0;
  ASSERT_TRUE(grid.read_double(0, 0, &mean, 0));
  ASSERT_TRUE(grid.read_double(0, 0, &count, 1));
  EXPECT_EQ(count, 65535);
  EXPECT_DOUBLE_EQ(mean, 3.0);  // weight 1/65536 for the point past the full count
  EXPECT_EQ(grid.get_overflow(), 1u);
}

TEST(LASrasterCellType, RandomPointIsOneWholePointAndCountStops) {
  ThreePoints points;
  LASraster grid;
  ASSERT_TRUE(grid.set_cell_type("xyz_random"));
  std::srand(7);
  int kept[3] = {0, 0, 0};
  for (uint32_t cell = 0; cell < 300; cell++) {
    for (int i = 0; i < 3; i++) ASSERT_TRUE(grid.add(cell, 0, &points.p[i]));
    int32_t x = 0, y = 0, z = 0, n = 0;
    ASSERT_TRUE(grid.read(cell, 0, &x, 0));
    ASSERT_TRUE(grid.read(cell, 0, &y, 1));
    ASSERT_TRUE(grid.read(cell, 0, &z, 2));
    ASSERT_TRUE(grid.read(cell, 0, &n, 3));
    EXPECT_EQ(n, 3);
    int which = -1;
    for (int i = 0; i < 3; i++) {
      if (x == points.p[i].X && y == points.p[i].Y && z == points.p[i].Z) which = i;
    }
    ASSERT_NE(which, -1) << x << " " << y << " " << z;
    kept[which]++;
  }
  // Each point is kept about a third of the time.
  for (int i = 0; i < 3; i++) EXPECT_GT(kept[i], 60) << i;

  for (int i = 0; i < 32767; i++) ASSERT_TRUE(grid.add(0, 1, &points.p[i % 3]));
  ASSERT_TRUE(grid.add(0, 1, &points.p[0]));
  int32_t n = 0;
  ASSERT_TRUE(grid.read(0, 1, &n, 3));
  EXPECT_EQ(n, 32767);
  EXPECT_EQ(grid.get_overflow(), 1u);
}

TEST(LASrasterCellType, ValueRangeIsTrackedOnlyWhenSwitchedOn) {
  ThreePoints points;
  for (bool on : {false, true}) {
    SCOPED_TRACE(on);
    LASraster grid;
    ASSERT_TRUE(grid.set_cell_type("elevation_highest"));
    grid.set_range_tracking(on);
    for (int i = 0; i < 3; i++) ASSERT_TRUE(grid.add(i * 1000, 0, &points.p[i]));
    EXPECT_EQ(grid.get_value_min(), on ? -3 : 2147483647);
    EXPECT_EQ(grid.get_value_max(), on ? 9 : -2147483648LL);
  }
  LASraster counter;
  ASSERT_TRUE(counter.set_cell_type("counter_quotient_16bit"));
  EXPECT_EQ(counter.get_value_min(), 0);
  EXPECT_EQ(counter.get_value_max(), 65535);
}

TEST(LASrasterCellType, ExtendedPointsUseTheirExtendedFields) {
  LASpoint point;
  point.extended_point_type = 1;
  point.extended_classification = 200;
  point.classification = 0;
  point.extended_number_of_returns = 12;
  point.number_of_returns = 7;
  LASraster variety;
  ASSERT_TRUE(variety.set_cell_type("extended_classification_variety"));
  ASSERT_TRUE(variety.add(0, 0, &point));
  int32_t mask = 0;
  ASSERT_TRUE(variety.read(0, 0, &mask, 6));
  EXPECT_EQ(mask, 1 << 8);
  LASraster returns;
  ASSERT_TRUE(returns.set_cell_type("number_returns_highest"));
  ASSERT_TRUE(returns.add(0, 0, &point));
  int32_t n = 0;
  ASSERT_TRUE(returns.read(0, 0, &n));
  EXPECT_EQ(n, 12);
}

TEST(LASrasterCellType, MeanXyzOffsetsUseSignedCellsAndZBins) {
  LASraster grid;
  ASSERT_TRUE(grid.set_cell_type("mean_xyz"));
  grid.set_cell_sizes(10.0, 20.0, 4.0);
  LASpoint point;
  point.X = -13;  // cell -2 of size 10: centre -15
  point.Y = 45;   // cell 2 of size 20: centre 50
  point.Z = 9;    // z bin 2 of size 4: centre 10
  ASSERT_TRUE(grid.add(neg(-2), 2, &point));
  double v[4];
  for (uint32_t extra = 0; extra < 4; extra++) ASSERT_TRUE(grid.read_double(neg(-2), 2, &v[extra], extra));
  EXPECT_EQ(v[0], 1);
  EXPECT_DOUBLE_EQ(v[1], 2.0);
  EXPECT_DOUBLE_EQ(v[2], -5.0);
  EXPECT_DOUBLE_EQ(v[3], -1.0);

  LASraster plain;
  ASSERT_TRUE(plain.set_cell_type("mean_xyz"));
  plain.set_cell_sizes(1.0, 1.0, 2e307);
  ASSERT_TRUE(plain.add(0, 0, &point));
  ASSERT_TRUE(plain.read_double(0, 0, &v[3], 3));
  EXPECT_DOUBLE_EQ(v[3], 9.0);
}

}  // namespace
