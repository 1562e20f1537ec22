// The resolution search against the database itself: opened for fewer
// pieces than it holds, the engine must work out by search what the full
// database knows.
#include <gtest/gtest.h>

#include <random>

#include "board/bitops.h"
#include "board/movegen.h"
#include "endgame/databases.h"
#include "endgame/resolve.h"
#include "tables.h"

using namespace egtest;

namespace {

class Resolve : public testing::Test {
 protected:
  void TearDown() override { close_all(); }
};

TEST_F(Resolve, FindsWhatTheLargerDatabaseKnows) {
  DatabaseSetup setup{tables().wld, ""};
  setup.max_pieces = 3;
  open_databases(setup);
  ASSERT_EQ(qb::g_wld.max_pieces, 3);
  // The full four-piece database as the referee.
  qb::EndgameDriver* full = qb::driver_open(TABLE_PIECES, 16, tables().wld);
  ASSERT_NE(full, nullptr);

  std::mt19937 rng(7);
  int tried = 0, exact = 0, with_capture = 0, capture_exact = 0;
  qb::WldDatabase& db = qb::g_wld;
  db.node_limit = 20000;
  db.time_limit_ms = 0;
  testing::internal::CaptureStdout();  // the abandoned ones say so
  while (tried < 200) {
    qb::Position p = random_position(rng, 4);
    qb::Side side = qb::Side(rng() % 2);
    int truth = qb::driver_lookup(full, p, side, false);
    if (truth < 1 || truth > 3) continue;  // outside the tables (e.g. a side without pieces)
    ++tried;
    bool capture = qb::has_capture(p, side);
    int v = qb::resolve_wld(db, p, side);
    with_capture += capture;
    if (v == 1 || v == 2 || v == 3) {
      ++exact;
      capture_exact += capture;
      EXPECT_EQ(v, truth) << std::hex << p.black() << " " << p.white() << " " << p.kings << std::dec
                          << " side " << side;
    } else {
      EXPECT_EQ(v, 0) << "only exact values or nothing come back";
    }
  }
  testing::internal::GetCapturedStdout();
  EXPECT_GT(with_capture, 30);
  EXPECT_EQ(capture_exact, with_capture) << "a capture leads into the tables at once";
  EXPECT_GT(exact, capture_exact) << "some quiet positions are worked out too";
  qb::driver_close(full);
}

TEST_F(Resolve, LimitsAbandonCleanly) {
  DatabaseSetup setup{tables().wld, ""};
  setup.max_pieces = 2;
  open_databases(setup);
  qb::WldDatabase& db = qb::g_wld;
  // Three kings: nothing in a two-piece database answers until a capture.
  const qb::Position kings = parse("B:WK32:BK1,K5");

  db.node_limit = 1;
  db.time_limit_ms = 0;
  testing::internal::CaptureStdout();
  EXPECT_EQ(qb::resolve_wld(db, kings, qb::BLACK), 0);
  std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(db.nodes, 1);
  EXPECT_EQ(printed.rfind("wld lookup max node count or time limit exceeded, nodes 1, time ", 0), 0u)
      << printed;
  EXPECT_NE(printed.find("(not an error): B:WK32:BK1,K5\n"), std::string::npos) << printed;

  // The time limit is looked at every 64 nodes.
  db.node_limit = 0;
  db.time_limit_ms = 1;
  testing::internal::CaptureStdout();
  int v = qb::resolve_wld(db, kings, qb::BLACK);
  printed = testing::internal::GetCapturedStdout();
  if (v == 0) {
    EXPECT_EQ(db.nodes % 64, 63);
    EXPECT_NE(printed.find("limit exceeded"), std::string::npos);
  }

  // The record keeps working after an abandoned resolution.
  db.time_limit_ms = 5000;
  EXPECT_EQ(qb::resolve_wld(db, parse("B:WK32:BK1"), qb::BLACK), qb::RESOLVE_DRAW);
}

TEST_F(Resolve, ASideWithoutPiecesHasLostAtOnce) {
  open_databases({tables().wld, ""});
  qb::WldDatabase& db = qb::g_wld;
  EXPECT_EQ(qb::resolve_wld(db, parse("W:W:BK1,K5"), qb::WHITE), qb::RESOLVE_LOSS);
  EXPECT_EQ(db.nodes, 1);
  EXPECT_EQ(qb::resolve_wld(db, parse("B:W:BK1,K5"), qb::BLACK), qb::RESOLVE_WIN);
}

}  // namespace
