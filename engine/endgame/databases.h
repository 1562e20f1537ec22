// The two endgame databases the engine uses at once: a win/loss/draw (WLD)
// database that the searches probe, and an auxiliary distance database
// (moves to conversion, or distance to win) that only the database play
// consults. They are opened lazily at the start of a getmove, and again
// after a setting they depend on changed.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "endgame/driver_binding.h"

namespace qb {

constexpr int RESOLVE_MAX_PLIES = 64;  // iterations 1-63, plies 0-63
constexpr int32_t RESOLVE_DEFAULT_TIME_MS = 5000;

// The WLD database, with the limits of the positions the searches may probe
// and the working state of the resolution search (endgame/resolve.h).
struct WldDatabase {
  EndgameDriver* handle = nullptr;
  int32_t max_pieces = 0;                           // all pieces on the board
  int32_t max_per_side = 0;                         // pieces of the larger side
  int32_t time_limit_ms = RESOLVE_DEFAULT_TIME_MS;  // 0: none
  int32_t node_limit = 0;                           // 0: none
  // Resolution working state.
  uint32_t start_ms = 0;
  int32_t nodes = 0;
  int32_t deepest_ply = 0;
  bool abandoned = false;
  Position stack[RESOLVE_MAX_PLIES];
};

struct AuxDatabase {
  EndgameDriver* handle = nullptr;
  int32_t type = 0;
  int32_t pieces = 0;
};

extern WldDatabase g_wld;
extern AuxDatabase g_aux;
extern bool g_db_initialized;

// Does a position with these counts lie within the WLD database's limits?
bool within_wld_limits(const Position& p);

// Brings the databases and the hash table up to date with the settings;
// progress and failures are written into the host's `status` text. Runs on
// the host's thread while no search runs.
void init_databases(char* status);

// Closes both databases, empties the WLD record and frees the hash table.
void close_databases();

// The pauses after a failure, so that a user can read its text in the host
// before the search overwrites it. Tests shorten them.
struct DatabaseWaits {
  int not_found_ms = 5000;
  int open_failed_ms = 3000;
  int see_log_ms = 10000;
};
extern DatabaseWaits g_database_waits;

}  // namespace qb
