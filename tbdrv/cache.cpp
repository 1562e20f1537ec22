#include "cache.h"

#include <cstring>
#include <new>

#include "platform/shared.h"

namespace tb {
namespace {

// Lookups land anywhere in the cache, so with small pages nearly every one
// also misses the address translation buffer: the platform's large tables
// save most of that.
void* allocate_large(uint64_t bytes) {
  void* p = qb::platform::allocate_large(bytes);
  if (!p) throw std::bad_alloc();
  return p;
}

}  // namespace

void BlockCache::Free::operator()(void* p) const { qb::platform::free_large(p, bytes); }

BlockCache::BlockCache(int megabytes) {
  uint64_t bytes = uint64_t(megabytes > 1 ? megabytes : 1) << 20;
  sets_ = bytes / (uint64_t(BLOCK_BYTES) * WAYS);
  if (sets_ == 0) sets_ = 1;
  const uint64_t set_bytes = sets_ * sizeof(Set), data_bytes = sets_ * WAYS * BLOCK_BYTES;
  Set* sets = static_cast<Set*>(allocate_large(set_bytes));
  for (uint64_t i = 0; i < sets_; ++i) new (&sets[i]) Set;
  sets_array = {sets, Free{set_bytes}};
  data = {static_cast<uint64_t*>(allocate_large(data_bytes)), Free{data_bytes}};
}

bool BlockCache::find(uint64_t key, uint32_t offset, uint64_t& word) const {
  Set& set = set_of(key);
  // Fetch the value's line in every way while the tags are still on their
  // way: one trip to main memory instead of two in a row.
  for (int w = 0; w < WAYS; ++w) __builtin_prefetch(slot(set, w) + offset / 8);
  for (;;) {
    uint32_t before = set.sequence.load(std::memory_order_acquire);
    if (before & 1) continue;  // a writer is busy with this set
    int way = -1;
    for (int w = 0; w < WAYS; ++w)
      if (set.keys[w].load(std::memory_order_relaxed) == key) way = w;
    uint64_t value = 0;
    if (way >= 0)
      value = std::atomic_ref<uint64_t>(slot(set, way)[offset / 8]).load(std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (set.sequence.load(std::memory_order_relaxed) != before) continue;
    if (way < 0) return false;
    if (!set.used[way].load(std::memory_order_relaxed)) set.used[way].store(1, std::memory_order_relaxed);
    word = value;
    return true;
  }
}

void BlockCache::insert(uint64_t key, const uint8_t* block) {
  Set& set = set_of(key);
  uint32_t seq = set.sequence.load(std::memory_order_relaxed);
  while ((seq & 1) || !set.sequence.compare_exchange_weak(seq, seq + 1, std::memory_order_acq_rel))
    seq = set.sequence.load(std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);

  int victim = -1;
  for (int w = 0; w < WAYS && victim < 0; ++w) {
    uint64_t k = set.keys[w].load(std::memory_order_relaxed);
    if (k == key) victim = WAYS;  // another thread brought it in meanwhile
    if (k == 0) victim = w;
  }
  // Clock replacement: pass over ways read since the last pass, once.
  for (int tries = 0; victim < 0; ++tries) {
    int w = int(set.hand.load(std::memory_order_relaxed) % WAYS);
    set.hand.store(uint32_t(w + 1), std::memory_order_relaxed);
    if (tries < WAYS && set.used[w].load(std::memory_order_relaxed))
      set.used[w].store(0, std::memory_order_relaxed);
    else victim = w;
  }
  if (victim < WAYS) {
    set.keys[victim].store(key, std::memory_order_relaxed);
    set.used[victim].store(0, std::memory_order_relaxed);
    uint64_t* to = slot(set, victim);
    for (int i = 0; i < WORDS; ++i) {
      uint64_t w;
      std::memcpy(&w, block + i * 8, 8);
      std::atomic_ref<uint64_t>(to[i]).store(w, std::memory_order_relaxed);
    }
  }
  set.sequence.store(seq + 2, std::memory_order_release);
}

}  // namespace tb
