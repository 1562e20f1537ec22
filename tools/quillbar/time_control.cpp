#include "time_control.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace host {
namespace {

constexpr double MAX_SECONDS = 86400;
constexpr int FIELD_MAX = 0xFFFF;

struct ClockUnit {
  int code;  // value of info bits 2-3
  double seconds;
};
constexpr ClockUnit UNITS[] = {{1, 0.001}, {2, 0.01}, {3, 0.1}};

std::optional<double> read_seconds(const std::string& text, double min) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (*end || !std::isfinite(v) || v < min || v > MAX_SECONDS) return std::nullopt;
  return v;
}

std::string seconds_text(double s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", s);
  return buf;
}

}  // namespace

std::string TimeControl::text() const {
  if (incremental) return seconds_text(base) + "+" + seconds_text(increment);
  return seconds_text(move_time) + "s/move";
}

std::optional<TimeControl> fixed_time(const std::string& seconds) {
  auto s = read_seconds(seconds, 0.001);
  if (!s) return std::nullopt;
  TimeControl tc;
  tc.move_time = *s;
  return tc;
}

std::optional<TimeControl> incremental_clock(const std::string& text) {
  size_t plus = text.find('+');
  if (plus == std::string::npos) return std::nullopt;
  auto base = read_seconds(text.substr(0, plus), 0.001);
  auto inc = read_seconds(text.substr(plus + 1), 0);
  if (!base || !inc) return std::nullopt;
  TimeControl tc;
  tc.incremental = true;
  tc.base = *base;
  tc.increment = *inc;
  return tc;
}

GetmoveTime encode_time(const TimeControl& tc, double remaining, bool new_game) {
  int info = new_game ? INFO_NEW_GAME : 0;
  if (!tc.incremental) return {tc.move_time, info, 0};
  remaining = std::max(remaining, 0.0);
  // The finest unit in which both fields fit; past the coarsest the fields
  // are clamped, which only happens beyond 109 minutes.
  ClockUnit unit = UNITS[2];
  for (const ClockUnit& u : UNITS) {
    if (std::max(remaining, tc.increment) / u.seconds <= FIELD_MAX) {
      unit = u;
      break;
    }
  }
  // Round the remaining time down so the engine never believes it has more
  // (the nudge keeps 1.0 / 0.001 from landing on 999.999...).
  int left = int(std::min<double>(std::floor(remaining / unit.seconds + 1e-9), FIELD_MAX));
  int inc = int(std::min<double>(std::lround(tc.increment / unit.seconds), FIELD_MAX));
  info |= unit.code << 2;
  // maxtime plays no part in an incremental budget but still bounds side
  // checks in the engine; give it a sensible share of the clock.
  double maxtime = std::max(0.01, std::min(remaining, tc.increment + remaining / 30));
  return {maxtime, info, int(uint32_t(left) << 16 | uint32_t(inc))};
}

}  // namespace host
