// The two analyses that score every root move, inside the databases: each
// move's score must tell what the database says of the position it leads to.
// The database is asked through the driver's own interface, on a handle of
// the test's own, so that nothing of the engine stands between.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "board/bitops.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "interface/exports.h"
#include "interface/base/host_text.h"
#include "interface/base/settings.h"
#include "search/search_state.h"
#include "tables.h"
#include "tbdrv.h"

using namespace egtest;

namespace {

constexpr int MAX_PIECES = 5;
constexpr int RANDOM_ROOTS = 300;
constexpr double ANALYSIS_SECONDS = 0.02;
constexpr int WHOLE_DATABASE_CACHE_MB = 128;
constexpr int32_t HOST_BLACK = 2, HOST_WHITE = 1;
// get_best_moves deepens no further once its best move is won or lost: the
// other moves keep the values of that iteration, however shallow.
constexpr int DECIDED = 2000;

enum Verdict { WIN, DRAW, LOSS, NO_VERDICT };
const char* const VERDICT_NAME[] = {"win", "draw", "loss", "no verdict"};

// A score from the mover's view. The draw values are odd and small (a
// database draw or a repetition, seen from either side); anything beyond
// them is a win or a loss, and an evaluation near 0 is no verdict at all.
Verdict verdict_of_score(int score) {
  for (int draw : {qb::DATABASE_DRAW, qb::REPETITION_DRAW})
    if (score == draw || score == -draw) return DRAW;
  if (score > -qb::REPETITION_DRAW) return WIN;
  if (score < qb::REPETITION_DRAW) return LOSS;
  return NO_VERDICT;
}

struct Root {
  qb::Position position;
  qb::Side side;
};

std::string describe(const Root& r, const qb::Position& after) {
  char move[qb::MOVE_TEXT_SIZE];
  return qb::position_text(r.position, r.side) + " " + qb::move_text(move, r.position, after);
}

class AnalysisScores : public testing::Test {
 protected:
  void SetUp() override {
    const WldTables wld = largest_wld();
    pieces_ = std::min(wld.pieces, MAX_PIECES);
    // Only the WLD database: with a distance database the databases would
    // choose getmove's move without any analysis.
    DatabaseSetup setup{wld.dir, ""};
    setup.max_pieces = pieces_;
    // Room for every block, so that the searches' cache-only probes always
    // find their answer, however little time the machine gives them.
    setup.cache_mb = WHOLE_DATABASE_CACHE_MB;
    open_databases(setup);
    referee_ = tbdrv_open(0, pieces_, REFEREE_CACHE_MB, wld.dir.c_str(), nullptr);
    ASSERT_NE(referee_, nullptr) << wld.dir;
  }
  void TearDown() override {
    qb::g_settings.allscores = 0;
    if (referee_) referee_->ops->close(referee_);
    close_all();
  }

  // What the database says of `p` for `side` to move.
  Verdict database_verdict(const qb::Position& p, qb::Side side) const {
    tbdrv_position at{p.pieces[qb::BLACK], p.pieces[qb::WHITE], p.kings};
    switch (referee_->ops->lookup(referee_, &at, side, 0)) {
      case TBDRV_WIN:
        return WIN;
      case TBDRV_DRAW:
        return DRAW;
      case TBDRV_LOSS:
        return LOSS;
      default:
        return NO_VERDICT;
    }
  }
  Verdict verdict_of_move(const Root& r, const qb::Position& after) const {
    const Verdict opponent = database_verdict(after, qb::opponent_of(r.side));
    return opponent == WIN ? LOSS : opponent == LOSS ? WIN : opponent;
  }

  // Random roots of two pieces up to the database's (five at most) with
  // either side to move, and a few chosen ones (those the database holds),
  // all with a move to make.
  std::vector<Root> roots() const {
    struct Chosen {
      const char* fen;
      Verdict verdict;
    };
    const Chosen chosen[] = {
        {"B:WK3,K32:BK7,K14,K26", WIN},  // moves that win, draw and lose
        {"W:WK5,K21:BK14", WIN},         // the same with three kings
        {"B:WK13,20:B17,21,K27", WIN},   // men on both sides, all three kinds
        {"B:W13,21:B5,28", WIN},         // one move wins, the other loses
        {"B:WK2,K12:BK9,K22", DRAW},     // drawing moves and one that loses
        {"W:W15,K27:BK16,K17", DRAW},   {"W:WK1:BK15,K18", LOSS}, {"B:W6,K16,K30:BK8,K15", LOSS},
    };
    std::vector<Root> list;
    for (const Chosen& c : chosen) {
      qb::Side side = qb::BLACK;
      Root r{parse(c.fen, &side), side};
      if (qb::pop_count(r.position.occupied()) > pieces_) continue;
      EXPECT_EQ(database_verdict(r.position, r.side), c.verdict) << c.fen;
      list.push_back(r);
    }
    std::mt19937 rng(2024);
    for (int found = 0; found < RANDOM_ROOTS;) {
      Root r{random_position(rng, 2 + int(rng() % (pieces_ - 1))), qb::Side(rng() % 2)};
      qb::MoveList moves;
      if (qb::generate_moves(r.position, moves, r.side) == 0) continue;
      if (database_verdict(r.position, r.side) == NO_VERDICT) continue;
      list.push_back(r);
      ++found;
    }
    return list;
  }

