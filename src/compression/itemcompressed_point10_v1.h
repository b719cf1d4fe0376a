// POINT10 codec, version 1: the 20-byte legacy point core, coordinates
// predicted by the median of the last three differences, the other fields
// coded when they change.
#ifndef TIECHECK_COMPRESSION_ITEMCOMPRESSED_POINT10_V1_H
#define TIECHECK_COMPRESSION_ITEMCOMPRESSED_POINT10_V1_H

#include <cstdint>
#include <memory>

#include "compression/integercoder.h"
#include "compression/lasreaditem.h"
#include "compression/laswriteitem.h"

class ArithDecoder;
class ArithEncoder;
class SymbolModel;

class LASwriteItemCompressed_POINT10_v1 : public LASwriteItemCompressed {
 public:
  explicit LASwriteItemCompressed_POINT10_v1(ArithEncoder* enc);
  ~LASwriteItemCompressed_POINT10_v1() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  bool write(const uint8_t* item, uint32_t& context) override;

 private:
  ArithEncoder* enc;
  uint8_t last_item[20];
  int32_t last_x_diff[3];
  int32_t last_y_diff[3];
  int last_incr;

  IntegerCoder ic_dx;
  IntegerCoder ic_dy;
  IntegerCoder ic_z;
  std::unique_ptr<SymbolModel> m_changed_values;
  IntegerCoder ic_intensity;
  IntegerCoder ic_scan_angle_rank;
  IntegerCoder ic_point_source_ID;
  std::unique_ptr<SymbolModel> m_bit_byte[256];
  std::unique_ptr<SymbolModel> m_classification[256];
  std::unique_ptr<SymbolModel> m_user_data[256];
};

class LASreadItemCompressed_POINT10_v1 : public LASreadItemCompressed {
 public:
  explicit LASreadItemCompressed_POINT10_v1(ArithDecoder* dec);
  ~LASreadItemCompressed_POINT10_v1() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  // Throws what the decoder throws.
  void read(uint8_t* item, uint32_t& context) override;

 private:
  ArithDecoder* dec;
  uint8_t last_item[20];
  int32_t last_x_diff[3];
  int32_t last_y_diff[3];
  int last_incr;

  IntegerCoder ic_dx;
  IntegerCoder ic_dy;
  IntegerCoder ic_z;
  std::unique_ptr<SymbolModel> m_changed_values;
  IntegerCoder ic_intensity;
  IntegerCoder ic_scan_angle_rank;
  IntegerCoder ic_point_source_ID;
  std::unique_ptr<SymbolModel> m_bit_byte[256];
  std::unique_ptr<SymbolModel> m_classification[256];
  std::unique_ptr<SymbolModel> m_user_data[256];
};

#endif
