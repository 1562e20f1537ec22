#include "search/deepening.h"

#include "interface/base/stop.h"
#include "search/iterations.h"
#include "search/progress_line.h"
#include "search/report.h"
#include "search/root_search.h"
#include "search/search_state.h"
#include "search/time_control.h"
#include "search/window.h"

namespace qb {

namespace {

constexpr Plies FULL_PV_DEPTH = 10;  // passes inside an iteration show the PV from here
constexpr Plies PIN_PV_DEPTH = 8;    // the PV is pinned after every pass from here

bool stopped_at(Plies depth) { return depth >= STOP_MIN_DEPTH && stop_requested(); }

// The depth after a completed iteration: two plies deeper while time is
// plentiful (and always below the stop depth), one when it runs short, none
// once no new iteration may start.
Plies next_depth(const DeepeningLimits& limits, Plies depth) {
  double e = elapsed_seconds();
  if (e <= limits.more_time || depth < STOP_MIN_DEPTH) return depth + 2;
  if (e >= limits.stop) return 0;
  return depth + 1;
}

}  // namespace

DeepeningResult deepen(const SearchNode& root, const MoveList& moves, int count,
                       const DeepeningLimits& limits, char* status, const IterationDone& on_iteration) {
  const Position root_position = root.position();
  const Side side = root.side;
  DeepeningResult done{0, 0, 0};
  int committed = 0;
  char pv[PV_TEXT_SIZE];
  ProgressLine progress(status);

  // Null-window passes until the value is exact; the best move is committed
  // whenever a pass shows it at least as good as the window's bound.
  auto iteration = [&](Plies d) {
    SearchWindow w = initial_window(done.value);
    int shown = done.value;
    do {
      int index = committed;
      int v = root_search(root, moves, count, w.alpha, w.beta, d, index);
      if (stopped_at(d)) break;
      pv[0] = '\0';
      if (d >= FULL_PV_DEPTH) pv_text(pv, side, root_position, moves.moves[committed], false, pv_length(d));
      const char* sign = v < w.beta ? "<" : ">";
      if (side == BLACK ? v > w.alpha : v < w.beta) committed = index;
      shown = window_update(w, v);
      progress.write(sign, shown, d, pv);
      if (d >= PIN_PV_DEPTH) pin_pv(side, moves.moves[committed], false, pv_length(d), nullptr);
    } while (w.lower < w.upper);
    if (stopped_at(d)) return false;  // the unfinished iteration counts for nothing

    done = DeepeningResult{committed, shown, d};
    pv_text(pv, side, root_position, moves.moves[committed], false, pv_length(d));
    log_best_move(root_position, moves.moves[committed], shown, d);
    progress.write("=", shown, d, pv);
    if (on_iteration) on_iteration(done);
    return true;
  };
  run_iterations(limits.depth_cap, iteration, [&](Plies d) { return next_depth(limits, d); });
  return done;
}

}  // namespace qb
