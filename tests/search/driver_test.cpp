#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/bitops.h"
#include "interface/exports.h"
#include "interface/base/host_text.h"
#include "interface/base/settings.h"
#include "interface/base/stop.h"
#include "search/driver.h"
#include "search/game_history.h"
#include "search/report.h"
#include "search/search_state.h"
#include "search/time_control.h"
#include "search/tt.h"
#include "search_support.h"

namespace {
using namespace qb;
using namespace searchtest;

class Driver : public testing::Test {
 protected:
  void SetUp() override {
    game_history_clear();
    publish_stop_flag(nullptr);
    tt_free();
    g_settings.hashsize = 8;
    g_settings.play_to_end = 0;
    g_settings.allscores = 0;
  }
  void TearDown() override {
    publish_stop_flag(nullptr);
    game_history_clear();
  }

  int play(const char* text, double maxtime, Position& out, int info = 0) {
    FenPosition f = fen(text);
    return play_decision(search_driver(MoveRequest{f.position, f.side, maxtime, info, 0, status}), f.side,
                         &out);
  }
  char status[HOST_TEXT_SIZE] = "";
};

TEST_F(Driver, PlaysALegalMoveAndReportsTheLastIteration) {
  Position out;
  EXPECT_EQ(play("B:W21-32:B1-12", 0.05, out), QB_UNKNOWN);
  EXPECT_TRUE(is_successor(start_position(), BLACK, out));
  EXPECT_EQ(std::string(status).rfind("value=", 0), 0u) << status;
  EXPECT_NE(g_tt.buckets, nullptr);  // built on demand when getmove has not
}

TEST_F(Driver, NoMovesIsALoss) {
  Position out;
  EXPECT_EQ(play("W:W5:B1,K9", 1, out), QB_LOSS);
  EXPECT_STREQ(status, "No moves");
  EXPECT_EQ(out, fen("W:W5:B1,K9").position);
}

TEST_F(Driver, AForcedCaptureIsSearchedToDepthFiveOnly) {
  Position out;
  play("B:W25,32:B21,12", 60, out);  // one capture, then play goes on
  EXPECT_NE(std::string(status).find("depth 5/"), std::string::npos) << status;
  EXPECT_EQ(out, fen("W:W32:BK30,12").position);
}

TEST_F(Driver, TakingTheLastPieceWins) {
  Position out;
  EXPECT_EQ(play("B:W25:B21,12", 0.05, out), QB_WIN);
  EXPECT_EQ(pop_count(out.white()), 0);
  EXPECT_EQ(play("W:W26:B22", 0.05, out), QB_WIN);
  EXPECT_EQ(pop_count(out.black()), 0);
}

TEST_F(Driver, HostStopBeforeDepthFiveStillCompletesDepthThree) {
  int32_t playnow = 1;
  publish_stop_flag(&playnow);
  Position out;
  play("B:W21-32:B1-12", 100, out);
  EXPECT_NE(std::string(status).find("depth 3/"), std::string::npos) << status;
  EXPECT_EQ(playnow, 0);  // the driver clears the request when it is done
  EXPECT_TRUE(is_successor(start_position(), BLACK, out));
}

TEST_F(Driver, AllScoresSettingStillPlays) {
  Position out;
  FenPosition f = fen("W:W21-32:B1-12");
  EXPECT_EQ(
      play_decision(allscores_driver(MoveRequest{f.position, f.side, 0.05, 3 << 2, 0, status}), f.side, &out),
      QB_UNKNOWN);
  EXPECT_TRUE(is_successor(f.position, WHITE, out));
}

// A game of the engine against itself ends in a result. A budget of zero
// makes every move stop at the first clock check from depth 5 on, so the
// searches, and the game, are the same on every run.
TEST_F(Driver, SelfPlayEndsInAResult) {
  Position board = start_position();
  Side side = BLACK;
  int code = QB_UNKNOWN;
  int plies = 0;
  for (; plies < 400 && code == QB_UNKNOWN; ++plies) {
    Position out;
    code = play_decision(
        search_driver(MoveRequest{board, side, 0.0, plies == 0 ? INFO_NEW_GAME : 0, 0, status}), side, &out);
    ASSERT_TRUE(code == QB_LOSS || is_successor(board, side, out)) << plies;
    board = out;
    side = opponent_of(side);
  }
  EXPECT_NE(code, QB_UNKNOWN) << "no result after " << plies << " plies";
}

}  // namespace
