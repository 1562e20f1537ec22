// The node search: fail-soft negamax alpha-beta with a full window at every
// child. Selectivity: hash cutoffs, database cutoffs, ProbCut, late-move
// reductions, single-reply and hash-driven extensions, internal iterative
// deepening, and ordering by hash move, killer and history.
#include <cstdint>

#include "board/movegen.h"
#include "eval/evaluate.h"
#include "search/db_probe.h"
#include "search/game_history.h"
#include "search/move_order.h"
#include "search/poll.h"
#include "search/search.h"
#include "search/search_state.h"
#include "search/tt.h"

namespace qb {

namespace {

constexpr int PV_EXTENSION = 2;         // pinned node or failed-high hash entry
constexpr int PROBCUT_MIN_DEPTH = 24;
constexpr int IID_MIN_DEPTH = 48;
constexpr int REDUCTION_MIN_DEPTH = 16;
constexpr int SINGLE_REPLY_EXTENSION = 4;  // 8 inside a ProbCut verification
constexpr int NO_MOVE = -1;

int terminal(SearchThread& t, int ply, int score) {
  count_leaf(t, ply);
  return score;
}

// A child searched with `depth` left: the node search while a ply remains,
// else the capture search (which takes the window as given).
int search_child(const SearchNode& child, int ply, int depth, int alpha, int beta, bool pruning,
                 int thread) {
  if (depth > 0) return -node_search(child, ply + 1, depth, -beta, -alpha, pruning, thread);
  return -capture_search(child, ply + 1, -beta, -alpha, depth, thread);
}

int reduction(bool pinned, int move_number) {
  if (pinned) return move_number < 4 ? 0 : 8;
  if (move_number == 0) return 0;
  return move_number < 4 ? 8 : 14;
}

}  // namespace

int node_search(const SearchNode& node, int ply, int depth, int alpha, int beta, bool pruning,
                int thread) {
  SearchThread& t = g_search.threads[thread];
  if (search_aborted(thread)) return 0;
  raise_selective_depth(ply);

  const int side = node.side;
  const Position pos = node.position();
  if (pos.pieces[side] == 0) return terminal(t, ply, ply - MATE);
  if (repeats_ancestor(node)) return terminal(t, ply, REPETITION_DRAW);

  // Hash table: a cutoff when the stored depth suffices; otherwise the move
  // to try first, and two more eighths for principal-variation nodes and for
  // nodes that failed high before.
  const int stored_depth = depth;
  const HashKey key = hash_key(pos, side);
  HashProbe probe;
  int hash_move = NO_MOVE;
  bool pinned = false;
  if (tt_probe(key, probe)) {
    const HashEntry& e = probe.entry;
    hash_move = e.move_index();
    if (e.depth_plus_one() >= depth + 1) {
      int s = score_from_table(e.raw_score(), ply);
      Bound b = e.bound();
      if (b == BOUND_EXACT || (b == BOUND_LOWER && s >= beta) || (b == BOUND_UPPER && s <= alpha))
        return terminal(t, ply, s);
    }
    if (e.pinned() && e.age == g_tt.age) {
      pinned = true;
      depth += PV_EXTENSION;
    } else if (e.bound() == BOUND_LOWER && e.raw_score() >= beta) {
      depth += PV_EXTENSION;
    }
  }

  // The piece summary is needed only to evaluate or to probe the databases.
  PieceSummary summary;
  bool eligible = false;
  if (db_open()) {
    summary = make_piece_summary(pos);
    eligible = db_eligible(summary);
  }
  if (ply >= PLY_LIMIT) {
    if (!db_open()) summary = make_piece_summary(pos);
    return terminal(t, ply, evaluate(pos, side, summary));
  }

  const bool capture_node = has_capture(pos, side);
  int best = -MATE;
  int ceiling = MATE;
  if (eligible && !capture_node && !has_capture(pos, side ^ 1)) {
    bool conditional = depth <= ONE_PLY * conditional_lookup_plies() && !pinned;
    switch (db_lookup(pos, side, conditional)) {
      case DB_DRAW: return terminal(t, ply, DATABASE_DRAW);
      case DB_WIN: {
        int win = db_win_score(summary, side, side);
        if (win >= beta) return terminal(t, ply, win);
        best = win;
        break;
      }
      case DB_LOSS: {
        int loss = db_win_score(summary, side, side ^ 1);
        if (loss <= alpha) return terminal(t, ply, loss);
        ceiling = loss;
        break;
      }
      default: break;
    }
  }

  // ProbCut: when the captures alone beat beta by a margin, a shallow search
  // at beta + margin confirms the cutoff.
  if (pruning && depth >= PROBCUT_MIN_DEPTH && !eligible && !pinned) {
    int margin = (depth * 7 / 8) & ~1;
    int probe_beta = beta + margin / 3 + 5;
    if (capture_search(node, ply, probe_beta - 1, probe_beta, -ONE_PLY, thread) >= probe_beta) {
      int bound = beta + margin;
      int v = node_search(node, ply, depth * 40 / 100, bound - 1, bound, false, thread);
      if (v >= bound) return (v - margin + 1) & ~1;
    }
  }

  MoveList list;
  const int count = capture_node ? generate_captures(pos, list, side)
                                 : generate_noncaptures(pos, list, side);
  if (count == 0) return terminal(t, ply, ply - MATE);

  int best_index = 0;
  int a = alpha;
  bool cut = false;
  if (count == 1) {
    // A forced reply is searched deeper: half a ply, or a full ply inside a
    // verification search.
    int extension = pruning ? SINGLE_REPLY_EXTENSION : ONE_PLY;
    SearchNode child = make_child(node, list.moves[0], capture_node);
    t.nodes.add(1);
    int v = search_child(child, ply, depth + extension - ONE_PLY, alpha, beta, pruning, thread);
    if (v > best) best = v;
  } else {
    if (uint32_t(hash_move) >= uint32_t(count) && depth >= IID_MIN_DEPTH) {
      node_search(node, ply, (depth - 16) / 2, alpha, beta, pruning, thread);
      hash_move = NO_MOVE;
      if (tt_probe(key, probe) && probe.entry.move_index() < count) hash_move = probe.entry.move_index();
    }
    if (uint32_t(hash_move) >= uint32_t(count)) hash_move = NO_MOVE;

    uint8_t order[MAX_MOVES];
    int score[MAX_MOVES];
    for (int i = 0; i < count; ++i) order[i] = uint8_t(i);
    int next = 0;
    if (hash_move != NO_MOVE) {
      best_index = hash_move;
      SearchNode child = make_child(node, list.moves[hash_move], capture_node);
      t.nodes.add(1);
      int v = search_child(child, ply, depth - ONE_PLY, a, beta, pruning, thread);
      if (v > best) best = v;
      if (v > a) a = v;
      next = 1;
    }

    int best_number = 0;  // position of the best move in the sorted order
    if (best < beta) {
      const uint32_t before = pos.pieces[side];
      const Killer killer = t.killers[ply];
      for (int i = 0; i < count; ++i) {
        score[i] = i == hash_move ? FIRST_MOVE_SCORE
                                  : ordering_score(before, list.moves[i].pieces[side], killer);
      }
      sort_moves(order, score, count);

      for (int i = next; i < count && best < beta; ++i) {
        if (cancel_check(thread)) return 0;
        // The parallel search takes over here once threads are in use: at
        // depth >= 32 with more than two moves left, the rest of the list is
        // offered to an idle thread and the loop ends with its best result.
        const Position& move = list.moves[order[i]];
        SearchNode child = make_child(node, move, capture_node);
        t.nodes.add(1);
        int r = 0;
        if (depth >= REDUCTION_MIN_DEPTH && !capture_node && !is_promotion(pos, move, side))
          r = reduction(pinned, i);
        int v = depth - r - ONE_PLY > 0
                    ? -node_search(child, ply + 1, depth - r - ONE_PLY, -beta, -a, pruning, thread)
                    : -capture_search(child, ply + 1, -beta, -alpha, depth - r - ONE_PLY, thread);
        if (r > 0 && v > a)
          v = -node_search(child, ply + 1, depth - ONE_PLY, -beta, -a, pruning, thread);
        if (v > best) {
          best = v;
          best_index = order[i];
          best_number = i;
        }
        if (v > a) a = v;
      }
    }

    if (best > ceiling) best = ceiling;
    if (best >= beta) {
      best = beta + ((best ^ beta) & 1);  // keeps the parity that marks draws
      cut = true;
    }
    if (cut) {
      const uint32_t before = pos.pieces[side];
      const uint32_t best_after = list.moves[best_index].pieces[side];
      history_reward(history_index(before, best_after));
      for (int i = 0; i < best_number; ++i)
        history_penalise(history_index(before, list.moves[order[i]].pieces[side]));
      if (!capture_node) t.killers[ply] = killer_of(before, best_after);
    }
  }

  if (cancel_check(thread)) return 0;
  Bound bound = best >= beta ? BOUND_LOWER : best <= alpha ? BOUND_UPPER : BOUND_EXACT;
  tt_store(key, best, ply, stored_depth, bound, best_index);
  return best;
}

}  // namespace qb
