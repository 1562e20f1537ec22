#include <gtest/gtest.h>

#include <cmath>

#include "search/time_control.h"

namespace {
using namespace qb;

int incremental(int unit_code, int extra_bits = 0) { return unit_code << INFO_TIME_UNIT_SHIFT | extra_bits; }
int fields(int remaining, int increment) { return remaining << 16 | increment; }

TEST(TimeLimits, FollowTheBudgetRules) {
  struct Case {
    const char* what;
    double base_before;
    double maxtime;
    int info, moreinfo;
    double hard, more_time, stop;
  };
  const Case cases[] = {
      {"fixed 10 s", 1.0, 10, 0, 0, 30, 4.8, 7.5},
      {"fixed 10 s, exact", 1.0, 10, INFO_EXACT_TIME, 0, 10, 4.8, 7.5},
      {"6 s left, no increment, base 60", 60, 99, incremental(3), fields(60, 0), 0.897, 0.288, 0.45},
      {"increment above the remaining time", 60, 99, incremental(1), fields(1000, 2000), 0.997, 0.32, 0.5},
      {"10 s left of 300: N = 11", 300, 0, incremental(2), fields(1000, 0), 10.0 / 11 * 1.5 - 0.003,
       10.0 / 11 * 0.48, 10.0 / 11 * 0.75},
      {"q > 50: N = 10", 300, 0, incremental(3), fields(1000, 50), (95.0 / 10 + 5 / 1.2) * 1.5 - 0.003,
       (95.0 / 10 + 5 / 1.2) * 0.48, (95.0 / 10 + 5 / 1.2) * 0.75},
      {"q > 20: N = 9", 300, 0, incremental(3), fields(1000, 100), (90.0 / 9 + 10 / 1.2) * 1.5 - 0.003,
       (90.0 / 9 + 10 / 1.2) * 0.48, (90.0 / 9 + 10 / 1.2) * 0.75},
      {"q > 10: N = 7", 300, 0, incremental(3), fields(1000, 200), (80.0 / 7 + 20 / 1.2) * 1.5 - 0.003,
       (80.0 / 7 + 20 / 1.2) * 0.48, (80.0 / 7 + 20 / 1.2) * 0.75},
      {"q > 5: N = 5", 300, 0, incremental(3), fields(1000, 500), (50.0 / 5 + 50 / 1.2) * 1.5 - 0.003,
       (50.0 / 5 + 50 / 1.2) * 0.48, (50.0 / 5 + 50 / 1.2) * 0.75},
      {"q <= 5: N = 3.5", 300, 0, incremental(3), fields(1000, 600), (40.0 / 3.5 + 60 / 1.2) * 1.5 - 0.003,
       (40.0 / 3.5 + 60 / 1.2) * 0.48, (40.0 / 3.5 + 60 / 1.2) * 0.75},
      {"the budget never exceeds the clock", 1.0, 0, incremental(3), fields(20, 19), 2 - 0.003, 0.64, 1.0},
      {"hard limit at least 0.01 s", 60, 0, incremental(1), fields(5, 0), 0.01, 0.005 / 11 * 0.48,
       0.005 / 11 * 0.75},
  };
  for (const Case& c : cases) {
    g_time_base = c.base_before;
    TimeLimits t = time_limits(c.maxtime, c.info, c.moreinfo);
    EXPECT_NEAR(t.hard, c.hard, 1e-9) << c.what;
    EXPECT_NEAR(t.more_time, c.more_time, 1e-9) << c.what;
    EXPECT_NEAR(t.stop, c.stop, 1e-9) << c.what;
  }
}

// A host's time that is not a number, negative or infinite must still give
// limits that end the move by themselves.
TEST(TimeLimits, UnusableTimesGiveBoundedLimits) {
  struct Case {
    const char* what;
    double maxtime;
    double bounded;
  };
  const Case cases[] = {
      {"not a number", std::nan(""), 0},
      {"negative", -5, 0},
      {"minus infinity", -HUGE_VAL, 0},
      {"infinite", HUGE_VAL, MAX_MOVE_SECONDS},
      {"beyond any game", 1e300, MAX_MOVE_SECONDS},
      {"ordinary", 2.5, 2.5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(bounded_move_time(c.maxtime), c.bounded) << c.what;
    for (int info : {0, int(INFO_EXACT_TIME)}) {
      TimeLimits t = time_limits(c.maxtime, info, 0);
      EXPECT_TRUE(std::isfinite(t.hard) && t.hard <= 3 * MAX_MOVE_SECONDS) << c.what << " " << t.hard;
      EXPECT_TRUE(std::isfinite(t.stop) && t.stop <= t.hard) << c.what;
      EXPECT_TRUE(std::isfinite(t.more_time) && t.more_time <= t.stop) << c.what;
    }
  }
}

TEST(TimeLimits, NewGameSetsTheTimeBase) {
  g_time_base = 1.0;
  time_limits(0, incremental(3, INFO_NEW_GAME), fields(3000, 0));
  EXPECT_DOUBLE_EQ(g_time_base, 300);
  // Later moves use it: 10 s of 300 s left budgets for 11 moves.
  TimeLimits t = time_limits(0, incremental(3), fields(100, 0));
  EXPECT_NEAR(t.stop, 10.0 / 11 * 0.75, 1e-9);
  EXPECT_DOUBLE_EQ(g_time_base, 300);
  // Fixed time leaves it alone, new game or not.
  time_limits(5, INFO_NEW_GAME, 0);
  EXPECT_DOUBLE_EQ(g_time_base, 300);
}

TEST(TimeLimits, DecodesTheClockFields) {
  ClockInfo c = decode_time(incremental(2), int(0xFFFF0001u));
  EXPECT_TRUE(c.incremental);
  EXPECT_NEAR(c.increment, 0.01, 1e-12);
  EXPECT_NEAR(c.remaining, 655.35, 1e-9);
  EXPECT_FALSE(decode_time(INFO_NEW_GAME | INFO_EXACT_TIME, 12345).incremental);
}

TEST(MoveClock, ElapsedIsNeverZero) {
  start_move_clock();
  EXPECT_GE(elapsed_ms(), 1);
}

}  // namespace
