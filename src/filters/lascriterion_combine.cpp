#include "filters/lascriterion_combine.h"

void LAScriterionAnd::write_command(LAScommand& command) const {
  command.add_criterion(first.get());
  command.add_criterion(second.get());
  command.option(name());
}

void LAScriterionOr::write_command(LAScommand& command) const {
  command.add_criterion(first.get());
  command.add_criterion(second.get());
  command.option(name());
}
