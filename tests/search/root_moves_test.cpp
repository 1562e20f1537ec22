#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/fen.h"
#include "board/movegen.h"
#include "search/root_moves.h"
#include "search/tt.h"

namespace {
using namespace qb;

Position pos(const char* fen) { return parse_fen(fen).value().position; }

// The start position as a game's root with either side to move; these
// tests never search from it.
const SearchNode& start_node(Side side) {
  static const SearchNode nodes[2] = {make_root(start_position(), BLACK, nullptr),
                                      make_root(start_position(), WHITE, nullptr)};
  return nodes[side == BLACK ? 0 : 1];
}

// Records valued in the given order, as an earlier iteration left them.
RootMoves valued(Side side, const std::vector<int>& values) {
  MoveList moves;
  int count = generate_moves(start_position(), moves, BLACK);
  RootMoves roots;
  fill_root_moves(roots, start_node(side), moves, int(values.size()));
  for (int i = 0; i < roots.count; ++i) roots.records[i].value = values[i];
  EXPECT_LE(int(values.size()), count);
  return roots;
}

std::vector<int> order_of(const RootMoves& roots) {
  std::vector<int> indices;
  for (int i = 0; i < roots.count; ++i) indices.push_back(roots.records[i].index);
  return indices;
}

TEST(RootMoves, SortIsBestForTheMoverFirstAndKeepsTiesInTheirOrder) {
  struct Case {
    Side side;
    std::vector<int> values;
    std::vector<int> order;
  };
  const Case cases[] = {
      {BLACK, {10, -5, 10}, {0, 2, 1}},  // the two tens keep their order before the -5
      {BLACK, {-5, 10, 10}, {1, 2, 0}},
      {WHITE, {10, -5, 10}, {1, 0, 2}},  // white wants the lowest value
      {WHITE, {3, 3, 3}, {0, 1, 2}},
  };
  for (const Case& c : cases) {
    RootMoves roots = valued(c.side, c.values);
    sort_root_moves(roots);
    EXPECT_EQ(order_of(roots), c.order);
  }
  // A tie keeps the order of the previous sort, not the generation order.
  RootMoves roots = valued(BLACK, {10, -5, 10});
  sort_root_moves(roots);      // 0, 2, 1
  roots.records[0].value = 7;  // move 0 falls behind
  sort_root_moves(roots);      // 2, 0, 1
  roots.records[0].value = roots.records[1].value = 4;
  sort_root_moves(roots);
  EXPECT_EQ(order_of(roots), (std::vector<int>{2, 0, 1}));
}

TEST(RootMoves, RestoreBringsBackTheLastCompletedIteration) {
  RootMoves roots = valued(BLACK, {5, 6});
  roots.records[1].excluded = 1;
  commit_iteration(roots);
  roots.records[0].value = 50;
  roots.records[1].value = -50;
  roots.records[1].excluded = 0;
  restore_previous_iteration(roots);
  EXPECT_EQ(roots.records[0].value, 5);
  EXPECT_EQ(roots.records[1].value, 6);
  EXPECT_EQ(roots.records[1].excluded, 1);
}

TEST(RootMoves, ListTextHasEveryMoveWithItsValue) {
  RootMoves roots = valued(BLACK, {12, -3});
  EXPECT_EQ(root_move_list_text(start_position(), roots), "9-14,12  10-15,-3  ");
}

class MoveLines : public testing::Test {
 protected:
  void SetUp() override {
    tt_free();
    tt_allocate(1);
    tt_new_search();
  }
  void TearDown() override { tt_free(); }

  static bool pinned(HashKey key) {
    HashProbe p;
    return tt_probe(key, p) && p.entry.pinned();
  }
};

// A move's saved line goes back into the table pinned before the move is
// searched from depth 9 on, and is released after it from depth 8 on.
TEST_F(MoveLines, SavedLineIsPinnedOnlyWhileItsMoveIsSearched) {
  const HashKey key{0x12345678u, 0x9ABCDEF0u};
  const uint32_t data = 5u | (17u << DEPTH_SHIFT);
  RootMoveRecord move;
  move.pv_keys.emplace(key.high, PvRecord{data ^ key.high, data, 0, key.low, key.high});

  pin_line_before_search(move, 8);
  HashProbe p;
  EXPECT_FALSE(tt_probe(key, p));  // shallow: nothing written back
  pin_line_before_search(move, 9);
  ASSERT_TRUE(tt_probe(key, p));
  EXPECT_TRUE(p.entry.pinned());
  EXPECT_EQ(p.entry.raw_score(), 5);
  EXPECT_EQ(p.entry.age, g_tt.age);

  release_line_after_search(move, 7);
  EXPECT_TRUE(pinned(key));
  release_line_after_search(move, 8);
  EXPECT_FALSE(pinned(key));
  keep_line_pinned(move, 8);
  EXPECT_FALSE(pinned(key));
  keep_line_pinned(move, 9);
  EXPECT_TRUE(pinned(key));
}

// The walk from a root move pins the entries of its line and remembers them
// in the move's own set, from depth 8 on.
TEST_F(MoveLines, CurrentLineIsWalkedIntoTheMovesSet) {
  const Position root = pos("B:WK28,12:BK5,21");
  MoveList moves;
  generate_moves(root, moves, BLACK);
  RootMoves roots;
  const SearchNode node = make_root(root, BLACK, nullptr);
  fill_root_moves(roots, node, moves, 1);
  RootMoveRecord& move = roots.records[0];
  const HashKey after = hash_key(move.successor, WHITE);
  tt_store(after, 0, 1, 16, BOUND_LOWER, 0);

  pin_current_line(move, 7, false);
  EXPECT_TRUE(move.pv_keys.empty());
  pin_current_line(move, 8, true);  // exact entries only: the bound stops the walk
  EXPECT_TRUE(move.pv_keys.empty());
  pin_current_line(move, 8, false);
  EXPECT_EQ(move.pv_keys.count(after.high), 1u);
  EXPECT_TRUE(pinned(after));
}

}  // namespace
