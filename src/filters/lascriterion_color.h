// Criteria on the colour channels (red, green, blue, near infrared) and on
// vegetation indices computed from them.
#ifndef TIECHECK_FILTERS_LASCRITERION_COLOR_H
#define TIECHECK_FILTERS_LASCRITERION_COLOR_H

#include <cstdint>

#include "filters/lascriterion.h"

// Rejects a channel value < min or > max; channel 0 red, 1 green, 2 blue,
// 3 NIR; the pair is ordered. Printed "-keep_RGB_<channel> min max". The
// near-infrared channel is a layer of its own in compressed points, so it
// asks for the NIR bit too; without it the test would see an undecoded value.
class LAScriterionKeepRGB : public LAScriterion {
 public:
  LAScriterionKeepRGB(int32_t channel, int32_t min, int32_t max);
  const char* name() const override { return "keep_RGB"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return channel == 3 ? LASfield::rgb | LASfield::nir : LASfield::rgb; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t channel, min, max;
};

// Rejects min <= channel value <= max; printed "-drop_RGB_<channel> min max";
// the NIR channel asks for the NIR bit like the keep variant.
class LAScriterionDropRGB : public LAScriterion {
 public:
  LAScriterionDropRGB(int32_t channel, int32_t min, int32_t max);
  const char* name() const override { return "drop_RGB"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return channel == 3 ? LASfield::rgb | LASfield::nir : LASfield::rgb; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t channel, min, max;
};

// Rejects greenness g = 2 * green - blue - red outside [min, max] (ordered).
class LAScriterionKeepRGBgreenness : public LAScriterion {
 public:
  LAScriterionKeepRGBgreenness(int32_t min, int32_t max) : min(max < min ? max : min), max(max < min ? min : max) {}
  const char* name() const override { return "keep_RGB_greenness"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::rgb; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t min, max;
};

// The NDVI criteria compute (a - b) / (a + b) in single precision and reject
// a ratio outside [min, max]; with a + b = 0 the point is kept. Ordered pairs
// here and elsewhere are swapped only when max < min, so that a NaN bound
// stays where it was given and the printed pair reads back the same.
// Here a is the channel holding near infrared (3 NIR, 1 green or 2 blue)
// and b is red. Printed "-keep_NDVI", "-keep_NDVI_green_is_NIR" or
// "-keep_NDVI_blue_is_NIR" with min and max.
class LAScriterionKeepNDVI : public LAScriterion {
 public:
  LAScriterionKeepNDVI(float min, float max, int32_t nir_channel);
  const char* name() const override { return "keep_NDVI"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override;
  bool rejects(const LASpoint* point) override;

 private:
  float min, max;
  int32_t nir_channel;
};

// Colour-infrared imagery stored as RGB: a = the red channel (near
// infrared), b = the green channel (red).
class LAScriterionKeepNDVIfromCIR : public LAScriterion {
 public:
  LAScriterionKeepNDVIfromCIR(float min, float max) : min(max < min ? max : min), max(max < min ? min : max) {}
  const char* name() const override { return "keep_NDVI_from_CIR"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::rgb; }
  bool rejects(const LASpoint* point) override;

 private:
  float min, max;
};

// a = intensity, b = red.
class LAScriterionKeepNDVIintensityIsNIR : public LAScriterion {
 public:
  LAScriterionKeepNDVIintensityIsNIR(float min, float max)
      : min(max < min ? max : min), max(max < min ? min : max) {}
  const char* name() const override { return "keep_NDVI_intensity_is_NIR"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::rgb | LASfield::intensity; }
  bool rejects(const LASpoint* point) override;

 private:
  float min, max;
};

#endif
