#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

#include "board/bitops.h"
#include "board/fen.h"
#include "random_positions.h"
#include "train/features.h"
#include "train/model.h"
#include "train/targets.h"

namespace {
using namespace qb;
using namespace qb::train;

TrainingPosition stored(const Position& p, Result result, int16_t score, uint8_t exact = 0) {
  TrainingPosition t{p.black(), p.white(), p.kings, result, BLACK, exact, 0};
  t.score = score;
  t.depth = score == NO_SCORE ? 0 : 5;
  return t;
}

double logistic(double score, double scale) { return 1 / (1 + std::exp(-score / scale)); }

TEST(Targets, BlendMovesFromTheResultToTheScoreWhereThereIsOne) {
  const Position p = start_position();
  struct Case {
    TrainingPosition t;
    bool blends;  // has a score and no proven value
  };
  const Case cases[] = {
      {stored(p, BLACK_WINS, -250), true},    {stored(p, WHITE_WINS, 400), true},
      {stored(p, DRAWN, 120), true},          {stored(p, BLACK_WINS, NO_SCORE), false},
      {stored(p, WHITE_WINS, 300, 1), false},  // proven: the verdict stands
  };
  for (double blend : {0.0, 0.3, 1.0}) {
    TrainSettings settings;
    settings.blend = blend;
    settings.sigmoid_scale = 80;
    for (const Case& c : cases) {
      double result = c.t.result / 2.0;
      double want = c.blends ? (1 - blend) * result + blend * logistic(c.t.score, 80) : result;
      EXPECT_NEAR(training_target(c.t, settings), want, 1e-6) << blend << " " << c.t.score;
      Sample s = training_sample(c.t, settings);
      EXPECT_EQ(s.result, float(result));  // what the loss is reported against
      EXPECT_EQ(held_out_sample(c.t).target, float(result));
    }
  }
}

TEST(Targets, PhaseWeightRisesLinearlyAsPiecesComeOff) {
  TrainSettings settings;
  settings.endgame_weight = 5;
  auto weight_with = [&](int pieces) {
    uint32_t black = (1u << (pieces + 1) / 2) - 1, white = ((1u << pieces / 2) - 1) << 20;
    EXPECT_EQ(pop_count(black | white), pieces);
    return phase_weight(stored(Position{{black, white}, 0}, DRAWN, NO_SCORE), settings);
  };
  EXPECT_FLOAT_EQ(weight_with(24), 1);
  EXPECT_FLOAT_EQ(weight_with(2), 5);
  EXPECT_FLOAT_EQ(weight_with(13), 3);
  settings.endgame_weight = 1;
  EXPECT_FLOAT_EQ(weight_with(2), 1);
}

// One position's features trained towards a win at the weight of a
// two-piece record and a loss at the weight of a full board's: the fit
// settles where the weighted pulls balance, on the endgame's side as soon as
// the endgame weighs more.
TEST(Targets, EndgameWeightPullsTheFitTowardsTheEndgameTarget) {
  std::mt19937 random(8);
  const Features f =
      extract_features(traintest::random_position(random, 0.5, false));  // not symmetric: a score can move
  const TrainingPosition two_pieces = stored(Position{{1u, 1u << 31}, 0}, BLACK_WINS, NO_SCORE);
  const TrainingPosition full_board = stored(start_position(), WHITE_WINS, NO_SCORE);
  for (double endgame_weight : {1.0, 3.0}) {
    TrainSettings settings;
    settings.batch = 2;
    settings.endgame_weight = endgame_weight;
    const float endgame = phase_weight(two_pieces, settings), opening = phase_weight(full_board, settings);
    std::vector<Sample> samples = {Sample{f, 1, 1, endgame}, Sample{f, 0, 0, opening}};
    auto model = std::make_unique<Model>();
    model->reset(BUILTIN_SCALARS);
    double rate = 100;  // file units: a fiftieth of a hundredth of a man
    for (int epoch = 0; epoch < 300; ++epoch, rate *= 0.97)
      model->train_epoch(samples, {0, 1}, settings, rate);
    double black_wins = logistic(model->score(f), settings.sigmoid_scale);
    EXPECT_NEAR(black_wins, endgame / (endgame + opening), 0.02) << endgame_weight;
  }
}

TEST(Schedule, RatesByEpochAndShareDone) {
  TrainSettings settings;
  settings.learning_rate = 8;
  settings.rate_decay = 0.5;
  settings.epochs = 4;
  struct Case {
    RateSchedule schedule;
    int epoch;
    double share_done, rate;
  };
  const Case cases[] = {
      {RateSchedule::EXPONENTIAL, 1, 0.0, 8}, {RateSchedule::EXPONENTIAL, 1, 0.9, 8},
      {RateSchedule::EXPONENTIAL, 3, 0.5, 2}, {RateSchedule::COSINE, 1, 0.0, 8},
      {RateSchedule::COSINE, 3, 0.0, 4},      {RateSchedule::COSINE, 2, 0.0, 8 * (1 + std::sqrt(0.5)) / 2},
      {RateSchedule::COSINE, 4, 1.0, 0},
  };
  for (const Case& c : cases) {
    settings.schedule = c.schedule;
    EXPECT_NEAR(scheduled_rate(settings, c.epoch, c.share_done), c.rate, 1e-9)
        << c.epoch << " " << c.share_done;
  }
}

// The step size is asked for at every batch, with the share of the epoch
// behind it, so a cosine run falls within epochs too.
TEST(Schedule, EveryBatchAsksForItsRate) {
  std::mt19937 random(4);
  std::vector<Sample> samples;
  for (int i = 0; i < 1000; ++i) {
    Position p = traintest::random_position(random, 0.5, false);
    samples.push_back(Sample{extract_features(p), 0.5f, 0.5f});
  }
  std::vector<uint32_t> order(samples.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = uint32_t(i);
  TrainSettings settings;
  settings.batch = 300;
  std::vector<double> asked;
  auto model = std::make_unique<Model>();
  model->train_epoch(samples, order, settings, [&](double share) {
    asked.push_back(share);
    return 1.0;
  });
  EXPECT_EQ(asked, (std::vector<double>{0, 0.3, 0.6, 0.9}));
}

}  // namespace
