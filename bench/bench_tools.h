// Helpers shared by the compression benchmarks: a repeatable random source
// for generated surveys, file sizes, and external commands timed in wall or
// CPU time.
#ifndef TIECHECK_BENCH_BENCH_TOOLS_H
#define TIECHECK_BENCH_BENCH_TOOLS_H

#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace bench_tools {

// xorshift: cheap, and the same points in every run.
struct Random {
  uint64_t s = 0x9E3779B97F4A7C15ull;
  uint32_t next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return static_cast<uint32_t>(s >> 32);
  }
};

inline double file_bytes(const std::string& name) {
  struct stat s;
  return stat(name.c_str(), &s) == 0 ? static_cast<double>(s.st_size) : 0.0;
}

// Runs a shell command and returns its wall time in seconds, or -1.
inline double timed(const std::string& command) {
  const auto start = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  return status == 0 ? seconds.count() : -1.0;
}

inline double children_cpu_seconds() {
  rusage u;
  getrusage(RUSAGE_CHILDREN, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + 1e-6 * (u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

// Runs a shell command and returns the CPU time its processes took, or -1.
inline double cpu_timed(const std::string& command) {
  const double before = children_cpu_seconds();
  const int status = std::system(command.c_str());
  const double seconds = children_cpu_seconds() - before;
  return status == 0 ? seconds : -1.0;
}

}  // namespace bench_tools

#endif
