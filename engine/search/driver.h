// The drivers that turn one getmove request into a move.
#pragma once

#include "board/position.h"

namespace qb {

// Chooses and plays a move for `side` from `root`, writing the position after
// it into `out` and the status text into `str`. Returns a getmove result code.
int search_driver(const Position& root, int side, double maxtime, int info, int moreinfo,
                  char* str, Position* out);

// The same with an exact score for every root move (the allscores setting).
int allscores_driver(const Position& root, int side, double maxtime, int info, char* str,
                     Position* out);

}  // namespace qb
