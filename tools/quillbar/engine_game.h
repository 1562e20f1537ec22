// One game between two engine processes, refereed by the host: every move is
// checked against the rules, the clocks are kept, and an engine that dies,
// hangs, plays an illegal move or oversteps its clock loses the game.
#pragma once

#include <functional>
#include <optional>

#include "engine_process.h"
#include "game.h"
#include "openings.h"
#include "time_control.h"

namespace host {

// Adjudication of a position the host can settle without playing on, such
// as one inside an endgame database. Returns nothing to play on.
using PositionJudge = std::function<std::optional<Outcome>(const qb::Position&, int side)>;

struct GameSetup {
  const Opening* opening = nullptr;  // moves played before the engines take over
  TimeControl time;
  int max_plies = 0;         // draw by move cap (0: none)
  double hang_timeout = 30;  // seconds past its own time limit before an engine counts as hung
  PositionJudge judge;       // optional
};

// engines[side]: the process that plays Black (index 0) and White (index 1).
// They may be the same process. Fills `record` and returns how it ended.
Outcome play_engine_game(EngineProcess* engines[2], const GameSetup& setup, GameRecord& record);

// The result code of getmove as a claim about the game, for the side that
// just moved: 0 draw, 1 win, 2 loss, 3 nothing.
GameResult claimed_result(int code, int side);

}  // namespace host
