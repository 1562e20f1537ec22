// Writing opening book files (the book builder's side; the engine only
// reads them). The layout is described in book_format.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "book/book_format.h"
#include "board/position.h"

namespace qb {

struct BookPosition {
  Position position;
  Side side;
  BookEntry entry;  // move indices into the position's move list
};

// The bytes of a book file holding `positions`. Values are clamped to the
// 12-bit range of the format; positions with kings keep only their first
// move (the format has no room for a second). Returns an empty image and
// a message in `error` for input the format cannot hold: no black piece,
// a side other than 0 or 1, a move index out of range, a position given
// twice, or more distinct king masks than the format can index.
std::vector<uint8_t> build_book_image(const std::vector<BookPosition>& positions, std::string* error);

// Builds the image and writes it to `path` (through a temporary file, so an
// existing book is replaced only by a complete one).
bool write_book(const std::string& path, const std::vector<BookPosition>& positions, std::string* error);

}  // namespace qb
