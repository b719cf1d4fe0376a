// Criteria on classification, the classification flags, the scan line
// flags and the scanner channel.
#ifndef TIECHECK_FILTERS_LASCRITERION_CLASSIFICATION_H
#define TIECHECK_FILTERS_LASCRITERION_CLASSIFICATION_H

#include <cstdint>

#include "filters/lascriterion.h"

// Built from the classes to keep (bit c = keep class c); stores the
// complement as the drop mask. A point whose legacy class is 0 but whose
// extended class is not (a class above 31) is rejected; otherwise the
// legacy class c is rejected when bit c of the drop mask is set. Prints the
// kept classes as "-keep_class c ...", or "-keep_classification_mask" when
// the list would be empty or would merge into a preceding class list.
class LAScriterionKeepClassifications : public LAScriterion {
 public:
  explicit LAScriterionKeepClassifications(uint32_t keep_mask) : drop_mask(~keep_mask) {}
  const char* name() const override { return "keep_classification_mask"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::classification; }
  bool rejects(const LASpoint* point) override;
  uint32_t get_keep_mask() const { return ~drop_mask; }

 private:
  uint32_t drop_mask;
};

// Rejects legacy class c when bit c of the mask is set; a point with legacy
// class 0 and a non-zero extended class is kept. Prints "-drop_class c ..."
// or "-drop_classification_mask" like the keep variant.
class LAScriterionDropClassifications : public LAScriterion {
 public:
  explicit LAScriterionDropClassifications(uint32_t drop_mask) : drop_mask(drop_mask) {}
  const char* name() const override { return "drop_classification_mask"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::classification; }
  bool rejects(const LASpoint* point) override;
  uint32_t get_drop_mask() const { return drop_mask; }

 private:
  uint32_t drop_mask;
};

// A 256-bit set of extended classes (word e / 32, bit e mod 32) to reject.
class LAScriterionDropExtendedClassifications : public LAScriterion {
 public:
  explicit LAScriterionDropExtendedClassifications(const uint32_t drop_words[8]);
  const char* name() const override { return "drop_extended_classification_mask"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::classification; }
  bool rejects(const LASpoint* point) override;

 private:
  uint32_t drop_words[8];
};

// Rejects points whose synthetic flag is clear.
class LAScriterionKeepSynthetic : public LAScriterion {
 public:
  const char* name() const override { return "keep_synthetic"; }
  uint32_t needed_fields() const override { return LASfield::flags; }
  bool rejects(const LASpoint* point) override;
};

class LAScriterionDropSynthetic : public LAScriterion {
 public:
  const char* name() const override { return "drop_synthetic"; }
  uint32_t needed_fields() const override { return LASfield::flags; }
  bool rejects(const LASpoint* point) override;
};

class LAScriterionKeepKeypoint : public LAScriterion {
 public:
  const char* name() const override { return "keep_keypoint"; }
  uint32_t needed_fields() const override { return LASfield::flags; }
  bool rejects(const LASpoint* point) override;
};

class LAScriterionDropKeypoint : public LAScriterion {
 public:
  const char* name() const override { return "drop_keypoint"; }
  uint32_t needed_fields() const override { return LASfield::flags; }
  bool rejects(const LASpoint* point) override;
};

class LAScriterionKeepWithheld : public LAScriterion {
 public:
  const char* name() const override { return "keep_withheld"; }
  uint32_t needed_fields() const override { return LASfield::flags; }
  bool rejects(const LASpoint* point) override;
};

class LAScriterionDropWithheld : public LAScriterion {
 public:
  const char* name() const override { return "drop_withheld"; }
  uint32_t needed_fields() const override { return LASfield::flags; }
  bool rejects(const LASpoint* point) override;
};

// The overlap flag exists only among the extended classification flags.
class LAScriterionKeepOverlap : public LAScriterion {
 public:
  const char* name() const override { return "keep_overlap"; }
  uint32_t needed_fields() const override { return LASfield::flags; }
  bool rejects(const LASpoint* point) override;
};

class LAScriterionDropOverlap : public LAScriterion {
 public:
  const char* name() const override { return "drop_overlap"; }
  uint32_t needed_fields() const override { return LASfield::flags; }
  bool rejects(const LASpoint* point) override;
};

class LAScriterionKeepEdgeOfFlightLine : public LAScriterion {
 public:
  const char* name() const override { return "keep_edge_of_flight_line"; }
  uint32_t needed_fields() const override { return LASfield::flags; }
  bool rejects(const LASpoint* point) override;
};

// Rejects points whose scan direction flag equals the direction.
class LAScriterionDropScanDirection : public LAScriterion {
 public:
  explicit LAScriterionDropScanDirection(int32_t scan_direction) : scan_direction(scan_direction) {}
  const char* name() const override { return "drop_scan_direction"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return LASfield::flags; }
  bool rejects(const LASpoint* point) override;

 private:
  int32_t scan_direction;
};

// Keeps the points whose scan direction flag differs from that of the
// previous point; the first point of a stream is always rejected.
class LAScriterionKeepScanDirectionChange : public LAScriterion {
 public:
  const char* name() const override { return "keep_scan_direction_change"; }
  uint32_t needed_fields() const override { return LASfield::flags; }
  bool rejects(const LASpoint* point) override;
  void reset() override { scan_direction_flag = -1; }

 private:
  int32_t scan_direction_flag = -1;  // of the previous point, -1 before the first
};

class LAScriterionKeepScannerChannel : public LAScriterion {
 public:
  explicit LAScriterionKeepScannerChannel(int32_t scanner_channel) : scanner_channel(scanner_channel) {}
  const char* name() const override { return "keep_scanner_channel"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  int32_t scanner_channel;
};

class LAScriterionDropScannerChannel : public LAScriterion {
 public:
  explicit LAScriterionDropScannerChannel(int32_t scanner_channel) : scanner_channel(scanner_channel) {}
  const char* name() const override { return "drop_scanner_channel"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  int32_t scanner_channel;
};

#endif
