#include "search/best_moves.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "interface/base/host_text.h"
#include "interface/base/log.h"
#include "interface/base/stop.h"
#include "search/deepening.h"
#include "search/game_history.h"
#include "search/iterations.h"
#include "search/root_search.h"
#include "search/score.h"
#include "search/search_root.h"
#include "search/time_control.h"

namespace qb {

namespace {

constexpr double STOP_FACTOR = 0.5;     // of maxtime, until the first iteration resets it
constexpr double HARD_FACTOR = 4;       // of maxtime
constexpr double MIN_DEPTH_FACTOR = 8;  // of maxtime: every limit while the minimum depth is far
constexpr Plies TIME_CHECK_DEPTH = 5;   // iterations up to here always run
constexpr int BEST_HALF_WINDOW = 5;     // around the best move's last value
constexpr int WIDENING = 10;            // beyond a value that fell outside the window
constexpr int DRAW_BOUND = 4;           // a move that at least draws is always good
constexpr int LOG_LINE_SIZE = 4096;

// The searches below think from the side to move's view (higher is better
// for the mover); records and reports keep black's view.
int search_for_mover(const RootMoveRecord& move, int alpha, int beta, Plies depth, MoveSearch search) {
  if (move.side == BLACK) return search(move, alpha, beta, depth);
  int v = search(move, -beta, -alpha, depth);
  return v == ABORTED_PASS ? v : -v;
}

// The best move gets an exact value: a window around its last value, widened
// on the side it fell out of until the value lands inside. False when a stop
// cut the search short.
bool search_best_move(RootMoveRecord& move, Plies depth, MoveSearch search, int& best) {
  best = mover_view(move.side, move.value);
  move.excluded = 0;
  int alpha = best - BEST_HALF_WINDOW, beta = best + BEST_HALF_WINDOW;
  for (;;) {
    int v = search_for_mover(move, alpha, beta, depth, search);
    if (cut_short(v, depth)) return false;
    move.value = black_view(move.side, v);
    pin_current_line(move, depth, true);
    if (v <= alpha) alpha = v - WIDENING;
    else if (v >= beta) beta = v + WIDENING;
    else break;
  }
  best = mover_view(move.side, move.value);
  return true;
}

// Any other move is only tested: is it within the margin of the best, or at
// least a draw? A move that turns out better than the best is searched
// until its value is known, and becomes the best.
bool test_move(RootMoveRecord& move, Plies depth, int margin, MoveSearch search, int& best) {
  int alpha = std::min(best - margin - 1, -DRAW_BOUND), beta = best + BEST_HALF_WINDOW;
  int v;
  for (;;) {
    v = search_for_mover(move, alpha, beta, depth, search);
    if (cut_short(v, depth)) return false;
    move.value = black_view(move.side, v);
    pin_current_line(move, depth, true);
    if (v < beta) break;
    beta = v + WIDENING;
  }
  best = std::max(best, v);
  move.excluded = v <= alpha;
  return true;
}

template <class Search>
bool with_line_pinned(RootMoveRecord& move, Plies depth, Search search_it) {
  pin_line_before_search(move, depth);
  bool complete = search_it();
  release_line_after_search(move, depth);
  return complete;
}

// One iteration over every record; `best` ends as the best value (mover's
// view). False when a stop cut it short.
bool search_iteration(RootMoves& roots, Plies depth, int margin, MoveSearch search, int& best) {
  if (!with_line_pinned(roots.records[0], depth,
                        [&] { return search_best_move(roots.records[0], depth, search, best); }))
    return false;
  for (int i = 1; i < roots.count; ++i) {
    RootMoveRecord& move = roots.records[i];
    if (!with_line_pinned(move, depth, [&] { return test_move(move, depth, margin, search, best); }))
      return false;
  }
  return true;
}

int count_good_moves(const RootMoves& roots) {
  return int(std::count_if(roots.records, roots.records + roots.count,
                           [](const RootMoveRecord& r) { return !r.excluded; }));
}

void report(const Position& root, const RootMoves& roots, Plies depth, char* text) {
  IterationReport r = report_iteration(root, roots, depth);
  char line[LOG_LINE_SIZE];
  std::snprintf(line, sizeof line, "time %.2fs, depth %d, nodes %" PRId64 ", %.0f kN/s,  %s\n",
                r.stats.elapsed, depth, int64_t(r.stats.nodes), r.stats.knps, r.list.c_str());
  log_text(line);
  write_host_text(text, "%.1fs, D %d, %s", r.stats.elapsed, depth, r.list.c_str());
}

}  // namespace

BestMovesSchedule best_moves_schedule(double maxtime, Plies min_depth) {
  double stop = (min_depth != 0 ? MIN_DEPTH_FACTOR : STOP_FACTOR) * maxtime;
  return BestMovesSchedule{maxtime, min_depth, stop, stop};
}

double best_moves_hard_limit(double maxtime, Plies min_depth) {
  return (min_depth != 0 ? MIN_DEPTH_FACTOR : HARD_FACTOR) * maxtime;
}

bool start_iteration(BestMovesSchedule& s, Plies depth, int good_moves, double elapsed) {
  if (depth > TIME_CHECK_DEPTH && (depth > DEPTH_CAP || elapsed > s.stop)) return false;
  if (s.min_depth == 0 || depth >= s.min_depth - 1) {
    s.stop = s.maxtime * (1 + 0.5 * std::log10(std::max(good_moves, 1)));
    s.more_time = s.stop / 2;
  }
  return true;
}

Plies next_depth(const BestMovesSchedule& s, Plies depth, double elapsed) {
  if (s.min_depth != 0 && depth < s.min_depth - 1) return depth + 2;
  if (elapsed <= s.more_time) return depth + 2;
  if (elapsed < s.stop) return depth + 1;
  return 0;
}

BestMovesResult best_moves_search(RootMoves& roots, const Position& root, const BestMovesRequest& request,
                                  char* text, MoveSearch search) {
  BestMovesSchedule schedule = best_moves_schedule(request.maxtime, request.min_depth);
  int good_moves = 1;
  int completed = 0;
  start_iteration(schedule, 1, good_moves, elapsed_seconds());  // the first one always runs
  auto iteration = [&](Plies d) {
    int best;
    if (!close_iteration(roots, search_iteration(roots, d, request.margin, search, best))) return false;
    good_moves = count_good_moves(roots);
    completed = d;
    report(root, roots, d, text);
    return std::abs(best) < DECIDED_SCORE;  // a won or lost root needs no deeper look
  };
  auto next = [&](Plies d) {
    Plies n = next_depth(schedule, d, elapsed_seconds());
    return n && start_iteration(schedule, n, good_moves, elapsed_seconds()) ? n : 0;
  };
  run_iterations(DEPTH_CAP, iteration, next);
  const RootMoveRecord& first = roots.records[0];
  keep_line_pinned(first, completed);
  return BestMovesResult{first.index, first.value, completed};
}

MoveDecision best_moves_driver(const MoveRequest& request, const BestMovesRequest& limits, RootMoves& roots) {
  game_history_clear();  // the root alone, no drawn values
  const SearchRoot root =
      set_up_root(request.root, request.side, best_moves_hard_limit(limits.maxtime, limits.min_depth));
  if (root.count == 0) {
    write_host_text(request.status, "Lost game");
    roots.count = 0;
    return MoveDecision{request.root, 0, false, MoveSource::NO_MOVES};
  }
  fill_root_moves(roots, *root.node, root.moves, root.count);
  BestMovesResult best = best_moves_search(roots, request.root, limits, request.status, search_root_move);
  set_stop_flag(0);

  const RootMoveRecord& first = roots.records[0];
  char pv[PV_TEXT_SIZE];
  pv_text(pv, request.side, request.root, first.successor, true, pv_length(best.depth));
  log_printf("%s\n", pv);
  return MoveDecision{first.successor, first.value, false, MoveSource::SEARCH};
}

}  // namespace qb
