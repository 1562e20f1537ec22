// A progress bar with the time left, on standard error. On a terminal it
// redraws one line; otherwise it writes a line per finished step, for logs.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace tb {

class Progress {
 public:
  explicit Progress(double total_work);
  // `done` work finished so far; `what` names the current step.
  void show(double done, const std::string& what);
  void step_done(double done, const std::string& what);
  void finish(const std::string& summary);
  double seconds() const;

 private:
  std::string line(double done, const std::string& what) const;

  double total_;
  bool terminal_;
  std::chrono::steady_clock::time_point start_, last_draw_;
};

std::string format_seconds(double s);

}  // namespace tb
