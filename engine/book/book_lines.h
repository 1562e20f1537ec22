// What the book says about each move of a position: the line behind each
// successor, the order the book ranks them in and the moves the book level
// allows. Shared by the move choice and the printing of the book.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "board/movegen.h"
#include "book/book.h"

namespace qb {

// Book lines longer than this are cut short: the walks recurse once per ply
// and a damaged book must not exhaust the stack.
constexpr int MAX_BOOK_LINE_PLIES = 200;

// The depth of a line one book position longer (saturating: marks hold a byte).
inline uint8_t line_depth_after(uint8_t depth) { return depth == UINT8_MAX ? depth : uint8_t(depth + 1); }

struct MoveEntry {
  int index;     // in the MoveList
  int depth;     // 1 + the line depth behind the move when its successor is in the book, else 0
  bool chosen;   // a candidate at the book level
  bool in_book;  // the successor is in the book
  bool first;    // the record's first book move
  bool second;   // the record's second book move
  int value;     // black's view
};

// Follows the first book moves from (p, side) while they stay in the book,
// marking each position on the way. Returns the mark of (p, side), or
// nothing when it is not in the book. Marks already visited end the walk.
std::optional<BookMark> walk_line(const Position& p, Side side, int ply);

// One entry per move of `moves` (positions after the moves, `side` to move
// before them). `second_keeps_value`: whether the second book move, when its
// successor is out of the book, keeps the record's value (the move choice)
// or ranks as any other move (printing).
std::vector<MoveEntry> rank_moves(const MoveList& moves, Side side, const BookEntry& record,
                                  bool second_keeps_value, int ply);

// Marks the candidates for `level` in ranked entries; returns their number.
int mark_candidates(std::vector<MoveEntry>& entries, int level);

// "11-15(12/3)" and the like.
std::string entry_text(const Position& p, const MoveList& moves, const MoveEntry& e);

}  // namespace qb
