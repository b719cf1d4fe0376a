// POINT10 codec, version 2: the 20-byte legacy point core. Coordinates are
// predicted by running medians of their differences, kept per return
// position, and heights per return level; the other fields are coded only
// when they change, against the last point.
#ifndef TIECHECK_COMPRESSION_ITEMCOMPRESSED_POINT10_V2_H
#define TIECHECK_COMPRESSION_ITEMCOMPRESSED_POINT10_V2_H

#include <cstdint>
#include <memory>

#include "compression/integercoder.h"
#include "compression/lasreaditem.h"
#include "compression/laswriteitem.h"
#include "compression/median5.h"

class ArithDecoder;
class ArithEncoder;
class SymbolModel;

class LASwriteItemCompressed_POINT10_v2 : public LASwriteItemCompressed {
 public:
  // The encoder (not owned) is shared by all items of a point.
  explicit LASwriteItemCompressed_POINT10_v2(ArithEncoder* enc);
  ~LASwriteItemCompressed_POINT10_v2() override;

  // Restarts all models and state for a chunk whose raw first point is item.
  bool init(const uint8_t* item, uint32_t& context) override;
  bool write(const uint8_t* item, uint32_t& context) override;

 private:
  ArithEncoder* enc;
  uint8_t last_item[20];
  uint16_t last_intensity[16];
  Median5 last_x_diff_median5[16];
  Median5 last_y_diff_median5[16];
  int32_t last_height[8];

  std::unique_ptr<SymbolModel> m_changed_values;
  IntegerCoder ic_intensity;
  std::unique_ptr<SymbolModel> m_scan_angle_rank[2];
  IntegerCoder ic_point_source_ID;
  // Created when a previous value first selects them.
  std::unique_ptr<SymbolModel> m_bit_byte[256];
  std::unique_ptr<SymbolModel> m_classification[256];
  std::unique_ptr<SymbolModel> m_user_data[256];
  IntegerCoder ic_dx;
  IntegerCoder ic_dy;
  IntegerCoder ic_z;
};

class LASreadItemCompressed_POINT10_v2 : public LASreadItemCompressed {
 public:
  explicit LASreadItemCompressed_POINT10_v2(ArithDecoder* dec);
  ~LASreadItemCompressed_POINT10_v2() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  // Throws what the decoder throws.
  void read(uint8_t* item, uint32_t& context) override;

 private:
  ArithDecoder* dec;
  uint8_t last_item[20];
  uint16_t last_intensity[16];
  Median5 last_x_diff_median5[16];
  Median5 last_y_diff_median5[16];
  int32_t last_height[8];

  std::unique_ptr<SymbolModel> m_changed_values;
  IntegerCoder ic_intensity;
  std::unique_ptr<SymbolModel> m_scan_angle_rank[2];
  IntegerCoder ic_point_source_ID;
  std::unique_ptr<SymbolModel> m_bit_byte[256];
  std::unique_ptr<SymbolModel> m_classification[256];
  std::unique_ptr<SymbolModel> m_user_data[256];
  IntegerCoder ic_dx;
  IntegerCoder ic_dy;
  IntegerCoder ic_z;
};

#endif
