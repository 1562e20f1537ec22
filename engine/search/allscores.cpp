// The allscores setting's driver: getmove with an exact value for every root
// move. Each move keeps its own search window from iteration to iteration.
#include "search/allscores.h"

#include <cinttypes>

#include "interface/base/host_text.h"
#include "interface/base/log.h"
#include "search/deepening.h"
#include "search/driver.h"
#include "search/iterations.h"
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
  auto iteration = [&](Plies d) {
    if (!close_iteration(roots, search_every_move(roots, d, search))) return false;
    done = report_iteration(root, roots, d);
    write_status(status, done, "");
    return true;
  };
  run_iterations(depth_cap, iteration, [&](Plies d) { return done.stats.elapsed >= stop_limit ? 0 : d + 1; });
  return done;
}

MoveDecision allscores_driver(const MoveRequest& request) {
  const double maxtime = bounded_move_time(request.maxtime);
  const SearchRoot root = set_up_root(request.root, request.side,
                                      request.info & INFO_EXACT_TIME ? maxtime : HARD_FACTOR * maxtime);
  char* status = request.status;
  MoveDecision decision;
  if (consult_book(root, status, decision) || decided_without_search(root, maxtime, status, decision))
    return decision;

  const Position position = root.position();
  RootMoves roots;
  fill_root_moves(roots, *root.node, root.moves, root.count);
  IterationReport last =
      all_scores_iterations(roots, position, root.depth_cap, STOP_FACTOR * maxtime, status, search_root_move);
  set_stop_flag(0);

  const RootMoveRecord& chosen = roots.records[0];
  log_printf("time %.2fs, depth %d, nodes %" PRId64 ", %.0f kN/s, %s\n", last.stats.elapsed, last.depth,
             int64_t(last.stats.nodes), last.stats.knps, last.list.c_str());
  keep_line_pinned(chosen, last.depth);
  char pv[PV_TEXT_SIZE];
  pv_text(pv, root.side(), position, chosen.successor, false, pv_length(last.depth));
  write_status(status, last, pv);
  log_printf("%s\n", pv);
  return MoveDecision{chosen.successor, chosen.value, last.depth > DEEP_DEPTH, MoveSource::SEARCH};
}

}  // namespace qb
