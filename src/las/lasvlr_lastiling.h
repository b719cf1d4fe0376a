#ifndef TIECHECK_LAS_LASVLR_LASTILING_H
#define TIECHECK_LAS_LASVLR_LASTILING_H

#include <cstdint>
#include <string>

#include "las/bytestreamin.h"
#include "las/bytestreamout.h"

// The suite's tiling record ("Quillbox" record 10): where a tile sits in a
// quadtree tiling. 28 bytes in the file: level u32, level_index u32, a flag
// word (implicit_levels in bits 0-29, buffer bit 30, reversible bit 31), then
// min_x, max_x, min_y, max_y as f32.
class LASvlr_lastiling {
 public:
  static constexpr const char* user_id = "Quillbox";
  // Older writers used this user id with any record id.
  static constexpr const char* user_id_tile = "quillbox tile";
  static constexpr uint16_t record_id = 10;
  static constexpr uint16_t payload_bytes = 28;

  uint32_t level = 0;
  uint32_t level_index = 0;
  uint32_t implicit_levels = 0;  // 30 bits
  bool buffer = false;
  bool reversible = false;
  float min_x = 0.0f;
  float max_x = 0.0f;
  float min_y = 0.0f;
  float max_y = 0.0f;

  // The third word of the payload.
  uint32_t get_flags() const;
  void set_flags(uint32_t flags);

  // The writer's record description: "tile %s buffer %s" with "with" or
  // "without" (buffer bit) and ", reversible" or "" (reversible bit); at most
  // 32 characters, which fill the description field without a terminator.
  std::string get_description() const;

  // Reads the 28-byte payload. On a failed read prints
  // "ERROR: reading vlr_lastiling-><field> ..." and returns false, leaving
  // the record unchanged.
  [[nodiscard]] bool read(ByteStreamIn& stream);
  // Writes the 28-byte payload; on failure prints
  // "ERROR: writing header->vlr_lastiling-><field> ..." and returns false.
  [[nodiscard]] bool write(ByteStreamOut& stream) const;
};

#endif
