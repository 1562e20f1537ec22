// Dither: a small pseudo-random offset added to every evaluation when the
// "dither" setting is on, so that the engine varies its play between runs
// while any one position keeps one score within a run.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/position.h"

namespace qb {

constexpr int DITHER_TABLE_SIZE = 16;
constexpr int MAX_DITHER_OFFSET = 127;  // the table holds signed bytes

// Entry i holds -d, 0 or +d as i mod 3 is 0, 1 or 2. Written by the command
// interpreter while searches read it, hence relaxed atomics.
extern std::atomic<int8_t> g_dither_table[DITHER_TABLE_SIZE];

// Stores the offset d (clamped to +-MAX_DITHER_OFFSET) in the "dither-offset"
// setting and refills the table.
void rebuild_dither_table(int d);

// The offset for a position: a hash of its black and white masks and the
// dither seed picks a table entry.
inline int dither_offset(const Position& p, uint32_t seed) {
  uint32_t both = p.pieces[BLACK] ^ p.pieces[WHITE];
  uint32_t h = (both >> 16) ^ both ^ seed;
  h ^= h >> 15;
  h ^= h >> 7;
  h ^= h >> 4;
  return g_dither_table[h % DITHER_TABLE_SIZE].load(std::memory_order_relaxed);
}

}  // namespace qb
