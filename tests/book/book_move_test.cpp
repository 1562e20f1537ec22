// Choosing book moves: the ranking, the candidates of each level, the random
// draw among them, the text, the repetition guard, and printing the book.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "board/fen.h"
#include "board/movetext.h"
#include "book/book.h"
#include "book/book_fixture.h"
#include "book/book_move.h"
#include "interface/base/host_text.h"
#include "interface/base/log.h"
#include "interface/base/settings.h"
#include "support/temp_env.h"

namespace {

using namespace qb;

// A book around one root: the root's record, and for chosen moves a record
// of the position after the move (whose own first move leaves the book), so
// the move's line has depth 1 and that record's value.
struct Scenario {
  Position root = start_position();
  Side side = BLACK;
  int first = 0;
  int second = BOOK_NO_MOVE;
  int root_value = 0;
  std::map<int, int> line_values;   // move index -> value of the book position after it
  std::vector<BookPosition> extra;  // further positions, as they stand

  std::vector<BookPosition> positions() const {
    std::vector<BookPosition> out = extra;
    out.push_back({root, side, {first, second, root_value}});
    MoveList moves = qbtest::legal_moves(root, side);
    for (auto [index, value] : line_values)
      out.push_back({moves.moves[index], opponent_of(side), {0, BOOK_NO_MOVE, value}});
    return out;
  }
};

struct Choice {
  bool played = false;
  int index = -1;
  int value = 0;
  std::string text;
};

class BookMove : public testing::Test {
 protected:
  void SetUp() override { free_book(); }
  void TearDown() override {
    free_book();
    g_settings.book = 1;
    g_log_path.clear();
  }

  void load(const Scenario& s) {
    scenario = s;
    moves = qbtest::legal_moves(s.root, s.side);
    qbtest::load_positions(s.positions());
  }
  Choice choose(int level, const SearchNode* history = nullptr) {
    g_settings.book = level;
    Choice c;
    char status[HOST_TEXT_SIZE] = "untouched";
    c.played = book_move(scenario.root, scenario.side, moves, history, &c.index, &c.value, status);
    c.text = status;
    return c;
  }
  std::string text_of(int index) const {
    char buf[MOVE_TEXT_SIZE];
    return move_text(buf, scenario.root, moves.moves[index]);
  }

  Scenario scenario;
  MoveList moves{};
};

// The rivals listed after the played move: move text -> mark ('*' or '?').
std::vector<std::pair<std::string, char>> listed_rivals(const std::string& text) {
  std::vector<std::pair<std::string, char>> out;
  std::size_t at = text.find("  ");
  while (at != std::string::npos) {
    std::size_t next = text.find("  ", at + 2);
    std::string token = text.substr(at + 2, next == std::string::npos ? std::string::npos : next - at - 2);
    out.push_back({token.substr(0, token.find('(')), token.back()});
    at = next;
  }
  return out;
}

TEST_F(BookMove, LevelsChooseTheirCandidatesAndMarkTheRest) {
  // The start position has seven moves. First move 0 (line value 20),
  // second move 1 (line value 15).
  struct Case {
    int level;
    std::map<int, int> rivals;  // moves 2..6 in the book, with their line values
    std::set<int> candidates;
  } cases[] = {
      {1, {{2, 30}, {3, 31}, {4, 10}, {5, 9}}, {0, 1, 2, 4}},  // within 10 of 20, either way
      {2, {{2, 20}, {3, 19}, {4, 21}}, {0, 1, 2}},             // equal to 20 only
      {3, {{2, 20}, {3, 40}}, {0, 1}},                         // the book's own two moves
      {7, {{2, 20}}, {0, 1}},                                  // unknown levels act as 3
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "level " << c.level);
    Scenario s;
    s.first = 0;
    s.second = 1;
    s.line_values = c.rivals;
    s.line_values[0] = 20;
    s.line_values[1] = 15;
    load(s);
    std::set<int> played;
    for (int i = 0; i < 200; ++i) {
      Choice choice = choose(c.level);
      ASSERT_TRUE(choice.played);
      played.insert(choice.index);
      EXPECT_EQ(choice.value, s.line_values[choice.index]);
      EXPECT_EQ(choice.text.substr(0, choice.text.find("  ")),
                text_of(choice.index) + "(" + std::to_string(choice.value) + "/1)*");
      std::set<std::string> listed;
      for (auto [move, mark] : listed_rivals(choice.text)) {
        listed.insert(move);
        bool candidate = false;
        for (int m : c.candidates) candidate = candidate || text_of(m) == move;
        EXPECT_EQ(mark, candidate ? '*' : '?') << move;
      }
      EXPECT_EQ(listed.size(), s.line_values.size() - 1);  // every other in-book move
    }
    EXPECT_EQ(played, c.candidates);
  }
}

