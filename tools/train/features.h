// What the evaluation looks at in a position, taken through the engine's own
// code (piece summary, pattern slots, position terms), so that the trainer
// fits exactly the function the engine computes.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "eval/weights.h"

namespace qb::train {

struct Features {
  int32_t black_slot[PATTERNS_PER_BLOCK];  // table entries Black's copies read
  int32_t white_slot[PATTERNS_PER_BLOCK];  // and White's (which count against)
  int16_t scalar[SCALAR_COUNT];            // multiplier of each scalar pair
  int16_t phase;                           // 0 (no men) to 280
  uint8_t block;                           // KINGS_BLOCK or NO_KINGS_BLOCK
};

Features extract_features(const Position& p);

// The sums of opening and endgame values, before the phase blend.
struct BlendSums {
  int64_t og = 0, eg = 0;
};
BlendSums blend_sums(const Features& f, const EvalWeights& w);

// The engine's score for Black (no dither) from loaded, scaled weights:
// blend, scale, soft cap and even rounding as the evaluation does them.
int black_score(const Features& f, const EvalWeights& w);

}  // namespace qb::train
