#include "analysis.h"

#include "board/movegen.h"
#include "eval/weights.h"
#include "interface/base/settings.h"
#include "interface/base/stop.h"
#include "search/deepening.h"
#include "search/game_history.h"
#include "search/score.h"
#include "search/search_state.h"
#include "search/tt.h"

namespace bookgen {

namespace {

constexpr double NO_TIME_LIMIT = 1e9;

unsigned long long g_nodes = 0;

}  // namespace

bool start_analysis(int hash_mb, const std::string& weights_dir, std::string* error) {
  qb::g_settings.searchthreads.store(1);
  qb::publish_stop_flag(nullptr);  // the search's own flag, never set by a host
  qb::tt_free();
  qb::tt_allocate(uint32_t(hash_mb));
  if (!qb::load_weights(weights_dir.c_str())) {
    *error = "cannot load the evaluation weights from '" + weights_dir + "'";
    return false;
  }
  return true;
}

Analysis analyse(const qb::Position& p, qb::Side side, int depth) {
  qb::MoveList moves;
  int count = qb::generate_moves(p, moves, side);
  if (count == 0) return Analysis{qb::black_view(side, -qb::MATE), -1};  // lost at the root: ply 0
  qb::game_history_clear();
  qb::prepare_search(p, side, NO_TIME_LIMIT);
  qb::DeepeningResult r =
      qb::deepen(moves, count, qb::DeepeningLimits{NO_TIME_LIMIT, NO_TIME_LIMIT, depth}, nullptr);
  g_nodes += qb::sum_thread_counters().nodes;
  return Analysis{r.value, r.best_index};
}

unsigned long long analysis_nodes() { return g_nodes; }

}  // namespace bookgen
