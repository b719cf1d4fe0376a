// Entry of the tiecheck program.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "-version") == 0) {
    std::fprintf(stderr, "tiecheck (Quillbox) 221128\n");
    return 0;
  }
  std::fprintf(stderr, "usage:\n");
  return 1;
}
