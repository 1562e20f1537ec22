// Helpers for the book suites: books written to a private folder and loaded,
// raw images with hand-placed slots, and moves found by their result.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/movegen.h"
#include "book/book_format.h"
#include "book/book_writer.h"

namespace qbtest {

// Writes `image` to `path`, or to a fresh file when `path` is empty, and
// returns the path.
std::string save_image(const std::vector<uint8_t>& image, std::string path = "");

// Writes the positions as a book and loads it; fails the test on error.
void load_positions(const std::vector<qb::BookPosition>& positions, uint32_t clock_ms = 1);

// A book image with the given header fields and tables as they stand.
struct RawBook {
  std::string version = "4.01";
  int32_t positions = 0;
  int32_t probe_limit = 1;
  std::vector<uint32_t> king_masks;
  std::vector<qb::BookRecord> records;
};
std::vector<uint8_t> raw_image(const RawBook& book);

// The record of (p, side) as the writer would encode it.
qb::BookRecord record_for(const qb::Position& p, qb::Side side, qb::BookEntry entry, int king_index = 0);

// Index of the move of `side` from `from` that leads to `to`; -1 if none.
int move_index(const qb::Position& from, qb::Side side, const qb::Position& to);
qb::MoveList legal_moves(const qb::Position& p, qb::Side side);

// Whole text file (the log), empty when unreadable.
std::string read_file(const std::string& path);

}  // namespace qbtest
