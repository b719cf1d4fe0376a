// The filter: an ordered list of criteria built from command-line options
// ("-keep_class 2 8", "-drop_z_above 130.725", ...) and applied to every
// point a reader delivers.
//
// Typical use by a read opener:
//
//   LASfilter* filter = new LASfilter();
//   if (!filter->parse(argc, argv)) { delete filter; return false; }   // message printed
//   if (filter->get_number_of_criteria() == 0) { delete filter; filter = nullptr; }
//   ...
//   filter->reset();                       // before each input file
//   mask |= filter->get_decompress_selective();
//   while (reader->read_point()) ...      // the reader skips points with filter->rejects(&point)
#ifndef TIECHECK_FILTERS_LASFILTER_H
#define TIECHECK_FILTERS_LASFILTER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "filters/lascriterion.h"
#include "las/laspoint.h"

class LASfilter {
 public:
  LASfilter() = default;
  ~LASfilter();
  LASfilter(const LASfilter&) = delete;
  LASfilter& operator=(const LASfilter&) = delete;

  // Prints the help text of the filter options to stderr.
  static void usage();

  // Takes the filter options out of argv[1 .. argc-1]: each recognised
  // option and its arguments are blanked (first character set to '\0');
  // empty and unknown arguments are skipped. "-h" or "-help" prints usage()
  // and returns true at once. On a bad option or argument prints one
  // "ERROR: ..." message and returns false; criteria added before stay.
  [[nodiscard]] bool parse(int argc, char* argv[]);
  // The same for one string, cut in place at blanks (runs of blanks make no
  // empty arguments). Any number of arguments is accepted, so that every
  // text of format_commands() parses again.
  [[nodiscard]] bool parse(char* string);
  // The same for a copy of `text`.
  [[nodiscard]] bool parse(const std::string& text);

  // The command texts of all criteria, in order, into `buffer` with
  // snprintf semantics (at most size - 1 characters and a terminator);
  // returns the full length. parse() of the text builds the same criteria.
  int format_commands(char* buffer, size_t size) const;
  std::string format_commands() const;

  // Appends a criterion and takes ownership; its counter starts at 0.
  void add_criterion(LAScriterion* criterion);

  // Destroys all criteria; the filter is empty again.
  void clean();

  // True when some criterion rejects the point. Criteria are asked in order;
  // the first that rejects has its counter incremented and later ones are
  // not asked. Inline: this runs once per point of every filtered read.
  bool rejects(const LASpoint* point) {
    size_t i = 0;
    if (first_class_test != ClassTest::none) {
      if (class_rejects(point)) {
        counters[0]++;
        return true;
      }
      i = 1;
    }
    for (; i < criteria.size(); i++) {
      if (criteria[i]->rejects(point)) {
        counters[i]++;
        return true;
      }
    }
    return false;
  }

  // The selective-decompression mask the criteria need (see LASfield).
  uint32_t needed_fields() const;
  uint32_t get_decompress_selective() const { return needed_fields(); }

  // Resets every criterion's state for the next input file; the counters
  // keep counting.
  void reset();

  uint32_t get_number_of_criteria() const { return static_cast<uint32_t>(criteria.size()); }
  const LAScriterion* get_criterion(uint32_t index) const { return criteria[index]; }
  // How many points criterion `index` was the first to reject.
  int64_t get_counter(uint32_t index) const { return counters[index]; }

 private:
  friend class LASfilterParser;

  // The most recent criterion, taken out of the list without destroying it.
  LAScriterion* take_last();

  // A class list first in the filter ("-keep_class 2", the usual selection
  // of ground points) is tested here without a virtual call; the criterion
  // itself is stateless, so its mask is copied when the list changes.
  enum class ClassTest : uint8_t { none, keep, drop };
  void update_first_class_test();
  bool class_rejects(const LASpoint* point) const;

  ClassTest first_class_test = ClassTest::none;
  uint32_t first_class_drop_mask = 0;

  std::vector<LAScriterion*> criteria;  // owned, in the order of adding
  std::vector<int64_t> counters;
};

// The test of LAScriterionKeepClassifications and LAScriterionDropClassifications:
// a class above 31 (legacy class 0, extended class not 0) is rejected by
// the keep form and kept by the drop form.
inline bool LASfilter::class_rejects(const LASpoint* point) const {
  if (point->classification == 0 && point->extended_classification != 0) return first_class_test == ClassTest::keep;
  return (first_class_drop_mask >> point->classification) & 1;
}

#endif
