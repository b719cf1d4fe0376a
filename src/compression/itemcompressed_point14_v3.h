// POINT14 codec, version 3: the LAS 1.4 point core coded in nine layers
// (channel, returns and XY; Z; classification; flags; intensity; scan angle;
// user data; point source ID; GPS time), each an arithmetic code of its own.
// A reader decodes only the layers it is asked for, and a layer in which no
// point of the chunk changed is not stored at all.
//
// Points of different scanner channels interleave; each channel (0 to 3) has
// a context of its own (models, predictions, last point), created when the
// channel first occurs in a chunk. The channel is handed to the items that
// follow POINT14 through the context argument: version 3 hands it over only
// at the chunk's first point and where the channel changes (0 otherwise),
// version 4 at every point.
//
// The item bytes are the LASpointcore of a point (LASpoint::point[i] for the
// POINT14 item); the codec codes the fields as the 30-byte POINT14 record
// holds them, so that a round trip through it equals one through the raw
// record.
#ifndef TIECHECK_COMPRESSION_ITEMCOMPRESSED_POINT14_V3_H
#define TIECHECK_COMPRESSION_ITEMCOMPRESSED_POINT14_V3_H

#include <cstdint>
#include <memory>

#include "compression/itemcompressed_layers.h"
#include "compression/lasreaditem.h"
#include "compression/laswriteitem.h"

class ArithDecoder;
class ArithEncoder;

class LASwriteItemCompressed_POINT14_v3 : public LASwriteItemCompressed {
 public:
  // The outer encoder is used only for its stream, to which chunk_sizes and
  // chunk_bytes write.
  explicit LASwriteItemCompressed_POINT14_v3(ArithEncoder* enc);
  ~LASwriteItemCompressed_POINT14_v3() override;

  // Starts a chunk whose raw first point is item; sets context to its
  // channel. False when a layer stream cannot be rewound.
  bool init(const uint8_t* item, uint32_t& context) override;
  bool write(const uint8_t* item, uint32_t& context) override;
  // Ends the chunk: the nine layer sizes (0 for a layer in which nothing
  // changed), then the bytes of the layers kept. False on a failed write.
  bool chunk_sizes() override;
  bool chunk_bytes() override;

 protected:
  LASwriteItemCompressed_POINT14_v3(ArithEncoder* enc, bool hand_over_every_channel);

 private:
  struct Context;
  void init_context(uint32_t c, const uint8_t* raw);
  void write_gps_time(Context& ctx, uint64_t gps_time);

  ArithEncoder* enc;
  bool hand_over_every_channel;
  LASlayersOut layers;
  std::unique_ptr<Context> contexts[4];
  uint32_t current_context = 0;
};

class LASreadItemCompressed_POINT14_v3 : public LASreadItemCompressed {
 public:
  // The outer decoder is used only for its stream, from which chunk_sizes
  // and init read. decompress_selective: the layers to decode (bits 0x1 Z,
  // 0x2 classification, 0x4 flags, 0x8 intensity, 0x10 scan angle, 0x20
  // user data, 0x40 point source ID, 0x80 GPS time); channel, returns, X and
  // Y are always decoded. Fields not decoded keep the values of the chunk's
  // first point.
  LASreadItemCompressed_POINT14_v3(ArithDecoder* dec, uint32_t decompress_selective);
  ~LASreadItemCompressed_POINT14_v3() override;

  // Reads the nine layer sizes. Throws what the stream throws.
  bool chunk_sizes() override;
  // Loads the requested layers and starts from the raw first point. False
  // when the layers cannot be held in memory; throws what the stream and the
  // decoders throw.
  bool init(const uint8_t* item, uint32_t& context) override;
  // Throws what the decoders throw, and arith_corrupt_data for a time code
  // no writer produces.
  void read(uint8_t* item, uint32_t& context) override;

 protected:
  LASreadItemCompressed_POINT14_v3(ArithDecoder* dec, uint32_t decompress_selective, bool hand_over_every_channel);

 private:
  struct Context;
  void init_context(uint32_t c, const uint8_t* raw);
  void read_gps_time(Context& ctx);

  ArithDecoder* dec;
  bool hand_over_every_channel;
  LASlayersIn layers;
  std::unique_ptr<Context> contexts[4];
  uint32_t current_context = 0;
};

#endif
