// Untrusted bytes decoded by a legacy item codec: a selector byte and a size
// byte choose the codec, the next item-size bytes are the chunk's raw first
// item, the rest is the code. Decoding ends with one of the two decoder
// exceptions or after a bounded number of items: no crash, no over-read.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/legacy_items.h"
#include "las/bytestreamin.h"
#include "las/bytestreamin_array.h"

namespace {

constexpr int kMaxItems = 100000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const legacy_items::Choice choice = legacy_items::choose(data[0], data[1]);
  data += 2;
  size -= 2;
  std::vector<uint8_t> item(choice.item_size, 0);
  const size_t first = size < item.size() ? size : item.size();
  memcpy(item.data(), data, first);
  data += first;
  size -= first;

  ArithDecoder dec;
  std::unique_ptr<LASreadItemCompressed> reader = legacy_items::make_reader(choice, &dec);
  ByteStreamInArrayLE in(data, static_cast<int64_t>(size));
  uint32_t context = 0;
  try {
    if (!reader->init(item.data(), context)) abort();
    if (!dec.init(&in)) abort();
    for (int i = 0; i < kMaxItems; i++) reader->read(item.data(), context);
  } catch (int e) {
    if (e != byte_stream_end_of_data && e != arith_corrupt_data) abort();
  }
  return 0;
}
