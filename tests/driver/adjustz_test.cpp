// Whole runs with "-adjust_z" over LAS files with a known vertical bias:
// every input gets an output with every point, every field but Z as it was
// and Z shifted by the bias; a second run on the outputs finds no bias. No
// run ever changes an input, whatever the output names say.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "driver/program_runner.h"
#include "geo/projectionconverter.h"
#include "io/lasreader.h"
#include "las/lasfile_fixture.h"
#include "las/lasreader_las.h"
#include "las/laswriter_las.h"
#include "support/lastestfiles.h"

namespace {

constexpr double origin_x = 500000.0;
constexpr double origin_y = 4000000.0;
constexpr double z_scale = 0.01;
constexpr double z_offset = -50.0;
// LiDAR minus control at every control point; the adjusted files are lower
// by exactly this many z units.
constexpr double bias = 0.35;
constexpr int32_t bias_units = 35;

double plane(double x, double y) { return 120.0 + 0.5 * x - 0.25 * y; }

// A tile of the plane over columns x0 .. x0 + nx and rows 0 .. 20 (relative to
// the origin): ground points (class 2) at unit spacing and canopy points
// (class 5) 10 m above, between them. Every other field varies from point to
// point; the header carries records, user data and, for LAS 1.4, extended
// records and extra-bytes descriptors.
struct Tile {
  std::string name;
  uint8_t minor;
  uint8_t format;
  uint16_t extra_bytes;
  int x0;
  int nx;
  // Adds GeoTIFF ASCII parameters (record 34737).
  bool geo_ascii = false;
};

constexpr int rows = 20;

void write_tile(const std::string& path, const Tile& t) {
  const uint64_t count = static_cast<uint64_t>(2 * (t.nx + 1) * (rows + 1));
  LASheader h;
  lasfile::make_header(h, t.minor, t.format, t.extra_bytes, count);
  h.x_scale_factor = h.y_scale_factor = 0.01;
  h.z_scale_factor = z_scale;
  h.x_offset = origin_x;
  h.y_offset = origin_y;
  h.z_offset = z_offset;
  if (t.geo_ascii) {
    const char text[] = "NAD83 / UTM zone 11N|";
    uint8_t* data = static_cast<uint8_t*>(std::malloc(sizeof(text)));
    std::memcpy(data, text, sizeof(text));
    ASSERT_TRUE(h.add_vlr("LASF_Projection", 34737, sizeof(text), data));
  }
  LASpoint p;
  ASSERT_TRUE(p.init(&h, t.format, h.point_data_record_length, &h));
  p.extended_point_type = t.format > 5 ? 1 : 0;
  LASwriterLAS writer;
  ASSERT_TRUE(writer.open(path.c_str(), &h));
  uint32_t i = 0;
  for (int canopy = 0; canopy < 2; canopy++) {
    for (int y = 0; y <= rows; y++) {
      for (int x = t.x0; x <= t.x0 + t.nx; x++) {
        lasfile::fill_point(p, i++);
        const double dx = x + 0.5 * canopy;
        const double dy = y + 0.5 * canopy;
        p.set_x(origin_x + dx);
        p.set_y(origin_y + dy);
        p.set_z(plane(dx, dy) + 10.0 * canopy);
        const uint8_t cls = canopy ? 5 : 2;
        if (p.extended_point_type) {
          p.extended_classification = cls;
          p.update_legacy_from_extended();
        } else {
          p.classification = cls;
        }
        writer.update_inventory(&p);
        ASSERT_TRUE(writer.write_point(&p));
      }
    }
  }
  ASSERT_TRUE(writer.update_header(&h, true));
  ASSERT_GT(writer.close(), 0);
}

// Control points spread over columns 6 .. width - 6, well inside the tiles,
// `bias` below the plane.
std::string control_points(int width) {
  std::string text = "name,x,y,z\n";
  for (int i = 0; i < 12; i++) {
    const double x = 6.25 + (width - 12.5) * (i % 4) / 3.0;
    const double y = 6.5 + 3.5 * (i / 4);
    char line[160];
    std::snprintf(line, sizeof(line), "CP%d,%.10g,%.10g,%.10g\n", i, origin_x + x, origin_y + y, plane(x, y) - bias);
    text += line;
  }
  return text;
}

std::vector<std::string> list_dir(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* d = opendir(path.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The average error of the statistics line as printed, empty without one.
std::string average_text(const std::string& err) {
  const std::string key = "avgabs/rms/stddev/avg of elevation errors are ";
  const size_t at = err.find(key);
  if (at == std::string::npos) return "";
  const size_t end = err.find(" meter.", at);
  const size_t slash = err.rfind('/', end);
  return end == std::string::npos ? "" : err.substr(slash + 1, end - slash - 1);
}

double average_error(const std::string& err) {
  const std::string text = average_text(err);
  return text.empty() ? std::nan("") : std::atof(text.c_str());
}

struct Bounds {
  double min[3] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                   std::numeric_limits<double>::max()};
  double max[3] = {-std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
                   -std::numeric_limits<double>::max()};
  void add(const LASpoint& p) {
    const double v[3] = {p.get_x(), p.get_y(), p.get_z()};
    for (int a = 0; a < 3; a++) {
      min[a] = std::min(min[a], v[a]);
      max[a] = std::max(max[a], v[a]);
    }
  }
};

// The output holds every point of the input in order, with Z lower by
// shift_units and every other field unchanged; its header counts and
// bounds are those of its points, it keeps the input's records and says
// who wrote it.
void expect_adjusted(const std::string& input, const std::string& output, bool compressed) {
  SCOPED_TRACE(output);
  LASreaderLAS in;
  LASreaderLAS out;
  ASSERT_TRUE(in.open(input.c_str()));
  ASSERT_TRUE(out.open(output.c_str()));
  EXPECT_EQ(out.get_format(), compressed ? LASreader::format_qpk : LASreader::format_las);
  const LASheader& ih = in.header;
  const LASheader& oh = out.header;
  EXPECT_EQ(std::string(oh.system_identifier), "Quillbox LiDAR tools");
  EXPECT_EQ(std::string(oh.generating_software), "tiecheck64 (221128) z adjusted");
  EXPECT_EQ(oh.version_minor, ih.version_minor);
  EXPECT_EQ(oh.point_data_format, ih.point_data_format);
  EXPECT_EQ(oh.point_data_record_length, ih.point_data_record_length);
  EXPECT_EQ(oh.file_source_ID, ih.file_source_ID);
  EXPECT_EQ(oh.z_scale_factor, ih.z_scale_factor);
  EXPECT_EQ(oh.z_offset, ih.z_offset);
  const LASvlr* kept = oh.get_vlr("tiecheck", 8);
  const LASvlr* original = ih.get_vlr("tiecheck", 8);
  ASSERT_NE(kept, nullptr);
  ASSERT_NE(original, nullptr);
  EXPECT_EQ(lasfile::bytes_of(kept->data, kept->record_length_after_header),
            lasfile::bytes_of(original->data, original->record_length_after_header));
  EXPECT_EQ(oh.number_of_extended_variable_length_records, ih.number_of_extended_variable_length_records);
  EXPECT_EQ(lasfile::bytes_of(oh.user_data_after_header, oh.user_data_after_header_size),
            lasfile::bytes_of(ih.user_data_after_header, ih.user_data_after_header_size));

  uint64_t count = 0;
  uint64_t by_return[16] = {};
  Bounds in_box;
  Bounds out_box;
  while (in.read_point()) {
    ASSERT_TRUE(out.read_point()) << "output ends after " << count << " points";
    in_box.add(in.point);
    out_box.add(out.point);
    const bool extended = in.point.extended_point_type != 0;
    by_return[extended ? in.point.extended_return_number : in.point.return_number]++;
    EXPECT_EQ(out.point.Z, in.point.Z - bias_units) << "point " << count;
    out.point.Z = in.point.Z;
    lasfile::expect_same_point(in.point, out.point, static_cast<uint32_t>(count));
    count++;
    if (testing::Test::HasFailure()) return;
  }
  EXPECT_FALSE(out.read_point()) << "output has more than " << count << " points";
  EXPECT_EQ(oh.get_number_of_point_records(), count);
  if (oh.point_data_format <= 5) {
    EXPECT_EQ(oh.number_of_point_records, count);
    for (int r = 1; r <= 5; r++) EXPECT_EQ(oh.number_of_points_by_return[r - 1], by_return[r]) << "return " << r;
  }
  if (oh.version_minor >= 4) {
    EXPECT_EQ(oh.extended_number_of_point_records, count);
    for (int r = 1; r <= 15; r++) {
      EXPECT_EQ(oh.extended_number_of_points_by_return[r - 1], by_return[r]) << "return " << r;
    }
  }
  const double header_min[3] = {oh.min_x, oh.min_y, oh.min_z};
  const double header_max[3] = {oh.max_x, oh.max_y, oh.max_z};
  for (int a = 0; a < 3; a++) {
    EXPECT_DOUBLE_EQ(header_min[a], out_box.min[a]) << "axis " << a;
    EXPECT_DOUBLE_EQ(header_max[a], out_box.max[a]) << "axis " << a;
  }
  EXPECT_NEAR(out_box.min[2], in_box.min[2] - bias, 1e-6);
  EXPECT_NEAR(out_box.max[2], in_box.max[2] - bias, 1e-6);
  EXPECT_DOUBLE_EQ(out_box.min[0], in_box.min[0]);
  EXPECT_DOUBLE_EQ(out_box.max[1], in_box.max[1]);
}

class AdjustZ : public testing::Test {
 protected:
  ProgramResult run(const std::vector<std::string>& args, const std::string& input = "") {
    return run_program(args, input, dir_.path());
  }
  // Writes the tiles and the control points over all of them; the
  // contents of every file, to check later that none changed.
  void make_files(const std::vector<Tile>& tiles) {
    int width = 0;
    for (const Tile& t : tiles) {
      write_tile(dir_.file(t.name), t);
      width = std::max(width, t.x0 + t.nx);
    }
    dir_.write("cp.csv", control_points(width));
    for (const std::string& name : list_dir(dir_.path())) before_[name] = lastest::read_file(dir_.file(name));
  }
  void expect_inputs_unchanged() {
    for (const auto& [name, contents] : before_) {
      EXPECT_TRUE(lastest::read_file(dir_.file(name)) == contents) << name << " changed";
    }
  }
  std::vector<std::string> files() const { return list_dir(dir_.path()); }

  lastest::TempDir dir_;
  std::map<std::string, std::string> before_;
};

// Three tiles of different point formats by wildcard, measured on ground
// points only, written compressed with an appendix.
TEST_F(AdjustZ, KnownBiasIsRemovedFromEveryTile) {
  const std::vector<Tile> tiles = {{"tile_0.las", 2, 0, 0, 0, 12},
                                   {"tile_1.las", 2, 3, 4, 13, 12},
                                   {"tile_2.las", 3, 1, 0, 26, 12}};
  make_files(tiles);
  const ProgramResult r = run({"-i", "tile_*.las", "-cp", "cp.csv", "-parse", "sxyz", "-keep_class", "2", "-adjust_z",
                               "-odix", "_adjusted", "-oqpk", "-v", "-cp_out", "first.csv"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("sampled TIN at 12 of 12 control points.\n"), std::string::npos) << r.err;
  EXPECT_NEAR(average_error(r.err), bias, 1e-5) << r.err;
  // The shift is the negative of the average error, printed alike.
  EXPECT_NE(r.err.find("adjusting all 3 files to average error by translating z by -" + average_text(r.err) +
                       " to new file\n"),
            std::string::npos)
      << r.err;
  expect_inputs_unchanged();
  EXPECT_EQ(files(), (std::vector<std::string>{"cp.csv", "first.csv", "tile_0.las", "tile_0_adjusted.qpk",
                                               "tile_1.las", "tile_1_adjusted.qpk", "tile_2.las",
                                               "tile_2_adjusted.qpk"}));
  for (const Tile& t : tiles) {
    const std::string stem = t.name.substr(0, t.name.size() - 4);
    expect_adjusted(dir_.file(t.name), dir_.file(stem + "_adjusted.qpk"), true);
  }

  // The adjusted tiles measure no bias; without the class filter the canopy
  // shows that the measurement above left it out.
  const ProgramResult again = run({"-i", "tile_*_adjusted.qpk", "-cp", "cp.csv", "-parse", "sxyz", "-keep_class", "2",
                                   "-cp_out", "second.csv"});
  ASSERT_EQ(again.exit_code, 0) << again.err;
  EXPECT_LE(std::fabs(average_error(again.err)), z_scale) << again.err;
  const ProgramResult canopy = run({"-i", "tile_*_adjusted.qpk", "-cp", "cp.csv", "-parse", "sxyz", "-cp_out",
                                    "third.csv"});
  ASSERT_EQ(canopy.exit_code, 0) << canopy.err;
  EXPECT_GT(average_error(canopy.err), 1.0) << canopy.err;
}

// "-o" names the output of the first input only; every later input makes its
// own name. LAS 1.4 points are written uncompressed.
TEST_F(AdjustZ, NamedOutputIsForTheFirstInputOnly) {
  const std::vector<Tile> tiles = {{"f6.las", 4, 6, 2, 0, 15}, {"g7.las", 4, 7, 0, 16, 15}};
  make_files(tiles);
  const ProgramResult r = run({"-i", "f6.las", "g7.las", "-cp", "cp.csv", "-parse", "sxyz", "-keep_class", "2",
                               "-adjust_z", "-o", "fixed.las", "-quiet", "-vv", "-cp_out", "cp_out.csv"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("adjusting 'fixed.las' ... took "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" sec. 672 points were written.\nadjusting 'g7_1.las' ... took "), std::string::npos) << r.err;
  expect_inputs_unchanged();
  EXPECT_EQ(files(), (std::vector<std::string>{"cp.csv", "cp_out.csv", "f6.las", "fixed.las", "g7.las",
                                               "g7_1.las"}));
  expect_adjusted(dir_.file("f6.las"), dir_.file("fixed.las"), false);
  expect_adjusted(dir_.file("g7.las"), dir_.file("g7_1.las"), false);
}

// LAS written to standard output while the control-point lines go to their
// file.
TEST_F(AdjustZ, StandardOutput) {
  make_files({{"a.las", 2, 1, 0, 0, 20}});
  const ProgramResult r = run({"-i", "a.las", "-cp", "cp.csv", "-parse", "sxyz", "-keep_class", "2", "-adjust_z",
                               "-stdout", "-cp_out", "cp_out.csv", "-quiet"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string piped = dir_.write("piped.las", r.out);
  expect_adjusted(dir_.file("a.las"), piped, false);
  expect_inputs_unchanged();
}

// A projection on the command line goes into every output as geo keys;
// the ASCII parameters of the input are dropped.
TEST_F(AdjustZ, ProjectionOptionGivesGeoKeysToEveryOutput) {
  make_files({{"a.las", 2, 0, 0, 0, 10, true}, {"b.las", 2, 0, 0, 11, 10, true}});
  {
    LASreaderLAS in;
    ASSERT_TRUE(in.open(dir_.file("a.las").c_str()));
    ASSERT_NE(in.header.get_vlr("LASF_Projection", 34737), nullptr);
  }
  const std::vector<std::string> projection = {"-tm", "609601.22", "0.0", "meter", "33.75", "-79", "0.99996"};
  std::vector<std::string> args = {"-i", "a.las", "b.las", "-cp", "cp.csv", "-parse", "sxyz", "-adjust_z", "-odix",
                                   "_z", "-quiet", "-cp_out", "cp_out.csv"};
  args.insert(args.end(), projection.begin(), projection.end());
  const ProgramResult r = run(args);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  expect_inputs_unchanged();

  // The keys the converter makes of the same options.
  std::vector<std::string> storage = {"tiecheck"};
  storage.insert(storage.end(), projection.begin(), projection.end());
  std::vector<char*> argv;
  for (std::string& s : storage) argv.push_back(s.data());
  ProjectionConverter converter;
  ASSERT_TRUE(converter.parse(static_cast<int>(argv.size()), argv.data()));
  int32_t number_of_keys = 0;
  int32_t number_of_doubles = 0;
  LASvlr_key_entry* keys = nullptr;
  double* doubles = nullptr;
  ASSERT_TRUE(converter.get_geo_keys_from_projection(number_of_keys, &keys, number_of_doubles, &doubles));
  ASSERT_GT(number_of_doubles, 0);
  const std::vector<uint8_t> expected_keys(reinterpret_cast<uint8_t*>(keys),
                                           reinterpret_cast<uint8_t*>(keys + number_of_keys));
  const std::vector<uint8_t> expected_doubles(reinterpret_cast<uint8_t*>(doubles),
                                              reinterpret_cast<uint8_t*>(doubles + number_of_doubles));
  std::free(keys);
  std::free(doubles);

  for (const char* name : {"a_z.las", "b_z.las"}) {
    SCOPED_TRACE(name);
    LASreaderLAS out;
    ASSERT_TRUE(out.open(dir_.file(name).c_str()));
    const LASvlr* directory = out.header.get_vlr("LASF_Projection", 34735);
    ASSERT_NE(directory, nullptr);
    ASSERT_EQ(directory->record_length_after_header, (number_of_keys + 1) * 8);
    const uint16_t head[4] = {1, 1, 0, static_cast<uint16_t>(number_of_keys)};
    EXPECT_EQ(std::memcmp(directory->data, head, 8), 0);
    EXPECT_EQ(lasfile::bytes_of(directory->data + 8, number_of_keys * 8), expected_keys);
    const LASvlr* params = out.header.get_vlr("LASF_Projection", 34736);
    ASSERT_NE(params, nullptr);
    EXPECT_EQ(lasfile::bytes_of(params->data, params->record_length_after_header), expected_doubles);
    EXPECT_EQ(out.header.get_vlr("LASF_Projection", 34737), nullptr);
  }
}

// Outputs that would be an input under another spelling, or one output for
// two inputs: refused before anything is read or written.
TEST_F(AdjustZ, OutputThatWouldReplaceAnInputIsRefused) {
  make_files({{"a.las", 2, 0, 0, 0, 10}, {"a_1.las", 2, 0, 0, 11, 10}});
  ASSERT_EQ(mkdir(dir_.file("d1").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(dir_.file("d2").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(dir_.file("out").c_str(), 0755), 0);
  ASSERT_EQ(symlink("a.las", dir_.file("link.las").c_str()), 0);
  ASSERT_EQ(link(dir_.file("a.las").c_str(), dir_.file("d1/x.las").c_str()), 0);
  ASSERT_EQ(link(dir_.file("a_1.las").c_str(), dir_.file("d2/x.las").c_str()), 0);
  const std::vector<std::string> layout = files();
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"-i", "a.las", "-o", "./a.las"}, "ERROR: output './a.las' would overwrite the input 'a.las'\n"},
      {{"-i", "a.las", "-o", "link.las"}, "ERROR: output 'link.las' would overwrite the input 'a.las'\n"},
      {{"-i", "a.las", "-o", dir_.file("a.las")},
       "ERROR: output '" + dir_.file("a.las") + "' would overwrite the input 'a.las'\n"},
      // The first output is named after the first input by the rule that
      // makes the second input's name.
      {{"-i", "a.las", "a_1.las"}, "ERROR: output 'a_1.las' would overwrite the input 'a_1.las'\n"},
      {{"-i", "a*.las"}, "ERROR: output 'a_1.las' would overwrite the input 'a_1.las'\n"},
      {{"-i", "a.las", "-odix", "", "-oforce"}, "ERROR: output 'a.las' would overwrite the input 'a.las'\n"},
      {{"-i", "a.las", "-o", "cp.csv"}, "ERROR: output 'cp.csv' would overwrite the input 'cp.csv'\n"},
      {{"-i", "d1/x.las", "d2/x.las", "-odir", "out"},
       "ERROR: inputs 'd1/x.las' and 'd2/x.las' would both be written to 'out/x.las'\n"},
      // An empty appendix sends both to the same safety name.
      {{"-i", "d1/x.las", "a_1.las", "-odix", ""},
       "ERROR: inputs 'd1/x.las' and 'a_1.las' would both be written to 'temp.las'\n"},
      // The control-point output is checked with or without "-adjust_z".
      {{"-i", "a.las", "-cp_out", "a.las"}, "ERROR: control point output 'a.las' would overwrite the input 'a.las'\n"},
      {{"-i", "a.las", "-odir", "d1", "-cp_out", "x.las"},
       "ERROR: control point output 'd1/x.las' would overwrite the input 'a.las'\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    for (const char* a : {"-cp", "cp.csv", "-parse", "sxyz", "-adjust_z"}) args.push_back(a);
    std::string trace;
    for (const std::string& a : args) trace += a + " ";
    SCOPED_TRACE(trace);
    const ProgramResult r = run(args);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(files(), layout);
  }
  expect_inputs_unchanged();
}

// Failures while writing: the message of the failing step and exit code 1;
// outputs of earlier inputs stay, inputs never change.
TEST_F(AdjustZ, WriteFailures) {
  make_files({{"a.las", 2, 0, 0, 0, 10}, {"b.las", 2, 0, 0, 11, 10}});
  // A folder where the second output would go.
  ASSERT_EQ(mkdir(dir_.file("b_1.las").c_str(), 0755), 0);
  struct Case {
    std::vector<std::string> args;
    std::string err_tail;
    std::vector<std::string> written;
  };
  const Case cases[] = {
      {{"-i", "a.las", "-o", "missing/out.las"},
       "ERROR: cannot open file 'missing/out.las' for write\n"
       "ERROR: cannot open laswriterlas with file name 'missing/out.las'\n"
       "ERROR: could not open laswriter for 'missing/out.las'\n",
       {}},
      {{"-i", "a.las", "b.las"},
       "ERROR: cannot open file 'b_1.las' for write\n"
       "ERROR: cannot open laswriterlas with file name 'b_1.las'\n"
       "ERROR: could not open laswriter for 'b_1.las'\n",
       {"a_1.las"}},
      {{"-i", "a.las", "-otxt"},
       "ERROR: cannot open laswritertxt with file name 'a_1.txt': this output format is not supported yet\n"
       "ERROR: could not open laswriter for 'a_1.txt'\n",
       {}},
      {{"-i", "a.las", "-o", "a.bin"},
       "ERROR: cannot open laswriterbin with file name 'a.bin': this output format is not supported yet\n"
       "ERROR: could not open laswriter for 'a.bin'\n",
       {}},
      {{"-i", "a.las", "-oqi"},
       "ERROR: cannot open laswriterqfit with file name 'a_1.qi': this output format is not supported yet\n"
       "ERROR: could not open laswriter for 'a_1.qi'\n",
       {}},
      {{"-i", "a.las", "-owrl", "-stdout"},
       "ERROR: cannot open laswriterwrl to stdout: this output format is not supported yet\n"
       "ERROR: could not open laswriter for 'stdout'\n",
       {}},
      {{"-stdin"}, "ERROR: cannot adjust piped input: it can be read only once\n", {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    for (const char* a :
         {"-cp", "cp.csv", "-parse", "sxyz", "-keep_class", "2", "-adjust_z", "-quiet", "-cp_out", "cp_out.csv"}) {
      args.push_back(a);
    }
    std::string trace;
    for (const std::string& a : args) trace += a + " ";
    SCOPED_TRACE(trace);
    const ProgramResult r = run(args, c.args.back() == "-stdin" ? lastest::read_file(dir_.file("a.las")) : "");
    EXPECT_EQ(r.exit_code, 1);
    ASSERT_GE(r.err.size(), c.err_tail.size()) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - c.err_tail.size()), c.err_tail);
    EXPECT_EQ(r.out, "");
    for (const std::string& name : c.written) {
      expect_adjusted(dir_.file(name.substr(0, 1) + ".las"), dir_.file(name), false);
      std::remove(dir_.file(name).c_str());
    }
    std::remove(dir_.file("cp_out.csv").c_str());
    EXPECT_EQ(files(), (std::vector<std::string>{"a.las", "b.las", "b_1.las", "cp.csv"}));
  }
  expect_inputs_unchanged();
}

// A point whose shifted Z leaves the 32-bit range ends the run instead of
// wrapping around.
TEST_F(AdjustZ, ShiftBeyondTheIntegerRangeIsAnError) {
  make_files({{"a.las", 2, 0, 0, 0, 10}});
  // The same points and one far below, away from every control point.
  LASreaderLAS in;
  ASSERT_TRUE(in.open(dir_.file("a.las").c_str()));
  LASheader header;
  header.take_over(in.header);
  LASwriterLAS writer;
  ASSERT_TRUE(writer.open(dir_.file("deep.las").c_str(), &header));
  int64_t count = 0;
  while (in.read_point()) {
    writer.update_inventory(&in.point);
    ASSERT_TRUE(writer.write_point(&in.point));
    count++;
  }
  in.point.X += 100000;
  in.point.Z = std::numeric_limits<int32_t>::min() + 10;
  writer.update_inventory(&in.point);
  ASSERT_TRUE(writer.write_point(&in.point));
  ASSERT_TRUE(writer.update_header(&header, true));
  ASSERT_GT(writer.close(), 0);
  in.close();

  const ProgramResult r = run({"-i", "deep.las", "-cp", "cp.csv", "-parse", "sxyz", "-keep_class", "2", "-adjust_z",
                               "-cp_out", "cp_out.csv"});
  EXPECT_EQ(r.exit_code, 1);
  const std::string expected = "ERROR: z of point " + std::to_string(count + 1) + " of 'deep.las' shifted by -" +
                               average_text(r.err) +
                               " does not fit into 32 bits with z scale factor 0.01 and z offset -50\n";
  ASSERT_GE(r.err.size(), expected.size()) << r.err;
  EXPECT_EQ(r.err.substr(r.err.size() - expected.size()), expected);
  expect_inputs_unchanged();
}

// Without a used control point nothing is adjusted and nothing written.
TEST_F(AdjustZ, NothingWrittenWithoutUsedControlPoints) {
  make_files({{"a.las", 2, 0, 0, 0, 10}});
  const ProgramResult r = run({"-i", "a.las", "-cp", "cp.csv", "-parse", "sxyz", "-adjust_z", "-quiet",
                               "-cp_ignore_diff", "0.1", "-cp_out", "cp_out.csv"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(files(), (std::vector<std::string>{"a.las", "cp.csv", "cp_out.csv"}));
  expect_inputs_unchanged();
}

}  // namespace
