// Depth in two units, kept apart by name. Iterations, the root, reports and
// settings count whole plies; the node and capture searches and the hash
// table count eighths of a ply, so that extensions and reductions can take
// a fraction of one.
#pragma once

namespace qb {

using Plies = int;
using Eighths = int;

constexpr Eighths ONE_PLY = 8;

constexpr Eighths in_eighths(Plies plies) { return plies * ONE_PLY; }

}  // namespace qb
