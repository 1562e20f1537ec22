#include "board/movetext.h"

#include <cstdio>

#include "board/bitops.h"

namespace qb {

char* move_text(char* buf, const Position& before, const Position& after) {
  uint32_t changed;
  char separator = 'x';
  if (pop_count(after.black()) < pop_count(before.black())) {
    changed = before.white() ^ after.white();
  } else if (pop_count(after.white()) < pop_count(before.white())) {
    changed = before.black() ^ after.black();
  } else {
    separator = '-';
    changed = before.black() ^ after.black();
    if (!changed) changed = before.white() ^ after.white();
  }
  if (!changed) {
    std::snprintf(buf, MOVE_TEXT_SIZE, "xxxx");
    return buf;
  }
  int from = 0, to = 0;
  for (uint32_t rest = changed; rest; rest = clear_lowest(rest)) {
    int square = lsb_index(rest) + 1;
    if (after.occupied() & lowest_bit(rest)) to = square;
    else from = square;
  }
  std::snprintf(buf, MOVE_TEXT_SIZE, "%d%c%d", from, separator, to);
  return buf;
}

}  // namespace qb
