#include "endgame/db_play.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "board/bitops.h"
#include "board/movetext.h"
#include "endgame/identify.h"
#include "endgame/resolve.h"
#include "interface/base/host_text.h"
#include "platform/platform.h"
#include "search/game_history.h"
#include "search/score.h"

namespace qb {

namespace {

constexpr int MTC_TIME_CAP_MS = 1000;
constexpr int DTW_TIME_CAP_MS = 2000;
constexpr int MTC_NO_DISTANCE = 1;  // an MTC value that carries no usable distance

// A lookup that gave no distance at all (a negative answer: a damaged or
// unreadable block), or only the "near" value, cannot rank a move: the
// conversion play then declines and the search decides. (A root without an
// answer is declined too; one that is near is played by near_conversion.)
bool usable_mtc(int value) { return value >= 0 && value != MTC_NO_DISTANCE; }
constexpr int MAX_DEPTH_LIMIT = 31;

// Distance search results besides distances.
constexpr int NOT_RESOLVED = -1;  // not within the depth limit
constexpr int FAILED = -2;        // time ran out

enum DistanceMode { WINNER_TO_MOVE = 1, LOSER_TO_MOVE = 2 };

int budget_ms(double maxtime, int cap) {
  double ms = maxtime * 1000.0;
  if (!(ms < cap)) return cap;  // also for NaN
  return ms <= 0 ? 0 : int(std::lround(ms));
}

int total_pieces(const Position& p) { return pop_count(p.occupied()); }

void sort_ranked(std::vector<RankedMove>& ranked, bool ascending) {
  std::stable_sort(ranked.begin(), ranked.end(), [&](const RankedMove& a, const RankedMove& b) {
    return ascending ? a.distance < b.distance : a.distance > b.distance;
  });
}

// ",  11-15 (7)*" for every ranked move after the first.
std::string other_moves_text(const Position& root, const MoveList& moves,
                             const std::vector<RankedMove>& ranked) {
  std::string text;
  char move[MOVE_TEXT_SIZE];
  char item[64];
  for (size_t i = 1; i < ranked.size(); ++i) {
    move_text(move, root, moves.moves[ranked[i].index]);
    std::snprintf(item, sizeof item, ",  %s (%d)%s", move, ranked[i].distance,
                  ranked[i].distance == ranked[0].distance ? "*" : "");
    text += item;
  }
  return text;
}

// A capture, or a move of a man: the material or the men change for good.
bool is_conversion(const Position& before, const Position& after, Side side) {
  return pop_count(after.pieces[opponent_of(side)]) != pop_count(before.pieces[opponent_of(side)]) ||
         men_changed(before, after, side);
}

// The winner's move that keeps the win and converts, if it has one.
bool converts_now(const Position& p, Side winner) {
  MoveList list;
  const int n = generate_moves(p, list, winner);
  for (int i = 0; i < n; ++i)
    if (is_conversion(p, list.moves[i], winner) &&
        resolve_wld(g_wld, list.moves[i], opponent_of(winner)) == RESOLVE_LOSS)
      return true;
  return false;
}

// The table's "near" value tells that the conversion is at most three plies
// away but not by which move. Leaving such a position to the search let it
// follow a plan of its own that the next conversion-table move undid, round
// and round; so the winner converts here: now if it can, else by a move after
// which every reply of the loser converts or lets the winner convert. Returns
// the move's index and its distance in moves (0 or 1), or -1 when none is
// certain.
int near_conversion(const Position& root, Side side, const MoveList& moves, int count, int& distance) {
  const Side opponent = opponent_of(side);
  for (int now : {1, 0}) {
    for (int i = 0; i < count; ++i) {
      const Position& child = moves.moves[i];
      if (is_conversion(root, child, side) != bool(now)) continue;
      if (resolve_wld(g_wld, child, opponent) != RESOLVE_LOSS) continue;
      bool certain = now;
      if (!now) {
        MoveList replies;
        const int n = generate_moves(child, replies, opponent);
        certain = true;
        for (int k = 0; k < n && certain; ++k)
          certain = is_conversion(child, replies.moves[k], opponent) || converts_now(replies.moves[k], side);
      }
      if (certain) {
        distance = 1 - now;
        return i;
      }
    }
  }
  return -1;
}

// True when a reply of the loser to the winner's move `child` brings back a
// placement the game has already seen with the winner to move.
bool lets_position_come_back(const SearchNode& root, const Position& child) {
  const SearchNode after = make_child(root, child, is_conversion(root.position(), child, root.side));
  MoveList replies;
  const int n = generate_moves(child, replies, after.side);
  for (int i = 0; i < n; ++i) {
    const Position& reply = replies.moves[i];
    const SearchNode back = make_child(after, reply, is_conversion(child, reply, after.side));
    if (same_placement(back, root) || repeats_ancestor(back)) return true;
  }
  return false;
}

// The winner must never let a won position come back: a conversion table
// counts in whole moves and hands positions it calls near to the search, so
// its best-ranked move can lead back to where the game has been, and the
// game then goes round in circles to a draw by repetition. The best-ranked
// move that lets no such position come back goes first (the ranking stays
// as it is when every move does).
void prefer_progress(std::vector<RankedMove>& ranked, const SearchNode& node, const MoveList& moves) {
  for (size_t i = 0; i < ranked.size(); ++i) {
    if (lets_position_come_back(node, moves.moves[ranked[i].index])) continue;
    std::rotate(ranked.begin(), ranked.begin() + long(i), ranked.begin() + long(i) + 1);
    return;
  }
}

// The winning side's sign, from black's view.
int winner_sign(Side side, int root_value) {
  Side winner = root_value == RESOLVE_WIN ? side : opponent_of(side);
  return winner == BLACK ? 1 : -1;
}

// A won root the table calls near: the certain conversion, if there is one.
bool play_near_conversion(const Position& root, Side side, const MoveList& moves, int count, char* status,
                          DbPlayChoice& choice) {
  int distance = 0;
  const int index = near_conversion(root, side, moves, count, distance);
  if (index < 0) return false;
  choice = DbPlayChoice{index, distance, CONVERSION_SCORE * winner_sign(side, RESOLVE_WIN)};
  char move[MOVE_TEXT_SIZE];
  move_text(move, root, moves.moves[index]);
  write_host_text(status, "value=%d,  %s (conv. in %d)*", choice.value, move, distance);
  return true;
}

bool conversion_play(const SearchNode& node, const MoveList& moves, int count, double maxtime, char* status,
                     DbPlayChoice& choice) {
  const Position root = node.position();
  const Side side = node.side;
  g_wld.time_limit_ms = at_least_1ms(budget_ms(maxtime, MTC_TIME_CAP_MS));
  const int m0 = driver_lookup(g_aux.handle, root, side, false);
  if (m0 < 0) return false;
  const int r = resolve_wld(g_wld, root, side);
  if (r != RESOLVE_WIN && r != RESOLVE_LOSS) return false;
  if (m0 == MTC_NO_DISTANCE)
    return r == RESOLVE_WIN && play_near_conversion(root, side, moves, count, status, choice);

  std::vector<RankedMove> candidates;
  const Side opponent = opponent_of(side);
  if (r == RESOLVE_WIN) {
    for (int i = 0; i < count; ++i) {
      const Position& child = moves.moves[i];
      int c = resolve_wld(g_wld, child, opponent);
      if (c == RESOLVE_WIN || c == RESOLVE_DRAW) continue;
      if (c != RESOLVE_LOSS) return false;
      int distance = driver_lookup(g_aux.handle, child, opponent, false);
      if (!usable_mtc(distance)) return false;
      candidates.push_back({distance, i});
    }
    sort_ranked(candidates, true);
    prefer_progress(candidates, node, moves);
  } else {
    // Only plain king moves: a capture or a man move is itself a conversion.
    const bool captures = has_capture(root, side);
    for (int i = 0; i < count && !captures; ++i) {
      const Position& child = moves.moves[i];
      if (men_changed(root, child, side)) continue;
      int distance = driver_lookup(g_aux.handle, child, opponent, false);
      if (distance < 0) return false;  // no answer: no ranking to trust
      if (distance != MTC_NO_DISTANCE) candidates.push_back({distance, i});
    }
    sort_ranked(candidates, false);
  }
  if (candidates.empty()) return false;
  if (m0 == candidates[0].distance)
    for (RankedMove& c : candidates) --c.distance;

  choice = DbPlayChoice{candidates[0].index, candidates[0].distance, CONVERSION_SCORE * winner_sign(side, r)};
  char move[MOVE_TEXT_SIZE];
  move_text(move, root, moves.moves[choice.index]);
  write_host_text(status, "value=%d,  %s (conv. in %d)*%s", choice.value, move, choice.distance,
                  other_moves_text(root, moves, candidates).c_str());
  return true;
}

bool out_of_time(DistanceAnalysis& a) {
  a.elapsed_ms = platform::process_clock_ms() - a.start_ms;
  return a.time_limit_ms != 0 && a.elapsed_ms > uint32_t(a.time_limit_ms);
}

// Plies to the end of the game from `p` with best play, counted through
// database distances at positions without a capture for the side to move;
// NOT_RESOLVED when the line needs more than `limit` plies of search.
int distance_search(DistanceAnalysis& a, const Position& p, Side side, int ply, int limit,
                    DistanceMode mode) {
  ++a.nodes;
  if (ply > a.deepest_ply) a.deepest_ply = ply;
  if (!has_capture(p, side)) {
    int m = driver_lookup(a.aux, p, side, false);
    if (m >= 0) return mode == WINNER_TO_MOVE ? 2 * m + 1 : 2 * m;
  }
  if (ply >= limit) return NOT_RESOLVED;
  MoveList list;
  const int count = generate_moves(p, list, side);
  if (count == 0) return 0;
  // A winner's move must keep the win; every loser's move is answered.
  int best = mode == WINNER_TO_MOVE ? 511 : 0;
  for (int i = 0; i < count; ++i) {
    int c = resolve_wld(a.wld, list.moves[i], opponent_of(side));
    if (out_of_time(a)) return FAILED;
    if (c == RESOLVE_UNKNOWN) return NOT_RESOLVED;
    if (mode == WINNER_TO_MOVE && c != RESOLVE_LOSS) continue;
    DistanceMode next = mode == WINNER_TO_MOVE ? LOSER_TO_MOVE : WINNER_TO_MOVE;
    int d = distance_search(a, list.moves[i], opponent_of(side), ply + 1, limit, next);
    if (d < 0) return d;
    best = mode == WINNER_TO_MOVE ? std::min(best, d) : std::max(best, d);
  }
  return best + 1;
}

bool distance_play(const SearchNode& node, const MoveList& moves, int count, double maxtime, char* status,
                   DbPlayChoice& choice) {
  const Position root = node.position();
  const Side side = node.side;
  const int budget = budget_ms(maxtime, DTW_TIME_CAP_MS);
  g_wld.time_limit_ms = at_least_1ms(budget / 2);
  const int r = resolve_wld(g_wld, root, side);
  if (r != RESOLVE_WIN && r != RESOLVE_LOSS) return false;

  DistanceAnalysis a;
  a.wld = g_wld;
  a.wld.time_limit_ms = at_least_1ms(budget);
  a.aux = g_aux.handle;
  a.time_limit_ms = at_least_1ms(budget);
  std::vector<RankedMove> ranked;
  if (!rank_dtw_moves(a, root, side, moves, count, ranked)) return false;
  if (ranked.empty() || ranked[0].distance < 1) return false;
  if (r == RESOLVE_WIN) prefer_progress(ranked, node, moves);

  const int d = ranked[0].distance;
  choice = DbPlayChoice{ranked[0].index, d, (MATE - d) * winner_sign(side, r)};
  char move[MOVE_TEXT_SIZE];
  move_text(move, root, moves.moves[choice.index]);
  write_host_text(status, "%s (%s %s in %d)*%s", move, side == BLACK ? "black" : "white",
                  r == RESOLVE_WIN ? "wins" : "loses", d, other_moves_text(root, moves, ranked).c_str());
  return true;
}

}  // namespace

bool rank_dtw_moves(DistanceAnalysis& a, const Position& root, Side side, const MoveList& moves, int count,
                    std::vector<RankedMove>& ranked) {
  ranked.clear();
  a.nodes = 0;
  a.deepest_ply = 0;
  a.start_ms = platform::process_clock_ms();
  a.elapsed_ms = 0;
  const int r = resolve_wld(a.wld, root, side);
  if (r == RESOLVE_DRAW) return true;  // a draw has no distance: nothing to rank
  if (r != RESOLVE_WIN && r != RESOLVE_LOSS) return false;

  const Side opponent = opponent_of(side);
  const DistanceMode child_mode = r == RESOLVE_WIN ? LOSER_TO_MOVE : WINNER_TO_MOVE;
  std::vector<bool> done(size_t(count), false);
  bool any_unresolved = false;
  for (int limit = 0; limit <= MAX_DEPTH_LIMIT; ++limit) {
    for (int i = 0; i < count; ++i) {
      if (done[size_t(i)]) continue;
      const Position& child = moves.moves[i];
      int c = resolve_wld(a.wld, child, opponent);
      if (c == RESOLVE_UNKNOWN) return false;
      if (r == RESOLVE_WIN && c != RESOLVE_LOSS) continue;
      if (out_of_time(a)) return false;
      int d = distance_search(a, child, opponent, 0, limit, child_mode);
      if (d == FAILED) return false;
      if (d == NOT_RESOLVED) {
        any_unresolved = true;
        continue;
      }
      ranked.push_back({d + 1, i});
      done[size_t(i)] = true;
    }
    if (!any_unresolved) break;
  }
  sort_ranked(ranked, r == RESOLVE_WIN);
  return true;
}

bool db_play(const SearchNode& node, const MoveList& moves, int count, double maxtime, char* status,
             DbPlayChoice& choice) {
  const Position root = node.position();
  if (!g_wld.handle || !g_aux.handle || !within_wld_limits(root)) return false;
  if (g_aux.pieces < total_pieces(root)) return false;
  if (g_aux.type == DB_QUILLBAR_MTC) return conversion_play(node, moves, count, maxtime, status, choice);
  if (g_aux.type == DB_QUILLBAR_DTW) return distance_play(node, moves, count, maxtime, status, choice);
  return false;
}

}  // namespace qb
