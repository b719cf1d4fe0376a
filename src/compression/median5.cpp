#include "compression/median5.h"

void Median5::init() {
  values[0] = values[1] = values[2] = values[3] = values[4] = 0;
  high = true;
}

void Median5::add(int32_t v) {
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
