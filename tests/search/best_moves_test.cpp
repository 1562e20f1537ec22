#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interface/base/host_text.h"
#include "interface/base/settings.h"
#include "search/best_moves.h"
#include "search/game_history.h"
#include "search/search_root.h"
#include "fake_move_search.h"
#include "search_support.h"

namespace {
using namespace qb;
using namespace searchtest;

// The depths the search runs when every iteration ends at `elapsed` seconds
// and `good` moves stay inside the margin: the loop of the search itself.
std::vector<int> depths_run(double maxtime, int min_depth, double elapsed, int good = 1) {
  BestMovesSchedule s = best_moves_schedule(maxtime, min_depth);
  std::vector<int> run;
  for (int d = 1; d && start_iteration(s, d, good, elapsed); d = next_depth(s, d, elapsed)) run.push_back(d);
  return run;
}

std::vector<int> every_depth(int from, int to, int step) {
  std::vector<int> d;
  for (int i = from; i <= to; i += step) d.push_back(i);
  return d;
}

TEST(BestMovesTime, MinimumDepthIterationsRunWithinEightTimesTheTime) {
  const std::vector<int> up_to_nine{1, 3, 5, 7, 9};
  EXPECT_EQ(depths_run(1, 10, 7.9), up_to_nine);                   // far beyond the time: still 1-9
  EXPECT_EQ(depths_run(1, 10, 8.1), (std::vector<int>{1, 3, 5}));  // beyond 8 x maxtime
  EXPECT_EQ(depths_run(1, 10, 1.0), up_to_nine);                   // from depth 9 the time rules apply
  std::vector<int> then_by_ones = up_to_nine;                      // 1-9 by twos, then one by one
  for (int d : every_depth(10, 96, 1)) then_by_ones.push_back(d);
  EXPECT_EQ(depths_run(1, 10, 0.7), then_by_ones);
  EXPECT_EQ(best_moves_hard_limit(1, 10), 8);
  EXPECT_EQ(best_moves_hard_limit(1, 0), 4);
}

TEST(BestMovesTime, TimeGrowsWithTheNumberOfGoodMoves) {
  EXPECT_EQ(depths_run(1, 0, 1.0), (std::vector<int>{1}));       // one good move: maxtime
  EXPECT_EQ(depths_run(1, 0, 0.4), every_depth(1, 95, 2));       // below half: two plies on
  EXPECT_EQ(depths_run(1, 0, 0.6), every_depth(1, 96, 1));       // below maxtime: one ply on
  EXPECT_EQ(depths_run(1, 0, 1.5, 100), every_depth(1, 96, 1));  // 100 good: twice maxtime
  EXPECT_EQ(depths_run(1, 0, 2.0, 100), (std::vector<int>{1}));
}

class BestMoves : public testing::Test {
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

  // Three moves of the start position (`side` to move) valued by `values`.
  BestMovesResult run(Side side, int (*values)(int, int), int margin, int stop_depth = 0,
                      int stop_index = -1) {
    const SearchNode& root = prepare_search(start_position(), side, NO_LIMIT);
    FakeMoveSearch::reset(values);
    FakeMoveSearch::stop_depth = stop_depth;
    FakeMoveSearch::stop_index = stop_index;
    roots = FakeMoveSearch::roots_of(root, 3);
    return best_moves_search(roots, start_position(), BestMovesRequest{10, margin, 0}, text,
                             FakeMoveSearch::search);
  }
  std::vector<int> excluded() const {
    std::vector<int> flags;
    for (int i = 0; i < roots.count; ++i) flags.push_back(roots.records[i].excluded);
    return flags;
  }

  RootMoves roots;
  char text[HOST_TEXT_SIZE] = "";
};

// Values by move: a move is good within the margin of the best or when it
// at least draws (-3 for black, 3 for white).
constexpr int DRAW_OK[] = {100, -3, -10};
constexpr int DRAW_OUT[] = {90, -10, -3};
int black_100(int i, int) { return DRAW_OK[i]; }
int black_minus_50(int i, int) { return -50 - 20 * (i > 0) - (i > 1); }  // -50, -70, -71
int white_100(int i, int) { return -DRAW_OK[i]; }
int white_50(int i, int) { return -black_minus_50(i, 0); }
int black_later_best(int i, int) { return i == 0 ? 10 : i == 1 ? 30 : 0; }

TEST_F(BestMoves, MarginAndDrawDecideWhichMovesAreGood) {
  struct Case {
    Side side;
    int (*values)(int, int);
    int margin;
    std::vector<int> order, excluded;
  };
  const Case cases[] = {
      {BLACK, black_100, 0, {0, 1, 2}, {0, 0, 1}},        // -3 draws: good; -10 is out
      {BLACK, black_minus_50, 20, {0, 1, 2}, {0, 0, 1}},  // -70 within 20 of -50, -71 not
      {WHITE, white_100, 0, {0, 1, 2}, {0, 0, 1}},        {WHITE, white_50, 20, {0, 1, 2}, {0, 0, 1}},
      {BLACK, black_later_best, 0, {1, 0, 2}, {0, 0, 0}},  // a better move becomes the best
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "side " << c.side << " margin " << c.margin);
    BestMovesResult r = run(c.side, c.values, c.margin);
    EXPECT_EQ(indices(roots), c.order);
    EXPECT_EQ(excluded(), c.excluded);
    EXPECT_EQ(r.best_index, c.order[0]);
    EXPECT_EQ(r.value, c.values(c.order[0], 0));
    EXPECT_EQ(r.value, roots.records[0].value);
  }
}

// Until depth 5 move 1 draws and move 2 is out; at depth 7 they swap. A stop
// during depth 7, whichever move it hits, brings back depth 5.
TEST_F(BestMoves, AStopRestoresTheLastCompletedIteration) {
  auto swap_at_seven = [](int i, int depth) { return depth < 7 ? DRAW_OK[i] : DRAW_OUT[i]; };
  for (int stopped_move : {0, 1, 2}) {
    SCOPED_TRACE(stopped_move);
    BestMovesResult r = run(BLACK, swap_at_seven, 0, 7, stopped_move);
    EXPECT_EQ(r.depth, 5);
    EXPECT_EQ(r.value, 100);
    EXPECT_EQ(values(roots), (std::vector<int>{100, -3, -10}));
    EXPECT_EQ(excluded(), (std::vector<int>{0, 0, 1}));
    EXPECT_NE(std::string(text).find(", D 5, "), std::string::npos) << text;
  }
  // A stop before depth 5 waits for depth 5.
  BestMovesResult r = run(BLACK, swap_at_seven, 0, 3, 1);
  EXPECT_EQ(r.depth, 3);
}

TEST_F(BestMoves, DecidedValueEndsTheSearch) {
  BestMovesResult r = run(
      BLACK, [](int i, int) { return i == 0 ? 2000 : 0; }, 0);
  EXPECT_EQ(r.depth, 1);
  EXPECT_EQ(FakeMoveSearch::calls.back().second, 1);
}

}  // namespace
