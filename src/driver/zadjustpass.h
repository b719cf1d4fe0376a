// The pass that removes the measured vertical bias: every input is read
// again, without the filter, and written to a file of its own with every z
// shifted by the negative average error.
#ifndef TIECHECK_DRIVER_ZADJUSTPASS_H
#define TIECHECK_DRIVER_ZADJUSTPASS_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "driver/runsettings.h"
#include "las/lasheader.h"

class LASreader;
class LASreadOpener;
class LASwriteOpener;
class ProtectedFiles;

// The label in the generating software of adjusted files,
// "tiecheck64 (221128) z adjusted".
constexpr const char* adjusted_software_label = "z adjusted";

// The integer Z of a point whose real z (Z x scale + offset) moves by
// `shift`, rounded half away from the offset. False when the result does not
// fit into 32 bits (or is no number, as for a zero scale factor).
[[nodiscard]] bool shifted_Z(int32_t Z, double z_scale_factor, double z_offset, double shift, int32_t* result);

// Fills the system identifier with the suite's banner and the generating
// software with "tiecheck64 (221128) <label>", both zero-padded and cut to
// 31 characters.
void stamp_identity(LASheader& header, const char* label);

// Writes the geo keys of a projection given on the command line into the
// header: the key directory (34735) and the double parameters (34736, removed
// when there are none); the ASCII parameters (34737) are always removed.
// False after "ERROR: cannot store the geo keys in the header of '%s'\n".
[[nodiscard]] bool put_geo_keys(LASheader& header, const RunSettings& settings, const char* input_name);

// Borrows the settings and both openers for its lifetime. The read opener
// is changed by run(): one reader a file, no filter, every field decoded.
class ZAdjustPass {
 public:
  static constexpr int go_on = -1;

  // `inputs`: the files the run reads; no output may replace one of them.
  ZAdjustPass(const RunSettings& settings, LASreadOpener& read_opener, LASwriteOpener& write_opener,
              const ProtectedFiles& inputs);
  ZAdjustPass(const ZAdjustPass&) = delete;
  ZAdjustPass& operator=(const ZAdjustPass&) = delete;

  // Before any point is read: the output names the pass will use, checked
  // for an output that would replace an input ("ERROR: output '%s' would
  // overwrite the input '%s'\n") and for two inputs with one output
  // ("ERROR: inputs '%s' and '%s' would both be written to '%s'\n"). Piped
  // input, which cannot be read twice, is refused. Answers go_on or 1.
  int check_outputs() const;

  // Writes every input shifted by -average (layer output is refused).
  // Answers go_on, or 1 after the message of the failing step; outputs
  // written for earlier inputs stay.
  int run(double average);

 private:
  // The output of the reader's file: header geo keys, output name, writer,
  // the shifted points, the header counts and bounds from the inventory.
  int write_adjusted(LASreader& reader, double average);
  // go_on, or 1 after the message when `name` would replace an input or an
  // output written earlier by this pass.
  int refuse_output(const char* name, const char* input_name);
  const char* output_display_name() const;

  const RunSettings& settings_;
  LASreadOpener& read_opener_;
  LASwriteOpener& write_opener_;
  const ProtectedFiles& inputs_;
  // Resolved output path and the input written to it.
  std::vector<std::pair<std::string, std::string>> written_;
  // Takes over each input's header in turn, with everything it owns (the
  // compression descriptor the reader decodes with included), so each reader
  // is deleted before this header is cleaned.
  LASheader header_;
};

#endif
