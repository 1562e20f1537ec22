// The capture search below the horizon. Captures are compulsory, so there is
// no standing pat while one is pending; a quiet side facing a threat looks one
// ply into its quiet moves when the static score is near the window; quiet
// positions stand on the evaluation or on the endgame databases.
#include "board/movegen.h"
#include "eval/evaluate.h"
#include "search/db_probe.h"
#include "search/game_history.h"
#include "search/poll.h"
#include "search/search.h"
#include "search/search_state.h"

namespace qb {

namespace {

constexpr int THREAT_BAND = 150;  // static scores this near the window look further
constexpr Eighths FIRST_PLY_BELOW_HORIZON = -ONE_PLY;

int terminal(SearchThread& t, int ply, int score) {
  count_leaf(t, ply);
  return score;
}

// Resolves every capture in generation order; fails high at once.
int resolve_captures(const SearchNode& node, int ply, int alpha, int beta, Eighths depth, int thread) {
  MoveList list;
  const int count = generate_captures(node.position(), list, node.side);
  SearchThread& t = g_search.threads[thread];
  int best = -MATE;
  for (int i = 0; i < count; ++i) {
    SearchNode child = make_child(node, list.moves[i], true);
    t.nodes.add(1);
    int v = -capture_search(child, ply + 1, -beta, -alpha, depth - ONE_PLY, thread);
    if (v > best) {
      best = v;
      if (best >= beta) return best;
      if (best > alpha) alpha = best;
    }
  }
  return best;
}

// Against a threat: every quiet move, at the same depth.
int answer_threat(const SearchNode& node, int ply, int alpha, int beta, Eighths depth, int thread) {
  MoveList list;
  const int count = generate_noncaptures(node.position(), list, node.side);
  if (beta <= -MATE) return -MATE;
  SearchThread& t = g_search.threads[thread];
  int best = -MATE;
  for (int i = 0; i < count; ++i) {
    SearchNode child = make_child(node, list.moves[i], false);
    t.nodes.add(1);
    int v = -capture_search(child, ply + 1, -beta, -alpha, depth, thread);
    if (v > best) {
      best = v;
      if (best >= beta) return best;
      if (best > alpha) alpha = best;
    }
  }
  return best;
}

// A quiet position: the database verdict when there is one, else the
// static evaluation.
int quiet_score(SearchThread& t, const Position& pos, Side side, PieceSummary& summary) {
  if (db_open() && db_eligible(summary)) {
    bool conditional = in_eighths(conditional_lookup_plies()) >= 0;
    switch (db_lookup(t, pos, side, conditional)) {
      case DB_WIN:
        return db_win_score(summary, side, side);
      case DB_LOSS:
        return db_win_score(summary, side, opponent_of(side));
      case DB_DRAW:
        return DATABASE_DRAW;
      default:
        break;
    }
  }
  return evaluate(pos, side, summary);
}

}  // namespace

int capture_search(const SearchNode& node, int ply, int alpha, int beta, Eighths depth, int thread) {
  SearchThread& t = g_search.threads[thread];
  const Side side = node.side;
  const Position pos = node.position();
  if (pos.pieces[side] == 0) return terminal(t, ply, ply - MATE);
  if (search_aborted(thread)) return 0;
  raise_selective_depth(ply);
  const bool first_ply = depth > FIRST_PLY_BELOW_HORIZON;
  if (first_ply && repeats_ancestor(node)) return terminal(t, ply, REPETITION_DRAW);

  if (ply >= PLY_LIMIT) {
    PieceSummary summary = make_piece_summary(pos);
    return terminal(t, ply, evaluate(pos, side, summary));
  }
  if (has_capture(pos, side)) return resolve_captures(node, ply, alpha, beta, depth, thread);

  PieceSummary summary = make_piece_summary(pos);
  if (has_capture(pos, opponent_of(side))) {
    int static_score = evaluate(pos, side, summary);
    if (!first_ply || static_score < alpha - THREAT_BAND || static_score > beta + THREAT_BAND)
      return terminal(t, ply, static_score);
    return answer_threat(node, ply, alpha, beta, depth, thread);
  }
  count_leaf(t, ply);
  return quiet_score(t, pos, side, summary);
}

}  // namespace qb
