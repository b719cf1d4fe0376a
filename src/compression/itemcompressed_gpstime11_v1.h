// GPSTIME11 codec, version 1: the f64 GPS time as its 64-bit image, one time
// sequence predicted as a multiple of its last difference.
#ifndef TIECHECK_COMPRESSION_ITEMCOMPRESSED_GPSTIME11_V1_H
#define TIECHECK_COMPRESSION_ITEMCOMPRESSED_GPSTIME11_V1_H

#include <cstdint>
#include <memory>

#include "compression/integercoder.h"
#include "compression/lasreaditem.h"
#include "compression/laswriteitem.h"

class ArithDecoder;
class ArithEncoder;
class SymbolModel;

class LASwriteItemCompressed_GPSTIME11_v1 : public LASwriteItemCompressed {
 public:
  explicit LASwriteItemCompressed_GPSTIME11_v1(ArithEncoder* enc);
  ~LASwriteItemCompressed_GPSTIME11_v1() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  bool write(const uint8_t* item, uint32_t& context) override;

 private:
  ArithEncoder* enc;
  uint64_t last_gpstime;
  int32_t last_gpstime_diff;
  int32_t multi_extreme_counter;

  std::unique_ptr<SymbolModel> m_gpstime_multi;
  std::unique_ptr<SymbolModel> m_gpstime_0diff;
  IntegerCoder ic_gpstime;
};

class LASreadItemCompressed_GPSTIME11_v1 : public LASreadItemCompressed {
 public:
  explicit LASreadItemCompressed_GPSTIME11_v1(ArithDecoder* dec);
  ~LASreadItemCompressed_GPSTIME11_v1() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  // Throws what the decoder throws.
  void read(uint8_t* item, uint32_t& context) override;

 private:
  ArithDecoder* dec;
  uint64_t last_gpstime;
  int32_t last_gpstime_diff;
  int32_t multi_extreme_counter;

  std::unique_ptr<SymbolModel> m_gpstime_multi;
  std::unique_ptr<SymbolModel> m_gpstime_0diff;
  IntegerCoder ic_gpstime;
};

#endif
