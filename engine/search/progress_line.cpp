#include "search/progress_line.h"

#include "search/report.h"

namespace qb {

ProgressLine::ProgressLine(char* status) : status_(status) {
  if (status_) refresher_ = std::thread([this] { refresh_until_stopped(); });
}

ProgressLine::~ProgressLine() {
  if (!refresher_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  refresher_.join();
}

void ProgressLine::write(const char* sign, int value, int depth, const char* pv) {
  if (!status_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  sign_ = sign;
  pv_ = pv;
  value_ = value;
  depth_ = depth;
  written_ = true;
  written_at_ = std::chrono::steady_clock::now();
  write_progress(status_, sign, value, depth, pv);
}

// Only the time, the speed and the depths of the statistics change between
// passes; a pass that ends meanwhile writes the line itself.
void ProgressLine::refresh_until_stopped() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!wake_.wait_for(lock, PROGRESS_REFRESH, [this] { return stopping_; })) {
    // A pass that wrote within the last half period has said it all.
    if (!written_ || std::chrono::steady_clock::now() - written_at_ < PROGRESS_REFRESH / 2) continue;
    written_at_ = std::chrono::steady_clock::now();
    write_progress(status_, sign_.c_str(), value_, depth_, pv_.c_str());
  }
}

}  // namespace qb
