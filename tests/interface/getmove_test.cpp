#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "board/fen.h"
#include "board/position.h"
#include "engine_state.h"
#include "interface/exports.h"
#include "interface/base/host_text.h"
#include "interface/base/stop.h"

namespace {

class Getmove : public testing::Test {
 protected:
  void SetUp() override { qbtest::reset_engine_state(); }

  // The position on a host board whose light squares hold junk, which the
  // engine must neither read nor touch.
  static void host_board(const qb::Position& p, int32_t board[8][8]) {
    for (int x = 0; x < 8; ++x)
      for (int y = 0; y < 8; ++y) board[x][y] = 40 + x * 8 + y;
    qb::to_host_board(p, board);
  }
  static qb::Position parse(const char* fen) {
    auto parsed = qb::parse_fen(fen);
    EXPECT_TRUE(parsed) << fen;
    return parsed ? parsed->position : qb::Position{};
  }
};

TEST_F(Getmove, ManOnItsCrowningRowIsRefusedWithTheBoardUntouched) {
  const char* illegal[] = {"B:W21:B30", "W:W2:B9", "B:W2,K30:B9,K1"};
  for (const char* fen : illegal) {
    SCOPED_TRACE(fen);
    int32_t board[8][8], before[8][8];
    host_board(parse(fen), board);
    std::memcpy(before, board, sizeof board);
    char str[qb::HOST_TEXT_SIZE] = "";
    int32_t playnow = 1;
    EXPECT_EQ(getmove(board, 0, 1.0, str, &playnow, 0, 0), QB_UNKNOWN);
    EXPECT_STREQ(str, "Illegal position.");
    EXPECT_EQ(std::memcmp(board, before, sizeof board), 0);
    EXPECT_EQ(playnow, 0);
  }
}

TEST_F(Getmove, KingsOnTheCrowningRowsPlay) {
  int32_t board[8][8];
  qb::Position p = parse("B:WK2,21:BK30,9");
  host_board(p, board);
  char str[qb::HOST_TEXT_SIZE] = "";
  int32_t playnow = 0;
  EXPECT_EQ(getmove(board, 0, 1.0, str, &playnow, 0, 0), QB_UNKNOWN);
  qb::Position after = qb::from_host_board(board);
  EXPECT_NE(after, p);
  EXPECT_EQ(after.white(), p.white());  // black moved
  EXPECT_EQ(board[1][0], 48);           // light squares untouched
}

TEST_F(Getmove, ColorOneIsWhite) {
  int32_t board[8][8];
  qb::Position p = qb::start_position();
  host_board(p, board);
  char str[qb::HOST_TEXT_SIZE] = "";
  int32_t playnow = 0;
  EXPECT_EQ(getmove(board, 1, 1.0, str, &playnow, 1, 0), QB_UNKNOWN);
  qb::Position after = qb::from_host_board(board);
  EXPECT_EQ(after.black(), p.black());
  EXPECT_NE(after.white(), p.white());
}

TEST_F(Getmove, NoMovesLosesWithTheBoardUnchanged) {
  int32_t board[8][8];
  qb::Position p = parse("B:W21:B");
  host_board(p, board);
  char str[qb::HOST_TEXT_SIZE] = "";
  int32_t playnow = 0;
  EXPECT_EQ(getmove(board, 0, 1.0, str, &playnow, 0, 0), QB_LOSS);
  EXPECT_STREQ(str, "No moves");
  EXPECT_EQ(qb::from_host_board(board), p);
}

TEST_F(Getmove, PlaynowIsClearedAndPublishedAsTheStopFlag) {
  int32_t board[8][8];
  host_board(qb::start_position(), board);
  char str[qb::HOST_TEXT_SIZE] = "";
  int32_t playnow = 1;
  EXPECT_EQ(getmove(board, 0, 1.0, str, &playnow, 0, 0), QB_UNKNOWN);
  EXPECT_EQ(playnow, 0);
  EXPECT_EQ(qb::g_stop_flag.load(), &playnow);
  EXPECT_FALSE(qb::stop_requested());
  playnow = 1;  // the host asks for a move now
  EXPECT_TRUE(qb::stop_requested());
  qb::set_stop_flag(0);
  EXPECT_EQ(playnow, 0);
}

TEST_F(Getmove, MissingStopFlagOrTextStillPlays) {
  int32_t board[8][8];
  host_board(qb::start_position(), board);
  EXPECT_EQ(getmove(board, 0, 1.0, nullptr, nullptr, 0, 0), QB_UNKNOWN);
  EXPECT_NE(qb::from_host_board(board), qb::start_position());
  EXPECT_EQ(getmove(nullptr, 0, 1.0, nullptr, nullptr, 0, 0), QB_UNKNOWN);
}

// A move time that is not a number or is negative means no time: the move
// ends by itself after the shortest search, without the host's stop flag.
// A watchdog stops a search that would run on, and the test then fails.
TEST_F(Getmove, UnusableMoveTimesStillEndTheMove) {
  const double times[] = {std::nan(""), -1.0, -HUGE_VAL};
  for (double maxtime : times) {
    SCOPED_TRACE(maxtime);
    int32_t board[8][8];
    host_board(parse("B:W18,21-23,25-32:B1-9,11,12,14"), board);
    char str[qb::HOST_TEXT_SIZE] = "";
    int32_t playnow = 0;
    std::atomic<bool> done{false}, watchdog_fired{false};
    std::thread watchdog([&] {
      for (int i = 0; i < 600 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (!done) {
        watchdog_fired = true;
        std::atomic_ref<int32_t>(playnow).store(1);
      }
    });
    EXPECT_EQ(getmove(board, 0, maxtime, str, &playnow, 0, 0), QB_UNKNOWN);
    done = true;
    watchdog.join();
    EXPECT_FALSE(watchdog_fired) << "the search ran until it was stopped";
  }
}

TEST_F(Getmove, StaticEvaluationNeverChangesALaterMove) {
  int32_t board[8][8], other[8][8];
  host_board(qb::start_position(), board);
  host_board(parse("B:W21:BK30,9"), other);
  char text[qb::HOST_TEXT_SIZE] = "";
  EXPECT_EQ(staticevaluation(other, 0, text), 1);
  EXPECT_STREQ(text, "This engine does not use static evaluation\n");
  char str[qb::HOST_TEXT_SIZE] = "";
  int32_t playnow = 0;
  EXPECT_EQ(getmove(board, 0, 1.0, str, &playnow, 0, 0), QB_UNKNOWN);
  EXPECT_EQ(qb::from_host_board(board).white(), qb::start_position().white());
}

}  // namespace
