// The game logic behind the browser page: replaying a game sent as moves,
// and reading the engine's progress line apart.
#include <gtest/gtest.h>

#include "web_game.h"

namespace host::web {
namespace {

TEST(WebGame, ReplayRefusesWhatTheRulesDoNot) {
  struct Case {
    std::string fen;
    std::vector<std::string> moves;
    std::string error;  // empty: replays
  };
  const Case cases[] = {
      {"", {"11-15", "22-18", "15x22"}, ""},
      {"", {"11-15", "22-18", "15-19"}, "move 3 '15-19' is not a legal move for Black"},
      {"B:W6,15,30:B1,12", {"1x19"}, ""},
      {"B:W6,14,15:B1", {"1x19"}, ""},
      {"B:W33:B1", {}, "cannot read the position"},
      {"B:W1:B2", {}, "crowning row"},
      {"W:W30:B1", {"30-26", "1-5"}, ""},
      {"W:W5:B1", {"5-1"}, "comes after the game has ended"},  // White has no move
  };
  for (const Case& c : cases) {
    GameRecord game;
    std::string error;
    bool ok = replay_game(c.fen, c.moves, game, error);
    EXPECT_EQ(ok, c.error.empty()) << c.fen << ": " << error;
    if (!c.error.empty()) {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
  }
}

TEST(WebGame, StateListsLegalMovesWithTheirPaths) {
  GameRecord game;
  std::string error;
  ASSERT_TRUE(replay_game("B:W6,15,30:B1,12", {}, game, error));
  Json state = game_state(game);
  ASSERT_EQ(state["legal"].size(), 1u);
  EXPECT_EQ(state["legal"][0]["text"], "1x10x19");
  EXPECT_EQ(state["legal"][0]["squares"], Json({1, 10, 19}));
  EXPECT_EQ(state["positions"][0]["board"], "b----w-----b--w--------------w--");
}

TEST(WebGame, ProgressLinesAreReadApart) {
  auto p = parse_progress("value<-12,  depth 23/17.5/41,  2.6s,  7783 kN/s,  pv 4-8 27-23 9-14");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->bound, '<');
  EXPECT_EQ(p->value, -12);
  EXPECT_EQ(p->depth, 23);
  EXPECT_DOUBLE_EQ(p->seconds, 2.6);
  EXPECT_DOUBLE_EQ(p->knps, 7783);
  EXPECT_EQ(p->pv, "4-8 27-23 9-14");
  auto short_line = parse_progress("value=3,  depth 9/6.1/12,  0.0s,  900 kN/s,  ");
  ASSERT_TRUE(short_line);
  EXPECT_EQ(short_line->pv, "");
  for (const char* other :
       {"Thinking...", "22-17(2/7)*  24-20(4/9)*", "", "value=", "4-8 (black wins in 7)*"})
    EXPECT_FALSE(parse_progress(other)) << other;
}

}  // namespace
}  // namespace host::web
