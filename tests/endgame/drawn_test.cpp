// Drawn roots: rating the drawing moves, choosing among them, and the check
// that keeps a database win or draw after the search.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "board/movegen.h"
#include "endgame/databases.h"
#include "endgame/drawn_analysis.h"
#include "endgame/resolve.h"
#include "interface/base/host_text.h"
#include "platform/platform.h"
#include "search/root_db_checks.h"
#include "tables.h"

using namespace egtest;

namespace {

TEST(MaterialScore, CountsKingsMenAndCapturesSinceTheRoot) {
  struct Case {
    const char* fen;
    int root_pieces;
    int score;
  } cases[] = {
      {"B:W21,22,23:BK1,5,6", 8, 28},  // 130 - 100 = 30 ahead, 2 pieces gone
      {"B:WK1,5,6:B21,22,23", 8, -28},
      {"B:W21,22:B5,6", 8, 0},
      {"B:W21:B5,6", 3, 100},  // nothing captured yet
  };
  for (const Case& c : cases) EXPECT_EQ(qb::material_score(parse(c.fen), c.root_pieces), c.score) << c.fen;
}

qb::DrawRecord record(const char* move, float rating, int value) {
  qb::DrawRecord r{};
  std::snprintf(r.move, sizeof r.move, "%s", move);
  r.rating = rating;
  r.value = value;
  return r;
}

std::vector<std::string> order(const qb::DrawRecord* records, int count) {
  std::vector<std::string> moves;
  for (int i = 0; i < count; ++i) moves.push_back(records[i].move);
  return moves;
}

TEST(DrawRecords, BehindOnlyTheClearlyBestRatingIsACandidate) {
  // Black to move and the best value favours white: the highest ratings
  // first, and 0.52 is not within 7% of 0.9 on the log scale.
  qb::DrawRecord r[] = {record("a", 0.5f, -30), record("b", 0.52f, -30), record("c", 0.9f, -30)};
  EXPECT_EQ(qb::rank_draw_records(r, 3, -30, qb::BLACK), 1);
  EXPECT_EQ(order(r, 3), (std::vector<std::string>{"c", "b", "a"}));
  // White to move, black ahead: a value worse for white than the target
  // goes last whatever its rating; 0.5 is within 7% of 0.52 on the log scale.
  qb::DrawRecord w[] = {record("a", 0.9f, 40), record("b", 0.5f, 30), record("c", 0.52f, 30)};
  EXPECT_EQ(qb::rank_draw_records(w, 3, 30, qb::WHITE), 2);
  EXPECT_EQ(order(w, 3), (std::vector<std::string>{"c", "b", "a"}));
  EXPECT_FLOAT_EQ(w[2].rating, 0.001f);
}

TEST(DrawRecords, LevelOrAheadTheLowestRatingsLead) {
  // Value 0: the opponent's lowest chances first; a record worse than the
  // target goes last, and ratings are shown capped at 1.
  qb::DrawRecord r[] = {record("a", 0.5f, 0), record("b", 0.3f, -100), record("c", 0.52f, 0)};
  EXPECT_EQ(qb::rank_draw_records(r, 3, 0, qb::BLACK), 2);  // ln 1/0.52 >= 0.93 ln 1/0.5
  EXPECT_EQ(order(r, 3), (std::vector<std::string>{"a", "c", "b"}));
  EXPECT_FLOAT_EQ(r[2].rating, 1.0f);
  // Equal ratings: each record goes before those equal to it.
  qb::DrawRecord t[] = {record("a", 0.5f, 0), record("b", 0.5f, 0), record("c", 0.8f, 0)};
  EXPECT_EQ(qb::rank_draw_records(t, 3, 0, qb::BLACK), 2);
  EXPECT_EQ(order(t, 3), (std::vector<std::string>{"b", "a", "c"}));
}

TEST(DrawRecords, WithNoCandidateTheFirstRecordIsStillPlayed) {
  // Every value worse than the target: all ratings 2, which fail their own
  // test. The first of the order is chosen rather than nothing.
  qb::DrawRecord r[] = {record("a", 0.5f, -10), record("b", 0.7f, -20)};
  EXPECT_EQ(qb::rank_draw_records(r, 2, 0, qb::BLACK), 1);
  EXPECT_EQ(order(r, 2), (std::vector<std::string>{"b", "a"}));
}

class DrawnRoot : public testing::Test {
 protected:
  void SetUp() override {
    open_databases({tables().wld, ""});
    qb::g_wld.node_limit = 1000000;
    qb::g_wld.time_limit_ms = 1000;
  }
  void TearDown() override { close_all(); }

