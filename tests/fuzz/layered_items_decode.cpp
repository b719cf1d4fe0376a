// Untrusted bytes decoded as a layered chunk of LAS 1.4 points: two bytes
// choose the format, codec version and extra bytes, four the selective
// mask, the next record-length bytes are the raw first point, the rest is
// the chunk (layer sizes, then layer bytes). Decoding ends with one of the
// two decoder exceptions, a refused chunk or after a bounded number of
// points: no crash, no over-read, no allocation beyond the input's size.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/layered_items.h"
#include "las/bytestreamin_array.h"

namespace {

constexpr size_t kMaxPoints = 20000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  const layered_items::Layout layout = layered_items::choose(data[0], data[1]);
  uint32_t selective;
  memcpy(&selective, data + 2, 4);
  data += 6;
  size -= 6;
  layered_items::Reader reader(layout, selective);
  std::vector<uint8_t> first(reader.record_length, 0);
  const size_t n = size < first.size() ? size : first.size();
  memcpy(first.data(), data, n);
  data += n;
  size -= n;
  ByteStreamInArrayLE in(data, static_cast<int64_t>(size));
  try {
    reader.read(in, first.data(), kMaxPoints, nullptr);
  } catch (int e) {
    if (e != byte_stream_end_of_data && e != arith_corrupt_data) abort();
  }
  return 0;
}
