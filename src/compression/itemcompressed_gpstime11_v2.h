// GPSTIME11 codec, version 2: the f64 GPS time as its 64-bit image. Up to
// four time sequences are tracked (interleaved flight lines); each predicts
// the next time as a multiple of its last difference.
#ifndef TIECHECK_COMPRESSION_ITEMCOMPRESSED_GPSTIME11_V2_H
#define TIECHECK_COMPRESSION_ITEMCOMPRESSED_GPSTIME11_V2_H

#include <cstdint>
#include <memory>

#include "compression/integercoder.h"
#include "compression/lasreaditem.h"
#include "compression/laswriteitem.h"

class ArithDecoder;
class ArithEncoder;
class SymbolModel;

class LASwriteItemCompressed_GPSTIME11_v2 : public LASwriteItemCompressed {
 public:
  explicit LASwriteItemCompressed_GPSTIME11_v2(ArithEncoder* enc);
  ~LASwriteItemCompressed_GPSTIME11_v2() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  bool write(const uint8_t* item, uint32_t& context) override;

 private:
  ArithEncoder* enc;
  uint32_t last;
  uint32_t next;
  uint64_t last_gpstime[4];
  int32_t last_gpstime_diff[4];
  int32_t multi_extreme_counter[4];

  std::unique_ptr<SymbolModel> m_gpstime_multi;
  std::unique_ptr<SymbolModel> m_gpstime_0diff;
  IntegerCoder ic_gpstime;
};

class LASreadItemCompressed_GPSTIME11_v2 : public LASreadItemCompressed {
 public:
  explicit LASreadItemCompressed_GPSTIME11_v2(ArithDecoder* dec);
  ~LASreadItemCompressed_GPSTIME11_v2() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  // Throws what the decoder throws, and arith_corrupt_data for a sequence
  // switch right after another (no writer produces that).
  void read(uint8_t* item, uint32_t& context) override;

 private:
  ArithDecoder* dec;
  uint32_t last;
  uint32_t next;
  uint64_t last_gpstime[4];
  int32_t last_gpstime_diff[4];
  int32_t multi_extreme_counter[4];

  std::unique_ptr<SymbolModel> m_gpstime_multi;
  std::unique_ptr<SymbolModel> m_gpstime_0diff;
  IntegerCoder ic_gpstime;
};

#endif
