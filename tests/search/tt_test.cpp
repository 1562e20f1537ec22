#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "board/fen.h"
#include "search/tt.h"

namespace {
using namespace qb;

// Keys that share a bucket and a first slot: same low word, different high.
HashKey key_in_bucket_zero(uint32_t high, uint32_t first_slot = 0) { return HashKey{first_slot << 25, high}; }

class Table : public testing::Test {
 protected:
  void SetUp() override {
    tt_free();
    ASSERT_TRUE(tt_allocate(1));
    tt_new_search();
  }
  void TearDown() override { tt_free(); }

  static HashEntry probe(HashKey key) {
    HashProbe p;
    EXPECT_TRUE(tt_probe(key, p));
    return p.entry;
  }
  static bool present(HashKey key) {
    HashProbe p;
    return tt_probe(key, p);
  }
};

TEST(HashKey, StartPositionKeys) {
  Position start = start_position();
  HashKey black = hash_key(start, BLACK);
  HashKey white = hash_key(start, WHITE);
  EXPECT_EQ((uint64_t(black.high) << 32) | black.low, 0xBC762CDDA87BEA9Eull);
  EXPECT_EQ((uint64_t(white.high) << 32) | white.low, 0x96C71D88EAB2BAC4ull);
}

TEST(HashKey, KingsChangeTheKey) {
  Position p = start_position();
  Position crowned = p;
  crowned.kings = 1u << 2;
  HashKey a = hash_key(p, BLACK), b = hash_key(crowned, BLACK);
  EXPECT_FALSE(a.low == b.low && a.high == b.high);
}

TEST(TableSize, LargestPowerOfTwoNotAboveTheSetting) {
  struct Case {
    uint32_t mb;
    uint64_t bytes;
  };
  for (Case c : {Case{100, 64ull << 20}, Case{1, 1ull << 20}, Case{0, 1ull << 20}, Case{128, 128ull << 20},
                 Case{3, 2ull << 20}}) {
    EXPECT_EQ(table_bytes(c.mb), c.bytes) << c.mb << " MB";
  }
}

TEST_F(Table, AllocationFollowsTheSetting) {
  ASSERT_TRUE(tt_allocate(3));
  EXPECT_EQ(g_tt.byte_size, 2ull << 20);
  EXPECT_EQ(g_tt.bucket_count, (2ull << 20) / 64);
  EXPECT_EQ(g_tt.bucket_mask, g_tt.bucket_count - 1);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(g_tt.buckets) % 64, 0u);
  for (int i = 0; i < 131; ++i) ASSERT_EQ(g_tt.slot_order[i], i % 7);
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) && !defined(_WIN32)
// With the address space capped a little above what the process uses, a
// 1 GB setting must still leave a working (smaller) table.
void allocate_under_memory_cap() {
  long pages = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
    std::fclose(f);
  }
  if (pages == 0) std::exit(3);
  rlim_t cap = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (48u << 20);
  rlimit limit{cap, cap};
  if (setrlimit(RLIMIT_AS, &limit) != 0) std::exit(4);
  tt_free();
  bool whole = tt_allocate(1024);
  if (whole || !g_tt.buckets) std::exit(5);
  if (g_tt.byte_size > (32u << 20) || g_tt.byte_size < (1u << 20)) std::exit(6);
  tt_new_search();
  HashKey key{0x1234, 0x5678};
  tt_store(key, 10, 1, 16, BOUND_EXACT, 3);
  HashProbe p;
  std::exit(tt_probe(key, p) && p.entry.raw_score() == 10 ? 0 : 7);
}

TEST_F(Table, AllocationFailureFallsBackToASmallerTable) {
  EXPECT_EXIT(allocate_under_memory_cap(), testing::ExitedWithCode(0), "");
}
#endif

