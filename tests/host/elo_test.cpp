#include <gtest/gtest.h>

#include <cmath>

#include "elo.h"

namespace {

TEST(Elo, DifferenceAndInterval) {
  // Reference values computed independently from the logistic model:
  // Elo = -400 log10(1/p - 1), interval from p -+ 1.96 * sd(score)/sqrt(n).
  struct Case {
    host::MatchScore score;
    double elo, low, high;
  } cases[] = {
      {{60, 40, 0}, 70.437, 2.767, 143.909},
      {{10, 10, 80}, 0.0, -30.532, 30.532},
      {{30, 10, 60}, 70.437, 28.695, 114.297},
  };
  for (const auto& c : cases) {
    host::EloEstimate e = host::elo_estimate(c.score);
    EXPECT_NEAR(e.elo, c.elo, 0.002);
    EXPECT_NEAR(e.low, c.low, 0.002);
    EXPECT_NEAR(e.high, c.high, 0.002);
  }
}

TEST(Elo, CleanSweepsAndNoGames) {
  EXPECT_TRUE(std::isinf(host::elo_estimate({5, 0, 0}).elo));
  EXPECT_GT(host::elo_estimate({5, 0, 0}).elo, 0);
  EXPECT_LT(host::elo_estimate({0, 5, 0}).elo, 0);
  EXPECT_EQ(host::elo_estimate({0, 0, 0}).elo, 0);
  EXPECT_EQ(host::elo_text(host::elo_estimate({5, 0, 0}).elo), "+inf");
  EXPECT_EQ(host::elo_text(-0.0), "+0.0");
  EXPECT_EQ(host::elo_text(-12.34), "-12.3");
}

}  // namespace
