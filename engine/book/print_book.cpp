#include <optional>
#include <string>

#include "board/fen.h"
#include "book/book.h"
#include "book/book_lines.h"
#include "book/book_move.h"
#include "interface/base/log.h"
#include "interface/base/settings.h"

namespace qb {

namespace {

std::string position_entry_text(const Position& p, const MoveList& moves,
                                const std::vector<MoveEntry>& entries) {
  const MoveEntry& top = entries.front();
  std::string text = entry_text(p, moves, top) + "*";
  for (const MoveEntry& e : entries) {
    if (e.index == top.index || !e.in_book) continue;
    text += "  " + entry_text(p, moves, e) + (e.chosen ? "*" : "?");
  }
  return text + "\n\n";
}

// Like walk_line, but walks every move, not only the first book move, and
// logs each position once its successors are done.
std::optional<BookMark> print_walk(const Position& p, Side side, int ply) {
  int slot = book_find(p, side);
  if (slot == BOOK_NOT_FOUND) return std::nullopt;
  BookMark& mark = g_book.marks[std::size_t(slot)];
  if (mark.visited) return mark;
  BookEntry record = book_decode(slot, p.kings);
  mark = BookMark{1, 0, int16_t(record.value)};
  if (ply >= MAX_BOOK_LINE_PLIES) return mark;

  MoveList moves;
  generate_moves(p, moves, side);
  for (int i = 0; i < moves.count; ++i) {
    auto next = print_walk(moves.moves[i], opponent_of(side), ply + 1);
    if (i == record.first && next) {
      mark.depth = line_depth_after(next->depth);
      mark.value = next->value;
    }
  }
  std::vector<MoveEntry> entries = rank_moves(moves, side, record, false, ply);
  if (!entries.empty()) {
    mark_candidates(entries, g_settings.book.load());
    log_position(p, side);
    log_text(position_entry_text(p, moves, entries).c_str());
  }
  return mark;
}

}  // namespace

void print_book() {
  if (!g_book.loaded) {
    log_text("printbook: no opening book loaded\n");
    return;
  }
  clear_book_marks();
  print_walk(start_position(), BLACK, 0);
  clear_book_marks();
}

}  // namespace qb
