// Retrograde analysis of one unit (a slice and its mirror, Black to move in
// both). Values are found level by level, a level being a number of plies:
// the positions decided at level L are expanded into their predecessors,
// which a lost successor makes won at L + 1, and which lose once every
// successor is won (at the latest of their successors' distances plus one).
// Moves that leave the unit (captures, promotions) count with the value the
// store gives them.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "code.h"
#include "gen/store.h"
#include "indexer.h"

namespace tb {

struct UnitTables {
  int parts = 1;  // 1 when the slice is its own mirror
  Shape shape[2];
  std::vector<Code> codes[2];        // results
  std::vector<uint64_t> skipped[2];  // bit set: holes, and Black must capture

  explicit UnitTables(const Unit& u);
  bool is_skipped(int part, uint64_t i) const { return skipped[part][i >> 6] >> (i & 63) & 1; }
};

// Reports the share of the unit's work done, from 0 to 1.
using ProgressFn = std::function<void(double)>;

// Distances to the end of the game (exact when the store holds distances).
void solve_unit(UnitTables& unit, const ValueStore& store, int threads, const ProgressFn& progress);

// Plies to the next capture or man move, the winner keeping the win, from
// the values solve_unit found; draws stay DRAW.
void solve_conversions(const UnitTables& unit, const ValueStore& store, int threads,
                       std::vector<Code> out[2]);

}  // namespace tb
