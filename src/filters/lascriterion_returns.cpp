#include "filters/lascriterion_returns.h"

#include <cstring>

#include "las/laspoint.h"

namespace {

// The list form "-word n n ..." of the set bits of a 16-bit mask, or the
// mask form "-mask_word m" when the list would be empty (no list option
// takes zero values) or would be merged by the parser into the directly
// preceding criterion of the same kind.
void write_return_list(LAScommand& command, const LAScriterion* criterion, const char* list_word,
                       uint16_t listed_bits) {
  const LAScriterion* previous = command.previous();
  const bool would_merge = previous && strcmp(previous->name(), criterion->name()) == 0;
  if (listed_bits == 0 || would_merge) {
    command.option(criterion->name());
    command.add_unsigned(listed_bits);
    return;
  }
  command.option(list_word);
  for (uint32_t n = 0; n < 16; n++) {
    if (listed_bits & (1u << n)) command.add_unsigned(n);
  }
}

const char* const keep_count_names[] = {"keep_number_of_returns", "keep_single", "keep_double",
                                        "keep_triple", "keep_quadruple", "keep_quintuple"};
const char* const drop_count_names[] = {"drop_number_of_returns", "drop_single", "drop_double",
                                        "drop_triple", "drop_quadruple", "drop_quintuple"};

int32_t count_name_index(int32_t n) { return n >= 1 && n <= 5 ? n : 0; }

}  // namespace

bool LAScriterionKeepFirstReturn::rejects(const LASpoint* point) { return point->return_number > 1; }

bool LAScriterionDropFirstReturn::rejects(const LASpoint* point) { return point->return_number == 1; }

bool LAScriterionKeepFirstOfManyReturn::rejects(const LASpoint* point) {
  return point->number_of_returns == 1 || point->return_number > 1;
}

bool LAScriterionDropFirstOfManyReturn::rejects(const LASpoint* point) {
  return point->number_of_returns >= 2 && point->return_number == 1;
}

bool LAScriterionKeepLastReturn::rejects(const LASpoint* point) {
  return point->return_number < point->number_of_returns;
}

bool LAScriterionDropLastReturn::rejects(const LASpoint* point) {
  return point->return_number >= point->number_of_returns;
}

bool LAScriterionKeepLastOfManyReturn::rejects(const LASpoint* point) {
  return point->return_number == 1 || point->return_number < point->number_of_returns;
}

bool LAScriterionDropLastOfManyReturn::rejects(const LASpoint* point) {
  return point->number_of_returns >= 2 && point->return_number >= point->number_of_returns;
}

bool LAScriterionKeepMiddleReturn::rejects(const LASpoint* point) {
  return point->return_number == 1 || point->return_number >= point->number_of_returns;
}

bool LAScriterionDropMiddleReturn::rejects(const LASpoint* point) {
  return point->return_number > 1 && point->return_number < point->number_of_returns;
}

bool LAScriterionKeepSecondLast::rejects(const LASpoint* point) {
  return !(point->number_of_returns >= 2 && point->number_of_returns == point->return_number + 1);
}

bool LAScriterionDropSecondLast::rejects(const LASpoint* point) {
  return point->number_of_returns >= 2 && point->number_of_returns == point->return_number + 1;
}

void LAScriterionKeepReturns::write_command(LAScommand& command) const {
  write_return_list(command, this, "keep_return", get_keep_mask());
}
bool LAScriterionKeepReturns::rejects(const LASpoint* point) { return (drop_mask >> point->return_number) & 1; }

void LAScriterionDropReturns::write_command(LAScommand& command) const {
  write_return_list(command, this, "drop_return", drop_mask);
}
bool LAScriterionDropReturns::rejects(const LASpoint* point) { return (drop_mask >> point->return_number) & 1; }

const char* LAScriterionKeepSpecificNumberOfReturns::name() const {
  return keep_count_names[count_name_index(number_of_returns)];
}
void LAScriterionKeepSpecificNumberOfReturns::write_command(LAScommand& command) const {
  command.option(name());
  // The count option reads an unsigned number, so the count is printed as
  // one to read back the same 32 bits.
  if (count_name_index(number_of_returns) == 0) command.add_unsigned(static_cast<uint32_t>(number_of_returns));
}
bool LAScriterionKeepSpecificNumberOfReturns::rejects(const LASpoint* point) {
  return point->number_of_returns != number_of_returns;
}

const char* LAScriterionDropSpecificNumberOfReturns::name() const {
  return drop_count_names[count_name_index(number_of_returns)];
}
void LAScriterionDropSpecificNumberOfReturns::write_command(LAScommand& command) const {
  command.option(name());
  if (count_name_index(number_of_returns) == 0) command.add_unsigned(static_cast<uint32_t>(number_of_returns));
}
bool LAScriterionDropSpecificNumberOfReturns::rejects(const LASpoint* point) {
  return point->number_of_returns == number_of_returns;
}
