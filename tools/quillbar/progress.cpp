#include "progress.h"

#include <cstdio>

namespace host {

std::optional<Progress> parse_progress(const std::string& status) {
  Progress p;
  char pv[256] = "";
  float leaf_depth = 0;
  int seldepth = 0, used = 0;
  if (std::sscanf(status.c_str(), "value%c%d, depth %d/%f/%d, %lfs, %lf kN/s,%n", &p.bound, &p.value,
                  &p.depth, &leaf_depth, &seldepth, &p.seconds, &p.knps, &used) < 7 ||
      used == 0)
    return std::nullopt;
  if (std::sscanf(status.c_str() + used, " pv %255[^\n]", pv) == 1) p.pv = pv;
  return p;
}

}  // namespace host
