// WAVEPACKET14 codec, version 3: the wave packet descriptor of a LAS 1.4
// point in a layer of its own, coded per scanner channel as WAVEPACKET13
// version 1 codes it (descriptor index, offset as same / back to back /
// 32-bit difference / raw, packet size, return point and x_t, y_t, z_t
// against the last packet). The layer is dropped from a chunk in which no
// packet differed from the last one.
//
// Contexts as in RGB14: version 3 predicts a switch back to a channel in use
// from the last packet of the channel current before it (the offset
// difference and kind stay the new channel's), version 4 from the channel's
// own.
#ifndef TIECHECK_COMPRESSION_ITEMCOMPRESSED_WAVEPACKET14_V3_H
#define TIECHECK_COMPRESSION_ITEMCOMPRESSED_WAVEPACKET14_V3_H

#include <cstdint>
#include <memory>

#include "compression/itemcompressed_layers.h"
#include "compression/lasreaditem.h"
#include "compression/laswriteitem.h"

class ArithDecoder;
class ArithEncoder;

class LASwriteItemCompressed_WAVEPACKET14_v3 : public LASwriteItemCompressed {
 public:
  // The outer encoder is used only for its stream.
  explicit LASwriteItemCompressed_WAVEPACKET14_v3(ArithEncoder* enc);
  ~LASwriteItemCompressed_WAVEPACKET14_v3() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  bool write(const uint8_t* item, uint32_t& context) override;
  bool chunk_sizes() override;
  bool chunk_bytes() override;

 protected:
  LASwriteItemCompressed_WAVEPACKET14_v3(ArithEncoder* enc, bool own_last_value);

 private:
  struct Context;
  void init_context(uint32_t k, const uint8_t* from);

  ArithEncoder* enc;
  bool own_last_value;
  LASlayersOut layers;
  std::unique_ptr<Context> contexts[4];
  uint32_t current_context = 0;
};

class LASreadItemCompressed_WAVEPACKET14_v3 : public LASreadItemCompressed {
 public:
  // The outer decoder is used only for its stream. The packet is decoded
  // with bit 0x400 of decompress_selective; otherwise every point keeps the
  // packet of the chunk's first point.
  LASreadItemCompressed_WAVEPACKET14_v3(ArithDecoder* dec, uint32_t decompress_selective);
  ~LASreadItemCompressed_WAVEPACKET14_v3() override;

  bool chunk_sizes() override;
  bool init(const uint8_t* item, uint32_t& context) override;
  void read(uint8_t* item, uint32_t& context) override;

 protected:
  LASreadItemCompressed_WAVEPACKET14_v3(ArithDecoder* dec, uint32_t decompress_selective, bool own_last_value);

 private:
  struct Context;
  void init_context(uint32_t k, const uint8_t* from);

  ArithDecoder* dec;
  bool own_last_value;
  LASlayersIn layers;
  std::unique_ptr<Context> contexts[4];
  uint32_t current_context = 0;
};

#endif
