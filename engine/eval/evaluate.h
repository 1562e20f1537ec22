// Static evaluation of quiet positions, in hundredths of a man, from the side
// to move's point of view.
#pragma once

#include <cstdint>

#include "board/position.h"

namespace qb {

// Per-node counts and masks that the searches prepare once before they
// evaluate or probe the databases.
struct PieceSummary {
  int32_t black_men, black_kings, white_men, white_kings;
  int32_t black_total, white_total, total, larger_side;
  uint32_t black_men_mask, black_kings_mask, white_men_mask, white_kings_mask;
  int32_t cached_score;  // NOT_EVALUATED until evaluate() stores its result
};
constexpr int32_t NOT_EVALUATED = 0x7FFFFFFF;

PieceSummary make_piece_summary(const Position& p);

// Positive when the side to move stands better; also stored in
// summary.cached_score. The summary must describe `p`. Until usable weights
// files are loaded (eval/weights.h) only the built-in material, kings, tempo
// and balance terms count.
int evaluate(const Position& p, Side side, PieceSummary& summary);

}  // namespace qb
