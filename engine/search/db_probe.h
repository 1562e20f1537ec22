// The endgame databases as the searches see them. The endgame subsystem fills
// this record when it opens a win/loss/draw database (while no search runs)
// and empties it when it closes one; with the limits at 0 no position is
// eligible and the searches never probe.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/position.h"
#include "eval/evaluate.h"
#include "search/search_state.h"

namespace qb {

enum DbVerdict : int { DB_UNKNOWN = 0, DB_WIN = 1, DB_LOSS = 2, DB_DRAW = 3 };

struct SearchDatabase {
  int32_t max_pieces = 0;    // all pieces on the board
  int32_t max_per_side = 0;  // pieces of the larger side
  // The verdict for the side to move (DbVerdict), or a negative no-data
  // answer. A conditional lookup may answer DB_UNKNOWN where the database
  // would have to load data first.
  int (*lookup)(const Position& p, Side side, bool conditional) = nullptr;
  // The score, from black's view, of a position the database calls won for
  // `winner`: positive for a black win, negative for a white win.
  int (*score_win)(const PieceSummary& summary, Side winner) = nullptr;
};
extern SearchDatabase g_search_db;

inline bool db_open() { return g_search_db.lookup != nullptr; }

inline bool db_eligible(const PieceSummary& s) {
  return s.total <= g_search_db.max_pieces && s.larger_side <= g_search_db.max_per_side;
}

// Counted in the searching thread's record: one counter for all threads
// would move between the cores at every probe.
inline int db_lookup(SearchThread& t, const Position& p, Side side, bool conditional) {
  t.db_probes.add(1);
  return g_search_db.lookup(p, side, conditional);
}

// A database win for `winner` scored for the side to move.
inline int db_win_score(const PieceSummary& s, Side side, Side winner) {
  return mover_view(side, g_search_db.score_win(s, winner));
}

// Remaining depth, in plies, at or below which lookups are conditional.
inline int conditional_lookup_plies() {
  return g_settings.conditional_lookup_plies.load(std::memory_order_relaxed);
}

}  // namespace qb
