// The files a run reads, which no output of the run may replace.
#ifndef TIECHECK_DRIVER_PROTECTEDFILES_H
#define TIECHECK_DRIVER_PROTECTEDFILES_H

#include <sys/types.h>

#include <string>
#include <vector>

// Files are told apart by what a name reaches (device and inode, links
// followed), so "./a.las", "dir/../a.las", a symbolic or a hard link to
// a.las all count as a.las.
class ProtectedFiles {
 public:
  // Remembers an existing file under its name; false, and nothing
  // remembered, when no file can be reached by that name.
  bool add(const char* name);

  // The name under which the file that writing `output_name` would replace
  // was added, or null (also when nothing exists under `output_name` yet).
  const char* find(const char* output_name) const;

 private:
  struct Entry {
    dev_t device;
    ino_t inode;
    std::string name;
  };
  std::vector<Entry> files_;
};

// The absolute path a file would be created at: its folder resolved (links
// followed) joined with its base name. The name as given when the folder
// cannot be resolved, so that two names of the same missing folder still
// compare equal when they are spelled alike.
std::string resolved_output_path(const char* name);

#endif
