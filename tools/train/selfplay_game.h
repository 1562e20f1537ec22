// One self-play game between two copies of the engine in this process, at a
// fixed search depth per move, keeping its quiet positions for training.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "board/position.h"
#include "train/training_data.h"

namespace qb::train {

// A proven value for a position, when one is known: the endgame databases.
// Returns false when the position is not covered; otherwise sets `result`
// (Black's side). A game ends at its first covered quiet position, with that
// verdict as its result.
using ExactLabel = bool (*)(const Position& p, Side side, Result& result);

struct SelfPlaySettings {
  int depth = 6;         // plies searched per move
  int random_plies = 4;  // after the opening, up to this many random moves
  // A game reaching max_plies, or quiet_draw_plies without a man move or a
  // capture, or a third repetition, is adjudicated by the count of pieces.
  int max_plies = 300;
  int quiet_draw_plies = 60;
  int decisive_score = 300;  // a score this large (Black's view) ...
  int decisive_plies = 6;    // ... for this many plies in a row ends the game
  ExactLabel exact_label = nullptr;
};

// Plays from `start` (Black or White to move as `side`) and appends the game's
// quiet positions, those where neither side can capture, each labelled with
// the result and the value the search that chose its move gave it.
Result play_selfplay_game(const Position& start, Side side, const SelfPlaySettings& settings,
                          std::mt19937& random, std::vector<TrainingPosition>& out);

}  // namespace qb::train
