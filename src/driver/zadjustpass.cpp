#include "driver/zadjustpass.h"

#include <sys/stat.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>

#include "driver/protectedfiles.h"
#include "driver/runclock.h"
#include "io/lasidentity.h"
#include "io/lasreader.h"
#include "io/lasreadopener.h"
#include "io/laswriteopener.h"
#include "las/laswriter.h"

namespace {

constexpr uint32_t all_fields = 0xFFFFFFFF;
constexpr int64_t max_vlr_payload_bytes = 65535;

bool is_regular_file(const char* name) {
  struct stat info;
  return name != nullptr && stat(name, &info) == 0 && S_ISREG(info.st_mode);
}

// The header's z bounds moved as the points will be, so that a header that
// cannot be updated after the points (standard output into a pipe) is right
// already when it is written.
void shift_z_bounds(LASheader& header, double shift) {
  for (double* bound : {&header.min_z, &header.max_z}) {
    int32_t Z = 0;
    if (header.fits_Z(*bound) &&
        shifted_Z(header.get_Z(*bound), header.z_scale_factor, header.z_offset, shift, &Z)) {
      *bound = header.get_z(Z);
    }
  }
}

// Zero-filled, with at least the last byte left zero.
void put_field(char (&field)[32], const char* text) {
  std::memset(field, 0, sizeof(field));
  std::memcpy(field, text, strnlen(text, sizeof(field) - 1));
}

}  // namespace

bool shifted_Z(int32_t Z, double z_scale_factor, double z_offset, double shift, int32_t* result) {
  const double z = Z * z_scale_factor + z_offset + shift;
  const int64_t shifted = LASquantizer::quantize64(z, z_scale_factor, z_offset);
  if (!LASquantizer::fits_int32(shifted)) return false;
  *result = static_cast<int32_t>(shifted);
  return true;
}

void stamp_identity(LASheader& header, const char* label) {
  put_field(header.system_identifier, suite_system_identifier);
  char software[64];
  std::snprintf(software, sizeof(software), "tiecheck64 (%d) %s", suite_build_number, label);
  put_field(header.generating_software, software);
}

bool put_geo_keys(LASheader& header, const RunSettings& settings, const char* input_name) {
  const auto& keys = settings.geo_key_entries;
  bool stored = true;
  if ((static_cast<int64_t>(keys.size()) + 1) * 8 <= max_vlr_payload_bytes) {
    std::vector<LASvlr_key_entry> entries;
    for (const auto& k : keys) entries.push_back({k[0], k[1], k[2], k[3]});
    stored = header.set_geo_keys(static_cast<int32_t>(entries.size()), entries.data());
  }
  const auto& doubles = settings.geo_double_params;
  if (doubles.empty()) {
    header.del_geo_double_params();
  } else if (static_cast<int64_t>(doubles.size()) * 8 <= max_vlr_payload_bytes) {
    stored = stored && header.set_geo_double_params(static_cast<int32_t>(doubles.size()), doubles.data());
  }
  header.del_geo_ascii_params();
  if (!stored) std::fprintf(stderr, "ERROR: cannot store the geo keys in the header of '%s'\n", input_name);
  return stored;
}

ZAdjustPass::ZAdjustPass(const RunSettings& settings, LASreadOpener& read_opener, LASwriteOpener& write_opener,
                         const ProtectedFiles& inputs)
    : settings_(settings), read_opener_(read_opener), write_opener_(write_opener), inputs_(inputs) {}

int ZAdjustPass::check_outputs() const {
  if (read_opener_.is_piped()) {
    std::fprintf(stderr, "ERROR: cannot adjust piped input: it can be read only once\n");
    return 1;
  }
  // The names run() will use: "-o" for the first input only, one derived
  // from each later input unless all go to standard output or the null sink.
  std::vector<std::pair<std::string, const char*>> planned;
  const uint32_t count = read_opener_.get_file_name_number();
  for (uint32_t i = 0; i < count; i++) {
    const char* input = read_opener_.get_file_name(i);
    std::string output;
    if (i == 0 && write_opener_.get_file_name() != nullptr) {
      output = write_opener_.get_file_name();
    } else if (write_opener_.uses_stdout() || write_opener_.uses_nil()) {
      continue;
    } else {
      output = write_opener_.get_derived_file_name(input, -1);
    }
    if (const char* replaced = inputs_.find(output.c_str())) {
      std::fprintf(stderr, "ERROR: output '%s' would overwrite the input '%s'\n", output.c_str(), replaced);
      return 1;
    }
    const std::string resolved = resolved_output_path(output.c_str());
    for (const auto& [earlier, earlier_input] : planned) {
      if (earlier == resolved) {
        std::fprintf(stderr, "ERROR: inputs '%s' and '%s' would both be written to '%s'\n", earlier_input, input,
                     output.c_str());
        return 1;
      }
    }
    planned.emplace_back(resolved, input);
  }
  return go_on;
}

