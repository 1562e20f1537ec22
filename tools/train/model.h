// The evaluation as a trainable model: every pattern entry and scalar pair
// of both weights blocks in floating point, in the weights files' own unit,
// scored as the engine blends them (before its fixed scale, soft cap and
// rounding) and fitted to game results through a logistic link.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "eval/weights.h"
#include "train/features.h"

namespace qb::train {

constexpr std::size_t KINGS_PATTERN_ENTRIES = PATTERNS_PER_BLOCK * std::size_t(PATTERN_ENTRIES[KINGS_BLOCK]);
constexpr std::size_t NO_KINGS_PATTERN_ENTRIES =
    PATTERNS_PER_BLOCK * std::size_t(PATTERN_ENTRIES[NO_KINGS_BLOCK]);
constexpr std::size_t FIRST_SCALAR = KINGS_PATTERN_ENTRIES + NO_KINGS_PATTERN_ENTRIES;
constexpr std::size_t MODEL_PAIRS = FIRST_SCALAR + SCALAR_COUNT;

// Where pattern k's entry `slot` of a block sits in the model.
inline std::size_t pattern_pair(int block, int k, int32_t slot) {
  return block == KINGS_BLOCK
             ? std::size_t(k) * PATTERN_ENTRIES[KINGS_BLOCK] + std::size_t(slot)
             : KINGS_PATTERN_ENTRIES + std::size_t(k) * PATTERN_ENTRIES[NO_KINGS_BLOCK] + std::size_t(slot);
}

// How the step size falls over a run: by `rate_decay` each epoch, or along
// half a cosine from the first step's size to 0 at the end of the last epoch.
enum class RateSchedule { EXPONENTIAL, COSINE };

struct TrainSettings {
  double sigmoid_scale = 100;  // hundredths of a man per unit of logit
  double learning_rate = 4;    // file units per step, at the start
  double rate_decay = 0.75;    // per epoch
  // Each step a touched pattern entry moves by learning_rate * l2 of its
  // value towards 0. Off by default: on 1.5 million self-play positions any
  // pull raised the held-out loss (train and held-out loss stay close).
  double l2 = 0;
  int batch = 1024;
  int epochs = 8;
  RateSchedule schedule = RateSchedule::EXPONENTIAL;
  // The share of the search's score in a target, 0 to 1 (see targets.h).
  double blend = 0;
  // A position's share of the loss: 1 with every piece on the board, rising
  // linearly to this with two left.
  double endgame_weight = 1;
};

// One sample: the position's features, the game's result (1 Black wins, 0.5
// drawn, 0 White wins, or the databases' verdict), the target training pulls
// its score towards, and its share of the loss.
struct Sample {
  Features features;
  float result;
  float target;
  float weight = 1;
};

// The step size for the batches of `epoch` (1 to settings.epochs) once
// `share_done` (0 to below 1) of that epoch is behind them.
double scheduled_rate(const TrainSettings& settings, int epoch, double share_done);

class Model {
 public:
  Model();
  // Starts from the pattern-free weights with these scalar pairs.
  void reset(const WeightPair (&scalars)[SCALAR_COUNT]);

  // Black's score in hundredths of a man before the engine's scale and cap.
  double score(const Features& f) const;
  // Mean logistic loss against the results (the natural logarithm), every
  // sample counting once: whatever the targets and weights trained towards,
  // runs report on one footing.
  double loss(const std::vector<Sample>& samples, double sigmoid_scale) const;
  // One pass over the samples in the given order, with sparse Adam steps on
  // the weighted loss against the targets; each batch's step size is
  // `rate(share of the epoch done)`.
  void train_epoch(const std::vector<Sample>& samples, const std::vector<uint32_t>& order,
                   const TrainSettings& settings, const std::function<double(double)>& rate);
  void train_epoch(const std::vector<Sample>& samples, const std::vector<uint32_t>& order,
                   const TrainSettings& settings, double learning_rate);

  // Rounded to 16-bit file values; the no-kings block carries the kings
  // block's scalar pairs, so the engine scales both blocks alike.
  void to_weights(EvalWeights& w) const;

 private:
  struct Touch {
    uint32_t pair;
    int16_t times;  // +1 Black's copy, -1 White's, or a scalar's multiplier
  };
  int touches(const Features& f, Touch* out) const;
  void step(uint32_t pair, double learning_rate, double l2);

  std::vector<float> og_, eg_;                    // the weights
  std::vector<float> grad_og_, grad_eg_;          // this batch's gradient
  std::vector<float> m_og_, m_eg_, v_og_, v_eg_;  // Adam moments
  std::vector<uint8_t> in_batch_;
  std::vector<uint32_t> touched_;  // the pairs this batch moves
  uint32_t steps_ = 0;
};

}  // namespace qb::train
