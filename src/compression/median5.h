// A cheap running "median" of the values added so far: five values kept in
// ascending order, updated so that the window drifts with the data. get() is
// a prediction for the next value, not the exact median of the last five.
#ifndef TIECHECK_COMPRESSION_MEDIAN5_H
#define TIECHECK_COMPRESSION_MEDIAN5_H

#include <cstdint>

class Median5 {
 public:
  Median5() { init(); }

  // All five values 0.
  void init();
  void add(int32_t v);
  int32_t get() const { return values[2]; }

 private:
  int32_t values[5];
  // Whether the next value below the median replaces from the top (true)
  // or the next value above it replaces from the bottom (false).
  bool high;
};

#endif
