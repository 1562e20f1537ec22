#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>

#include "random_positions.h"
#include "support/temp_env.h"
#include "train/data_split.h"
#include "train/features.h"
#include "train/model.h"
#include "train/selfplay_chunks.h"
#include "train/training_data.h"
#include "weights/weights_writer.h"

namespace {
using namespace qb;
using namespace qb::train;

std::vector<TrainingPosition> random_records(int count) {
  std::mt19937 random(3);
  std::vector<TrainingPosition> data;
  for (int i = 0; i < count; ++i) {
    Position p = traintest::random_position(random, 0.5, true);
    TrainingPosition t{p.black(),      p.white(),           p.kings,         uint8_t(i % 3),
                       uint8_t(i % 2), uint8_t(i % 5 == 0), uint8_t(i % 256)};
    if (i % 7 != 0) {
      t.score = int16_t(i * 13 % 4001 - 2000);
      t.depth = uint8_t(1 + i % 20);
    }
    data.push_back(t);
  }
  return data;
}

void write_bytes(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// The first version's file of the same positions: its header, then each
// record without score and depth.
std::string first_version_bytes(const std::vector<TrainingPosition>& data) {
  std::string bytes(FIRST_DATA_MAGIC, sizeof FIRST_DATA_MAGIC);
  for (const TrainingPosition& t : data) bytes.append(reinterpret_cast<const char*>(&t), FIRST_RECORD_SIZE);
  return bytes;
}

TEST(TrainingData, FileRoundTripKeepsEveryRecord) {
  std::vector<TrainingPosition> data = random_records(500);
  std::string path = qbtest::make_temp_dir("data") + "/positions.bin";
  ASSERT_TRUE(write_training_file(path, data, nullptr));
  std::vector<TrainingPosition> back = {TrainingPosition{}};  // reading appends
  ASSERT_TRUE(read_training_file(path, back, nullptr));
  ASSERT_EQ(back.size(), data.size() + 1);
  EXPECT_EQ(std::memcmp(back.data() + 1, data.data(), data.size() * sizeof data[0]), 0);
  EXPECT_TRUE(is_current_training_file(path));
}

TEST(TrainingData, FirstVersionFilesReadWithoutScores) {
  std::vector<TrainingPosition> data = random_records(300);
  std::string path = qbtest::make_temp_dir("first") + "/positions.bin";
  write_bytes(path, first_version_bytes(data));
  std::vector<TrainingPosition> back;
  ASSERT_TRUE(read_training_file(path, back, nullptr));
  ASSERT_EQ(back.size(), data.size());
  for (size_t i = 0; i < data.size(); ++i) {
    EXPECT_EQ(std::memcmp(&back[i], &data[i], FIRST_RECORD_SIZE), 0) << i;
    EXPECT_FALSE(has_score(back[i])) << i;
    EXPECT_EQ(back[i].depth, 0) << i;
  }
  EXPECT_FALSE(is_current_training_file(path));
}

TEST(TrainingData, DamagedFilesAreRefusedAndAddNothing) {
  std::string dir = qbtest::make_temp_dir("damaged") + "/";
  std::string header(DATA_MAGIC, sizeof DATA_MAGIC);
  std::string record(sizeof(TrainingPosition), '\0');
  record[17] = char(0x80);  // no score (the lowest 16-bit value), depth 0: a sound record
  std::string bad_result = record, score_without_depth = record, depth_without_score = record;
  bad_result[12] = 3;
  score_without_depth[16] = 5, score_without_depth[17] = 0;  // score 5 at depth 0
  depth_without_score[18] = 4;
  const std::pair<const char*, std::string> files[] = {
      {"magic.bin", "NOTTRAIN" + record},
      {"version.bin", "QBTRAIN3" + record},
      {"truncated.bin", header + record + "abc"},
      {"first_truncated.bin", first_version_bytes({TrainingPosition{}}) + "abcd"},
      {"result.bin", header + bad_result},
      {"score.bin", header + score_without_depth},
      {"depth.bin", header + depth_without_score},
      {"missing.bin", ""},
  };
  std::vector<TrainingPosition> sound;
  write_bytes(dir + "sound.bin", header + record);
  ASSERT_TRUE(read_training_file(dir + "sound.bin", sound, nullptr));  // the damage alone is refused
  for (const auto& [name, bytes] : files) {
    if (!bytes.empty()) write_bytes(dir + name, bytes);
    std::vector<TrainingPosition> out;
    std::string error;
    EXPECT_FALSE(read_training_file(dir + name, out, &error)) << name;
    EXPECT_TRUE(out.empty()) << name;
    EXPECT_NE(error.find(name), std::string::npos) << error;
  }
}

// A run left chunks by a selfplay of the first version: resuming it would
// join positions with and without scores into one file.
TEST(TrainingData, ResumeRefusesChunksOfTheFirstVersion) {
  std::string dir = qbtest::make_temp_dir("chunks") + "/";
  ChunkPlan plan{dir + "games.bin", 30, 10, "depth 2"};
  ASSERT_TRUE(write_training_file(plan.chunk_path(0), random_records(5), nullptr));
  std::string error;
  EXPECT_TRUE(start_or_resume(plan, error)) << error;
  write_bytes(plan.chunk_path(1), first_version_bytes(random_records(5)));
  EXPECT_FALSE(start_or_resume(plan, error));
  EXPECT_NE(error.find(plan.chunk_path(1)), std::string::npos) << error;
}

// With test files, they alone are held out, whole, and every data file is
// trained on; without, the end of each data file is.
TEST(TrainingData, TestFilesAreTheWholeHeldOutSet) {
  std::string dir = qbtest::make_temp_dir("split") + "/";
  std::vector<TrainingPosition> records = random_records(300);
  std::vector<TrainingPosition> data(records.begin(), records.begin() + 200),
      test(records.begin() + 200, records.end());
  ASSERT_TRUE(write_training_file(dir + "data.bin", data, nullptr));
  ASSERT_TRUE(write_training_file(dir + "test.bin", test, nullptr));
  auto same = [](const std::vector<TrainingPosition>& a, const std::vector<TrainingPosition>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0;
  };
  DataSplit with_test, without;
  ASSERT_TRUE(split_training_data({dir + "data.bin"}, {dir + "test.bin"}, 0.5, with_test, nullptr));
  EXPECT_TRUE(same(with_test.training, data));
  EXPECT_TRUE(same(with_test.held_out, test));
  ASSERT_TRUE(split_training_data({dir + "data.bin"}, {}, 0.5, without, nullptr));
  EXPECT_TRUE(same(without.training, std::vector<TrainingPosition>(data.begin(), data.begin() + 100)));
  EXPECT_TRUE(same(without.held_out, std::vector<TrainingPosition>(data.begin() + 100, data.end())));

  DataSplit both;
  std::string error;
  EXPECT_FALSE(split_training_data({dir + "data.bin"}, {dir + "./data.bin"}, 0, both, &error));
  EXPECT_NE(error.find("data.bin"), std::string::npos) << error;
}

// Black wins exactly when it holds square 1 and White does not hold 32: a
// rule the corner patterns can learn, invisible to the scalar terms.
TEST(Training, ShortRunLowersTrainingAndHeldOutLoss) {
  std::mt19937 random(9);
  std::vector<Sample> training, held_out;
  for (int i = 0; i < 12000; ++i) {
    Position p = traintest::random_position(random, 0.4, false);
    bool black_wins = (p.black() & 1u) && !(p.white() & 0x80000000u);
    float result = black_wins ? 1.0f : 0.0f;
    Sample s{extract_features(p), result, result};
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
    float result = black_wins ? 1.0f : 0.0f;
    samples.push_back(Sample{extract_features(p), result, result});
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
