// Move text: "11-15" for a simple move, "22x15" for a capture (first and last
// square only; multi-jump paths come from CapturePath).
#pragma once

#include "board/position.h"

namespace qb {

constexpr int MOVE_TEXT_SIZE = 8;  // "32x32" and the NUL, with room to spare

// Writes the text of the move from `before` to `after` into `buf` and returns
// it; "xxxx" when the mover cannot be told (a king capture that ends where it
// started, or no change at all).
char* move_text(char* buf, const Position& before, const Position& after);

}  // namespace qb
