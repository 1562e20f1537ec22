// The evaluation's dither offsets: a 16-entry table holding -d, 0, +d for
// entries i with i mod 3 = 0, 1, 2, where d is the dither-offset setting
// (kept in 8 bits). The host may change d while a search reads the table,
// so the entries are atomics.
#pragma once

#include <atomic>
#include <cstdint>

namespace qb {

constexpr int DITHER_TABLE_SIZE = 16;
extern std::atomic<int8_t> g_dither_table[DITHER_TABLE_SIZE];

// Stores the dither-offset setting and rebuilds the table from it.
void set_dither_offset(int32_t offset);

}  // namespace qb
