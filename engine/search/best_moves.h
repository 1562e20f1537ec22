// The search behind get_best_moves: the best root move searched exactly,
// every other move only tested against a margin below it, all of them
// deepened together until the time is used.
#pragma once

#include "board/position.h"
#include "search/depth.h"
#include "search/move_request.h"
#include "search/root_moves.h"

namespace qb {

// The time rules, in seconds. Before the minimum depth is near (k plies, 0
// for none) only 8 x maxtime counts; from then on the time grows with the
// number of good moves, since a host that wants them all wants each one
// right.
struct BestMovesSchedule {
  double maxtime;
  Plies min_depth;
  double stop;       // no new iteration starts after this
  double more_time;  // up to here the next iteration is two plies deeper
};
BestMovesSchedule best_moves_schedule(double maxtime, Plies min_depth);
double best_moves_hard_limit(double maxtime, Plies min_depth);

// At the start of iteration `depth`, with `good_moves` inside the margin
// after the last one: false when the time is up.
bool start_iteration(BestMovesSchedule& s, Plies depth, int good_moves, double elapsed);
// After iteration `depth`: the next depth, or 0 to stop.
Plies next_depth(const BestMovesSchedule& s, Plies depth, double elapsed);

struct BestMovesRequest {
  double maxtime;   // seconds
  int margin;       // how far below the best a good move may score
  Plies min_depth;  // 0 for none
};

struct BestMovesResult {
  int best_index;  // into the root's move list
  int value;       // black's view
  Plies depth;     // of the last completed iteration
};

// Leaves the records sorted, best first, each with its value and its margin
// flag from the last completed iteration. Every completed iteration is
// logged and its line ("%.1fs, D %d, list") left in `text` (may be null).
BestMovesResult best_moves_search(RootMoves& roots, const Position& root, const BestMovesRequest& request,
                                  char* text, MoveSearch search);

// get_best_moves' driver: a new game from the request's root, every move
// searched as above into `roots` (left sorted, best first). The decision is
// the best move, or NO_MOVES ("Lost game") when there is none.
MoveDecision best_moves_driver(const MoveRequest& request, const BestMovesRequest& limits, RootMoves& roots);

}  // namespace qb
