// Real databases for the endgame tests: win/loss/draw, distance to win and
// moves to conversion of up to four pieces, built by tbgen once per build
// tree (test processes share them), and the engine opened on them.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "board/position.h"

namespace egtest {

constexpr int TABLE_PIECES = 4;

struct Tables {
  std::string wld, dtw, mtc;
};
const Tables& tables();

// The largest WLD database at hand: the one the build makes by default
// (engines/db) when this build makes it, else the test tables.
struct WldTables {
  std::string dir;
  int pieces;
};
WldTables largest_wld();

// What the engine is to open.
struct DatabaseSetup {
  std::string wld;
  std::string aux;  // empty: none
  int max_pieces = 24;
  bool enable_wld = true;
  bool enable_aux = true;
  int cache_mb = 16;  // megabytes of the driver's block cache
};

// Closes whatever is open and opens afresh with `setup` (no waits after a
// failure, a small hash table, the log in a private file); returns the text
// left in the status buffer.
std::string open_databases(const DatabaseSetup& setup);
void close_all();

// The log written since the last open_databases.
std::string log_since_open();

qb::Position parse(const char* fen, qb::Side* side = nullptr);

// `pieces` pieces on distinct squares, at least one of each side, kings at
// random, no man on its crowning row.
qb::Position random_position(std::mt19937& rng, int pieces);

// The WLD value straight from the driver.
int wld_value(const qb::Position& p, qb::Side side);

// One getmove for `side` from `p`, as a host makes it: the position after
// the engine's move, its result code and its status text.
struct Moved {
  qb::Position after;
  int32_t result;
  std::string status;
};
Moved engine_move(const qb::Position& p, qb::Side side, bool new_game, double seconds);

}  // namespace egtest
