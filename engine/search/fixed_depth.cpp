#include "search/fixed_depth.h"

#include "board/movegen.h"
#include "interface/base/stop.h"
#include "search/game_history.h"
#include "search/search_root.h"
#include "search/search_state.h"
#include "search/tt.h"

namespace qb {

namespace {

constexpr double NO_TIME_LIMIT = 1e9;  // seconds

}  // namespace

void start_unhosted_searches(uint32_t hash_mb) {
  publish_stop_flag(nullptr);  // the search puts its own in place
  tt_free();
  tt_allocate(hash_mb);
}

FixedDepthResult search_fixed_depth(const FixedDepthRequest& request, const IterationDone& on_iteration) {
  MoveList moves;
  const int count = generate_moves(request.root, moves, request.side);
  FixedDepthResult result{count, 0, request.root, 0, 0, 0};
  if (count == 0) return result;
  if (!request.continues_game) game_history_clear();
  const SearchNode& root = prepare_search(request.root, request.side, NO_TIME_LIMIT);
  if (!(request.play_forced_move && count == 1)) {
    const DeepeningResult r =
        deepen(root, moves, count, DeepeningLimits{NO_TIME_LIMIT, NO_TIME_LIMIT, request.depth}, nullptr,
               on_iteration);
    result.best_index = r.best_index;
    result.value = r.value;
    result.depth = r.depth;
  }
  result.best = moves.moves[result.best_index];
  result.nodes = sum_thread_counters().nodes;
  return result;
}

}  // namespace qb
