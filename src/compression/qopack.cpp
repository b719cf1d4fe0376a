#include "compression/qopack.h"

#include <cstdio>
#include <cstring>

#include "las/bytestreamin_array.h"

namespace {

// What check() accepts per item type: the required size (0: any size of at
// least 1) and the accepted codec versions as a bit set.
struct ItemRule {
  LASitem::Type type;
  uint16_t size;
  uint32_t versions;
  const char* size_error;
  const char* version_error;
};

constexpr uint32_t v(int version) { return 1u << version; }

const ItemRule kItemRules[] = {
    {LASitem::BYTE, 0, v(0) | v(1) | v(2), "BYTE has size < 1", "BYTE has version > 2"},
    {LASitem::POINT10, 20, v(0) | v(1) | v(2), "POINT10 has size != 20", "POINT10 has version > 2"},
    {LASitem::GPSTIME11, 8, v(0) | v(1) | v(2), "GPSTIME11 has size != 8", "GPSTIME11 has version > 2"},
    {LASitem::RGB12, 6, v(0) | v(1) | v(2), "RGB12 has size != 6", "RGB12 has version > 2"},
    {LASitem::WAVEPACKET13, 29, v(0) | v(1), "WAVEPACKET13 has size != 29", "WAVEPACKET13 has version > 1"},
    {LASitem::POINT14, 30, v(0) | v(2) | v(3) | v(4), "POINT14 has size != 30",
     "POINT14 has version != 0 and != 2 and != 3 and != 4"},
    {LASitem::RGB14, 6, v(0) | v(2) | v(3) | v(4), "RGB14 has size != 6",
     "RGB14 has version != 0 and != 2 and != 3 and != 4"},
    {LASitem::RGBNIR14, 8, v(0) | v(2) | v(3) | v(4), "RGBNIR14 has size != 8",
     "RGBNIR14 has version != 0 and != 2 and != 3 and != 4"},
    {LASitem::WAVEPACKET14, 29, v(0) | v(3) | v(4), "WAVEPACKET14 has size != 29",
     "WAVEPACKET14 has version != 0 and != 3 and != 4"},
    {LASitem::BYTE14, 0, v(0) | v(2) | v(3) | v(4), "BYTE14 has size < 1",
     "BYTE14 has version != 0 and != 2 and != 3 and != 4"},
};

const ItemRule* find_rule(uint32_t type) {
  for (const ItemRule& rule : kItemRules) {
    if (rule.type == type) return &rule;
  }
  return nullptr;
}

// Whether an item is the named type with its required size (extra-bytes
// items of any size of at least 1).
bool is_item(const LASitem& item, LASitem::Type type) {
  if (item.type != type) return false;
  if (type == LASitem::BYTE || type == LASitem::BYTE14) return item.size >= 1;
  return item.size == LASitem::fixed_size(type);
}

bool is_wave_packet(const LASitem& item) {
  return is_item(item, LASitem::WAVEPACKET13) || is_item(item, LASitem::WAVEPACKET14);
}

// The core items of each point data format; WAVE stands for WAVEPACKET13 or
// WAVEPACKET14, which LAS 1.4 lists accept alike.
constexpr uint32_t WAVE = 0xFFFF;

struct StandardList {
  uint8_t point_type;
  int count;
  uint32_t types[3];  // after the first item
};

const StandardList kStandardLists[] = {
    {0, 0, {}},
    {1, 1, {LASitem::GPSTIME11}},
    {2, 1, {LASitem::RGB12}},
    {3, 2, {LASitem::GPSTIME11, LASitem::RGB12}},
    {4, 2, {LASitem::GPSTIME11, LASitem::WAVEPACKET13}},
    {5, 3, {LASitem::GPSTIME11, LASitem::RGB12, LASitem::WAVEPACKET13}},
    {6, 0, {}},
    {7, 1, {LASitem::RGB14}},
    {8, 1, {LASitem::RGBNIR14}},
    {9, 1, {WAVE}},
    {10, 2, {LASitem::RGBNIR14, WAVE}},
};

bool matches(const LASitem& item, uint32_t type) {
  return type == WAVE ? is_wave_packet(item) : is_item(item, static_cast<LASitem::Type>(type));
}

// Reads one little-endian field, or prints the message and returns false.
template <typename T>
bool get_field(ByteStreamIn& stream, T& value) {
  try {
    if constexpr (sizeof(T) == 1) {
      value = static_cast<T>(stream.get_byte());
    } else if constexpr (sizeof(T) == 2) {
      stream.get_16bits_le(reinterpret_cast<uint8_t*>(&value));
    } else if constexpr (sizeof(T) == 4) {
      stream.get_32bits_le(reinterpret_cast<uint8_t*>(&value));
    } else {
      stream.get_64bits_le(reinterpret_cast<uint8_t*>(&value));
    }
  } catch (int) {
    return false;
  }
  return true;
}

template <typename T>
bool put_field(ByteStreamOut& stream, const T& value) {
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&value);
  if constexpr (sizeof(T) == 1) return stream.put_byte(*bytes);
  if constexpr (sizeof(T) == 2) return stream.put_16bits_le(bytes);
  if constexpr (sizeof(T) == 4) return stream.put_32bits_le(bytes);
  return stream.put_64bits_le(bytes);
}

}  // namespace

