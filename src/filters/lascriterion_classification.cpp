#include "filters/lascriterion_classification.h"

#include <cstring>

#include "las/laspoint.h"

namespace {

// "-word c c ..." for the set bits, or the mask form when the list would
// be empty or would merge into the directly preceding criterion of the
// same kind (see LAScommand::previous).
void write_class_list(LAScommand& command, const LAScriterion* criterion, const char* list_word,
                      uint32_t listed_bits) {
  const LAScriterion* previous = command.previous();
  const bool would_merge = previous && strcmp(previous->name(), criterion->name()) == 0;
  if (listed_bits == 0 || would_merge) {
    command.option(criterion->name());
    command.add_unsigned(listed_bits);
    return;
  }
  command.option(list_word);
  for (uint32_t c = 0; c < 32; c++) {
    if (listed_bits & (1u << c)) command.add_unsigned(c);
  }
}

}  // namespace

void LAScriterionKeepClassifications::write_command(LAScommand& command) const {
  write_class_list(command, this, "keep_class", get_keep_mask());
}
bool LAScriterionKeepClassifications::rejects(const LASpoint* point) {
  if (point->classification == 0 && point->extended_classification != 0) return true;
  return (drop_mask >> point->classification) & 1;
}

void LAScriterionDropClassifications::write_command(LAScommand& command) const {
  write_class_list(command, this, "drop_class", drop_mask);
}
bool LAScriterionDropClassifications::rejects(const LASpoint* point) {
  if (point->classification == 0 && point->extended_classification != 0) return false;
  return (drop_mask >> point->classification) & 1;
}

LAScriterionDropExtendedClassifications::LAScriterionDropExtendedClassifications(const uint32_t drop_words[8]) {
  memcpy(this->drop_words, drop_words, sizeof(this->drop_words));
}
void LAScriterionDropExtendedClassifications::write_command(LAScommand& command) const {
  command.option(name());
  for (int w = 7; w >= 0; w--) command.add_unsigned(drop_words[w]);
}
bool LAScriterionDropExtendedClassifications::rejects(const LASpoint* point) {
  const uint32_t e = point->extended_classification;
  return (drop_words[e >> 5] >> (e & 31)) & 1;
}

bool LAScriterionKeepSynthetic::rejects(const LASpoint* point) { return point->synthetic_flag == 0; }
bool LAScriterionDropSynthetic::rejects(const LASpoint* point) { return point->synthetic_flag == 1; }
bool LAScriterionKeepKeypoint::rejects(const LASpoint* point) { return point->keypoint_flag == 0; }
bool LAScriterionDropKeypoint::rejects(const LASpoint* point) { return point->keypoint_flag == 1; }
bool LAScriterionKeepWithheld::rejects(const LASpoint* point) { return point->withheld_flag == 0; }
bool LAScriterionDropWithheld::rejects(const LASpoint* point) { return point->withheld_flag == 1; }
bool LAScriterionKeepOverlap::rejects(const LASpoint* point) { return !point->get_extended_overlap_flag(); }
bool LAScriterionDropOverlap::rejects(const LASpoint* point) { return point->get_extended_overlap_flag(); }
bool LAScriterionKeepEdgeOfFlightLine::rejects(const LASpoint* point) { return point->edge_of_flight_line == 0; }

void LAScriterionDropScanDirection::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(scan_direction);
}
bool LAScriterionDropScanDirection::rejects(const LASpoint* point) {
  return point->scan_direction_flag == scan_direction;
}

bool LAScriterionKeepScanDirectionChange::rejects(const LASpoint* point) {
  const int32_t flag = point->scan_direction_flag;
  if (scan_direction_flag == flag) return true;
  const bool first = scan_direction_flag == -1;
  scan_direction_flag = flag;
  return first;
}

void LAScriterionKeepScannerChannel::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(scanner_channel);
}
bool LAScriterionKeepScannerChannel::rejects(const LASpoint* point) {
  return point->extended_scanner_channel != scanner_channel;
}

void LAScriterionDropScannerChannel::write_command(LAScommand& command) const {
  command.option(name());
  command.add_int(scanner_channel);
}
bool LAScriterionDropScannerChannel::rejects(const LASpoint* point) {
  return point->extended_scanner_channel == scanner_channel;
}
