// Filter options from untrusted bytes: the input is one option string. It
// must parse or fail without a crash or hang; a filter that parsed must run
// over points of every kind, and its printed command must parse again into
// a filter that prints the same command.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "filters/lasfilter.h"
#include "las/lasattributer.h"
#include "las/lasitem.h"
#include "las/laspoint.h"
#include "las/lasquantizer.h"

namespace {

struct Points {
  LASquantizer quantizer;
  LASattributer attributer;
  LASpoint point;

  Points() {
    LASattribute height(LASattribute::I16, "height");
    height.set_scale(0.5);
    if (attributer.add_attribute(height) != 0) std::abort();
    if (!point.init(&quantizer, 10, static_cast<uint16_t>(LASitem::base_size(10) + 2), &attributer)) std::abort();
  }

  // Point i of a fixed set: near and far coordinates, every class, return
  // and flag combination that matters, GPS times in and out of bins.
  void set(int i) {
    point.zero();
    const int32_t far = (i % 7 == 3) ? 2000000000 : 0;
    point.X = (i * 37) % 200 - 100 + far;
    point.Y = (i * 53) % 200 - 100 - far;
    point.Z = (i * 11) % 300 - 150;
    point.intensity = static_cast<uint16_t>(i * 4099);
    point.return_number = static_cast<uint8_t>(i % 8);
    point.number_of_returns = static_cast<uint8_t>((i / 8) % 8);
    point.scan_direction_flag = static_cast<uint8_t>(i & 1);
    point.edge_of_flight_line = static_cast<uint8_t>((i >> 1) & 1);
    point.set_classification(static_cast<uint8_t>(i * 29));
    point.set_synthetic_flag(i & 4);
    point.set_extended_overlap_flag(i & 8);
    point.extended_scanner_channel = static_cast<uint8_t>(i % 4);
    point.scan_angle_rank = static_cast<int8_t>(i * 13);
    point.user_data = static_cast<uint8_t>(i * 7);
    point.point_source_ID = static_cast<uint16_t>(i % 5);
    point.have_gps_time = i % 9 != 0;
    point.gps_time = (i / 2) * 0.25 - 3.0;
    for (int c = 0; c < 4; c++) point.rgb[c] = static_cast<uint16_t>((i * (c + 3) * 1237) % 65536);
    point.wavepacket.index = static_cast<uint8_t>(i % 3);
    point.set_attribute_as_float(0, i * 0.5 - 4.0);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  static Points points;
  static FILE* quiet = std::freopen("/dev/null", "w", stderr);
  (void)quiet;

  const std::string options(reinterpret_cast<const char*>(data), size);
  LASfilter filter;
  if (!filter.parse(options)) return 0;

  for (int pass = 0; pass < 2; pass++) {
    for (int i = 0; i < 64; i++) {
      points.set(i);
      (void)filter.rejects(&points.point);
    }
    filter.reset();
  }
  (void)filter.needed_fields();

  const std::string command = filter.format_commands();
  LASfilter reparsed;
  if (!reparsed.parse(command)) std::abort();
  if (reparsed.format_commands() != command) std::abort();
  if (reparsed.get_number_of_criteria() != filter.get_number_of_criteria()) std::abort();
  return 0;
}
