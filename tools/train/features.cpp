#include "train/features.h"

#include <algorithm>

#include "eval/bit_reversal.h"
#include "eval/evaluate.h"
#include "eval/gather.h"
#include "eval/terms.h"

namespace qb::train {

namespace {

// The engine builds its index tables when it loads weights; the trainer
// needs them before it has any.
void build_tables_once() {
  static const bool built = [] {
    fill_bit_reversal_table();
    build_index_tables();
    return true;
  }();
  (void)built;
}

}  // namespace

Features extract_features(const Position& p) {
  build_tables_once();
  PieceSummary s = make_piece_summary(p);
  Features f{};
  f.block = uint8_t(p.kings ? KINGS_BLOCK : NO_KINGS_BLOCK);
  PatternSlots slots = pattern_slots_by(GatherPath::PORTABLE, s, f.block);
  for (int k = 0; k < PATTERNS_PER_BLOCK; ++k) {
    f.black_slot[k] = slots.black[k];
    f.white_slot[k] = slots.white[k];
  }
  uint32_t bm = s.black_men_mask, wm = s.white_men_mask;
  f.scalar[LR_BAL] = int16_t(balance_term(bm, wm));
  f.scalar[TEMPO] = int16_t(tempo_term(bm, wm));
  f.scalar[MEN] = int16_t(s.black_men - s.white_men);
  if (p.kings) {
    f.scalar[FIRST_KING] = int16_t(int(s.black_kings > 0) - int(s.white_kings > 0));
    f.scalar[MULTI_KINGS] = int16_t(std::max(s.black_kings - 1, 0) - std::max(s.white_kings - 1, 0));
  }
  f.phase = int16_t(game_phase(bm, wm));
  return f;
}

BlendSums blend_sums(const Features& f, const EvalWeights& w) {
  BlendSums b;
  auto add = [&](WeightPair pair, int times) {
    b.og += pair.og * times;
    b.eg += pair.eg * times;
  };
  for (int k = 0; k < PATTERNS_PER_BLOCK; ++k) {
    const WeightPair* table = f.block == KINGS_BLOCK ? w.kings.patterns[k] : w.no_kings.patterns[k];
    add(table[f.black_slot[k]], 1);
    add(table[f.white_slot[k]], -1);
  }
  // The scalar pairs always come from the kings block.
  for (int i = 0; i < SCALAR_COUNT; ++i) add(w.kings.scalars[i], f.scalar[i]);
  return b;
}

int black_score(const Features& f, const EvalWeights& w) {
  BlendSums b = blend_sums(f, w);
  int64_t raw = int64_t(int32_t(b.og)) * f.phase + int64_t(int32_t(b.eg)) * (MAX_PHASE - f.phase);
  return round_to_even(soft_cap(scale_blend(raw)));
}

}  // namespace qb::train
