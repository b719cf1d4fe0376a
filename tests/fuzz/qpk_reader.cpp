// Untrusted bytes opened as a compressed LAS file: reading every point and
// seeking must end cleanly, and a point reached by seeking must be the point
// reached by reading, wherever reading got before the first failure.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "las/bytestreamin_array.h"
#include "las/lasreader_las.h"

namespace {

// A few bytes can announce billions of points of one repeated value; the
// first ones tell as much as all of them.
constexpr int64_t max_points = 20000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The messages about damaged input are expected; keep the log short.
  static FILE* quiet = fopen("/dev/null", "w");
  FILE* saved = stderr;
  if (quiet) stderr = quiet;

  ByteStreamInArrayLE in(data, static_cast<int64_t>(size));
  LASreaderLAS reader;
  reader.set_delete_stream(false);
  if (reader.open(&in)) {
    const uint32_t record_size = reader.point.total_point_size;
    std::vector<uint8_t> records;
    std::vector<uint8_t> record(record_size);
    int64_t delivered = 0;
    while (delivered < max_points && reader.read_point()) {
      reader.point.copy_to(record.data());
      records.insert(records.end(), record.begin(), record.end());
      delivered++;
    }
    // Seek to points read before, in an order that goes back and forth,
    // and to points beyond. A 64-bit count of 2^63 or more reads as
    // negative.
    const int64_t last = reader.npoints > 0 ? reader.npoints - 1 : -1;
    const int64_t targets[] = {delivered / 2, 0, delivered - 1, delivered / 3, delivered, last, delivered / 2 + 1};
    for (int64_t t : targets) {
      if (t < 0) continue;
      if (!reader.seek(t)) continue;
      if (t >= delivered) {
        (void)reader.read_point();
        continue;
      }
      if (!reader.read_point()) abort();
      reader.point.copy_to(record.data());
      if (memcmp(record.data(), records.data() + t * record_size, record_size) != 0) abort();
    }
  }
  stderr = saved;
  return 0;
}
