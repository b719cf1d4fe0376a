#include "driver/protectedfiles.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>

bool ProtectedFiles::add(const char* name) {
  struct stat info;
  if (name == nullptr || stat(name, &info) != 0) return false;
  files_.push_back({info.st_dev, info.st_ino, name});
  return true;
}

const char* ProtectedFiles::find(const char* output_name) const {
  struct stat info;
  if (output_name == nullptr || stat(output_name, &info) != 0) return nullptr;
  for (const Entry& e : files_) {
    if (e.device == info.st_dev && e.inode == info.st_ino) return e.name.c_str();
  }
  return nullptr;
}

std::string resolved_output_path(const char* name) {
  const std::string path = name;
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  char resolved[PATH_MAX];
  if (realpath(folder.c_str(), resolved) == nullptr) return path;
  std::string joined = resolved;
  if (joined.back() != '/') joined += '/';
  return joined + base;
}
