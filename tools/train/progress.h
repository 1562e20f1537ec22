// A one-line progress bar on standard error, rewritten in place on a
// terminal and printed every tenth of the way otherwise.
#pragma once

#include <chrono>
#include <string>

namespace qb::train {

class ProgressBar {
 public:
  // `already` of the total were done by an earlier run: the estimate of the
  // time left counts only this run's pace.
  ProgressBar(std::string label, long total, long already = 0);
  void advance(long by = 1);
  void finish();

 private:
  void draw();
  std::string label_;
  long total_, already_, done_, last_tenth_ = -1;
  bool terminal_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace qb::train
