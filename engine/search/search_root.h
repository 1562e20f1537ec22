// The root of one move's search, set up once by the drivers and passed down
// to every pass, so that no search reads its root back from the game history.
#pragma once

#include "board/movegen.h"
#include "board/position.h"
#include "search/depth.h"

namespace qb {

// Per-move preparation: a stop flag is published if none is, the table
// (built if missing) ages, the move clock starts, history, killers and
// counters are reset, the hard time limit is set and the threads in use are
// fixed. The root joins the game history; its record, which the root's
// children link to, is returned.
const SearchNode& prepare_search(const Position& root, Side side, double hard_limit);

struct SearchRoot {
  const SearchNode* node;  // the root's game-history record
  MoveList moves;          // in the generator's order
  int count;
  Plies depth_cap;  // a forced capture needs only a shallow look

  Position position() const { return node->position(); }
  Side side() const { return node->side; }
};

// What every driver does first: the preparation above, the log's opening
// diagram, the root's moves and their depth cap.
SearchRoot set_up_root(const Position& root, Side side, double hard_limit);

}  // namespace qb
