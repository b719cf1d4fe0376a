#include "compression/median5.h"

void Median5::init() {
  values[0] = values[1] = values[2] = values[3] = values[4] = 0;
  high = true;
}
