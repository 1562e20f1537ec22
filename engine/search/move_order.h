// Pieces of move ordering shared by the root and the node search: the
// history-table index and killer of a move, and the stable sort.
#pragma once

#include <cstdint>

#include "board/bitops.h"
#include "board/movegen.h"
#include "board/position.h"
#include "search/search_state.h"

namespace qb {

constexpr int KILLER_BONUS = 120;             // over the history score
constexpr int FIRST_MOVE_SCORE = 2000000000;  // the hash move or the root's try-first move

// From and to are the lowest vacated and occupied squares of the mover's
// word before and after the move (0 when there is none).
inline int history_index(uint32_t before, uint32_t after) {
  uint32_t vacated = before & ~after, occupied = after & ~before;
  return (vacated ? lsb_index(vacated) : 0) * 32 + (occupied ? lsb_index(occupied) : 0);
}

inline Killer killer_of(uint32_t before, uint32_t after) { return Killer{before & ~after, after & ~before}; }

inline int ordering_score(uint32_t before, uint32_t after, const Killer& killer) {
  int score = history_get(history_index(before, after)) - HISTORY_START;
  return killer_of(before, after) == killer ? score + KILLER_BONUS : score;
}

// A cutoff, at the root or a node: the best move's history rises, the moves
// tried before it (`order` up to `best_number`) decay, and the best move
// becomes `killer` when one is given.
inline void reward_cutoff(const Position& pos, Side side, const MoveList& list, const uint8_t* order,
                          int best_number, int best_index, Killer* killer) {
  const uint32_t before = pos.pieces[side];
  const uint32_t best_after = list.moves[best_index].pieces[side];
  history_reward(history_index(before, best_after));
  for (int i = 0; i < best_number; ++i)
    history_penalise(history_index(before, list.moves[order[i]].pieces[side]));
  if (killer) *killer = killer_of(before, best_after);
}

// Stable insertion sort of move indices by descending score: equal scores
// keep generation order, the generator's order being the last tie-break.
inline void sort_moves(uint8_t* order, int* score, int count) {
  for (int i = 1; i < count; ++i) {
    uint8_t m = order[i];
    int s = score[i];
    int j = i;
    for (; j > 0 && score[j - 1] < s; --j) {
      order[j] = order[j - 1];
      score[j] = score[j - 1];
    }
    order[j] = m;
    score[j] = s;
  }
}

}  // namespace qb
