// The root moves of the two analysis searches (all scores in getmove, and
// get_best_moves): each move is searched by itself, keeps its own value and
// remembers the principal-variation entries it pinned, so that its line is
// pinned in the table only while that move is searched.
#pragma once

#include <cstdint>
#include <string>

#include "board/movegen.h"
#include "board/position.h"
#include "interface/base/stop.h"
#include "search/depth.h"
#include "search/report.h"
#include "search/root_search.h"
#include "search/search_state.h"

namespace qb {

struct RootMoveRecord {
  Position successor;                  // the position after the move
  Side side = BLACK;                   // to move at the root
  const SearchNode* parent = nullptr;  // the root's game-history record
  int value = 0;                       // this iteration, black's view
  int previous_value = 0;              // the last completed iteration
  int index = 0;                       // in the root's move list as generated
  uint8_t excluded = 0;                // get_best_moves: outside the margin this iteration
  uint8_t previous_excluded = 0;
  PvKeySet pv_keys;  // the table entries this move's line pinned
};

struct RootMoves {
  int count = 0;
  RootMoveRecord records[MAX_MOVES];
};

// One record per move of `root` (its game-history record), in generation
// order, all values 0.
void fill_root_moves(RootMoves& roots, const SearchNode& root, const MoveList& moves, int count);

// Best for the side to move first; equal values keep their order, so a tie
// goes to the move that led before.
void sort_root_moves(RootMoves& roots);

// A completed iteration becomes the one to fall back on, and a stop from
// depth 5 on falls back to it.
void commit_iteration(RootMoves& roots);
void restore_previous_iteration(RootMoves& roots);
// The end of an iteration over the records: a `complete` one is committed
// and sorted, an incomplete one restored. Returns `complete`.
bool close_iteration(RootMoves& roots, bool complete);

// "11-15,12  9-14,0  ": every move with its value, in the records' order.
std::string root_move_list_text(const Position& root, const RootMoves& roots);

// Searches one root move alone inside (alpha, beta) to `depth` plies and
// returns its value (black's view, fail-soft). The analysis searches take it
// as a parameter so that the tests can value moves as they please.
using MoveSearch = int (*)(const RootMoveRecord& move, int alpha, int beta, Plies depth);

// Did a stop cut the search that returned `v` short? Stop requests count
// only from iteration depth 5; then the unfinished iteration is dropped.
inline bool cut_short(int v, Plies depth) {
  return v == ABORTED_PASS || (depth >= STOP_MIN_DEPTH && stop_requested());
}

// What the log and the host are told about a completed iteration.
struct IterationReport {
  Plies depth = 0;
  SearchReport stats{};
  std::string list;  // root_move_list_text
};
IterationReport report_iteration(const Position& root, const RootMoves& roots, Plies depth);

// The engine's move search: the root search over a list of this move only,
// its children linked to the move's parent record.
int search_root_move(const RootMoveRecord& move, int alpha, int beta, Plies depth);

// A move's own line is pinned while it is searched (deep iterations only),
// and released after it, so the lines of the other moves may be replaced.
void pin_line_before_search(const RootMoveRecord& move, Plies depth);
void release_line_after_search(const RootMoveRecord& move, Plies depth);
// The walk that pins the move's current line and remembers the new entries.
void pin_current_line(RootMoveRecord& move, Plies depth, bool exact_only);
// The chosen move's line stays pinned after a deep search.
void keep_line_pinned(const RootMoveRecord& move, Plies depth);

}  // namespace qb
