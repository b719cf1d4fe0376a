// Untrusted bytes opened as a LAS file: opening and reading every point must
// end cleanly. A file that opens is written again by our writer and read
// back, and must give the same points.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "las/bytestreamin_array.h"
#include "las/bytestreamout_array.h"
#include "las/lasreader_las.h"
#include "las/laswriter_las.h"

namespace {

// The record bytes of every point the reader delivers.
std::vector<uint8_t> read_records(LASreaderLAS& reader) {
  std::vector<uint8_t> records;
  std::vector<uint8_t> record(reader.point.total_point_size);
  while (reader.read_point()) {
    reader.point.copy_to(record.data());
    records.insert(records.end(), record.begin(), record.end());
  }
  return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The messages about damaged input are expected; keep the replay log short.
  static FILE* quiet = fopen("/dev/null", "w");
  FILE* saved = stderr;
  if (quiet) stderr = quiet;

  ByteStreamInArrayLE in(data, static_cast<int64_t>(size));
  LASreaderLAS reader;
  reader.set_delete_stream(false);
  if (reader.open(&in)) {
    const std::vector<uint8_t> records = read_records(reader);
    const int64_t delivered = reader.p_count;
    if (reader.npoints > 0) {
      const int64_t middle = reader.npoints / 2;
      if (reader.seek(middle) && middle < delivered) {
        std::vector<uint8_t> record(reader.point.total_point_size);
        if (!reader.read_point()) abort();
        reader.point.copy_to(record.data());
        if (memcmp(record.data(), records.data() + middle * record.size(), record.size()) != 0) abort();
      }
    }

    // The header as read, with the count of points that were there.
    const bool legacy = reader.header.version_minor < 4 || reader.header.point_data_format <= 5;
    reader.header.number_of_point_records = legacy ? static_cast<uint32_t>(delivered) : 0;
    reader.header.extended_number_of_point_records = static_cast<uint64_t>(delivered);
    ByteStreamOutArrayLE out;
    LASwriterLAS writer;
    writer.set_delete_stream(false);
    if (writer.open(&out, &reader.header)) {
      bool written = true;
      reader.seek(0);
      for (int64_t i = 0; i < delivered && written; i++) written = reader.read_point() && writer.write_point(&reader.point);
      if (writer.close() > 0 && written) {
        ByteStreamInArrayLE again(out.get_data(), out.get_size());
        LASreaderLAS rereader;
        rereader.set_delete_stream(false);
        if (!rereader.open(&again)) abort();
        if (read_records(rereader) != records) abort();
      }
    }
  }
  stderr = saved;
  return 0;
}
