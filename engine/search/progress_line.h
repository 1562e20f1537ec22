// The progress line of one iterative deepening. It is written after every
// root pass; a pass late in a long search can take seconds, so in between a
// refresher thread rewrites the same line with the live time and speed
// five times a second, and the host's display keeps moving.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace qb {

constexpr auto PROGRESS_REFRESH = std::chrono::milliseconds(200);

class ProgressLine {
 public:
  // No refresher without a status text to write into.
  explicit ProgressLine(char* status);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // A root pass ended: the line as write_progress words it.
  void write(const char* sign, int value, int depth, const char* pv);

 private:
  void refresh_until_stopped();

  char* status_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  bool written_ = false;  // nothing to refresh before the first pass
  std::string sign_, pv_;
  int value_ = 0, depth_ = 0;
  std::chrono::steady_clock::time_point written_at_;
  std::thread refresher_;
};

}  // namespace qb
