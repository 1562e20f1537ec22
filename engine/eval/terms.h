// The position terms of the evaluation and the arithmetic that turns the
// blended sum into a score. Pure functions over square masks, kept apart so
// that each can be checked on its own.
#pragma once

#include <cstdint>

#include "board/bitops.h"

namespace qb {

constexpr int MAX_PHASE = 280;  // twelve men a side on their starting squares
constexpr int32_t BLEND_SCALE = 14000;
constexpr int32_t SOFT_CAP = 1500;

// Game phase from where the men stand: men still on their own side of the
// board weigh most, kings nothing.
inline int game_phase(uint32_t black_men, uint32_t white_men) {
  int home = pop_count(black_men & 0x000000FF) + pop_count(white_men & 0xFF000000);
  int near = pop_count(black_men & 0x0000FF00) + pop_count(white_men & 0x00FF0000);
  int far = pop_count(black_men & 0x0FFF0000) + pop_count(white_men & 0x0000FFF0);
  return 13 * home + 9 * near + 6 * far;
}

// Sum of the rows (0 for squares 1-4 up to 7 for 29-32) of the given squares,
// from the three bits of the row number.
inline int row_sum(uint32_t squares) {
  return pop_count(squares & 0xF0F0F0F0) + 2 * pop_count(squares & 0xFF00FF00) +
         4 * pop_count(squares & 0xFFFF0000);
}

// Sum of the column weights 2x - 7 (x the host column, 0-7): +7 on the far
// left edge down to -7 on the right. Within a row the k-th square weighs
// 5 - 4k, plus 2 on odd rows.
inline int lean(uint32_t squares) {
  return 5 * pop_count(squares) - 4 * pop_count(squares & 0xAAAAAAAA) - 8 * pop_count(squares & 0xCCCCCCCC) +
         2 * pop_count(squares & 0xF0F0F0F0);
}

// How far each side's men lean to one flank; positive when White leans more.
inline int balance_term(uint32_t black_men, uint32_t white_men) {
  int lb = lean(black_men), lw = lean(white_men);
  return (lw < 0 ? -lw : lw) - (lb < 0 ? -lb : lb);
}

// How far Black's men have advanced, less how far White's have.
inline int tempo_term(uint32_t black_men, uint32_t white_men) {
  return row_sum(black_men) - (7 * pop_count(white_men) - row_sum(white_men));
}

// The blend og * phase + eg * (280 - phase) over 14000, rounded to the
// nearest integer with halves away from zero.
constexpr int32_t scale_blend(int64_t raw) {
  int64_t half = BLEND_SCALE / 2;
  return int32_t(raw >= 0 ? (raw + half) / BLEND_SCALE : (raw - half) / BLEND_SCALE);
}

// Large scores are compressed: beyond +-1500 the score becomes 1500 plus an
// eighth of the whole score.
constexpr int32_t soft_cap(int32_t s) {
  if (s > SOFT_CAP) return SOFT_CAP + s / 8;
  if (s < -SOFT_CAP) return -SOFT_CAP + s / 8;
  return s;
}

// Static scores are even; odd values are kept for draws found by search.
constexpr int32_t round_to_even(int32_t s) { return 2 * (s / 2); }

}  // namespace qb
