// The game-result code that getmove returns after the engine's move.
#pragma once

#include "board/position.h"
#include "search/score.h"

namespace qb {

// Records the engine's move (`out`, the opponent to move) in the game history
// and turns the final value (black's view) into a code for `side`, the side
// the engine moved for: 0 draw, 1 win, 2 loss, 3 undecided. `deep` marks a
// value from a search deeper than 7 plies (or from the databases).
int result_step(const Position& out, Side side, int value, bool deep);

}  // namespace qb