TEST_F(Table, StoreAndProbeRoundTrip) {
  struct Case {
    int score;
    int depth;
    Bound bound;
    int move;
  };
  const Case cases[] = {{0, 0, BOUND_EXACT, 0},
                        {-150, 9, BOUND_UPPER, 31},
                        {3000, 200, BOUND_LOWER, 7},
                        {-3, 776, BOUND_EXACT, 12},
                        {-1, 1, BOUND_LOWER, 1}};
  uint32_t low = 5;
  for (const Case& c : cases) {
    HashKey key{low++, 0xABCDEF00u + low};
    tt_store(key, c.score, 3, c.depth, c.bound, c.move);
    HashEntry e = probe(key);
    EXPECT_EQ(e.raw_score(), c.score);
    EXPECT_EQ(e.depth_plus_one(), c.depth + 1);
    EXPECT_EQ(e.bound(), c.bound);
    EXPECT_EQ(e.move_index(), c.move);
    EXPECT_FALSE(e.pinned());
    EXPECT_EQ(e.age, g_tt.age);
    EXPECT_EQ(e.check ^ e.data, key.high);
  }
}

TEST_F(Table, WrongHighWordIsAMiss) {
  tt_store(HashKey{77, 1000}, 5, 1, 16, BOUND_EXACT, 0);
  EXPECT_FALSE(present(HashKey{77, 1001}));
}

TEST_F(Table, DistanceScoresAreStoredRelativeToTheNode) {
  HashKey key{99, 4242};
  tt_store(key, 3990, 5, 24, BOUND_EXACT, 0);
  EXPECT_EQ(probe(key).raw_score(), 3995);
  EXPECT_EQ(score_from_table(probe(key).raw_score(), 7), 3988);
  tt_store(key, -3990, 5, 24, BOUND_EXACT, 0);
  EXPECT_EQ(probe(key).raw_score(), -3995);
  EXPECT_EQ(score_from_table(-3995, 7), -3988);
  tt_store(key, 3901, 5, 24, BOUND_EXACT, 0);  // not beyond 3901: no distance
  EXPECT_EQ(probe(key).raw_score(), 3901);
}

TEST_F(Table, SameKeyIsReplacedWhateverTheDepthAndKeepsItsPin) {
  HashKey key = key_in_bucket_zero(1);
  tt_store(key, 50, 1, 400, BOUND_LOWER, 4);
  tt_pin(key, HashEntry{});
  tt_store(key, -20, 1, 9, BOUND_UPPER, 2);
  HashEntry e = probe(key);
  EXPECT_EQ(e.raw_score(), -20);
  EXPECT_EQ(e.depth_plus_one(), 10);
  EXPECT_EQ(e.move_index(), 2);
  EXPECT_TRUE(e.pinned());
}

TEST_F(Table, FullSlotsLoseTheShallowestCurrentEntry) {
  HashKey a = key_in_bucket_zero(1), b = key_in_bucket_zero(2), c = key_in_bucket_zero(3);
  tt_store(a, 1, 1, 40, BOUND_EXACT, 0);
  tt_store(b, 2, 1, 16, BOUND_EXACT, 0);
  tt_store(c, 3, 1, 30, BOUND_EXACT, 0);
  tt_store(key_in_bucket_zero(4), 4, 1, 50, BOUND_EXACT, 0);
  EXPECT_TRUE(present(a));
  EXPECT_FALSE(present(b));
  EXPECT_TRUE(present(c));
  EXPECT_TRUE(present(key_in_bucket_zero(4)));
}

TEST_F(Table, OlderSearchesAreReplacedFirstAndPinnedCurrentEntriesSurvive) {
  HashKey old_deep = key_in_bucket_zero(1);
  tt_store(old_deep, 1, 1, 60, BOUND_EXACT, 0);
  tt_new_search();
  HashKey pinned_shallow = key_in_bucket_zero(2), shallow = key_in_bucket_zero(3);
  tt_store(pinned_shallow, 2, 1, 0, BOUND_EXACT, 0);
  tt_pin(pinned_shallow, HashEntry{});
  tt_store(shallow, 3, 1, 1, BOUND_EXACT, 0);
  tt_store(key_in_bucket_zero(4), 4, 1, 1, BOUND_EXACT, 0);
  EXPECT_FALSE(present(old_deep));  // 64 less for the previous search outweighs 59 eighths
  EXPECT_TRUE(present(pinned_shallow));
  EXPECT_TRUE(present(shallow));
  tt_store(key_in_bucket_zero(5), 5, 1, 2, BOUND_EXACT, 0);
  EXPECT_TRUE(present(pinned_shallow));
  EXPECT_EQ(present(shallow) + present(key_in_bucket_zero(4)), 1);
}

