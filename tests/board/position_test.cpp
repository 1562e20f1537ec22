#include "board/position.h"

#include <gtest/gtest.h>

#include <random>

#include "board/bitops.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "board/movetext.h"

using namespace qb;

TEST(Position, SquaresMapToHostCells) {
  struct {
    int square, x, y;
  } cases[] = {{1, 6, 0}, {4, 0, 0}, {5, 7, 1}, {8, 1, 1}, {29, 7, 7}, {32, 1, 7}};
  for (auto c : cases) {
    HostCell cell = square_to_host(c.square);
    EXPECT_EQ(cell.x, c.x) << c.square;
    EXPECT_EQ(cell.y, c.y) << c.square;
  }
}

TEST(Position, HostBoardRoundTripKeepsLightSquares) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 200; ++trial) {
    int32_t board[8][8];
    for (auto& column : board)
      for (auto& cell : column) cell = int32_t(rng() % 12);  // includes unknown codes
    int32_t before[8][8];
    std::copy(&board[0][0], &board[0][0] + 64, &before[0][0]);
    Position p = from_host_board(board);
    to_host_board(p, board);
    for (int x = 0; x < 8; ++x) {
      for (int y = 0; y < 8; ++y) {
        bool dark = (x + y) % 2 == 0;
        int32_t code = before[x][y];
        bool known = code == 5 || code == 6 || code == 9 || code == 10;
        EXPECT_EQ(board[x][y], !dark ? code : known ? code : 0) << x << "," << y;
      }
    }
    EXPECT_EQ(from_host_board(board), p);
  }
}

TEST(Position, ChildCountsReversiblePlies) {
  SearchNode root = make_root(parse_fen("B:WK30,26:BK1,9")->position, BLACK, nullptr);
  root.reversible = 4;
  struct {
    const char* after;
    bool capture;
    int expected;
  } cases[] = {
      {"W:WK30,26:BK5,9", false, 5},   // king move
      {"W:WK30,26:BK1,13", false, 0},  // man move
  };
  for (auto c : cases) {
    SearchNode child = make_child(root, parse_fen(c.after)->position, c.capture);
    EXPECT_EQ(child.reversible, c.expected) << c.after;
    EXPECT_EQ(child.side, WHITE);
    EXPECT_EQ(child.parent, &root);
  }
  SearchNode capture = make_child(root, parse_fen("W:WK30:BK1,9")->position, true);
  EXPECT_EQ(capture.reversible, 0);
}

TEST(Position, PromotionAndFromTo) {
  Position before = parse_fen("B:W1:B27")->position;
  Position crowned = parse_fen("W:W1:BK31")->position;
  EXPECT_TRUE(is_promotion(before, crowned, BLACK));
  Position king_move = parse_fen("W:W1:BK32")->position;
  EXPECT_FALSE(is_promotion(crowned, king_move, BLACK));
  FromTo ft = move_from_to(before.black(), crowned.black());
  EXPECT_EQ(ft.from, 26);
  EXPECT_EQ(ft.to, 30);
  EXPECT_TRUE(has_man_on_crown_row(parse_fen("B:W5:B30")->position));
  EXPECT_TRUE(has_man_on_crown_row(parse_fen("B:W2:B5")->position));
  EXPECT_FALSE(has_man_on_crown_row(parse_fen("B:W5:BK30")->position));
}

// Both ways of counting agree with counting bit by bit, on a processor with
// the instruction and on one without.
TEST(PopCount, TableAndInstructionAgree) {
  std::mt19937 rng(5);
  const bool had_instruction = g_use_hw_popcount;
  for (bool instruction : {false, true}) {
    init_popcount(instruction);
    for (int i = 0; i < 10000; ++i) {
      uint32_t x = rng() & rng();  // sparse and dense masks alike
      int bits = 0;
      for (uint32_t y = x; y; y >>= 1) bits += int(y & 1);
      ASSERT_EQ(pop_count(x), bits) << std::hex << x << (instruction ? " instruction" : " table");
    }
    EXPECT_EQ(pop_count(0xFFFFFFFFu), 32);
  }
  init_popcount(had_instruction);
}

TEST(MoveText, NamesFirstAndLastSquare) {
  struct {
    const char* before;
    const char* after;
    const char* text;
  } cases[] = {
      {"B:W30:B9", "W:W30:B13", "9-13"},    {"W:W22:B18", "B:W15:B", "22x15"},
      {"W:W30:B26,18", "B:W14:B", "30x14"}, {"B:W10,11,18,19:BK14", "W:W:BK14", "xxxx"},
      {"B:W30:B9", "B:W30:B9", "xxxx"},
  };
  char buf[MOVE_TEXT_SIZE];
  for (auto c : cases)
    EXPECT_STREQ(move_text(buf, parse_fen(c.before)->position, parse_fen(c.after)->position), c.text);
}

TEST(Fen, WritesRangesAndReadsBothForms) {
  Position p = parse_fen("B:W21,22,23,24,30,K31:B1,2,3")->position;
  EXPECT_EQ(position_text(p, BLACK), "B:W21-24,30,K31:B1-3");
  EXPECT_EQ(position_text(start_position(), BLACK), "B:W21-32:B1-12");
  auto again = parse_fen("[FEN \"W:B1-3:W21-24,30,K31.\"]");
  EXPECT_FALSE(again) << "tag brackets are not position text";
  auto quoted = parse_fen("\"W:B1-3:W21-24,30,K31.\"");
  ASSERT_TRUE(quoted);
  EXPECT_EQ(quoted->position, p);
  EXPECT_EQ(quoted->side, WHITE);
  EXPECT_EQ(position_text(parse_fen("B:WK5,K6,K7,8:B")->position, BLACK), "B:WK5-7,8:B");
}

TEST(Fen, RejectsMalformedText) {
  for (const char* bad : {"", "X:W1:B2", "B:W1", "B:W1:B1", "B:W33:B2", "B:W0:B2", "B:W1,:B2", "B:W5-3:B1",
                          "B:W1:B2:B3", "B:Wx:B2"})
    EXPECT_FALSE(parse_fen(bad)) << bad;
}
