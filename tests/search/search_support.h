// Helpers for the search tests: a root searched to a fixed depth the way the
// getmove driver does, without time limits.
#pragma once

#include <string>

#include "board/fen.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "search/fixed_depth.h"
#include "search/move_request.h"
#include "search/result.h"

namespace searchtest {

constexpr double NO_LIMIT = 1e9;

struct Searched {
  qb::FixedDepthResult result;
  qb::Position root;
  qb::Side side;
  qb::Position best;
  std::string move;  // "11-15"
};

inline qb::FenPosition fen(const char* text) { return qb::parse_fen(text).value(); }

constexpr uint32_t TABLE_MB = 4;

// A new game, a fresh table, no stop request; then iterative deepening to
// `depth` plies exactly as the driver runs it.
inline Searched search_to_depth(const char* text, int depth) {
  qb::FenPosition root = fen(text);
  qb::start_unhosted_searches(TABLE_MB);
  qb::FixedDepthResult r =
      qb::search_fixed_depth(qb::FixedDepthRequest{.root = root.position, .side = root.side, .depth = depth});
  char text_buf[qb::MOVE_TEXT_SIZE];
  return Searched{r, root.position, root.side, r.best, qb::move_text(text_buf, root.position, r.best)};
}

// A getmove driver's decision as the export hands it to the host: the
// board after the move, and the result code once the move is recorded.
inline int play_decision(const qb::MoveDecision& decision, qb::Side side, qb::Position* out) {
  *out = decision.position;
  return qb::finish_move(decision, side);
}

inline bool is_successor(const qb::Position& root, qb::Side side, const qb::Position& p) {
  qb::MoveList moves;
  int count = qb::generate_moves(root, moves, side);
  for (int i = 0; i < count; ++i)
    if (moves.moves[i] == p) return true;
  return false;
}

}  // namespace searchtest
