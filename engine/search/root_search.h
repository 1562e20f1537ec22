// One pass over the root moves, and the root facts the drivers need before
// they search.
#pragma once

#include "board/movegen.h"
#include "board/position.h"
#include "search/depth.h"

namespace qb {

// Returned by a pass the stop cut short; the drivers discard it.
constexpr int ABORTED_PASS = 2147483647;

// Searches the root's moves inside (alpha, beta) (black's view) to `depth`
// plies, trying `best_index` first; returns the best value (black's view,
// fail-soft) and leaves its move in `best_index`. The root's children link
// to `root`, the last record of the game history.
int root_search(const SearchNode& root, const MoveList& moves, int count, int alpha, int beta, Plies depth,
                int& best_index);

// True when the side has exactly one capture, or several whose capture lines
// (all recaptures followed to the end) reach one and the same position: the
// move is forced and a shallow search suffices.
bool forced_capture(const Position& p, Side side);

constexpr Plies FORCED_DEPTH_CAP = 5;
constexpr Plies DEPTH_CAP = 96;

}  // namespace qb
