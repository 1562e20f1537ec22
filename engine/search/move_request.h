// One move request and its decision, as the searching exports hand them to
// the drivers: every fact of the call travels in these records, so a driver
// never reads its root or its limits back from engine-wide state.
#pragma once

#include <cstdint>

#include "board/position.h"

namespace qb {

struct MoveRequest {
  Position root;
  Side side;                // to move at the root
  double maxtime;           // seconds, as the host gave them (the drivers bound them)
  int info = 0;             // getmove's bits: new game, exact time, time unit
  int moreinfo = 0;         // incremental play: remaining and increment
  char* status = nullptr;   // the host's text buffer, may be null
  int32_t* stop = nullptr;  // the host's stop flag, published for the move
};

// Where a move came from; each source has its own rule for the result code.
enum class MoveSource {
  BOOK,           // the opening book
  DATABASE_PLAY,  // the databases' distance play
  DRAW_ANALYSIS,  // the databases' analysis of a drawn root
  SEARCH,         // the search
  NO_MOVES,       // the side to move has none: the game is lost
};

struct MoveDecision {
  Position position;  // after the move; the root when there is none
  int value = 0;      // Black's view
  bool deep = false;  // the value may decide the game (a deep search or an exact source)
  MoveSource source = MoveSource::SEARCH;
  // The search driver's book move goes on without a verdict: its value is
  // not judged and the game stays undecided.
  bool judged = true;
};

}  // namespace qb
