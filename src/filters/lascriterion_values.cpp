#include "filters/lascriterion_values.h"

#include "las/laspoint.h"

void LAScriterionKeepIntensity::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min);
  command.add_int(max);
}
bool LAScriterionKeepIntensity::rejects(const LASpoint* point) {
  return point->intensity < min || point->intensity > max;
}

void LAScriterionKeepIntensityAbove::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(value);
}
bool LAScriterionKeepIntensityAbove::rejects(const LASpoint* point) { return point->intensity <= value; }

void LAScriterionKeepIntensityBelow::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(value);
}
bool LAScriterionKeepIntensityBelow::rejects(const LASpoint* point) { return point->intensity >= value; }

void LAScriterionDropIntensityAbove::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(value);
}
bool LAScriterionDropIntensityAbove::rejects(const LASpoint* point) { return point->intensity > value; }

void LAScriterionDropIntensityBelow::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(value);
}
bool LAScriterionDropIntensityBelow::rejects(const LASpoint* point) { return point->intensity < value; }

void LAScriterionDropIntensityBetween::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min);
  command.add_int(max);
}
bool LAScriterionDropIntensityBetween::rejects(const LASpoint* point) {
  return min <= point->intensity && point->intensity <= max;
}

void LAScriterionKeepUserData::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(value);
}
bool LAScriterionKeepUserData::rejects(const LASpoint* point) { return point->user_data != value; }

void LAScriterionKeepUserDataAbove::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(value);
}
bool LAScriterionKeepUserDataAbove::rejects(const LASpoint* point) { return point->user_data <= value; }

void LAScriterionKeepUserDataBelow::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(value);
}
bool LAScriterionKeepUserDataBelow::rejects(const LASpoint* point) { return point->user_data >= value; }

void LAScriterionKeepUserDataBetween::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min);
  command.add_int(max);
}
bool LAScriterionKeepUserDataBetween::rejects(const LASpoint* point) {
  return point->user_data < min || point->user_data > max;
}

void LAScriterionDropUserData::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(value);
}
bool LAScriterionDropUserData::rejects(const LASpoint* point) { return point->user_data == value; }

void LAScriterionDropUserDataAbove::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(value);
}
bool LAScriterionDropUserDataAbove::rejects(const LASpoint* point) { return point->user_data > value; }

void LAScriterionDropUserDataBelow::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(value);
}
bool LAScriterionDropUserDataBelow::rejects(const LASpoint* point) { return point->user_data < value; }

void LAScriterionDropUserDataBetween::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min);
  command.add_int(max);
}
bool LAScriterionDropUserDataBetween::rejects(const LASpoint* point) {
  return min <= point->user_data && point->user_data <= max;
}

void LAScriterionKeepPointSource::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(point_source_ID);
}
bool LAScriterionKeepPointSource::rejects(const LASpoint* point) {
  return point->point_source_ID != point_source_ID;
}

void LAScriterionKeepPointSourceBetween::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min);
  command.add_int(max);
}
bool LAScriterionKeepPointSourceBetween::rejects(const LASpoint* point) {
  return point->point_source_ID < min || point->point_source_ID > max;
}

void LAScriterionDropPointSource::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(point_source_ID);
}
bool LAScriterionDropPointSource::rejects(const LASpoint* point) {
  return point->point_source_ID == point_source_ID;
}

void LAScriterionDropPointSourceAbove::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(max);
}
bool LAScriterionDropPointSourceAbove::rejects(const LASpoint* point) { return point->point_source_ID > max; }

void LAScriterionDropPointSourceBelow::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min);
}
bool LAScriterionDropPointSourceBelow::rejects(const LASpoint* point) { return point->point_source_ID < min; }

void LAScriterionDropPointSourceBetween::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min);
  command.add_int(max);
}
bool LAScriterionDropPointSourceBetween::rejects(const LASpoint* point) {
  return min <= point->point_source_ID && point->point_source_ID <= max;
}

void LAScriterionKeepScanAngle::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min);
  command.add_int(max);
}
bool LAScriterionKeepScanAngle::rejects(const LASpoint* point) {
  return point->scan_angle_rank < min || point->scan_angle_rank > max;
}

