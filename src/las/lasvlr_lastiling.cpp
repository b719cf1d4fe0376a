#include "las/lasvlr_lastiling.h"

#include <cstdio>

namespace {

constexpr uint32_t implicit_levels_mask = 0x3FFFFFFF;
constexpr uint32_t buffer_bit = 0x40000000;
constexpr uint32_t reversible_bit = 0x80000000;

}  // namespace

uint32_t LASvlr_lastiling::get_flags() const {
  return (implicit_levels & implicit_levels_mask) | (buffer ? buffer_bit : 0) | (reversible ? reversible_bit : 0);
}

void LASvlr_lastiling::set_flags(uint32_t flags) {
  implicit_levels = flags & implicit_levels_mask;
  buffer = (flags & buffer_bit) != 0;
  reversible = (flags & reversible_bit) != 0;
}

std::string LASvlr_lastiling::get_description() const {
  char text[64];
  snprintf(text, sizeof(text), "tile %s buffer %s", buffer ? "with" : "without", reversible ? ", reversible" : "");
  return text;
}

bool LASvlr_lastiling::read(ByteStreamIn& stream) {
  LASvlr_lastiling in;
  uint32_t flags = 0;
  try { stream.get_32bits_le(reinterpret_cast<uint8_t*>(&in.level)); } catch (int) {
    fprintf(stderr, "ERROR: reading vlr_lastiling->level %u\n", in.level);
    return false;
  }
  try { stream.get_32bits_le(reinterpret_cast<uint8_t*>(&in.level_index)); } catch (int) {
    fprintf(stderr, "ERROR: reading vlr_lastiling->level_index %u\n", in.level_index);
    return false;
  }
  try { stream.get_32bits_le(reinterpret_cast<uint8_t*>(&flags)); } catch (int) {
    fprintf(stderr, "ERROR: reading vlr_lastiling->implicit_levels %u\n", flags);
    return false;
  }
  in.set_flags(flags);
  try { stream.get_32bits_le(reinterpret_cast<uint8_t*>(&in.min_x)); } catch (int) {
    fprintf(stderr, "ERROR: reading vlr_lastiling->min_x %g\n", in.min_x);
    return false;
  }
  try { stream.get_32bits_le(reinterpret_cast<uint8_t*>(&in.max_x)); } catch (int) {
    fprintf(stderr, "ERROR: reading vlr_lastiling->max_x %g\n", in.max_x);
    return false;
  }
  try { stream.get_32bits_le(reinterpret_cast<uint8_t*>(&in.min_y)); } catch (int) {
    fprintf(stderr, "ERROR: reading vlr_lastiling->min_y %g\n", in.min_y);
    return false;
  }
  try { stream.get_32bits_le(reinterpret_cast<uint8_t*>(&in.max_y)); } catch (int) {
    fprintf(stderr, "ERROR: reading vlr_lastiling->max_y %g\n", in.max_y);
    return false;
  }
  *this = in;
  return true;
}

bool LASvlr_lastiling::write(ByteStreamOut& stream) const {
  const uint32_t flags = get_flags();
  if (!stream.put_32bits_le(reinterpret_cast<const uint8_t*>(&level))) {
    fprintf(stderr, "ERROR: writing header->vlr_lastiling->level %u\n", level);
    return false;
  }
  if (!stream.put_32bits_le(reinterpret_cast<const uint8_t*>(&level_index))) {
    fprintf(stderr, "ERROR: writing header->vlr_lastiling->level_index %u\n", level_index);
    return false;
  }
  if (!stream.put_32bits_le(reinterpret_cast<const uint8_t*>(&flags))) {
    fprintf(stderr, "ERROR: writing header->vlr_lastiling->implicit_levels %u\n", implicit_levels);
    return false;
  }
  if (!stream.put_32bits_le(reinterpret_cast<const uint8_t*>(&min_x))) {
    fprintf(stderr, "ERROR: writing header->vlr_lastiling->min_x %g\n", min_x);
    return false;
  }
  if (!stream.put_32bits_le(reinterpret_cast<const uint8_t*>(&max_x))) {
    fprintf(stderr, "ERROR: writing header->vlr_lastiling->max_x %g\n", max_x);
    return false;
  }
  if (!stream.put_32bits_le(reinterpret_cast<const uint8_t*>(&min_y))) {
    fprintf(stderr, "ERROR: writing header->vlr_lastiling->min_y %g\n", min_y);
    return false;
  }
  if (!stream.put_32bits_le(reinterpret_cast<const uint8_t*>(&max_y))) {
    fprintf(stderr, "ERROR: writing header->vlr_lastiling->max_y %g\n", max_y);
    return false;
  }
  return true;
}
