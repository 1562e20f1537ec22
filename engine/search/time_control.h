// Time for one move: the millisecond clock of the move, the three limits
// computed from the host's time budget, and the poll the searches run.
#pragma once

#include <cstdint>

namespace qb {

// Bits of getmove's info argument.
constexpr int INFO_NEW_GAME = 1 << 0;
constexpr int INFO_EXACT_TIME = 1 << 1;
constexpr int INFO_TIME_UNIT_SHIFT = 2;  // bits 2-3: 0 fixed time, 1-3 incremental

struct TimeLimits {
  double hard;       // seconds: the main thread forces a stop
  double more_time;  // up to here the next iteration may go two plies deeper
  double stop;       // from here no new iteration starts
};

struct ClockInfo {
  bool incremental;
  double increment;  // seconds
  double remaining;  // seconds
};

ClockInfo decode_time(int info, int moreinfo);

// The longest a host may ask one move to take: a day. A host that wants to
// think without end sets its stop flag instead.
constexpr double MAX_MOVE_SECONDS = 24 * 3600;

// A host's time in seconds made fit for every search: one that is not a
// number or is negative counts as none, one beyond MAX_MOVE_SECONDS (an
// infinite one too) as MAX_MOVE_SECONDS, so that every limit stays finite.
double bounded_move_time(double maxtime);

// Computes the limits of one move (from the bounded move time); in incremental play a new game also sets
// the time base (the game's initial time).
TimeLimits time_limits(double maxtime, int info, int moreinfo);

// The time base survives between moves; 1.0 before any game was seen.
extern double g_time_base;

void start_move_clock();
// Milliseconds since start_move_clock(), never below 1.
int32_t elapsed_ms();
inline double elapsed_seconds() { return elapsed_ms() / 1000.0; }

}  // namespace qb
