#include "endgame/resolve.h"

#include <cstdio>

#include "board/fen.h"
#include "board/movegen.h"
#include "platform/platform.h"

namespace qb {

namespace {

constexpr int MAX_ITERATION = 63;
constexpr int TIME_CHECK_INTERVAL = 64;

// Values -2 ... 5 as indices 0 ... 7.
constexpr int LOWEST_VALUE = -2;
constexpr int VALUE_COUNT = 8;
bool in_range(int v) { return v >= LOWEST_VALUE && v < LOWEST_VALUE + VALUE_COUNT; }
int index_of(int v) { return v - LOWEST_VALUE; }

// comb(v, b): rows b, columns v.
constexpr int COMB[VALUE_COUNT][VALUE_COUNT] = {
    /* -2 */ {-2, -2, -2, 1, -2, 5, -2, 5},
    /* -1 */ {-1, -1, -1, -1, -1, -1, -1, -1},
    /*  0 */ {0, 0, 0, 1, 0, 5, 0, 5},
    /*  1 */ {1, 1, 1, 1, 1, 1, 1, 1},
    /*  2 */ {-2, -1, 0, 1, 2, 3, 4, 5},
    /*  3 */ {5, 3, 5, 1, 3, 3, 3, 5},
    /*  4 */ {-2, -1, 0, 1, 4, 3, 4, 5},
    /*  5 */ {5, 5, 5, 1, 5, 5, 5, 5},
};

// Bit v - LOWEST_VALUE set: the value counts.
constexpr unsigned set_of(std::initializer_list<int> values) {
  unsigned bits = 0;
  for (int v : values) bits |= 1u << (v - LOWEST_VALUE);
  return bits;
}
constexpr unsigned ALL_VALUES = (1u << VALUE_COUNT) - 1;
constexpr unsigned ALL_BUT_LOSS = ALL_VALUES & ~set_of({2});

// cut(v, beta): the values v that end a node, by beta.
unsigned cut_set(int beta) {
  switch (beta) {
    case 1:
      return set_of({1});
    case 2:
      return ALL_VALUES;
    case 3:
      return set_of({1, 3, 5});
    case 4:
      return set_of({1, 3, 4, 5});
    case 5:
      return set_of({1, 5});
    case 0:
    case -2:
      return ALL_BUT_LOSS;
    default:
      return ALL_VALUES;  // -1
  }
}

// raise(best, alpha): the values of best that become the new alpha.
unsigned raise_set(int alpha) {
  switch (alpha) {
    case 1:
      return 0;
    case 2:
    case 4:
      return ALL_BUT_LOSS;
    case 3:
      return set_of({1, 5});
    case 5:
      return set_of({1});
    default:
      return set_of({-1, 1, 3, 4, 5});  // 0, -1, -2
  }
}

bool is_member(unsigned set, int v) { return in_range(v) && (set >> index_of(v)) & 1; }

uint32_t men_on_board(const Position& p) { return p.occupied() & ~p.kings; }

// A position repeated along the line, with the same men on the board all the
// way back to it (a man move or a capture in between rules a repetition out).
bool repeats(const WldDatabase& db, const Position& p, int ply) {
  const uint32_t men = men_on_board(p);
  for (int back = ply - 4; back >= 0; back -= 2) {
    if (men_on_board(db.stack[back]) != men) return false;
    if (db.stack[back] == p) return true;
  }
  return false;
}

bool out_of_budget(WldDatabase& db) {
  if (db.node_limit != 0 && db.nodes >= db.node_limit) return true;
  if (db.nodes % TIME_CHECK_INTERVAL == TIME_CHECK_INTERVAL - 1 && db.time_limit_ms != 0 &&
      platform::process_clock_ms() - db.start_ms > uint32_t(db.time_limit_ms))
    return true;
  return false;
}

int node(WldDatabase& db, const Position& p, Side side, int ply, int depth, int alpha, int beta) {
  db.stack[ply] = p;
  ++db.nodes;
  if (out_of_budget(db)) {
    db.abandoned = true;
    return RESOLVE_UNKNOWN;
  }
  if (p.pieces[side] == 0) return RESOLVE_LOSS;
  if (p.pieces[opponent_of(side)] == 0) return RESOLVE_WIN;
  if (repeats(db, p, ply)) return RESOLVE_DRAW;
  if (!has_capture(p, side) && !has_capture(p, opponent_of(side))) {
    int answer = driver_lookup(db.handle, p, side, false);
    if (answer != 0) return answer;
  }
  if (ply > db.deepest_ply) db.deepest_ply = ply;
  if (ply >= depth) return RESOLVE_UNKNOWN;

  MoveList list;
  const int count = generate_moves(p, list, side);
  if (count == 0) return RESOLVE_LOSS;
  int best = RESOLVE_LOSS;
  for (int i = 0; i < count; ++i) {
    int v = resolve_neg(
        node(db, list.moves[i], opponent_of(side), ply + 1, depth, resolve_neg(beta), resolve_neg(alpha)));
    if (db.abandoned) return RESOLVE_UNKNOWN;
    if (resolve_cut(v, beta)) return resolve_comb(v, beta);
    best = resolve_comb(v, best);
    if (resolve_raise(best, alpha)) alpha = best;
  }
  return best;
}

bool is_exact(int v) { return v == RESOLVE_WIN || v == RESOLVE_LOSS || v == RESOLVE_DRAW; }

}  // namespace

int resolve_neg(int v) {
  switch (v) {
    case RESOLVE_WIN:
      return RESOLVE_LOSS;
    case RESOLVE_LOSS:
      return RESOLVE_WIN;
    case RESOLVE_AT_MOST_DRAW:
      return RESOLVE_AT_LEAST_DRAW;
    case RESOLVE_AT_LEAST_DRAW:
      return RESOLVE_AT_MOST_DRAW;
    default:
      return v;
  }
}

// Values outside -2 ... 5 come only from a driver that broke its contract;
// they count as no data.
int resolve_comb(int v, int best) {
  if (!in_range(v)) v = -1;
  if (!in_range(best)) best = -1;
  return COMB[index_of(best)][index_of(v)];
}

bool resolve_cut(int v, int beta) { return is_member(cut_set(beta), v); }
bool resolve_raise(int best, int alpha) { return is_member(raise_set(alpha), best); }

int resolve_wld(WldDatabase& db, const Position& p, Side side) {
  db.nodes = 0;
  db.deepest_ply = 0;
  db.start_ms = platform::process_clock_ms();
  db.abandoned = false;
  if (!db.handle) return RESOLVE_UNKNOWN;
  int value = RESOLVE_UNKNOWN;
  for (int depth = 1; depth <= MAX_ITERATION; ++depth) {
    value = node(db, p, side, 0, depth, RESOLVE_LOSS, RESOLVE_WIN);
    if (db.abandoned) {
      double seconds = (platform::process_clock_ms() - db.start_ms) / 1000.0;
      std::printf(
          "wld lookup max node count or time limit exceeded, nodes %d, time %.3f sec, "
          "(not an error): %s\n",
          db.nodes, seconds, position_text(p, side).c_str());
      std::fflush(stdout);
      return RESOLVE_UNKNOWN;
    }
    if (is_exact(value)) break;
  }
  return value;
}

}  // namespace qb
