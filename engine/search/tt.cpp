#include "search/tt.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

#include "interface/base/log.h"
#include "interface/base/settings.h"
#include "platform/platform.h"

namespace qb {

static_assert(std::endian::native == std::endian::little, "entries are packed little-endian");

TranspositionTable g_tt;

namespace {

constexpr uint64_t ONE_MB = uint64_t(1) << 20;
constexpr int PINNED_CURRENT_BONUS = 10000;
constexpr int NO_PRIORITY = 30000;

// Used only when the heap cannot give even the smallest table.
Bucket g_emergency_buckets[ONE_MB / BUCKET_BYTES];

uint64_t mix(uint64_t x) {
  x = (x ^ (x >> 23)) * 17;
  x = (x ^ (x >> 6)) * 257;
  return (x ^ (x >> 10)) * 0x4000001;
}

Bucket& bucket_of(HashKey key) { return g_tt.buckets[key.low & uint32_t(g_tt.bucket_mask)]; }
int first_slot(HashKey key) { return int(key.low >> 25); }

// One relaxed read of the whole cache line, then plain byte work on the copy.
struct BucketImage {
  uint8_t bytes[BUCKET_BYTES];
};

BucketImage read_bucket(const Bucket& b) {
  BucketImage image;
  for (int w = 0; w < BUCKET_BYTES / 8; ++w) {
    uint64_t word = b.words[w].load(std::memory_order_relaxed);
    std::memcpy(image.bytes + 8 * w, &word, 8);
  }
  return image;
}

HashEntry entry_at(const BucketImage& image, int slot) {
  HashEntry e;
  const uint8_t* p = image.bytes + ENTRY_BYTES * slot;
  std::memcpy(&e.check, p, 4);
  std::memcpy(&e.data, p + 4, 4);
  e.age = p[8];
  return e;
}

bool holds(const HashEntry& e, HashKey key) { return e.check && (e.check ^ e.data) == key.high; }

// Entry k spans words k and k+1 at byte offset k. The check and data go first,
// the age after, as one entry is written by one thread at a time; a reader
// that sees half a write fails the check and takes it for a miss.
void write_entry(Bucket& b, int slot, uint32_t data, HashKey key, uint8_t age) {
  uint32_t check = data ^ key.high;
  uint64_t pair[2] = {b.words[slot].load(std::memory_order_relaxed),
                      b.words[slot + 1].load(std::memory_order_relaxed)};
  uint8_t* bytes = reinterpret_cast<uint8_t*>(pair) + slot;
  std::memcpy(bytes, &check, 4);
  std::memcpy(bytes + 4, &data, 4);
  bytes[8] = age;
  b.words[slot].store(pair[0], std::memory_order_relaxed);
  b.words[slot + 1].store(pair[1], std::memory_order_relaxed);
}

int priority(const HashEntry& e) {
  int p = g_tt.age_priority[e.age & 63] + e.depth_plus_one();
  if (e.pinned() && e.age == g_tt.age) p += PINNED_CURRENT_BONUS;
  return p;
}

// The key's slot holding it, or -1.
int find_slot(const BucketImage& image, HashKey key) {
  int s = first_slot(key);
  for (int j = 0; j < SLOTS_PER_KEY; ++j) {
    int slot = g_tt.slot_order[s + j];
    if (holds(entry_at(image, slot), key)) return slot;
  }
  return -1;
}

int least_valuable_slot(const BucketImage& image, HashKey key) {
  int s = first_slot(key);
  int chosen = g_tt.slot_order[s];
  int lowest = NO_PRIORITY;
  for (int j = 0; j < SLOTS_PER_KEY; ++j) {
    int slot = g_tt.slot_order[s + j];
    int p = priority(entry_at(image, slot));
    if (p < lowest) {
      lowest = p;
      chosen = slot;
    }
  }
  return chosen;
}

Bucket* allocate_buckets(uint64_t count) {
  if (count > SIZE_MAX / sizeof(Bucket)) return nullptr;
  auto* buckets = static_cast<Bucket*>(platform::allocate_large(std::size_t(count * sizeof(Bucket))));
  if (buckets) std::uninitialized_value_construct_n(buckets, count);  // zero-filled
  return buckets;
}

void release_buckets() {
  if (g_tt.heap) platform::free_large(g_tt.buckets, std::size_t(g_tt.byte_size));
  g_tt.buckets = nullptr;
  g_tt.heap = false;
}

void clear_emergency_table() {
  for (Bucket& b : g_emergency_buckets)
    for (auto& w : b.words) w.store(0, std::memory_order_relaxed);
}

}  // namespace

HashKey hash_key(const Position& p, Side side) {
  uint64_t x = ((uint64_t(p.pieces[WHITE]) << 32) + p.pieces[BLACK]) * 0x1FFFFFF;
  if (side == WHITE) x += 0xD2D84A61;
  x = mix(x);
  x = (x ^ (x >> 31)) + uint64_t(p.kings) * 0x1FFFFFF;
  x = mix(x);
  x ^= x >> 31;
  return HashKey{uint32_t(x), uint32_t(x >> 32)};
}

uint64_t table_bytes(uint32_t size_mb) {
  if (size_mb == 0) return ONE_MB;
  return uint64_t(std::bit_floor(size_mb)) * ONE_MB;
}

bool tt_allocate(uint32_t size_mb) {
  if (g_tt.buckets && g_tt.size_mb == size_mb) return true;
  release_buckets();
  uint64_t wanted = table_bytes(size_mb);
  uint64_t bytes = wanted;
  Bucket* buckets = nullptr;
  while (!(buckets = allocate_buckets(bytes / BUCKET_BYTES)) && bytes > ONE_MB) bytes /= 2;
  g_tt.heap = buckets != nullptr;
  if (!buckets) {
    clear_emergency_table();
    buckets = g_emergency_buckets;
    bytes = ONE_MB;
  }
  if (bytes != wanted) {
    log_printf("hashtable: %llu MB not available, using %llu MB\n", (unsigned long long)(wanted / ONE_MB),
               (unsigned long long)(bytes / ONE_MB));
  }
  g_tt.size_mb = size_mb;
  g_tt.byte_size = bytes;
  g_tt.bucket_count = bytes / BUCKET_BYTES;
  g_tt.bucket_mask = g_tt.bucket_count - 1;
  g_tt.buckets = buckets;
  g_tt.age = 0;
  for (int i = 0; i < int(sizeof g_tt.slot_order); ++i) g_tt.slot_order[i] = uint8_t(i % 7);
  std::memset(g_tt.age_priority, 0, sizeof g_tt.age_priority);
  return bytes == wanted;
}

bool tt_allocate_for_settings() {
  int32_t mb = g_settings.hashsize.load(std::memory_order_relaxed);
  return tt_allocate(mb > 0 ? uint32_t(mb) : 0);
}

void tt_free() {
  release_buckets();
  g_tt.size_mb = 0;
  g_tt.byte_size = g_tt.bucket_count = g_tt.bucket_mask = 0;
}

void tt_new_search() {
  g_tt.age = uint8_t((g_tt.age + 1) % 64);
  for (int i = 0; i < 64; ++i) g_tt.age_priority[(g_tt.age + 1 + i) % 64] = uint16_t(64 * i);
}

bool tt_probe(HashKey key, HashProbe& out) {
  Bucket& b = bucket_of(key);
  BucketImage image = read_bucket(b);
  int s = first_slot(key);
  for (int j = 0; j < SLOTS_PER_KEY; ++j) {
    int slot = g_tt.slot_order[s + j];
    HashEntry e = entry_at(image, slot);
    if (e.check == 0) return false;
    if ((e.check ^ e.data) == key.high) {
      out = HashProbe{e, &b, slot};
      return true;
    }
  }
  return false;
}

void tt_store(HashKey key, int score, int ply, Eighths depth, Bound bound, int move_index) {
  score = score_to_table(score, ply);
  // Lists longer than the 5-bit field are cut so the index never spills
  // into the bound bits; such a hash move is merely ordered first.
  uint32_t data = (uint32_t(score) & ((1u << SCORE_BITS) - 1)) |
                  (uint32_t(depth + 1) & DEPTH_MASK) << DEPTH_SHIFT |
                  (uint32_t(move_index) & MOVE_MASK) << MOVE_SHIFT | uint32_t(bound) << BOUND_SHIFT;
  Bucket& b = bucket_of(key);
  BucketImage image = read_bucket(b);
  int s = first_slot(key);
  int chosen = -1;
  int lowest = NO_PRIORITY;
  for (int j = 0; j < SLOTS_PER_KEY; ++j) {
    int slot = g_tt.slot_order[s + j];
    HashEntry e = entry_at(image, slot);
    if (e.check == 0) {
      chosen = slot;
      break;
    }
    if ((e.check ^ e.data) == key.high) {
      chosen = slot;
      data |= e.data & PINNED_BIT;
      break;
    }
    int p = priority(e);
    if (p < lowest) {
      lowest = p;
      chosen = slot;
    }
  }
  if (chosen < 0) chosen = g_tt.slot_order[s];  // unreachable: priorities stay below the bound
  write_entry(b, chosen, data, key, g_tt.age);
}

void tt_pin_in_place(HashKey key, const HashProbe& found) {
  HashEntry now = entry_at(read_bucket(*found.bucket), found.slot);
  if (holds(now, key)) write_entry(*found.bucket, found.slot, now.data | PINNED_BIT, key, g_tt.age);
}

void tt_pin(HashKey key, const HashEntry& saved) {
  Bucket& b = bucket_of(key);
  BucketImage image = read_bucket(b);
  int slot = find_slot(image, key);
  uint32_t data = slot >= 0 ? entry_at(image, slot).data : saved.data;
  if (slot < 0) slot = least_valuable_slot(image, key);
  write_entry(b, slot, data | PINNED_BIT, key, g_tt.age);
}

void tt_unpin(HashKey key) {
  Bucket& b = bucket_of(key);
  BucketImage image = read_bucket(b);
  int slot = find_slot(image, key);
  if (slot < 0) return;
  HashEntry e = entry_at(image, slot);
  write_entry(b, slot, e.data & ~PINNED_BIT, key, e.age);
}

}  // namespace qb
