// The iteration skeleton every driver deepens with; what differs between
// them (the passes of one iteration, the depth after it) comes in as
// parameters.
#pragma once

#include "search/depth.h"
#include "search/search_state.h"
#include "search/threads.h"

namespace qb {

// Runs iterations at depth 1, then at the depths `next` gives, while they lie
// within `depth_cap`. Each iteration's depth is published first (the stop
// rule and the helpers read it) and its statistics start afresh; the search
// threads in use are awake throughout. `iteration(d)` returns false to end
// the deepening (a stop cut it short, or its result needs no deeper look);
// `next(d)`, after a completed one, returns the next depth or 0 to end.
template <class Iteration, class Next>
void run_iterations(Plies depth_cap, Iteration iteration, Next next) {
  AwakeSearchThreads awake;
  for (Plies d = 1; d >= 1 && d <= depth_cap; d = next(d)) {
    g_search.iteration_depth.store(d, std::memory_order_relaxed);
    reset_iteration_statistics();
    if (!iteration(d)) break;
  }
}

}  // namespace qb
