#include "search/root_search.h"

#include "search/move_order.h"
#include "search/search.h"
#include "search/search_state.h"
#include "interface/base/stop.h"

namespace qb {

namespace {

// Follows every capture line from `p` (`side` to move); all must end in the
// same quiet position, the first one reached being remembered in `end`.
bool lines_meet(const Position& p, Side side, Position& end, bool& have_end) {
  if (!has_capture(p, side)) {
    if (!have_end) {
      end = p;
      have_end = true;
      return true;
    }
    return end == p;
  }
  MoveList list;
  int count = generate_captures(p, list, side);
  for (int i = 0; i < count; ++i)
    if (!lines_meet(list.moves[i], opponent_of(side), end, have_end)) return false;
  return true;
}

}  // namespace

bool forced_capture(const Position& p, Side side) {
  if (!has_capture(p, side)) return false;
  MoveList list;
  int count = generate_captures(p, list, side);
  if (count == 1) return true;
  Position end{};
  bool have_end = false;
  for (int i = 0; i < count; ++i)
    if (!lines_meet(list.moves[i], opponent_of(side), end, have_end)) return false;
  return true;
}

int root_search(const SearchNode& root, const MoveList& moves, int count, int alpha, int beta, Plies depth,
                int& best_index) {
  const Side side = root.side;
  const Position pos = root.position();
  const bool capture = has_capture(pos, side);
  const uint32_t before = pos.pieces[side];
  Killer& killer = g_search.threads[0].killers[0];

  uint8_t order[MAX_MOVES];
  int score[MAX_MOVES];
  for (int i = 0; i < count; ++i) {
    order[i] = uint8_t(i);
    score[i] =
        i == best_index ? FIRST_MOVE_SCORE : ordering_score(before, moves.moves[i].pieces[side], killer);
  }
  sort_moves(order, score, count);

  // The node searches score for the side to move; the window follows it.
  int a = mover_view(side, side == BLACK ? alpha : beta);
  int b = mover_view(side, side == BLACK ? beta : alpha);
  int best = -MATE;
  int best_number = 0;
  const Eighths child_depth = in_eighths(depth - 1);
  SearchThread& t = g_search.threads[0];
  for (int i = 0; i < count && best < b; ++i) {
    SearchNode child = make_child(root, moves.moves[order[i]], capture);
    t.nodes.add(1);
    int window_alpha = best > a ? best : a;
    int v = child_depth <= 0 ? -capture_search(child, 1, -b, -window_alpha, child_depth, 0)
                             : -node_search(child, 1, child_depth, -b, -window_alpha, true, 0);
    if (stop_requested() && depth >= STOP_MIN_DEPTH) return ABORTED_PASS;
    if (v > best) {
      best = v;
      best_index = order[i];
      best_number = i;
    }
  }

  // The root's killer orders only the root's own later passes: it is kept
  // among captures too, where a node keeps none.
  if (best >= b && count >= 2) reward_cutoff(pos, side, moves, order, best_number, best_index, &killer);
  return black_view(side, best);
}

}  // namespace qb
