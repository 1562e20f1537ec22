#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "eval/evaluate.h"
#include "eval/terms.h"
#include "eval/weights.h"
#include "interface/base/log.h"
#include "random_positions.h"
#include "support/temp_env.h"
#include "train/features.h"
#include "train/model.h"
#include "train/training_data.h"
#include "weights/weights_writer.h"

namespace {
using namespace qb;
using namespace qb::train;

// Random values in every table entry and scalar, so that a feature taken
// from the wrong slot, table or block shows in the score.
void fill_random(EvalWeights& w, std::mt19937& random) {
  std::uniform_int_distribution<int> value(-400, 400);
  auto* pairs = reinterpret_cast<WeightPair*>(&w);
  for (size_t i = 0; i < sizeof w / sizeof(WeightPair); ++i)
    pairs[i] = WeightPair{int16_t(value(random)), int16_t(value(random))};
  // Men worth 70 at phase 210, so the engine rescales everything at load.
  w.kings.scalars[MEN] = w.no_kings.scalars[MEN] = WeightPair{3500, 3500};
}

// The trainer may extract features before any weights are loaded. A black
// man on square 1 is the most significant digit of the first no-kings
// region; White's copy of the region (turned, so square 32) is empty.
TEST(Features, SlotsFollowTheIndexRuleWithoutLoadedWeights) {
  Position p{{1u, 0x00100000u}, 0};  // Black on 1, White on 21 (in no region's mirror of 1)
  Features f = extract_features(p);
  EXPECT_EQ(f.block, NO_KINGS_BLOCK);
  EXPECT_EQ(f.black_slot[0], PATTERN_HALF[NO_KINGS_BLOCK] + 177147);  // 3^11
  EXPECT_EQ(f.white_slot[0], PATTERN_HALF[NO_KINGS_BLOCK]);
  Position k{{1u, 0u}, 1u};  // a black king on 1: digit 2 of the first kings region
  EXPECT_EQ(extract_features(k).black_slot[0], PATTERN_HALF[KINGS_BLOCK] + 2 * 78125);  // 2 * 5^7
}

TEST(Features, TrainerScoresEqualTheEngineEvaluation) {
  std::mt19937 random(11);
  auto weights = std::make_unique<EvalWeights>();
  fill_random(*weights, random);
  std::string dir = qbtest::make_temp_dir("features") + "/";
  g_log_path = dir + "test.log";
  ASSERT_TRUE(weights::write_weights_files(dir, *weights, nullptr));
  ASSERT_TRUE(load_weights(dir.c_str()));
  for (int i = 0; i < 4000; ++i) {
    Position p = traintest::random_position(random, i % 4 == 0 ? 0.2 : 0.6, i % 2 == 0);
    PieceSummary s = make_piece_summary(p);
    int engine = evaluate(p, BLACK, s);
    ASSERT_EQ(black_score(extract_features(p), g_weights), engine) << i;
  }
  g_log_path.clear();
}

// The float model blends its weights as the engine does: its score and the
// engine's (from the same weights rounded, unscaled) differ only by rounding.
TEST(Features, ModelScoreIsTheEngineBlend) {
  std::mt19937 random(5);
  std::vector<Sample> samples;
  for (int i = 0; i < 3000; ++i) {
    Position p = traintest::random_position(random, 0.5, i % 2 == 0);
    float result = float(random() % 3) / 2;
    samples.push_back(Sample{extract_features(p), result, result});
  }
  auto model = std::make_unique<Model>();
  model->reset(BUILTIN_SCALARS);
  std::vector<uint32_t> order(samples.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = uint32_t(i);
  TrainSettings settings;
  settings.batch = 64;
  model->train_epoch(samples, order, settings, 200);  // large steps: patterns far from zero
  auto weights = std::make_unique<EvalWeights>();
  model->to_weights(*weights);
  int compared = 0;
  for (const Sample& s : samples) {
    int engine = black_score(s.features, *weights);
    if (std::abs(engine) >= SOFT_CAP) continue;
    EXPECT_NEAR(model->score(s.features), engine, 2.0);
    ++compared;
  }
  EXPECT_GT(compared, 1000);
}

}  // namespace