  static int resolved(const qb::Position& p, qb::Side side) { return qb::resolve_wld(qb::g_wld, p, side); }
};

TEST_F(DrawnRoot, DepthTwoRatesTheShareOfRepliesThatKeepTheDraw) {
  qb::Side side = qb::BLACK;
  const qb::Position root = parse("B:WK29,K30:BK3,K4", &side);
  ASSERT_EQ(resolved(root, side), qb::RESOLVE_DRAW);
  qb::SearchNode node = qb::make_root(root, side, nullptr);
  qb::DrawLimits limits{4, qb::platform::process_clock_ms(), 100000};
  qb::DrawRecord records[qb::MAX_MOVES];
  int count = 0, value = 99;
  float rating = qb::drawing_chances(node, 1, 2, records, &count, &value, limits);
  ASSERT_GE(rating, 0.0f);

  qb::MoveList moves;
  int n = qb::generate_moves(root, moves, side);
  int drawing = 0, clean = 0;
  for (int i = 0; i < n; ++i) {
    const qb::Position& child = moves.moves[i];
    if (resolved(child, qb::opponent_of(side)) != qb::RESOLVE_DRAW) continue;
    ASSERT_LT(drawing, count);
    const qb::DrawRecord& r = records[drawing++];
    EXPECT_EQ(r.successor, child);
    // Every reply keeps the draw and none allows a capture: rated 1.
    qb::MoveList replies;
    int m = qb::generate_moves(child, replies, qb::opponent_of(side));
    bool all_keep = true;
    for (int j = 0; j < m; ++j)
      all_keep &=
          resolved(replies.moves[j], side) == qb::RESOLVE_DRAW && !qb::has_capture(replies.moves[j], side);
    if (all_keep) {
      ++clean;
      EXPECT_FLOAT_EQ(r.rating, 1.0f) << r.move;
    }
  }
  EXPECT_EQ(drawing, count);
  EXPECT_GT(clean, 0);
}

TEST_F(DrawnRoot, APositionSeenTwiceBeforeEndsItsLine) {
  // Kings shuttling 1-5 and 32-28 twice; at the root black can step to 5
  // once more, reaching a position that stood 4 and 8 plies earlier.
  const qb::Position a = parse("B:WK32:BK1"), b = parse("W:WK32:BK5"), c = parse("B:WK28:BK5"),
                     d = parse("W:WK28:BK1");
  const qb::Position cycle[] = {a, b, c, d, a, b, c, d, a};
  std::vector<qb::SearchNode> line;
  line.reserve(16);
  line.push_back(qb::make_root(cycle[0], qb::BLACK, nullptr));
  for (int i = 1; i < 9; ++i) line.push_back(qb::make_child(line.back(), cycle[i], false));
  qb::DrawLimits limits{2, qb::platform::process_clock_ms(), 100000};
  qb::DrawRecord records[qb::MAX_MOVES];
  int count = 0, value = 0;
  ASSERT_GE(qb::drawing_chances(line.back(), 1, 4, records, &count, &value, limits), 0.0f);
  int repeated = 0;
  for (int i = 0; i < count; ++i)
    if (records[i].successor == b) {
      ++repeated;
      EXPECT_FLOAT_EQ(records[i].rating, 0.998f);
    }
  EXPECT_EQ(repeated, 1);
}

TEST_F(DrawnRoot, TheAnalysisPlaysADrawingMoveAndShowsItsRatings) {
  qb::Side side = qb::BLACK;
  const qb::Position root = parse("B:WK29,K30:BK3,K4", &side);
  qb::SearchNode node = qb::make_root(root, side, nullptr);
  char status[qb::HOST_TEXT_SIZE] = "junk";
  qb::Position out{};
  ASSERT_TRUE(qb::database_draw_analysis(node, status, 1.0, &out));
  EXPECT_EQ(qb::g_wld.node_limit, 1000000);
  EXPECT_EQ(qb::g_wld.time_limit_ms, 100);
  EXPECT_EQ(resolved(out, qb::opponent_of(side)), qb::RESOLVE_DRAW);
  EXPECT_EQ(std::strncmp(status, "depth ", 6), 0) << status;
  EXPECT_NE(std::strchr(status, '*'), nullptr) << status;
  EXPECT_NE(log_since_open().find("depth 2; "), std::string::npos);

  // No time at all: depth 2 cannot finish, the search takes over.
  std::strcpy(status, "junk");
  EXPECT_FALSE(qb::database_draw_analysis(node, status, 0.0, &out));
  EXPECT_STREQ(status, "");
  // Not drawn: the search plays.
  qb::SearchNode won = qb::make_root(parse("B:WK1:BK15,K18"), qb::BLACK, nullptr);
  EXPECT_FALSE(qb::database_draw_analysis(won, status, 1.0, &out));
}

TEST_F(DrawnRoot, WithoutDatabasesThereIsNoAnalysis) {
  close_all();
  char status[qb::HOST_TEXT_SIZE] = "junk";
  qb::Position out{};
  qb::SearchNode node = qb::make_root(parse("B:WK29,K30:BK3,K4"), qb::BLACK, nullptr);
  EXPECT_FALSE(qb::database_draw_analysis(node, status, 1.0, &out));
  EXPECT_STREQ(status, "");
}

// Finds a root with `root_value` for black to move, where some move does not
// keep `kept` (for white) and another does.
struct CheckCase {
  qb::Position root;
  qb::MoveList moves;
  int count, bad, good;
};
bool find_check_case(int root_value, int kept, CheckCase& out) {
  for (int b1 = 0; b1 < 32; ++b1)
    for (int b2 = b1 + 1; b2 < 32; ++b2)
      for (int w = 0; w < 32; ++w)
        for (int w2 = w; w2 < 32; ++w2) {  // w2 == w: one white king
          uint32_t black = (1u << b1) | (1u << b2), white = (1u << w) | (1u << w2);
          if (black & white) continue;
          qb::Position p{{black, white}, black | white};
          if (wld_value(p, qb::BLACK) != root_value || qb::has_capture(p, qb::BLACK)) continue;
          out.root = p;
          out.count = qb::generate_moves(p, out.moves, qb::BLACK);
          out.bad = out.good = -1;
          for (int i = 0; i < out.count; ++i) {
            int c = qb::resolve_wld(qb::g_wld, out.moves.moves[i], qb::WHITE);
            if (c == kept && out.good < 0) out.good = i;
            if (c != kept && (c >= 1 && c <= 3) && out.bad < 0) out.bad = i;
          }
          if (out.bad >= 0 && out.good >= 0) return true;
        }
  return false;
}

TEST_F(DrawnRoot, TheCheckReplacesAMoveThatThrowsAwayAWinOrADraw) {
  for (int root_value : {qb::RESOLVE_WIN, qb::RESOLVE_DRAW}) {
    int kept = root_value == qb::RESOLVE_WIN ? qb::RESOLVE_LOSS : qb::RESOLVE_DRAW;
    CheckCase c;
    ASSERT_TRUE(find_check_case(root_value, kept, c)) << root_value;
    int replacement = -1;
    EXPECT_TRUE(qb::wld_consistency_check(qb::BLACK, c.root, c.moves, c.count, c.bad, &replacement, 1.0));
    EXPECT_EQ(replacement, c.good);
    EXPECT_EQ(qb::g_wld.time_limit_ms, 200);
    replacement = -1;
    EXPECT_FALSE(qb::wld_consistency_check(qb::BLACK, c.root, c.moves, c.count, c.good, &replacement, 0.4));
    EXPECT_EQ(qb::g_wld.time_limit_ms, 100);
    EXPECT_EQ(replacement, -1);
  }
}

}  // namespace
