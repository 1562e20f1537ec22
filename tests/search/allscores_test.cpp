#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "board/movetext.h"
#include "interface/exports.h"
#include "interface/base/host_text.h"
#include "interface/base/settings.h"
#include "search/allscores.h"
#include "search/driver.h"
#include "search/game_history.h"
#include "search/search_root.h"
#include "fake_move_search.h"
#include "search_support.h"

namespace {
using namespace qb;
using namespace searchtest;

class AllScores : public testing::Test {
 protected:
  void SetUp() override {
    game_history_clear();
    publish_stop_flag(nullptr);
    tt_free();
    g_settings.hashsize = 8;
  }
  void TearDown() override {
    publish_stop_flag(nullptr);
    game_history_clear();
  }

  // Three moves of the start position valued by `values`, deepened to `cap`.
  IterationReport run(int (*values)(int, int), int cap) {
    const SearchNode& root = prepare_search(start_position(), BLACK, NO_LIMIT);
    FakeMoveSearch::reset(values);
    roots = FakeMoveSearch::roots_of(root, 3);
    return all_scores_iterations(roots, start_position(), cap, NO_LIMIT, status, FakeMoveSearch::search);
  }
  std::string text_of(int index) const {
    char buf[MOVE_TEXT_SIZE];
    MoveList moves;
    generate_moves(start_position(), moves, BLACK);
    return move_text(buf, start_position(), moves.moves[index]);
  }
  // How many moves were searched at this depth (each may take several passes).
  static int moves_searched_at(int depth) {
    std::set<int> moves;
    for (auto [index, d] : FakeMoveSearch::calls)
      if (d == depth) moves.insert(index);
    return int(moves.size());
  }

  RootMoves roots;
  char status[HOST_TEXT_SIZE] = "";
};

// Moves 0 and 2 end level at 10 after move 2 led at depth 1: it stays ahead
// of move 0, both ahead of the -5 move, and it is the one to play.
TEST_F(AllScores, EqualValuesKeepTheirPreviousOrder) {
  IterationReport r =
      run([](int index, int depth) { return index == 1                 ? -5
                                            : depth == 1 && index == 2 ? 12
                                                                       : 10; }, 4);
  EXPECT_EQ(r.depth, 4);
  EXPECT_EQ(indices(roots), (std::vector<int>{2, 0, 1}));
  EXPECT_EQ(values(roots), (std::vector<int>{10, 10, -5}));
  std::string list = text_of(2) + ",10  " + text_of(0) + ",10  " + text_of(1) + ",-5  ";
  EXPECT_EQ(r.list, list);
  std::string shown = status;
  EXPECT_EQ(shown.rfind("depth 4,  ", 0), 0u) << shown;
  EXPECT_TRUE(shown.ends_with("s,  " + list)) << shown;
  for (int d = 1; d <= 4; ++d) EXPECT_EQ(moves_searched_at(d), 3) << d;  // every move, every depth
}

TEST_F(AllScores, WhiteWantsTheLowestValueFirst) {
  const SearchNode& root = prepare_search(start_position(), WHITE, NO_LIMIT);
  FakeMoveSearch::reset([](int index, int) { return 10 * index; });
  roots = FakeMoveSearch::roots_of(root, 3);
  all_scores_iterations(roots, start_position(), 2, NO_LIMIT, status, FakeMoveSearch::search);
  EXPECT_EQ(indices(roots), (std::vector<int>{0, 1, 2}));
}

// Values 100 x index + depth: a stop is honoured from depth 5 on, and then
// every move gets back its value of the last completed iteration.
TEST_F(AllScores, AStopRestoresTheLastCompletedIteration) {
  struct Case {
    int stop_depth, stop_index;
    int completed;
    int searched_when_stopped;
  };
  for (Case c : {Case{6, 1, 5, 2}, Case{3, 0, 4, 1}, Case{7, 2, 6, 1}}) {
    SCOPED_TRACE(c.stop_depth);
    const SearchNode& root = prepare_search(start_position(), BLACK, NO_LIMIT);
    FakeMoveSearch::reset([](int index, int depth) { return 100 * index + depth; });
    FakeMoveSearch::stop_depth = c.stop_depth;
    FakeMoveSearch::stop_index = c.stop_index;
    roots = FakeMoveSearch::roots_of(root, 3);
    IterationReport r =
        all_scores_iterations(roots, start_position(), 20, NO_LIMIT, status, FakeMoveSearch::search);
    EXPECT_EQ(r.depth, c.completed);
    EXPECT_EQ(values(roots), (std::vector<int>{200 + c.completed, 100 + c.completed, c.completed}));
    EXPECT_EQ(std::string(status).rfind("depth " + std::to_string(c.completed) + ",", 0), 0u) << status;
    EXPECT_EQ(moves_searched_at(c.completed + 1), c.searched_when_stopped);
  }
}

// The real driver: every move listed best first, and the first one played.
TEST_F(AllScores, DriverPlaysTheFirstMoveOfItsList) {
  FenPosition f = fen("B:W23,31:B1,14");
  Position out;
  EXPECT_EQ(
      play_decision(allscores_driver(MoveRequest{f.position, f.side, 0.05, 0, 0, status}), f.side, &out),
      QB_UNKNOWN);
  std::istringstream words(status);
  std::string word, first;
  words >> word >> word >> word;  // "depth", "N,", "T.Ts,"
  EXPECT_TRUE(word.ends_with("s,")) << status;
  std::vector<int> listed;
  while (words >> word && word != "pv") {
    std::size_t comma = word.find(',');
    ASSERT_NE(comma, std::string::npos) << status;
    if (first.empty()) first = word.substr(0, comma);
    listed.push_back(std::stoi(word.substr(comma + 1)));
  }
  EXPECT_EQ(listed.size(), 4u) << status;
  EXPECT_TRUE(std::is_sorted(listed.rbegin(), listed.rend())) << status;
  EXPECT_EQ(word, "pv") << status;
  words >> word;
  EXPECT_EQ(word, first);  // the variation starts with the move played
  char buf[MOVE_TEXT_SIZE];
  EXPECT_EQ(std::string(move_text(buf, f.position, out)), first);
  EXPECT_TRUE(is_successor(f.position, f.side, out));
}

TEST_F(AllScores, DriverWithoutMovesLoses) {
  FenPosition f = fen("W:W5:B1,K9");
  Position out;
  EXPECT_EQ(play_decision(allscores_driver(MoveRequest{f.position, f.side, 1, 0, 0, status}), f.side, &out),
            QB_LOSS);
  EXPECT_STREQ(status, "No moves");
  EXPECT_EQ(out, f.position);
}

}  // namespace
