#include <gtest/gtest.h>

#include <random>

#include "eval/bit_reversal.h"
#include "eval/evaluate.h"
#include "eval/gather.h"
#include "eval/patterns.h"
#include "platform/platform.h"
#include "reference.h"

namespace {
using namespace qb;

class PatternIndices : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    fill_bit_reversal_table();
    build_index_tables();
  }
  static std::vector<GatherPath> paths() {
    std::vector<GatherPath> p{GatherPath::PORTABLE};
    if (platform::cpu_info().bmi2) p.push_back(GatherPath::PEXT);
    return p;
  }
};

TEST(BitReversal, TurnsTheBoard) {
  fill_bit_reversal_table();
  EXPECT_EQ(g_bit_reversal[0x01], 0x80);
  EXPECT_EQ(g_bit_reversal[0xF0], 0x0F);
  EXPECT_EQ(g_bit_reversal[0xA3], 0xC5);
  for (int n = 1; n <= 32; ++n) EXPECT_EQ(reverse_bits(1u << (n - 1)), 1u << (32 - n)) << n;
}

TEST_F(PatternIndices, MirroredMasksHoldTheTurnedSquares) {
  auto squares = [](std::initializer_list<int> list) {
    uint32_t m = 0;
    for (int s : list) m |= 1u << (s - 1);
    return m;
  };
  uint32_t expected[2][4] = {
      {squares({23, 24, 26, 27, 28, 30, 31, 32}), squares({21, 22, 23, 25, 26, 29, 30, 31}),
       squares({9, 10, 13, 14, 17, 18, 21, 22}), squares({14, 15, 16, 18, 19, 22, 23, 24})},
      {squares({15, 16, 18, 19, 20, 23, 24, 26, 27, 28, 31, 32}),
       squares({13, 14, 17, 18, 21, 22, 23, 25, 26, 29, 30, 31}), 0xFFF00000u,
       squares({14, 15, 16, 17, 18, 19, 22, 23, 24, 25, 26, 27})},
  };
  for (int block : {KINGS_BLOCK, NO_KINGS_BLOCK})
    for (int k = 0; k < PATTERNS_PER_BLOCK; ++k) {
      EXPECT_EQ(g_mirrored_masks[block][k], expected[block][k]) << block << " " << k;
      EXPECT_EQ(reversed_mask(PATTERN_MASKS[block][k]), expected[block][k]);
    }
}

TEST_F(PatternIndices, SelfCheckPassesAndCatchesABadTable) {
  EXPECT_EQ(check_pattern_indices(), 0);
  g_forward5[3] += 1;
  testing::internal::CaptureStdout();
  int failed = check_pattern_indices();
  std::string out = testing::internal::GetCapturedStdout();
  build_index_tables();
  EXPECT_EQ(failed, 4);  // every five-state pattern uses entry 3
  EXPECT_NE(out.find("Error: symmetric index"), std::string::npos) << out;
}

TEST_F(PatternIndices, EmptyAndFullPatterns) {
  Position empty{{0, 0}, 0};
  PieceSummary s = make_piece_summary(empty);
  Position black_kings{{PATTERN_MASKS[KINGS_BLOCK][0], 0}, PATTERN_MASKS[KINGS_BLOCK][0]};
  PieceSummary k = make_piece_summary(black_kings);
  for (GatherPath path : paths()) {
    PatternSlots five = pattern_slots_by(path, s, KINGS_BLOCK);
    PatternSlots three = pattern_slots_by(path, s, NO_KINGS_BLOCK);
    for (int i = 0; i < PATTERNS_PER_BLOCK; ++i) {
      EXPECT_EQ(five.black[i], 195312);
      EXPECT_EQ(five.white[i], 195312);
      EXPECT_EQ(three.black[i], 265720);
      EXPECT_EQ(three.white[i], 265720);
    }
    PatternSlots full = pattern_slots_by(path, k, KINGS_BLOCK);
    EXPECT_EQ(full.black[0], 390624);
    EXPECT_EQ(full.white[0], 195312);  // nothing on the turned squares
  }
}

// Both gather paths against the definition, on many random positions.
TEST_F(PatternIndices, GatherPathsMatchTheReferenceIndices) {
  std::mt19937 rng(2024);
  for (int n = 0; n < 20000; ++n) {
    Position p = evaltest::random_position(rng, 24, n % 2 == 0);
    PieceSummary s = make_piece_summary(p);
    for (int block : {KINGS_BLOCK, NO_KINGS_BLOCK}) {
      if (block == NO_KINGS_BLOCK && p.kings) continue;  // three states hold no kings
      for (GatherPath path : paths()) {
        PatternSlots slots = pattern_slots_by(path, s, block);
        for (int k = 0; k < PATTERNS_PER_BLOCK; ++k) {
          ASSERT_EQ(slots.black[k], evaltest::reference_index(p, block, k))
              << int(path) << " " << block << " " << k;
          ASSERT_EQ(slots.white[k], evaltest::reference_mirror_index(p, block, k))
              << int(path) << " " << block << " " << k;
        }
      }
    }
  }
}

TEST(Gather, ShiftSequencesMatchTheBitByBitGather) {
  std::mt19937 rng(5);
  for (int n = 0; n < 2000; ++n) {
    uint32_t x = rng();
    EXPECT_EQ((ShiftGather::get<KINGS_BLOCK, 2, false>(x)), gather_bits(x, PATTERN_MASKS[KINGS_BLOCK][2]));
    EXPECT_EQ((ShiftGather::get<NO_KINGS_BLOCK, 3, true>(x)),
              gather_bits(x, reversed_mask(PATTERN_MASKS[NO_KINGS_BLOCK][3])));
  }
}

}  // namespace
