// Raw item writers: one per item kind, each writing the item's plain
// little-endian bytes. The POINT14 writer converts the point's legacy and
// LAS 1.4 fields into the 30-byte record.
#ifndef TIECHECK_COMPRESSION_LASWRITEITEMRAW_H
#define TIECHECK_COMPRESSION_LASWRITEITEMRAW_H

#include <cstdint>
#include <memory>

#include "compression/laswriteitem.h"
#include "las/lasitem.h"

// Extra bytes (BYTE and BYTE14) of any size.
class LASwriteItemRaw_BYTE : public LASwriteItemRaw {
 public:
  explicit LASwriteItemRaw_BYTE(uint32_t number) : number(number) {}
  bool write(const uint8_t* item, uint32_t& context) override;

 private:
  uint32_t number;
};

class LASwriteItemRaw_POINT10_LE : public LASwriteItemRaw {
 public:
  bool write(const uint8_t* item, uint32_t& context) override;
};

class LASwriteItemRaw_GPSTIME11_LE : public LASwriteItemRaw {
 public:
  bool write(const uint8_t* item, uint32_t& context) override;
};

// Red, green and blue (RGB12 and RGB14).
class LASwriteItemRaw_RGB12_LE : public LASwriteItemRaw {
 public:
  bool write(const uint8_t* item, uint32_t& context) override;
};

// The 29-byte wave packet (WAVEPACKET13 and WAVEPACKET14).
class LASwriteItemRaw_WAVEPACKET13_LE : public LASwriteItemRaw {
 public:
  bool write(const uint8_t* item, uint32_t& context) override;
};

class LASwriteItemRaw_RGBNIR14_LE : public LASwriteItemRaw {
 public:
  bool write(const uint8_t* item, uint32_t& context) override;
};

// The LAS 1.4 core record; `item` is the point's LASpointcore.
class LASwriteItemRaw_POINT14_LE : public LASwriteItemRaw {
 public:
  bool write(const uint8_t* item, uint32_t& context) override;

 private:
  uint8_t buffer[30] = {};
};

// The raw writer of an item, or null for a type that has none.
std::unique_ptr<LASwriteItemRaw> make_raw_item_writer(const LASitem& item);

#endif
