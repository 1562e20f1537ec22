#include "train/targets.h"

#include <algorithm>
#include <cmath>

#include "board/bitops.h"
#include "train/features.h"

namespace qb::train {

float result_of(const TrainingPosition& t) { return float(t.result) / 2; }

float training_target(const TrainingPosition& t, const TrainSettings& settings) {
  if (settings.blend == 0 || t.exact || !has_score(t)) return result_of(t);
  double searched = 1 / (1 + std::exp(-t.score / settings.sigmoid_scale));
  return float((1 - settings.blend) * result_of(t) + settings.blend * searched);
}

float phase_weight(const TrainingPosition& t, const TrainSettings& settings) {
  int pieces = std::clamp(pop_count(t.black | t.white), FEWEST_PIECES, FULL_BOARD_PIECES);
  double emptied = double(FULL_BOARD_PIECES - pieces) / (FULL_BOARD_PIECES - FEWEST_PIECES);
  return float(1 + (settings.endgame_weight - 1) * emptied);
}

Sample training_sample(const TrainingPosition& t, const TrainSettings& settings) {
  return Sample{extract_features(position_of(t)), result_of(t), training_target(t, settings),
                phase_weight(t, settings)};
}

Sample held_out_sample(const TrainingPosition& t) {
  float result = result_of(t);
  return Sample{extract_features(position_of(t)), result, result, 1};
}

}  // namespace qb::train
