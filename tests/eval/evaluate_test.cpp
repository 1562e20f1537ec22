#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <set>

#include "board/fen.h"
#include "eval/dither.h"
#include "eval/evaluate.h"
#include "eval/gather.h"
#include "eval/terms.h"
#include "eval/weights.h"
#include "interface/base/settings.h"
#include "platform/platform.h"
#include "reference.h"
#include "support/temp_env.h"
#include "weights/weights_writer.h"

namespace {
using namespace qb;

Position parse(const char* fen) { return parse_fen(fen).value().position; }

// Random weights written and loaded once; each test reloads them, since other
// suites load files of their own.
class Evaluation : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    weights_ = new EvalWeights;
    std::mt19937 rng(99);
    evaltest::fill_random_weights(*weights_, rng);
    dir_ = qbtest::make_temp_dir("random-weights") + "/";
    ASSERT_TRUE(weights::write_weights_files(dir_, *weights_, nullptr));
  }
  static void TearDownTestSuite() { delete weights_; }
  void SetUp() override {
    ASSERT_TRUE(load_weights(dir_.c_str()));
    g_settings.dither = 0;
  }
  void TearDown() override {
    g_settings.dither = 0;
    rebuild_dither_table(0);
  }

  static std::vector<GatherPath> paths() {
    std::vector<GatherPath> p{GatherPath::PORTABLE};
    if (platform::cpu_info().bmi2) p.push_back(GatherPath::PEXT);
    return p;
  }
  static int eval(const Position& p, Side side, GatherPath path = GatherPath::PORTABLE) {
    PieceSummary s = make_piece_summary(p);
    return evaluate_by(path, p, side, s);
  }

  static inline EvalWeights* weights_;
  static inline std::string dir_;
};

TEST(ScoreArithmetic, BlendRoundingSoftCapAndEvenScores) {
  struct Blend {
    int64_t raw;
    int32_t s;
  } blends[] = {{7000, 1}, {-7000, -1}, {6999, 0}, {-6999, 0}, {21000, 2}, {-21000, -2}, {0, 0}};
  for (auto b : blends) EXPECT_EQ(scale_blend(b.raw), b.s) << b.raw;
  struct Cap {
    int32_t in, out;
  } caps[] = {{1500, 1500}, {1501, 1687}, {1600, 1700}, {-1601, -1700}, {-1500, -1500}, {20, 20}};
  for (auto c : caps) EXPECT_EQ(soft_cap(c.in), c.out) << c.in;
  struct Even {
    int32_t in, out;
  } evens[] = {{1687, 1686}, {7, 6}, {-7, -6}, {8, 8}, {-1, 0}};
  for (auto e : evens) EXPECT_EQ(round_to_even(e.in), e.out) << e.in;
}

TEST(PositionTerms, PhaseTempoAndBalance) {
  Position start = start_position();
  EXPECT_EQ(game_phase(start.men(BLACK), start.men(WHITE)), 280);
  EXPECT_EQ(game_phase(0, 0), 0);
  EXPECT_EQ(tempo_term(start.men(BLACK), start.men(WHITE)), 0);
  EXPECT_EQ(balance_term(start.men(BLACK), start.men(WHITE)), 0);
  // Black men on 5 (+7) and 4 (-7) lean both ways: |0|. A white man on 29 (+7).
  EXPECT_EQ(balance_term((1u << 4) | (1u << 3), 1u << 28), 7);
  // Black man on 21 (row 5), white man on 16 (row 3, four rows from its start).
  EXPECT_EQ(tempo_term(1u << 20, 1u << 15), 5 - 4);
}

TEST_F(Evaluation, StartPositionScoresZeroForEitherSide) {
  for (GatherPath path : paths())
    for (Side side : {BLACK, WHITE}) EXPECT_EQ(eval(start_position(), side, path), 0);
}

// Both gather paths and the plain reference agree on random positions with
// random weights, and the result is cached in the summary.
TEST_F(Evaluation, MatchesTheReferenceOnRandomPositions) {
  std::mt19937 rng(31);
  for (int n = 0; n < 20000; ++n) {
    Position p = evaltest::random_position(rng, 24, n % 3 != 0);
    Side side = Side(n & 1);
    int expected = evaltest::reference_evaluate(p, side, *weights_, weights_->kings.scalars, true);
    for (GatherPath path : paths()) {
      PieceSummary s = make_piece_summary(p);
      ASSERT_EQ(evaluate_by(path, p, side, s), expected) << position_text(p, side);
      ASSERT_EQ(s.cached_score, expected);
      ASSERT_EQ(expected % 2, 0);
    }
  }
}

