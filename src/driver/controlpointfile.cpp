#include "driver/controlpointfile.h"

bool ControlPointFile::open(const char* file_name) {
  close();
  file_ = std::fopen(file_name, "r");
  return file_ != nullptr;
}

void ControlPointFile::skip_lines(int count) {
  for (int i = 0; i < count; ++i) {
    if (read_line() == nullptr) return;
  }
}

const char* ControlPointFile::read_line() {
  if (file_ == nullptr) return nullptr;
  return std::fgets(line_, line_buffer_bytes, file_);
}

void ControlPointFile::close() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
}
