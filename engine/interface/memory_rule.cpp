#include "interface/memory_rule.h"

#include <algorithm>
#include <cstdlib>

namespace qb {
namespace {

// Rows from the most RAM down: lower bound, hash size, RAM kept for the rest
// of the system (the cache aims at what is left).
struct RamRow {
  int32_t min_ram;
  int32_t hashsize;
  int32_t reserved;
};
constexpr RamRow RAM_ROWS[] = {
    {16001, 128, 3628}, {8001, 128, 2328}, {6001, 128, 2028}, {4001, 128, 1628},
    {2001, 128, 828},   {700, 64, 464},    {250, 32, 332},    {INT32_MIN, 32, 182},
};
constexpr int32_t SMALLEST_CACHE_TARGET = 32;  // below 700 MB
constexpr int32_t LARGEST_CACHE_TARGET = 16384;
constexpr int32_t CACHE_STEP = 32;
constexpr int32_t RAM_LEFT_FREE = 64;

// Large caches come in coarse steps the driver handles well.
bool usable_cache_size(int32_t mb) {
  if (mb > 16384) return mb % 1024 == 0;
  if (mb > 4096) return mb % 256 == 0;
  return true;
}

const RamRow& row_for(int32_t ram_mb) {
  const RamRow* row = RAM_ROWS;
  while (ram_mb < row->min_ram) ++row;
  return *row;
}

}  // namespace

int32_t largest_hashsize(int32_t ram_mb) {
  const RamRow& row = row_for(ram_mb);
  return std::max(row.hashsize, int32_t((int64_t(ram_mb) - row.reserved) / 2));
}

int32_t hashsize_in_force(int32_t requested, int32_t ram_mb) {
  return std::clamp(requested, 1, largest_hashsize(ram_mb));
}

MemorySizes memory_sizes_for_ram(int32_t ram_mb) {
  const RamRow* row = &row_for(ram_mb);
  int32_t target = ram_mb - row->reserved;
  if (ram_mb < 700) target = std::max(target, SMALLEST_CACHE_TARGET);
  target = std::min(target, LARGEST_CACHE_TARGET);

  // The nearest allowed candidate below RAM - 64; the first one wins a tie.
  int32_t best = 0;
  int64_t best_distance = ram_mb;
  for (int64_t c = 0; c < int64_t(ram_mb) - RAM_LEFT_FREE; c += CACHE_STEP) {
    if (c - target >= best_distance) break;  // only farther ones follow
    if (!usable_cache_size(int32_t(c))) continue;
    int64_t distance = std::llabs(c - target);
    if (distance < best_distance) {
      best = int32_t(c);
      best_distance = distance;
    }
  }
  return MemorySizes{row->hashsize, best};
}

}  // namespace qb
