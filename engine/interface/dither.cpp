#include "interface/dither.h"

#include "interface/settings.h"

namespace qb {

std::atomic<int8_t> g_dither_table[DITHER_TABLE_SIZE];

void set_dither_offset(int32_t offset) {
  g_settings.dither_offset = offset;
  int8_t d = int8_t(offset);
  const int8_t by_remainder[3] = {int8_t(-d), 0, d};
  for (int i = 0; i < DITHER_TABLE_SIZE; ++i)
    g_dither_table[i].store(by_remainder[i % 3], std::memory_order_relaxed);
}

}  // namespace qb
