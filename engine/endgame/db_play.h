// Play by database distances: when the root lies within the databases and a
// distance database (moves to conversion, or distance to win) is open
// beside the WLD one, a won position is played towards the shortest win or
// conversion and a lost one towards the longest resistance, without a
// search.
#pragma once

#include <cstdint>
#include <vector>

#include "board/movegen.h"
#include "board/position.h"
#include "endgame/databases.h"

namespace qb {

struct DbPlayChoice {
  int index = 0;     // into the root's move list
  int distance = 0;  // of the chosen move
  int value = 0;     // black's view: near +-3900 or +-4000 for a database win or loss
};

// True when the databases chose the move for `root`, a node of the game
// (so that the winner never lets a position the game has seen come back);
// the status text then tells the result ("wins"/"loses" in so many plies,
// or the conversion distance).
bool db_play(const SearchNode& root, const MoveList& moves, int count, double maxtime, char* status,
             DbPlayChoice& choice);

// A root move with its database distance.
struct RankedMove {
  int32_t distance;
  int32_t index;
};

// The state of ranking moves by distance to win.
struct DistanceAnalysis {
  int32_t nodes = 0;
  int32_t deepest_ply = 0;
  int32_t time_limit_ms = 0;  // overall; 0 = none
  uint32_t start_ms = 0;
  uint32_t elapsed_ms = 0;
  WldDatabase wld;  // a private copy for the resolutions
  EndgameDriver* aux = nullptr;
};

// Ranks the root moves by exact distance (plies to the end of the game):
// shortest first for a won root, longest first for a lost one. False when
// the ranking failed (unknown values, time). A drawn root ranks nothing.
bool rank_dtw_moves(DistanceAnalysis& a, const Position& root, Side side, const MoveList& moves, int count,
                    std::vector<RankedMove>& ranked);

}  // namespace qb
