// An argument vector for the command-line parsers, whose strings they may
// blank (set to the empty string) when they consume an option.
#ifndef TIECHECK_TESTS_SUPPORT_ARGVECTOR_H
#define TIECHECK_TESTS_SUPPORT_ARGVECTOR_H

#include <string>
#include <utility>
#include <vector>

namespace lastest {

class ArgVector {
 public:
  // The program name "tiecheck" comes first, then args.
  explicit ArgVector(std::vector<std::string> args) : storage_(std::move(args)) {
    storage_.insert(storage_.begin(), "tiecheck");
    for (std::string& s : storage_) pointers_.push_back(s.data());
  }
  ArgVector(const ArgVector&) = delete;
  ArgVector& operator=(const ArgVector&) = delete;

  int argc() const { return static_cast<int>(pointers_.size()); }
  char** argv() { return pointers_.data(); }
  // Argument i as the parsers left it (0 is the program name).
  std::string arg(int i) const { return pointers_[static_cast<size_t>(i)]; }
  // The arguments not consumed, in order.
  std::vector<std::string> left() const {
    std::vector<std::string> rest;
    for (size_t i = 1; i < pointers_.size(); i++) {
      if (pointers_[i][0] != '\0') rest.emplace_back(pointers_[i]);
    }
    return rest;
  }

 private:
  std::vector<std::string> storage_;
  std::vector<char*> pointers_;
};

}  // namespace lastest

#endif
