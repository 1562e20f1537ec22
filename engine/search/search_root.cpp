#include "search/search_root.h"

#include <algorithm>

#include "interface/base/settings.h"
#include "interface/base/stop.h"
#include "search/game_history.h"
#include "search/report.h"
#include "search/root_search.h"
#include "search/search_state.h"
#include "search/threads.h"
#include "search/time_control.h"
#include "search/tt.h"

namespace qb {

namespace {

// The threads that take part: the setting, within the threads that exist.
int threads_for_search() {
  int wanted = g_settings.searchthreads.load(std::memory_order_relaxed);
  return std::clamp(wanted, 1, g_search.threads_created);
}

}  // namespace

const SearchNode& prepare_search(const Position& root, Side side, double hard_limit) {
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
  return *history_last();
}

SearchRoot set_up_root(const Position& root, Side side, double hard_limit) {
  SearchRoot r;
  r.node = &prepare_search(root, side, hard_limit);
  log_search_start(root, side);
  r.count = generate_moves(root, r.moves, side);
  r.depth_cap = forced_capture(root, side) ? FORCED_DEPTH_CAP : DEPTH_CAP;
  return r;
}

}  // namespace qb
