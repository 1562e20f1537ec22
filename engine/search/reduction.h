// Late-move reductions, shared by the node search and the parallel search's
// workers so that a move is searched alike whichever thread takes it.
#pragma once

namespace qb {

constexpr int REDUCTION_MIN_DEPTH = 16;  // eighths of a ply

// Eighths of a ply taken from the depth of move `move_number` (its position
// in the node's sorted order). Captures and promotions are never reduced;
// principal-variation (pinned) nodes are reduced later and less.
inline int late_move_reduction(int depth, bool capture_node, bool promotion, bool pinned,
                               int move_number) {
  if (depth < REDUCTION_MIN_DEPTH || capture_node || promotion) return 0;
  if (pinned) return move_number < 4 ? 0 : 8;
  if (move_number == 0) return 0;
  return move_number < 4 ? 8 : 14;
}

}  // namespace qb
