#include <gtest/gtest.h>

#include "board/fen.h"
#include "game.h"

namespace {

using host::GameResult;

host::GameRecord from(const char* fen) {
  auto p = qb::parse_fen(fen);
  return host::GameRecord{p->position, p->side, {}};
}

void play(host::GameRecord& g, const char* text) {
  auto moves = host::legal_moves(g.position(), g.side_to_move());
  host::MoveMatch m = host::find_move(text, moves);
  ASSERT_EQ(m.status, host::MoveLookup::FOUND) << text;
  g.play(moves[m.index]);
}

TEST(GameRules, SideWithoutMovesLoses) {
  struct Case {
    const char* fen;
    GameResult result;
  } cases[] = {
      {"W:W:B1", GameResult::BLACK_WINS},     // White has no pieces
      {"B:W32:B28", GameResult::WHITE_WINS},  // the black man on 28 is blocked
      {"B:W21-32:B1-12", GameResult::ONGOING},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fen);
    EXPECT_EQ(host::rules_outcome(from(c.fen), 0).result, c.result);
  }
}

TEST(GameRules, ThirdOccurrenceDraws) {
  host::GameRecord g = from("B:WK32:BK1");
  const char* shuffle[] = {"1-5", "32-28", "5-1", "28-32"};
  for (const char* m : shuffle) play(g, m);
  EXPECT_EQ(host::occurrences(g), 2);
  EXPECT_FALSE(host::rules_outcome(g, 0).over());
  for (const char* m : shuffle) play(g, m);
  EXPECT_EQ(host::occurrences(g), 3);
  host::Outcome o = host::rules_outcome(g, 0);
  EXPECT_EQ(o.result, GameResult::DRAW);
  EXPECT_EQ(o.reason, "threefold repetition");
}

TEST(GameRules, MoveCapDraws) {
  host::GameRecord g = from("B:WK32:BK1");
  play(g, "1-5");
  play(g, "32-28");
  EXPECT_FALSE(host::rules_outcome(g, 3).over());
  EXPECT_EQ(host::rules_outcome(g, 2).result, GameResult::DRAW);
}

}  // namespace
