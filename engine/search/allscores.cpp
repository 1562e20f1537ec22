// The allscores setting's driver: getmove with an exact value for every root
// move. Each move keeps its own search window from iteration to iteration.
#include "search/allscores.h"

#include <cinttypes>

#include "board/movegen.h"
#include "book/book.h"
#include "book/book_move.h"
#include "endgame/db_play.h"
#include "interface/base/host_text.h"
#include "interface/base/log.h"
#include "search/deepening.h"
#include "search/driver.h"
#include "search/game_history.h"
#include "search/result.h"
#include "search/root_search.h"
#include "search/threads.h"
#include "search/time_control.h"
#include "search/window.h"

namespace qb {

namespace {

constexpr double STOP_FACTOR = 0.79;  // of maxtime: no new iteration from here
constexpr double HARD_FACTOR = 4;     // of maxtime, unless the host wants exact time
constexpr Plies DEEP_DEPTH = 7;       // values of deeper iterations decide result codes

// Null-window passes until the move's value is exact; false when a stop cut
// the search short.
bool search_exactly(RootMoveRecord& move, Plies depth, MoveSearch search) {
  SearchWindow w = initial_window(move.value);
  do {
    int v = search(move, w.alpha, w.beta, depth);
    if (cut_short(v, depth)) return false;
    move.value = window_update(w, v);
    pin_current_line(move, depth, false);
  } while (w.lower < w.upper);
  return true;
}

bool search_every_move(RootMoves& roots, Plies depth, MoveSearch search) {
  for (int i = 0; i < roots.count; ++i) {
    RootMoveRecord& move = roots.records[i];
    pin_line_before_search(move, depth);
    bool complete = search_exactly(move, depth, search);
    release_line_after_search(move, depth);
    if (!complete) return false;
  }
  return true;
}

void write_status(char* status, const IterationReport& r, const char* pv) {
  write_host_text(status, "depth %d,  %.1fs,  %s%s", r.depth, r.stats.elapsed, r.list.c_str(), pv);
}

}  // namespace

IterationReport all_scores_iterations(RootMoves& roots, const Position& root, Plies depth_cap,
                                      double stop_limit, char* status, MoveSearch search) {
  IterationReport done;
  AwakeSearchThreads awake;
  for (int d = 1; d <= depth_cap; ++d) {
    g_search.iteration_depth.store(d, std::memory_order_relaxed);
    reset_iteration_statistics();
    if (!search_every_move(roots, d, search)) {
      restore_previous_iteration(roots);
      break;
    }
    commit_iteration(roots);
    sort_root_moves(roots);
    done = report_iteration(root, roots, d);
    write_status(status, done, "");
    if (done.stats.elapsed >= stop_limit) break;
  }
  return done;
}

int allscores_driver(const Position& root, Side side, double maxtime, int info, char* str,
                     Position* out) {
  maxtime = bounded_move_time(maxtime);
  prepare_search(root, side, info & INFO_EXACT_TIME ? maxtime : HARD_FACTOR * maxtime);
  log_search_start(root, side);

  MoveList moves;
  const int count = generate_moves(root, moves, side);

  int book_index = 0, book_value = 0;
  if (count > 0 && book_in_use() &&
      book_move(root, side, moves, history_last(), &book_index, &book_value, str)) {
    *out = moves.moves[book_index];
    log_printf("%s\n", str ? str : "");
    return result_step(*out, side, book_value, true);
  }

  int decided = 0;
  if (decided_without_search(root, side, moves, count, maxtime, str, out, &decided)) return decided;
  const Plies depth_cap = forced_capture(root, side) ? FORCED_DEPTH_CAP : DEPTH_CAP;
  RootMoves roots;
  fill_root_moves(roots, moves, count, side);

  IterationReport last =
      all_scores_iterations(roots, root, depth_cap, STOP_FACTOR * maxtime, str, search_root_move);
  set_stop_flag(0);

  const RootMoveRecord& chosen = roots.records[0];
  *out = chosen.successor;
  log_printf("time %.2fs, depth %d, nodes %" PRId64 ", %.0f kN/s, %s\n", last.stats.elapsed,
             last.depth, int64_t(last.stats.nodes), last.stats.knps, last.list.c_str());
  keep_line_pinned(chosen, last.depth);
  char pv[PV_TEXT_SIZE];
  pv_text(pv, side, root, chosen.successor, false, pv_length(last.depth));
  write_status(str, last, pv);
  log_printf("%s\n", pv);
  return result_step(*out, side, chosen.value, last.depth > DEEP_DEPTH);
}

}  // namespace qb
