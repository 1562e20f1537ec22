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

// The largest hash table the RAM allows: half of what is left once the
// system, the host and the database cache have their share (the reserve of
// the RAM rule), and never less than the rule's own hash size.
int32_t largest_hashsize(int32_t ram_mb);

// A requested hash size (positive) brought within largest_hashsize.
int32_t hashsize_in_force(int32_t requested, int32_t ram_mb);

}  // namespace qb