TEST_F(BookMove, FirstMoveOutOfTheBookKeepsTheRecordValue) {
  Scenario s;
  s.first = 3;
  s.root_value = -17;
  load(s);
  Choice c = choose(3);
  ASSERT_TRUE(c.played);
  EXPECT_EQ(c.index, 3);
  EXPECT_EQ(c.value, -17);
  EXPECT_EQ(c.text, text_of(3) + "(-17/0)*");
}

TEST_F(BookMove, RivalsSortByTheMoversPreference) {
  // The same values ranked for black (highest first) and for white (lowest).
  for (Side side : {BLACK, WHITE}) {
    SCOPED_TRACE(side);
    Scenario s;
    s.root = side == BLACK ? start_position() : qbtest::legal_moves(start_position(), BLACK).moves[2];
    s.side = side;
    s.first = 0;
    s.line_values = {{0, 0}, {1, -40}, {2, 25}, {3, 60}, {4, -5}};
    load(s);
    Choice c = choose(3);
    ASSERT_TRUE(c.played);
    std::vector<std::string> order;
    for (auto [move, mark] : listed_rivals(c.text)) order.push_back(move);
    std::vector<std::string> expected = side == BLACK
                                            ? std::vector{text_of(3), text_of(2), text_of(4), text_of(1)}
                                            : std::vector{text_of(1), text_of(4), text_of(2), text_of(3)};
    EXPECT_EQ(order, expected);
  }
}

TEST_F(BookMove, LineValueAndDepthComeFromTheEndOfTheLine) {
  // start -(move 0)-> a -(a's move 1)-> b, both in the book; b's line ends there.
  Position a = qbtest::legal_moves(start_position(), BLACK).moves[0];
  Position b = qbtest::legal_moves(a, WHITE).moves[1];
  Scenario s;
  s.first = 0;
  s.root_value = 3;
  s.extra = {{a, WHITE, {1, BOOK_NO_MOVE, -8}}, {b, BLACK, {0, BOOK_NO_MOVE, 44}}};
  load(s);
  EXPECT_EQ(choose(3).text, text_of(0) + "(44/2)*");
}

// Two kings chasing round: p -> q -> r -> s -> p, each the first book move.
struct KingCycle {
  Position p = parse_fen("B:WK32:BK1")->position;
  Position q = qbtest::legal_moves(p, BLACK).moves[0];
  Position r = qbtest::legal_moves(q, WHITE).moves[0];
  Position s{{p.pieces[BLACK], r.pieces[WHITE]}, p.pieces[BLACK] | r.pieces[WHITE]};
};

TEST_F(BookMove, LinesThatCycleEndAtTheFirstRepeatedPosition) {
  KingCycle k;
  int r_to_s = qbtest::move_index(k.r, BLACK, k.s);
  int s_to_p = qbtest::move_index(k.s, WHITE, k.p);
  ASSERT_GE(r_to_s, 0);
  ASSERT_GE(s_to_p, 0);
  Scenario sc;
  sc.root = k.p;
  sc.first = 0;
  sc.root_value = 1;
  sc.extra = {{k.q, WHITE, {0, BOOK_NO_MOVE, 2}},
              {k.r, BLACK, {r_to_s, BOOK_NO_MOVE, 3}},
              {k.s, WHITE, {s_to_p, BOOK_NO_MOVE, 4}}};
  load(sc);
  // The walk from q passes r, s and p, whose first move meets q already
  // walked: p takes q's value at depth 1, s depth 2, r 3, q 4, the move 5.
  Choice c = choose(3);
  ASSERT_TRUE(c.played);
  EXPECT_EQ(c.text, text_of(0) + "(2/5)*");
}

