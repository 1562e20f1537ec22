// The node search: fail-soft negamax alpha-beta with a full window at every
// child. Selectivity: hash cutoffs, database cutoffs, ProbCut, late-move
// reductions, single-reply and hash-driven extensions, internal iterative
// deepening, and ordering by hash move, killer and history.
#include <algorithm>
#include <cstdint>

#include "board/movegen.h"
#include "eval/evaluate.h"
#include "search/db_probe.h"
#include "search/game_history.h"
#include "search/move_loop.h"
#include "search/move_order.h"
#include "search/poll.h"
#include "search/search.h"
#include "search/search_state.h"
#include "search/split.h"
#include "search/tt.h"

namespace qb {

namespace {

constexpr Eighths PV_EXTENSION = 2;  // pinned node or failed-high hash entry
constexpr Eighths PROBCUT_MIN_DEPTH = 3 * ONE_PLY;
constexpr Eighths IID_MIN_DEPTH = 6 * ONE_PLY;
constexpr Eighths SINGLE_REPLY_EXTENSION = ONE_PLY / 2;  // a full ply inside a ProbCut verification
constexpr int NO_MOVE = -1;

int terminal(SearchThread& t, int ply, int score) {
  count_leaf(t, ply);
  return score;
}

// A child searched with `depth` left: the node search while a ply remains,
// else the capture search (which takes the window as given).
int search_child(const SearchNode& child, int ply, Eighths depth, int alpha, int beta, bool pruning,
                 int thread) {
  if (depth > 0) return -node_search(child, ply + 1, depth, -beta, -alpha, pruning, thread);
  return -capture_search(child, ply + 1, -beta, -alpha, depth, thread);
}

// What the hash table says about a node.
struct TableHint {
  bool cutoff;  // the stored result answers the node: `score`
  int score;
  int hash_move;  // generator index, NO_MOVE when absent
  bool pinned;    // a principal-variation node of the current search
  int extension;  // eighths added to the depth
};

TableHint read_table(HashKey key, int ply, Eighths depth, int alpha, int beta) {
  TableHint hint{false, 0, NO_MOVE, false, 0};
  HashProbe probe;
  if (!tt_probe(key, probe)) return hint;
  const HashEntry& e = probe.entry;
  hint.hash_move = e.move_index();
  if (e.depth_plus_one() >= depth + 1) {
    int s = score_from_table(e.raw_score(), ply);
    Bound b = e.bound();
    if (b == BOUND_EXACT || (b == BOUND_LOWER && s >= beta) || (b == BOUND_UPPER && s <= alpha)) {
      hint.cutoff = true;
      hint.score = s;
      return hint;
    }
  }
  // Principal-variation nodes, and nodes that failed high before, are
  // searched a little deeper.
  if (e.pinned() && e.age == g_tt.age) {
    hint.pinned = true;
    hint.extension = PV_EXTENSION;
  } else if (e.bound() == BOUND_LOWER && e.raw_score() >= beta) {
    hint.extension = PV_EXTENSION;
  }
  return hint;
}

// The database verdict of a quiet node: a draw or a decisive bound ends the
// node at once; otherwise a win raises the best score and a loss caps it.
struct DbOutcome {
  bool done;
  int score;
  int best;
  int ceiling;
};

DbOutcome probe_database(SearchThread& t, const Position& pos, Side side, const PieceSummary& summary,
                         Eighths depth, bool pinned, int alpha, int beta) {
  DbOutcome out{false, 0, -MATE, MATE};
  bool conditional = depth <= in_eighths(conditional_lookup_plies()) && !pinned;
  switch (db_lookup(t, pos, side, conditional)) {
    case DB_DRAW:
      return DbOutcome{true, DATABASE_DRAW, -MATE, MATE};
    case DB_WIN: {
      int win = db_win_score(summary, side, side);
      if (win >= beta) return DbOutcome{true, win, -MATE, MATE};
      out.best = win;
      break;
    }
    case DB_LOSS: {
      int loss = db_win_score(summary, side, opponent_of(side));
      if (loss <= alpha) return DbOutcome{true, loss, -MATE, MATE};
      out.ceiling = loss;
      break;
    }
    default:
      break;
  }
  return out;
}

// ProbCut: when the captures alone beat beta by a margin, a shallow search
// at beta + margin confirms the cutoff. The result is even.
bool probcut(const SearchNode& node, int ply, Eighths depth, int beta, int thread, int& score) {
  int margin = (depth * 7 / 8) & ~1;
  int probe_beta = beta + margin / 3 + 5;
  if (capture_search(node, ply, probe_beta - 1, probe_beta, -ONE_PLY, thread) < probe_beta) return false;
  int bound = beta + margin;
  int v = node_search(node, ply, depth * 40 / 100, bound - 1, bound, false, thread);
  if (v < bound) return false;
  score = (v - margin + 1) & ~1;
  return true;
}

}  // namespace

int node_search(const SearchNode& node, int ply, Eighths depth, int alpha, int beta, bool pruning,
                int thread) {
  SearchThread& t = g_search.threads[thread];
  if (search_aborted(thread)) return 0;
  raise_selective_depth(ply);

  const Side side = node.side;
  const Position pos = node.position();
  if (pos.pieces[side] == 0) return terminal(t, ply, ply - MATE);
  if (repeats_ancestor(node)) return terminal(t, ply, REPETITION_DRAW);

  const int stored_depth = depth;  // the extensions below are not stored
  const HashKey key = hash_key(pos, side);
  const TableHint hint = read_table(key, ply, depth, alpha, beta);
  if (hint.cutoff) return terminal(t, ply, hint.score);
  depth += hint.extension;
  const bool pinned = hint.pinned;

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
  if (eligible && !capture_node && !has_capture(pos, opponent_of(side))) {
    DbOutcome db = probe_database(t, pos, side, summary, depth, pinned, alpha, beta);
    if (db.done) return terminal(t, ply, db.score);
    best = db.best;
    ceiling = db.ceiling;
  }

  int probcut_score;
  if (pruning && depth >= PROBCUT_MIN_DEPTH && !eligible && !pinned &&
      probcut(node, ply, depth, beta, thread, probcut_score))
    return probcut_score;

  MoveList list;
  const int count = capture_node ? generate_captures(pos, list, side) : generate_noncaptures(pos, list, side);
  if (count == 0) return terminal(t, ply, ply - MATE);

  int best_index = 0;
  int best_number = 0;  // position of the best move in the sorted order
  bool cut = false;
  uint8_t order[MAX_MOVES];
  if (count == 1) {
    int extension = pruning ? SINGLE_REPLY_EXTENSION : ONE_PLY;
    SearchNode child = make_child(node, list.moves[0], capture_node);
    t.nodes.add(1);
    int v = search_child(child, ply, depth + extension - ONE_PLY, alpha, beta, pruning, thread);
    if (v > best) best = v;
  } else {
    int hash_move = hint.hash_move;
    if (uint32_t(hash_move) >= uint32_t(count) && depth >= IID_MIN_DEPTH) {
      // Internal iterative deepening finds a move to try first.
      node_search(node, ply, (depth - 16) / 2, alpha, beta, pruning, thread);
      HashProbe probe;
      hash_move = tt_probe(key, probe) ? probe.entry.move_index() : NO_MOVE;
    }
    if (uint32_t(hash_move) >= uint32_t(count)) hash_move = NO_MOVE;

    int a = alpha;
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

    if (best < beta) {
      const uint32_t before = pos.pieces[side];
      const Killer killer = t.killers[ply];
      int score[MAX_MOVES];
      for (int i = 0; i < count; ++i) {
        score[i] =
            i == hash_move ? FIRST_MOVE_SCORE : ordering_score(before, list.moves[i].pieces[side], killer);
      }
      sort_moves(order, score, count);

      const NodeLoop loop{.node = &node,
                          .moves = &list,
                          .order = order,
                          .count = count,
                          .ply = ply,
                          .depth = depth,
                          .alpha = alpha,
                          .beta = beta,
                          .pruning = pruning,
                          .capture_node = capture_node,
                          .pinned = pinned};
      for (int i = next; i < count && best < beta; ++i) {
        if (cancel_check(thread)) return 0;
        // Deep enough and with enough moves left, the rest of the list may
        // be searched together with an idle thread; the loop then ends with
        // the combined result.
        if (depth >= SPLIT_MIN_DEPTH && count - i >= SPLIT_MIN_MOVES_LEFT && g_search.threads_in_use > 1) {
          if (split(SplitWork{.loop = loop, .next = i, .alpha = a}, thread, best, best_index)) {
            best_number = int(std::find(order, order + count, best_index) - order);
            break;
          }
        }
        int v;
        if (!search_move(
                loop, i, thread, [a] { return a; }, v))
          return 0;
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
  }

  if (cancel_check(thread)) return 0;
  Bound bound = best >= beta ? BOUND_LOWER : best <= alpha ? BOUND_UPPER : BOUND_EXACT;
  tt_store(key, best, ply, stored_depth, bound, best_index);
  // A quiet move that refutes the node is tried early at this ply elsewhere.
  if (cut)
    reward_cutoff(pos, side, list, order, best_number, best_index, capture_node ? nullptr : &t.killers[ply]);
  return best;
}

}  // namespace qb
