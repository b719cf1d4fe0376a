// Untrusted bytes opened as a compressed LAS 1.4 file (layered chunks):
// reading every point and seeking must end cleanly; a point reached by
// seeking must be the point reached by reading; and a reader that decodes X,
// Y and Z only must deliver the coordinates, returns and channel of the
// reader that decodes everything, for every point both delivered.
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

// The selective-decompression mask of a reader that needs X, Y and Z only.
constexpr uint32_t decompress_xyz = 0x1;

// Every point the reader delivers (up to max_points), as records.
int64_t read_all(LASreaderLAS& reader, std::vector<uint8_t>& records) {
  const uint32_t record_size = reader.point.total_point_size;
  std::vector<uint8_t> record(record_size);
  int64_t delivered = 0;
  while (delivered < max_points && reader.read_point()) {
    reader.point.copy_to(record.data());
    records.insert(records.end(), record.begin(), record.end());
    delivered++;
  }
  return delivered;
}

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
    const int64_t delivered = read_all(reader, records);
    std::vector<uint8_t> record(record_size);
    // Seek to points read before, in an order that goes back and forth,
    // and to points beyond. A 64-bit count of 2^63 or more reads as
    // negative (found by fuzzing).
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

    // X, Y and Z only. The layers of a POINT14 record that are always
    // decoded, or asked for, are X, Y, Z (bytes 0 to 11), the returns
    // (byte 14) and the channel (bits 4 and 5 of byte 15).
    ByteStreamInArrayLE again(data, static_cast<int64_t>(size));
    LASreaderLAS xyz;
    xyz.set_delete_stream(false);
    if (!xyz.open(&again, false, decompress_xyz)) abort();
    std::vector<uint8_t> xyz_records;
    const int64_t xyz_delivered = read_all(xyz, xyz_records);
    const bool point14 = reader.point.extended_point_type != 0;
    for (int64_t i = 0; point14 && i < delivered && i < xyz_delivered; i++) {
      const uint8_t* full = records.data() + i * record_size;
      const uint8_t* part = xyz_records.data() + i * record_size;
      if (memcmp(full, part, 12) != 0 || full[14] != part[14] || (full[15] & 0x30) != (part[15] & 0x30)) abort();
    }
  }
  stderr = saved;
  return 0;
}
