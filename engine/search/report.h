// What the search tells the host and the log: the progress line, the log
// line of every iteration, the board at the start of a search, and the
// principal variation, read back from the transposition table (which also
// gets the variation pinned so that it survives).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "board/position.h"
#include "search/depth.h"

namespace qb {

constexpr int PV_TEXT_SIZE = 128;  // "pv " and 11 moves
constexpr int PV_TEXT_MOVES = 10;  // moves after the first
constexpr int PV_PIN_STEPS = 99;

struct SearchReport {
  uint64_t nodes;
  float average_leaf_depth;
  int selective_depth;
  double elapsed;  // seconds
  double knps;
  uint32_t db_probes;
};
SearchReport current_report();

// "value>12,  depth 9/11.3/21,  0.4s,  2950 kN/s,  pv 11-15 23-19": sign
// "<" upper bound, ">" lower bound, "=" iteration complete; value from
// black's view.
void write_progress(char* status, const char* sign, int value, Plies depth, const char* pv);

// The log line of a completed iteration.
void log_best_move(const Position& root, const Position& best, int value, Plies depth);

// The board diagram and position text that open every search in the log.
void log_search_start(const Position& root, Side side);
std::string board_diagram(const Position& p);

// "pv 11-15 23-19 ...": the move from `root` to `first` (by `side`), then up
// to min(length, 10) moves read from the table. With `exact_only` the walk
// stops at the first entry that is not exact.
void pv_text(char* out, Side side, const Position& root, const Position& first, bool exact_only, int length);

// A pinned entry as it was before the walk pinned it, kept per root move by
// the all-scores analysis so that its line can be pinned again later.
struct PvRecord {
  uint32_t check, data;
  uint8_t age;
  uint32_t key_low, key_high;
};
// Unique by the key's high word, ordered by it, descending.
using PvKeySet = std::map<uint32_t, PvRecord, std::greater<uint32_t>>;

// Pins the entries along the variation after `first` (the opponent of `side`
// to move there), up to min(length, 99) of them. Newly pinned entries are
// added to `keys` when given.
void pin_pv(Side side, const Position& first, bool exact_only, int length, PvKeySet* keys);

}  // namespace qb
