// RGB12 codec, version 2: three u16 colours coded byte by byte against the
// last colour; green and blue are predicted from red's change, and a grey
// colour (all three equal) codes red only.
#ifndef TIECHECK_COMPRESSION_ITEMCOMPRESSED_RGB12_V2_H
#define TIECHECK_COMPRESSION_ITEMCOMPRESSED_RGB12_V2_H

#include <cstdint>
#include <memory>

#include "compression/lasreaditem.h"
#include "compression/laswriteitem.h"

class ArithDecoder;
class ArithEncoder;
class SymbolModel;

class LASwriteItemCompressed_RGB12_v2 : public LASwriteItemCompressed {
 public:
  explicit LASwriteItemCompressed_RGB12_v2(ArithEncoder* enc);
  ~LASwriteItemCompressed_RGB12_v2() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  bool write(const uint8_t* item, uint32_t& context) override;

 private:
  ArithEncoder* enc;
  uint16_t last_item[3];
  std::unique_ptr<SymbolModel> m_byte_used;
  std::unique_ptr<SymbolModel> m_rgb_diff[6];
};

class LASreadItemCompressed_RGB12_v2 : public LASreadItemCompressed {
 public:
  explicit LASreadItemCompressed_RGB12_v2(ArithDecoder* dec);
  ~LASreadItemCompressed_RGB12_v2() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  // Throws what the decoder throws.
  void read(uint8_t* item, uint32_t& context) override;

 private:
  ArithDecoder* dec;
  uint16_t last_item[3];
  std::unique_ptr<SymbolModel> m_byte_used;
  std::unique_ptr<SymbolModel> m_rgb_diff[6];
};

#endif
