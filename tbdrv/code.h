// One value per position, as the builder and the distance tables keep it:
// 0 is a draw (or unknown); otherwise code - 1 = plies * 2 + win, the plies
// until the game ends (distance tables) or until the next capture or man
// move (conversion tables), counted from the side to move.
#pragma once

#include <algorithm>
#include <cstdint>

namespace tb {

using Code = uint16_t;
constexpr Code DRAW = 0;
constexpr int MAX_PLIES = 0x3FFF;  // keeps the builder's pending flag free

constexpr Code make_code(int plies, bool win) { return Code((plies << 1 | int(win)) + 1); }
constexpr bool is_win(Code c) { return c != DRAW && ((c - 1) & 1); }
constexpr bool is_loss(Code c) { return c != DRAW && !((c - 1) & 1); }
constexpr int plies_of(Code c) { return (c - 1) >> 1; }

// Codes for win/loss/draw tables, which carry no distance: the builder
// treats them as a win in one ply and a loss in none.
constexpr Code WLD_WIN = make_code(1, true);
constexpr Code WLD_LOSS = make_code(0, false);

// The value of a position from the values of its successors (the opponent
// to move in each): the quickest win through a lost successor, else the
// slowest loss when every successor is won, else a draw.
struct Outcome {
  int win_plies = MAX_PLIES + 1;  // fewest plies to a win so far
  int loss_plies = 0;             // most plies to a loss so far
  bool can_lose = true;           // every successor so far is won by the opponent

  void add(Code child) {
    if (is_win(child)) {
      loss_plies = std::max(loss_plies, plies_of(child) + 1);
      return;
    }
    can_lose = false;
    if (is_loss(child)) win_plies = std::min(win_plies, plies_of(child) + 1);
  }
  bool won() const { return win_plies <= MAX_PLIES; }
  // A win in one ply is the quickest there is: no successor still to come
  // can change the result.
  bool settled() const { return win_plies == 1; }
  // Valid once every successor has been added (none at all: lost at once).
  Code result() const {
    if (won()) return make_code(win_plies, true);
    return can_lose ? make_code(loss_plies, false) : DRAW;
  }
};

}  // namespace tb
