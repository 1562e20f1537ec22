// The one score scale of the engine: searches, databases, book, reports and
// the host all read values on it. Evaluations are even, in hundredths of a
// man; draws are small odd values no evaluation takes; a side left without
// pieces or moves at ply p scores p - MATE; database wins lie above
// DECIDED_SCORE.
#pragma once

#include <cstdint>

#include "board/position.h"

namespace qb {

constexpr int MATE = 4000;
// Scores beyond this carry a distance in plies (the ply of a mate, or a
// database distance), so the hash table keeps them relative to the node.
constexpr int DISTANCE_SCORE = 3901;
// A database win promised by a conversion rather than by a count of plies.
constexpr int CONVERSION_SCORE = 3900;
// Database wins score from here up, plus terms that make progress; a score
// beyond it has decided the game.
constexpr int DECIDED_SCORE = 2000;
// Worse for a side than any score a search or the book gives it.
constexpr int BEYOND_ANY_SCORE = MATE + 1;

// Draws, for the side to move in the searches.
constexpr int REPETITION_DRAW = -3;
constexpr int DATABASE_DRAW = -1;
// A root the draw analysis plays out (black's view).
constexpr int ANALYSED_DRAW = 1;

// Drawn positions carry small odd values: -3, -1, 1, 3.
constexpr bool is_draw_value(int v) { return (v & 1) && v > -4 && v < 4; }

// get_best_moves gives a move outside the margin this score, from black's
// view with white to move (negated with black to move): far beyond every
// real score, so a host cannot mistake it for one.
constexpr int32_t EXCLUDED_SCORE = 11000;
constexpr int32_t excluded_mark(Side side) { return side == BLACK ? -EXCLUDED_SCORE : EXCLUDED_SCORE; }

// The node searches score for the side to move; the drivers, reports, book
// values and result codes keep black's view. Negation turns one into the
// other both ways.
constexpr int mover_view(Side side, int black_view) { return side == BLACK ? black_view : -black_view; }
constexpr int black_view(Side side, int mover_view) { return side == BLACK ? mover_view : -mover_view; }

// The hash table stores a distance score relative to the node it belongs
// to, so that it is right wherever the node recurs in the tree; read back,
// it is relative to the root again.
constexpr int score_to_table(int score, int ply) {
  if (score > DISTANCE_SCORE) return score + ply;
  if (score < -DISTANCE_SCORE) return score - ply;
  return score;
}
constexpr int score_from_table(int stored, int ply) {
  if (stored > DISTANCE_SCORE) return stored - ply;
  if (stored < -DISTANCE_SCORE) return stored + ply;
  return stored;
}

}  // namespace qb
