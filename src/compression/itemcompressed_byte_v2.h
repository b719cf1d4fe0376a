// BYTE codec, version 2: extra bytes, each coded as its difference to the
// same byte of the last point with a model of its own.
#ifndef TIECHECK_COMPRESSION_ITEMCOMPRESSED_BYTE_V2_H
#define TIECHECK_COMPRESSION_ITEMCOMPRESSED_BYTE_V2_H

#include <cstdint>
#include <memory>
#include <vector>

#include "compression/lasreaditem.h"
#include "compression/laswriteitem.h"

class ArithDecoder;
class ArithEncoder;
class SymbolModel;

class LASwriteItemCompressed_BYTE_v2 : public LASwriteItemCompressed {
 public:
  // number: the item's size in bytes.
  LASwriteItemCompressed_BYTE_v2(ArithEncoder* enc, uint32_t number);
  ~LASwriteItemCompressed_BYTE_v2() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  bool write(const uint8_t* item, uint32_t& context) override;

 private:
  ArithEncoder* enc;
  uint32_t number;
  std::vector<uint8_t> last_item;
  std::vector<std::unique_ptr<SymbolModel>> m_byte;
};

class LASreadItemCompressed_BYTE_v2 : public LASreadItemCompressed {
 public:
  LASreadItemCompressed_BYTE_v2(ArithDecoder* dec, uint32_t number);
  ~LASreadItemCompressed_BYTE_v2() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  // Throws what the decoder throws.
  void read(uint8_t* item, uint32_t& context) override;

 private:
  ArithDecoder* dec;
  uint32_t number;
  std::vector<uint8_t> last_item;
  std::vector<std::unique_ptr<SymbolModel>> m_byte;
};

#endif
