// Item writers: each moves the bytes of one item of a point record from the
// item's place inside a LASpoint to a stream.
#ifndef TIECHECK_COMPRESSION_LASWRITEITEM_H
#define TIECHECK_COMPRESSION_LASWRITEITEM_H

#include <cstdint>

class ByteStreamOut;

class LASwriteItem {
 public:
  LASwriteItem() = default;
  LASwriteItem(const LASwriteItem&) = delete;
  LASwriteItem& operator=(const LASwriteItem&) = delete;
  virtual ~LASwriteItem() = default;

  // Writes the item found at `item` (its place inside the point); false
  // when the stream refuses the bytes. The context is the scanner channel
  // shared by the LAS 1.4 codecs of one point; raw writers leave it alone.
  [[nodiscard]] virtual bool write(const uint8_t* item, uint32_t& context) = 0;
};

// An item stored as its plain little-endian bytes.
class LASwriteItemRaw : public LASwriteItem {
 public:
  // Attaches the stream the item is written to (not owned).
  void init(ByteStreamOut* stream) { outstream = stream; }

 protected:
  ByteStreamOut* outstream = nullptr;
};

// An item coded by a codec. Its models start from the raw first point of a
// chunk (init); layered codecs write the sizes of their layers and then
// their bytes when the chunk ends (chunk_sizes, chunk_bytes).
class LASwriteItemCompressed : public LASwriteItem {
 public:
  [[nodiscard]] virtual bool init(const uint8_t* item, uint32_t& context) = 0;
  [[nodiscard]] virtual bool chunk_sizes() { return false; }
  [[nodiscard]] virtual bool chunk_bytes() { return false; }
};

#endif
