// A one-line progress bar on standard error, rewritten in place on a
// terminal and printed every tenth of the way otherwise.
#pragma once

#include <chrono>
#include <string>

namespace qb::train {

class ProgressBar {
 public:
  ProgressBar(std::string label, long total);
  void advance(long by = 1);
  void finish();

 private:
  void draw();
  std::string label_;
  long total_, done_ = 0, last_tenth_ = -1;
  bool terminal_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace qb::train
