// Criteria comparing one point value with constants: intensity, user data,
// point source ID, scan angle rank, GPS time, wave packet descriptor index
// and extra-bytes attributes. Ranges here are closed unless stated.
#ifndef TIECHECK_FILTERS_LASCRITERION_VALUES_H
#define TIECHECK_FILTERS_LASCRITERION_VALUES_H

#include <cstdint>

#include "filters/lascriterion.h"

// Rejects intensity < min or > max.
class LAScriterionKeepIntensity : public LAScriterion {
 public:
  LAScriterionKeepIntensity(uint16_t min, uint16_t max) : min(min), max(max) {}
  const char* name() const override { return "keep_intensity"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::intensity; }
  bool rejects(const LASpoint* point) override;

 private:
  uint16_t min, max;
};

// Rejects intensity <= value.
class LAScriterionKeepIntensityAbove : public LAScriterion {
 public:
  explicit LAScriterionKeepIntensityAbove(uint16_t value) : value(value) {}
  const char* name() const override { return "keep_intensity_above"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::intensity; }
  bool rejects(const LASpoint* point) override;

 private:
  uint16_t value;
};

// Rejects intensity >= value.
class LAScriterionKeepIntensityBelow : public LAScriterion {
 public:
  explicit LAScriterionKeepIntensityBelow(uint16_t value) : value(value) {}
  const char* name() const override { return "keep_intensity_below"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::intensity; }
  bool rejects(const LASpoint* point) override;

 private:
  uint16_t value;
};

// Rejects intensity > value.
class LAScriterionDropIntensityAbove : public LAScriterion {
 public:
  explicit LAScriterionDropIntensityAbove(int32_t value) : value(value) {}
  const char* name() const override { return "drop_intensity_above"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::intensity; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t value;
};

// Rejects intensity < value.
class LAScriterionDropIntensityBelow : public LAScriterion {
 public:
  explicit LAScriterionDropIntensityBelow(int32_t value) : value(value) {}
  const char* name() const override { return "drop_intensity_below"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::intensity; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t value;
};

// Rejects min <= intensity <= max.
class LAScriterionDropIntensityBetween : public LAScriterion {
 public:
  LAScriterionDropIntensityBetween(int32_t min, int32_t max) : min(min), max(max) {}
  const char* name() const override { return "drop_intensity_between"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::intensity; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t min, max;
};

// Rejects user data != value.
class LAScriterionKeepUserData : public LAScriterion {
 public:
  explicit LAScriterionKeepUserData(uint8_t value) : value(value) {}
  const char* name() const override { return "keep_user_data"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::user_data; }
  bool rejects(const LASpoint* point) override;

 private:
  uint8_t value;
};

// Rejects user data <= value.
class LAScriterionKeepUserDataAbove : public LAScriterion {
 public:
  explicit LAScriterionKeepUserDataAbove(uint8_t value) : value(value) {}
  const char* name() const override { return "keep_user_data_above"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::user_data; }
  bool rejects(const LASpoint* point) override;

 private:
  uint8_t value;
};

// Rejects user data >= value.
class LAScriterionKeepUserDataBelow : public LAScriterion {
 public:
  explicit LAScriterionKeepUserDataBelow(uint8_t value) : value(value) {}
  const char* name() const override { return "keep_user_data_below"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::user_data; }
  bool rejects(const LASpoint* point) override;

 private:
  uint8_t value;
};

// Rejects user data < min or > max.
class LAScriterionKeepUserDataBetween : public LAScriterion {
 public:
  LAScriterionKeepUserDataBetween(uint8_t min, uint8_t max) : min(min), max(max) {}
  const char* name() const override { return "keep_user_data_between"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::user_data; }
  bool rejects(const LASpoint* point) override;

 private:
  uint8_t min, max;
};

// Rejects user data = value.
class LAScriterionDropUserData : public LAScriterion {
 public:
  explicit LAScriterionDropUserData(uint8_t value) : value(value) {}
  const char* name() const override { return "drop_user_data"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::user_data; }
  bool rejects(const LASpoint* point) override;

 private:
  uint8_t value;
};

// Rejects user data > value.
class LAScriterionDropUserDataAbove : public LAScriterion {
 public:
  explicit LAScriterionDropUserDataAbove(uint8_t value) : value(value) {}
  const char* name() const override { return "drop_user_data_above"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::user_data; }
  bool rejects(const LASpoint* point) override;

