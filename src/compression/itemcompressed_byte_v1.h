// BYTE codec, version 1: extra bytes, each coded against the same byte of the
// last point by an 8-bit integer coder with one context per byte.
#ifndef TIECHECK_COMPRESSION_ITEMCOMPRESSED_BYTE_V1_H
#define TIECHECK_COMPRESSION_ITEMCOMPRESSED_BYTE_V1_H

#include <cstdint>
#include <memory>
#include <vector>

#include "compression/integercoder.h"
#include "compression/lasreaditem.h"
#include "compression/laswriteitem.h"

class ArithDecoder;
class ArithEncoder;

class LASwriteItemCompressed_BYTE_v1 : public LASwriteItemCompressed {
 public:
  // number: the item's size in bytes.
  LASwriteItemCompressed_BYTE_v1(ArithEncoder* enc, uint32_t number);
  ~LASwriteItemCompressed_BYTE_v1() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  bool write(const uint8_t* item, uint32_t& context) override;

 private:
  uint32_t number;
  std::vector<uint8_t> last_item;
  IntegerCoder ic_byte;
};

class LASreadItemCompressed_BYTE_v1 : public LASreadItemCompressed {
 public:
  LASreadItemCompressed_BYTE_v1(ArithDecoder* dec, uint32_t number);
  ~LASreadItemCompressed_BYTE_v1() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  // Throws what the decoder throws.
  void read(uint8_t* item, uint32_t& context) override;

 private:
  uint32_t number;
  std::vector<uint8_t> last_item;
  IntegerCoder ic_byte;
};

#endif
