// The getmove driver: one request in, one move decision out.
#include "search/driver.h"

#include <cstdio>

#include "board/movetext.h"
#include "book/book.h"
#include "book/book_move.h"
#include "endgame/db_play.h"
#include "interface/base/host_text.h"
#include "interface/base/log.h"
#include "interface/base/stop.h"
#include "search/deepening.h"
#include "search/report.h"
#include "search/root_db_checks.h"
#include "search/score.h"
#include "search/time_control.h"

namespace qb {

namespace {

constexpr Plies DEEP_DEPTH = 7;              // values of deeper iterations decide result codes
constexpr double DRAW_ANALYSIS_SHARE = 0.8;  // of the hard time limit

void log_final_line(const Position& root, Side side, const Position& chosen, Plies depth) {
  char line[PV_TEXT_SIZE + 2];
  pv_text(line, side, root, chosen, false, pv_length(depth));
  log_printf("%s\n", line);
}

// The search's move, checked against the databases' verdicts at the root.
MoveDecision searched_move(const SearchRoot& root, const TimeLimits& limits, double maxtime, char* status) {
  const Position position = root.position();
  const Side side = root.side();
  DeepeningResult r = deepen(*root.node, root.moves, root.count,
                             DeepeningLimits{limits.more_time, limits.stop, root.depth_cap}, status);
  MoveDecision decision{root.moves.moves[r.best_index], r.value, r.depth > DEEP_DEPTH, MoveSource::SEARCH};
  set_stop_flag(0);

  int replacement = 0;
  if (wld_consistency_check(side, position, root.moves, root.count, r.best_index, &replacement, maxtime)) {
    char old_move[MOVE_TEXT_SIZE], new_move[MOVE_TEXT_SIZE];
    decision.position = root.moves.moves[replacement];
    log_printf("tbdrv move changed from %s to %s\n",
               move_text(old_move, position, root.moves.moves[r.best_index]),
               move_text(new_move, position, decision.position));
  } else {
    log_final_line(position, side, decision.position, r.depth);
  }
  return decision;
}

}  // namespace

bool consult_book(const SearchRoot& root, char* status, MoveDecision& decision) {
  int index = 0, value = 0;
  if (root.count == 0 || !book_in_use() ||
      !book_move(root.position(), root.side(), root.moves, root.node, &index, &value, status))
    return false;
  decision = MoveDecision{root.moves.moves[index], value, true, MoveSource::BOOK};
  log_printf("%s\n", status ? status : "");
  return true;
}

bool decided_without_search(const SearchRoot& root, double maxtime, char* status, MoveDecision& decision) {
  DbPlayChoice db;
  if (db_play(*root.node, root.moves, root.count, maxtime, status, db)) {
    decision = MoveDecision{root.moves.moves[db.index], db.value, true, MoveSource::DATABASE_PLAY};
    if (status) log_printf("%s\n", status);
    return true;
  }
  if (root.count == 0) {
    write_host_text(status, "No moves");
    decision = MoveDecision{root.position(), 0, false, MoveSource::NO_MOVES};
    return true;
  }
  return false;
}

MoveDecision search_driver(const MoveRequest& request) {
  const double maxtime = bounded_move_time(request.maxtime);  // also for the database play and checks
  const TimeLimits limits = time_limits(maxtime, request.info, request.moreinfo);
  const SearchRoot root = set_up_root(request.root, request.side, limits.hard);
  char* status = request.status;

  MoveDecision decision;
  // A book move is played without a verdict: the game goes on, undecided.
  if (consult_book(root, status, decision)) {
    decision.judged = false;
    return decision;
  }
  if (decided_without_search(root, maxtime, status, decision)) return decision;
  Position drawn;
  if (database_draw_analysis(*root.node, status, DRAW_ANALYSIS_SHARE * limits.hard, &drawn))
    return MoveDecision{drawn, ANALYSED_DRAW, true, MoveSource::DRAW_ANALYSIS};
  return searched_move(root, limits, maxtime, status);
}

}  // namespace qb