  void check(const Root& r, const qb::Position& after, int black_view_score) {
    const int score = r.side == qb::BLACK ? black_view_score : -black_view_score;
    const Verdict truth = verdict_of_move(r, after);
    ASSERT_NE(truth, NO_VERDICT) << describe(r, after);
    ++checked_[truth];
    EXPECT_EQ(verdict_of_score(score), truth)
        << describe(r, after) << " scored " << score << ", the database says " << VERDICT_NAME[truth];
  }

  // Every checked move by its database verdict: the sample must hold
  // plenty of each, or it would show little.
  void expect_every_verdict_checked(const char* analysis) const {
    std::printf("%s: %d moves checked (%d win, %d draw, %d loss), %d pieces\n", analysis,
                checked_[WIN] + checked_[DRAW] + checked_[LOSS], checked_[WIN], checked_[DRAW],
                checked_[LOSS], pieces_);
    for (Verdict v : {WIN, DRAW, LOSS}) EXPECT_GE(checked_[v], 50) << VERDICT_NAME[v];
  }

  static constexpr int REFEREE_CACHE_MB = 64;
  int pieces_ = 0;
  tbdrv_handle* referee_ = nullptr;
  int checked_[3] = {0, 0, 0};
};

// getmove with allscores on: every move searched to an exact value, and the
// list of "move,value" in the status text, black's view.
TEST_F(AnalysisScores, GetmoveAllScoresAgreeWithTheDatabase) {
  const std::vector<Root> list = roots();
  int ambiguous = 0;
  for (const Root& r : list) {
    int32_t board[8][8];
    qb::to_host_board(r.position, board);
    char status[qb::HOST_TEXT_SIZE] = "";
    int32_t stop = 0;
    qb::g_settings.allscores = 1;
    getmove(board, r.side == qb::WHITE ? HOST_WHITE : HOST_BLACK, ANALYSIS_SECONDS, status, &stop, 1, 0);
    qb::g_settings.allscores = 0;

    // A move text names only the two end squares: a text that several moves
    // share is checked when the database gives them one verdict.
    qb::MoveList moves;
    const int count = qb::generate_moves(r.position, moves, r.side);
    std::istringstream words(status);
    std::string word;
    words >> word >> word >> word;  // "depth", "N,", "T.Ts,"
    int listed = 0;
    while (words >> word && word != "pv") {
      const std::size_t comma = word.find(',');
      ASSERT_NE(comma, std::string::npos) << status;
      const std::string text = word.substr(0, comma);
      const int value = std::stoi(word.substr(comma + 1));
      ++listed;
      std::vector<qb::Position> named;
      for (int i = 0; i < count; ++i) {
        char buf[qb::MOVE_TEXT_SIZE];
        if (text == qb::move_text(buf, r.position, moves.moves[i])) named.push_back(moves.moves[i]);
      }
      ASSERT_FALSE(named.empty()) << text << " in " << status;
      const bool one_verdict = std::all_of(named.begin(), named.end(), [&](const qb::Position& p) {
        return verdict_of_move(r, p) == verdict_of_move(r, named[0]);
      });
      if (one_verdict) {
        check(r, named[0], value);
      } else {
        ++ambiguous;
      }
    }
    EXPECT_EQ(listed, count) << status;
  }
  std::printf("%zu roots, %d moves named alike with different verdicts\n", list.size(), ambiguous);
  expect_every_verdict_checked("allscores");
}

// get_best_moves with margin 0: the moves outside the margin carry the
// excluded score, which must then be a lost move.
TEST_F(AnalysisScores, BestMovesScoresAgreeWithTheDatabase) {
  const std::vector<Root> list = roots();
  int decided = 0;
  for (const Root& r : list) {
    char text[qb::HOST_TEXT_SIZE] = "";
    int32_t stop = 0, scores[qb::HOST_MOVELIST_SIZE];
    qb::HostMoveList moves;
    ASSERT_EQ(get_best_moves(&r.position, r.side, ANALYSIS_SECONDS, text, &stop, 0, 0, &moves, scores, 0), 0)
        << text;
    ASSERT_GT(moves.count, 0);
    decided += std::abs(scores[0]) >= DECIDED;
    for (int i = 0; i < moves.count; ++i) check(r, moves.moves[i], scores[i]);
  }
  std::printf("%zu roots, %d of them won or lost\n", list.size(), decided);
  expect_every_verdict_checked("get_best_moves");
}

}  // namespace
