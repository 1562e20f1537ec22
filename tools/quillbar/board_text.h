// The board drawn for a terminal: Black's men 'b' and kings 'B', White's 'w'
// and 'W', with the square numbers beside it so that moves can be read off
// the picture.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "board/position.h"

namespace host {

struct BoardStyle {
  bool colour = false;           // ANSI colours
  bool black_at_bottom = false;  // turn the board for a player of Black
  uint32_t highlight = 0;        // squares of the last move
};

std::string board_text(const qb::Position& p, const BoardStyle& style);

// Colour only on a terminal, and never when NO_COLOR is set.
bool terminal_wants_colour(std::FILE* stream);

}  // namespace host
