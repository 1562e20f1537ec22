// Bit counting and scanning on 32-bit square masks.
#pragma once

#include <bit>
#include <cstdint>
#include <type_traits>

namespace qb {

// Population counts: pop_count is the one way the engine, the database
// driver and the builder count bits. The build lets the compiler use the
// processor's counting instruction (-mpopcnt), for speed, but x86-64
// processors made before about 2008 lack it. So each program checks the
// processor once before its threads count (init_popcount: the engine's
// start-up, the driver's first open, tbgen) and counts with a table where
// the instruction is missing. Constant expressions count at compile time.
extern bool g_use_hw_popcount;
extern uint8_t g_popcount16[65536];
void init_popcount(bool hardware);

constexpr int pop_count(uint32_t x) {
  if (std::is_constant_evaluated() || g_use_hw_popcount) return std::popcount(x);
  return g_popcount16[x & 0xFFFF] + g_popcount16[x >> 16];
}

inline int lsb_index(uint32_t x) { return std::countr_zero(x); }
inline uint32_t lowest_bit(uint32_t x) { return x & (0u - x); }
inline uint32_t clear_lowest(uint32_t x) { return x & (x - 1); }

}  // namespace qb
