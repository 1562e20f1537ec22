#include "eval/patterns.h"

#include <cstdio>
#include <initializer_list>

#include "eval/bit_reversal.h"

namespace qb {

uint32_t g_forward5[256], g_reverse5[256];
uint32_t g_forward3[4096], g_reverse3[4096];
uint32_t g_mirrored_masks[2][PATTERNS_PER_BLOCK];

namespace {

void build_digit_tables(int base, int squares, uint32_t* forward, uint32_t* reverse) {
  uint32_t power[13];
  power[0] = 1;
  for (int i = 1; i <= squares; ++i) power[i] = power[i - 1] * uint32_t(base);
  for (uint32_t x = 0; x < (1u << squares); ++x) {
    forward[x] = reverse[x] = 0;
    for (int j = 0; j < squares; ++j) {
      if (!(x & (1u << j))) continue;
      forward[x] += power[squares - 1 - j];
      reverse[x] += power[j];
    }
  }
}

// The four kinds of piece of a position, as masks.
struct Pieces {
  uint32_t black_men, black_kings, white_men, white_kings;
};

// Sum of the square digits through `table`, before adding the half-range.
int32_t digit_sum(const Pieces& p, uint32_t mask, const uint32_t* table) {
  auto d = [&](uint32_t pieces) { return int32_t(table[gather_bits(pieces, mask)]); };
  return 2 * (d(p.black_kings) - d(p.white_kings)) + d(p.black_men) - d(p.white_men);
}

// Digits come least significant first, so the squares from the highest down;
// digit d stands for the value d - (base - 1) / 2.
Pieces decode_index(const uint32_t* square_bits, int squares, int base, int32_t index) {
  Pieces p{};
  for (int i = squares - 1; i >= 0; --i) {
    int value = index % base - (base - 1) / 2;
    index /= base;
    if (value == 2) p.black_kings |= square_bits[i];
    if (value == 1) p.black_men |= square_bits[i];
    if (value == -1) p.white_men |= square_bits[i];
    if (value == -2) p.white_kings |= square_bits[i];
  }
  return p;
}

Pieces turned_and_recoloured(const Pieces& p) {
  return Pieces{reverse_bits(p.white_men), reverse_bits(p.white_kings), reverse_bits(p.black_men),
                reverse_bits(p.black_kings)};
}

bool check_pattern(int block, int pattern) {
  const uint32_t* forward = block == KINGS_BLOCK ? g_forward5 : g_forward3;
  const uint32_t* reverse = block == KINGS_BLOCK ? g_reverse5 : g_reverse3;
  int32_t half = PATTERN_HALF[block];
  uint32_t square_bits[12];
  int squares = 0;
  for (uint32_t rest = PATTERN_MASKS[block][pattern]; rest; rest &= rest - 1)
    square_bits[squares++] = rest & (0u - rest);
  for (int32_t index = 0; index < PATTERN_ENTRIES[block]; ++index) {
    Pieces p = decode_index(square_bits, squares, PATTERN_BASE[block], index);
    int32_t again = half + digit_sum(p, PATTERN_MASKS[block][pattern], forward);
    if (again != index) {
      std::printf("Error: symmetric index %d, symmetric return index %d\n", index, again);
      return false;
    }
    Pieces turned = turned_and_recoloured(p);
    int32_t mirror = half - digit_sum(turned, g_mirrored_masks[block][pattern], reverse);
    if (mirror != index) {
      std::printf("symmetric Mirror error: index %d, return index %d\n", index, mirror);
      return false;
    }
  }
  return true;
}

}  // namespace

uint32_t gather_bits(uint32_t x, uint32_t mask) {
  uint32_t out = 0;
  int k = 0;
  for (int i = 0; i < 32; ++i) {
    if (!(mask & (1u << i))) continue;
    if (x & (1u << i)) out |= 1u << k;
    ++k;
  }
  return out;
}

void build_index_tables() {
  build_digit_tables(5, PATTERN_SQUARES[KINGS_BLOCK], g_forward5, g_reverse5);
  build_digit_tables(3, PATTERN_SQUARES[NO_KINGS_BLOCK], g_forward3, g_reverse3);
  for (int block : {KINGS_BLOCK, NO_KINGS_BLOCK})
    for (int k = 0; k < PATTERNS_PER_BLOCK; ++k)
      g_mirrored_masks[block][k] = reverse_bits(PATTERN_MASKS[block][k]);
}

int check_pattern_indices() {
  int failed = 0;
  for (int block : {KINGS_BLOCK, NO_KINGS_BLOCK})
    for (int k = 0; k < PATTERNS_PER_BLOCK; ++k)
      if (!check_pattern(block, k)) ++failed;
  return failed;
}

}  // namespace qb
