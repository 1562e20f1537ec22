// The engine's search as the book builder sees it: one position, one fixed
// depth, one value and the move the search prefers.
#pragma once

#include <string>

#include "board/position.h"

namespace bookgen {

struct Analysis {
  int value;       // black's view, hundredths of a man
  int best_index;  // into the position's move list; -1 without moves
};

// Once, before the first analysis: the transposition table of `hash_mb`
// megabytes, one search thread, and the evaluation weights from
// `weights_dir` (a directory prefix ending in a separator, or empty).
// False with a message when the weights cannot be read.
bool start_analysis(int hash_mb, const std::string& weights_dir, std::string* error);

// Searches (p, side) to `depth` plies as if it were a new game.
Analysis analyse(const qb::Position& p, qb::Side side, int depth);

// Nodes searched by all analyses so far.
unsigned long long analysis_nodes();

}  // namespace bookgen
