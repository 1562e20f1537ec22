#include "endgame/db_score.h"

#include <utility>

#include "board/bitops.h"
#include "search/score.h"

namespace qb {

namespace {

constexpr int SIMPLIFICATION_UNIT = 30;  // per man 60, per king 30
constexpr int ALL_MEN = 15;
constexpr uint32_t CENTRE = 0x00666600;  // 10, 11, 14, 15, 18, 19, 22, 23
constexpr uint32_t EDGE = 0xF818181F;    // 1-5, 12, 13, 20, 21, 28-32

// The squares a black man on x moves to, and a white man.
uint32_t up(uint32_t x) { return ((x & 0xFF070707u) << 5) | (x << 4) | ((x & 0x00E0E0E0u) << 3); }
uint32_t down(uint32_t x) { return ((x >> 5) & 0x07070707u) | (x >> 4) | ((x & 0x07070700u) >> 3); }
uint32_t king_moves(uint32_t x) { return up(x) | down(x); }

int row_sum(uint32_t mask) {
  int sum = 0;
  for (; mask; mask &= mask - 1) sum += __builtin_ctz(mask) / 4;
  return sum;
}

uint32_t reverse(uint32_t x) {
  x = ((x >> 1) & 0x55555555u) | ((x & 0x55555555u) << 1);
  x = ((x >> 2) & 0x33333333u) | ((x & 0x33333333u) << 2);
  x = ((x >> 4) & 0x0F0F0F0Fu) | ((x & 0x0F0F0F0Fu) << 4);
  x = ((x >> 8) & 0x00FF00FFu) | ((x & 0x00FF00FFu) << 8);
  return (x >> 16) | (x << 16);
}

// The same position with the colours exchanged and the board turned round.
PieceSummary mirrored(const PieceSummary& s) {
  PieceSummary m = s;
  std::swap(m.black_men, m.white_men);
  std::swap(m.black_kings, m.white_kings);
  std::swap(m.black_total, m.white_total);
  m.black_men_mask = reverse(s.white_men_mask);
  m.white_men_mask = reverse(s.black_men_mask);
  m.black_kings_mask = reverse(s.white_kings_mask);
  m.white_kings_mask = reverse(s.black_kings_mask);
  return m;
}

int black_win_score(const PieceSummary& s) {
  int advancement = 0;
  if (s.black_men) {
    advancement = 2 * row_sum(s.black_men_mask);
    if (s.black_men == 1 && s.white_men == 0 && s.black_kings + 1 > s.white_kings)
      advancement += lone_man_term(s.black_men_mask, s.black_kings_mask, s.white_kings_mask);
  }
  if (s.black_total == s.white_total && s.white_men) {
    // Rows seen from white's side: 7 - row for each man.
    advancement += 2 * (7 * s.white_men - row_sum(s.white_men_mask));
  }
  const int men = s.black_men + s.white_men, kings = s.black_kings + s.white_kings;
  const int simplification = SIMPLIFICATION_UNIT * (2 * (ALL_MEN - men) - kings);
  const int centre = pop_count(s.black_kings_mask & CENTRE);
  const int edge = pop_count(s.white_kings_mask & EDGE);
  return DECIDED_SCORE + centre + edge + simplification + advancement;
}

}  // namespace

int lone_man_term(uint32_t black_man, uint32_t black_kings, uint32_t white_kings) {
  const uint32_t next = up(black_man);
  uint32_t guards;
  bool first_case = true;
  if (white_kings & next) {
    guards = white_kings & next;
  } else {
    guards = white_kings & up(next);
    if (!guards) return 0;
    first_case = false;
  }
  uint32_t zone = guards | up(guards);
  zone |= down(zone);
  const int close = pop_count(white_kings & zone);
  const uint32_t reach = zone | king_moves(zone);
  int term;
  if (close < 2) term = (first_case ? -11 : -6) - 4 * pop_count(white_kings & reach);
  else term = (first_case ? -9 : -4) - 6 * close;
  return term + pop_count(black_kings & (reach | king_moves(reach)));
}

int score_db_win(const PieceSummary& summary, Side winner) {
  if (winner == BLACK) return black_win_score(summary);
  return -black_win_score(mirrored(summary));
}

}  // namespace qb
