#include "endgame/drawn_analysis.h"

#include <algorithm>

#include "board/bitops.h"
#include "board/movegen.h"
#include "endgame/databases.h"
#include "endgame/resolve.h"
#include "platform/platform.h"
#include "search/game_history.h"
#include "search/score.h"

namespace qb {

namespace {

constexpr int KING_VALUE = 130;
constexpr int MAN_VALUE = 100;
constexpr float REPEATED_RATING = 0.998f;
constexpr int REPEATS_THAT_END_A_LINE = 2;

bool better_for(Side side, int v, int best) { return side == BLACK ? v > best : v < best; }

bool time_is_up(DrawLimits& limits) {
  if (platform::process_clock_ms() - limits.start_ms < limits.time_limit_ms) return false;
  limits.abandoned = true;
  return true;
}

}  // namespace

int material_score(const Position& p, int root_pieces) {
  const int s = (pop_count(p.kings_of(BLACK)) - pop_count(p.kings_of(WHITE))) * KING_VALUE +
                (pop_count(p.men(BLACK)) - pop_count(p.men(WHITE))) * MAN_VALUE;
  const int pieces = pop_count(p.occupied());
  if (s > 0) return s + (pieces - root_pieces);
  if (s < 0) return s + (root_pieces - pieces);
  return 0;
}

float drawing_chances(const SearchNode& node, int ply, int depth, DrawRecord* records, int* record_count,
                      int* value, DrawLimits& limits) {
  const Position pos = node.position();
  const Side side = node.side;
  const bool capture = has_capture(pos, side);
  MoveList list;
  const int count = capture ? generate_captures(pos, list, side) : generate_noncaptures(pos, list, side);
  if (count == 0) return -1.0f;

  float lowest = ply == 1 ? 2.0f : 1.0f;
  float highest = 0.0f;
  int best = black_view(side, -MATE);  // worse for the mover than any material score
  bool leaf_seen = false;
  int kept = 0;
  for (int i = 0; i < count; ++i) {
    if (time_is_up(limits)) return -1.0f;
    const Position& child = list.moves[i];
    if (resolve_wld(g_wld, child, opponent_of(side)) != RESOLVE_DRAW) continue;
    if (ply == 1) move_text(records[kept].move, pos, child);

    if (ply >= depth && !has_capture(child, opponent_of(side))) {
      leaf_seen = true;
      best = material_score(child, limits.root_pieces);  // replaced, not compared
      ++kept;
      continue;
    }
    const SearchNode next = make_child(node, child, capture);
    float rating;
    int v;
    if (repetition_count(next) >= REPEATS_THAT_END_A_LINE) {
      rating = REPEATED_RATING;
      v = material_score(child, limits.root_pieces);
    } else {
      rating = drawing_chances(next, ply + 1, depth, nullptr, nullptr, &v, limits);
      if (rating < 0) return -1.0f;
    }
    if (better_for(side, v, best)) {
      best = v;
      lowest = highest = rating;
    } else {
      lowest = std::min(lowest, rating);
      highest = std::max(highest, rating);
    }
    if (ply == 1) {
      records[kept].rating = rating;
      records[kept].successor = child;
      records[kept].value = v;
    }
    ++kept;
  }
  *value = best;
  if (ply == 1) *record_count = kept;

  // Ahead (or level where the opponent moved last): the weakest of the
  // equally good drawing moves is passed up. Otherwise the share of moves
  // that keep the draw, scaled by the chances below.
  const bool ahead = side == BLACK ? best > 0 : best < 0;
  if (ahead || (best == 0 && ply % 2 == 1)) return lowest;
  const float share = float(kept) / float(count);
  return leaf_seen ? share : share * highest;
}

}  // namespace qb
