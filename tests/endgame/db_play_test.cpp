// Play by database distances, and the texts that tell the result.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>

#include "board/movegen.h"
#include "board/movetext.h"
#include "endgame/databases.h"
#include "endgame/db_play.h"
#include "endgame/resolve.h"
#include "interface/base/host_text.h"
#include "support/temp_env.h"
#include "tables.h"

using namespace egtest;

namespace {

struct Root {
  qb::Position p;
  qb::Side side;
};

// The first position (black pieces `black_kings` kings and `black_men`
// men, white likewise) that `accept` takes, scanning squares in order.
bool scan(int black_kings, int white_kings, int white_men, qb::Side side,
          const std::function<bool(const qb::Position&)>& accept, Root& out) {
  const int pieces = black_kings + white_kings + white_men;
  std::vector<int> sq(size_t(pieces), 0);
  std::function<bool(int)> place = [&](int i) -> bool {
    if (i == pieces) {
      qb::Position p{{0, 0}, 0};
      for (int k = 0; k < pieces; ++k) {
        uint32_t bit = 1u << sq[size_t(k)];
        if (p.occupied() & bit) return false;
        bool black = k < black_kings;
        bool king = k < black_kings + white_kings;
        p.pieces[black ? qb::BLACK : qb::WHITE] |= bit;
        if (king) p.kings |= bit;
      }
      if (qb::has_man_on_crown_row(p) || !accept(p)) return false;
      out = Root{p, side};
      return true;
    }
    for (int s = 0; s < 32; ++s) {
      sq[size_t(i)] = s;
      if (place(i + 1)) return true;
    }
    return false;
  };
  return place(0);
}

int aux_value(const qb::Position& p, qb::Side side) {
  return qb::driver_lookup(qb::g_aux.handle, p, side, false);
}

struct Listed {
  std::string move;
  int distance;
  bool star;
};
// ",  11-15 (7)*" items after the first.
std::vector<Listed> listed_after(const std::string& text, size_t from) {
  std::vector<Listed> items;
  std::regex item(R"(,  (\S+) \((\d+)\)(\*?))");
  for (std::sregex_iterator it(text.begin() + long(from), text.end(), item), end; it != end; ++it)
    items.push_back({(*it)[1], std::stoi((*it)[2]), (*it)[3] == "*"});
  return items;
}

std::string text_of(const qb::Position& root, const qb::Position& child) {
  char buf[qb::MOVE_TEXT_SIZE];
  return qb::move_text(buf, root, child);
}

class DbPlay : public testing::Test {
 protected:
  void TearDown() override { close_all(); }

