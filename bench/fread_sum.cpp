// Reads a file with fread in 256 KiB blocks and sums every byte: the
// throughput any reader of that file can hope for. Prints bytes, seconds
// and MB/s.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fread_sum file\n");
    return 1;
  }
  FILE* f = std::fopen(argv[1], "rb");
  if (f == nullptr) {
    std::fprintf(stderr, "cannot open '%s'\n", argv[1]);
    return 1;
  }
  std::vector<unsigned char> buffer(262144);
  const auto start = std::chrono::steady_clock::now();
  uint64_t sum = 0;
  uint64_t bytes = 0;
  size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) {
    for (size_t i = 0; i < n; i++) sum += buffer[i];
    bytes += n;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fclose(f);
  std::printf("%llu %.6f %.1f %llu\n", static_cast<unsigned long long>(bytes), seconds, bytes / seconds / 1e6,
              static_cast<unsigned long long>(sum));
  return 0;
}
