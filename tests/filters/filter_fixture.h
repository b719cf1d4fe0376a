// A point of format 10 (every field a criterion can read) with one extra-
// bytes attribute, and argument vectors built from one line of text.
#ifndef TIECHECK_TESTS_FILTERS_FILTER_FIXTURE_H
#define TIECHECK_TESTS_FILTERS_FILTER_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "las/lasattributer.h"
#include "las/lasitem.h"
#include "las/laspoint.h"
#include "las/lasquantizer.h"

// Scale 0.25 makes every probe coordinate exact, so that a probe sits
// exactly on, or one step beside, a threshold. The offsets make sure the
// criteria compare scaled coordinates, not raw ones.
struct FilterPoint {
  LASquantizer quantizer;
  LASattributer attributer;
  LASpoint point;

  FilterPoint() {
    quantizer.x_scale_factor = quantizer.y_scale_factor = quantizer.z_scale_factor = 0.25;
    quantizer.x_offset = 1000.0;
    quantizer.y_offset = 2000.0;
    quantizer.z_offset = 0.0;
    // attribute 0: a 16-bit integer read with scale 0.5
    LASattribute height(LASattribute::I16, "height");
    height.set_scale(0.5);
    EXPECT_EQ(attributer.add_attribute(height), 0);
    EXPECT_TRUE(point.init(&quantizer, 10, static_cast<uint16_t>(LASitem::base_size(10) + 2), &attributer));
    fresh();
  }

  // The point with every value zero (return number and count 1) and GPS time.
  LASpoint& fresh() {
    point.zero();
    point.have_gps_time = true;
    return point;
  }
};

// argv from a line split at blanks, with "prog" as argv[0]; the strings stay
// inspectable after parse blanked some of them.
struct ArgVector {
  std::vector<std::string> words;
  std::vector<std::vector<char>> storage;
  std::vector<char*> argv;

  explicit ArgVector(const std::string& line) {
    words.push_back("prog");
    size_t pos = 0;
    while (pos < line.size()) {
      size_t end = line.find(' ', pos);
      if (end == std::string::npos) end = line.size();
      if (end > pos) words.push_back(line.substr(pos, end - pos));
      pos = end + 1;
    }
    for (const std::string& w : words) storage.emplace_back(w.c_str(), w.c_str() + w.size() + 1);
    for (std::vector<char>& s : storage) argv.push_back(s.data());
  }
  int argc() const { return static_cast<int>(argv.size()); }
  std::string at(size_t i) const { return std::string(argv[i]); }
};

#endif
