#include "elo.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace host {
namespace {
constexpr double Z_95 = 1.959963984540054;
}

double elo_from_score(double p) {
  if (p <= 0) return -std::numeric_limits<double>::infinity();
  if (p >= 1) return std::numeric_limits<double>::infinity();
  return -400.0 * std::log10(1.0 / p - 1.0);
}

EloEstimate elo_estimate(const MatchScore& s) {
  int n = s.games();
  if (n == 0) return {};
  double p = s.points() / n;
  // Variance of one game's score around the mean, then of the mean.
  double var = (s.wins * (1 - p) * (1 - p) + s.draws * (0.5 - p) * (0.5 - p) + s.losses * p * p) / n;
  double margin = Z_95 * std::sqrt(var / n);
  return {elo_from_score(p), elo_from_score(p - margin), elo_from_score(p + margin)};
}

std::string elo_text(double elo) {
  if (std::isinf(elo)) return elo > 0 ? "+inf" : "-inf";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%+.1f", elo + 0.0);  // no "-0.0" for an even score
  return buf;
}

}  // namespace host
