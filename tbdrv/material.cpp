#include "material.h"

#include <algorithm>

#include "indexer.h"

namespace tb {

Material material_of(const qb::Position& p) {
  return {qb::pop_count(p.men(qb::BLACK)), qb::pop_count(p.kings_of(qb::BLACK)),
          qb::pop_count(p.men(qb::WHITE)), qb::pop_count(p.kings_of(qb::WHITE))};
}

std::string slice_name(const Material& m) {
  std::string s = "b00w00";
  s[1] = char('0' + m.bm);
  s[2] = char('0' + m.bk);
  s[4] = char('0' + m.wm);
  s[5] = char('0' + m.wk);
  return s;
}

std::vector<Material> slices_up_to(int pieces) {
  std::vector<Material> all;
  for (int n = 2; n <= std::min(pieces, MAX_PIECES); ++n)
    for (int b = 1; b < n; ++b)
      for (int bm = 0; bm <= b; ++bm)
        for (int wm = 0; wm <= n - b; ++wm) all.push_back({bm, b - bm, wm, n - b - wm});
  std::stable_sort(all.begin(), all.end(), [](const Material& a, const Material& b) {
    if (a.pieces() != b.pieces()) return a.pieces() < b.pieces();
    return a.men() < b.men();
  });
  return all;
}

std::vector<Unit> units_up_to(int pieces) {
  std::vector<Unit> units;
  std::vector<bool> taken(SLICE_KEYS);
  for (const Material& m : slices_up_to(pieces)) {
    if (taken[m.key()]) continue;
    taken[m.key()] = taken[m.mirror().key()] = true;
    units.push_back({m, m.mirror()});
  }
  return units;
}

bool reachable(const Material& from, const Material& to) {
  return to.bm <= from.bm && to.wm <= from.wm && to.bm + to.bk <= from.bm + from.bk &&
         to.wm + to.wk <= from.wm + from.wk;
}

}  // namespace tb
