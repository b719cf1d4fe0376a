// The program's clock for timing messages.
#ifndef TIECHECK_DRIVER_RUNCLOCK_H
#define TIECHECK_DRIVER_RUNCLOCK_H

// Seconds of processor time since the program started.
double run_seconds();

#endif
