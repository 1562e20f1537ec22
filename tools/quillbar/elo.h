// Elo difference from a match score, with a 95% confidence interval drawn
// from the spread of the per-game scores.
#pragma once

#include <string>

namespace host {

struct MatchScore {
  int wins = 0, losses = 0, draws = 0;  // from the first engine's view

  int games() const { return wins + losses + draws; }
  double points() const { return wins + 0.5 * draws; }
};

struct EloEstimate {
  double elo = 0;  // +-infinity for a clean sweep
  double low = 0;  // 95% interval
  double high = 0;
};

EloEstimate elo_estimate(const MatchScore& score);

// Elo difference for an expected score p in [0, 1].
double elo_from_score(double p);

// "+12.3", "-4.0", "+inf".
std::string elo_text(double elo);

}  // namespace host
