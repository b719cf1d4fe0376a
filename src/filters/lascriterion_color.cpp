#include "filters/lascriterion_color.h"

#include <cassert>

#include "las/laspoint.h"

namespace {

const char* const channel_words[4] = {"red", "green", "blue", "nir"};

// (a - b) / (a + b) outside [min, max]; a + b = 0 keeps the point.
bool ndvi_outside(int32_t a, int32_t b, float min, float max) {
  if (a + b == 0) return false;
  const float ratio = static_cast<float>(a - b) / static_cast<float>(a + b);
  return ratio < min || ratio > max;
}

}  // namespace

LAScriterionKeepRGB::LAScriterionKeepRGB(int32_t channel, int32_t min, int32_t max)
    : channel(channel), min(max < min ? max : min), max(max < min ? min : max) {
  assert(channel >= 0 && channel < 4);
}
void LAScriterionKeepRGB::write_command(LAScommand& command) const {
  command.option("keep_RGB_", channel_words[channel]);
  command.add_int(min);
  command.add_int(max);
}
bool LAScriterionKeepRGB::rejects(const LASpoint* point) {
  const int32_t value = point->rgb[channel];
  return value < min || value > max;
}

LAScriterionDropRGB::LAScriterionDropRGB(int32_t channel, int32_t min, int32_t max)
    : channel(channel), min(max < min ? max : min), max(max < min ? min : max) {
  assert(channel >= 0 && channel < 4);
}
void LAScriterionDropRGB::write_command(LAScommand& command) const {
  command.option("drop_RGB_", channel_words[channel]);
  command.add_int(min);
  command.add_int(max);
}
bool LAScriterionDropRGB::rejects(const LASpoint* point) {
  const int32_t value = point->rgb[channel];
  return min <= value && value <= max;
}

void LAScriterionKeepRGBgreenness::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min);
  command.add_int(max);
}
bool LAScriterionKeepRGBgreenness::rejects(const LASpoint* point) {
  const int32_t greenness = 2 * point->rgb[1] - point->rgb[2] - point->rgb[0];
  return greenness < min || greenness > max;
}

LAScriterionKeepNDVI::LAScriterionKeepNDVI(float min, float max, int32_t nir_channel)
    : min(max < min ? max : min), max(max < min ? min : max), nir_channel(nir_channel) {
  assert(nir_channel >= 1 && nir_channel <= 3);
}
void LAScriterionKeepNDVI::write_command(LAScommand& command) const {
  const char* suffix = nir_channel == 1 ? "_green_is_NIR" : nir_channel == 2 ? "_blue_is_NIR" : "";
  command.option(name(), suffix);
  command.add_float(min);
  command.add_float(max);
}
uint32_t LAScriterionKeepNDVI::needed_fields() const {
  return nir_channel == 3 ? (LASfield::rgb | LASfield::nir) : LASfield::rgb;
}
bool LAScriterionKeepNDVI::rejects(const LASpoint* point) {
  return ndvi_outside(point->rgb[nir_channel], point->rgb[0], min, max);
}

void LAScriterionKeepNDVIfromCIR::write_command(LAScommand& command) const {
  command.option(name());
  command.add_float(min);
  command.add_float(max);
}
bool LAScriterionKeepNDVIfromCIR::rejects(const LASpoint* point) {
  return ndvi_outside(point->rgb[0], point->rgb[1], min, max);
}

void LAScriterionKeepNDVIintensityIsNIR::write_command(LAScommand& command) const {
  command.option(name());
  command.add_float(min);
  command.add_float(max);
}
bool LAScriterionKeepNDVIintensityIsNIR::rejects(const LASpoint* point) {
  return ndvi_outside(point->intensity, point->rgb[0], min, max);
}
