#include "search/game_history.h"

#include <cstddef>

#include "board/bitops.h"

namespace qb {

GameHistory g_game;

namespace {

int piece_count(const Position& p) { return pop_count(p.occupied()); }

// Has any king of `before` left its square (a king moved)? If none did, the
// move was a man's and cannot be undone.
bool a_king_moved(const Position& before, const Position& after) {
  for (Side side : {BLACK, WHITE}) {
    if (before.kings_of(side) & ~after.kings_of(side)) return true;
  }
  return false;
}

void relink() {
  auto& r = g_game.records;
  for (std::size_t i = 0; i < r.size(); ++i) r[i].parent = i ? &r[i - 1] : nullptr;
}

}  // namespace

void game_history_clear() {
  g_game.records.clear();
  g_game.draw_counter = 0;
}

void history_update(const Position& p, Side side) {
  auto& r = g_game.records;
  if (r.size() >= 2 && r[r.size() - 2].side == side && r[r.size() - 2].position() == p) {
    r.pop_back();  // the host took a move back
    return;
  }
  if (!r.empty()) {
    const Position last = r.back().position();
    if (piece_count(p) > piece_count(last)) {
      game_history_clear();
    } else if (r.back().side == side) {
      if (last == p) return;  // the same request again
      game_history_clear();
    } else if (piece_count(p) < piece_count(last) || !a_king_moved(last, p)) {
      r.clear();  // irreversible: nothing before it can repeat
    }
  }
  int reversible = r.empty() ? 0 : r.back().reversible + 1;
  r.push_back(SearchNode{p.pieces[BLACK], p.pieces[WHITE], p.kings, side, reversible, nullptr});
  relink();
}

const SearchNode* history_last() { return g_game.records.empty() ? nullptr : &g_game.records.back(); }

int repetition_count(const SearchNode& node) {
  int count = 0;
  any_even_ancestor(node, [&](const SearchNode& back) {
    count += same_placement(back, node);
    return false;
  });
  return count;
}

}  // namespace qb
