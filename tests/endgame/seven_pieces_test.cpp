// Classical seven-piece wins, past the databases the build makes: the engine
// plays both sides at a second a move, as a player meets it (the default
// win/loss/draw tables of 6 pieces, no distance tables), and the stronger
// side must win: trade down into the tables and then finish the game.
#include <gtest/gtest.h>

#include <string>

#include "board/fen.h"
#include "board/movegen.h"
#include "interface/startup.h"
#include "tables.h"

using namespace egtest;

namespace {

constexpr double SECONDS_A_MOVE = 1.0;
constexpr int MAX_PLIES = 160;

// Both are wins for Black in the 7-piece win/loss/draw tables built here.
struct Won {
  const char* name;
  const char* fen;  // the winner, Black, to move
};

const Won WINS[] = {
    {"four kings against three in the double corners", "B:WK1,K5,K28:BK14,K15,K18,K23"},
    {"three kings and a man against three kings", "B:WK1,K5,K32:BK10,K15,K22,13"},
};

class SevenPieces : public testing::TestWithParam<Won> {
 protected:
  void SetUp() override {
    qb::initialise_engine();
    const WldTables wld = largest_wld();
    if (wld.pieces < 6) GTEST_SKIP() << "no 6-piece default databases";
    DatabaseSetup setup{wld.dir, ""};
    setup.cache_mb = 1024;
    open_databases(setup);
  }
  void TearDown() override { close_all(); }
};

// Plies until the loser cannot move, -1 when the game was not over in time;
// `record` gets a line a ply, for the failure message.
int play_out(qb::Position p, qb::Side side, std::string& record) {
  for (int ply = 0; ply < MAX_PLIES; ++ply) {
    qb::MoveList moves;
    if (qb::generate_moves(p, moves, side) == 0) return side == qb::WHITE ? ply : -1;
    const Moved m = engine_move(p, side, ply == 0, SECONDS_A_MOVE);
    p = m.after;
    side = qb::opponent_of(side);
    record += std::to_string(ply) + " " + qb::position_text(p, side) + "  " + m.status + "\n";
  }
  return -1;
}

TEST_P(SevenPieces, TheStrongerSideWins) {
  qb::Side side;
  const qb::Position start = parse(GetParam().fen, &side);
  std::string record;
  EXPECT_GT(play_out(start, side, record), 0) << GetParam().name << "\n" << record;
}

INSTANTIATE_TEST_SUITE_P(Classical, SevenPieces, testing::ValuesIn(WINS));

}  // namespace
