// Bytes read as item records for a legacy codec (a selector byte and a size
// byte choose it, a chunk-length byte cuts the records into chunks), coded
// chunk by chunk with one writer and decoded with one reader; any difference
// or exception aborts.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/legacy_items.h"
#include "las/bytestreamin_array.h"
#include "las/bytestreamout_array.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const legacy_items::Choice choice = legacy_items::choose(data[0], data[1]);
  const size_t chunk_points = 1 + data[2];
  data += 3;
  size -= 3;
  const size_t n = size / choice.item_size;
  if (n == 0) return 0;

  ArithEncoder enc;
  ArithDecoder dec;
  std::unique_ptr<LASwriteItemCompressed> writer = legacy_items::make_writer(choice, &enc);
  std::unique_ptr<LASreadItemCompressed> reader = legacy_items::make_reader(choice, &dec);
  std::vector<uint8_t> item(choice.item_size);
  uint32_t context = 0;
  for (size_t begin = 0; begin < n; begin += chunk_points) {
    const size_t end = begin + chunk_points < n ? begin + chunk_points : n;
    ByteStreamOutArrayLE out;
    if (!writer->init(data + begin * choice.item_size, context)) abort();
    if (!enc.init(&out)) abort();
    for (size_t i = begin + 1; i < end; i++) {
      if (!writer->write(data + i * choice.item_size, context)) abort();
    }
    if (!enc.done()) abort();

    ByteStreamInArrayLE in(out.get_data(), out.get_size());
    try {
      if (!reader->init(data + begin * choice.item_size, context)) abort();
      if (!dec.init(&in)) abort();
      for (size_t i = begin + 1; i < end; i++) {
        reader->read(item.data(), context);
        if (memcmp(item.data(), data + i * choice.item_size, choice.item_size) != 0) abort();
      }
    } catch (int) {
      abort();
    }
    if (in.tell() != out.get_size()) abort();
  }
  return 0;
}
