#include <gtest/gtest.h>

#include "board/fen.h"
#include "notation.h"

namespace {

using host::MoveLookup;

struct Case {
  const char* fen;
  const char* input;
  MoveLookup status;
  const char* found;  // notation of the move found
};

// Black man on 2 can take 7 and 15 or 6 and 14, both ending on 18.
constexpr const char* TWO_ROUTES = "B:W6,7,14,15:B2";
// Black man on 1 takes 6 then 15.
constexpr const char* DOUBLE_JUMP = "B:W6,15,30:B1";
// White man on 22 must take 18; the man on 30 may not move.
constexpr const char* WHITE_TAKES = "W:W22,30:B18";

const Case CASES[] = {
    {"B:W21-32:B1-12", "11-15", MoveLookup::FOUND, "11-15"},
    {"B:W21-32:B1-12", " 11 - 15 ", MoveLookup::FOUND, "11-15"},
    {"B:W21-32:B1-12", "11-17", MoveLookup::ILLEGAL, ""},
    {"B:W21-32:B1-12", "22-18", MoveLookup::ILLEGAL, ""},
    {"B:W21-32:B1-12", "11-15-19", MoveLookup::ILLEGAL, ""},
    {"B:W21-32:B1-12", "hello", MoveLookup::NOT_A_MOVE, ""},
    {"B:W21-32:B1-12", "11", MoveLookup::NOT_A_MOVE, ""},
    {"B:W21-32:B1-12", "11-33", MoveLookup::NOT_A_MOVE, ""},
    {"B:W21-32:B1-12", "11/15", MoveLookup::NOT_A_MOVE, ""},
    {"B:W21-32:B1-12", "", MoveLookup::NOT_A_MOVE, ""},
    {WHITE_TAKES, "22x15", MoveLookup::FOUND, "22x15"},
    {WHITE_TAKES, "22-15", MoveLookup::FOUND, "22x15"},  // separator forgiven
    {WHITE_TAKES, "30-26", MoveLookup::ILLEGAL, ""},     // the capture is compulsory
    {DOUBLE_JUMP, "1x10x19", MoveLookup::FOUND, "1x10x19"},
    {DOUBLE_JUMP, "1x19", MoveLookup::FOUND, "1x10x19"},
    {DOUBLE_JUMP, "1x10", MoveLookup::ILLEGAL, ""},  // the jump must be finished
    {TWO_ROUTES, "2x18", MoveLookup::AMBIGUOUS, ""},
    {TWO_ROUTES, "2x9x18", MoveLookup::FOUND, "2x9x18"},
    {TWO_ROUTES, "2x11x18", MoveLookup::FOUND, "2x11x18"},
};

TEST(Notation, FindsTheMoveNamedByThePlayer) {
  for (const Case& c : CASES) {
    SCOPED_TRACE(std::string(c.fen) + " '" + c.input + "'");
    auto fen = qb::parse_fen(c.fen);
    ASSERT_TRUE(fen);
    std::vector<host::LegalMove> moves = host::legal_moves(fen->position, fen->side);
    host::MoveMatch m = host::find_move(c.input, moves);
    EXPECT_EQ(m.status, c.status);
    if (c.status == MoveLookup::FOUND) {
      ASSERT_GE(m.index, 0);
      EXPECT_EQ(host::move_notation(moves[m.index]), c.found);
    }
    if (c.status == MoveLookup::AMBIGUOUS) {
      EXPECT_EQ(m.candidates.size(), 2u);
    }
  }
}

TEST(Notation, ListsEveryLegalMoveWithItsWholePath) {
  auto start = qb::parse_fen("B:W21-32:B1-12");
  EXPECT_EQ(host::move_list_text(host::legal_moves(start->position, start->side)),
            "9-13 9-14 10-14 10-15 11-15 11-16 12-16");
  auto routes = qb::parse_fen(TWO_ROUTES);
  EXPECT_EQ(host::move_list_text(host::legal_moves(routes->position, routes->side)), "2x9x18 2x11x18");
}

// A king that jumps round a square of four men comes back to where it
// started: the engine's short move text cannot name it, the path can.
TEST(Notation, KingRoundTripKeepsItsPath) {
  auto fen = qb::parse_fen("B:W6,7,14,15:BK2");
  ASSERT_TRUE(fen);
  std::vector<host::LegalMove> moves = host::legal_moves(fen->position, fen->side);
  ASSERT_FALSE(moves.empty());
  for (const host::LegalMove& m : moves) {
    EXPECT_EQ(m.squares.front(), 2);
    EXPECT_EQ(m.squares.size(), 5u) << host::move_notation(m);
    EXPECT_EQ(m.after.white(), 0u);
  }
  host::MoveMatch m = host::find_move(host::move_notation(moves[0]), moves);
  EXPECT_EQ(m.status, MoveLookup::FOUND);
}

}  // namespace
