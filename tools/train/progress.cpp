#include "train/progress.h"

#include <unistd.h>

#include <cstdio>

namespace qb::train {

constexpr int BAR_WIDTH = 40;

ProgressBar::ProgressBar(std::string label, long total, long already)
    : label_(std::move(label)),
      total_(total > 0 ? total : 1),
      already_(already),
      done_(already),
      terminal_(isatty(2)) {}

void ProgressBar::advance(long by) {
  done_ += by;
  long tenth = done_ * 10 / total_;
  if (terminal_ || tenth != last_tenth_) draw();
  last_tenth_ = tenth;
}

void ProgressBar::finish() {
  if (terminal_) std::fputc('\n', stderr);
}

void ProgressBar::draw() {
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  int filled = int(done_ * BAR_WIDTH / total_);
  long this_run = done_ - already_;
  double eta = this_run > 0 ? seconds * double(total_ - done_) / double(this_run) : 0;
  std::fprintf(stderr, "%s[%s%s] %ld/%ld %s  %.0fs, %.0fs to go%s", terminal_ ? "\r" : "",
               std::string(size_t(filled), '#').c_str(), std::string(size_t(BAR_WIDTH - filled), '.').c_str(),
               done_, total_, label_.c_str(), seconds, eta, terminal_ ? "" : "\n");
  std::fflush(stderr);
}

}  // namespace qb::train
