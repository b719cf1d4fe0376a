// Entry of the tiecheck program.
#include "driver/tiecheckmain.h"

int main(int argc, char** argv) { return tiecheck_main(argc, argv); }
