#include "book/book_lines.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "board/movetext.h"
#include "search/score.h"

namespace qb {

namespace {

// Level 1 takes in-book moves within this many points of the top value.
constexpr int ALL_KINDS_MARGIN = 10;
enum BookLevel { ALL_KINDS = 1, GOOD = 2 };

// The value a move out of the book gets: the worst there is for the mover.
int worst_value(Side side) { return black_view(side, -BEYOND_ANY_SCORE); }

// First book move first, then the second, then the mover's best values,
// then the longer lines.
bool ranks_before(const MoveEntry& a, const MoveEntry& b, Side side) {
  if (a.first != b.first) return a.first;
  if (a.second != b.second) return a.second;
  if (a.value != b.value) return side == BLACK ? a.value > b.value : a.value < b.value;
  return a.depth > b.depth;
}

}  // namespace

std::optional<BookMark> walk_line(const Position& p, Side side, int ply) {
  int slot = book_find(p, side);
  if (slot == BOOK_NOT_FOUND) return std::nullopt;
  BookMark& mark = g_book.marks[std::size_t(slot)];
  if (mark.visited) return mark;
  BookEntry record = book_decode(slot, p.kings);
  mark = BookMark{1, 0, int16_t(record.value)};
  if (ply >= MAX_BOOK_LINE_PLIES) return mark;
  MoveList moves;
  int count = generate_moves(p, moves, side);
  if (record.first < count) {
    // The walks never resize the mark table, so `mark` stays valid.
    if (auto next = walk_line(moves.moves[record.first], opponent_of(side), ply + 1)) {
      mark.depth = line_depth_after(next->depth);
      mark.value = next->value;
    }
  }
  return mark;
}

std::vector<MoveEntry> rank_moves(const MoveList& moves, Side side, const BookEntry& record,
                                  bool second_keeps_value, int ply) {
  std::vector<MoveEntry> entries;
  for (int i = 0; i < moves.count; ++i) {
    MoveEntry e{};
    e.index = i;
    e.first = i == record.first;
    e.second = !e.first && i == record.second;
    if (auto mark = walk_line(moves.moves[i], opponent_of(side), ply + 1)) {
      e.in_book = true;
      e.depth = mark->depth + 1;
      e.value = mark->value;
    } else {
      bool keeps_value = e.first || (e.second && second_keeps_value);
      e.value = keeps_value ? record.value : worst_value(side);
    }
    entries.push_back(e);
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [side](const MoveEntry& a, const MoveEntry& b) { return ranks_before(a, b, side); });
  return entries;
}

int mark_candidates(std::vector<MoveEntry>& entries, int level) {
  if (entries.empty()) return 0;
  const int top = entries.front().value;
  int count = 0;
  for (MoveEntry& e : entries) {
    e.chosen = e.first || e.second ||
               (e.in_book && level == ALL_KINDS && std::abs(e.value - top) <= ALL_KINDS_MARGIN) ||
               (e.in_book && level == GOOD && e.value == top);
    count += e.chosen;
  }
  return count;
}

std::string entry_text(const Position& p, const MoveList& moves, const MoveEntry& e) {
  char move[MOVE_TEXT_SIZE];
  char text[64];
  std::snprintf(text, sizeof text, "%s(%d/%d)", move_text(move, p, moves.moves[e.index]), e.value, e.depth);
  return text;
}

}  // namespace qb
