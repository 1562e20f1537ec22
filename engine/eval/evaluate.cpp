#include "eval/evaluate.h"

#include <algorithm>

#include "board/bitops.h"
#include "eval/dither.h"
#include "eval/gather.h"
#include "eval/terms.h"
#include "eval/weights.h"
#include "interface/base/settings.h"

// Code built for processor features chosen at run time.
#if defined(__x86_64__) || defined(__i386__)
#define QB_FOR_FEATURES(features) [[gnu::target(features)]]
#else
#define QB_FOR_FEATURES(features)
#endif

namespace qb {
namespace {

struct Blend {
  int32_t og = 0, eg = 0;

  void add(WeightPair w, int32_t times) {
    og += w.og * times;
    eg += w.eg * times;
  }
  // Black's copy of each region counts for Black, White's against.
  template <int Entries>
  void add_patterns(const WeightPair (&tables)[PATTERNS_PER_BLOCK][Entries], const PatternSlots& slots) {
    for (int k = 0; k < PATTERNS_PER_BLOCK; ++k) {
      og += tables[k][slots.black[k]].og - tables[k][slots.white[k]].og;
      eg += tables[k][slots.black[k]].eg - tables[k][slots.white[k]].eg;
    }
  }
};

// The first king of a side earns the first-king weight, every further king
// the multi-kings weight.
void add_kings_terms(Blend& b, const WeightPair* scalars, const PieceSummary& s) {
  b.add(scalars[FIRST_KING], int(s.black_kings > 0) - int(s.white_kings > 0));
  b.add(scalars[MULTI_KINGS], std::max(s.black_kings - 1, 0) - std::max(s.white_kings - 1, 0));
}

template <class Gather>
[[gnu::always_inline]] inline int evaluate_with(const Position& p, Side side, PieceSummary& s) {
  uint32_t bm = s.black_men_mask, wm = s.white_men_mask;
  Blend b;
  const WeightPair* scalars = BUILTIN_SCALARS;
  if (g_weights_ready.load(std::memory_order_acquire)) {
    scalars = g_weights.kings.scalars;
    if (p.kings) b.add_patterns(g_weights.kings.patterns, pattern_slots<Gather, KINGS_BLOCK>(s));
    else b.add_patterns(g_weights.no_kings.patterns, pattern_slots<Gather, NO_KINGS_BLOCK>(s));
  }
  if (p.kings) add_kings_terms(b, scalars, s);
  b.add(scalars[LR_BAL], balance_term(bm, wm));
  b.add(scalars[TEMPO], tempo_term(bm, wm));
  b.add(scalars[MEN], s.black_men - s.white_men);

  int phase = game_phase(bm, wm);
  int64_t raw = int64_t(b.og) * phase + int64_t(b.eg) * (MAX_PHASE - phase);
  int32_t score = round_to_even(soft_cap(scale_blend(raw)));
  if (g_settings.dither.load(std::memory_order_relaxed)) score += dither_offset(p, g_dither_seed);
  if (side == WHITE) score = -score;
  s.cached_score = score;
  return score;
}

// Every processor with BMI2 also counts bits in one instruction.
QB_FOR_FEATURES("bmi2,popcnt")
[[gnu::flatten]] int evaluate_pext(const Position& p, Side side, PieceSummary& s) {
  return evaluate_with<PextGather>(p, side, s);
}

// Processors without BMI2 may still count bits in one instruction, and the
// count is compiled to a library call unless the code is built for it.
QB_FOR_FEATURES("popcnt")
[[gnu::flatten]] int evaluate_shift_popcnt(const Position& p, Side side, PieceSummary& s) {
  return evaluate_with<ShiftGather>(p, side, s);
}

[[gnu::flatten]] int evaluate_shift(const Position& p, Side side, PieceSummary& s) {
  return evaluate_with<ShiftGather>(p, side, s);
}

int evaluate_portable(const Position& p, Side side, PieceSummary& s) {
  return g_eval_popcnt ? evaluate_shift_popcnt(p, side, s) : evaluate_shift(p, side, s);
}

PatternSlots pext_slots(const PieceSummary& s, int block) {
  return block == KINGS_BLOCK ? pattern_slots<PextGather, KINGS_BLOCK>(s)
                              : pattern_slots<PextGather, NO_KINGS_BLOCK>(s);
}

PatternSlots portable_slots(const PieceSummary& s, int block) {
  return block == KINGS_BLOCK ? pattern_slots<ShiftGather, KINGS_BLOCK>(s)
                              : pattern_slots<ShiftGather, NO_KINGS_BLOCK>(s);
}

}  // namespace

PieceSummary make_piece_summary(const Position& p) {
  PieceSummary s;
  s.black_men_mask = p.men(BLACK);
  s.black_kings_mask = p.kings_of(BLACK);
  s.white_men_mask = p.men(WHITE);
  s.white_kings_mask = p.kings_of(WHITE);
  s.black_men = pop_count(s.black_men_mask);
  s.black_kings = pop_count(s.black_kings_mask);
  s.white_men = pop_count(s.white_men_mask);
  s.white_kings = pop_count(s.white_kings_mask);
  s.black_total = s.black_men + s.black_kings;
  s.white_total = s.white_men + s.white_kings;
  s.total = s.black_total + s.white_total;
  s.larger_side = std::max(s.black_total, s.white_total);
  s.cached_score = NOT_EVALUATED;
  return s;
}

int evaluate(const Position& p, Side side, PieceSummary& summary) {
  return g_use_pext ? evaluate_pext(p, side, summary) : evaluate_portable(p, side, summary);
}

int evaluate_by(GatherPath path, const Position& p, Side side, PieceSummary& s) {
  return path == GatherPath::PEXT ? evaluate_pext(p, side, s) : evaluate_portable(p, side, s);
}

PatternSlots pattern_slots_by(GatherPath path, const PieceSummary& s, int block) {
  return path == GatherPath::PEXT ? pext_slots(s, block) : portable_slots(s, block);
}

}  // namespace qb
