#include "cache.h"

#include <cstring>

namespace tb {

BlockCache::BlockCache(int megabytes) {
  uint64_t bytes = uint64_t(megabytes > 1 ? megabytes : 1) << 20;
  sets_ = bytes / (uint64_t(BLOCK_BYTES) * WAYS);
  if (sets_ == 0) sets_ = 1;
  sets = std::make_unique<Set[]>(sets_);
  data = std::make_unique_for_overwrite<uint8_t[]>(sets_ * WAYS * BLOCK_BYTES);
}

void BlockCache::insert(uint64_t key, const uint8_t* block) {
  Set& set = set_of(key);
  lock(set);
  int victim = 0;
  for (int w = 0; w < WAYS; ++w) {
    if (set.keys[w] == key) {  // another thread brought it in meanwhile
      unlock(set);
      return;
    }
    if (set.used[w] < set.used[victim]) victim = w;
  }
  std::memcpy(slot(set, victim), block, BLOCK_BYTES);
  set.keys[victim] = key;
  set.used[victim] = ++set.clock;
  unlock(set);
}

}  // namespace tb
