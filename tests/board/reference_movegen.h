// A deliberately plain move generator on an 8x8 array, written apart from the
// engine's bitboard code so the two can check each other.
#pragma once

#include <vector>

#include "board/position.h"

namespace reference {

std::vector<qb::Position> legal_moves(const qb::Position& p, int side);

}  // namespace reference
