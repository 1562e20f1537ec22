// Rating the moves of a database-drawn position: every move that keeps the
// draw is as good as another by the database's measure, so they are told
// apart by the chances they leave the opponent to go wrong (the share of
// its replies that keep the draw, deeper down) and by material.
#pragma once

#include <cstdint>

#include "board/movetext.h"
#include "board/position.h"

namespace qb {

// One drawing root move.
struct DrawRecord {
  char move[MOVE_TEXT_SIZE];
  float rating;  // 0 ... 1, or 0.998 for a repeated position
  Position successor;
  int32_t value;  // material score, black's view
};

// Shared by all nodes of one analysis.
struct DrawLimits {
  int32_t root_pieces = 0;  // L, pieces on the board at the root
  uint32_t start_ms = 0;
  uint32_t time_limit_ms = 0;
  bool abandoned = false;  // the time ran out; every result since is void
};

// Material from black's view, a king 130 and a man 100; every piece
// captured since the root takes one point off the leading side's margin.
int material_score(const Position& p, int root_pieces);

// The rating of `node` searched `depth` plies over drawing moves only, or a
// negative value on failure (a node without moves, or the time running out,
// which also sets limits.abandoned). `value` receives the best material
// value found; at ply 1 `records` (room for MAX_MOVES) and `record_count`
// receive the drawing root moves.
float drawing_chances(const SearchNode& node, int ply, int depth, DrawRecord* records, int* record_count,
                      int* value, DrawLimits& limits);

}  // namespace qb
