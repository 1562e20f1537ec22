// Default memory sizes from the installed RAM, used when the settings store
// holds none: the hash table and the endgame database cache.
#pragma once

#include <cstdint>

namespace qb {

struct MemorySizes {
  int32_t hashsize;  // megabytes
  int32_t dbmbytes;  // megabytes
};

MemorySizes memory_sizes_for_ram(int32_t ram_mb);

}  // namespace qb
