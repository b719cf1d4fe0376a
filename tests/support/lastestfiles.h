// Small LAS files written with our writer for tests of readers and of the
// program: points given as real coordinates, any quantization, optional geo
// keys; and temporary folders that clean up after themselves.
#ifndef TIECHECK_TESTS_SUPPORT_LASTESTFILES_H
#define TIECHECK_TESTS_SUPPORT_LASTESTFILES_H

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "las/lasheader.h"
#include "las/laspoint.h"
#include "las/laswriter_las.h"

namespace lastest {

struct Point {
  double x;
  double y;
  double z;
  uint8_t classification = 2;
};

struct Quantization {
  double scale[3] = {0.01, 0.01, 0.01};
  double offset[3] = {0.0, 0.0, 0.0};
};

// A LAS 1.2 file of point format 0 with the points in order; true when it
// was written. The header's counts and bounds come from the points.
inline bool write_las(const std::string& path, const std::vector<Point>& points, const Quantization& q = {},
                      const std::vector<LASvlr_key_entry>& geo_keys = {}) {
  LASheader header;
  header.point_data_format = 0;
  header.point_data_record_length = 20;
  header.x_scale_factor = q.scale[0];
  header.y_scale_factor = q.scale[1];
  header.z_scale_factor = q.scale[2];
  header.x_offset = q.offset[0];
  header.y_offset = q.offset[1];
  header.z_offset = q.offset[2];
  if (!geo_keys.empty() && !header.set_geo_keys(static_cast<int32_t>(geo_keys.size()), geo_keys.data())) {
    return false;
  }
  LASpoint point;
  if (!point.init(&header, 0, 20)) return false;
  LASwriterLAS writer;
  if (!writer.open(path.c_str(), &header)) return false;
  for (const Point& p : points) {
    point.set_x(p.x);
    point.set_y(p.y);
    point.set_z(p.z);
    point.classification = p.classification & 31;
    point.return_number = 1;
    point.number_of_returns = 1;
    writer.update_inventory(&point);
    if (!writer.write_point(&point)) return false;
  }
  if (!points.empty() && !writer.update_header(&header, true)) return false;
  return writer.close() > 0;
}

// A fresh folder under /tmp, removed with everything in it (one level) at
// the end of the test.
class TempDir {
 public:
  TempDir() {
    char name[] = "/tmp/tiecheck-testXXXXXX";
    if (mkdtemp(name) != nullptr) path_ = name;
  }
  ~TempDir() { remove_all(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

  // Writes text into a file of the folder; its path.
  std::string write(const std::string& name, const std::string& text) const {
    const std::string p = file(name);
    FILE* f = std::fopen(p.c_str(), "wb");
    if (f != nullptr) {
      std::fwrite(text.data(), 1, text.size(), f);
      std::fclose(f);
    }
    return p;
  }

 private:
  static void remove_all(const std::string& dir) {
    if (dir.empty()) return;
    if (DIR* d = opendir(dir.c_str())) {
      while (dirent* e = readdir(d)) {
        const std::string n = e->d_name;
        if (n == "." || n == "..") continue;
        const std::string p = dir + "/" + n;
        struct stat info;
        if (lstat(p.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
          remove_all(p);
        } else {
          unlink(p.c_str());
        }
      }
      closedir(d);
    }
    rmdir(dir.c_str());
  }

  std::string path_;
};

inline std::string read_file(const std::string& path) {
  std::string text;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0) text.append(buffer, n);
  std::fclose(f);
  return text;
}

}  // namespace lastest

#endif
