// Line-by-line reading of a control-point file.
#ifndef TIECHECK_DRIVER_CONTROLPOINTFILE_H
#define TIECHECK_DRIVER_CONTROLPOINTFILE_H

#include <cstdio>

// Reads a text file in lines of at most line_buffer_bytes - 1 characters, the
// line feed kept. A longer physical line comes back in pieces, and each piece
// counts as a line of its own (for skipping, parsing and echoing alike).
class ControlPointFile {
 public:
  static constexpr int line_buffer_bytes = 512;

  ControlPointFile() = default;
  ControlPointFile(const ControlPointFile&) = delete;
  ControlPointFile& operator=(const ControlPointFile&) = delete;
  ~ControlPointFile() { close(); }

  // Opens the file for reading (UTF-8 name); false when it cannot be opened.
  // Prints nothing: the caller's message depends on the pass.
  [[nodiscard]] bool open(const char* file_name);

  // Reads and drops count lines; zero or a negative count drops none.
  void skip_lines(int count);

  // The next line (or piece of a line), null at the end of the file. The
  // text stays valid until the next call.
  const char* read_line();

  void close();

 private:
  FILE* file_ = nullptr;
  char line_[line_buffer_bytes] = {};
};

#endif
