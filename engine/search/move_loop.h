// One move of a node's loop, searched alike whichever thread takes it: the
// node search takes the moves in order, and at a split point the owner and
// its helper share the rest (split.h). One function for both, so that a
// change to how a move is searched reaches the one-thread search and the
// parallel one together.
#pragma once

#include <cstdint>

#include "board/movegen.h"
#include "board/position.h"
#include "search/depth.h"
#include "search/search.h"
#include "search/search_state.h"

namespace qb {

constexpr Eighths REDUCTION_MIN_DEPTH = 2 * ONE_PLY;

// What every move of a node's loop shares: the node, its list in search
// order, its depth, its own window and its flags.
struct NodeLoop {
  const SearchNode* node;
  const MoveList* moves;
  const uint8_t* order;  // indices into `moves`, in the order they are searched
  int count;             // moves in the list
  int ply;
  Eighths depth;
  int alpha, beta;  // the node's window as it was entered
  bool pruning, capture_node, pinned;
};

// The depth taken from move `move_number` (its position in the node's
// sorted order). Captures and promotions are never reduced;
// principal-variation (pinned) nodes are reduced later and less.
inline Eighths late_move_reduction(Eighths depth, bool capture_node, bool promotion, bool pinned,
                                   int move_number) {
  if (depth < REDUCTION_MIN_DEPTH || capture_node || promotion) return 0;
  if (pinned) return move_number < 4 ? 0 : 8;
  if (move_number == 0) return 0;
  return move_number < 4 ? 8 : 14;
}

// Searches the move at `number` in the loop's order on `thread`: reduced
// when it comes late, and again at full depth when the reduced search beats
// alpha. `current_alpha()` gives the alpha to search with at each step: the
// node's running alpha, or a split point's, which the other thread may
// raise meanwhile. A reduced search that drops to the horizon keeps the
// node's own alpha. False when the work above the thread was refuted during
// the search: `value` then counts for nothing.
template <class CurrentAlpha>
inline bool search_move(const NodeLoop& loop, int number, int thread, CurrentAlpha current_alpha,
                        int& value) {
  const SearchNode& node = *loop.node;
  const Position& move = loop.moves->moves[loop.order[number]];
  const SearchNode child = make_child(node, move, loop.capture_node);
  g_search.threads[thread].nodes.add(1);
  const bool promotion = is_promotion(node.position(), move, node.side);
  const Eighths r = late_move_reduction(loop.depth, loop.capture_node, promotion, loop.pinned, number);
  const Eighths reduced = loop.depth - r - ONE_PLY;
  int alpha = current_alpha();
  value = reduced > 0 ? -node_search(child, loop.ply + 1, reduced, -loop.beta, -alpha, loop.pruning, thread)
                      : -capture_search(child, loop.ply + 1, -loop.beta, -loop.alpha, reduced, thread);
  if (cancel_check(thread)) return false;
  if (r == 0) return true;
  alpha = current_alpha();
  if (value > alpha)
    value = -node_search(child, loop.ply + 1, loop.depth - ONE_PLY, -loop.beta, -alpha, loop.pruning, thread);
  return true;
}

}  // namespace qb