TEST_F(Evaluation, MirroredPositionScoresTheSame) {
  std::mt19937 rng(77);
  for (int n = 0; n < 5000; ++n) {
    Position p = evaltest::random_position(rng, 24, n % 2 == 0);
    for (Side side : {BLACK, WHITE})
      ASSERT_EQ(eval(p, side), eval(evaltest::mirrored(p), opponent_of(side))) << position_text(p, side);
  }
}

TEST_F(Evaluation, SideToMoveNegatesTheScore) {
  Position p = parse("B:W18,22,K30:B5,9,10,11");
  EXPECT_NE(eval(p, BLACK), 0);
  EXPECT_EQ(eval(p, WHITE), -eval(p, BLACK));
}

TEST_F(Evaluation, DitherAddsOneTableEntryPerPosition) {
  std::mt19937 rng(3);
  rebuild_dither_table(3);
  std::set<int> seen;
  for (int n = 0; n < 2000; ++n) {
    Position p = evaltest::random_position(rng, 24, true);
    Side side = Side(n & 1);
    g_settings.dither = 0;
    int plain = eval(p, side);
    g_settings.dither = 1;
    int dithered = eval(p, side);
    int offset = side == BLACK ? dithered - plain : plain - dithered;
    ASSERT_TRUE(offset == -3 || offset == 0 || offset == 3) << offset;
    ASSERT_EQ(eval(p, side), dithered);  // the same position keeps its offset
    ASSERT_EQ(offset, dither_offset(p, g_dither_seed));
    seen.insert(offset);
  }
  EXPECT_EQ(seen.size(), 3u);
  rebuild_dither_table(0);
  Position p = parse("B:W18,22,K30:B5,9,10,11");
  g_settings.dither = 0;
  int plain = eval(p, BLACK);
  g_settings.dither = 1;
  EXPECT_EQ(eval(p, BLACK), plain);
}

TEST(DitherTable, EntriesFollowTheIndexModThree) {
  rebuild_dither_table(5);
  for (int i = 0; i < DITHER_TABLE_SIZE; ++i)
    EXPECT_EQ(g_dither_table[i], i % 3 == 0 ? -5 : i % 3 == 1 ? 0 : 5) << i;
  EXPECT_EQ(g_settings.dither_offset, 5);
  rebuild_dither_table(1000);
  EXPECT_EQ(g_settings.dither_offset, MAX_DITHER_OFFSET);
  EXPECT_EQ(g_dither_table[2], MAX_DITHER_OFFSET);
  rebuild_dither_table(0);
}

// Without usable weights the engine still scores material sensibly.
TEST_F(Evaluation, WithoutWeightsOnlyTheBuiltInScalarsCount) {
  std::string empty = qbtest::make_temp_dir("no-weights") + "/";
  ASSERT_FALSE(load_weights(empty.c_str()));
  std::mt19937 rng(11);
  for (int n = 0; n < 2000; ++n) {
    Position p = evaltest::random_position(rng, 24, n % 2 == 0);
    Side side = Side(n & 1);
    for (GatherPath path : paths())
      ASSERT_EQ(eval(p, side, path),
                evaltest::reference_evaluate(p, side, *weights_, BUILTIN_SCALARS, false));
  }
  EXPECT_EQ(eval(start_position(), BLACK), 0);
  // A man ahead is worth about a man.
  int up = eval(parse("B:W25,26:B5,6,7"), BLACK);
  EXPECT_GT(up, 80);
  EXPECT_LT(up, 130);
}

TEST(PieceSummary, CountsAndMasks) {
  Position p = parse("W:W18,22,K30:B5,9,K10,K11");
  PieceSummary s = make_piece_summary(p);
  EXPECT_EQ(s.black_men, 2);
  EXPECT_EQ(s.black_kings, 2);
  EXPECT_EQ(s.white_men, 2);
  EXPECT_EQ(s.white_kings, 1);
  EXPECT_EQ(s.black_total, 4);
  EXPECT_EQ(s.white_total, 3);
  EXPECT_EQ(s.total, 7);
  EXPECT_EQ(s.larger_side, 4);
  EXPECT_EQ(s.black_kings_mask, (1u << 9) | (1u << 10));
  EXPECT_EQ(s.white_men_mask, (1u << 17) | (1u << 21));
  EXPECT_EQ(s.cached_score, NOT_EVALUATED);
}

}  // namespace
