// Item readers: each moves the bytes of one item of a point record from a
// stream into the item's place inside a LASpoint.
#ifndef TIECHECK_COMPRESSION_LASREADITEM_H
#define TIECHECK_COMPRESSION_LASREADITEM_H

#include <cstdint>

class ByteStreamIn;

class LASreadItem {
 public:
  LASreadItem() = default;
  LASreadItem(const LASreadItem&) = delete;
  LASreadItem& operator=(const LASreadItem&) = delete;
  virtual ~LASreadItem() = default;

  // Reads the next item into `item` (its place inside the point). The
  // context is the scanner channel shared by the LAS 1.4 codecs of one point;
  // raw readers leave it alone. Throws what the stream throws at the end of
  // the data.
  virtual void read(uint8_t* item, uint32_t& context) = 0;
};

// An item stored as its plain little-endian bytes.
class LASreadItemRaw : public LASreadItem {
 public:
  // Attaches the stream the item is read from (not owned).
  void init(ByteStreamIn* stream) { instream = stream; }

 protected:
  ByteStreamIn* instream = nullptr;
};

// An item decoded by a codec. A chunk starts with a raw point from which the
// codec's models start (init); layered codecs first read the sizes of their
// layers (chunk_sizes).
class LASreadItemCompressed : public LASreadItem {
 public:
  virtual bool chunk_sizes() { return false; }
  virtual bool init(const uint8_t* item, uint32_t& context) = 0;
};

#endif
