// The getmove driver: one request in, one move and a result code out.
#include "search/driver.h"

#include <cstdio>

#include "board/movegen.h"
#include "board/movetext.h"
#include "interface/exports.h"
#include "interface/host_text.h"
#include "interface/log.h"
#include "interface/stop.h"
#include "search/deepening.h"
#include "search/report.h"
#include "search/result.h"
#include "search/root_search.h"
#include "search/time_control.h"

namespace qb {

namespace {

constexpr int DEEP_DEPTH = 7;  // values of deeper iterations decide result codes

void log_final_line(const Position& root, int side, const Position& chosen, int depth) {
  char line[PV_TEXT_SIZE + 2];
  pv_text(line, side, root, chosen, false, pv_length(depth));
  log_printf("%s\n", line);
}

}  // namespace

int search_driver(const Position& root, int side, double maxtime, int info, int moreinfo,
                  char* str, Position* out) {
  TimeLimits limits = time_limits(maxtime, info, moreinfo);
  prepare_search(root, side, limits.hard);
  log_search_start(root, side);

  MoveList moves;
  const int count = generate_moves(root, moves, side);

  // The opening book is asked here once it is loaded (book setting on): a
  // book move is played without a search, its text logged, the successor
  // added to the game history with the opponent to move, and 3 returned.
  // Then the databases' distance play: when it chooses the move, its text
  // is logged and the result step follows with its value, deep.

  if (count == 0) {
    write_host_text(str, "No moves");
    *out = root;
    return QB_LOSS;
  }
  const int depth_cap = forced_capture(root, side) ? FORCED_DEPTH_CAP : DEPTH_CAP;

  // A database-drawn root is played by the drawn-position analysis here
  // (allowance 0.8 x the hard limit), going to the result step with value 1,
  // deep. Then the other search threads are woken.

  DeepeningResult r = deepen(moves, count, DeepeningLimits{limits.more_time, limits.stop, depth_cap}, str);
  *out = moves.moves[r.best_index];
  set_stop_flag(0);

  // The other search threads are parked here; then the WLD consistency check
  // may replace a move that throws away a database win or draw, logging
  // "tbdrv move changed from %s to %s" instead of the principal variation.
  log_final_line(root, side, *out, r.depth);
  return result_step(*out, side, r.value, r.depth > DEEP_DEPTH);
}

}  // namespace qb
