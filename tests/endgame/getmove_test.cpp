// Whole moves through getmove with real databases: won endings are won,
// drawn ones are never lost, and the host is told the result.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <regex>
#include <set>

#include "board/fen.h"
#include "board/movegen.h"
#include "endgame/databases.h"
#include "endgame/resolve.h"
#include "interface/exports.h"
#include "interface/base/host_text.h"
#include "interface/base/settings.h"
#include "interface/startup.h"
#include "search/db_probe.h"
#include "tables.h"

using namespace egtest;

namespace {

constexpr double MOVE_SECONDS = 0.1;
// The distance ranking gives up when its share of the move time (wall clock)
// runs out, and tables read through a small cache need more of it on a busy
// machine. A ranking that finishes returns at once, so this costs nothing.
constexpr double DISTANCE_PLAY_SECONDS = 1.0;

Moved engine_move(const qb::Position& p, qb::Side side, bool new_game) {
  return egtest::engine_move(p, side, new_game, MOVE_SECONDS);
}

// Kings-only positions with `black_kings` against `white_kings` for which
// `accept` holds, spread over the board: every `stride`-th one in square
// order, at most `limit`.
std::vector<qb::Position> endings(int black_kings, int white_kings, size_t limit, int stride,
                                  const std::function<bool(const qb::Position&)>& accept) {
  std::vector<qb::Position> found;
  const int pieces = black_kings + white_kings;
  int accepted = 0;
  int sq[5] = {0, 0, 0, 0, 0};
  std::function<void(int)> place = [&](int i) {
    if (found.size() >= limit) return;
    if (i == pieces) {
      qb::Position p{{0, 0}, 0};
      for (int k = 0; k < pieces; ++k) {
        uint32_t bit = 1u << sq[k];
        if (p.occupied() & bit) return;
        p.pieces[k < black_kings ? qb::BLACK : qb::WHITE] |= bit;
        p.kings |= bit;
      }
      if (accept(p) && accepted++ % stride == 0) found.push_back(p);
      return;
    }
    // Kings of one colour in ascending squares: each set once.
    bool same_colour = i > 0 && (i < black_kings) == (i - 1 < black_kings);
    for (sq[i] = same_colour ? sq[i - 1] + 1 : 0; sq[i] < 32; ++sq[i]) place(i + 1);
  };
  place(0);
  return found;
}

class Games : public testing::Test {
 protected:
  void SetUp() override { qb::initialise_engine(); }
  void TearDown() override { close_all(); }

  // The engine plays both sides from `start` (black to move) until the
  // loser cannot move, checking the winner never lets the win go. Returns
  // the plies played, or -1 when the game was not over within `max_plies`.
  static int play_out_win(const qb::Position& start, int max_plies, bool expect_texts,
                          double seconds = MOVE_SECONDS) {
    qb::Position p = start;
    qb::Side side = qb::BLACK;
    for (int ply = 0; ply <= max_plies; ++ply) {
      qb::MoveList moves;
      if (qb::generate_moves(p, moves, side) == 0) return side == qb::WHITE ? ply : -1;
      if (ply == max_plies) break;
      Moved m = egtest::engine_move(p, side, ply == 0, seconds);
      if (side == qb::BLACK) {
        EXPECT_NE(qb::resolve_wld(qb::g_wld, m.after, qb::WHITE), qb::RESOLVE_WIN)
            << "the win was let go at ply " << ply;
        EXPECT_EQ(m.result, QB_WIN) << m.status;
        if (expect_texts) {
          EXPECT_TRUE(std::regex_search(m.status, std::regex(R"(^\S+ \(black wins in \d+\)\*)"))) << m.status;
        }
      } else if (expect_texts) {
        EXPECT_TRUE(std::regex_search(m.status, std::regex(R"(^\S+ \(white loses in \d+\)\*)"))) << m.status;
        EXPECT_EQ(m.result, QB_LOSS) << m.status;
      }
      p = m.after;
      side = qb::opponent_of(side);
    }
    return -1;
  }
};

// Distances to win from a handle of the test's own.
class Distances {
 public:
  Distances(const std::string& dir, int pieces) : handle_(qb::driver_open(pieces, 16, dir)) {}
  ~Distances() { qb::driver_close(handle_); }
  int plies_to_win(const qb::Position& p) const {
    int m = qb::driver_lookup(handle_, p, qb::BLACK, false);
    return m < 0 ? -1 : 2 * m + 1;
  }
  // Won for black to move, quiet, and at least `plies` from the end.
  std::function<bool(const qb::Position&)> wins_slowly(int plies) const {
    return [this, plies](const qb::Position& p) {
      return !qb::has_capture(p, qb::BLACK) && !qb::has_capture(p, qb::WHITE) && plies_to_win(p) >= plies;
    };
  }

