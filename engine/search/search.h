// The two per-node searches. Scores are from the side to move's view; depth
// is in eighths of a ply.
#pragma once

#include "board/position.h"
#include "search/depth.h"

namespace qb {

// Alpha-beta over `node` with `depth` (at least 9) remaining. `pruning` is
// false inside a ProbCut verification search; `thread` is 0 for the main
// thread. After a stop from iteration depth 5 on the result is meaningless.
int node_search(const SearchNode& node, int ply, Eighths depth, int alpha, int beta, bool pruning,
                int thread);

// The horizon: resolves captures, looks one ply into quiet moves against a
// threat near the window, else stands on the evaluation or the databases.
// `depth` is 0 or below.
int capture_search(const SearchNode& node, int ply, int alpha, int beta, Eighths depth, int thread);

}  // namespace qb
