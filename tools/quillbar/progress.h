// The engine's search progress line read apart, for the hosts that show it
// in pieces (the board page, the terminal game). Its value is from Black's
// side whoever moves; players want it from their own.
#pragma once

#include <optional>
#include <string>

#include "board/position.h"

namespace host {

// One line of the engine's search progress:
// "value=12,  depth 9/7.5/14,  0.3s,  1234 kN/s,  pv 11-15 23-19".
struct Progress {
  char bound = '=';  // '=' exact, '<' at most, '>' at least
  int value = 0;     // Black's view
  int depth = 0;
  double seconds = 0;
  double knps = 0;
  std::string pv;
};
std::optional<Progress> parse_progress(const std::string& status);

// The value for `side`: Black's view turned for White.
inline int value_for(int value, int side) { return side == qb::WHITE ? -value : value; }

}  // namespace host
