// Iterative deepening at the root, shared by the getmove driver and the
// fixed-depth searches of the tools and tests (fixed_depth.h).
#pragma once

#include <functional>

#include "board/movegen.h"
#include "board/position.h"
#include "search/depth.h"

namespace qb {

struct DeepeningLimits {
  double more_time;  // seconds: up to here the next iteration is two plies deeper
  double stop;       // seconds: from here no new iteration starts
  Plies depth_cap;
};

struct DeepeningResult {
  int best_index;  // into the root's move list
  int value;       // black's view
  Plies depth;     // of the last completed iteration
};

// Called after every completed iteration with its result.
using IterationDone = std::function<void(const DeepeningResult&)>;

// Deepens over the root's moves (`root` being its game-history record, which
// prepare_search returned) until the depth cap or the time limits end it,
// writing progress into `status` (may be null). A stop from depth 5 on
// discards the unfinished iteration. The search threads in use are awake
// meanwhile.
DeepeningResult deepen(const SearchNode& root, const MoveList& moves, int count,
                       const DeepeningLimits& limits, char* status, const IterationDone& on_iteration = {});

// The principal-variation length the reports and pins use at depth d.
inline int pv_length(Plies depth) { return depth + depth / 5; }

}  // namespace qb
