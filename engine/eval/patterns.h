// The eight board regions the evaluation looks up in its weight tables, and
// the index rule shared by the weights loader, the evaluation and the tools.
//
// A pattern's squares s0 < s1 < ... each hold a digit seen from Black's side
// (black king +2, black man +1, empty 0, white man -1, white king -2; the
// no-kings block has no kings and so three states). The index is
// HALF + sum v(si) * base^(n-1-i): the lowest square is the most significant
// digit and the empty region sits in the middle of the table. White's copy
// of a region is looked up in the same table through the mirror index: the
// index of the position turned through 180 degrees with colours exchanged.
#pragma once

#include <cstdint>

namespace qb {

enum WeightBlock : int { KINGS_BLOCK = 0, NO_KINGS_BLOCK = 1 };
constexpr int PATTERNS_PER_BLOCK = 4;

constexpr int PATTERN_SQUARES[2] = {8, 12};
constexpr int PATTERN_BASE[2] = {5, 3};
constexpr int PATTERN_ENTRIES[2] = {390625, 531441};  // base^squares
constexpr int PATTERN_HALF[2] = {195312, 265720};     // (entries - 1) / 2

// Bit n-1 is square n.
constexpr uint32_t PATTERN_MASKS[2][PATTERNS_PER_BLOCK] = {
    {0x00000377, 0x00000ECE, 0x00CCCC00, 0x00076700},
    {0x00037373, 0x000CCECE, 0x00000FFF, 0x0007E7E0},
};

constexpr uint32_t reversed_mask(uint32_t m) {
  uint32_t r = 0;
  for (int i = 0; i < 32; ++i)
    if (m & (1u << i)) r |= 1u << (31 - i);
  return r;
}

// Digit weights of the squares of one kind of piece, indexed by those squares
// gathered into a compact bit string (bit j = the j-th lowest pattern square).
// FORWARD[x] = sum base^(n-1-j), REVERSE[x] = sum base^j over the set bits j.
extern uint32_t g_forward5[256], g_reverse5[256];
extern uint32_t g_forward3[4096], g_reverse3[4096];

// The pattern masks turned through 180 degrees, made at load.
extern uint32_t g_mirrored_masks[2][PATTERNS_PER_BLOCK];

// Builds the digit tables and the mirrored masks (needs the bit-reversal
// table).
void build_index_tables();

// Squares gathered one by one: the plain definition both fast paths must
// match.
uint32_t gather_bits(uint32_t x, uint32_t mask);

// Self-check of the tables: every index of every pattern is decoded into a
// position, encoded again and compared, and the position turned and
// recoloured must give the same index through the mirror rule. Prints the
// first mismatch of each pattern to standard output and returns the number
// of patterns that failed. Run by the tests, not at every load: it visits
// 3.7 million indices.
int check_pattern_indices();

}  // namespace qb
