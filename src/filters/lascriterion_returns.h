// Criteria on the legacy 3-bit return number (rn) and number of returns
// (nr). None has parameters except the return masks and the specific
// number of returns; none needs a decompression bit.
#ifndef TIECHECK_FILTERS_LASCRITERION_RETURNS_H
#define TIECHECK_FILTERS_LASCRITERION_RETURNS_H

#include <cstdint>

#include "filters/lascriterion.h"

// Rejects rn > 1.
class LAScriterionKeepFirstReturn : public LAScriterion {
 public:
  const char* name() const override { return "keep_first"; }
  bool rejects(const LASpoint* point) override;
};

// Rejects rn = 1.
class LAScriterionDropFirstReturn : public LAScriterion {
 public:
  const char* name() const override { return "drop_first"; }
  bool rejects(const LASpoint* point) override;
};

// Rejects nr = 1 or rn > 1.
class LAScriterionKeepFirstOfManyReturn : public LAScriterion {
 public:
  const char* name() const override { return "keep_first_of_many"; }
  bool rejects(const LASpoint* point) override;
};

// Rejects nr >= 2 and rn = 1.
class LAScriterionDropFirstOfManyReturn : public LAScriterion {
 public:
  const char* name() const override { return "drop_first_of_many"; }
  bool rejects(const LASpoint* point) override;
};

// Rejects rn < nr.
class LAScriterionKeepLastReturn : public LAScriterion {
 public:
  const char* name() const override { return "keep_last"; }
  bool rejects(const LASpoint* point) override;
};

// Rejects rn >= nr.
class LAScriterionDropLastReturn : public LAScriterion {
 public:
  const char* name() const override { return "drop_last"; }
  bool rejects(const LASpoint* point) override;
};

// Rejects rn = 1 or rn < nr.
class LAScriterionKeepLastOfManyReturn : public LAScriterion {
 public:
  const char* name() const override { return "keep_last_of_many"; }
  bool rejects(const LASpoint* point) override;
};

// Rejects nr >= 2 and rn >= nr.
class LAScriterionDropLastOfManyReturn : public LAScriterion {
 public:
  const char* name() const override { return "drop_last_of_many"; }
  bool rejects(const LASpoint* point) override;
};

// Rejects rn = 1 or rn >= nr.
class LAScriterionKeepMiddleReturn : public LAScriterion {
 public:
  const char* name() const override { return "keep_middle"; }
  bool rejects(const LASpoint* point) override;
};

// Rejects 1 < rn < nr.
class LAScriterionDropMiddleReturn : public LAScriterion {
 public:
  const char* name() const override { return "drop_middle"; }
  bool rejects(const LASpoint* point) override;
};

// Rejects all but the second-last return of a multiple-return pulse.
class LAScriterionKeepSecondLast : public LAScriterion {
 public:
  const char* name() const override { return "keep_second_last"; }
  bool rejects(const LASpoint* point) override;
};

// Rejects nr >= 2 and nr = rn + 1.
class LAScriterionDropSecondLast : public LAScriterion {
 public:
  const char* name() const override { return "drop_second_last"; }
  bool rejects(const LASpoint* point) override;
};

// Built from the return numbers to keep (bit n = keep rn n); stores the
// complement and rejects when bit rn of it is set. Prints the kept numbers
// as "-keep_return n ...", or "-keep_return_mask" when the list would be
// empty or would merge into a preceding return list.
class LAScriterionKeepReturns : public LAScriterion {
 public:
  explicit LAScriterionKeepReturns(uint16_t keep_mask) : drop_mask(static_cast<uint16_t>(~keep_mask)) {}
  const char* name() const override { return "keep_return_mask"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;
  uint16_t get_keep_mask() const { return static_cast<uint16_t>(~drop_mask); }

 private:
  uint16_t drop_mask;
};

// Rejects when bit rn of the mask is set. Prints "-drop_return n ..." or,
// like the keep variant, "-drop_return_mask".
class LAScriterionDropReturns : public LAScriterion {
 public:
  explicit LAScriterionDropReturns(uint16_t drop_mask) : drop_mask(drop_mask) {}
  const char* name() const override { return "drop_return_mask"; }
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;
  uint16_t get_drop_mask() const { return drop_mask; }

 private:
  uint16_t drop_mask;
};

// Rejects nr != n. Named "keep_single" ... "keep_quintuple" for n = 1 to 5,
// which is also the printed form; other counts are named and printed as
// "keep_number_of_returns" with the count.
class LAScriterionKeepSpecificNumberOfReturns : public LAScriterion {
 public:
  explicit LAScriterionKeepSpecificNumberOfReturns(int32_t number_of_returns) : number_of_returns(number_of_returns) {}
  const char* name() const override;
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  int32_t number_of_returns;
};

// Rejects nr = n; names as the keep variant with "drop_".
class LAScriterionDropSpecificNumberOfReturns : public LAScriterion {
 public:
  explicit LAScriterionDropSpecificNumberOfReturns(int32_t number_of_returns) : number_of_returns(number_of_returns) {}
  const char* name() const override;
  void write_command(LAScommand& command) const override;
  bool rejects(const LASpoint* point) override;

 private:
  int32_t number_of_returns;
};

#endif
