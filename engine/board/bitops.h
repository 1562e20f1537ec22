// Bit counting and scanning on 32-bit square masks.
#pragma once

#include <bit>
#include <cstdint>

namespace qb {

// Chosen once at start-up from the processor's feature bits; the table path
// serves processors without a population-count instruction.
extern bool g_use_hw_popcount;
extern uint8_t g_popcount16[65536];
void init_popcount(bool hardware);

inline int pop_count(uint32_t x) {
  if (g_use_hw_popcount) return std::popcount(x);
  return g_popcount16[x & 0xFFFF] + g_popcount16[x >> 16];
}

inline int lsb_index(uint32_t x) { return std::countr_zero(x); }
inline uint32_t lowest_bit(uint32_t x) { return x & (0u - x); }
inline uint32_t clear_lowest(uint32_t x) { return x & (x - 1); }

}  // namespace qb
