// Untrusted compression-record payloads: unpacking and every check must end
// cleanly, and a payload that unpacks must write back to the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "compression/qopack.h"
#include "las/bytestreamout_array.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  // The messages of failed reads are expected; keep the replay log short.
  static FILE* quiet = fopen("/dev/null", "w");
  FILE* saved = stderr;
  if (quiet) stderr = quiet;
  Qopack qopack;
  const bool unpacked = qopack.unpack(data, static_cast<uint32_t>(size));
  stderr = saved;
  if (!unpacked) return 0;

  ByteStreamOutArrayLE out;
  if (!qopack.write_payload(out)) abort();
  // Bytes beyond the items are not part of the descriptor.
  if (out.get_size() > static_cast<int64_t>(size) || memcmp(out.get_data(), data, out.get_size()) != 0) abort();

  Qopack copy = qopack;
  const uint16_t point_size = size >= 2 ? static_cast<uint16_t>(data[0] | data[1] << 8) : 0;
  (void)copy.check(point_size);
  (void)copy.check(0);
  uint8_t point_type = 0;
  uint16_t record_length = 0;
  if (copy.is_standard(point_type, record_length) && point_type > 10) abort();
  (void)copy.request_version(static_cast<uint16_t>(size % 4));
  (void)copy.set_chunk_size(static_cast<uint32_t>(size));
  return 0;
}
