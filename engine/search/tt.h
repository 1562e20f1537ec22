// The transposition table: one engine-wide cache of search results shared by
// every search thread without locks. Entries are 9 bytes packed 7 to a 64-byte
// bucket (one cache line); each guards itself by storing its key's high half
// XOR-ed with its data, so a torn or foreign entry reads as a miss.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/position.h"
#include "search/depth.h"
#include "search/score.h"

namespace qb {

struct HashKey {
  uint32_t low;   // chooses the bucket and the first slot
  uint32_t high;  // the check value
};

HashKey hash_key(const Position& p, Side side);
inline HashKey hash_key(const SearchNode& n) { return hash_key(n.position(), n.side); }

enum Bound : uint32_t { BOUND_EXACT = 0, BOUND_UPPER = 1, BOUND_LOWER = 2 };

// Layout of an entry's data word.
constexpr int SCORE_BITS = 13;
constexpr int DEPTH_SHIFT = 13, DEPTH_MASK = 0x7FF;  // depth + 1, eighths of a ply
constexpr uint32_t PINNED_BIT = 1u << 24;
constexpr int MOVE_SHIFT = 25, MOVE_MASK = 31;  // index in the generator's order
constexpr int BOUND_SHIFT = 30;

// An unpacked copy of one entry.
struct HashEntry {
  uint32_t check;  // data ^ key.high; 0 marks an empty entry
  uint32_t data;
  uint8_t age;

  int raw_score() const { return int32_t(data << (32 - SCORE_BITS)) >> (32 - SCORE_BITS); }
  int depth_plus_one() const { return int(data >> DEPTH_SHIFT) & DEPTH_MASK; }
  bool pinned() const { return data & PINNED_BIT; }
  int move_index() const { return int(data >> MOVE_SHIFT) & MOVE_MASK; }
  Bound bound() const { return Bound(data >> BOUND_SHIFT); }
};

constexpr int BUCKET_BYTES = 64;
constexpr int ENTRY_BYTES = 9;
constexpr int SLOTS_PER_BUCKET = 7;
constexpr int SLOTS_PER_KEY = 3;

// Eight relaxed 64-bit words, so concurrent readers and writers never race in
// the language's sense; entry k occupies bytes 9k..9k+8 (words k and k+1).
struct alignas(BUCKET_BYTES) Bucket {
  std::atomic<uint64_t> words[BUCKET_BYTES / 8];
};
static_assert(sizeof(Bucket) == BUCKET_BYTES);

struct TranspositionTable {
  uint32_t size_mb = 0;  // the setting the table was built for
  uint64_t byte_size = 0;
  uint64_t bucket_count = 0;
  uint64_t bucket_mask = 0;  // its low 32 bits select the bucket
  Bucket* buckets = nullptr;
  bool heap = false;          // false: the static emergency table
  uint8_t age = 0;            // generation of the current search, 0-63
  uint8_t slot_order[131];    // slot_order[i] = i mod 7
  uint16_t age_priority[64];  // replacement weight of each age
};
extern TranspositionTable g_tt;

// Where a probe found its entry, for the pinning walks.
struct HashProbe {
  HashEntry entry;
  Bucket* bucket;
  int slot;
};

// The largest power of two not above `size_mb` megabytes, in bytes; 1 MB for 0.
uint64_t table_bytes(uint32_t size_mb);

// Builds the table for `size_mb` unless it already is; returns true when the
// whole size was obtained. When memory is short it falls back to smaller
// sizes, and finally to a small static table, so a search always has one.
bool tt_allocate(uint32_t size_mb);
// The same for the hashsize setting.
bool tt_allocate_for_settings();
// Frees the table; the next allocation rebuilds it empty.
void tt_free();
// Advances the age for a new search and rebuilds the replacement weights.
void tt_new_search();

bool tt_probe(HashKey key, HashProbe& out);
// `score` is from the node's side; `ply` makes a distance score
// node-relative (score_to_table). `depth` is in eighths of a ply (the
// field holds depth + 1).
void tt_store(HashKey key, int score, int ply, Eighths depth, Bound bound, int move_index);

// Pins the entry a probe found, if it still holds the key (the driver's walk).
void tt_pin_in_place(HashKey key, const HashProbe& found);
// Pins by key; when the key is gone, `saved` is written back pinned.
void tt_pin(HashKey key, const HashEntry& saved);
void tt_unpin(HashKey key);

}  // namespace qb
