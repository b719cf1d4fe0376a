#include "compression/itemcompressed_wavepacket13_v1.h"

#include <cstring>

#include "compression/arithdecoder.h"
#include "compression/arithencoder.h"
#include "compression/arithmodel.h"
#include "compression/itemcompressed_helpers.h"

namespace {

// Offsets inside the 28 bytes after the descriptor index.
constexpr int kOffset = 0, kPacketSize = 8, kReturnPoint = 12, kXt = 16, kYt = 20, kZt = 24;

// Offset kinds.
constexpr uint32_t kSameOffset = 0;
constexpr uint32_t kBackToBack = 1;  // offset = last offset + last packet size
constexpr uint32_t kDifference = 2;  // 32-bit difference to the last offset
constexpr uint32_t kRawOffset = 3;

}  // namespace

LASwriteItemCompressed_WAVEPACKET13_v1::LASwriteItemCompressed_WAVEPACKET13_v1(ArithEncoder* enc)
    : enc(enc),
      m_packet_index(enc->create_symbol_model(256)),
      ic_offset_diff(enc, 32, 1, 8, 0),
      ic_packet_size(enc, 32, 1, 8, 0),
      ic_return_point(enc, 32, 1, 8, 0),
      ic_xyz(enc, 32, 3, 8, 0) {
  for (auto& m : m_offset_diff) m.reset(enc->create_symbol_model(4));
  memset(last_item, 0, sizeof(last_item));
}

LASwriteItemCompressed_WAVEPACKET13_v1::~LASwriteItemCompressed_WAVEPACKET13_v1() = default;

bool LASwriteItemCompressed_WAVEPACKET13_v1::init(const uint8_t* item, uint32_t& /*context*/) {
  last_diff_32 = 0;
  sym_last_offset_diff = 0;
  enc->init_symbol_model(*m_packet_index);
  for (auto& m : m_offset_diff) enc->init_symbol_model(*m);
  ic_offset_diff.init_encoding();
  ic_packet_size.init_encoding();
  ic_return_point.init_encoding();
  ic_xyz.init_encoding();
  memcpy(last_item, item + 1, sizeof(last_item));
  return true;
}

bool LASwriteItemCompressed_WAVEPACKET13_v1::write(const uint8_t* item, uint32_t& /*context*/) {
  enc->encode_symbol(*m_packet_index, item[0]);
  const uint8_t* p = item + 1;
  const uint8_t* q = last_item;

  const int64_t diff_64 = i64_diff(load_u64(p + kOffset), load_u64(q + kOffset));
  const int32_t diff_32 = static_cast<int32_t>(diff_64);
  uint32_t kind;
  if (!i64_fits_i32(diff_64)) {
    kind = kRawOffset;
  } else if (diff_64 == 0) {
    kind = kSameOffset;
  } else if (diff_64 == static_cast<int64_t>(load_u32(q + kPacketSize))) {
    // Compared in 64 bits: a 32-bit comparison would also match a packet of
    // 2^31 bytes or more followed by one 2^32 bytes further back, which the
    // reader rebuilds as last offset + size.
    kind = kBackToBack;
  } else {
    kind = kDifference;
  }
  enc->encode_symbol(*m_offset_diff[sym_last_offset_diff], kind);
  sym_last_offset_diff = kind;
  if (kind == kDifference) {
    ic_offset_diff.compress(last_diff_32, diff_32, 0);
    last_diff_32 = diff_32;
  } else if (kind == kRawOffset) {
    enc->write_int64(load_u64(p + kOffset));
  }

  ic_packet_size.compress(load_i32(q + kPacketSize), load_i32(p + kPacketSize), 0);
  ic_return_point.compress(load_i32(q + kReturnPoint), load_i32(p + kReturnPoint), 0);
  ic_xyz.compress(load_i32(q + kXt), load_i32(p + kXt), 0);
  ic_xyz.compress(load_i32(q + kYt), load_i32(p + kYt), 1);
  ic_xyz.compress(load_i32(q + kZt), load_i32(p + kZt), 2);

  memcpy(last_item, p, sizeof(last_item));
  return true;
}

LASreadItemCompressed_WAVEPACKET13_v1::LASreadItemCompressed_WAVEPACKET13_v1(ArithDecoder* dec)
    : dec(dec),
      m_packet_index(dec->create_symbol_model(256)),
      ic_offset_diff(dec, 32, 1, 8, 0),
      ic_packet_size(dec, 32, 1, 8, 0),
      ic_return_point(dec, 32, 1, 8, 0),
      ic_xyz(dec, 32, 3, 8, 0) {
  for (auto& m : m_offset_diff) m.reset(dec->create_symbol_model(4));
  memset(last_item, 0, sizeof(last_item));
}

LASreadItemCompressed_WAVEPACKET13_v1::~LASreadItemCompressed_WAVEPACKET13_v1() = default;

bool LASreadItemCompressed_WAVEPACKET13_v1::init(const uint8_t* item, uint32_t& /*context*/) {
  last_diff_32 = 0;
  sym_last_offset_diff = 0;
  dec->init_symbol_model(*m_packet_index);
  for (auto& m : m_offset_diff) dec->init_symbol_model(*m);
  ic_offset_diff.init_decoding();
  ic_packet_size.init_decoding();
  ic_return_point.init_decoding();
  ic_xyz.init_decoding();
  memcpy(last_item, item + 1, sizeof(last_item));
  return true;
}

void LASreadItemCompressed_WAVEPACKET13_v1::read(uint8_t* item, uint32_t& /*context*/) {
  item[0] = static_cast<uint8_t>(dec->decode_symbol(*m_packet_index));
  uint8_t* q = last_item;

  const uint32_t kind = dec->decode_symbol(*m_offset_diff[sym_last_offset_diff]);
  sym_last_offset_diff = kind;
  const uint64_t last_offset = load_u64(q + kOffset);
  if (kind == kBackToBack) {
    store_u64(q + kOffset, last_offset + load_u32(q + kPacketSize));
  } else if (kind == kDifference) {
    last_diff_32 = ic_offset_diff.decompress(last_diff_32, 0);
    store_u64(q + kOffset, last_offset + static_cast<uint64_t>(static_cast<int64_t>(last_diff_32)));
  } else if (kind == kRawOffset) {
    store_u64(q + kOffset, dec->read_int64());
  }

  store_i32(q + kPacketSize, ic_packet_size.decompress(load_i32(q + kPacketSize), 0));
  store_i32(q + kReturnPoint, ic_return_point.decompress(load_i32(q + kReturnPoint), 0));
  store_i32(q + kXt, ic_xyz.decompress(load_i32(q + kXt), 0));
  store_i32(q + kYt, ic_xyz.decompress(load_i32(q + kYt), 1));
  store_i32(q + kZt, ic_xyz.decompress(load_i32(q + kZt), 2));

  memcpy(item + 1, last_item, sizeof(last_item));
}
