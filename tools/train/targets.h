// What the trainer fits a stored position to, and how much it counts.
//
// A game's result says little about a position early in a long game; the
// value a deeper search gave it says more about the position itself. The
// target blends the two: (1 - blend) * result + blend * sigmoid(score /
// scale), on the same logistic link the model is scored through. Positions
// without a score, and those the databases proved, keep their result.
#pragma once

#include "train/model.h"
#include "train/training_data.h"

namespace qb::train {

constexpr int FULL_BOARD_PIECES = 24;
constexpr int FEWEST_PIECES = 2;

// The result from Black's side: 1 win, 0.5 draw, 0 loss.
float result_of(const TrainingPosition& t);
float training_target(const TrainingPosition& t, const TrainSettings& settings);
// 1 at FULL_BOARD_PIECES pieces, settings.endgame_weight at FEWEST_PIECES,
// linear between.
float phase_weight(const TrainingPosition& t, const TrainSettings& settings);

Sample training_sample(const TrainingPosition& t, const TrainSettings& settings);
// A held-out sample: scored against its result alone, so runs trained with
// different blends compare on the same footing.
Sample held_out_sample(const TrainingPosition& t);

}  // namespace qb::train
