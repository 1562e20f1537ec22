// The qsearch export: a small search that resolves the captures of a
// position for a host. It has rules of its own and shares nothing with the
// engine's search (no hash table, no repetition test, no statistics), so a
// host may call it at any time.
#include <algorithm>
#include <cstring>

#include "board/movegen.h"
#include "board/movetext.h"
#include "eval/evaluate.h"
#include "interface/exports.h"
#include "search/db_probe.h"
#include "search/score.h"

namespace qb {
namespace {

constexpr int MAX_PV_MOVES = 100;

// The principal variation as indices into the move list generated at each
// step (captures, or non-captures when there are none).
struct ExportPv {
  int32_t count = 0;
  uint16_t moves[MAX_PV_MOVES];
};

// The value of a quiet position for the side to move: the WLD database's
// verdict, looked up unconditionally, when the position is within its limits
// and the opponent has no capture either (scored as the capture search
// scores it), else the evaluation. The lookup is not counted: this search
// keeps no statistics.
int quiet_score(const Position& p, Side side, PieceSummary& summary) {
  if (db_open() && db_eligible(summary) && !has_capture(p, opponent_of(side))) {
    switch (g_search_db.lookup(p, side, false)) {
      case DB_WIN:
        return db_win_score(summary, side, side);
      case DB_LOSS:
        return db_win_score(summary, side, opponent_of(side));
      case DB_DRAW:
        return DATABASE_DRAW;
      default:
        break;
    }
  }
  return evaluate(p, side, summary);
}

int export_search(const Position& p, int alpha, int beta, Side side, bool threat, ExportPv& pv);

// Searches the successors in generation order; the first best move is kept.
int search_list(const MoveList& list, int alpha, int beta, Side side, bool threat, ExportPv& pv) {
  int best = -MATE;
  ExportPv child;
  for (int i = 0; i < list.count; ++i) {
    int value = -export_search(list.moves[i], -beta, -alpha, opponent_of(side), threat, child);
    if (value <= best) continue;
    best = value;
    pv.moves[0] = uint16_t(i);
    pv.count = 1 + std::min<int32_t>(child.count, MAX_PV_MOVES - 1);
    std::copy(child.moves, child.moves + pv.count - 1, pv.moves + 1);
    if (best >= beta) break;
    alpha = std::max(alpha, best);
  }
  return best;
}

// Captures are searched to the end. When the opponent threatens a capture,
// the side's quiet moves are searched once (the threat flag stops a second
// time), so every line ends after at most one quiet move.
int export_search(const Position& p, int alpha, int beta, Side side, bool threat, ExportPv& pv) {
  pv.count = 0;
  MoveList list;
  if (has_capture(p, side)) {
    generate_captures(p, list, side);
    return search_list(list, alpha, beta, side, threat, pv);
  }
  PieceSummary summary = make_piece_summary(p);
  generate_noncaptures(p, list, side);
  if (!threat && has_capture(p, opponent_of(side))) return search_list(list, alpha, beta, side, true, pv);
  // A side without a move has lost, whatever its material says.
  if (list.count == 0) return -MATE;
  return quiet_score(p, side, summary);
}

}  // namespace
}  // namespace qb

// Scores from Black's view; the end of the principal variation and, when
// `text` is given, its moves ("9x18 23x14"). Side 1 is White, any other
// value Black.
QB_EXPORT int32_t qsearch(const qb::Position* position, int32_t side, qb::Position* end, int32_t* end_side,
                          char* text) {
  using namespace qb;
  if (text) text[0] = '\0';
  if (!position) return 0;
  Side mover = side == WHITE ? WHITE : BLACK;
  ExportPv pv;
  const int score = black_view(mover, export_search(*position, -MATE, MATE, mover, false, pv));

  Position at = *position;
  for (int i = 0; i < pv.count; ++i) {
    MoveList list;
    if (generate_moves(at, list, mover) <= pv.moves[i]) break;
    const Position& next = list.moves[pv.moves[i]];
    if (text) {
      char move[MOVE_TEXT_SIZE];
      if (i > 0) std::strcat(text, " ");
      std::strcat(text, move_text(move, at, next));
    }
    at = next;
    mover = opponent_of(mover);
  }
  if (end) *end = at;
  if (end_side) *end_side = mover;
  return score;
}
