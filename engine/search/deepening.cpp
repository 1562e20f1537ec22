#include "search/deepening.h"

#include <algorithm>

#include "interface/base/settings.h"
#include "interface/base/stop.h"
#include "search/game_history.h"
#include "search/progress_line.h"
#include "search/report.h"
#include "search/root_search.h"
#include "search/search_state.h"
#include "search/threads.h"
#include "search/time_control.h"
#include "search/tt.h"
#include "search/window.h"

namespace qb {

namespace {

constexpr Plies FULL_PV_DEPTH = 10;  // passes inside an iteration show the PV from here
constexpr Plies PIN_PV_DEPTH = 8;    // the PV is pinned after every pass from here

bool stopped_at(Plies depth) { return depth >= STOP_MIN_DEPTH && stop_requested(); }

// The threads that take part: the setting, within the threads that exist.
int threads_for_search() {
  int wanted = g_settings.searchthreads.load(std::memory_order_relaxed);
  return std::clamp(wanted, 1, g_search.threads_created);
}

}  // namespace

void prepare_search(const Position& root, Side side, double hard_limit) {
  // Searches started without a host (tools, tests) stop through a flag of
  // the engine's own, so the hard time limit always works.
  static int32_t own_stop_flag = 0;
  if (!g_stop_flag.load(std::memory_order_relaxed)) publish_stop_flag(&own_stop_flag);
  if (!g_tt.buckets) tt_allocate_for_settings();
  tt_new_search();
  start_move_clock();
  reset_move_tables();
  g_search.hard_limit = hard_limit;
  history_update(root, side);
  g_search.threads_in_use = threads_for_search();
  reset_thread_counters();
}

DeepeningResult deepen(const MoveList& moves, int count, const DeepeningLimits& limits, char* status,
                       const IterationDone& on_iteration) {
  const SearchNode& root = *history_last();
  const Position root_position = root.position();
  const Side side = root.side;
  DeepeningResult done{0, 0, 0};
  int committed = 0;
  char pv[PV_TEXT_SIZE];
  AwakeSearchThreads awake;
  ProgressLine progress(status);
  for (int d = 1; d <= limits.depth_cap;) {
    g_search.iteration_depth.store(d, std::memory_order_relaxed);
    SearchWindow w = initial_window(done.value);
    reset_iteration_statistics();
    int shown = done.value;
    do {
      int index = committed;
      int v = root_search(root, moves, count, w.alpha, w.beta, d, index);
      if (stopped_at(d)) break;
      pv[0] = '\0';
      if (d >= FULL_PV_DEPTH)
        pv_text(pv, side, root_position, moves.moves[committed], false, pv_length(d));
      const char* sign = v < w.beta ? "<" : ">";
      if (side == BLACK ? v > w.alpha : v < w.beta) committed = index;
      shown = window_update(w, v);
      progress.write(sign, shown, d, pv);
      if (d >= PIN_PV_DEPTH) pin_pv(side, moves.moves[committed], false, pv_length(d), nullptr);
    } while (w.lower < w.upper);
    if (stopped_at(d)) break;  // the unfinished iteration counts for nothing

    done = DeepeningResult{committed, shown, d};
    pv_text(pv, side, root_position, moves.moves[committed], false, pv_length(d));
    log_best_move(root_position, moves.moves[committed], shown, d);
    progress.write("=", shown, d, pv);
    if (on_iteration) on_iteration(done);

    double e = elapsed_seconds();
    if (e <= limits.more_time || d < STOP_MIN_DEPTH) d += 2;
    else if (e >= limits.stop) break;
    else d += 1;
  }
  return done;
}

}  // namespace qb
