// The cache of decoded blocks, shared by all threads of one handle. It is
// set-associative: a block may sit in any of the WAYS slots of the set its
// key hashes to. Readers take no lock: each set carries a sequence number,
// odd while a writer changes the set, and a reader that sees it change
// reads again. So lookups from many threads never wait for each other and
// the processor can overlap the memory accesses of consecutive lookups.
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

  // The 8 bytes of the cached block `key` that hold byte `offset` (little
  // endian, offset rounded down to a multiple of 8); false on a miss.
  bool find(uint64_t key, uint32_t offset, uint64_t& word) const;

  // Stores a decoded block (BLOCK_BYTES), replacing one not used lately.
  void insert(uint64_t key, const uint8_t* block);

  uint64_t slots() const { return sets_ * WAYS; }

 private:
  static constexpr int WORDS = BLOCK_BYTES / 8;

  struct alignas(64) Set {
    std::atomic<uint32_t> sequence{0};
    std::atomic<uint32_t> hand{0};          // next way the replacement looks at
    std::atomic<uint8_t> used[WAYS] = {};   // read since the hand last passed
    std::atomic<uint64_t> keys[WAYS] = {};  // 0: empty (keys are never 0)
  };

  // Keys differ in their low bits (block) and high bits (slice): mix all
  // bits into all before choosing the set.
  Set& set_of(uint64_t key) const {
    key ^= key >> 33;
    key *= 0xFF51AFD7ED558CCDull;
    key ^= key >> 33;
    return sets_array[key % sets_];
  }
  uint64_t* slot(const Set& set, int way) const {
    return data.get() + (uint64_t(&set - sets_array.get()) * WAYS + way) * WORDS;
  }

  struct Free {
    uint64_t bytes;
    void operator()(void* p) const;
  };

  uint64_t sets_;
  std::unique_ptr<Set[], Free> sets_array;
  std::unique_ptr<uint64_t[], Free> data;
};

}  // namespace tb
