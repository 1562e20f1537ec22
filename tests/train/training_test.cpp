#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>

#include "random_positions.h"
#include "support/temp_env.h"
#include "train/features.h"
#include "train/model.h"
#include "train/training_data.h"
#include "weights/weights_writer.h"

namespace {
using namespace qb;
using namespace qb::train;

TEST(TrainingData, FileRoundTripKeepsEveryRecord) {
  std::mt19937 random(3);
  std::vector<TrainingPosition> data;
  for (int i = 0; i < 500; ++i) {
    Position p = traintest::random_position(random, 0.5, true);
    data.push_back(TrainingPosition{p.black(), p.white(), p.kings, uint8_t(i % 3), uint8_t(i % 2),
                                    uint8_t(i % 5 == 0), uint8_t(i % 256)});
  }
  std::string path = qbtest::make_temp_dir("data") + "/positions.bin";
  ASSERT_TRUE(write_training_file(path, data, nullptr));
  std::vector<TrainingPosition> back = {TrainingPosition{}};  // reading appends
  ASSERT_TRUE(read_training_file(path, back, nullptr));
  ASSERT_EQ(back.size(), data.size() + 1);
  EXPECT_EQ(std::memcmp(back.data() + 1, data.data(), data.size() * sizeof data[0]), 0);
}

TEST(TrainingData, DamagedFilesAreRefusedAndAddNothing) {
  std::string dir = qbtest::make_temp_dir("damaged") + "/";
  std::vector<TrainingPosition> one = {TrainingPosition{1, 2, 0, DRAWN, 0, 0, 0}};
  ASSERT_TRUE(write_training_file(dir + "good.bin", one, nullptr));
  auto write_bytes = [&](const std::string& name, const std::string& bytes) {
    std::FILE* f = std::fopen((dir + name).c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  };
  std::string good(sizeof DATA_MAGIC, ' ');
  std::memcpy(good.data(), DATA_MAGIC, sizeof DATA_MAGIC);
  std::string record(16, '\0');
  std::string bad_result = record;
  bad_result[12] = 3;
  write_bytes("magic.bin", "NOTTRAIN" + record);
  write_bytes("truncated.bin", good + record + "abc");
  write_bytes("result.bin", good + bad_result);
  for (const char* name : {"magic.bin", "truncated.bin", "result.bin", "missing.bin"}) {
    std::vector<TrainingPosition> out;
    std::string error;
    EXPECT_FALSE(read_training_file(dir + name, out, &error)) << name;
    EXPECT_TRUE(out.empty()) << name;
    EXPECT_NE(error.find(name), std::string::npos) << error;
  }
}

// Black wins exactly when it holds square 1 and White does not hold 32: a
// rule the corner patterns can learn, invisible to the scalar terms.
TEST(Training, ShortRunLowersTrainingAndHeldOutLoss) {
  std::mt19937 random(9);
  std::vector<Sample> training, held_out;
  for (int i = 0; i < 12000; ++i) {
    Position p = traintest::random_position(random, 0.4, false);
    bool black_wins = (p.black() & 1u) && !(p.white() & 0x80000000u);
    Sample s{extract_features(p), black_wins ? 1.0f : 0.0f};
    (i % 10 == 0 ? held_out : training).push_back(s);
  }
  auto model = std::make_unique<Model>();
  model->reset(BUILTIN_SCALARS);
  TrainSettings settings;
  double before_training = model->loss(training, settings.sigmoid_scale);
  double before_held_out = model->loss(held_out, settings.sigmoid_scale);
  std::vector<uint32_t> order(training.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = uint32_t(i);
  settings.batch = 64;
  for (int epoch = 0; epoch < 3; ++epoch) model->train_epoch(training, order, settings, 100);
  EXPECT_LT(model->loss(training, settings.sigmoid_scale), before_training * 0.8);
  EXPECT_LT(model->loss(held_out, settings.sigmoid_scale), before_held_out * 0.8);
}

// The same rule, learned with and without the pull towards 0: the pull must
// leave the pattern tables smaller.
TEST(Training, L2PullKeepsPatternEntriesSmaller) {
  std::mt19937 random(11);
  std::vector<Sample> samples;
  for (int i = 0; i < 4000; ++i) {
    Position p = traintest::random_position(random, 0.4, false);
    bool black_wins = (p.black() & 1u) && !(p.white() & 0x80000000u);
    samples.push_back(Sample{extract_features(p), black_wins ? 1.0f : 0.0f});
  }
  std::vector<uint32_t> order(samples.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = uint32_t(i);
  auto pattern_mass = [&](double l2) {
    auto model = std::make_unique<Model>();
    model->reset(BUILTIN_SCALARS);
    TrainSettings settings;
    settings.batch = 64;
    settings.l2 = l2;
    for (int epoch = 0; epoch < 3; ++epoch) model->train_epoch(samples, order, settings, 20);
    auto w = std::make_unique<EvalWeights>();
    model->to_weights(*w);
    long mass = 0;
    for (const auto& table : w->no_kings.patterns)
      for (const WeightPair& pair : table) mass += std::abs(pair.og) + std::abs(pair.eg);
    return mass;
  };
  long free_mass = pattern_mass(0), pulled_mass = pattern_mass(1e-2);
  EXPECT_GT(free_mass, 0);
  EXPECT_LT(pulled_mass, free_mass * 0.8);
}

}  // namespace
