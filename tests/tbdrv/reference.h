// An independent solver for the tests: every position of up to three
// pieces, both sides to move, solved by plain rounds over a list of
// positions with its own move generator on an 8x8 board. It shares nothing
// with the builder but the square numbering.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace ref {

struct Pos {
  uint32_t black, white, kings;  // square n is bit n-1
  int side;                      // 0 black, 1 white to move
  bool operator==(const Pos&) const = default;
};

struct Child {
  Pos pos;
  bool conversion;  // a capture or a man move
};

// Legal moves (captures compulsory, whole jump sequences, crowning ends a
// move) as successor positions.
std::vector<Child> moves(const Pos& p);

struct Solved {
  std::vector<Pos> positions;
  // Plies to the end of the game (win odd, loss even), -1 for a draw.
  std::vector<int> dtw;
  // Plies to the next capture or man move, the winner keeping the win; -1
  // for a draw.
  std::vector<int> mtc;
};

// Every position with both sides present and at most `pieces` pieces.
Solved solve(int pieces);

}  // namespace ref
