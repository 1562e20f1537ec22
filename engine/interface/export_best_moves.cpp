// get_best_moves: every root move with a score, best first, for a host that
// wants the good moves of a position rather than one move to play. The best
// move is searched exactly; every other one is tested against a margin below
// it, and the moves that fail the test get a score no real value reaches.
#include <algorithm>
#include <exception>

#include "interface/busy.h"
#include "interface/exports.h"
#include "interface/base/host_text.h"
#include "interface/base/log.h"
#include "interface/startup.h"
#include "interface/base/stop.h"
#include "search/best_moves.h"
#include "search/root_search.h"
#include "search/score.h"
#include "search/time_control.h"

namespace qb {
namespace {

constexpr int32_t ANALYSED = 0;
constexpr int32_t LOST_GAME = 2;
constexpr int32_t NOT_ANALYSED = 3;   // the request could not be served
constexpr int MAX_MARGIN = 2 * MATE;  // wider than any two values lie apart

// Bits that no position of a game has: a square held by both sides, a king
// mark on an empty square, a man on its own crowning row.
bool is_playable(const Position& p) {
  return !(p.pieces[BLACK] & p.pieces[WHITE]) && !(p.kings & ~p.occupied()) && !has_man_on_crown_row(p);
}

// Best first; the moves outside the margin with the score that marks them.
// The host's list holds 30 moves: a position with more (only possible with
// many kings) reports its 30 best.
void write_out_list(const RootMoves& roots, Side side, HostMoveList* moves, int32_t* scores) {
  const int n = std::min(roots.count, HOST_MOVELIST_SIZE);
  const int32_t excluded = excluded_mark(side);
  if (moves) moves->count = n;
  for (int i = 0; i < n; ++i) {
    const RootMoveRecord& r = roots.records[i];
    if (moves) moves->moves[i] = r.successor;
    if (scores) scores[i] = r.excluded ? excluded : r.value;
  }
}

int32_t analyse(const MoveRequest& request, const BestMovesRequest& limits, HostMoveList* moves,
                int32_t* scores) {
  prepare_engine_for_move(request);
  RootMoves roots;
  const MoveDecision decision = best_moves_driver(request, limits, roots);
  if (decision.source == MoveSource::NO_MOVES) return LOST_GAME;
  write_out_list(roots, request.side, moves, scores);
  return ANALYSED;
}

}  // namespace
}  // namespace qb

// The sixth parameter is part of the protocol but carries nothing.
QB_EXPORT int32_t get_best_moves(const qb::Position* position, int32_t side, double maxtime, char* text,
                                 int32_t* stop, int32_t, int32_t margin, qb::HostMoveList* moves,
                                 int32_t* scores, int32_t min_depth) {
  using namespace qb;
  SearchBusyGuard busy;
  static int32_t own_stop_flag = 0;
  char scratch[HOST_TEXT_SIZE];
  if (!text) text = scratch;
  if (moves) moves->count = 0;  // until there is a list to hand back
  if (!position || !is_playable(*position)) {
    write_host_text(text, "Illegal position.");
    return NOT_ANALYSED;
  }
  const BestMovesRequest limits{bounded_move_time(maxtime), std::clamp(margin, 0, MAX_MARGIN),
                                std::clamp(min_depth, 0, DEPTH_CAP)};
  const MoveRequest request{*position, side == WHITE ? WHITE : BLACK, maxtime, 0, 0,
                            text,      stop ? stop : &own_stop_flag};
  int32_t result = NOT_ANALYSED;
  try {
    result = analyse(request, limits, moves, scores);
  } catch (const std::exception& e) {
    log_printf("get_best_moves failed: %s\n", e.what());
    write_host_text(text, "Internal error, no analysis.");
  } catch (...) {
    log_printf("get_best_moves failed\n");
    write_host_text(text, "Internal error, no analysis.");
  }
  // The caller's flag may not outlive the call.
  publish_stop_flag(nullptr);
  return result;
}
