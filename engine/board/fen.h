// Position text in FEN form: "B:W21-24,30,K31:B1-3" (side to move, then the
// white and the black pieces; "K" marks a king; runs of three or more
// consecutive squares of one kind are written first-last).
#pragma once

#include <optional>
#include <string>

#include "board/position.h"

namespace qb {

struct FenPosition {
  Position position;
  Side side;
};

std::string position_text(const Position& p, Side side);

// Accepts the text above and the usual PDN form without ranges, optional
// surrounding quotes and a trailing '.', spaces around separators, and the
// white and black lists in either order. Returns nothing for malformed text.
std::optional<FenPosition> parse_fen(const std::string& text);

Position start_position();

}  // namespace qb
