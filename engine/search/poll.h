// The check every search node makes first: has the host or the clock asked
// for a stop? Requests count only from iteration depth 5, so every move
// completes the iterations of depths 1 and 3.
#pragma once

#include "search/search_state.h"
#include "interface/base/stop.h"
#include "search/time_control.h"

namespace qb {

constexpr int POLL_INTERVAL = 2000;  // node entries between clock reads (thread 0)

// Thread 0 stops the search itself once the hard time limit has passed.
inline bool hard_limit_reached() {
  if (elapsed_seconds() > g_search.hard_limit && iteration_depth() >= STOP_MIN_DEPTH) {
    set_stop_flag(1);
    return true;
  }
  return false;
}

inline bool search_aborted(int thread) {
  if (stop_requested() && iteration_depth() >= STOP_MIN_DEPTH) return true;
  if (thread != 0 || ++g_search.poll_counter < POLL_INTERVAL) return false;
  g_search.poll_counter = 0;
  return hard_limit_reached();
}

}  // namespace qb