 private:
  qb::EndgameDriver* handle_;
};

TEST_F(Games, WonEndingsAreWonWithinTheDatabaseDistance) {
  open_databases({tables().wld, tables().dtw});
  Distances d(tables().dtw, TABLE_PIECES);
  std::vector<qb::Position> starts = endings(2, 1, 4, 211, d.wins_slowly(11));
  ASSERT_EQ(starts.size(), 4u);
  for (const qb::Position& start : starts) {
    const int distance = d.plies_to_win(start);
    // Both sides play by the distances: the win takes exactly that long.
    EXPECT_EQ(play_out_win(start, distance + 2, true, DISTANCE_PLAY_SECONDS), distance);
  }
}

// The databases the build makes by default, when it made them.
TEST_F(Games, FivePieceEndingsOfTheDefaultDatabasesAreWon) {
  const std::string wld = std::string(QB_ENGINE_DIR) + "/db", dtw = std::string(QB_ENGINE_DIR) + "/dtw";
  int type = 0, wld_pieces = 0, dtw_pieces = 0;
  if (!qb::driver_identify(wld, &type, &wld_pieces) || !qb::driver_identify(dtw, &type, &dtw_pieces) ||
      std::min(wld_pieces, dtw_pieces) < 5)
    GTEST_SKIP() << "no five-piece default databases in " << QB_ENGINE_DIR;
  DatabaseSetup setup{wld, dtw};
  setup.max_pieces = 5;
  open_databases(setup);
  Distances d(dtw, 5);
  std::vector<qb::Position> starts = endings(3, 2, 2, 997, d.wins_slowly(21));
  ASSERT_EQ(starts.size(), 2u);
  for (const qb::Position& start : starts)
    EXPECT_EQ(play_out_win(start, d.plies_to_win(start) + 2, true, DISTANCE_PLAY_SECONDS),
              d.plies_to_win(start));
}

// Plays a won ending (black to move) engine against engine. Returns the
// plies to the end; -1, with a failure, when the winner let the win go,
// when a won position came back with the winner to move (play in circles),
// or when the game was not over after `max_plies`.
int drive_home(const qb::Position& start, int max_plies) {
  std::set<std::pair<uint64_t, uint64_t>> seen;  // positions with black to move
  qb::Position p = start;
  qb::Side side = qb::BLACK;
  for (int ply = 0; ply < max_plies; ++ply) {
    qb::MoveList moves;
    if (qb::generate_moves(p, moves, side) == 0) return side == qb::WHITE ? ply : -1;
    if (side == qb::BLACK) {
      auto key = std::make_pair(uint64_t(p.black()) << 32 | p.white(), uint64_t(p.kings));
      if (!seen.insert(key).second) {
        ADD_FAILURE() << "the won position came back at ply " << ply;
        return -1;
      }
    }
    Moved m = engine_move(p, side, ply == 0);
    if (side == qb::BLACK && qb::resolve_wld(qb::g_wld, m.after, qb::WHITE) != qb::RESOLVE_LOSS) {
      ADD_FAILURE() << "the win was let go at ply " << ply << ": " << m.status;
      return -1;
    }
    p = m.after;
    side = qb::opponent_of(side);
  }
  ADD_FAILURE() << "not won after " << max_plies << " plies";
  return -1;
}

// With either kind of distance table, random won endings of up to five
// pieces (and a known king ending that went round in circles) are won
// without any won position coming back.
TEST_F(Games, WonEndingsAreDrivenHomeWithEitherDistanceTable) {
  const std::string dir = QB_ENGINE_DIR;
  int type = 0, pieces = 0;
  for (const char* sub : {"/db", "/dtw", "/mtc"})
    if (!qb::driver_identify(dir + sub, &type, &pieces) || pieces < 5)
      GTEST_SKIP() << "no five-piece default databases in " << dir;
  constexpr int ENDINGS = 8, MAX_PLIES = 240;
  DatabaseSetup setup{dir + "/db", ""};
  setup.max_pieces = 5;
  open_databases(setup);
  std::vector<qb::Position> starts = {parse("B:WK6:BK15,K31,K32")};
  std::mt19937 rng(2215);
  while (starts.size() < ENDINGS) {
    qb::Position p = random_position(rng, 3 + int(rng() % 3));
    if (!qb::has_capture(p, qb::BLACK) && !qb::has_capture(p, qb::WHITE) &&
        wld_value(p, qb::BLACK) == qb::WLD_WIN)
      starts.push_back(p);
  }
  for (const char* aux : {"/mtc", "/dtw"}) {
    setup.aux = dir + aux;
    open_databases(setup);
    for (const qb::Position& start : starts) {
      SCOPED_TRACE(std::string(aux) + " from " + qb::position_text(start, qb::BLACK));
      EXPECT_GT(drive_home(start, MAX_PLIES), 0);
    }
  }
}

TEST_F(Games, TheSearchAloneNeverLetsAWinGo) {
  open_databases({tables().wld, ""});
  Distances d(tables().dtw, TABLE_PIECES);
  std::vector<qb::Position> starts = endings(2, 1, 2, 307, d.wins_slowly(11));
  ASSERT_EQ(starts.size(), 2u);
  // Without distances the search makes progress by the win score's terms;
  // every move must keep the win, and the win must come.
  for (const qb::Position& start : starts) EXPECT_GT(play_out_win(start, 60, false), 0);
}

bool drawn_quietly(const qb::Position& p) {
  return !qb::has_capture(p, qb::BLACK) && !qb::has_capture(p, qb::WHITE) &&
         wld_value(p, qb::BLACK) == qb::WLD_DRAW;
}

TEST_F(Games, DrawnEndingsAreNeverLost) {
  for (const char* aux : {"", "dtw"}) {
    open_databases({tables().wld, *aux ? tables().dtw : ""});
    std::vector<qb::Position> starts = endings(2, 2, 2, 4099, drawn_quietly);
    ASSERT_EQ(starts.size(), 2u);
    for (const qb::Position& start : starts) {
      qb::Position p = start;
      qb::Side side = qb::BLACK;
      for (int ply = 0; ply < 8; ++ply) {
        qb::MoveList moves;
        if (qb::generate_moves(p, moves, side) == 0) break;
        Moved m = engine_move(p, side, ply == 0);
        EXPECT_EQ(qb::resolve_wld(qb::g_wld, m.after, qb::opponent_of(side)), qb::RESOLVE_DRAW)
            << aux << " ply " << ply << ": " << m.status;
        EXPECT_NE(m.result, QB_LOSS);
        // Chosen by rating the drawing moves, not by a search.
        EXPECT_EQ(m.status.rfind("depth ", 0), 0u) << m.status;
        p = m.after;
        side = qb::opponent_of(side);
      }
    }
  }
}

TEST_F(Games, TheOtherDriversUseTheDatabasesToo) {
  open_databases({tables().wld, tables().dtw});
  Distances d(tables().dtw, TABLE_PIECES);
  std::vector<qb::Position> starts = endings(2, 1, 1, 1, d.wins_slowly(11));
  ASSERT_EQ(starts.size(), 1u);
  // Every root move scored: the distance play still chooses.
  qb::g_settings.allscores = 1;
  Moved m = engine_move(starts[0], qb::BLACK, true);
  qb::g_settings.allscores = 0;
  EXPECT_TRUE(std::regex_search(m.status, std::regex(R"(^\S+ \(black wins in \d+\)\*)"))) << m.status;
  EXPECT_EQ(m.result, QB_WIN);

  // The analysis export opens the databases as getmove does.
  close_all();
  ASSERT_FALSE(qb::db_open());
  char text[qb::HOST_TEXT_SIZE] = "";
  int32_t stop = 0, scores[qb::HOST_MOVELIST_SIZE];
  qb::HostMoveList moves;
  get_best_moves(&starts[0], qb::BLACK, 0.05, text, &stop, 0, 10, &moves, scores, 0);
  EXPECT_TRUE(qb::db_open());
  EXPECT_GT(moves.count, 0);
}

}  // namespace
