// RGBNIR14 codec, version 3: colour and near infrared of a LAS 1.4 point in
// two layers, RGB (coded as by RGB14) and NIR (each byte's change against
// the last value), per scanner channel. Either layer is dropped from a chunk
// in which it never changed (for RGB: and every colour is grey).
//
// Contexts as in RGB14: version 3 predicts a switch back to a channel in use
// from the last value of the channel current before it, version 4 from the
// channel's own.
#ifndef TIECHECK_COMPRESSION_ITEMCOMPRESSED_RGBNIR14_V3_H
#define TIECHECK_COMPRESSION_ITEMCOMPRESSED_RGBNIR14_V3_H

#include <cstdint>
#include <memory>

#include "compression/itemcompressed_layers.h"
#include "compression/lasreaditem.h"
#include "compression/laswriteitem.h"

class ArithDecoder;
class ArithEncoder;

class LASwriteItemCompressed_RGBNIR14_v3 : public LASwriteItemCompressed {
 public:
  // The outer encoder is used only for its stream.
  explicit LASwriteItemCompressed_RGBNIR14_v3(ArithEncoder* enc);
  ~LASwriteItemCompressed_RGBNIR14_v3() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  bool write(const uint8_t* item, uint32_t& context) override;
  bool chunk_sizes() override;
  bool chunk_bytes() override;

 protected:
  LASwriteItemCompressed_RGBNIR14_v3(ArithEncoder* enc, bool own_last_value);

 private:
  struct Context;
  void init_context(uint32_t k, const uint8_t* from);

  ArithEncoder* enc;
  bool own_last_value;
  LASlayersOut layers;
  std::unique_ptr<Context> contexts[4];
  uint32_t current_context = 0;
};

class LASreadItemCompressed_RGBNIR14_v3 : public LASreadItemCompressed {
 public:
  // The outer decoder is used only for its stream. The colour is decoded
  // with bit 0x100 of decompress_selective, the near infrared with 0x200;
  // what is not decoded keeps the value of the chunk's first point.
  LASreadItemCompressed_RGBNIR14_v3(ArithDecoder* dec, uint32_t decompress_selective);
  ~LASreadItemCompressed_RGBNIR14_v3() override;

  bool chunk_sizes() override;
  bool init(const uint8_t* item, uint32_t& context) override;
  void read(uint8_t* item, uint32_t& context) override;

 protected:
  LASreadItemCompressed_RGBNIR14_v3(ArithDecoder* dec, uint32_t decompress_selective, bool own_last_value);

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
