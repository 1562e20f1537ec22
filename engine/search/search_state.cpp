#include "search/search_state.h"

namespace qb {

SearchState g_search;

void reset_move_tables() {
  for (auto& h : g_search.history) h.store(HISTORY_START, std::memory_order_relaxed);
  for (Killer& k : g_search.threads[0].killers) k = Killer{0, 0};
  g_search.poll_counter = 0;
}

void reset_thread_counters() {
  for (int i = 0; i < g_search.threads_in_use; ++i) {
    g_search.threads[i].nodes.reset();
    g_search.threads[i].db_probes.reset();
    g_search.threads[i].cancel.store(0, std::memory_order_relaxed);
  }
  reset_iteration_statistics();
}

void reset_iteration_statistics() {
  g_search.selective_depth.store(0, std::memory_order_relaxed);
  for (int i = 0; i < g_search.threads_in_use; ++i) {
    g_search.threads[i].leaves.reset();
    g_search.threads[i].leaf_plies.reset();
  }
}

SearchTotals sum_thread_counters() {
  SearchTotals sum{0, 0, 0, 0};
  for (int i = 0; i < g_search.threads_in_use; ++i) {
    sum.nodes += g_search.threads[i].nodes.get();
    sum.leaves += g_search.threads[i].leaves.get();
    sum.leaf_plies += g_search.threads[i].leaf_plies.get();
    sum.db_probes += g_search.threads[i].db_probes.get();
  }
  return sum;
}

}  // namespace qb
