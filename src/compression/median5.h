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
  // Inline: the coordinate codecs call it twice per point.
  void add(int32_t v) {
    int32_t* m = values;
    if (high) {
      if (v < m[2]) {
        m[4] = m[3];
        m[3] = m[2];
        if (v < m[0]) {
          m[2] = m[1];
          m[1] = m[0];
          m[0] = v;
        } else if (v < m[1]) {
          m[2] = m[1];
          m[1] = v;
        } else {
          m[2] = v;
        }
      } else {
        if (v < m[3]) {
          m[4] = m[3];
          m[3] = v;
        } else {
          m[4] = v;
        }
        high = false;
      }
    } else {
      if (m[2] < v) {
        m[0] = m[1];
        m[1] = m[2];
        if (m[4] < v) {
          m[2] = m[3];
          m[3] = m[4];
          m[4] = v;
        } else if (m[3] < v) {
          m[2] = m[3];
          m[3] = v;
        } else {
          m[2] = v;
        }
      } else {
        if (m[1] < v) {
          m[0] = m[1];
          m[1] = v;
        } else {
          m[0] = v;
        }
        high = true;
      }
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
