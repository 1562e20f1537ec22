// Late-move reductions, shared by the node search and the parallel search's
// workers so that a move is searched alike whichever thread takes it.
#pragma once

#include "search/depth.h"

namespace qb {

constexpr Eighths REDUCTION_MIN_DEPTH = 2 * ONE_PLY;

// The depth taken from move `move_number` (its position
// in the node's sorted order). Captures and promotions are never reduced;
// principal-variation (pinned) nodes are reduced later and less.
inline Eighths late_move_reduction(Eighths depth, bool capture_node, bool promotion, bool pinned,
                               int move_number) {
  if (depth < REDUCTION_MIN_DEPTH || capture_node || promotion) return 0;
  if (pinned) return move_number < 4 ? 0 : 8;
  if (move_number == 0) return 0;
  return move_number < 4 ? 8 : 14;
}

}  // namespace qb
