// Interim drivers until the search lands: they play the first legal move so
// the host interface can be exercised end to end. Replaced by the search.
#include <cstdio>

#include "board/movegen.h"
#include "interface/exports.h"
#include "search/driver.h"

namespace qb {

int search_driver(const Position& root, int side, double, int, int, char* str, Position* out) {
  MoveList list;
  *out = root;
  if (generate_moves(root, list, side) == 0) {
    std::snprintf(str, 16, "No moves");
    return QB_LOSS;
  }
  *out = list.moves[0];
  return QB_UNKNOWN;
}

int allscores_driver(const Position& root, int side, double maxtime, int info, char* str,
                     Position* out) {
  return search_driver(root, side, maxtime, info, 0, str, out);
}

}  // namespace qb
