#include "compression/itemcompressed_point10_v2.h"

#include <cstring>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/arithmodel.h"
#include "compression/itemcompressed_helpers.h"

namespace {

// Item offsets.
constexpr int kX = 0, kY = 4, kZ = 8, kIntensity = 12, kReturns = 14, kClassification = 15, kScanAngle = 16,
              kUserData = 17, kPointSource = 18;

// [number of returns][return number]: which intensity memory and coordinate
// medians a point uses. Single returns (1 of 1) get slot 0; first, last and
// intermediate returns of multi-return pulses get their own slots; invalid
// combinations share the upper slots.
constexpr uint8_t number_return_map[8][8] = {
    {15, 14, 13, 12, 11, 10, 9, 8}, {14, 0, 1, 3, 6, 10, 10, 9},   {13, 1, 2, 4, 7, 11, 11, 10},
    {12, 3, 4, 5, 8, 12, 12, 11},   {11, 6, 7, 8, 9, 13, 13, 12},  {10, 10, 11, 12, 13, 14, 14, 13},
    {9, 10, 11, 12, 13, 14, 15, 14}, {8, 9, 10, 11, 12, 13, 14, 15}};

// [number of returns][return number]: |n - r|, the height memory.
constexpr uint8_t number_return_level[8][8] = {
    {0, 1, 2, 3, 4, 5, 6, 7}, {1, 0, 1, 2, 3, 4, 5, 6}, {2, 1, 0, 1, 2, 3, 4, 5}, {3, 2, 1, 0, 1, 2, 3, 4},
    {4, 3, 2, 1, 0, 1, 2, 3}, {5, 4, 3, 2, 1, 0, 1, 2}, {6, 5, 4, 3, 2, 1, 0, 1}, {7, 6, 5, 4, 3, 2, 1, 0}};

// Context of dy and z from the magnitude class k of earlier coordinates:
// even classes only, capped.
inline uint32_t k_context(uint32_t k, uint32_t cap) { return k < cap ? (k & ~1u) : cap; }

}  // namespace

LASwriteItemCompressed_POINT10_v2::LASwriteItemCompressed_POINT10_v2(ArithEncoder* enc)
    : enc(enc),
      m_changed_values(enc->create_symbol_model(64)),
      ic_intensity(enc, 16, 4, 8, 0),
      m_scan_angle_rank{std::unique_ptr<SymbolModel>(enc->create_symbol_model(256)),
                        std::unique_ptr<SymbolModel>(enc->create_symbol_model(256))},
      ic_point_source_ID(enc, 16, 1, 8, 0),
      ic_dx(enc, 32, 2, 8, 0),
      ic_dy(enc, 32, 22, 8, 0),
      ic_z(enc, 32, 20, 8, 0) {
  memset(last_item, 0, sizeof(last_item));
}

LASwriteItemCompressed_POINT10_v2::~LASwriteItemCompressed_POINT10_v2() = default;

bool LASwriteItemCompressed_POINT10_v2::init(const uint8_t* item, uint32_t& /*context*/) {
  for (int i = 0; i < 16; i++) {
    last_x_diff_median5[i].init();
    last_y_diff_median5[i].init();
    last_intensity[i] = 0;
    last_height[i / 2] = 0;
  }
  enc->init_symbol_model(*m_changed_values);
  ic_intensity.init_encoding();
  enc->init_symbol_model(*m_scan_angle_rank[0]);
  enc->init_symbol_model(*m_scan_angle_rank[1]);
  ic_point_source_ID.init_encoding();
  reinit_created(enc, m_bit_byte);
  reinit_created(enc, m_classification);
  reinit_created(enc, m_user_data);
  ic_dx.init_encoding();
  ic_dy.init_encoding();
  ic_z.init_encoding();
  memcpy(last_item, item, sizeof(last_item));
  return true;
}

