#include <gtest/gtest.h>

#include <set>
#include <string>

#include "interface/base/stop.h"
#include "search/db_probe.h"
#include "search/game_history.h"
#include "search/search.h"
#include "search/search_root.h"
#include "search/search_state.h"
#include "search/tt.h"
#include "search_support.h"

namespace {
using namespace qb;
using namespace searchtest;

// Each side to move has one quiet move that wins a piece within a few plies
// (found by a plain material minimax); every other move keeps material level.
TEST(Search, FindsTheShotThatWinsMaterial) {
  struct Case {
    const char* fen;
    const char* move;
  };
  const Case cases[] = {
      {"B:W14,17,19,23,25,28-30,32:B1-7,12,16", "6-9"},
      {"W:W17,18,20,25,27,29-31:B4,5,7-9,11,12,16", "18-15"},
      {"W:W17,25,28-32:B2-4,8-10,18", "17-14"},
      {"B:W11,19,22,23,25,29-31:B2-6,9,14,21", "6-10"},
      {"B:W18-21,26,27,29,30,32:B1-5,7-10", "7-11"},
  };
  for (const Case& c : cases) {
    Searched s = search_to_depth(c.fen, 9);
    EXPECT_EQ(s.move, c.move) << c.fen;
    int mover_value = s.side == BLACK ? s.result.value : -s.result.value;
    EXPECT_GE(mover_value, 50) << c.fen;
    EXPECT_TRUE(is_successor(s.root, s.side, s.best));
  }
}

// Won king endings: the shortest win is found and its value carries the
// distance (4000 minus the ply at which the loser is left without a move).
// Reductions hide the longer win until the iterations go well past it.
TEST(Search, WinsKingEndingsWithTheMateDistance) {
  struct Case {
    const char* fen;
    int plies;
    std::set<std::string> moves;
    int depth;
  };
  const Case cases[] = {
      {"B:WK7:BK19,K32", 5, {"19-15"}, 9},
      {"B:WK17:B6,K8,K29", 5, {"29-25"}, 9},
      {"B:WK5:B2,K4,K14,K15", 5, {"14-9"}, 9},
      {"B:WK14:BK5,K7,K31", 7, {"31-26"}, 17},
  };
  for (const Case& c : cases) {
    Searched s = search_to_depth(c.fen, c.depth);
    EXPECT_EQ(s.result.value, MATE - c.plies) << c.fen;
    EXPECT_TRUE(c.moves.count(s.move)) << c.fen << " played " << s.move;
  }
}

TEST(Search, LosingSideSeesTheDistanceToo) {
  // White to move cannot escape: black's value stays a win with the distance.
  Searched s = search_to_depth("W:WK7:BK15,K32", 11);
  EXPECT_GT(s.result.value, 3901);
  EXPECT_LT(s.result.value, MATE);
}

TEST(Search, ReturnsALegalMoveEverywhere) {
  const char* fens[] = {"B:W21-32:B1-12", "W:W21-32:B1-12", "B:WK27:BK1,K5", "W:W18,29:B8,17,24",
                        "B:W25,26,30:B5,6,K15"};
  for (const char* f : fens) {
    Searched s = search_to_depth(f, 7);
    EXPECT_TRUE(is_successor(s.root, s.side, s.best)) << f;
    EXPECT_EQ(s.result.depth, 7) << f;
  }
}

// A node whose piece placement stood four plies earlier, with a reversible
// count that reaches back that far, is a repetition draw.
TEST(Search, KingShuffleRepetitionScoresMinusThree) {
  Position p0 = fen("B:WK28,12:BK5,21").position;
  Position p1 = fen("W:WK28,12:BK9,21").position;
  Position p2 = fen("B:WK24,12:BK9,21").position;
  Position p3 = fen("W:WK24,12:BK5,21").position;
  game_history_clear();
  tt_free();
  tt_allocate(1);
  prepare_search(p0, BLACK, NO_LIMIT);
  g_search.iteration_depth = 1;
  SearchNode n0 = *history_last();
  SearchNode n1 = make_child(n0, p1, false);
  SearchNode n2 = make_child(n1, p2, false);
  SearchNode n3 = make_child(n2, p3, false);
  SearchNode n4 = make_child(n3, p0, false);
  ASSERT_EQ(n4.reversible, 4);
  EXPECT_EQ(node_search(n4, 4, 16, -100, 100, true, 0), REPETITION_DRAW);
  EXPECT_EQ(capture_search(n4, 4, -100, 100, 0, 0), REPETITION_DRAW);
  // Below the first capture-search ply repetitions are not looked for.
  EXPECT_NE(capture_search(n4, 4, -100, 100, -8, 0), REPETITION_DRAW);
  // A man move in between resets the count: no repetition.
  SearchNode m4 = n4;
  m4.reversible = 3;
  EXPECT_NE(node_search(m4, 4, 16, -100, 100, true, 0), REPETITION_DRAW);
}

TEST(Search, NoPiecesOrNoMovesScoresThePly) {
  game_history_clear();
  tt_free();
  tt_allocate(1);
  Position start = start_position();
  prepare_search(start, BLACK, NO_LIMIT);
  g_search.iteration_depth = 1;
  SearchNode no_pieces = make_root(fen("W:W:B1,2").position, WHITE, nullptr);
  EXPECT_EQ(node_search(no_pieces, 3, 16, -10, 10, true, 0), 3 - MATE);
  EXPECT_EQ(capture_search(no_pieces, 3, -10, 10, 0, 0), 3 - MATE);
  // A white man on the edge, blocked by a black man, cannot move.
  SearchNode blocked = make_root(fen("W:W5:B1,K9").position, WHITE, nullptr);
  MoveList moves;
  ASSERT_EQ(generate_moves(blocked.position(), moves, WHITE), 0);
  EXPECT_EQ(node_search(blocked, 3, 16, -10, 10, true, 0), 3 - MATE);
}

TEST(Search, FailHighKeepsTheParityOfTheTrueScore) {
  // The database stand-in calls every quiet position drawn (-1, odd): a
  // fail-high over an even beta must come back odd, as beta + 1.
  g_search_db = SearchDatabase{32, 16, [](const Position&, Side, bool) { return int(DB_DRAW); }, nullptr};
  Searched s = search_to_depth("B:W21-32:B1-12", 5);
  g_search_db = SearchDatabase{};
  EXPECT_TRUE(s.result.value == 1 || s.result.value == -1) << s.result.value;
  EXPECT_GT(sum_thread_counters().db_probes, 0u);
}

TEST(Search, DatabaseWinsCutOffAtOnce) {
  // Black to move and winning by the stand-in whenever black has more pieces.
  g_search_db =
      SearchDatabase{32, 16,
                     [](const Position& p, Side side, bool) {
                       int diff = std::popcount(p.pieces[side]) - std::popcount(p.pieces[opponent_of(side)]);
                       return int(diff > 0 ? DB_WIN : diff < 0 ? DB_LOSS : DB_UNKNOWN);
                     },
                     [](const PieceSummary&, Side winner) { return winner == BLACK ? 2500 : -2500; }};
  Searched s = search_to_depth("B:W25,26,30:B5,6,9,K15", 7);
  g_search_db = SearchDatabase{};
  EXPECT_EQ(s.result.value, 2500);
}

TEST(Search, StopBeforeDepthFiveWaitsAndThenKeepsDepthThree) {
  FenPosition root = fen("B:W21-32:B1-12");
  int32_t playnow = 1;  // the host asks before the search even starts
  start_unhosted_searches(TABLE_MB);
  publish_stop_flag(&playnow);
  FixedDepthResult r =
      search_fixed_depth(FixedDepthRequest{.root = root.position, .side = root.side, .depth = DEPTH_CAP});
  EXPECT_EQ(r.depth, 3);
  EXPECT_EQ(playnow, 1);
  publish_stop_flag(nullptr);
  // The same search without the stop: depth 3 gives the same move and value.
  Searched again = search_to_depth("B:W21-32:B1-12", 3);
  EXPECT_EQ(r.best_index, again.result.best_index);
  EXPECT_EQ(r.value, again.result.value);
}

TEST(Search, HardLimitStopsTheSearchFromDepthFive) {
  FenPosition root = fen("B:W21-32:B1-12");
  int32_t playnow = 0;
  publish_stop_flag(&playnow);
  game_history_clear();
  tt_free();
  tt_allocate(4);
  const SearchNode& node = prepare_search(root.position, root.side, 0.0);  // already past the hard limit
  MoveList moves;
  int count = generate_moves(root.position, moves, root.side);
  DeepeningResult r = deepen(node, moves, count, DeepeningLimits{NO_LIMIT, NO_LIMIT, 96}, nullptr);
  EXPECT_EQ(playnow, 1);  // the main thread wrote the stop itself
  EXPECT_GE(r.depth, 3);
  EXPECT_LT(r.depth, 96);
  publish_stop_flag(nullptr);
}

}  // namespace
