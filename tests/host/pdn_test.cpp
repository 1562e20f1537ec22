#include <gtest/gtest.h>

#include "board/fen.h"
#include "pdn.h"

namespace {

using host::GameResult;

// A game of `plies` moves, always the last legal move, with comments that
// need cleaning: braces, line breaks, runs of spaces.
host::GameRecord sample_game(const char* fen, int plies) {
  auto start = qb::parse_fen(fen);
  host::GameRecord g{start->position, start->side, {}};
  for (int i = 0; i < plies; ++i) {
    auto moves = host::legal_moves(g.position(), g.side_to_move());
    if (moves.empty()) break;
    std::string comment = i % 3 == 0 ? "" : "value " + std::to_string(i) + " {pv\n 9-13}  depth";
    g.play(moves.back(), comment);
  }
  return g;
}

void expect_same(const host::PdnGame& a, const host::PdnGame& b) {
  EXPECT_EQ(a.record.start, b.record.start);
  EXPECT_EQ(a.record.start_side, b.record.start_side);
  ASSERT_EQ(a.record.moves.size(), b.record.moves.size());
  for (size_t i = 0; i < a.record.moves.size(); ++i) {
    EXPECT_EQ(a.record.moves[i].after, b.record.moves[i].after) << i;
    EXPECT_EQ(a.record.moves[i].text, b.record.moves[i].text) << i;
    EXPECT_EQ(host::clean_comment(a.record.moves[i].comment), b.record.moves[i].comment) << i;
  }
  EXPECT_EQ(a.result, b.result);
  for (const char* tag : {"Event", "Black", "White", "Termination"}) EXPECT_EQ(a.tag(tag), b.tag(tag));
}

TEST(Pdn, WrittenGamesReadBackUnchanged) {
  struct Case {
    const char* fen;
    int plies;
    GameResult result;
  } cases[] = {
      {"B:W21-32:B1-12", 80, GameResult::BLACK_WINS},
      {"W:W18,K27,31:B9,K14", 12, GameResult::DRAW},  // set-up position, White first
      {"B:W21-32:B1-12", 0, GameResult::ONGOING},
  };
  std::string all;
  std::vector<host::PdnGame> written;
  for (const auto& c : cases) {
    host::PdnGame g;
    g.record = sample_game(c.fen, c.plies);
    g.result = c.result;
    g.set_tag("Event", "Round \"trip\" \\ test");
    g.set_tag("Black", "Engine A");
    g.set_tag("White", "Engine B");
    g.set_tag("Result", "");
    g.set_tag("Termination", "White has no moves");
    std::string text = host::write_pdn(g);
    for (size_t line = 0, next; line < text.size(); line = next + 1) {
      next = text.find('\n', line);
      EXPECT_LE(next - line, 79u) << text.substr(line, next - line);
    }
    EXPECT_NE(text.find("[GameType \"21\"]"), std::string::npos);
    EXPECT_EQ(text.find("[FEN") != std::string::npos, std::string(c.fen) != "B:W21-32:B1-12");
    all += text;
    written.push_back(g);
  }
  std::vector<host::PdnGame> read;
  std::string error;
  ASSERT_TRUE(host::read_pdn(all, read, error)) << error;
  ASSERT_EQ(read.size(), written.size());
  for (size_t i = 0; i < read.size(); ++i) {
    SCOPED_TRACE(i);
    expect_same(written[i], read[i]);
    EXPECT_EQ(read[i].tag("Result"), host::result_text(written[i].result));
  }
}

TEST(Pdn, ReadsTheUsualVariants) {
  // Numbers glued to moves, glyphs, NAGs, a variation, a short multi-jump,
  // '-' for a capture and a result from the older 2-0 family.
  const char* text =
      "[Event \"x\"]\n[FEN \"B:W6,15,30:B1,12\"]\n\n"
      "1.1x19! {takes two} 30-26 2.12-16?! $1 (2. 19-23 26-22) 26-22 3. 19-23 22-17 2-0\n";
  std::vector<host::PdnGame> games;
  std::string error;
  ASSERT_TRUE(host::read_pdn(text, games, error)) << error;
  ASSERT_EQ(games.size(), 1u);
  const host::GameRecord& r = games[0].record;
  ASSERT_EQ(r.moves.size(), 6u);
  EXPECT_EQ(r.moves[0].text, "1x10x19");
  EXPECT_EQ(r.moves[0].comment, "takes two");
  EXPECT_EQ(r.moves[3].text, "26-22");
  EXPECT_EQ(games[0].result, GameResult::BLACK_WINS);
}

TEST(Pdn, RejectsBrokenGamesWithTheirPlace) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"1. 11-15 22-18 2. 15-19 *", "game 1: move 2: '15-19' is not legal"},
      {"[Event \"a\"]\n1. 9-13 *\n[Event \"b\"]\n1. 9-12 *", "game 2: move 1: '9-12' is not legal"},
      {"[FEN \"B:W1-40:B2\"]\n*", "game 1: cannot read the FEN tag 'B:W1-40:B2'"},
      {"[Event \"x\"\n1. 9-13", "game 1: tag without ']'"},
      {"1. 9-13 {never closed", "game 1: unterminated comment"},
  };
  for (const auto& c : cases) {
    std::vector<host::PdnGame> games;
    std::string error;
    EXPECT_FALSE(host::read_pdn(c.text, games, error)) << c.text;
    EXPECT_EQ(error, c.message);
  }
}

}  // namespace
