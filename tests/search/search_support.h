// Helpers for the search tests: a root searched to a fixed depth the way the
// getmove driver does, without time limits.
#pragma once

#include <string>

#include "board/fen.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "interface/base/stop.h"
#include "search/deepening.h"
#include "search/game_history.h"
#include "search/tt.h"

namespace searchtest {

constexpr double NO_LIMIT = 1e9;

struct Searched {
  qb::DeepeningResult result;
  qb::Position root;
  qb::Side side;
  qb::Position best;
  std::string move;  // "11-15"
};

inline qb::FenPosition fen(const char* text) { return qb::parse_fen(text).value(); }

// A new game, a fresh table, no stop request; then iterative deepening to
// `depth` plies exactly as the driver runs it.
inline Searched search_to_depth(const char* text, int depth) {
  qb::FenPosition root = fen(text);
  qb::game_history_clear();
  qb::publish_stop_flag(nullptr);  // prepare_search puts its own in place
  qb::tt_free();
  qb::tt_allocate(4);
  qb::prepare_search(root.position, root.side, NO_LIMIT);
  qb::MoveList moves;
  int count = qb::generate_moves(root.position, moves, root.side);
  qb::DeepeningResult r =
      qb::deepen(moves, count, qb::DeepeningLimits{NO_LIMIT, NO_LIMIT, depth}, nullptr);
  char text_buf[qb::MOVE_TEXT_SIZE];
  qb::Position best = moves.moves[r.best_index];
  return Searched{r, root.position, root.side, best, qb::move_text(text_buf, root.position, best)};
}

inline bool is_successor(const qb::Position& root, qb::Side side, const qb::Position& p) {
  qb::MoveList moves;
  int count = qb::generate_moves(root, moves, side);
  for (int i = 0; i < count; ++i)
    if (moves.moves[i] == p) return true;
  return false;
}

}  // namespace searchtest
