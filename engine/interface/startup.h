// One-time initialisation on the first entry call that needs it, and the
// shutdown when the library is unloaded.
#pragma once

#include "search/move_request.h"

namespace qb {

void initialise_engine();  // does nothing after its first run
void shutdown_engine();

// What both searching exports do before a move: the request's stop flag is
// published, the engine started if it is not, and the endgame databases and
// the hash table brought up to date with the settings (progress and failures
// go into the request's status text).
void prepare_engine_for_move(const MoveRequest& request);

}  // namespace qb
