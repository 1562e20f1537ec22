// Random piece placements for the trainer's tests: not always reachable in a
// game, but the evaluation only needs disjoint masks and no man on its own
// crowning row.
#pragma once

#include <random>

#include "board/position.h"

namespace traintest {

// Each square is empty with probability 1 - fill, else a man or (when
// `kings`) sometimes a king of either colour.
inline qb::Position random_position(std::mt19937& random, double fill, bool kings) {
  std::uniform_real_distribution<double> u(0, 1);
  qb::Position p{{0, 0}, 0};
  for (int sq = 0; sq < 32; ++sq) {
    if (u(random) >= fill) continue;
    qb::Side side = u(random) < 0.5 ? qb::BLACK : qb::WHITE;
    uint32_t bit = 1u << sq;
    bool king = kings && u(random) < 0.3;
    if (!king && (bit & qb::CROWN_ROW[side])) continue;
    p.pieces[side] |= bit;
    if (king) p.kings |= bit;
  }
  return p;
}

}  // namespace traintest
