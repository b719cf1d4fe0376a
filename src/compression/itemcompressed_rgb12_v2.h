// RGB12 codec, version 2: three u16 colours coded byte by byte against the
// last colour; green and blue are predicted from red's change, and a grey
// colour (all three equal) codes red only.
#ifndef TIECHECK_COMPRESSION_ITEMCOMPRESSED_RGB12_V2_H
#define TIECHECK_COMPRESSION_ITEMCOMPRESSED_RGB12_V2_H

#include <cstdint>
#include <memory>

#include "compression/lasreaditem.h"
#include "compression/laswriteitem.h"

class ArithDecoder;
class ArithEncoder;
class SymbolModel;

// The colour models: the changed-bytes model and one model per byte
// difference. The layered RGB14 and RGBNIR14 codecs keep one set per
// scanner channel and code each colour as this codec does.
struct LASrgbModels {
  std::unique_ptr<SymbolModel> byte_used;  // 128 symbols
  std::unique_ptr<SymbolModel> diff[6];    // 256 symbols each

  template <typename Coder>
  explicit LASrgbModels(Coder* coder) : byte_used(coder->create_symbol_model(128)) {
    for (auto& m : diff) m.reset(coder->create_symbol_model(256));
  }
  ~LASrgbModels();
  void init();
};

// Codes colour rgb (three u16) against the last colour; returns the
// changed-bytes mask coded (0 when nothing changed and the colour is grey).
uint32_t write_rgb_change(ArithEncoder* enc, LASrgbModels& models, const uint16_t last[3], const uint16_t rgb[3]);
// Decodes a colour coded by write_rgb_change into rgb. Throws what the
// decoder throws.
void read_rgb_change(ArithDecoder* dec, LASrgbModels& models, const uint16_t last[3], uint16_t rgb[3]);

class LASwriteItemCompressed_RGB12_v2 : public LASwriteItemCompressed {
 public:
  explicit LASwriteItemCompressed_RGB12_v2(ArithEncoder* enc);
  ~LASwriteItemCompressed_RGB12_v2() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  bool write(const uint8_t* item, uint32_t& context) override;

 private:
  ArithEncoder* enc;
  uint16_t last_item[3];
  LASrgbModels models;
};

class LASreadItemCompressed_RGB12_v2 : public LASreadItemCompressed {
 public:
  explicit LASreadItemCompressed_RGB12_v2(ArithDecoder* dec);
  ~LASreadItemCompressed_RGB12_v2() override;

  bool init(const uint8_t* item, uint32_t& context) override;
  // Throws what the decoder throws.
  void read(uint8_t* item, uint32_t& context) override;

 private:
  ArithDecoder* dec;
  uint16_t last_item[3];
  LASrgbModels models;
};

#endif
