#include "eval/bit_reversal.h"

namespace qb {

uint8_t g_bit_reversal[256];

void fill_bit_reversal_table() {
  for (int b = 0; b < 256; ++b) {
    int reversed = 0;
    for (int i = 0; i < 8; ++i)
      if (b & (1 << i)) reversed |= 1 << (7 - i);
    g_bit_reversal[b] = uint8_t(reversed);
  }
}

}  // namespace qb
