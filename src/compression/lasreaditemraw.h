// Raw item readers: one per item kind, each reading the item's plain
// little-endian bytes. The POINT14 reader converts its 30-byte record into
// the legacy and LAS 1.4 fields of the point.
#ifndef TIECHECK_COMPRESSION_LASREADITEMRAW_H
#define TIECHECK_COMPRESSION_LASREADITEMRAW_H

#include <cstdint>
#include <memory>

#include "compression/lasreaditem.h"
#include "las/lasitem.h"

// Extra bytes (BYTE and BYTE14) of any size.
class LASreadItemRaw_BYTE : public LASreadItemRaw {
 public:
  explicit LASreadItemRaw_BYTE(uint32_t number) : number(number) {}
  void read(uint8_t* item, uint32_t& context) override;

 private:
  uint32_t number;
};

// The 20 bytes of the legacy core record, laid out in the point as on disk.
class LASreadItemRaw_POINT10_LE : public LASreadItemRaw {
 public:
  void read(uint8_t* item, uint32_t& context) override;
};

class LASreadItemRaw_GPSTIME11_LE : public LASreadItemRaw {
 public:
  void read(uint8_t* item, uint32_t& context) override;
};

// Red, green and blue (RGB12 and RGB14).
class LASreadItemRaw_RGB12_LE : public LASreadItemRaw {
 public:
  void read(uint8_t* item, uint32_t& context) override;
};

// The 29-byte wave packet (WAVEPACKET13 and WAVEPACKET14).
class LASreadItemRaw_WAVEPACKET13_LE : public LASreadItemRaw {
 public:
  void read(uint8_t* item, uint32_t& context) override;
};

class LASreadItemRaw_RGBNIR14_LE : public LASreadItemRaw {
 public:
  void read(uint8_t* item, uint32_t& context) override;
};

// The LAS 1.4 core record; `item` is the point's LASpointcore.
class LASreadItemRaw_POINT14_LE : public LASreadItemRaw {
 public:
  void read(uint8_t* item, uint32_t& context) override;

 private:
  uint8_t buffer[30] = {};
};

// The raw reader of an item, or null for a type that has none.
std::unique_ptr<LASreadItemRaw> make_raw_item_reader(const LASitem& item);

#endif
