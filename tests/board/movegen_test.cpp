#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>
#include <vector>

#include "board/fen.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "reference_movegen.h"

using namespace qb;

namespace {

Position fen(const char* text) {
  auto parsed = parse_fen(text);
  EXPECT_TRUE(parsed) << text;
  return parsed ? parsed->position : Position{};
}

std::vector<Position> generated(const Position& p, Side side) {
  MoveList list;
  int n = generate_moves(p, list, side);
  return std::vector<Position>(list.moves, list.moves + n);
}

std::vector<std::string> texts(const Position& p, Side side) {
  std::vector<std::string> out;
  char buf[MOVE_TEXT_SIZE];
  for (const Position& next : generated(p, side)) out.push_back(move_text(buf, p, next));
  return out;
}

void sort_positions(std::vector<Position>& v) {
  std::sort(v.begin(), v.end(), [](const Position& a, const Position& b) {
    return std::tie(a.pieces[0], a.pieces[1], a.kings) < std::tie(b.pieces[0], b.pieces[1], b.kings);
  });
}

uint64_t perft(const Position& p, Side side, int depth) {
  MoveList list;
  int n = generate_moves(p, list, side);
  if (depth == 1) return n;
  uint64_t total = 0;
  for (int i = 0; i < n; ++i) total += perft(list.moves[i], opponent_of(side), depth - 1);
  return total;
}

// Random legal-looking positions: no man on its own crowning row.
Position random_position(std::mt19937& rng, int pieces, int king_percent) {
  Position p{{0, 0}, 0};
  std::uniform_int_distribution<int> square(0, 31), percent(0, 99);
  for (int placed = 0; placed < pieces;) {
    uint32_t bit = 1u << square(rng);
    if (p.occupied() & bit) continue;
    Side side = Side(placed & 1);
    bool king = percent(rng) < king_percent || (bit & CROWN_ROW[side]);
    p.pieces[side] |= bit;
    if (king) p.kings |= bit;
    ++placed;
  }
  return p;
}

}  // namespace

TEST(MoveGen, PerftFromTheStart) {
  const uint64_t expected[] = {7, 49, 302, 1469, 7361, 36768, 179740, 845931, 3963680};
  for (int depth = 1; depth <= 9; ++depth)
    EXPECT_EQ(perft(start_position(), BLACK, depth), expected[depth - 1]) << "depth " << depth;
}

TEST(MoveGen, OpeningMovesComeInGenerationOrder) {
  std::vector<std::string> black = {"9-14", "10-15", "11-16", "9-13", "10-14", "11-15", "12-16"};
  EXPECT_EQ(texts(start_position(), BLACK), black);
  Position after = fen("W:W21-32:B1-8,9,10,11,16");  // 12-16 played
  std::vector<std::string> white = {"21-17", "22-18", "23-19", "24-20", "22-17", "23-18", "24-19"};
  EXPECT_EQ(texts(after, WHITE), white);
}

TEST(MoveGen, AgreesWithReferenceOnRandomPositions) {
  std::mt19937 rng(12345);
  for (int trial = 0; trial < 30000; ++trial) {
    int pieces = 2 + trial % 23;
    int king_percent = (trial / 23) % 3 == 0 ? 90 : (trial / 23) % 3 == 1 ? 30 : 0;
    Position p = random_position(rng, pieces, king_percent);
    for (Side side : {BLACK, WHITE}) {
      std::vector<Position> ours = generated(p, side);
      std::vector<Position> theirs = reference::legal_moves(p, side);
      MoveList list;
      EXPECT_EQ(has_capture(p, side), generate_captures(p, list, side) > 0);
      sort_positions(ours);
      sort_positions(theirs);
      ASSERT_EQ(ours, theirs) << position_text(p, side);
    }
  }
}