Qopack::Qopack(const Qopack& other) { *this = other; }

Qopack& Qopack::operator=(const Qopack& other) {
  if (this == &other) return *this;
  compressor = other.compressor;
  coder = other.coder;
  version_major = other.version_major;
  version_minor = other.version_minor;
  version_revision = other.version_revision;
  options = other.options;
  chunk_size = other.chunk_size;
  number_of_special_evlrs = other.number_of_special_evlrs;
  offset_to_special_evlrs = other.offset_to_special_evlrs;
  set_items(other.num_items, other.items);
  error_string = other.error_string;
  return *this;
}

Qopack::~Qopack() { delete[] items; }

void Qopack::set_items(uint16_t n, const LASitem* list) {
  LASitem* copy = nullptr;
  if (n > 0 && list) {
    copy = new LASitem[n];
    for (uint16_t i = 0; i < n; i++) copy[i] = list[i];
  }
  delete[] items;
  items = copy;
  num_items = copy ? n : 0;
}

bool Qopack::return_error(const char* text) {
  char buffer[256];
  snprintf(buffer, sizeof(buffer), "%s (Qopack v%d.%dr%d)", text, VERSION_MAJOR, VERSION_MINOR, VERSION_REVISION);
  error_string = buffer;
  return false;
}

bool Qopack::check_compressor(uint16_t kind) {
  if (kind <= COMPRESSOR_LAYERED_CHUNKED) return true;
  char text[64];
  snprintf(text, sizeof(text), "compressor %d not supported", kind);
  return return_error(text);
}

bool Qopack::check_coder(uint16_t kind) {
  if (kind == CODER_ARITHMETIC) return true;
  char text[64];
  snprintf(text, sizeof(text), "coder %d not supported", kind);
  return return_error(text);
}

bool Qopack::check_item(const LASitem& item) {
  const ItemRule* rule = find_rule(item.type);
  if (!rule) {
    char text[64];
    snprintf(text, sizeof(text), "item unknown (%d,%d,%d)", static_cast<int>(item.type), item.size, item.version);
    return return_error(text);
  }
  if (rule->size ? item.size != rule->size : item.size < 1) return return_error(rule->size_error);
  if (item.version >= 32 || !(rule->versions & v(item.version))) return return_error(rule->version_error);
  return true;
}

