#include "search/time_control.h"

#include <algorithm>
#include <chrono>

namespace qb {

double g_time_base = 1.0;

namespace {

int32_t g_clock_start = 0;

// A 31-bit millisecond clock, like the process clock of the runtime.
int32_t clock_ms() {
  using namespace std::chrono;
  static const steady_clock::time_point origin = steady_clock::now();
  auto ms = duration_cast<milliseconds>(steady_clock::now() - origin).count();
  return int32_t(uint64_t(ms) & 0x7FFFFFFF);
}

// Divisor of the remaining time: fewer moves are budgeted when the increment
// is large against the game's initial time, more when the clock runs low.
double moves_to_budget(double increment, double remaining) {
  if (increment == 0) return remaining / g_time_base < 0.05 ? 11 : 10;
  double q = g_time_base / increment;
  if (q > 50) return 10;
  if (q > 20) return 9;
  if (q > 10) return 7;
  if (q > 5) return 5;
  return 3.5;
}

}  // namespace

ClockInfo decode_time(int info, int moreinfo) {
  static constexpr double UNIT[4] = {0, 0.001, 0.01, 0.1};
  int code = (info >> INFO_TIME_UNIT_SHIFT) & 3;
  if (code == 0) return ClockInfo{false, 0, 0};
  uint32_t fields = uint32_t(moreinfo);
  return ClockInfo{true, (fields & 0xFFFF) * UNIT[code], ((fields >> 16) & 0xFFFF) * UNIT[code]};
}

double bounded_move_time(double maxtime) {
  if (!(maxtime > 0)) return 0;  // also NaN
  return std::min(maxtime, MAX_MOVE_SECONDS);
}

TimeLimits time_limits(double maxtime, int info, int moreinfo) {
  maxtime = bounded_move_time(maxtime);
  ClockInfo clock = decode_time(info, moreinfo);
  if (!clock.incremental) {
    double hard = (info & INFO_EXACT_TIME) ? maxtime : 3 * maxtime;
    return TimeLimits{hard, 0.48 * maxtime, 0.75 * maxtime};
  }
  double inc = clock.increment, rem = clock.remaining;
  double budget = rem;
  if (inc < rem) {
    if (info & INFO_NEW_GAME) g_time_base = rem - inc;
    budget = std::min(((rem - inc) / moves_to_budget(inc, rem) + inc / 1.2) * 1.5, rem);
  }
  return TimeLimits{std::max(budget - 0.003, 0.01), budget * 0.48 / 1.5, budget * 0.75 / 1.5};
}

void start_move_clock() { g_clock_start = clock_ms(); }

int32_t elapsed_ms() {
  int32_t diff = clock_ms() - g_clock_start;
  if (diff < 0) diff += 2147483647;  // the clock wrapped since the start
  return diff == 0 ? 1 : diff;
}

}  // namespace qb
