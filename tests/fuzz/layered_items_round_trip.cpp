// Records taken from untrusted bytes coded as layered chunks of LAS 1.4
// points and decoded again: two bytes choose the format, codec version and
// extra bytes, one the chunk size; the rest are the records. The decoded
// records must equal the coded ones (GPS times of -0.0 become +0.0 first:
// the codec treats the two as the same time), and a decoder asked for X, Y
// and Z only must agree with them on X, Y, Z and the returns byte. Aborts
// otherwise.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/layered_items.h"
#include "las/bytestreamin_array.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const layered_items::Layout layout = layered_items::choose(data[0], data[1]);
  const size_t chunk_points = 1 + data[2] % 64;
  data += 3;
  size -= 3;
  layered_items::Writer writer(layout);
  const size_t length = writer.record_length;
  const size_t count = std::max<size_t>(1, (size + length - 1) / length);
  std::vector<uint8_t> records(count * length, 0);
  memcpy(records.data(), data, size);
  for (size_t p = 0; p < count; p++) {
    uint8_t* t = records.data() + p * length + 22;  // POINT14's GPS time
    static const uint8_t minus_zero[8] = {0, 0, 0, 0, 0, 0, 0, 0x80};
    if (memcmp(t, minus_zero, 8) == 0) t[7] = 0;
  }

  layered_items::Reader full(layout, 0xFFFFFFFF);
  layered_items::Reader xyz(layout, 0x1);
  for (size_t begin = 0; begin < count; begin += chunk_points) {
    const size_t n = std::min(chunk_points, count - begin);
    const uint8_t* first = records.data() + begin * length;
    ByteStreamOutArrayLE out;
    writer.write(first, n, out);
    std::vector<uint8_t> decoded;
    std::vector<uint8_t> coordinates;
    try {
      ByteStreamInArrayLE in(out.get_data(), out.get_size());
      if (full.read(in, first, n, &decoded) != n) abort();
      if (in.tell() != out.get_size()) abort();
      ByteStreamInArrayLE in_xyz(out.get_data(), out.get_size());
      if (xyz.read(in_xyz, first, n, &coordinates) != n) abort();
      if (in_xyz.tell() != out.get_size()) abort();
    } catch (int) {
      abort();
    }
    if (memcmp(decoded.data(), first, n * length) != 0) abort();
    for (size_t p = 0; p < n; p++) {
      // X, Y, Z are bytes 0 to 11, the returns byte is byte 14.
      const uint8_t* got = coordinates.data() + p * length;
      const uint8_t* want = first + p * length;
      if (memcmp(got, want, 12) != 0 || got[14] != want[14]) abort();
    }
  }
  return 0;
}