 private:
  uint8_t value;
};

// Rejects user data < value.
class LAScriterionDropUserDataBelow : public LAScriterion {
 public:
  explicit LAScriterionDropUserDataBelow(uint8_t value) : value(value) {}
  const char* name() const override { return "drop_user_data_below"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::user_data; }
  bool rejects(const LASpoint* point) override;

 private:
  uint8_t value;
};

// Rejects min <= user data <= max.
class LAScriterionDropUserDataBetween : public LAScriterion {
 public:
  LAScriterionDropUserDataBetween(uint8_t min, uint8_t max) : min(min), max(max) {}
  const char* name() const override { return "drop_user_data_between"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::user_data; }
  bool rejects(const LASpoint* point) override;

 private:
  uint8_t min, max;
};

// Rejects point source ID != ID.
class LAScriterionKeepPointSource : public LAScriterion {
 public:
  explicit LAScriterionKeepPointSource(uint16_t point_source_ID) : point_source_ID(point_source_ID) {}
  const char* name() const override { return "keep_point_source"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::point_source; }
  bool rejects(const LASpoint* point) override;

 private:
  uint16_t point_source_ID;
};

// Rejects ID < min or > max.
class LAScriterionKeepPointSourceBetween : public LAScriterion {
 public:
  LAScriterionKeepPointSourceBetween(uint16_t min, uint16_t max) : min(min), max(max) {}
  const char* name() const override { return "keep_point_source_between"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::point_source; }
  bool rejects(const LASpoint* point) override;

 private:
  uint16_t min, max;
};

// Rejects point source ID = ID.
class LAScriterionDropPointSource : public LAScriterion {
 public:
  explicit LAScriterionDropPointSource(uint16_t point_source_ID) : point_source_ID(point_source_ID) {}
  const char* name() const override { return "drop_point_source"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::point_source; }
  bool rejects(const LASpoint* point) override;

 private:
  uint16_t point_source_ID;
};

// Rejects ID > value.
class LAScriterionDropPointSourceAbove : public LAScriterion {
 public:
  explicit LAScriterionDropPointSourceAbove(uint16_t max) : max(max) {}
  const char* name() const override { return "drop_point_source_above"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::point_source; }
  bool rejects(const LASpoint* point) override;

 private:
  uint16_t max;
};

// Rejects ID < value.
class LAScriterionDropPointSourceBelow : public LAScriterion {
 public:
  explicit LAScriterionDropPointSourceBelow(uint16_t min) : min(min) {}
  const char* name() const override { return "drop_point_source_below"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::point_source; }
  bool rejects(const LASpoint* point) override;

 private:
  uint16_t min;
};

// Rejects min <= ID <= max.
class LAScriterionDropPointSourceBetween : public LAScriterion {
 public:
  LAScriterionDropPointSourceBetween(uint16_t min, uint16_t max) : min(min), max(max) {}
  const char* name() const override { return "drop_point_source_between"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::point_source; }
  bool rejects(const LASpoint* point) override;

 private:
  uint16_t min, max;
};

// Rejects a scan angle rank < min or > max; the pair is ordered.
class LAScriterionKeepScanAngle : public LAScriterion {
 public:
  LAScriterionKeepScanAngle(int32_t min, int32_t max) : min(max < min ? max : min), max(max < min ? min : max) {}
  const char* name() const override { return "keep_scan_angle"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::scan_angle; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t min, max;
};

// Rejects a scan angle rank > value.
class LAScriterionDropScanAngleAbove : public LAScriterion {
 public:
  explicit LAScriterionDropScanAngleAbove(int32_t max) : max(max) {}
  const char* name() const override { return "drop_scan_angle_above"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::scan_angle; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t max;
};

// Rejects a scan angle rank < value.
class LAScriterionDropScanAngleBelow : public LAScriterion {
 public:
  explicit LAScriterionDropScanAngleBelow(int32_t min) : min(min) {}
  const char* name() const override { return "drop_scan_angle_below"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::scan_angle; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t min;
};

// Rejects min <= scan angle rank <= max; the pair is ordered.
class LAScriterionDropScanAngleBetween : public LAScriterion {
 public:
  LAScriterionDropScanAngleBetween(int32_t min, int32_t max)
      : min(max < min ? max : min), max(max < min ? min : max) {}
  const char* name() const override { return "drop_scan_angle_between"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::scan_angle; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t min, max;
};

// The GPS-time criteria never reject a point without GPS time.
// Rejects t < start or t > end.
class LAScriterionKeepGpsTime : public LAScriterion {
 public:
  LAScriterionKeepGpsTime(double start, double end) : start(start), end(end) {}
  const char* name() const override { return "keep_gps_time"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::gps_time; }
  bool rejects(const LASpoint* point) override;

