// A cheap running "median" of the values added so far: five values kept in
// ascending order, updated so that the window drifts with the data. get() is
// a prediction for the next value, not the exact median of the last five.
#ifndef TIECHECK_COMPRESSION_MEDIAN5_H
#define TIECHECK_COMPRESSION_MEDIAN5_H

#include <algorithm>
#include <cstdint>

class Median5 {
 public:
  Median5() { init(); }

  // All five values 0.
  void init();
  // Inline and without branches on the values, which follow no pattern the
  // processor could predict: the coordinate codecs call it twice per point.
  // Each case keeps the five values sorted: a value below the median goes
  // among the lower three (the top one dropping out), one at or above it
  // among the upper two, and the other way round after a drift upwards.
  void add(int32_t v) {
    int32_t* m = values;
    const int32_t m0 = m[0], m1 = m[1], m2 = m[2], m3 = m[3], m4 = m[4];
    if (high) {
      const bool lower = v < m2;
      m[0] = lower ? std::min(m0, v) : m0;
      m[1] = lower ? std::max(m0, std::min(m1, v)) : m1;
      m[2] = lower ? std::max(m1, v) : m2;
      m[3] = lower ? m2 : std::min(m3, v);
      m[4] = lower ? m3 : std::max(m3, v);
      high = lower;
    } else {
      const bool upper = m2 < v;
      m[0] = upper ? m1 : std::min(m1, v);
      m[1] = upper ? m2 : std::max(m1, v);
      m[2] = upper ? std::min(m3, v) : m2;
      m[3] = upper ? std::min(m4, std::max(m3, v)) : m3;
      m[4] = upper ? std::max(m4, v) : m4;
      high = !upper;
    }
  }
  int32_t get() const { return values[2]; }

 private:
  int32_t values[5];
  // Whether the next value below the median replaces from the top (true)
  // or the next value above it replaces from the bottom (false).
  bool high;
};

#endif
