// The getmove driver: one request in, one move and a result code out.
#include "search/driver.h"

#include <cstdio>

#include "board/movegen.h"
#include "board/movetext.h"
#include "book/book.h"
#include "book/book_move.h"
#include "endgame/db_play.h"
#include "interface/base/host_text.h"
#include "interface/base/log.h"
#include "interface/base/stop.h"
#include "search/deepening.h"
#include "search/game_history.h"
#include "search/report.h"
#include "search/result.h"
#include "search/root_db_checks.h"
#include "search/root_search.h"
#include "search/time_control.h"

namespace qb {

namespace {

constexpr Plies DEEP_DEPTH = 7;  // values of deeper iterations decide result codes
constexpr double DRAW_ANALYSIS_SHARE = 0.8;  // of the hard time limit

void log_final_line(const Position& root, Side side, const Position& chosen, Plies depth) {
  char line[PV_TEXT_SIZE + 2];
  pv_text(line, side, root, chosen, false, pv_length(depth));
  log_printf("%s\n", line);
}

}  // namespace

bool decided_without_search(const Position& root, Side side, const MoveList& moves, int count,
                            double maxtime, char* str, Position* out, int* result) {
  DbPlayChoice db;
  if (db_play(root, side, moves, count, maxtime, str, db)) {
    *out = moves.moves[db.index];
    if (str) log_printf("%s\n", str);
    *result = result_step(*out, side, db.value, true);
    return true;
  }
  if (count == 0) {
    write_host_text(str, "No moves");
    *out = root;
    *result = QB_LOSS;
    return true;
  }
  return false;
}

int search_driver(const Position& root, Side side, double maxtime, int info, int moreinfo,
                  char* str, Position* out) {
  maxtime = bounded_move_time(maxtime);  // also for the database play and checks below
  TimeLimits limits = time_limits(maxtime, info, moreinfo);
  prepare_search(root, side, limits.hard);
  log_search_start(root, side);

  MoveList moves;
  const int count = generate_moves(root, moves, side);

  // A book move is played without a search; the game goes on with the
  // opponent to move from the book position.
  int book_index = 0, book_value = 0;
  if (count > 0 && book_in_use() &&
      book_move(root, side, moves, history_last(), &book_index, &book_value, str)) {
    *out = moves.moves[book_index];
    log_printf("%s\n", str ? str : "");
    history_update(*out, opponent_of(side));
    return QB_UNKNOWN;
  }

  int decided = 0;
  if (decided_without_search(root, side, moves, count, maxtime, str, out, &decided)) return decided;
  const Plies depth_cap = forced_capture(root, side) ? FORCED_DEPTH_CAP : DEPTH_CAP;

  if (database_draw_analysis(*history_last(), str, DRAW_ANALYSIS_SHARE * limits.hard, out))
    return result_step(*out, side, ANALYSED_DRAW, true);
  // The deepening wakes the other search threads and parks them again.

  DeepeningResult r = deepen(moves, count, DeepeningLimits{limits.more_time, limits.stop, depth_cap}, str);
  *out = moves.moves[r.best_index];
  set_stop_flag(0);

  int replacement = 0;
  if (wld_consistency_check(side, root, moves, count, r.best_index, &replacement, maxtime)) {
    char old_move[MOVE_TEXT_SIZE], new_move[MOVE_TEXT_SIZE];
    *out = moves.moves[replacement];
    log_printf("tbdrv move changed from %s to %s\n", move_text(old_move, root, moves.moves[r.best_index]),
               move_text(new_move, root, *out));
  } else {
    log_final_line(root, side, *out, r.depth);
  }
  return result_step(*out, side, r.value, r.depth > DEEP_DEPTH);
}

}  // namespace qb