TEST_F(BookMove, RepetitionGuardRefusesMovesBetterThanADraw) {
  // Kings shuffle p0 -> p1 -> p2 -> p3 -> p0; the book's move from there
  // leads to p1 again, four plies after it stood on the board.
  for (Side side : {BLACK, WHITE}) {
    const Side other = opponent_of(side);
    Position p0 = parse_fen(side == BLACK ? "B:WK32:BK1" : "W:WK32:BK1")->position;
    Position p1 = qbtest::legal_moves(p0, side).moves[0];
    Position p2 = qbtest::legal_moves(p1, other).moves[0];
    Position p3 = p2;
    p3.pieces[side] = p0.pieces[side];
    p3.kings = p3.pieces[BLACK] | p3.pieces[WHITE];
    ASSERT_GE(qbtest::move_index(p2, side, p3), 0);
    ASSERT_GE(qbtest::move_index(p3, other, p0), 0);
    const Position game[5] = {p0, p1, p2, p3, p0};
    SearchNode history[5];
    auto set_reversible = [&](int first_count) {
      for (int i = 0; i < 5; ++i) {
        history[i] = make_root(game[i], Side((side + i) & 1), i ? &history[i - 1] : nullptr);
        history[i].reversible = std::max(0, first_count + i);
      }
    };
    struct Case {
      int mover_value;
      bool played;
    } cases[] = {{2, false}, {1, true}, {0, true}, {-5, true}};
    for (const Case& c : cases) {
      int value = side == BLACK ? c.mover_value : -c.mover_value;
      SCOPED_TRACE(testing::Message() << "side " << side << " value " << value);
      Scenario s;
      s.root = p0;
      s.side = side;
      s.root_value = value;
      load(s);
      set_reversible(0);
      Choice choice = choose(3, &history[4]);
      EXPECT_EQ(choice.played, c.played);
      if (!c.played) {
        EXPECT_EQ(choice.text, "untouched");
      }
      EXPECT_TRUE(choose(3, nullptr).played);  // no game behind the position
      set_reversible(-2);  // the run of reversible moves starts at p2: too short to reach p1
      EXPECT_TRUE(choose(3, &history[4]).played);
    }
  }
}

TEST_F(BookMove, NoMoveWithoutACandidate) {
  struct Case {
    std::map<int, int> rivals;
    int level;
  } cases[] = {
      {{}, 1},                // nothing in the book behind any move
      {{{2, 5}, {3, 5}}, 3},  // in-book rivals, but the book's own moves are no legal moves
  };
  for (const Case& c : cases) {
    Scenario s;
    s.first = 30;
    s.second = 29;
    s.line_values = c.rivals;
    load(s);
    Choice choice = choose(c.level);
    EXPECT_FALSE(choice.played);
    EXPECT_EQ(choice.text, "untouched");
  }
  free_book();
  EXPECT_FALSE(choose(3).played);
}

TEST_F(BookMove, PrintBookWritesEachPositionAfterItsSuccessors) {
  MoveList start_moves = qbtest::legal_moves(start_position(), BLACK);
  Position a = start_moves.moves[0];
  Position t = qbtest::legal_moves(a, WHITE).moves[0];
  Scenario s;
  s.first = 0;
  s.second = 1;
  s.line_values = {{1, -3}, {2, 9}};
  s.extra = {{a, WHITE, {0, BOOK_NO_MOVE, 5}}, {t, BLACK, {0, BOOK_NO_MOVE, 9}}};
  load(s);
  g_settings.book = 3;
  g_log_path = qbtest::make_temp_dir("log") + "/print.log";
  print_book();

  std::string log = qbtest::read_file(g_log_path);
  char buf[MOVE_TEXT_SIZE];
  std::string t_move = move_text(buf, t, qbtest::legal_moves(t, BLACK).moves[0]);
  std::string a_move = move_text(buf, a, t);
  std::string expected = position_text(t, BLACK) + "\n\n" + t_move + "(9/0)*\n\n" + position_text(a, WHITE) +
                         "\n\n" + a_move + "(9/1)*\n\n" + position_text(start_moves.moves[1], WHITE) + "\n\n";
  EXPECT_EQ(log.substr(0, expected.size()), expected);
  std::string start_entry = position_text(start_position(), BLACK) + "\n\n" + text_of(0) + "(9/2)*  " +
                            text_of(1) + "(-3/1)*  " + text_of(2) + "(9/1)?\n\n";
  EXPECT_EQ(log.substr(log.size() - std::min(log.size(), start_entry.size())), start_entry);
  struct Printed {
    Position p;
    Side side;
  } printed[] = {{t, BLACK},
                 {a, WHITE},
                 {start_moves.moves[1], WHITE},
                 {start_moves.moves[2], WHITE},
                 {start_position(), BLACK}};
  for (const Printed& p : printed) {
    std::string heading = position_text(p.p, p.side) + "\n\n";
    std::size_t first = log.find(heading);
    EXPECT_NE(first, std::string::npos);
    EXPECT_EQ(log.find(heading, first + 1), std::string::npos);
  }
}

TEST_F(BookMove, PrintBookWithoutABookOnlyNotes) {
  g_log_path = qbtest::make_temp_dir("log") + "/print.log";
  print_book();
  EXPECT_EQ(qbtest::read_file(g_log_path), "printbook: no opening book loaded\n");
}

}  // namespace
