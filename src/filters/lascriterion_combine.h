// Criteria that combine the rejections of two others. Note that they
// combine rejections: two keep criteria joined by And keep the union of
// what each keeps.
#ifndef TIECHECK_FILTERS_LASCRITERION_COMBINE_H
#define TIECHECK_FILTERS_LASCRITERION_COMBINE_H

#include <cstdint>
#include <memory>

#include "filters/lascriterion.h"

// Rejects a point only when both operands reject it; the second is asked
// only when the first rejects. Owns both operands. Printed in postfix form:
// the first operand's text, the second's, then "-filter_and ". reset()
// does nothing: like the every-n-th counters, the operands' state carries
// over from file to file.
class LAScriterionAnd : public LAScriterion {
 public:
  LAScriterionAnd(LAScriterion* first, LAScriterion* second) : first(first), second(second) {}
  const char* name() const override { return "filter_and"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return first->needed_fields() | second->needed_fields(); }
  bool rejects(const LASpoint* point) override { return first->rejects(point) && second->rejects(point); }

 private:
  std::unique_ptr<LAScriterion> first, second;
};

// Rejects a point when either operand rejects it; the second is asked only
// when the first keeps it. Printed "... -filter_or ".
class LAScriterionOr : public LAScriterion {
 public:
  LAScriterionOr(LAScriterion* first, LAScriterion* second) : first(first), second(second) {}
  const char* name() const override { return "filter_or"; }
  void write_command(LAScommand& command) const override;
  uint32_t needed_fields() const override { return first->needed_fields() | second->needed_fields(); }
  bool rejects(const LASpoint* point) override { return first->rejects(point) || second->rejects(point); }

 private:
  std::unique_ptr<LAScriterion> first, second;
};

#endif
