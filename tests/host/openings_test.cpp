#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <tuple>

#include "game.h"
#include "openings.h"

namespace {

TEST(Openings, ShippedDeckHas156DistinctThreeMoveOpenings) {
  for (std::string path : {std::string(QB_SOURCE_DIR) + "/data/openings/three-move-deck.txt",
                           std::string(QB_BINARY_DIR) + "/openings/three-move-deck.txt"}) {
    SCOPED_TRACE(path);
    std::vector<host::Opening> deck;
    std::string error;
    ASSERT_TRUE(host::load_openings(path, deck, error)) << error;
    ASSERT_EQ(deck.size(), 156u);
    std::set<std::tuple<uint32_t, uint32_t, uint32_t>> positions;
    for (const host::Opening& o : deck) {
      ASSERT_EQ(o.notation.size(), 3u) << o.moves;
      host::GameRecord g = host::new_game();
      for (const std::string& m : o.notation) {
        auto moves = host::legal_moves(g.position(), g.side_to_move());
        host::MoveMatch found = host::find_move(m, moves);
        ASSERT_EQ(found.status, host::MoveLookup::FOUND);
        g.play(moves[found.index]);
      }
      qb::Position p = g.position();
      positions.insert({p.black(), p.white(), p.kings});
    }
    EXPECT_EQ(positions.size(), 156u);
    EXPECT_EQ(deck.front().moves, "9-13 21-17 5-9");
  }
}

TEST(Openings, ParsesCommentsBlankLinesAndLineEnds) {
  std::vector<host::Opening> deck;
  std::string error;
  ASSERT_TRUE(host::parse_openings("# deck\r\n\r\n  11-15   23-19 8-11\r\n9-13 22-17 13x22\n", deck, error))
      << error;
  ASSERT_EQ(deck.size(), 2u);
  EXPECT_EQ(deck[0].moves, "11-15 23-19 8-11");
  EXPECT_EQ(deck[1].notation[2], "13x22");
}

TEST(Openings, NamesTheBadLine) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"11-15 23-19\n11-15 23-18 15-18\n", "line 2: '15-18' is not a legal move there"},
      {"# nothing but comments\n", "no openings found"},
      {"9-13 22-17 9-14\n", "line 1: '9-14' is not a legal move there"},  // must capture
  };
  for (const auto& c : cases) {
    std::vector<host::Opening> deck;
    std::string error;
    EXPECT_FALSE(host::parse_openings(c.text, deck, error));
    EXPECT_EQ(error, c.error);
    EXPECT_TRUE(deck.empty());
  }
  std::vector<host::Opening> deck;
  std::string error;
  EXPECT_FALSE(host::load_openings("/no/such/deck.txt", deck, error));
  EXPECT_EQ(error, "cannot read /no/such/deck.txt");
}

}  // namespace
