// Time controls as the engine's getmove understands them: a fixed time per
// move in `maxtime`, or an incremental clock packed into `info` (bits 2-3:
// the unit) and `moreinfo` (remaining time in the high 16 bits, increment in
// the low 16 bits).
#pragma once

#include <optional>
#include <string>

namespace host {

struct TimeControl {
  bool incremental = false;
  double move_time = 1.0;  // seconds per move, fixed time
  double base = 0;         // seconds on each clock at the start, incremental
  double increment = 0;    // seconds added after each move, incremental

  std::string text() const;  // "1s/move" or "60+0.5"; also the PDN TimeControl tag
};

// "S" seconds per move.
std::optional<TimeControl> fixed_time(const std::string& seconds);
// "BASE+INC" in seconds, e.g. "60+0.5".
std::optional<TimeControl> incremental_clock(const std::string& text);

constexpr int INFO_NEW_GAME = 1;

struct GetmoveTime {
  double maxtime;
  int info;
  int moreinfo;
};

// The arguments for one getmove call; `remaining` is the mover's clock.
GetmoveTime encode_time(const TimeControl& tc, double remaining, bool new_game);

}  // namespace host