bool LASwriteItemCompressed_POINT10_v2::write(const uint8_t* item, uint32_t& /*context*/) {
  const uint32_t r = item[kReturns] & 7;
  const uint32_t n = (item[kReturns] >> 3) & 7;
  const uint32_t m = number_return_map[n][r];
  const uint32_t l = number_return_level[n][r];
  const uint16_t intensity = load_u16(item + kIntensity);
  const uint16_t last_point_source = load_u16(last_item + kPointSource);
  const uint16_t point_source = load_u16(item + kPointSource);

  const uint32_t changed_values = ((last_item[kReturns] != item[kReturns]) << 5) |
                                  ((last_intensity[m] != intensity) << 4) |
                                  ((last_item[kClassification] != item[kClassification]) << 3) |
                                  ((last_item[kScanAngle] != item[kScanAngle]) << 2) |
                                  ((last_item[kUserData] != item[kUserData]) << 1) |
                                  (last_point_source != point_source);
  enc->encode_symbol(*m_changed_values, changed_values);

  if (changed_values & 32) {
    enc->encode_symbol(model_on_first_use(enc, m_bit_byte[last_item[kReturns]]), item[kReturns]);
  }
  if (changed_values & 16) {
    ic_intensity.compress(last_intensity[m], intensity, m < 3 ? m : 3);
    last_intensity[m] = intensity;
  }
  if (changed_values & 8) {
    enc->encode_symbol(model_on_first_use(enc, m_classification[last_item[kClassification]]),
                       item[kClassification]);
  }
  if (changed_values & 4) {
    enc->encode_symbol(*m_scan_angle_rank[(item[kReturns] >> 6) & 1],
                       u8_fold(item[kScanAngle] - last_item[kScanAngle]));
  }
  if (changed_values & 2) {
    enc->encode_symbol(model_on_first_use(enc, m_user_data[last_item[kUserData]]), item[kUserData]);
  }
  if (changed_values & 1) {
    ic_point_source_ID.compress(last_point_source, point_source, 0);
  }

  const int32_t dx = i32_sub(load_i32(item + kX), load_i32(last_item + kX));
  ic_dx.compress(last_x_diff_median5[m].get(), dx, n == 1);
  last_x_diff_median5[m].add(dx);

  const uint32_t k_dx = ic_dx.get_k();
  const int32_t dy = i32_sub(load_i32(item + kY), load_i32(last_item + kY));
  ic_dy.compress(last_y_diff_median5[m].get(), dy, (n == 1) + k_context(k_dx, 20));
  last_y_diff_median5[m].add(dy);

  const uint32_t k_z = (ic_dx.get_k() + ic_dy.get_k()) / 2;
  const int32_t z = load_i32(item + kZ);
  ic_z.compress(last_height[l], z, (n == 1) + k_context(k_z, 18));
  last_height[l] = z;

  memcpy(last_item, item, sizeof(last_item));
  return true;
}

LASreadItemCompressed_POINT10_v2::LASreadItemCompressed_POINT10_v2(ArithDecoder* dec)
    : dec(dec),
      m_changed_values(dec->create_symbol_model(64)),
      ic_intensity(dec, 16, 4, 8, 0),
      m_scan_angle_rank{std::unique_ptr<SymbolModel>(dec->create_symbol_model(256)),
                        std::unique_ptr<SymbolModel>(dec->create_symbol_model(256))},
      ic_point_source_ID(dec, 16, 1, 8, 0),
      ic_dx(dec, 32, 2, 8, 0),
      ic_dy(dec, 32, 22, 8, 0),
      ic_z(dec, 32, 20, 8, 0) {
  memset(last_item, 0, sizeof(last_item));
}

LASreadItemCompressed_POINT10_v2::~LASreadItemCompressed_POINT10_v2() = default;