bool Qopack::check_items(uint16_t n, const LASitem* list, uint16_t point_size) {
  if (n == 0) return return_error("number of items cannot be zero");
  if (!list) return return_error("items pointer cannot be NULL");
  // Summed wide: a 16-bit sum could wrap around and make items of 65556
  // bytes look like a point of 20.
  uint32_t sum = 0;
  for (uint16_t i = 0; i < n; i++) {
    if (!check_item(list[i])) return false;
    sum += list[i].size;
  }
  if ((point_size && point_size != sum) || sum > UINT16_MAX) {
    char text[96];
    snprintf(text, sizeof(text), "point has size of %d but items only add up to %u bytes", point_size, sum);
    return return_error(text);
  }
  return true;
}

bool Qopack::setup(uint16_t n, const LASitem* list, uint16_t kind) {
  if (!check_compressor(kind)) return false;
  if (!check_items(n, list, 0)) return false;
  if (kind == COMPRESSOR_NONE) {
    compressor = COMPRESSOR_NONE;
  } else if (list[0].type == LASitem::POINT14) {
    if (kind != COMPRESSOR_LAYERED_CHUNKED) return false;
    compressor = COMPRESSOR_LAYERED_CHUNKED;
  } else {
    compressor = kind == COMPRESSOR_LAYERED_CHUNKED ? COMPRESSOR_POINTWISE_CHUNKED : kind;
  }
  if (compressor != COMPRESSOR_NONE && compressor != COMPRESSOR_POINTWISE && chunk_size == 0) {
    chunk_size = default_chunk_size;
  }
  set_items(n, list);
  return true;
}

bool Qopack::setup(std::vector<LASitem>& list, uint8_t point_type, uint16_t point_size, uint16_t kind) {
  (void)kind;
  if (!LASitem::items_of_point_type(point_type, point_size, list)) {
    char text[64];
    snprintf(text, sizeof(text), "point type %d unknown", point_type);
    return return_error(text);
  }
  return true;
}

bool Qopack::check(uint16_t point_size) {
  if (!check_compressor(compressor)) return false;
  if (!check_coder(coder)) return false;
  return check_items(num_items, items, point_size);
}

bool Qopack::is_standard(uint8_t& point_type, uint16_t& record_length) {
  if (!items) return return_error("LASitem array is zero");
  point_type = 127;
  uint16_t sum = 0;
  for (uint16_t i = 0; i < num_items; i++) sum = static_cast<uint16_t>(sum + items[i].size);
  record_length = sum;
  if (num_items == 0) return return_error("less than one LASitem entries");
  if (num_items > 5) return return_error("more than five LASitem entries");

  const bool legacy = is_item(items[0], LASitem::POINT10);
  if (!legacy && !is_item(items[0], LASitem::POINT14)) {
    return_error("first LASitem is neither POINT10 nor POINT14");
    return return_error("LASitem array does not match LAS specification 1.4");
  }
  for (const StandardList& list : kStandardLists) {
    if ((list.point_type <= 5) != legacy) continue;
    if (num_items != 1 + list.count && num_items != 2 + list.count) continue;
    bool same = true;
    for (int i = 0; i < list.count && same; i++) same = matches(items[1 + i], list.types[i]);
    if (!same) continue;
    if (num_items == 2 + list.count) {
      const LASitem& extra = items[1 + list.count];
      const bool extra_ok = is_item(extra, LASitem::BYTE) || (!legacy && is_item(extra, LASitem::BYTE14));
      if (!extra_ok) continue;
    }
    point_type = list.point_type;
    return true;
  }
  return return_error("LASitem array does not match LAS specification 1.4");
}

