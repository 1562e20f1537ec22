#include "search/root_db_checks.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "board/bitops.h"
#include "book/random.h"
#include "endgame/databases.h"
#include "endgame/resolve.h"
#include "interface/base/host_text.h"
#include "interface/base/log.h"
#include "platform/platform.h"

namespace qb {

namespace {

constexpr double ALLOWANCE_CAP_S = 10.0;
constexpr int32_t ANALYSIS_NODE_LIMIT = 1000000;
constexpr int ROOT_RESOLVE_CAP_MS = 1500;
constexpr int INNER_RESOLVE_MS = 100;
constexpr int ANALYSIS_CAP_MS = 5000;
constexpr int ANALYSIS_DEPTHS[] = {2, 4, 6};
constexpr int CHECK_RESOLVE_CAP_MS = 200;

// Ratings that push a record whose value is worse than the target to the
// end of the order.
constexpr float WORSE_WHEN_ASCENDING = 2.0f;
constexpr float WORSE_WHEN_DESCENDING = 0.001f;
constexpr double ASCENDING_MARGIN = 0.93;
constexpr double DESCENDING_MARGIN = 1.07;

bool worse_for(Side side, int v, int target) { return side == BLACK ? v < target : v > target; }
bool favours(Side side, int v) { return side == BLACK ? v > 0 : v < 0; }

// Insertion sort that puts each record before all records that compare
// equal to it.
void sort_records(DrawRecord* records, int count, bool ascending) {
  for (int i = 1; i < count; ++i) {
    DrawRecord r = records[i];
    int j = i;
    while (j > 0 && (ascending ? records[j - 1].rating >= r.rating : records[j - 1].rating <= r.rating)) {
      records[j] = records[j - 1];
      --j;
    }
    records[j] = r;
  }
}

double log_inverse(float s) { return std::log(1.0 / double(s)); }

void report_depth(char* status, int depth, const DrawRecord* records, int count, int candidates) {
  std::string text = "depth " + std::to_string(depth) + "; ";
  char rating[32];
  for (int i = 0; i < count; ++i) {
    std::snprintf(rating, sizeof rating, " (%.3f), ", double(records[i].rating));
    text += records[i].move;
    text += i < candidates ? "*" : "";
    text += rating;
  }
  write_host_text(status, "%s", text.c_str());
  log_printf("%s\n", text.c_str());
}

int resolve_ms(double seconds, double share, int cap) {
  double ms = std::trunc(seconds * share * 1000.0);
  return ms < cap ? int(ms) : cap;  // NaN too
}

}  // namespace

int rank_draw_records(DrawRecord* records, int count, int target, Side side) {
  const bool ascending = target == 0 || favours(side, target);
  for (int i = 0; i < count; ++i)
    if (worse_for(side, records[i].value, target))
      records[i].rating = ascending ? WORSE_WHEN_ASCENDING : WORSE_WHEN_DESCENDING;
  sort_records(records, count, ascending);

  const double first = log_inverse(records[0].rating);
  int candidates = 0;
  while (candidates < count) {
    double here = log_inverse(records[candidates].rating);
    bool close = ascending ? here >= ASCENDING_MARGIN * first : here <= DESCENDING_MARGIN * first;
    if (!close) break;
    ++candidates;
  }
  // A first rating above 1 fails its own test; the first record is then
  // still the best there is, and is played.
  candidates = std::max(candidates, 1);
  if (ascending)
    for (int i = 0; i < count; ++i) records[i].rating = std::min(records[i].rating, 1.0f);
  return candidates;
}

bool database_draw_analysis(const SearchNode& root, char* status, double allowance, Position* out) {
  write_host_text(status, "%s", "");
  const Position pos = root.position();
  if (!within_wld_limits(pos)) return false;

  const double t = std::min(allowance, ALLOWANCE_CAP_S);
  DrawLimits limits;
  limits.start_ms = platform::process_clock_ms();
  g_wld.node_limit = ANALYSIS_NODE_LIMIT;
  g_wld.time_limit_ms = at_least_1ms(resolve_ms(t, 0.8, ROOT_RESOLVE_CAP_MS));
  if (resolve_wld(g_wld, pos, root.side) != RESOLVE_DRAW) return false;

  g_wld.time_limit_ms = INNER_RESOLVE_MS;
  limits.time_limit_ms = uint32_t(std::max(0, resolve_ms(t, 0.7, ANALYSIS_CAP_MS)));
  limits.root_pieces = pop_count(pos.occupied());

  bool chosen = false;
  DrawRecord records[MAX_MOVES];
  for (int depth : ANALYSIS_DEPTHS) {
    int count = 0, target = 0;
    float rating = drawing_chances(root, 1, depth, records, &count, &target, limits);
    if (limits.abandoned) break;
    if (rating < 0 || count == 0) return false;
    int candidates = rank_draw_records(records, count, target, root.side);
    *out = records[random_number() % uint32_t(candidates)].successor;
    report_depth(status, depth, records, count, candidates);
    chosen = true;
  }
  return chosen;
}

bool wld_consistency_check(Side side, const Position& root, const MoveList& moves, int count, int chosen,
                           int* replacement, double maxtime) {
  if (!g_wld.handle || pop_count(root.occupied()) > g_wld.max_pieces) return false;
  double ms = std::round(maxtime * 1000.0 * 0.25);
  g_wld.time_limit_ms = at_least_1ms(ms < CHECK_RESOLVE_CAP_MS ? int(ms) : CHECK_RESOLVE_CAP_MS);

  const int r = resolve_wld(g_wld, root, side);
  if (r != RESOLVE_WIN && r != RESOLVE_DRAW) return false;
  const int c = resolve_wld(g_wld, moves.moves[chosen], opponent_of(side));
  if (c != RESOLVE_WIN && c != RESOLVE_LOSS && c != RESOLVE_DRAW) return false;
  // What the move must leave the opponent: a loss from a won root, a draw
  // from a drawn one.
  const int kept = r == RESOLVE_WIN ? RESOLVE_LOSS : RESOLVE_DRAW;
  if (c == kept) return false;
  for (int i = 0; i < count; ++i) {
    if (resolve_wld(g_wld, moves.moves[i], opponent_of(side)) == kept) {
      *replacement = i;
      return true;
    }
  }
  return false;
}

}  // namespace qb
