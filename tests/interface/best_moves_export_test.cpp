#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "engine_state.h"
#include "interface/exports.h"
#include "interface/base/host_text.h"
#include "interface/base/settings.h"

namespace {
using namespace qb;

constexpr int32_t CANARY = 0x5A5A5A5A;

// The host's out list and scores with a guard word after each, so a write
// past the 30 entries shows.
struct HostArrays {
  HostMoveList list;
  int32_t list_guard = CANARY;
  int32_t scores[HOST_MOVELIST_SIZE];
  int32_t scores_guard = CANARY;
};

class BestMovesExport : public testing::Test {
 protected:
  void SetUp() override {
    qbtest::reset_engine_state();
    g_settings.hashsize = 8;
    std::memset(&out.list, 0x7F, sizeof out.list);
    std::fill(std::begin(out.scores), std::end(out.scores), -1);
  }

  int32_t analyse(const char* fen_text, double maxtime, int margin, int min_depth = 0) {
    FenPosition f = parse_fen(fen_text).value();
    root = f.position;
    side = f.side;
    return get_best_moves(&root, side, maxtime, text, &stop, 0, margin, &out.list, out.scores, min_depth);
  }
  std::string move_of(int i) const {
    char buf[MOVE_TEXT_SIZE];
    return move_text(buf, root, out.list.moves[i]);
  }

  Position root;
  Side side = BLACK;
  int32_t stop = 0;
  HostArrays out;
  char text[HOST_TEXT_SIZE] = "";
};

// A move that loses a man is out of the margin and carries the excluded
// score of its side; every move is listed once, the good ones best first.
TEST_F(BestMovesExport, LosingMoveIsMarkedWithTheExcludedScoreOfTheSide) {
  struct Case {
    const char* fen;
    const char* blunder;
    int32_t excluded_score;
  };
  for (Case c : {Case{"B:W23,31:B1,14", "14-18", -11000}, Case{"W:W19,32:B2,10", "19-15", 11000}}) {
    SCOPED_TRACE(c.fen);
    ASSERT_EQ(analyse(c.fen, 0.1, 0), 0);
    MoveList legal;
    const int count = generate_moves(root, legal, side);
    ASSERT_EQ(out.list.count, count);
    std::vector<int> good;
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(std::count(legal.moves, legal.moves + count, out.list.moves[i]), 1) << i;
      if (move_of(i) == c.blunder) {
        EXPECT_EQ(out.scores[i], c.excluded_score);
      }
      if (out.scores[i] != c.excluded_score) good.push_back(side == BLACK ? out.scores[i] : -out.scores[i]);
    }
    ASSERT_FALSE(good.empty());
    EXPECT_NE(out.scores[0], c.excluded_score);  // the best is always good
    EXPECT_TRUE(std::is_sorted(good.rbegin(), good.rend()));
    EXPECT_TRUE(std::regex_search(text, std::regex(R"(^\d+\.\ds, D \d+, )"))) << text;
    EXPECT_EQ(stop, 0);
  }
}

TEST_F(BestMovesExport, NoMoveIsALostGame) {
  out.list.count = 99;
  EXPECT_EQ(analyse("W:W5:B1,K9", 1, 10), 2);
  EXPECT_STREQ(text, "Lost game");
  EXPECT_EQ(out.list.count, 0);
}

TEST_F(BestMovesExport, PositionsNoGameReachesAreRefused) {
  Position overlapping = parse_fen("B:W21-32:B1-12").value().position;
  overlapping.pieces[WHITE] |= 1u;
  Position king_on_empty = parse_fen("B:W21-32:B1-12").value().position;
  king_on_empty.kings = 1u << 15;
  Position man_on_crown_row = parse_fen("B:W21:B30").value().position;
  const Position* refused[] = {&overlapping, &king_on_empty, &man_on_crown_row, nullptr};
  for (const Position* p : refused) {
    EXPECT_EQ(get_best_moves(p, BLACK, 1, text, &stop, 0, 10, &out.list, out.scores, 0), 3);
    EXPECT_STREQ(text, "Illegal position.");
    EXPECT_EQ(out.list.count, 0);
  }
}

// More moves than the host's list holds: the 30 best, and not a byte more.
TEST_F(BestMovesExport, NeverWritesPastTheHostList) {
  const char* many_kings = "B:W32:BK5,K6,K7,K8,K13,K14,K15,K16,K21,K22,K23,K24";
  MoveList legal;
  ASSERT_GT(generate_moves(parse_fen(many_kings).value().position, legal, BLACK), 30);
  EXPECT_EQ(analyse(many_kings, 0.05, 10), 0);
  EXPECT_EQ(out.list.count, HOST_MOVELIST_SIZE);
  EXPECT_EQ(out.list_guard, CANARY);
  EXPECT_EQ(out.scores_guard, CANARY);
  EXPECT_GT(out.scores[0], 3900);  // the best: a win
}

// A stop asked for before the call is honoured from depth 5: depths 1 and 3
// complete, depth 5 is dropped, and the list is depth 3's.
TEST_F(BestMovesExport, StopKeepsTheLastCompletedIteration) {
  stop = 1;
  EXPECT_EQ(analyse("B:W21-32:B1-12", 100, 10), 0);
  EXPECT_NE(std::string(text).find(", D 3, "), std::string::npos) << text;
  EXPECT_EQ(out.list.count, 7);
  EXPECT_EQ(stop, 0);
}

// Without a text buffer, a stop flag or a score array the call still works.
TEST_F(BestMovesExport, OptionalArgumentsMayBeNull) {
  FenPosition f = parse_fen("B:W23,31:B1,14").value();
  EXPECT_EQ(get_best_moves(&f.position, BLACK, 0.02, nullptr, nullptr, 0, 0, &out.list, nullptr, 0), 0);
  EXPECT_EQ(out.list.count, 4);
  EXPECT_EQ(get_best_moves(&f.position, BLACK, 0.02, text, &stop, 0, 0, nullptr, out.scores, 0), 0);
  EXPECT_EQ(out.scores_guard, CANARY);
}

// A time that is no time (negative, not a number) gives depth 1 only; wild
// margins and depths are kept within reason.
TEST_F(BestMovesExport, UnusableArgumentsGiveAShortAnalysis) {
  for (double t : {-1.0, std::nan(""), 0.0}) {
    EXPECT_EQ(analyse("B:W21-32:B1-12", t, 10), 0);
    EXPECT_NE(std::string(text).find(", D 1, "), std::string::npos) << text;
    EXPECT_EQ(out.list.count, 7);
  }
  for (int margin : {INT32_MIN, -100, INT32_MAX}) {
    EXPECT_EQ(analyse("B:W23,31:B1,14", 0.01, margin, margin), 0);
    EXPECT_EQ(out.list.count, 4);
  }
}

TEST_F(BestMovesExport, GetmoveShowsEveryMoveWithAllscoresOn) {
  FenPosition f = parse_fen("B:W23,31:B1,14").value();
  g_settings.allscores = 1;
  int32_t board[8][8];
  to_host_board(f.position, board);
  int32_t playnow = 0;
  EXPECT_EQ(getmove(board, 2, 0.05, text, &playnow, 0, 0), QB_UNKNOWN);
  EXPECT_TRUE(std::regex_search(text, std::regex(R"(^depth \d+,  \d+\.\ds,  (\d+[-x]\d+,-?\d+  ){4}pv )")))
      << text;
  MoveList legal;
  int count = generate_moves(f.position, legal, BLACK);
  EXPECT_EQ(std::count(legal.moves, legal.moves + count, from_host_board(board)), 1);
}

}  // namespace
