// A position searched to a fixed depth with no time limit: what bench, the
// book builder, self-play and the tests run. The preparation and the
// iterative deepening are the getmove driver's own; the book, the databases'
// play and the draw analysis around them are left out.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "search/deepening.h"
#include "search/depth.h"
#include "search/root_search.h"

namespace qb {

struct FixedDepthRequest {
  Position root;
  Side side;
  Plies depth;  // 1 to DEPTH_CAP
  // Self-play searches the positions of one game in turn, and repetitions
  // count against the earlier ones; any other search starts a new game.
  bool continues_game = false;
  // A lone legal move is played unsearched and valued 0 (self-play saves
  // the time); the root still joins the game.
  bool play_forced_move = false;
};

struct FixedDepthResult {
  int move_count;  // the root's legal moves; with none nothing was searched
  int best_index;  // into those moves, in the generator's order
  Position best;   // the position after the best move
  int value;       // Black's view
  Plies depth;     // of the last completed iteration
  uint64_t nodes;  // visited by all the threads in use
};

// Searches that no host starts or stops: they use the engine's own stop
// flag and a fresh table of `hash_mb` megabytes.
void start_unhosted_searches(uint32_t hash_mb);

// Searches the request's root, calling `on_iteration` after every completed
// iteration. The threads in use are those the settings give.
FixedDepthResult search_fixed_depth(const FixedDepthRequest& request, const IterationDone& on_iteration = {});

}  // namespace qb
