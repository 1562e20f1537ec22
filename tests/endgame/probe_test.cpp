// Database verdicts as the searches score them.
#include <gtest/gtest.h>

#include "board/movegen.h"
#include "endgame/databases.h"
#include "endgame/db_score.h"
#include "eval/evaluate.h"
#include "interface/exports.h"
#include "interface/base/stop.h"
#include "search/search_root.h"
#include "search/game_history.h"
#include "search/search.h"
#include "search/search_state.h"
#include "tables.h"

using namespace egtest;

namespace {

struct ScoreCase {
  const char* fen;
  qb::Side winner;
  int score;
  const char* why;
};

TEST(ScoreDbWin, FollowsTheWinTerms) {
  const ScoreCase cases[] = {
      {"B:WK1:BK15,K18", qb::BLACK, 2813, "2000 + centre 2 + edge 1 + 30 x 27"},
      // The same turned round: white wins, so the score is negative.
      {"W:WK18,K15:BK32", qb::WHITE, -2813, "mirror of the first"},
      // A lone black man on 9 with a white king on its next square (first
      // case): -11 - 4 x 1; the black king on 32 is too far to help.
      // Men row 2 gives advancement 4; 30 x (2 x 14 - 2) = 780.
      {"B:WK14:B9,K32", qb::BLACK, 2000 + 780 + 4 - 15, "lone man, king in its way"},
      // The white king two rows ahead (second case): -6 - 4 x 1, and the
      // black king on 32 stands next to the king's reach: + 1.
      {"B:WK18:B9,K32", qb::BLACK, 2000 + 780 + 4 - 9, "lone man, king further on"},
      {"W:W24,K1:BK19", qb::WHITE, -(2000 + 780 + 4 - 15), "mirror of the lone man"},
      // Equal numbers: the loser's men count for the winner by how far back
      // they stand: white man on 29 (row 7) adds 0, on 21 (row 5) adds 4.
      {"B:W29:BK15", qb::BLACK, 2000 + 1 + 30 * (2 * 14 - 1), "loser's man at home"},
      {"B:W21:BK15", qb::BLACK, 2000 + 1 + 30 * (2 * 14 - 1) + 4, "loser's man advanced"},
  };
  for (const ScoreCase& c : cases) {
    qb::PieceSummary s = qb::make_piece_summary(parse(c.fen));
    EXPECT_EQ(qb::score_db_win(s, c.winner), c.score) << c.fen << ": " << c.why;
  }
}

class Probe : public testing::Test {
 protected:
  void SetUp() override { open_databases({tables().wld, ""}); }
  void TearDown() override { close_all(); }

  static int quiet_value(const char* fen) {
    qb::Side side = qb::BLACK;
    qb::Position p = parse(fen, &side);
    qb::game_history_clear();
    qb::publish_stop_flag(nullptr);  // not a getmove's, long gone
    qb::prepare_search(p, side, 1e9);
    qb::g_search.iteration_depth = 1;
    qb::SearchNode node = qb::make_root(p, side, nullptr);
    return qb::capture_search(node, 1, -qb::MATE, qb::MATE, 0, 0);
  }
};

TEST_F(Probe, WinsLossesAndDrawsScoreForTheSideToMove) {
  ASSERT_EQ(wld_value(parse("B:WK1:BK15,K18"), qb::BLACK), qb::WLD_WIN);
  EXPECT_EQ(quiet_value("B:WK1:BK15,K18"), 2813);
  EXPECT_EQ(quiet_value("W:WK1:BK15,K18"), -2813);
  // Lone kings far apart: a draw is -1 whoever is to move.
  ASSERT_EQ(wld_value(parse("B:WK32:BK1"), qb::BLACK), qb::WLD_DRAW);
  EXPECT_EQ(quiet_value("B:WK32:BK1"), qb::DATABASE_DRAW);
  EXPECT_EQ(quiet_value("W:WK32:BK1"), qb::DATABASE_DRAW);
  EXPECT_GT(qb::sum_thread_counters().db_probes, 0u);
}

TEST_F(Probe, TheParentOfADrawnPositionSeesPlusOne) {
  // Black must take a king and leaves lone kings: the parent is not probed
  // (a capture is pending), its one child is a database draw.
  int found = 0;
  for (int b = 0; b < 32 && found < 3; ++b)
    for (int w1 = 0; w1 < 32 && found < 3; ++w1)
      for (int w2 = w1 + 1; w2 < 32 && found < 3; ++w2) {
        if (b == w1 || b == w2) continue;
        qb::Position p{{1u << b, (1u << w1) | (1u << w2)}, (1u << b) | (1u << w1) | (1u << w2)};
        qb::MoveList moves;
        if (!qb::has_capture(p, qb::BLACK) || qb::generate_captures(p, moves, qb::BLACK) != 1) continue;
        const qb::Position& child = moves.moves[0];
        if (qb::has_capture(child, qb::WHITE) || qb::has_capture(child, qb::BLACK)) continue;
        if (wld_value(child, qb::WHITE) != qb::WLD_DRAW) continue;
        qb::game_history_clear();
        qb::publish_stop_flag(nullptr);
        qb::prepare_search(p, qb::BLACK, 1e9);
        qb::g_search.iteration_depth = 2;
        qb::SearchNode node = qb::make_root(p, qb::BLACK, nullptr);
        EXPECT_EQ(qb::node_search(node, 1, 2 * qb::ONE_PLY, -qb::MATE, qb::MATE, true, 0), 1);
        ++found;
      }
  EXPECT_EQ(found, 3);
}

TEST_F(Probe, TheCaptureExportScoresVerdictsLikeTheSearch) {
  for (const char* fen : {"B:WK1:BK15,K18", "W:WK1:BK15,K18"}) {
    qb::Side side = qb::BLACK;
    qb::Position p = parse(fen, &side);
    EXPECT_EQ(qsearch(&p, side, nullptr, nullptr, nullptr), 2813) << fen;  // black's view
  }
  qb::Position drawn = parse("W:WK32:BK1");
  EXPECT_EQ(qsearch(&drawn, qb::WHITE, nullptr, nullptr, nullptr), 1);
}

}  // namespace
