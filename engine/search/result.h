// The game-result code that getmove returns after the engine's move.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "search/score.h"

// Result codes of getmove, from the view of the side the engine moved for.
// The search decides them; the exports hand them to the host unchanged.
enum GetmoveResult : int32_t { QB_DRAW = 0, QB_WIN = 1, QB_LOSS = 2, QB_UNKNOWN = 3 };

namespace qb {

// Records the engine's move (`out`, the opponent to move) in the game history
// and turns the final value (black's view) into a GetmoveResult for `side`,
// the side the engine moved for. `deep` marks a
// value from a search deeper than 7 plies (or from the databases).
int result_step(const Position& out, Side side, int value, bool deep);

}  // namespace qb
