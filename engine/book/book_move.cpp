#include "book/book_move.h"

#include <string>

#include "book/book.h"
#include "book/book_lines.h"
#include "book/random.h"
#include "interface/base/host_text.h"
#include "interface/base/settings.h"
#include "search/game_history.h"

namespace qb {

namespace {

// The book rates the move better than a draw for the mover.
bool favours_mover(int value, Side side) { return side == BLACK ? value > 1 : value < -1; }

bool refused_for_repetition(const Position& p, Side side, const Position& after,
                            const SearchNode* history_tail, int value) {
  if (!history_tail || !favours_mover(value, side)) return false;
  bool capture = after.pieces[opponent_of(side)] != p.pieces[opponent_of(side)];
  return repeats_ancestor(make_child(*history_tail, after, capture));
}

// The (r mod count)-th candidate in ranked order.
const MoveEntry& draw_candidate(const std::vector<MoveEntry>& entries, int count) {
  int pick = int(random_number() % uint32_t(count));
  for (const MoveEntry& e : entries) {
    if (e.chosen && pick-- == 0) return e;
  }
  return entries.front();  // not reached: count entries are chosen
}

std::string choice_text(const Position& p, const MoveList& moves, const std::vector<MoveEntry>& entries,
                        const MoveEntry& played) {
  std::string text = entry_text(p, moves, played) + "*";
  for (const MoveEntry& e : entries) {
    if (e.index == played.index || !(e.in_book || e.first || e.second)) continue;
    text += "  " + entry_text(p, moves, e) + (e.chosen ? "*" : "?");
  }
  return text;
}

}  // namespace

bool book_move(const Position& p, Side side, const MoveList& moves, const SearchNode* history_tail,
               int* index, int* value, char* status) {
  int slot = book_find(p, side);
  if (slot == BOOK_NOT_FOUND) return false;
  BookEntry record = book_decode(slot, p.kings);

  clear_book_marks();
  std::vector<MoveEntry> entries = rank_moves(moves, side, record, true, 0);
  clear_book_marks();

  int candidates = mark_candidates(entries, g_settings.book.load());
  if (candidates == 0) return false;
  const MoveEntry& played = draw_candidate(entries, candidates);
  if (refused_for_repetition(p, side, moves.moves[played.index], history_tail, played.value)) return false;

  *index = played.index;
  *value = played.value;
  write_host_text(status, "%s", choice_text(p, moves, entries, played).c_str());
  return true;
}

}  // namespace qb