bool LASreadItemCompressed_POINT10_v2::init(const uint8_t* item, uint32_t& /*context*/) {
  for (int i = 0; i < 16; i++) {
    last_x_diff_median5[i].init();
    last_y_diff_median5[i].init();
    last_intensity[i] = 0;
    last_height[i / 2] = 0;
  }
  dec->init_symbol_model(*m_changed_values);
  ic_intensity.init_decoding();
  dec->init_symbol_model(*m_scan_angle_rank[0]);
  dec->init_symbol_model(*m_scan_angle_rank[1]);
  ic_point_source_ID.init_decoding();
  reinit_created(dec, m_bit_byte);
  reinit_created(dec, m_classification);
  reinit_created(dec, m_user_data);
  ic_dx.init_decoding();
  ic_dy.init_decoding();
  ic_z.init_decoding();
  memcpy(last_item, item, sizeof(last_item));
  return true;
}

void LASreadItemCompressed_POINT10_v2::read(uint8_t* item, uint32_t& /*context*/) {
  ArithDecoder::State s = dec->state();
  const uint32_t changed_values = dec->decode_symbol(s, *m_changed_values);
  uint32_t r, n, m, l;
  if (changed_values) {
    // The returns byte comes first: the return position and the scan
    // direction of the new point select what follows.
    if (changed_values & 32) {
      last_item[kReturns] =
          static_cast<uint8_t>(dec->decode_symbol(s, model_on_first_use(dec, m_bit_byte[last_item[kReturns]])));
    }
    r = last_item[kReturns] & 7;
    n = (last_item[kReturns] >> 3) & 7;
    m = number_return_map[n][r];
    l = number_return_level[n][r];
    if (changed_values & 16) {
      last_intensity[m] = static_cast<uint16_t>(ic_intensity.decompress(s, last_intensity[m], m < 3 ? m : 3));
    }
    if (changed_values & 8) {
      last_item[kClassification] = static_cast<uint8_t>(
          dec->decode_symbol(s, model_on_first_use(dec, m_classification[last_item[kClassification]])));
    }
    if (changed_values & 4) {
      const int32_t diff = static_cast<int32_t>(dec->decode_symbol(s, *m_scan_angle_rank[(last_item[kReturns] >> 6) & 1]));
      last_item[kScanAngle] = u8_fold(diff + last_item[kScanAngle]);
    }
    if (changed_values & 2) {
      last_item[kUserData] =
          static_cast<uint8_t>(dec->decode_symbol(s, model_on_first_use(dec, m_user_data[last_item[kUserData]])));
    }
    if (changed_values & 1) {
      store_u16(last_item + kPointSource,
                static_cast<uint16_t>(ic_point_source_ID.decompress(s, load_u16(last_item + kPointSource), 0)));
    }
  } else {
    r = last_item[kReturns] & 7;
    n = (last_item[kReturns] >> 3) & 7;
    m = number_return_map[n][r];
    l = number_return_level[n][r];
  }
  // Unchanged means equal to the intensity remembered for this return
  // position, which is what the writer compared against.
  store_u16(last_item + kIntensity, last_intensity[m]);

  const int32_t dx = ic_dx.decompress(s, last_x_diff_median5[m].get(), n == 1);
  store_i32(last_item + kX, i32_add(load_i32(last_item + kX), dx));
  last_x_diff_median5[m].add(dx);

  const uint32_t k_dx = ic_dx.get_k();
  const int32_t dy = ic_dy.decompress(s, last_y_diff_median5[m].get(), (n == 1) + k_context(k_dx, 20));
  store_i32(last_item + kY, i32_add(load_i32(last_item + kY), dy));
  last_y_diff_median5[m].add(dy);

  const uint32_t k_z = (ic_dx.get_k() + ic_dy.get_k()) / 2;
  const int32_t z = ic_z.decompress(s, last_height[l], (n == 1) + k_context(k_z, 18));
  store_i32(last_item + kZ, z);
  last_height[l] = z;

  dec->set_state(s);
  memcpy(item, last_item, sizeof(last_item));
}
