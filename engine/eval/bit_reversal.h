// Bit reversal of square masks: square n and square 33 - n swap places, which
// turns the board through 180 degrees.
#pragma once

#include <cstdint>

namespace qb {

// Entry b holds b with its eight bits in reverse order. Filled at start-up.
extern uint8_t g_bit_reversal[256];
void fill_bit_reversal_table();

inline uint32_t reverse_bits(uint32_t x) {
  return uint32_t(g_bit_reversal[x & 0xFF]) << 24 | uint32_t(g_bit_reversal[(x >> 8) & 0xFF]) << 16 |
         uint32_t(g_bit_reversal[(x >> 16) & 0xFF]) << 8 | g_bit_reversal[x >> 24];
}

}  // namespace qb
