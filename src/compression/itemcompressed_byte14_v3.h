// BYTE14 codec, version 3: the N extra bytes of a LAS 1.4 point, each in a
// layer of its own, coded per scanner channel as its difference to the same
// byte of the last point. A byte that never changes within a chunk stores
// no layer.
//
// Contexts as in RGB14: version 3 predicts a switch back to a channel in use
// from the last bytes of the channel current before it, version 4 from the
// channel's own.
#ifndef TIECHECK_COMPRESSION_ITEMCOMPRESSED_BYTE14_V3_H
#define TIECHECK_COMPRESSION_ITEMCOMPRESSED_BYTE14_V3_H

#include <cstdint>
#include <memory>

#include "compression/itemcompressed_layers.h"
#include "compression/lasreaditem.h"
#include "compression/laswriteitem.h"

class ArithDecoder;
class ArithEncoder;

class LASwriteItemCompressed_BYTE14_v3 : public LASwriteItemCompressed {
 public:
  // The outer encoder is used only for its stream; number: the item's size
  // in bytes (at least 1).
  LASwriteItemCompressed_BYTE14_v3(ArithEncoder* enc, uint32_t number);
  ~LASwriteItemCompressed_BYTE14_v3() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  bool write(const uint8_t* item, uint32_t& context) override;
  bool chunk_sizes() override;
  bool chunk_bytes() override;

 protected:
  LASwriteItemCompressed_BYTE14_v3(ArithEncoder* enc, uint32_t number, bool own_last_value);

 private:
  struct Context;
  void init_context(uint32_t k, const uint8_t* from);

  ArithEncoder* enc;
  uint32_t number;
  bool own_last_value;
  LASlayersOut layers;
  std::unique_ptr<Context> contexts[4];
  uint32_t current_context = 0;
};

class LASreadItemCompressed_BYTE14_v3 : public LASreadItemCompressed {
 public:
  // The outer decoder is used only for its stream. Byte i below 16 is
  // decoded when decompress_selective has bit 0x10000 << i; bytes 16 and
  // above are always decoded. A byte not decoded keeps the value of the
  // chunk's first point.
  LASreadItemCompressed_BYTE14_v3(ArithDecoder* dec, uint32_t number, uint32_t decompress_selective);
  ~LASreadItemCompressed_BYTE14_v3() override;

  bool chunk_sizes() override;
  bool init(const uint8_t* item, uint32_t& context) override;
  void read(uint8_t* item, uint32_t& context) override;

 protected:
  LASreadItemCompressed_BYTE14_v3(ArithDecoder* dec, uint32_t number, uint32_t decompress_selective,
                                  bool own_last_value);

 private:
  struct Context;
  void init_context(uint32_t k, const uint8_t* from);

  ArithDecoder* dec;
  uint32_t number;
  bool own_last_value;
  LASlayersIn layers;
  std::unique_ptr<Context> contexts[4];
  uint32_t current_context = 0;
};

#endif
