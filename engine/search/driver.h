// The drivers that turn one getmove request into a move.
#pragma once

#include "board/movegen.h"
#include "board/position.h"

namespace qb {

// Chooses and plays a move for `side` from `root`, writing the position after
// it into `out` and the status text into `str`. Returns a getmove result code.
int search_driver(const Position& root, Side side, double maxtime, int info, int moreinfo,
                  char* str, Position* out);

// What both drivers decide without a search: the databases' distance play,
// and the loss when there is no move at all. True when one of them decided;
// `out` then holds the move (or the root) and `result` the result code.
bool decided_without_search(const Position& root, Side side, const MoveList& moves, int count,
                            double maxtime, char* str, Position* out, int* result);

// The same with an exact score for every root move (the allscores setting).
int allscores_driver(const Position& root, Side side, double maxtime, int info, char* str,
                     Position* out);

}  // namespace qb
