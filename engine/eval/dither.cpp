#include "eval/dither.h"

#include <algorithm>

#include "interface/base/settings.h"

namespace qb {

std::atomic<int8_t> g_dither_table[DITHER_TABLE_SIZE];

void rebuild_dither_table(int d) {
  d = std::clamp(d, -MAX_DITHER_OFFSET, MAX_DITHER_OFFSET);
  g_settings.dither_offset.store(d, std::memory_order_relaxed);
  for (int i = 0; i < DITHER_TABLE_SIZE; ++i) {
    int entry = i % 3 == 0 ? -d : i % 3 == 1 ? 0 : d;
    g_dither_table[i].store(int8_t(entry), std::memory_order_relaxed);
  }
}

}  // namespace qb
