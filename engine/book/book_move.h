// Choosing a move from the opening book, and writing the book tree to the log.
#pragma once

#include "board/movegen.h"
#include "board/position.h"

namespace qb {

// Picks a book move for `side` in `p` at the current book level. `moves` is
// the list the caller would search (captures when there are any, else the
// non-captures). `history_tail` is the last node of the game history (the
// current position, linked to the earlier ones; null when there is none):
// a move that would repeat an earlier position of the game while the book
// rates it better than a draw for the mover is refused.
// On success returns true with the move's index in `moves`, its value
// (black's view) and the book line text in `status` (a host text buffer);
// otherwise false and `status` is left alone.
bool book_move(const Position& p, Side side, const MoveList& moves, const SearchNode* history_tail,
               int* index, int* value, char* status);

// Writes every book position reachable from the start position (black to
// move) to the log, each after the positions behind it. Logs a note instead
// when no book is loaded.
void print_book();

}  // namespace qb
