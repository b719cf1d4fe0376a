#ifndef TIECHECK_LAS_LASVLR_LASORIGINAL_H
#define TIECHECK_LAS_LASVLR_LASORIGINAL_H

#include <cstdint>

#include "las/bytestreamin.h"
#include "las/bytestreamout.h"

// The suite's record of the counts and bounds of the original file
// ("Quillbox" record 20), kept when a file is split or buffered. 176 bytes in
// the file: number_of_point_records u64, number_of_points_by_return u64[15],
// then min_x, max_x, min_y, max_y, min_z, max_z as f64.
class LASvlr_lasoriginal {
 public:
  static constexpr const char* user_id = "Quillbox";
  static constexpr uint16_t record_id = 20;
  static constexpr uint16_t payload_bytes = 176;
  static constexpr const char* description = "counters and bbox of original";

  uint64_t number_of_point_records = 0;
  uint64_t number_of_points_by_return[15] = {};
  double min_x = 0.0;
  double max_x = 0.0;
  double min_y = 0.0;
  double max_y = 0.0;
  double min_z = 0.0;
  double max_z = 0.0;
  // Stream position at which the payload was last written, so that a writer
  // can patch it once the final counts are known.
  int64_t position = 0;

  // Reads the 176-byte payload. On a failed read prints
  // "ERROR: reading vlr_lasoriginal-><field> ..." and returns false, leaving
  // the record unchanged.
  [[nodiscard]] bool read(ByteStreamIn& stream);
  // Stores the stream position in `position` and writes the payload; on
  // failure prints "ERROR: writing header->vlr_lasoriginal-><field> ..." and
  // returns false.
  [[nodiscard]] bool write(ByteStreamOut& stream);
};

#endif
