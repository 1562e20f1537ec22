// The two ways of gathering a pattern's squares into a compact bit string,
// and the table slots they lead to. Internal to the evaluation.
//
// PextGather uses the BMI2 parallel bit extract and runs only when
// g_use_pext is set.
// ShiftGather is portable: for each mask the compiler turns the mask's runs
// of adjacent squares into a fixed sequence of and, shift and or.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <utility>

#include "board/bitops.h"
#include "eval/evaluate.h"
#include "eval/patterns.h"

namespace qb {

struct PextGather {
  template <int Block, int Pattern, bool Mirrored>
  [[gnu::always_inline]] static uint32_t get(uint32_t x) {
    uint32_t mask = Mirrored ? g_mirrored_masks[Block][Pattern] : PATTERN_MASKS[Block][Pattern];
    return parallel_bit_extract(x, mask);
  }

  // The instruction written out, so that it inlines into code compiled for
  // any processor; it only runs when the processor has it.
  [[gnu::always_inline]] static uint32_t parallel_bit_extract(uint32_t x, uint32_t mask) {
#if defined(__x86_64__) || defined(__i386__)
    uint32_t out;
    asm("pextl %2, %1, %0" : "=r"(out) : "r"(x), "rm"(mask));
    return out;
#else
    return gather_bits(x, mask);
#endif
  }
};

// A run of adjacent mask bits: the squares under `mask` move down by `shift`.
struct BitRun {
  uint32_t mask;
  int shift;
};

constexpr int count_runs(uint32_t m) { return pop_count(m & ~(m << 1)); }

template <uint32_t Mask>
constexpr auto bit_runs() {
  std::array<BitRun, count_runs(Mask)> runs{};
  int run = -1, gathered = 0;
  for (int i = 0; i < 32; ++i) {
    if (!(Mask & (1u << i))) continue;
    bool starts_run = i == 0 || !(Mask & (1u << (i - 1)));
    if (starts_run) runs[++run] = BitRun{0, i - gathered};
    runs[run].mask |= 1u << i;
    ++gathered;
  }
  return runs;
}

struct ShiftGather {
  template <int Block, int Pattern, bool Mirrored>
  [[gnu::always_inline]] static uint32_t get(uint32_t x) {
    constexpr uint32_t mask =
        Mirrored ? reversed_mask(PATTERN_MASKS[Block][Pattern]) : PATTERN_MASKS[Block][Pattern];
    constexpr auto runs = bit_runs<mask>();
    return [ x, &runs ]<std::size_t... I>(std::index_sequence<I...>) {
      return (((x & runs[I].mask) >> runs[I].shift) | ...);
    }
    (std::make_index_sequence<runs.size()>{});
  }
};

// The table slots of one block for a position: slot[k] of Black's copy of
// pattern k is HALF + P (its index), White's is HALF - M (the mirror index).
struct PatternSlots {
  int32_t black[PATTERNS_PER_BLOCK];
  int32_t white[PATTERNS_PER_BLOCK];
};

template <class Gather, int Block, int Pattern>
[[gnu::always_inline]] inline void add_pattern_slots(const PieceSummary& s, PatternSlots& out) {
  auto forward = [&](uint32_t pieces, const uint32_t* table) {
    return int32_t(table[Gather::template get<Block, Pattern, false>(pieces)]);
  };
  auto mirrored = [&](uint32_t pieces, const uint32_t* table) {
    return int32_t(table[Gather::template get<Block, Pattern, true>(pieces)]);
  };
  int32_t p, m;
  if constexpr (Block == KINGS_BLOCK) {
    p = 2 * (forward(s.black_kings_mask, g_forward5) - forward(s.white_kings_mask, g_forward5)) +
        forward(s.black_men_mask, g_forward5) - forward(s.white_men_mask, g_forward5);
    m = 2 * (mirrored(s.black_kings_mask, g_reverse5) - mirrored(s.white_kings_mask, g_reverse5)) +
        mirrored(s.black_men_mask, g_reverse5) - mirrored(s.white_men_mask, g_reverse5);
  } else {
    p = forward(s.black_men_mask, g_forward3) - forward(s.white_men_mask, g_forward3);
    m = mirrored(s.black_men_mask, g_reverse3) - mirrored(s.white_men_mask, g_reverse3);
  }
  out.black[Pattern] = PATTERN_HALF[Block] + p;
  out.white[Pattern] = PATTERN_HALF[Block] - m;
}

template <class Gather, int Block>
[[gnu::always_inline]] inline PatternSlots pattern_slots(const PieceSummary& s) {
  PatternSlots out;
  add_pattern_slots<Gather, Block, 0>(s, out);
  add_pattern_slots<Gather, Block, 1>(s, out);
  add_pattern_slots<Gather, Block, 2>(s, out);
  add_pattern_slots<Gather, Block, 3>(s, out);
  return out;
}

// Both paths, callable whatever g_use_pext says (the PEXT path only on a
// processor with BMI2): for tests and benchmarks.
enum class GatherPath { PORTABLE, PEXT };
PatternSlots pattern_slots_by(GatherPath path, const PieceSummary& s, int block);
int evaluate_by(GatherPath path, const Position& p, Side side, PieceSummary& s);

}  // namespace qb