TEST_F(Table, AgePrioritiesFollowTheCurrentAge) {
  for (int searches = 0; searches < 70; ++searches) {
    tt_new_search();
    EXPECT_EQ(g_tt.age_priority[g_tt.age], 4032);
    EXPECT_EQ(g_tt.age_priority[(g_tt.age + 63) % 64], 3968);
    EXPECT_EQ(g_tt.age_priority[(g_tt.age + 1) % 64], 0);
  }
}

TEST_F(Table, AnEntryFrom64SearchesAgoCountsAsCurrent) {
  HashKey key = key_in_bucket_zero(1);
  tt_store(key, 1, 1, 100, BOUND_EXACT, 0);
  tt_pin(key, HashEntry{});
  uint8_t written = g_tt.age;
  for (int i = 0; i < 64; ++i) tt_new_search();
  EXPECT_EQ(g_tt.age, written);
  // Pinned and current again: deep newer entries cannot push it out.
  for (uint32_t k = 2; k < 6; ++k) tt_store(key_in_bucket_zero(k), 1, 1, 1000, BOUND_EXACT, 0);
  EXPECT_TRUE(present(key));
}

TEST_F(Table, PinAndUnpinByKey) {
  HashKey key = key_in_bucket_zero(9, 3);
  tt_store(key, 12, 1, 24, BOUND_LOWER, 5);
  HashEntry before = probe(key);
  tt_new_search();
  tt_pin(key, HashEntry{});
  HashEntry pinned = probe(key);
  EXPECT_TRUE(pinned.pinned());
  EXPECT_EQ(pinned.age, g_tt.age);
  EXPECT_EQ(pinned.raw_score(), 12);
  tt_unpin(key);
  HashEntry unpinned = probe(key);
  EXPECT_FALSE(unpinned.pinned());
  EXPECT_EQ(unpinned.age, g_tt.age);
  EXPECT_EQ(unpinned.data, before.data);
}

TEST_F(Table, PinOfAMissingKeyWritesTheSavedEntryBack) {
  HashKey key = key_in_bucket_zero(21);
  tt_store(key, -40, 1, 32, BOUND_UPPER, 6);
  HashEntry saved = probe(key);
  for (uint32_t k = 30; k < 33; ++k) tt_store(key_in_bucket_zero(k), 1, 1, 2000, BOUND_EXACT, 0);
  ASSERT_FALSE(present(key));
  tt_pin(key, saved);
  HashEntry back = probe(key);
  EXPECT_TRUE(back.pinned());
  EXPECT_EQ(back.data & ~PINNED_BIT, saved.data);
  EXPECT_EQ(back.age, g_tt.age);
}

TEST_F(Table, PinInPlaceChecksTheKeyIsStillThere) {
  HashKey key = key_in_bucket_zero(40);
  tt_store(key, 7, 1, 16, BOUND_EXACT, 1);
  HashProbe found;
  ASSERT_TRUE(tt_probe(key, found));
  tt_pin_in_place(key, found);
  EXPECT_TRUE(probe(key).pinned());
  // The slot now holds another key: pinning in place must leave it alone.
  tt_free();
  ASSERT_TRUE(tt_allocate(1));
  tt_new_search();
  HashKey other = key_in_bucket_zero(41);
  tt_store(other, 8, 1, 16, BOUND_EXACT, 1);
  HashProbe stale{found.entry, g_tt.buckets, found.slot};
  tt_pin_in_place(key, stale);
  EXPECT_FALSE(probe(other).pinned());
}

TEST_F(Table, EveryFirstSlotWorksIncludingTheLastEntryOfTheBucket) {
  // First slots 0-127 cover all seven entries; neighbours must stay intact.
  std::vector<HashKey> keys;
  for (uint32_t s = 0; s < 7; ++s) keys.push_back(HashKey{s << 25 | 1, 100 + s});
  for (size_t i = 0; i < keys.size(); ++i) tt_store(keys[i], int(i), 1, 10 + int(i), BOUND_EXACT, 0);
  int found = 0;
  for (size_t i = 0; i < keys.size(); ++i) {
    HashProbe p;
    if (tt_probe(keys[i], p)) {
      ++found;
      EXPECT_EQ(p.entry.raw_score(), int(i));
      EXPECT_EQ(p.entry.depth_plus_one(), 11 + int(i));
    }
  }
  EXPECT_EQ(found, 7);
}

}  // namespace
