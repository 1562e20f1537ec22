// The game-result code that getmove returns after the engine's move.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "search/move_request.h"
#include "search/score.h"

// Result codes of getmove, from the view of the side the engine moved for.
// The search decides them; the exports hand them to the host unchanged.
enum GetmoveResult : int32_t { QB_DRAW = 0, QB_WIN = 1, QB_LOSS = 2, QB_UNKNOWN = 3 };

namespace qb {

// Records the engine's move in the game history: the position after it, the
// opponent of `side` to move. Returns its record.
const SearchNode& record_move(const Position& after, Side side);

// The GetmoveResult of a recorded move (`after` its record) for `side`, the
// side the engine moved for, from the decision's value (Black's view) and
// its deep flag (a search deeper than 7 plies, or an exact source).
int result_code(const MoveDecision& decision, Side side, const SearchNode& after);

// Both, for a decision of getmove's drivers: with no move there is nothing to
// record and the game is lost; a move played without a verdict leaves it
// undecided.
int finish_move(const MoveDecision& decision, Side side);

}  // namespace qb
