#include <gtest/gtest.h>

#include "time_control.h"

namespace {

TEST(TimeControl, IncrementalClockPacksIntoInfoAndMoreinfo) {
  struct Case {
    double remaining, increment;
    bool new_game;
    int info, moreinfo;
  } cases[] = {
      {1.0, 2.0, false, 1 << 2, 1000 << 16 | 2000},            // milliseconds
      {300.0, 0.0, true, 1 | 2 << 2, 30000 << 16},             // hundredths
      {1000.0, 0.5, false, 3 << 2, 10000 << 16 | 5},           // tenths
      {10000.0, 1.0, false, 3 << 2, int(0xFFFFu << 16 | 10)},  // clamped
      {-0.5, 0.1, false, 1 << 2, 100},                         // an overdrawn clock sends 0
      {0.0126, 0.0, false, 1 << 2, 12 << 16},                  // rounded down
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.remaining);
    host::TimeControl tc = *host::incremental_clock("60+" + std::to_string(c.increment));
    host::GetmoveTime t = host::encode_time(tc, c.remaining, c.new_game);
    EXPECT_EQ(t.info, c.info);
    EXPECT_EQ(t.moreinfo, c.moreinfo);
    EXPECT_GT(t.maxtime, 0);
  }
}

TEST(TimeControl, FixedTimeGoesInMaxtime) {
  host::TimeControl tc = *host::fixed_time("2.5");
  host::GetmoveTime t = host::encode_time(tc, 0, true);
  EXPECT_EQ(t.maxtime, 2.5);
  EXPECT_EQ(t.info, 1);
  EXPECT_EQ(t.moreinfo, 0);
  EXPECT_EQ(tc.text(), "2.5s/move");
}

TEST(TimeControl, ReadsOnlySensibleTimes) {
  EXPECT_EQ(host::incremental_clock("60+0.5")->text(), "60+0.5");
  for (const char* bad : {"60", "+1", "a+b", "60+", "0+1", "60+-1", "1e9+0"})
    EXPECT_FALSE(host::incremental_clock(bad)) << bad;
  for (const char* bad : {"", "0", "-1", "1s", "nan", "inf"}) EXPECT_FALSE(host::fixed_time(bad)) << bad;
}

}  // namespace
