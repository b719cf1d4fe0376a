// Replays a fuzz target over files and folders of inputs, so that every build
// (g++ included) exercises the targets on their corpus without libFuzzer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int replay_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "replay: cannot open '%s'\n", path.c_str());
    return 1;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int failures = 0;
  int replayed = 0;
  for (int i = 1; i < argc; i++) {
    std::filesystem::path arg(argv[i]);
    if (std::filesystem::is_directory(arg)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(arg)) {
        if (entry.is_regular_file()) {
          failures += replay_file(entry.path());
          replayed++;
        }
      }
    } else if (std::filesystem::exists(arg)) {
      failures += replay_file(arg);
      replayed++;
    }
  }
  // The empty input is always worth a run.
  LLVMFuzzerTestOneInput(nullptr, 0);
  std::fprintf(stderr, "replayed %d inputs\n", replayed + 1);
  return failures ? 1 : 0;
}
