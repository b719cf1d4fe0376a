// RGB14 codec, version 3: the colour of a LAS 1.4 point in a layer of its
// own, coded per scanner channel as RGB12 version 2 codes it: bytes that
// changed against the last colour, green and blue predicted from red's
// change, a grey colour coded by red alone. A chunk in which no colour
// byte changed and every colour is grey stores no layer.
//
// The context (scanner channel) comes from the POINT14 codec of the same
// point. Version 3: switching back to a channel already in use, the point is
// predicted from the last colour of the channel current before it, which
// also receives the point; version 4 predicts from the channel's own.
#ifndef TIECHECK_COMPRESSION_ITEMCOMPRESSED_RGB14_V3_H
#define TIECHECK_COMPRESSION_ITEMCOMPRESSED_RGB14_V3_H

#include <cstdint>
#include <memory>

#include "compression/itemcompressed_layers.h"
#include "compression/itemcompressed_rgb12_v2.h"
#include "compression/lasreaditem.h"
#include "compression/laswriteitem.h"

class ArithDecoder;
class ArithEncoder;
class SymbolModel;

class LASwriteItemCompressed_RGB14_v3 : public LASwriteItemCompressed {
 public:
  // The outer encoder is used only for its stream.
  explicit LASwriteItemCompressed_RGB14_v3(ArithEncoder* enc);
  ~LASwriteItemCompressed_RGB14_v3() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  bool write(const uint8_t* item, uint32_t& context) override;
  bool chunk_sizes() override;
  bool chunk_bytes() override;

 protected:
  LASwriteItemCompressed_RGB14_v3(ArithEncoder* enc, bool own_last_value);

 private:
  struct Context;
  void init_context(uint32_t k, const uint8_t* from);

  ArithEncoder* enc;
  bool own_last_value;
  LASlayersOut layers;
  std::unique_ptr<Context> contexts[4];
  uint32_t current_context = 0;
};

class LASreadItemCompressed_RGB14_v3 : public LASreadItemCompressed {
 public:
  // The outer decoder is used only for its stream. The colour is decoded
  // when decompress_selective has bit 0x100; otherwise every point keeps
  // the colour of the chunk's first point.
  LASreadItemCompressed_RGB14_v3(ArithDecoder* dec, uint32_t decompress_selective);
  ~LASreadItemCompressed_RGB14_v3() override;

  bool chunk_sizes() override;
  bool init(const uint8_t* item, uint32_t& context) override;
  void read(uint8_t* item, uint32_t& context) override;

 protected:
  LASreadItemCompressed_RGB14_v3(ArithDecoder* dec, uint32_t decompress_selective, bool own_last_value);

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
