#include "driver/runclock.h"

#include <ctime>

double run_seconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }
