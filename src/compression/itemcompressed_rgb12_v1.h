// RGB12 codec, version 1: the changed bytes of three u16 colours, each coded
// against the last colour's byte.
#ifndef TIECHECK_COMPRESSION_ITEMCOMPRESSED_RGB12_V1_H
#define TIECHECK_COMPRESSION_ITEMCOMPRESSED_RGB12_V1_H

#include <cstdint>
#include <memory>

#include "compression/integercoder.h"
#include "compression/lasreaditem.h"
#include "compression/laswriteitem.h"

class ArithDecoder;
class ArithEncoder;
class SymbolModel;

class LASwriteItemCompressed_RGB12_v1 : public LASwriteItemCompressed {
 public:
  explicit LASwriteItemCompressed_RGB12_v1(ArithEncoder* enc);
  ~LASwriteItemCompressed_RGB12_v1() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  bool write(const uint8_t* item, uint32_t& context) override;

 private:
  ArithEncoder* enc;
  uint16_t last_item[3];
  std::unique_ptr<SymbolModel> m_byte_used;
  IntegerCoder ic_rgb;
};

class LASreadItemCompressed_RGB12_v1 : public LASreadItemCompressed {
 public:
  explicit LASreadItemCompressed_RGB12_v1(ArithDecoder* dec);
  ~LASreadItemCompressed_RGB12_v1() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  // Throws what the decoder throws.
  void read(uint8_t* item, uint32_t& context) override;

 private:
  ArithDecoder* dec;
  uint16_t last_item[3];
  std::unique_ptr<SymbolModel> m_byte_used;
  IntegerCoder ic_rgb;
};

#endif
