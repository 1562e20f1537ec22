#include <gtest/gtest.h>

#include <random>

#include "board/bitops.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "board/position.h"
#include "interface/base/stop.h"
#include "search/tt.h"
#include "train/selfplay_game.h"

namespace {
using namespace qb;
using namespace qb::train;

constexpr int COVERED_PIECES = 22;  // after the first exchange

// Stands in for the databases: every position with few enough pieces is
// "proven" a White win, whatever the board says.
int legal_move_count(const Position& p, Side side) {
  MoveList moves;
  return generate_moves(p, moves, side);
}

bool white_wins_when_covered(const Position& p, Side, Result& result) {
  if (pop_count(p.occupied()) > COVERED_PIECES) return false;
  result = WHITE_WINS;
  return true;
}

TEST(SelfPlay, GameEndsAtTheFirstProvenPositionWithItsVerdict) {
  publish_stop_flag(nullptr);
  tt_free();
  tt_allocate(4);
  SelfPlaySettings settings;
  settings.depth = 2;
  settings.random_plies = 0;
  settings.exact_label = white_wins_when_covered;
  std::mt19937 random(5);
  std::vector<TrainingPosition> out;
  EXPECT_EQ(play_selfplay_game(start_position(), BLACK, settings, random, out), WHITE_WINS);

  ASSERT_GE(out.size(), 2u);
  const TrainingPosition& last = out.back();
  EXPECT_EQ(last.exact, 1);
  EXPECT_FALSE(has_score(last));  // the game ended there, unsearched
  EXPECT_LE(pop_count(position_of(last).occupied()), COVERED_PIECES);
  int scored = 0;
  for (std::size_t i = 0; i + 1 < out.size(); ++i) {
    EXPECT_EQ(out[i].exact, 0) << i;
    // Searched positions carry the search's value and depth; a lone move
    // is played unsearched and carries neither.
    if (has_score(out[i])) {
      ++scored;
      EXPECT_GE(out[i].depth, 1) << i;
      EXPECT_LE(out[i].depth, settings.depth) << i;
    } else {
      EXPECT_EQ(out[i].depth, 0) << i;
      EXPECT_EQ(legal_move_count(position_of(out[i]), Side(out[i].side)), 1) << i;
    }
    EXPECT_EQ(out[i].result, WHITE_WINS) << i;  // the proven end labels the whole game
    EXPECT_GT(pop_count(position_of(out[i]).occupied()), COVERED_PIECES) << i;
  }
  EXPECT_GT(scored, 0);
}

}  // namespace
