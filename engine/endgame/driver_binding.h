// The engine's side of the endgame-database driver library: the handle and
// the four calls the engine makes through it. Everything else about the
// databases (file formats, caching, what a conditional lookup may skip) is
// the driver's business.
#pragma once

#include <string>

#include "board/position.h"

struct tbdrv_handle;

namespace qb {

using EndgameDriver = tbdrv_handle;

// WLD answers for the side to move; anything else (0 or negative) is none.
enum WldValue : int { WLD_WIN = 1, WLD_LOSS = 2, WLD_DRAW = 3 };

// True when `dir` holds a database; fills its type code and piece count.
// The files that kept a larger piece count from being used are logged.
bool driver_identify(const std::string& dir, int* type, int* pieces);

// Null on failure; the driver's messages go to the log.
EndgameDriver* driver_open(int pieces, int cache_mb, const std::string& dir);

// Closes the handle and forgets it.
void driver_close(EndgameDriver*& handle);

// A WLD value, or a distance for MTC and DTW databases (negative: none).
// Safe from every search thread at once.
int driver_lookup(EndgameDriver* handle, const Position& p, Side side, bool conditional);

}  // namespace qb
