// build_movelist: the legal moves of a position for the host, with the
// landing-by-landing path of every capture when the host asks for it.
#include <algorithm>
#include <cstring>

#include "board/movegen.h"
#include "interface/exports.h"
#include "interface/startup.h"

using namespace qb;

// The host's list and path array hold 30 entries. A position with more legal
// moves (only possible with many kings) reports its first 30 in generation
// order: the count returned is the number of entries written, so a host that
// trusts it never reads past its own arrays.
QB_EXPORT int32_t build_movelist(const Position* position, int32_t side, HostMoveList* list,
                                 CapturePath* paths) {
  initialise_engine();
  if (!position || !list) return 0;
  const Side mover = side == WHITE ? WHITE : BLACK;
  MoveList moves;
  static thread_local CapturePath all_paths[MAX_MOVES];
  int n = paths ? generate_captures_with_paths(*position, moves, mover, all_paths)
                : generate_captures(*position, moves, mover);
  bool captures = n > 0;
  if (!captures) {
    n = generate_noncaptures(*position, moves, mover);
    if (paths) paths[0].jumps = 0;
  }
  n = std::min(n, HOST_MOVELIST_SIZE);
  list->count = n;
  std::copy(moves.moves, moves.moves + n, list->moves);
  if (captures && paths) std::copy(all_paths, all_paths + n, paths);
  return n;
}
