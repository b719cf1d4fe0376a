// WAVEPACKET13 codec, version 1: the 29-byte wave packet record. The byte
// offset is coded by kind (unchanged, right after the last packet, a 32-bit
// difference, or raw); the other fields against the last packet.
#ifndef TIECHECK_COMPRESSION_ITEMCOMPRESSED_WAVEPACKET13_V1_H
#define TIECHECK_COMPRESSION_ITEMCOMPRESSED_WAVEPACKET13_V1_H

#include <cstdint>
#include <memory>

#include "compression/integercoder.h"
#include "compression/lasreaditem.h"
#include "compression/laswriteitem.h"

class ArithDecoder;
class ArithEncoder;
class SymbolModel;

class LASwriteItemCompressed_WAVEPACKET13_v1 : public LASwriteItemCompressed {
 public:
  explicit LASwriteItemCompressed_WAVEPACKET13_v1(ArithEncoder* enc);
  ~LASwriteItemCompressed_WAVEPACKET13_v1() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  bool write(const uint8_t* item, uint32_t& context) override;

 private:
  ArithEncoder* enc;
  uint8_t last_item[28];  // the record after the descriptor index
  int32_t last_diff_32;
  uint32_t sym_last_offset_diff;

  std::unique_ptr<SymbolModel> m_packet_index;
  std::unique_ptr<SymbolModel> m_offset_diff[4];
  IntegerCoder ic_offset_diff;
  IntegerCoder ic_packet_size;
  IntegerCoder ic_return_point;
  IntegerCoder ic_xyz;
};

class LASreadItemCompressed_WAVEPACKET13_v1 : public LASreadItemCompressed {
 public:
  explicit LASreadItemCompressed_WAVEPACKET13_v1(ArithDecoder* dec);
  ~LASreadItemCompressed_WAVEPACKET13_v1() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  // Throws what the decoder throws.
  void read(uint8_t* item, uint32_t& context) override;

 private:
  ArithDecoder* dec;
  uint8_t last_item[28];
  int32_t last_diff_32;
  uint32_t sym_last_offset_diff;

  std::unique_ptr<SymbolModel> m_packet_index;
  std::unique_ptr<SymbolModel> m_offset_diff[4];
  IntegerCoder ic_offset_diff;
  IntegerCoder ic_packet_size;
  IntegerCoder ic_return_point;
  IntegerCoder ic_xyz;
};

#endif
