#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/fen.h"
#include "interface/exports.h"
#include "interface/base/settings.h"
#include "search/game_history.h"
#include "search/result.h"

namespace {
using namespace qb;

Position pos(const char* fen) { return parse_fen(fen).value().position; }

// A king shuffle: black king 5-9-5, white king 28-24-28; the men on 12 and
// 21 never move. Four plies bring the placement back.
const Position SHUFFLE[4] = {pos("B:WK28,12:BK5,21"), pos("W:WK28,12:BK9,21"), pos("B:WK24,12:BK9,21"),
                             pos("W:WK24,12:BK5,21")};

// The result step as the drivers run it for a searched move.
int record_and_judge(const Position& out, Side side, int value, bool deep) {
  return finish_move(MoveDecision{out, value, deep}, side);
}

class History : public testing::Test {
 protected:
  void SetUp() override {
    game_history_clear();
    g_settings.play_to_end = 0;
    g_settings.drawpieces = 10;
  }
  void TearDown() override { game_history_clear(); }

  // Plays `plies` plies of the shuffle into the history, black first.
  static void play_shuffle(int plies) {
    for (int i = 0; i < plies; ++i) history_update(SHUFFLE[i % 4], Side(i % 2));
  }
  static size_t size() { return g_game.records.size(); }
};

TEST_F(History, RecordsLinkBackAndCountReversiblePlies) {
  play_shuffle(6);
  ASSERT_EQ(size(), 6u);
  for (size_t i = 0; i < size(); ++i) {
    EXPECT_EQ(g_game.records[i].reversible, int(i));
    EXPECT_EQ(g_game.records[i].parent, i ? &g_game.records[i - 1] : nullptr);
    EXPECT_EQ(g_game.records[i].side, int(i % 2));
  }
  EXPECT_EQ(history_last(), &g_game.records.back());
}

TEST_F(History, SameRequestTwiceChangesNothing) {
  play_shuffle(3);
  history_update(SHUFFLE[2], BLACK);
  EXPECT_EQ(size(), 3u);
}

TEST_F(History, TakebackRemovesOneRecord) {
  play_shuffle(4);  // ..., SHUFFLE[2] (black), SHUFFLE[3] (white)
  history_update(SHUFFLE[2], BLACK);
  ASSERT_EQ(size(), 3u);
  EXPECT_EQ(history_last()->position(), SHUFFLE[2]);
}

TEST_F(History, IrreversibleMovesAndNewPositionsStartOver) {
  struct Case {
    const char* what;
    Position next;
    Side side;
    size_t size_after;
    int draw_counter_after;
  };
  const Case cases[] = {
      {"a man moved", pos("W:WK28,12:BK5,25"), WHITE, 1, 4},
      {"a capture", pos("W:WK28:BK5,21"), WHITE, 1, 4},
      {"more pieces: a new game", pos("W:WK28,12,13:BK5,21"), WHITE, 1, 0},
      {"same side, another position", pos("B:WK32,12:BK5,21"), BLACK, 1, 0},
  };
  for (const Case& c : cases) {
    game_history_clear();
    play_shuffle(3);  // last: SHUFFLE[2], black to move
    history_update(SHUFFLE[3], WHITE);
    history_update(SHUFFLE[0], BLACK);
    g_game.draw_counter = 4;
    history_update(c.next, c.side);
    EXPECT_EQ(size(), c.size_after) << c.what;
    EXPECT_EQ(history_last()->reversible, 0) << c.what;
    EXPECT_EQ(g_game.draw_counter, c.draw_counter_after) << c.what;
  }
}

TEST_F(History, RepetitionCountLooksBackEvenPliesWithinTheReversibleCount) {
  play_shuffle(12);  // SHUFFLE[3] last, at plies 3, 7, 11
  EXPECT_EQ(repetition_count(*history_last()), 2);
  play_shuffle(0);
  game_history_clear();
  play_shuffle(4);
  EXPECT_EQ(repetition_count(*history_last()), 0);  // only 3 reversible plies
  history_update(SHUFFLE[0], BLACK);
  EXPECT_EQ(repetition_count(*history_last()), 1);
  EXPECT_TRUE(repeats_ancestor(*history_last()));
}

TEST_F(History, ResultCodesFromTheValue) {
  struct Case {
    int value;
    Side side;
    bool deep;
    int play_to_end;
    int code;
  };
  const Case cases[] = {
      {2001, BLACK, false, 0, QB_WIN},     {2001, WHITE, false, 0, QB_LOSS},
      {-2001, BLACK, false, 0, QB_LOSS},   {-2001, WHITE, false, 0, QB_WIN},
      {2000, BLACK, false, 0, QB_UNKNOWN}, {2001, BLACK, false, 1, QB_UNKNOWN},
      {3998, BLACK, false, 1, QB_WIN},     {-3998, WHITE, false, 1, QB_WIN},
      {200, BLACK, true, 0, QB_WIN},       {-200, BLACK, true, 0, QB_LOSS},
      {200, WHITE, true, 0, QB_LOSS},      {200, BLACK, false, 0, QB_UNKNOWN},
      {199, BLACK, true, 0, QB_UNKNOWN},   {-200, BLACK, false, 0, QB_UNKNOWN},
  };
  for (const Case& c : cases) {
    game_history_clear();
    g_settings.play_to_end = c.play_to_end;
    history_update(SHUFFLE[c.side == BLACK ? 0 : 1], c.side);
    Position out = SHUFFLE[c.side == BLACK ? 1 : 2];
    EXPECT_EQ(record_and_judge(out, c.side, c.value, c.deep), c.code) << c.value << " side " << c.side;
  }
}

TEST_F(History, TheResultStepRecordsTheMove) {
  history_update(SHUFFLE[0], BLACK);
  record_and_judge(SHUFFLE[1], BLACK, 0, false);
  ASSERT_EQ(size(), 2u);
  EXPECT_EQ(history_last()->position(), SHUFFLE[1]);
  EXPECT_EQ(history_last()->side, WHITE);
}

// The engine plays black; a black man steps along the first rows so that no
// position repeats, and the kings move in between.
std::vector<int> play_engine_moves(const std::vector<int>& values, bool deep) {
  std::vector<int> codes;
  for (size_t i = 0; i < values.size(); ++i) {
    std::string man = std::to_string(i + 1);
    history_update(pos(("B:WK28:B" + man + ",K20").c_str()), BLACK);
    codes.push_back(record_and_judge(pos(("W:WK28:B" + man + ",K16").c_str()), BLACK, values[i], deep));
  }
  return codes;
}

TEST_F(History, SixDeepDrawValuesWithFewPiecesDrawTheGame) {
  EXPECT_EQ(play_engine_moves({-1, 1, -3, 3, -1, 1}, true), (std::vector<int>{3, 3, 3, 3, 3, 0}));
}

TEST_F(History, ADecidedValueInBetweenStartsTheCountAgain) {
  EXPECT_EQ(play_engine_moves({-1, 1, 5, -3, 3, -1, 1, -1, 3}, true),
            (std::vector<int>{3, 3, 3, 3, 3, 3, 3, 3, 0}));
}

TEST_F(History, DrawValuesCountOnlyFromDeepSearchesAndFewPieces) {
  EXPECT_EQ(play_engine_moves({-1, 1, -3, 3, -1, 1}, false), (std::vector<int>{3, 3, 3, 3, 3, 3}));
  game_history_clear();
  g_settings.drawpieces = 2;  // three pieces on the board
  EXPECT_EQ(play_engine_moves({-1, 1, -3, 3, -1, 1}, true), (std::vector<int>{3, 3, 3, 3, 3, 3}));
}

TEST_F(History, AFourthOccurrenceIsADraw) {
  play_shuffle(15);  // SHUFFLE[2] last: black to move
  // SHUFFLE[3] stood at plies 3, 7 and 11.
  EXPECT_EQ(record_and_judge(SHUFFLE[3], BLACK, 40, false), QB_DRAW);
  game_history_clear();
  play_shuffle(11);
  EXPECT_EQ(record_and_judge(SHUFFLE[3], BLACK, 40, false), QB_UNKNOWN);
}

TEST(DrawValue, OnlySmallOddValues) {
  for (int v : {-3, -1, 1, 3}) EXPECT_TRUE(is_draw_value(v)) << v;
  for (int v : {-5, -4, -2, 0, 2, 4, 5, 201}) EXPECT_FALSE(is_draw_value(v)) << v;
}

}  // namespace
