#include "gen/progress.h"

#include <unistd.h>

#include <cstdio>

namespace tb {

std::string format_seconds(double s) {
  char buf[32];
  if (s < 60) std::snprintf(buf, sizeof buf, "%.1f s", s);
  else if (s < 3600) std::snprintf(buf, sizeof buf, "%d min %02d s", int(s) / 60, int(s) % 60);
  else std::snprintf(buf, sizeof buf, "%d h %02d min", int(s) / 3600, int(s) / 60 % 60);
  return buf;
}

Progress::Progress(double total_work)
    : total_(total_work > 0 ? total_work : 1),
      terminal_(::isatty(2)),
      start_(std::chrono::steady_clock::now()),
      last_draw_(start_) {}

double Progress::seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

std::string Progress::line(double done, const std::string& what) const {
  constexpr int WIDTH = 30;
  double share = done / total_ > 1 ? 1 : done / total_;
  std::string bar(WIDTH, ' ');
  for (int i = 0; i < int(share * WIDTH); ++i) bar[i] = '#';
  double elapsed = seconds();
  // Work is measured in positions, which take about equal time each.
  char left[64] = "estimating";
  if (share > 0.001)
    std::snprintf(left, sizeof left, "~%s left", format_seconds(elapsed / share - elapsed).c_str());
  char buf[200];
  std::snprintf(buf, sizeof buf, "[%s] %5.1f%%  %-8s  %s elapsed, %s", bar.c_str(), share * 100, what.c_str(),
                format_seconds(elapsed).c_str(), left);
  return buf;
}

void Progress::show(double done, const std::string& what) {
  if (!terminal_) return;
  auto now = std::chrono::steady_clock::now();
  if (now - last_draw_ < std::chrono::milliseconds(200)) return;
  last_draw_ = now;
  std::fprintf(stderr, "\r%s\033[K", line(done, what).c_str());
}

void Progress::step_done(double done, const std::string& what) {
  if (terminal_) {
    last_draw_ = {};
    show(done, what);
  } else {
    std::fprintf(stderr, "%s\n", line(done, what).c_str());
  }
}

void Progress::finish(const std::string& summary) {
  std::fprintf(stderr, "%s%s\n", terminal_ ? "\r\033[K" : "", summary.c_str());
}

}  // namespace tb
