// The two database checks at the root: before the search, a root that the
// WLD database knows to be drawn is played by rating its drawing moves;
// after it, a move that throws away a database win or draw is replaced.
#pragma once

#include "board/movegen.h"
#include "board/position.h"
#include "endgame/drawn_analysis.h"

namespace qb {

// True when it chose the move (written into `out`). `allowance` is the time
// in seconds it may take.
bool database_draw_analysis(const SearchNode& root, char* status, double allowance, Position* out);

// True when the move `chosen` is to be replaced by `*replacement`: the root is
// a database win (or draw) and the move does not keep it while another does.
bool wld_consistency_check(Side side, const Position& root, const MoveList& moves, int count, int chosen,
                           int* replacement, double maxtime);

// Sorts the records of a finished analysis depth for the mover `side`, best
// first, against the best value `target`; returns the number of candidates,
// the records at the head of the order that are nearly as good as the first.
int rank_draw_records(DrawRecord* records, int count, int target, Side side);

}  // namespace qb
