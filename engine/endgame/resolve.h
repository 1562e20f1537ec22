// The resolution search: a small exact search over win/loss/draw values that
// answers positions the WLD database cannot answer directly (a capture
// pending, more pieces than it holds) by searching down to positions it can.
#pragma once

#include "board/position.h"
#include "endgame/databases.h"

namespace qb {

// Resolution values, for the side to move. The driver's no-data answers
// (negative) pass through unchanged.
enum ResolveValue : int {
  RESOLVE_UNKNOWN = 0,
  RESOLVE_WIN = 1,
  RESOLVE_LOSS = 2,
  RESOLVE_DRAW = 3,
  RESOLVE_AT_MOST_DRAW = 4,   // draw or loss
  RESOLVE_AT_LEAST_DRAW = 5,  // draw or win
};

// Deepens until the value is a win, loss or draw, within the time and node
// limits set in `db` beforehand; 0 when they ran out (the search is then
// abandoned, leaving only `db`'s counters behind). Uses `db`'s working
// state, so one resolution at a time per record.
int resolve_wld(WldDatabase& db, const Position& p, Side side);

// A resolution time limit of 0 would mean none at all: a short budget keeps
// at least a millisecond.
inline int32_t at_least_1ms(int ms) { return ms < 1 ? 1 : ms; }

// The value algebra, exposed for tests.
int resolve_neg(int v);
int resolve_comb(int v, int best);
bool resolve_cut(int v, int beta);
bool resolve_raise(int best, int alpha);

}  // namespace qb