int ZAdjustPass::run(double average) {
  if (settings_.verbose) {
    std::fprintf(stderr, "adjusting all %u files to average error by translating z by %g %s\n",
                 read_opener_.get_file_name_number(), -average,
                 settings_.layer_output ? "using Strataset" : "to new file");
  }
  if (settings_.layer_output) {
    std::fprintf(stderr, "ERROR: layer files ('-olay') are not supported yet\n");
    return 1;
  }
  // Every file on its own and every point of it, with every field: the
  // filter chose the points that measure the error, not those written.
  read_opener_.set_merged(false);
  read_opener_.set_filter(nullptr);
  read_opener_.reset();
  read_opener_.set_decompress_selective(all_fields);
  written_.clear();
  while (read_opener_.active()) {
    std::unique_ptr<LASreader> reader(read_opener_.open());
    if (!reader) {
      std::fprintf(stderr, "ERROR: could not open lasreader\n");
      return 1;
    }
    header_.take_over(reader->header);
    stamp_identity(header_, adjusted_software_label);
    const int code = write_adjusted(*reader, average);
    reader->close(true);
    reader.reset();
    header_.clean();
    if (code != go_on) return code;
  }
  return go_on;
}

int ZAdjustPass::write_adjusted(LASreader& reader, double average) {
  const char* input_name = read_opener_.get_file_name();
  if (settings_.have_geo_keys && !put_geo_keys(header_, settings_, input_name)) return 1;
  if (!write_opener_.active()) write_opener_.make_file_name(input_name, -1);
  const char* output_name = write_opener_.get_file_name();
  if (output_name != nullptr && refuse_output(output_name, input_name) != go_on) return 1;

  const double shift = -average;
  shift_z_bounds(header_, shift);
  std::unique_ptr<LASwriter> writer(write_opener_.open(&header_));
  if (!writer) {
    std::fprintf(stderr, "ERROR: could not open laswriter for '%s'\n", output_display_name());
    return 1;
  }
  if (settings_.very_verbose) std::fprintf(stderr, "adjusting '%s' ... ", output_display_name());
  while (reader.read_point()) {
    LASpoint& point = reader.point;
    int32_t Z = 0;
    if (!shifted_Z(point.Z, header_.z_scale_factor, header_.z_offset, shift, &Z)) {
      // The file is finished as far as it was written before the message,
      // which is then the last line.
      const int64_t number = writer->p_count + 1;
      writer.reset();
      std::fprintf(stderr,
                   "ERROR: z of point %" PRId64 " of '%s' shifted by %g does not fit into 32 bits with z scale "
                   "factor %g and z offset %g\n",
                   number, input_name, shift, header_.z_scale_factor, header_.z_offset);
      return 1;
    }
    point.Z = Z;
    writer->update_inventory(&point);
    if (!writer->write_point(&point)) {
      const int64_t number = writer->p_count;
      writer.reset();
      std::fprintf(stderr, "ERROR: cannot write point %" PRId64 " to '%s'\n", number, output_display_name());
      return 1;
    }
  }
  if (settings_.very_verbose) {
    std::fprintf(stderr, "took %g sec. %" PRId64 " points were written.\n", run_seconds(), writer->p_count);
  }
  // Standard output into a pipe cannot be updated, which only warns.
  const bool updated = writer->update_header(&header_, true, false) || !is_regular_file(output_name);
  const bool closed = writer->close(true) != 0;
  writer.reset();
  if (!updated || !closed) {
    std::fprintf(stderr, "ERROR: could not finish writing '%s'\n", output_display_name());
    return 1;
  }
  write_opener_.set_file_name(nullptr);
  return go_on;
}

int ZAdjustPass::refuse_output(const char* name, const char* input_name) {
  if (const char* replaced = inputs_.find(name)) {
    std::fprintf(stderr, "ERROR: output '%s' would overwrite the input '%s'\n", name, replaced);
    return 1;
  }
  std::string resolved = resolved_output_path(name);
  for (const auto& [earlier, earlier_input] : written_) {
    if (earlier == resolved) {
      std::fprintf(stderr, "ERROR: inputs '%s' and '%s' would both be written to '%s'\n", earlier_input.c_str(),
                   input_name, name);
      return 1;
    }
  }
  written_.emplace_back(std::move(resolved), input_name);
  return go_on;
}

const char* ZAdjustPass::output_display_name() const {
  if (write_opener_.uses_nil()) return "NULL";
  if (write_opener_.get_file_name() != nullptr) return write_opener_.get_file_name();
  return "stdout";
}