void LAScriterionDropScanAngleAbove::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(max);
}
bool LAScriterionDropScanAngleAbove::rejects(const LASpoint* point) { return point->scan_angle_rank > max; }

void LAScriterionDropScanAngleBelow::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min);
}
bool LAScriterionDropScanAngleBelow::rejects(const LASpoint* point) { return point->scan_angle_rank < min; }

void LAScriterionDropScanAngleBetween::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(min);
  command.add_int(max);
}
bool LAScriterionDropScanAngleBetween::rejects(const LASpoint* point) {
  return min <= point->scan_angle_rank && point->scan_angle_rank <= max;
}

void LAScriterionKeepGpsTime::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(start);
  command.add_double(end);
}
bool LAScriterionKeepGpsTime::rejects(const LASpoint* point) {
  return point->have_gps_time && (point->gps_time < start || point->gps_time > end);
}

void LAScriterionDropGpsTimeAbove::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(max);
}
bool LAScriterionDropGpsTimeAbove::rejects(const LASpoint* point) {
  return point->have_gps_time && point->gps_time > max;
}

void LAScriterionDropGpsTimeBelow::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(min);
}
bool LAScriterionDropGpsTimeBelow::rejects(const LASpoint* point) {
  return point->have_gps_time && point->gps_time < min;
}

void LAScriterionDropGpsTimeBetween::write_command(LAScommand& command) const {
  command.option(name());
  command.add_double(min);
  command.add_double(max);
}
bool LAScriterionDropGpsTimeBetween::rejects(const LASpoint* point) {
  return point->have_gps_time && min <= point->gps_time && point->gps_time <= max;
}

void LAScriterionKeepWavepacket::write_command(LAScommand& command) const {
  command.option(name());
  command.add_unsigned(index);
}
bool LAScriterionKeepWavepacket::rejects(const LASpoint* point) { return point->wavepacket.index != index; }

void LAScriterionDropWavepacket::write_command(LAScommand& command) const {
  command.option(name());
  command.add_unsigned(index);
}
bool LAScriterionDropWavepacket::rejects(const LASpoint* point) { return point->wavepacket.index == index; }

void LAScriterionKeepAttributeAbove::write_command(LAScommand& command) const {
  command.option(name());
  command.add_unsigned(static_cast<uint32_t>(index));
  command.add_double(value);
}
bool LAScriterionKeepAttributeAbove::rejects(const LASpoint* point) {
  return point->get_attribute_as_float(index) <= value;
}

void LAScriterionKeepAttributeBelow::write_command(LAScommand& command) const {
  command.option(name());
  command.add_unsigned(static_cast<uint32_t>(index));
  command.add_double(value);
}
bool LAScriterionKeepAttributeBelow::rejects(const LASpoint* point) {
  return point->get_attribute_as_float(index) >= value;
}

void LAScriterionKeepAttributeBetween::write_command(LAScommand& command) const {
  command.option(name());
  command.add_unsigned(static_cast<uint32_t>(index));
  command.add_double(min);
  command.add_double(max);
}
bool LAScriterionKeepAttributeBetween::rejects(const LASpoint* point) {
  const double a = point->get_attribute_as_float(index);
  return a < min || a > max;
}

void LAScriterionDropAttributeAbove::write_command(LAScommand& command) const {
  command.option(name());
  command.add_unsigned(static_cast<uint32_t>(index));
  command.add_double(value);
}
bool LAScriterionDropAttributeAbove::rejects(const LASpoint* point) {
  return point->get_attribute_as_float(index) > value;
}

void LAScriterionDropAttributeBelow::write_command(LAScommand& command) const {
  command.option(name());
  command.add_unsigned(static_cast<uint32_t>(index));
  command.add_double(value);
}
bool LAScriterionDropAttributeBelow::rejects(const LASpoint* point) {
  return point->get_attribute_as_float(index) < value;
}

void LAScriterionDropAttributeBetween::write_command(LAScommand& command) const {
  command.option(name());
  command.add_unsigned(static_cast<uint32_t>(index));
  command.add_double(below);
  command.add_double(above);
}
bool LAScriterionDropAttributeBetween::rejects(const LASpoint* point) {
  const double a = point->get_attribute_as_float(index);
  return below <= a && a <= above;
}