  static bool play(const Root& r, qb::DbPlayChoice& choice, std::string& status, qb::MoveList& moves) {
    int count = qb::generate_moves(r.p, moves, r.side);
    char text[qb::HOST_TEXT_SIZE] = "";
    bool played = qb::db_play(qb::make_root(r.p, r.side, nullptr), moves, count, 1.0, text, choice);
    status = text;
    return played;
  }
};

TEST_F(DbPlay, AWinIsPlayedByTheShortestDistanceToWin) {
  open_databases({tables().wld, tables().dtw});
  ASSERT_EQ(qb::g_aux.type, 11);
  // Black to move wins in 7 plies (3 of its own moves after this one).
  Root r;
  ASSERT_TRUE(scan(
      2, 1, 0, qb::BLACK,
      [](const qb::Position& p) {
        return !qb::has_capture(p, qb::BLACK) && wld_value(p, qb::BLACK) == qb::WLD_WIN &&
               aux_value(p, qb::BLACK) == 3;
      },
      r));
  qb::DbPlayChoice choice;
  std::string status;
  qb::MoveList moves;
  ASSERT_TRUE(play(r, choice, status, moves));
  const std::string move = text_of(r.p, moves.moves[choice.index]);
  EXPECT_EQ(choice.distance, 7);
  EXPECT_EQ(choice.value, 3993);
  EXPECT_EQ(status.rfind(move + " (black wins in 7)*", 0), 0u) << status;
  EXPECT_EQ(qb::resolve_wld(qb::g_wld, moves.moves[choice.index], qb::WHITE), qb::RESOLVE_LOSS);
  for (const Listed& other : listed_after(status, move.size())) {
    EXPECT_GE(other.distance, 7) << status;
    EXPECT_EQ(other.star, other.distance == 7) << status;
  }
}

TEST_F(DbPlay, ALossIsPlayedByTheLongestResistance) {
  open_databases({tables().wld, tables().dtw});
  Root r;
  ASSERT_TRUE(scan(
      2, 1, 0, qb::WHITE,
      [](const qb::Position& p) {
        return !qb::has_capture(p, qb::WHITE) && wld_value(p, qb::WHITE) == qb::WLD_LOSS &&
               aux_value(p, qb::WHITE) >= 4;
      },
      r));
  const int plies = 2 * aux_value(r.p, qb::WHITE);
  qb::DbPlayChoice choice;
  std::string status;
  qb::MoveList moves;
  ASSERT_TRUE(play(r, choice, status, moves));
  const std::string move = text_of(r.p, moves.moves[choice.index]);
  EXPECT_EQ(choice.distance, plies);
  EXPECT_EQ(choice.value, 4000 - plies);  // black wins: positive
  EXPECT_EQ(status.rfind(move + " (white loses in " + std::to_string(plies) + ")*", 0), 0u) << status;
  for (const Listed& other : listed_after(status, move.size())) EXPECT_LE(other.distance, plies);
}

TEST_F(DbPlay, ALostConversionResistsWithKingMovesOnly) {
  open_databases({tables().wld, tables().mtc});
  ASSERT_EQ(qb::g_aux.type, 5);
  // White has a king and a man that can both move, and is lost.
  Root r;
  ASSERT_TRUE(scan(
      2, 1, 1, qb::WHITE,
      [](const qb::Position& p) {
        if (qb::has_capture(p, qb::WHITE) || wld_value(p, qb::WHITE) != qb::WLD_LOSS) return false;
        if (aux_value(p, qb::WHITE) < 3) return false;
        qb::MoveList moves;
        int n = qb::generate_moves(p, moves, qb::WHITE), man_moves = 0;
        for (int i = 0; i < n; ++i) man_moves += qb::men_changed(p, moves.moves[i], qb::WHITE);
        return man_moves > 0 && man_moves < n;
      },
      r));
  qb::DbPlayChoice choice;
  std::string status;
  qb::MoveList moves;
  ASSERT_TRUE(play(r, choice, status, moves)) << status;
  EXPECT_EQ(choice.value, 3900);
  EXPECT_FALSE(qb::men_changed(r.p, moves.moves[choice.index], qb::WHITE));
  std::smatch head;
  ASSERT_TRUE(std::regex_search(status, head, std::regex(R"(^value=3900,  (\S+) \(conv\. in (\d+)\)\*)")))
      << status;
  EXPECT_EQ(head[1], text_of(r.p, moves.moves[choice.index]));
  int last = std::stoi(head[2]);
  EXPECT_EQ(last, choice.distance);
  // Every move listed is a king move, longest conversion first.
  const uint32_t king = r.p.kings_of(qb::WHITE);
  for (const Listed& other : listed_after(status, size_t(head.length()))) {
    EXPECT_LE(other.distance, last) << status;
    last = other.distance;
    bool found = false;
    for (int i = 0; i < qb::generate_moves(r.p, moves, qb::WHITE); ++i)
      if (text_of(r.p, moves.moves[i]) == other.move) {
        found = true;
        EXPECT_NE(r.p.pieces[qb::WHITE] & king & ~moves.moves[i].pieces[qb::WHITE], 0u) << other.move;
      }
    EXPECT_TRUE(found) << other.move;
  }
}

TEST_F(DbPlay, AWonConversionTakesTheShortestWay) {
  open_databases({tables().wld, tables().mtc});
  Root r;
  ASSERT_TRUE(scan(
      2, 1, 0, qb::BLACK,
      [](const qb::Position& p) {
        return !qb::has_capture(p, qb::BLACK) && wld_value(p, qb::BLACK) == qb::WLD_WIN &&
               aux_value(p, qb::BLACK) >= 3;
      },
      r));
  qb::DbPlayChoice choice;
  std::string status;
  qb::MoveList moves;
  ASSERT_TRUE(play(r, choice, status, moves)) << status;
  EXPECT_EQ(choice.value, 3900);
  std::smatch head;
  ASSERT_TRUE(std::regex_search(status, head, std::regex(R"(^value=3900,  (\S+) \(conv\. in (\d+)\)\*)")))
      << status;
  for (const Listed& other : listed_after(status, size_t(head.length())))
    EXPECT_GE(other.distance, choice.distance) << status;
  EXPECT_EQ(qb::resolve_wld(qb::g_wld, moves.moves[choice.index], qb::WHITE), qb::RESOLVE_LOSS);
}

// A copy of the moves-to-conversion tables whose every file has its last
// data byte damaged: the files open, but lookups in those blocks have no
// answer.
std::string damaged_mtc_tables() {
  namespace fs = std::filesystem;
  const std::string dir = qbtest::make_temp_dir("damaged-mtc") + "/mtc";
  fs::copy(tables().mtc, dir, fs::copy_options::recursive);
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::fstream f(entry.path(), std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(-1, std::ios::end);
    char c = 0;
    f.read(&c, 1);
    f.seekp(-1, std::ios::end);
    f.put(char(c ^ 0x5A));
  }
  return dir;
}

// "No answer" is no distance: the conversion play leaves such a position to
// the search rather than play the move it would rank first.
TEST_F(DbPlay, AConversionTableWithoutAnAnswerDeclines) {
  open_databases({tables().wld, damaged_mtc_tables()});
  ASSERT_EQ(qb::g_aux.type, 5);
  struct Case {
    const char* what;
    qb::Side side;
    int wld;
  };
  const Case cases[] = {{"won", qb::BLACK, qb::WLD_WIN}, {"lost", qb::WHITE, qb::WLD_LOSS}};
  for (const Case& c : cases) {
    Root r;
    ASSERT_TRUE(scan(
        2, 1, 0, c.side,
        [&](const qb::Position& p) {
          return !qb::has_capture(p, c.side) && wld_value(p, c.side) == c.wld && aux_value(p, c.side) < 0;
        },
        r))
        << c.what;
    qb::DbPlayChoice choice;
    std::string status;
    qb::MoveList moves;
    EXPECT_FALSE(play(r, choice, status, moves)) << c.what << ": " << status;
    EXPECT_EQ(status.find("-1"), std::string::npos) << c.what << ": " << status;
  }
}

TEST_F(DbPlay, NeedsBothDatabasesAndARootWithinThem) {
  const Root won{parse("B:WK1:BK15,K18"), qb::BLACK};
  qb::DbPlayChoice choice;
  std::string status;
  qb::MoveList moves;
  open_databases({tables().wld, ""});
  EXPECT_FALSE(play(won, choice, status, moves));
  EXPECT_EQ(status, "");

  DatabaseSetup setup{tables().wld, tables().dtw};
  setup.max_pieces = 2;
  open_databases(setup);
  EXPECT_FALSE(play(won, choice, status, moves));

  // Drawn: nothing to play by distance.
  open_databases({tables().wld, tables().dtw});
  EXPECT_FALSE(play(Root{parse("B:WK32:BK1"), qb::BLACK}, choice, status, moves));
  EXPECT_TRUE(play(won, choice, status, moves));
}

}  // namespace
