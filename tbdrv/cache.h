// The cache of decoded blocks, shared by all threads of one handle. It is
// set-associative: a block may sit in any of the WAYS slots of the set its
// key hashes to, and each set has its own spin lock, held only to copy one
// value out or one block in, so threads rarely meet.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "format.h"

namespace tb {

class BlockCache {
 public:
  static constexpr int WAYS = 4;

  explicit BlockCache(int megabytes);

  // Calls read(const uint8_t* block) with the cached block while holding its
  // set's lock; false on a miss.
  template <class Read>
  bool with_block(uint64_t key, Read&& read) {
    Set& set = set_of(key);
    lock(set);
    for (int w = 0; w < WAYS; ++w) {
      if (set.keys[w] == key) {
        set.used[w] = ++set.clock;
        read(slot(set, w));
        unlock(set);
        return true;
      }
    }
    unlock(set);
    return false;
  }

  // Stores a decoded block, replacing the least recently used of its set.
  void insert(uint64_t key, const uint8_t* block);

  uint64_t slots() const { return sets_ * WAYS; }

 private:
  struct Set {
    std::atomic<bool> busy{false};
    uint32_t clock = 0;
    uint32_t used[WAYS] = {};
    uint64_t keys[WAYS] = {};  // 0: empty (keys are never 0)
  };

  // Keys differ in their low bits (block) and high bits (slice): mix all
  // bits into all before choosing the set.
  Set& set_of(uint64_t key) {
    key ^= key >> 33;
    key *= 0xFF51AFD7ED558CCDull;
    key ^= key >> 33;
    return sets[key % sets_];
  }
  uint8_t* slot(const Set& set, int way) {
    return data.get() + (uint64_t(&set - sets.get()) * WAYS + way) * BLOCK_BYTES;
  }
  static void lock(Set& s) {
    while (s.busy.exchange(true, std::memory_order_acquire))
      while (s.busy.load(std::memory_order_relaxed)) {
      }
  }
  static void unlock(Set& s) { s.busy.store(false, std::memory_order_release); }

  uint64_t sets_;
  std::unique_ptr<Set[]> sets;
  std::unique_ptr<uint8_t[]> data;
};

}  // namespace tb
