#include "compression/itemcompressed_point10_v1.h"

#include <cstring>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/arithmodel.h"
#include "compression/itemcompressed_helpers.h"

namespace {

constexpr int kX = 0, kY = 4, kZ = 8, kIntensity = 12, kReturns = 14, kClassification = 15, kScanAngle = 16,
              kUserData = 17, kPointSource = 18;

int32_t median3(const int32_t v[3]) {
  if (v[0] < v[1]) {
    if (v[1] < v[2]) return v[1];
    return v[0] < v[2] ? v[2] : v[0];
  }
  if (v[0] < v[2]) return v[0];
  return v[1] < v[2] ? v[2] : v[1];
}

}  // namespace

LASwriteItemCompressed_POINT10_v1::LASwriteItemCompressed_POINT10_v1(ArithEncoder* enc)
    : enc(enc),
      ic_dx(enc, 32, 1, 8, 0),
      ic_dy(enc, 32, 20, 8, 0),
      ic_z(enc, 32, 20, 8, 0),
      m_changed_values(enc->create_symbol_model(64)),
      ic_intensity(enc, 16, 1, 8, 0),
      ic_scan_angle_rank(enc, 8, 2, 8, 0),
      ic_point_source_ID(enc, 16, 1, 8, 0) {
  memset(last_item, 0, sizeof(last_item));
}

LASwriteItemCompressed_POINT10_v1::~LASwriteItemCompressed_POINT10_v1() = default;

bool LASwriteItemCompressed_POINT10_v1::init(const uint8_t* item, uint32_t& /*context*/) {
  for (int i = 0; i < 3; i++) last_x_diff[i] = last_y_diff[i] = 0;
  last_incr = 0;
  ic_dx.init_encoding();
  ic_dy.init_encoding();
  ic_z.init_encoding();
  enc->init_symbol_model(*m_changed_values);
  ic_intensity.init_encoding();
  ic_scan_angle_rank.init_encoding();
  ic_point_source_ID.init_encoding();
  reinit_created(enc, m_bit_byte);
  reinit_created(enc, m_classification);
  reinit_created(enc, m_user_data);
  memcpy(last_item, item, sizeof(last_item));
  return true;
}

bool LASwriteItemCompressed_POINT10_v1::write(const uint8_t* item, uint32_t& /*context*/) {
  const int32_t x_diff = i32_sub(load_i32(item + kX), load_i32(last_item + kX));
  const int32_t y_diff = i32_sub(load_i32(item + kY), load_i32(last_item + kY));

  ic_dx.compress(median3(last_x_diff), x_diff, 0);
  uint32_t k_bits = ic_dx.get_k();
  ic_dy.compress(median3(last_y_diff), y_diff, k_bits < 19 ? k_bits : 19);
  k_bits = (k_bits + ic_dy.get_k()) / 2;
  ic_z.compress(load_i32(last_item + kZ), load_i32(item + kZ), k_bits < 19 ? k_bits : 19);

  const uint16_t last_intensity = load_u16(last_item + kIntensity);
  const uint16_t intensity = load_u16(item + kIntensity);
  const uint16_t last_point_source = load_u16(last_item + kPointSource);
  const uint16_t point_source = load_u16(item + kPointSource);
  const uint32_t changed_values = ((last_intensity != intensity) << 5) |
                                  ((last_item[kReturns] != item[kReturns]) << 4) |
                                  ((last_item[kClassification] != item[kClassification]) << 3) |
                                  ((last_item[kScanAngle] != item[kScanAngle]) << 2) |
                                  ((last_item[kUserData] != item[kUserData]) << 1) |
                                  (last_point_source != point_source);
  enc->encode_symbol(*m_changed_values, changed_values);
  if (changed_values & 32) ic_intensity.compress(last_intensity, intensity, 0);
  if (changed_values & 16) {
    enc->encode_symbol(model_on_first_use(enc, m_bit_byte[last_item[kReturns]]), item[kReturns]);
  }
  if (changed_values & 8) {
    enc->encode_symbol(model_on_first_use(enc, m_classification[last_item[kClassification]]),
                       item[kClassification]);
  }
  if (changed_values & 4) {
    ic_scan_angle_rank.compress(last_item[kScanAngle], item[kScanAngle], k_bits < 3);
  }
  if (changed_values & 2) {
    enc->encode_symbol(model_on_first_use(enc, m_user_data[last_item[kUserData]]), item[kUserData]);
  }
  if (changed_values & 1) ic_point_source_ID.compress(last_point_source, point_source, 0);

  last_x_diff[last_incr] = x_diff;
  last_y_diff[last_incr] = y_diff;
  last_incr = last_incr == 2 ? 0 : last_incr + 1;
  memcpy(last_item, item, sizeof(last_item));
  return true;
}

