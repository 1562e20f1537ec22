#include "train/model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "eval/terms.h"

namespace qb::train {
namespace {

constexpr double ADAM_BETA1 = 0.9, ADAM_BETA2 = 0.999, ADAM_EPSILON = 1e-12;
constexpr int MAX_TOUCHES = 2 * PATTERNS_PER_BLOCK + SCALAR_COUNT;

double sigmoid(double x) { return 1 / (1 + std::exp(-x)); }

int16_t to_file_value(float v) { return int16_t(std::clamp<double>(std::lround(v), INT16_MIN, INT16_MAX)); }

}  // namespace

double scheduled_rate(const TrainSettings& settings, int epoch, double share_done) {
  if (settings.schedule == RateSchedule::COSINE) {
    double progress = (epoch - 1 + share_done) / settings.epochs;
    return settings.learning_rate * (1 + std::cos(std::numbers::pi * progress)) / 2;
  }
  // Multiplied out epoch by epoch, as runs before schedules existed did, so
  // that they are reproduced to the last bit.
  double rate = settings.learning_rate;
  for (int e = 1; e < epoch; ++e) rate *= settings.rate_decay;
  return rate;
}

Model::Model()
    : og_(MODEL_PAIRS),
      eg_(MODEL_PAIRS),
      grad_og_(MODEL_PAIRS),
      grad_eg_(MODEL_PAIRS),
      m_og_(MODEL_PAIRS),
      m_eg_(MODEL_PAIRS),
      v_og_(MODEL_PAIRS),
      v_eg_(MODEL_PAIRS),
      in_batch_(MODEL_PAIRS) {}

void Model::reset(const WeightPair (&scalars)[SCALAR_COUNT]) {
  for (auto* v : {&og_, &eg_, &grad_og_, &grad_eg_, &m_og_, &m_eg_, &v_og_, &v_eg_})
    std::fill(v->begin(), v->end(), 0.0f);
  for (int i = 0; i < SCALAR_COUNT; ++i) {
    og_[FIRST_SCALAR + i] = scalars[i].og;
    eg_[FIRST_SCALAR + i] = scalars[i].eg;
  }
  steps_ = 0;
}

int Model::touches(const Features& f, Touch* out) const {
  int n = 0;
  for (int k = 0; k < PATTERNS_PER_BLOCK; ++k) {
    out[n++] = Touch{uint32_t(pattern_pair(f.block, k, f.black_slot[k])), 1};
    out[n++] = Touch{uint32_t(pattern_pair(f.block, k, f.white_slot[k])), -1};
  }
  for (int i = 0; i < SCALAR_COUNT; ++i)
    if (f.scalar[i]) out[n++] = Touch{uint32_t(FIRST_SCALAR + i), f.scalar[i]};
  return n;
}

double Model::score(const Features& f) const {
  Touch t[MAX_TOUCHES];
  int n = touches(f, t);
  double og = 0, eg = 0;
  for (int i = 0; i < n; ++i) {
    og += double(og_[t[i].pair]) * t[i].times;
    eg += double(eg_[t[i].pair]) * t[i].times;
  }
  return (og * f.phase + eg * (MAX_PHASE - f.phase)) / BLEND_SCALE;
}

double Model::loss(const std::vector<Sample>& samples, double sigmoid_scale) const {
  double sum = 0;
  for (const Sample& s : samples) {
    double p = std::clamp(sigmoid(score(s.features) / sigmoid_scale), 1e-12, 1 - 1e-12);
    sum -= s.result * std::log(p) + (1 - s.result) * std::log(1 - p);
  }
  return samples.empty() ? 0 : sum / double(samples.size());
}

void Model::step(uint32_t pair, double learning_rate, double l2) {
  bool pattern = pair < FIRST_SCALAR;
  double correction1 = 1 - std::pow(ADAM_BETA1, steps_), correction2 = 1 - std::pow(ADAM_BETA2, steps_);
  // The pull towards 0 is applied beside the Adam step, not through the
  // gradient: Adam divides every gradient by its own running size, which
  // would shrink an L2 term added there to nothing.
  double pull = pattern ? learning_rate * l2 : 0.0;
  auto update = [&](float& w, float& g, float& m, float& v) {
    m = float(ADAM_BETA1 * m + (1 - ADAM_BETA1) * g);
    v = float(ADAM_BETA2 * v + (1 - ADAM_BETA2) * double(g) * g);
    w -= float(learning_rate * (m / correction1) / (std::sqrt(v / correction2) + ADAM_EPSILON) + pull * w);
    g = 0;
  };
  update(og_[pair], grad_og_[pair], m_og_[pair], v_og_[pair]);
  update(eg_[pair], grad_eg_[pair], m_eg_[pair], v_eg_[pair]);
}

void Model::train_epoch(const std::vector<Sample>& samples, const std::vector<uint32_t>& order,
                        const TrainSettings& settings, double learning_rate) {
  train_epoch(samples, order, settings, [learning_rate](double) { return learning_rate; });
}

void Model::train_epoch(const std::vector<Sample>& samples, const std::vector<uint32_t>& order,
                        const TrainSettings& settings, const std::function<double(double)>& rate) {
  for (std::size_t start = 0; start < order.size(); start += std::size_t(settings.batch)) {
    const double learning_rate = rate(double(start) / double(order.size()));
    std::size_t end = std::min(order.size(), start + std::size_t(settings.batch));
    for (std::size_t i = start; i < end; ++i) {
      const Sample& s = samples[order[i]];
      Touch t[MAX_TOUCHES];
      int n = touches(s.features, t);
      double og = 0, eg = 0;
      for (int j = 0; j < n; ++j) {
        og += double(og_[t[j].pair]) * t[j].times;
        eg += double(eg_[t[j].pair]) * t[j].times;
      }
      double phase = s.features.phase;
      double e = (og * phase + eg * (MAX_PHASE - phase)) / BLEND_SCALE;
      // d(loss)/d(score) for the logistic loss, then down to each weight.
      double d = s.weight * (sigmoid(e / settings.sigmoid_scale) - s.target) / settings.sigmoid_scale;
      double d_og = d * phase / BLEND_SCALE, d_eg = d * (MAX_PHASE - phase) / BLEND_SCALE;
      for (int j = 0; j < n; ++j) {
        uint32_t pair = t[j].pair;
        grad_og_[pair] += float(d_og * t[j].times);
        grad_eg_[pair] += float(d_eg * t[j].times);
        if (!in_batch_[pair]) {
          in_batch_[pair] = 1;
          touched_.push_back(pair);
        }
      }
    }
    ++steps_;
    for (uint32_t pair : touched_) {
      step(pair, learning_rate, settings.l2);
      in_batch_[pair] = 0;
    }
    touched_.clear();
  }
}

void Model::to_weights(EvalWeights& w) const {
  for (int k = 0; k < PATTERNS_PER_BLOCK; ++k) {
    for (int32_t i = 0; i < PATTERN_ENTRIES[KINGS_BLOCK]; ++i) {
      std::size_t at = pattern_pair(KINGS_BLOCK, k, i);
      w.kings.patterns[k][i] = WeightPair{to_file_value(og_[at]), to_file_value(eg_[at])};
    }
    for (int32_t i = 0; i < PATTERN_ENTRIES[NO_KINGS_BLOCK]; ++i) {
      std::size_t at = pattern_pair(NO_KINGS_BLOCK, k, i);
      w.no_kings.patterns[k][i] = WeightPair{to_file_value(og_[at]), to_file_value(eg_[at])};
    }
  }
  for (int i = 0; i < SCALAR_COUNT; ++i) {
    WeightPair pair{to_file_value(og_[FIRST_SCALAR + i]), to_file_value(eg_[FIRST_SCALAR + i])};
    w.kings.scalars[i] = pair;
    w.no_kings.scalars[i] = pair;
  }
}

}  // namespace qb::train