TEST(MoveGen, AgreesWithReferenceAlongRandomGames) {
  std::mt19937 rng(777);
  for (int game = 0; game < 300; ++game) {
    Position p = start_position();
    Side side = BLACK;
    for (int ply = 0; ply < 200; ++ply) {
      std::vector<Position> ours = generated(p, side);
      std::vector<Position> theirs = reference::legal_moves(p, side);
      std::vector<Position> sorted = ours;
      sort_positions(sorted);
      sort_positions(theirs);
      ASSERT_EQ(sorted, theirs) << position_text(p, side);
      if (ours.empty()) break;
      p = ours[std::uniform_int_distribution<size_t>(0, ours.size() - 1)(rng)];
      side = opponent_of(side);
    }
  }
}

struct CaptureCase {
  const char* fen;
  std::vector<std::string> moves;  // move texts in generation order
  const char* note;
};

TEST(MoveGen, CaptureRules) {
  const CaptureCase cases[] = {
      {"B:W28:B24", {"24-27"}, "a jump off the board is no capture"},
      {"B:W27:B23", {"23x32"}, "a man crowns by capturing"},
      {"B:W26,27:B22", {"22x31"}, "crowning ends the move"},
      {"W:W30:B26,18", {"30x14"}, "both jumps of a double must be made"},
      {"B:W10,11,18,19:BK14", {"xxxx", "xxxx"}, "a king's circle, found both ways round"},
      {"B:W6:BK1,K2", {"1x10", "2x9"}, "two kings can take the same man"},
  };
  for (const CaptureCase& c : cases) {
    auto parsed = parse_fen(c.fen);
    ASSERT_TRUE(parsed) << c.fen;
    EXPECT_EQ(texts(parsed->position, parsed->side), c.moves) << c.note;
  }
}

TEST(MoveGen, KingCircleRemovesAllFourAndReturnsHome) {
  Position p = fen("B:W10,11,18,19:BK14");
  std::vector<Position> moves = generated(p, BLACK);
  ASSERT_EQ(moves.size(), 2u);
  Position home{{1u << 13, 0}, 1u << 13};
  EXPECT_EQ(moves[0], home);
  EXPECT_EQ(moves[1], home);
}

TEST(MoveGen, NoPiecesNoMoves) {
  MoveList list;
  EXPECT_EQ(generate_noncaptures(fen("B:W1:B"), list, BLACK), 0);
  EXPECT_EQ(generate_noncaptures(fen("B:W5-8:B1-4"), list, BLACK), 0);  // blocked men
}

TEST(MoveGen, PathsMatchCapturesAndShowEveryLanding) {
  std::mt19937 rng(99);
  for (int trial = 0; trial < 5000; ++trial) {
    Position p = random_position(rng, 4 + trial % 18, trial % 2 ? 60 : 10);
    for (Side side : {BLACK, WHITE}) {
      MoveList plain, with_paths;
      static CapturePath paths[MAX_MOVES];
      int n = generate_captures(p, plain, side);
      ASSERT_EQ(generate_captures_with_paths(p, with_paths, side, paths), n);
      for (int i = 0; i < n; ++i) {
        ASSERT_EQ(plain.moves[i], with_paths.moves[i]);
        const CapturePath& path = paths[i];
        ASSERT_GE(path.jumps, 1);
        EXPECT_EQ(path.path[0], p);
        EXPECT_EQ(path.path[path.jumps], plain.moves[i]);
        // Each step removes exactly one opponent piece.
        for (int k = 1; k <= path.jumps; ++k)
          EXPECT_EQ(std::popcount(path.path[k - 1].pieces[opponent_of(side)]) - 1,
                    std::popcount(path.path[k].pieces[opponent_of(side)]));
      }
    }
  }
}

TEST(MoveGen, DoubleJumpPath) {
  Position p = fen("W:W30:B26,18");
  MoveList list;
  CapturePath paths[MAX_MOVES];
  ASSERT_EQ(generate_captures_with_paths(p, list, WHITE, paths), 1);
  ASSERT_EQ(paths[0].jumps, 2);
  EXPECT_EQ(paths[0].path[1], fen("B:W23:B18"));
  EXPECT_EQ(paths[0].path[2], fen("B:W14:B"));
}
