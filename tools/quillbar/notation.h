// Moves as players write them: "11-15", "22x15", and multi-jumps with every
// landing square ("1x10x19"). The engine's own move text names only the first
// and last square, which cannot tell two jump routes apart, so the host keeps
// the whole path of every legal move.
#pragma once

#include <string>
#include <vector>

#include "board/position.h"

namespace host {

struct LegalMove {
  qb::Position after;
  std::vector<int> squares;  // start square, then every landing square
  bool capture = false;
};

// Captures when there are any (they are compulsory), else the simple moves;
// in numeric order of their squares.
std::vector<LegalMove> legal_moves(const qb::Position& p, int side);

// "11-15", "22x15" or "1x10x19".
std::string move_notation(const LegalMove& m);

// Legal moves as one line: "9-13 9-14 10-14 ...".
std::string move_list_text(const std::vector<LegalMove>& moves);

enum class MoveLookup { FOUND, NOT_A_MOVE, ILLEGAL, AMBIGUOUS };

struct MoveMatch {
  MoveLookup status = MoveLookup::NOT_A_MOVE;
  int index = -1;               // into the legal moves, when FOUND
  std::vector<int> candidates;  // the matching moves, when AMBIGUOUS
};

// Reads squares separated by '-' or 'x' and finds the legal move they name:
// the whole path, or just the start and end square when only one move (or
// only one resulting position) fits. The separator is not held against the
// player: "22-15" finds the capture 22x15.
MoveMatch find_move(const std::string& text, const std::vector<LegalMove>& moves);

}  // namespace host
