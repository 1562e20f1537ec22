#include "analysis.h"

#include "eval/weights.h"
#include "interface/base/settings.h"
#include "search/fixed_depth.h"
#include "search/score.h"

namespace bookgen {

namespace {

unsigned long long g_nodes = 0;

}  // namespace

bool start_analysis(int hash_mb, const std::string& weights_dir, std::string* error) {
  qb::g_settings.searchthreads.store(1);
  qb::start_unhosted_searches(uint32_t(hash_mb));
  if (!qb::load_weights(weights_dir.c_str())) {
    *error = "cannot load the evaluation weights from '" + weights_dir + "'";
    return false;
  }
  return true;
}

Analysis analyse(const qb::Position& p, qb::Side side, int depth) {
  const qb::FixedDepthResult r =
      qb::search_fixed_depth(qb::FixedDepthRequest{.root = p, .side = side, .depth = depth});
  if (r.move_count == 0) return Analysis{qb::black_view(side, -qb::MATE), -1};  // lost at the root: ply 0
  g_nodes += r.nodes;
  return Analysis{r.value, r.best_index};
}

unsigned long long analysis_nodes() { return g_nodes; }

}  // namespace bookgen