LASreadItemCompressed_POINT10_v1::LASreadItemCompressed_POINT10_v1(ArithDecoder* dec)
    : dec(dec),
      ic_dx(dec, 32, 1, 8, 0),
      ic_dy(dec, 32, 20, 8, 0),
      ic_z(dec, 32, 20, 8, 0),
      m_changed_values(dec->create_symbol_model(64)),
      ic_intensity(dec, 16, 1, 8, 0),
      ic_scan_angle_rank(dec, 8, 2, 8, 0),
      ic_point_source_ID(dec, 16, 1, 8, 0) {
  memset(last_item, 0, sizeof(last_item));
}

LASreadItemCompressed_POINT10_v1::~LASreadItemCompressed_POINT10_v1() = default;

bool LASreadItemCompressed_POINT10_v1::init(const uint8_t* item, uint32_t& /*context*/) {
  for (int i = 0; i < 3; i++) last_x_diff[i] = last_y_diff[i] = 0;
  last_incr = 0;
  ic_dx.init_decoding();
  ic_dy.init_decoding();
  ic_z.init_decoding();
  dec->init_symbol_model(*m_changed_values);
  ic_intensity.init_decoding();
  ic_scan_angle_rank.init_decoding();
  ic_point_source_ID.init_decoding();
  reinit_created(dec, m_bit_byte);
  reinit_created(dec, m_classification);
  reinit_created(dec, m_user_data);
  memcpy(last_item, item, sizeof(last_item));
  return true;
}

void LASreadItemCompressed_POINT10_v1::read(uint8_t* item, uint32_t& /*context*/) {
  const int32_t x_diff = ic_dx.decompress(median3(last_x_diff), 0);
  store_i32(last_item + kX, i32_add(load_i32(last_item + kX), x_diff));
  uint32_t k_bits = ic_dx.get_k();
  const int32_t y_diff = ic_dy.decompress(median3(last_y_diff), k_bits < 19 ? k_bits : 19);
  store_i32(last_item + kY, i32_add(load_i32(last_item + kY), y_diff));
  k_bits = (k_bits + ic_dy.get_k()) / 2;
  store_i32(last_item + kZ, ic_z.decompress(load_i32(last_item + kZ), k_bits < 19 ? k_bits : 19));

  const uint32_t changed_values = dec->decode_symbol(*m_changed_values);
  if (changed_values & 32) {
    store_u16(last_item + kIntensity,
              static_cast<uint16_t>(ic_intensity.decompress(load_u16(last_item + kIntensity), 0)));
  }
  if (changed_values & 16) {
    last_item[kReturns] =
        static_cast<uint8_t>(dec->decode_symbol(model_on_first_use(dec, m_bit_byte[last_item[kReturns]])));
  }
  if (changed_values & 8) {
    last_item[kClassification] = static_cast<uint8_t>(
        dec->decode_symbol(model_on_first_use(dec, m_classification[last_item[kClassification]])));
  }
  if (changed_values & 4) {
    last_item[kScanAngle] =
        static_cast<uint8_t>(ic_scan_angle_rank.decompress(last_item[kScanAngle], k_bits < 3) & 0xFF);
  }
  if (changed_values & 2) {
    last_item[kUserData] =
        static_cast<uint8_t>(dec->decode_symbol(model_on_first_use(dec, m_user_data[last_item[kUserData]])));
  }
  if (changed_values & 1) {
    store_u16(last_item + kPointSource,
              static_cast<uint16_t>(ic_point_source_ID.decompress(load_u16(last_item + kPointSource), 0)));
  }

  last_x_diff[last_incr] = x_diff;
  last_y_diff[last_incr] = y_diff;
  last_incr = last_incr == 2 ? 0 : last_incr + 1;
  memcpy(item, last_item, sizeof(last_item));
}
