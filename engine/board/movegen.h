// Legal move generation. Inside the engine a move is the Position it leads
// to. Captures are compulsory: callers run has_capture() first, then exactly
// one of the two generators. The emission order is fixed: the search keeps
// equal-scored moves in generation order, so it is the final tie-break.
#pragma once

#include <cstdint>

#include "board/position.h"

namespace qb {

// Non-captures never exceed 49 (one per diagonal edge of the board between a
// piece and an empty square). Capture sequences are not bounded so simply;
// the capture generators stop appending when the list is full, which no
// position reachable in a game comes near.
constexpr int MAX_MOVES = 128;

struct MoveList {
  int32_t count;
  Position moves[MAX_MOVES];
};

int generate_noncaptures(const Position& p, MoveList& list, Side side);
int generate_captures(const Position& p, MoveList& list, Side side);
bool has_capture(const Position& p, Side side);

// Captures if there are any, else non-captures; 0 means the side has lost.
inline int generate_moves(const Position& p, MoveList& list, Side side) {
  return has_capture(p, side) ? generate_captures(p, list, side) : generate_noncaptures(p, list, side);
}

// The position after each jump of one capture, for hosts that animate or
// check multi-jumps. path[0] is the position before the move.
constexpr int MAX_PATH_JUMPS = 11;
struct CapturePath {
  int32_t jumps;
  Position path[MAX_PATH_JUMPS + 1];
};
static_assert(sizeof(CapturePath) == 148);

// Same successors in the same order as generate_captures(), with paths.
// `paths` must have room for MAX_MOVES records.
int generate_captures_with_paths(const Position& p, MoveList& list, Side side, CapturePath* paths);

}  // namespace qb
