#include "search/root_moves.h"

#include <algorithm>
#include <cstdio>

#include "board/movetext.h"
#include "search/deepening.h"
#include "search/root_search.h"
#include "search/tt.h"

namespace qb {

namespace {

constexpr Plies PIN_SET_DEPTH = 9;   // a move's saved line is pinned again from here
constexpr Plies PIN_WALK_DEPTH = 8;  // lines are walked, pinned and released from here

void pin_keys(const PvKeySet& keys) {
  for (const auto& [high, r] : keys)
    tt_pin(HashKey{r.key_low, r.key_high}, HashEntry{r.check, r.data, r.age});
}

void unpin_keys(const PvKeySet& keys) {
  for (const auto& [high, r] : keys) tt_unpin(HashKey{r.key_low, r.key_high});
}

}  // namespace

void fill_root_moves(RootMoves& roots, const SearchNode& root, const MoveList& moves, int count) {
  roots.count = std::min(count, MAX_MOVES);
  for (int i = 0; i < roots.count; ++i) {
    RootMoveRecord& r = roots.records[i];
    r = RootMoveRecord{};
    r.successor = moves.moves[i];
    r.side = root.side;
    r.parent = &root;
    r.index = i;
  }
}

void sort_root_moves(RootMoves& roots) {
  RootMoveRecord* first = roots.records;
  RootMoveRecord* last = roots.records + roots.count;
  if (roots.count > 0 && first->side == WHITE)
    std::stable_sort(first, last, [](const auto& a, const auto& b) { return a.value < b.value; });
  else std::stable_sort(first, last, [](const auto& a, const auto& b) { return a.value > b.value; });
}

void commit_iteration(RootMoves& roots) {
  for (int i = 0; i < roots.count; ++i) {
    RootMoveRecord& r = roots.records[i];
    r.previous_value = r.value;
    r.previous_excluded = r.excluded;
  }
}

void restore_previous_iteration(RootMoves& roots) {
  for (int i = 0; i < roots.count; ++i) {
    RootMoveRecord& r = roots.records[i];
    r.value = r.previous_value;
    r.excluded = r.previous_excluded;
  }
}

bool close_iteration(RootMoves& roots, bool complete) {
  if (!complete) {
    restore_previous_iteration(roots);
    return false;
  }
  commit_iteration(roots);
  sort_root_moves(roots);
  return true;
}

std::string root_move_list_text(const Position& root, const RootMoves& roots) {
  std::string text;
  char move[MOVE_TEXT_SIZE];
  char entry[MOVE_TEXT_SIZE + 16];
  for (int i = 0; i < roots.count; ++i) {
    const RootMoveRecord& r = roots.records[i];
    std::snprintf(entry, sizeof entry, "%s,%d  ", move_text(move, root, r.successor), r.value);
    text += entry;
  }
  return text;
}

IterationReport report_iteration(const Position& root, const RootMoves& roots, Plies depth) {
  return IterationReport{depth, current_report(), root_move_list_text(root, roots)};
}

int search_root_move(const RootMoveRecord& move, int alpha, int beta, Plies depth) {
  MoveList one;
  one.count = 1;
  one.moves[0] = move.successor;
  int index = 0;
  return root_search(*move.parent, one, 1, alpha, beta, depth, index);
}

void pin_line_before_search(const RootMoveRecord& move, Plies depth) {
  if (depth >= PIN_SET_DEPTH) pin_keys(move.pv_keys);
}

void release_line_after_search(const RootMoveRecord& move, Plies depth) {
  if (depth >= PIN_WALK_DEPTH) unpin_keys(move.pv_keys);
}

void pin_current_line(RootMoveRecord& move, Plies depth, bool exact_only) {
  if (depth >= PIN_WALK_DEPTH) pin_pv(move.side, move.successor, exact_only, pv_length(depth), &move.pv_keys);
}

void keep_line_pinned(const RootMoveRecord& move, Plies depth) {
  if (depth >= PIN_SET_DEPTH) pin_keys(move.pv_keys);
}

}  // namespace qb
