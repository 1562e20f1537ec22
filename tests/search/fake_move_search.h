// A stand-in for the search of one root move: each move is worth what the
// test says at each depth, whatever the window (an exact value is a valid
// fail-soft answer), and the test may have the host ask for a stop at a
// chosen point.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "board/movegen.h"
#include "interface/base/stop.h"
#include "search/root_moves.h"
#include "search/tt.h"

namespace searchtest {

struct FakeMoveSearch {
  // The value (black's view) of the move with this root index at this depth.
  static inline int (*value_of)(int index, int depth) = nullptr;
  // The host's stop request arrives while this move is searched at this depth.
  static inline int stop_depth = 0, stop_index = -1;
  static inline int32_t stop_flag = 0;
  static inline std::vector<std::pair<int, int>> calls;  // (index, depth)

  static void reset(int (*values)(int, int)) {
    value_of = values;
    stop_depth = 0;
    stop_index = -1;
    stop_flag = 0;
    calls.clear();
    qb::publish_stop_flag(&stop_flag);
    if (!qb::g_tt.buckets) qb::tt_allocate(1);  // the pinning walks read it
  }

  static int search(const qb::RootMoveRecord& move, int, int, int depth) {
    calls.emplace_back(move.index, depth);
    if (depth == stop_depth && move.index == stop_index) stop_flag = 1;
    return value_of(move.index, depth);
  }

  // The first `count` moves of `root` (its game-history record) as records.
  static qb::RootMoves roots_of(const qb::SearchNode& root, int count) {
    qb::MoveList moves;
    qb::generate_moves(root.position(), moves, root.side);
    qb::RootMoves roots;
    qb::fill_root_moves(roots, root, moves, count);
    return roots;
  }
};

inline std::vector<int> indices(const qb::RootMoves& roots) {
  std::vector<int> out;
  for (int i = 0; i < roots.count; ++i) out.push_back(roots.records[i].index);
  return out;
}

inline std::vector<int> values(const qb::RootMoves& roots) {
  std::vector<int> out;
  for (int i = 0; i < roots.count; ++i) out.push_back(roots.records[i].value);
  return out;
}

}  // namespace searchtest