bool Qopack::request_version(uint16_t requested) {
  if (num_items == 0 || !items) return return_error("call setup() before requesting version");
  if (compressor == COMPRESSOR_NONE) {
    if (requested != 0) return return_error("without compression version is always 0");
  } else {
    if (requested < 1) return return_error("with compression version is at least 1");
    if (requested > 2) return return_error("version larger than 2 not supported");
  }
  // Every type is checked before any version changes, so a failure leaves
  // the list as it was.
  for (uint16_t i = 0; i < num_items; i++) {
    if (!find_rule(items[i].type)) return return_error("item type not supported");
  }
  for (uint16_t i = 0; i < num_items; i++) {
    switch (items[i].type) {
      case LASitem::BYTE:
      case LASitem::POINT10:
      case LASitem::GPSTIME11:
      case LASitem::RGB12:
        items[i].version = requested;
        break;
      case LASitem::WAVEPACKET13:
        items[i].version = 1;
        break;
      default:  // the LAS 1.4 items: the writer produces version 3 only
        items[i].version = 3;
        break;
    }
  }
  return true;
}

bool Qopack::set_chunk_size(uint32_t size) {
  if (num_items == 0 || !items) return return_error("call setup() before setting chunk size");
  if (compressor == COMPRESSOR_POINTWISE) return false;
  chunk_size = size;
  return true;
}

std::string Qopack::get_vlr_description() {
  char text[32];
  snprintf(text, sizeof(text), "by qopack of Quillbox (%d)", build_number);
  return text;
}

bool Qopack::read_payload(ByteStreamIn& stream) {
  Qopack in;
  if (!get_field(stream, in.compressor)) {
    fprintf(stderr, "ERROR: reading compressor %d\n", 0);
    return false;
  }
  if (!get_field(stream, in.coder)) {
    fprintf(stderr, "ERROR: reading coder %d\n", 0);
    return false;
  }
  if (!get_field(stream, in.version_major)) {
    fprintf(stderr, "ERROR: reading version_major %d\n", 0);
    return false;
  }
  if (!get_field(stream, in.version_minor)) {
    fprintf(stderr, "ERROR: reading version_minor %d\n", 0);
    return false;
  }
  if (!get_field(stream, in.version_revision)) {
    fprintf(stderr, "ERROR: reading version_revision %d\n", 0);
    return false;
  }
  if (!get_field(stream, in.options)) {
    fprintf(stderr, "ERROR: reading options %d\n", 0);
    return false;
  }
  if (!get_field(stream, in.chunk_size)) {
    fprintf(stderr, "ERROR: reading chunk_size %d\n", 0);
    return false;
  }
  if (!get_field(stream, in.number_of_special_evlrs)) {
    fprintf(stderr, "ERROR: reading number_of_special_evlrs %d\n", 0);
    return false;
  }
  if (!get_field(stream, in.offset_to_special_evlrs)) {
    fprintf(stderr, "ERROR: reading offset_to_special_evlrs %d\n", 0);
    return false;
  }
  uint16_t count = 0;
  if (!get_field(stream, count)) {
    fprintf(stderr, "ERROR: reading num_items %d\n", 0);
    return false;
  }
  // Items are collected as they arrive, so a large count in a short record
  // allocates nothing it cannot fill.
  std::vector<LASitem> list;
  for (int i = 0; i < count; i++) {
    uint16_t type = 0;
    uint16_t size = 0;
    uint16_t version = 0;
    if (!get_field(stream, type)) {
      fprintf(stderr, "ERROR: reading type %d of item %d\n", 0, i);
      return false;
    }
    if (!get_field(stream, size)) {
      fprintf(stderr, "ERROR: reading size %d of item %d\n", 0, i);
      return false;
    }
    if (!get_field(stream, version)) {
      fprintf(stderr, "ERROR: reading version %d of item %d\n", 0, i);
      return false;
    }
    list.emplace_back(static_cast<LASitem::Type>(type), size, version);
  }
  compressor = in.compressor;
  coder = in.coder;
  version_major = in.version_major;
  version_minor = in.version_minor;
  version_revision = in.version_revision;
  options = in.options;
  chunk_size = in.chunk_size;
  number_of_special_evlrs = in.number_of_special_evlrs;
  offset_to_special_evlrs = in.offset_to_special_evlrs;
  set_items(count, list.data());
  return true;
}

bool Qopack::unpack(const uint8_t* payload, uint32_t size) {
  ByteStreamInArrayLE stream(payload, size);
  return read_payload(stream);
}

