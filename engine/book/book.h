// The opening book in memory: loading, lookup and the per-slot marks that
// the book walks use. One engine-wide book; the engine only reads book files
// (book_writer.h writes them).
#pragma once

#include <cstdint>
#include <vector>

#include "book/book_format.h"
#include "board/position.h"

namespace qb {

// Scratch space of the book walks, one per slot: all zero between walks.
struct BookMark {
  uint8_t visited;
  uint8_t depth;  // book positions along the line behind this one
  int16_t value;  // value of the line's last book position, black's view
};
static_assert(sizeof(BookMark) == 4);

struct OpeningBook {
  BookHeader header{};
  std::vector<BookRecord> records;
  std::vector<uint32_t> king_masks;
  std::vector<BookMark> marks;
  bool loaded = false;
};

extern OpeningBook g_book;

// Loads the book `name` from the engine's directory prefix. On success the
// name goes into the bookfile setting and the random generator is reseeded
// from `clock_ms` (the process clock: every load gets a new sequence).
// A file that cannot be opened leaves the book in memory as it was; an old
// version or a damaged file leaves no book in use. Every outcome is logged.
bool load_book(const char* name, uint32_t clock_ms);
void free_book();

// A book is loaded and the book level is not "off".
bool book_in_use();

constexpr int BOOK_NOT_FOUND = -1;
// The slot holding (p, side), or BOOK_NOT_FOUND (always when no book is loaded).
int book_find(const Position& p, Side side);
BookEntry book_decode(int slot, uint32_t kings);
void clear_book_marks();

}  // namespace qb
