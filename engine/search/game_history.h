// The game as the engine reconstructs it from successive getmove calls: the
// positions since the last irreversible move, so that the searches see
// repetitions reaching back into the game, and the count of drawn values
// behind the result code.
#pragma once

#include <vector>

#include "board/position.h"

namespace qb {

struct GameHistory {
  std::vector<SearchNode> records;  // oldest first; each links to the one before
  int draw_counter = 0;             // consecutive deep draw values with few pieces left
};
extern GameHistory g_game;

// A new game: no positions, no drawn values.
void game_history_clear();

// Records the position `p` with `side` to move. Recognises a repeated request
// and a takeback of one move pair; any other unexpected position starts over.
void history_update(const Position& p, Side side);

// The record the root's children link to; null while the history is empty.
const SearchNode* history_last();

// Earlier occurrences of the node's piece placement (kings not compared) 4, 6,
// 8 ... plies back, as far as its reversible count reaches.
int repetition_count(const SearchNode& node);

// Visits the ancestors 4, 6, 8 ... plies back, as far as the node's
// reversible count reaches (nothing earlier can hold the same pieces), until
// `visit` returns true.
template <class Visit>
bool any_even_ancestor(const SearchNode& node, Visit visit) {
  if (node.reversible < 4) return false;
  const SearchNode* back = node.parent;
  for (int k = 1; k < 4 && back; ++k) back = back->parent;
  for (int distance = 4; back && distance <= node.reversible; distance += 2) {
    if (visit(*back)) return true;
    back = back->parent ? back->parent->parent : nullptr;
  }
  return false;
}

inline bool same_placement(const SearchNode& a, const SearchNode& b) {
  return a.black == b.black && a.white == b.white;
}

// The repetition test of the searches.
inline bool repeats_ancestor(const SearchNode& node) {
  return any_even_ancestor(node, [&](const SearchNode& back) { return same_placement(back, node); });
}

}  // namespace qb