bool Qopack::write_payload(ByteStreamOut& stream) const {
  if (!put_field(stream, compressor)) {
    fprintf(stderr, "ERROR: writing compressor %d\n", compressor);
    return false;
  }
  if (!put_field(stream, coder)) {
    fprintf(stderr, "ERROR: writing coder %d\n", coder);
    return false;
  }
  if (!put_field(stream, version_major)) {
    fprintf(stderr, "ERROR: writing version_major %d\n", version_major);
    return false;
  }
  if (!put_field(stream, version_minor)) {
    fprintf(stderr, "ERROR: writing version_minor %d\n", version_minor);
    return false;
  }
  if (!put_field(stream, version_revision)) {
    fprintf(stderr, "ERROR: writing version_revision %d\n", version_revision);
    return false;
  }
  if (!put_field(stream, options)) {
    fprintf(stderr, "ERROR: writing options %d\n", static_cast<int>(options));
    return false;
  }
  if (!put_field(stream, chunk_size)) {
    fprintf(stderr, "ERROR: writing chunk_size %d\n", static_cast<int>(chunk_size));
    return false;
  }
  if (!put_field(stream, number_of_special_evlrs)) {
    fprintf(stderr, "ERROR: writing number_of_special_evlrs %d\n", static_cast<int>(number_of_special_evlrs));
    return false;
  }
  if (!put_field(stream, offset_to_special_evlrs)) {
    fprintf(stderr, "ERROR: writing offset_to_special_evlrs %d\n", static_cast<int>(offset_to_special_evlrs));
    return false;
  }
  if (!put_field(stream, num_items)) {
    fprintf(stderr, "ERROR: writing num_items %d\n", num_items);
    return false;
  }
  for (int i = 0; i < num_items; i++) {
    const uint16_t type = static_cast<uint16_t>(items[i].type);
    if (!put_field(stream, type)) {
      fprintf(stderr, "ERROR: writing type %d of item %d\n", type, i);
      return false;
    }
    if (!put_field(stream, items[i].size)) {
      fprintf(stderr, "ERROR: writing size %d of item %d\n", items[i].size, i);
      return false;
    }
    if (!put_field(stream, items[i].version)) {
      fprintf(stderr, "ERROR: writing version %d of item %d\n", items[i].version, i);
      return false;
    }
  }
  return true;
}

bool Qopack::write_vlr(ByteStreamOut& stream) const {
  const uint16_t reserved = vlr_reserved;
  if (!put_field(stream, reserved)) {
    fprintf(stderr, "ERROR: writing reserved %d\n", reserved);
    return false;
  }
  char user_id[16] = {};
  strncpy(user_id, vlr_user_id, sizeof(user_id) - 1);
  if (!stream.put_bytes(reinterpret_cast<const uint8_t*>(user_id), sizeof(user_id))) {
    fprintf(stderr, "ERROR: writing user_id %s\n", user_id);
    return false;
  }
  const uint16_t record_id = vlr_record_id;
  if (!put_field(stream, record_id)) {
    fprintf(stderr, "ERROR: writing record_id %d\n", record_id);
    return false;
  }
  // A list too long for the 16-bit record length cannot be described.
  const uint32_t payload_size = get_payload_size();
  const uint16_t record_length = static_cast<uint16_t>(payload_size);
  if (payload_size > UINT16_MAX || !put_field(stream, record_length)) {
    fprintf(stderr, "ERROR: writing record_length_after_header %d\n", static_cast<int>(payload_size));
    return false;
  }
  char description[32] = {};
  const std::string text = get_vlr_description();
  memcpy(description, text.data(), text.size());
  if (!stream.put_bytes(reinterpret_cast<const uint8_t*>(description), sizeof(description))) {
    fprintf(stderr, "ERROR: writing description %s\n", description);
    return false;
  }
  return write_payload(stream);
}
