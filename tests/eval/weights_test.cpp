#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <random>

#include "eval/weights.h"
#include "interface/base/log.h"
#include "reference.h"
#include "support/temp_env.h"
#include "weights/weights_writer.h"

namespace {
using namespace qb;
namespace fs = std::filesystem;

class WeightsFiles : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = qbtest::make_temp_dir("weights") + "/";
    g_log_path = dir_ + "test.log";
    weights_ = std::make_unique<EvalWeights>();
    weights::make_baseline_weights(*weights_);
  }
  void TearDown() override { g_log_path.clear(); }

  void write() { ASSERT_TRUE(weights::write_weights_files(dir_, *weights_, nullptr)); }
  std::string log() const { return evaltest::read_text_file(g_log_path); }

  std::string dir_;
  std::unique_ptr<EvalWeights> weights_;
};

TEST(WeightScaling, ManValueRoundsHalvesAwayFromZero) {
  struct Case {
    WeightPair men;
    int man;
  } cases[] = {
      {{400, 400}, 8},  {{4800, 5600}, 100}, {{-400, -400}, -8}, {{50, 0}, 1},  // 0.75 rounds to 1
      {{-50, 0}, -1},   {{25, 25}, 1},  // exactly 0.5 goes away from zero
      {{-25, -25}, -1}, {{33, 0}, 0},   // 0.495
      {{-1, 3}, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(man_value(c.men), c.man) << c.men.og << "," << c.men.eg;
}

TEST(WeightScaling, ValuesScaleByHundredOverManAndSaturate) {
  WeightPair pairs[] = {{3, -3}, {1, -1}, {400, 400}, {3000, -3000}, {0, 2}};
  scale_weights(pairs, std::size(pairs), 8);  // factor 12.5
  EXPECT_EQ(pairs[0].og, 38);
  EXPECT_EQ(pairs[0].eg, -38);
  EXPECT_EQ(pairs[1].og, 13);  // 12.5 away from zero
  EXPECT_EQ(pairs[1].eg, -13);
  EXPECT_EQ(pairs[2].og, 5000);
  EXPECT_EQ(pairs[3].og, INT16_MAX);  // 37500 does not fit
  EXPECT_EQ(pairs[3].eg, INT16_MIN);
  EXPECT_EQ(pairs[4].eg, 25);
}

TEST(ProcessorTest, PextOnlyWithBmi2OnGenuineIntel) {
  struct Case {
    const char* vendor;
    bool bmi2, expected;
  } cases[] = {{"GenuineIntel", true, true},
               {"GenuineIntel", false, false},
               {"AuthenticAMD", true, false},
               {"", true, false}};
  for (const Case& c : cases) {
    platform::CpuInfo cpu{};
    std::strcpy(cpu.vendor, c.vendor);
    cpu.bmi2 = c.bmi2;
    EXPECT_EQ(pext_allowed(cpu), c.expected) << c.vendor << " " << c.bmi2;
  }
}

// The seed mix is the classic 96-bit mix of (golden + s, golden, 1).
TEST(DitherSeed, MatchesTheThreeWordMix) {
  for (uint32_t s : {0u, 1u, 12345u, 0x80000000u, 0xFFFFFFFFu}) {
    uint32_t a = 0x9E3779B9u + s, b = 0x9E3779B9u, c = 1;
    a -= b;
    a -= c;
    a ^= c >> 13;
    b -= c;
    b -= a;
    b ^= a << 8;
    c -= a;
    c -= b;
    c ^= b >> 13;
    a -= b;
    a -= c;
    a ^= c >> 12;
    b -= c;
    b -= a;
    b ^= a << 16;
    c -= a;
    c -= b;
    c ^= b >> 5;
    a -= b;
    a -= c;
    a ^= c >> 3;
    b -= c;
    b -= a;
    b ^= a << 10;
    c -= a;
    c -= b;
    c ^= b >> 15;
    EXPECT_EQ(mix_dither_seed(s), c) << s;
  }
}

TEST_F(WeightsFiles, RoundTripThroughWriterAndLoader) {
  std::mt19937 rng(7);
  evaltest::fill_random_weights(*weights_, rng);
  write();
  EXPECT_EQ(fs::file_size(dir_ + "weights_v3.bin"), 6250020u);
  EXPECT_EQ(fs::file_size(dir_ + "weights_nk_v3.bin"), 8503076u);
  ASSERT_TRUE(load_weights(dir_.c_str()));
  EXPECT_TRUE(g_weights_ready);
  EXPECT_EQ(std::memcmp(&g_weights, weights_.get(), sizeof g_weights), 0);
  bool pext = pext_allowed(platform::cpu_info());
  EXPECT_EQ(log(), std::string("using pext ") + (pext ? "1" : "0") + "\n");
  EXPECT_EQ(g_use_pext, pext);
}

TEST_F(WeightsFiles, LoadScalesEveryValueOfEachBlockByItsOwnMen) {
  weights_->kings.scalars[MEN] = {400, 400};
  weights_->kings.patterns[0][0] = {3, -3};
  weights_->kings.scalars[FIRST_KING] = {-3, 3};
  weights_->no_kings.scalars[MEN] = {4000, 8000};  // man value 100: unchanged
  weights_->no_kings.patterns[3][531440] = {3, -3};
  write();
  ASSERT_TRUE(load_weights(dir_.c_str()));
  EXPECT_EQ(g_weights.kings.patterns[0][0].og, 38);
  EXPECT_EQ(g_weights.kings.patterns[0][0].eg, -38);
  EXPECT_EQ(g_weights.kings.scalars[FIRST_KING].og, -38);
  EXPECT_EQ(g_weights.kings.scalars[MEN].og, 5000);
  EXPECT_EQ(g_weights.no_kings.patterns[3][531440].og, 3);
}

TEST_F(WeightsFiles, EmptyPrefixReadsFromTheCurrentDirectory) {
  write();
  fs::path before = fs::current_path();
  fs::current_path(dir_);
  bool loaded = load_weights("");
  fs::current_path(before);
  EXPECT_TRUE(loaded);
}

// Every unusable set of files leaves the engine on its built-in evaluation
// and says why in the log.
TEST_F(WeightsFiles, UnusableFilesAreRefusedAndLogged) {
  struct Case {
    const char* name;
    void (*spoil)(const std::string& dir, EvalWeights& w);
    const char* log_line;
  } cases[] = {
      {"no files", [](const std::string& dir, EvalWeights&) { fs::remove(dir + "weights_v3.bin"); },
       "Cannot open weights_v3.bin for reading *****************\n"},
      {"no no-kings file",
       [](const std::string& dir, EvalWeights&) { fs::remove(dir + "weights_nk_v3.bin"); },
       "Cannot open weights_nk_v3.bin for reading *****************\n"},
      {"short file",
       [](const std::string& dir, EvalWeights&) { fs::resize_file(dir + "weights_v3.bin", 6250000); },
       "weights_v3.bin holds 6250000 bytes, not 6250020 *****************\n"},
      {"men worth nothing",
       [](const std::string& dir, EvalWeights& w) {
         w.no_kings.scalars[MEN] = {1, 1};
         weights::write_weights_files(dir, w, nullptr);
       },
       "weights_nk_v3.bin: the men weights (1, 1) give a man no value *****************\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    weights::make_baseline_weights(*weights_);
    write();
    c.spoil(dir_, *weights_);
    fs::remove(g_log_path);
    EXPECT_FALSE(load_weights(dir_.c_str()));
    EXPECT_FALSE(g_weights_ready);
    EXPECT_EQ(log(), std::string(c.log_line) + "Evaluating by material only\n");
  }
}

TEST_F(WeightsFiles, BaselineLoadsWithTheBuiltInScalarsUnchanged) {
  write();
  ASSERT_TRUE(load_weights(dir_.c_str()));
  EXPECT_EQ(std::memcmp(g_weights.kings.scalars, BUILTIN_SCALARS, sizeof BUILTIN_SCALARS), 0);
  EXPECT_EQ(g_weights.kings.patterns[2][12345].og, 0);
}

}  // namespace
