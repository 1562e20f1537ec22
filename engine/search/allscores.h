// The all-scores analysis of getmove: every root move searched by itself to
// an exact value, all of them shown with their values, the best played.
#pragma once

#include "board/position.h"
#include "search/depth.h"
#include "search/root_moves.h"

namespace qb {

// Deepens one ply at a time over every record until `stop_limit` seconds have
// passed or the depth cap is reached, sorting the records after each
// completed iteration and writing "depth %d,  %.1fs,  list" into `status`
// (may be null). A stop from depth 5 on puts back the values of the last
// completed iteration. Returns that iteration's report.
IterationReport all_scores_iterations(RootMoves& roots, const Position& root, Plies depth_cap,
                                      double stop_limit, char* status, MoveSearch search);

}  // namespace qb