 private:
  double start, end;
};

// Rejects t > value.
class LAScriterionDropGpsTimeAbove : public LAScriterion {
 public:
  explicit LAScriterionDropGpsTimeAbove(double max) : max(max) {}
  const char* name() const override { return "drop_gps_time_above"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::gps_time; }
  bool rejects(const LASpoint* point) override;

 private:
  double max;
};

// Rejects t < value.
class LAScriterionDropGpsTimeBelow : public LAScriterion {
 public:
  explicit LAScriterionDropGpsTimeBelow(double min) : min(min) {}
  const char* name() const override { return "drop_gps_time_below"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::gps_time; }
  bool rejects(const LASpoint* point) override;

 private:
  double min;
};

// Rejects min <= t <= max.
class LAScriterionDropGpsTimeBetween : public LAScriterion {
 public:
  LAScriterionDropGpsTimeBetween(double min, double max) : min(min), max(max) {}
  const char* name() const override { return "drop_gps_time_between"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::gps_time; }
  bool rejects(const LASpoint* point) override;

 private:
  double min, max;
};

// Rejects a wave packet descriptor index != index.
class LAScriterionKeepWavepacket : public LAScriterion {
 public:
  explicit LAScriterionKeepWavepacket(uint32_t index) : index(index) {}
  const char* name() const override { return "keep_wavepacket"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::wavepacket; }
  bool rejects(const LASpoint* point) override;

 private:
  uint32_t index;
};

// Rejects a wave packet descriptor index = index.
class LAScriterionDropWavepacket : public LAScriterion {
 public:
  explicit LAScriterionDropWavepacket(uint32_t index) : index(index) {}
  const char* name() const override { return "drop_wavepacket"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::wavepacket; }
  bool rejects(const LASpoint* point) override;

 private:
  uint32_t index;
};

// Attribute criteria read the value a = get_attribute_as_float(index), with
// scale and offset applied and 0.0 for an attribute the point lacks. The
// index prints as unsigned.
// Rejects a <= value.
class LAScriterionKeepAttributeAbove : public LAScriterion {
 public:
  LAScriterionKeepAttributeAbove(int32_t index, double value) : index(index), value(value) {}
  const char* name() const override { return "keep_attribute_above"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::extra_bytes; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t index;
  double value;
};

// Rejects a >= value.
class LAScriterionKeepAttributeBelow : public LAScriterion {
 public:
  LAScriterionKeepAttributeBelow(int32_t index, double value) : index(index), value(value) {}
  const char* name() const override { return "keep_attribute_below"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::extra_bytes; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t index;
  double value;
};

// Rejects a < min or a > max.
class LAScriterionKeepAttributeBetween : public LAScriterion {
 public:
  LAScriterionKeepAttributeBetween(int32_t index, double min, double max) : index(index), min(min), max(max) {}
  const char* name() const override { return "keep_attribute_between"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::extra_bytes; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t index;
  double min, max;
};

// Rejects a > value.
class LAScriterionDropAttributeAbove : public LAScriterion {
 public:
  LAScriterionDropAttributeAbove(int32_t index, double value) : index(index), value(value) {}
  const char* name() const override { return "drop_attribute_above"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::extra_bytes; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t index;
  double value;
};

// Rejects a < value.
class LAScriterionDropAttributeBelow : public LAScriterion {
 public:
  LAScriterionDropAttributeBelow(int32_t index, double value) : index(index), value(value) {}
  const char* name() const override { return "drop_attribute_below"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::extra_bytes; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t index;
  double value;
};

// Rejects below <= a <= above.
class LAScriterionDropAttributeBetween : public LAScriterion {
 public:
  LAScriterionDropAttributeBetween(int32_t index, double below, double above)
      : index(index), below(below), above(above) {}
  const char* name() const override { return "drop_attribute_between"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::extra_bytes; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t index;
  double below, above;
};

#endif
