#include "indexer.h"

namespace tb {
namespace {

// The set of `k` rank-space squares whose colex rank is r.
uint32_t unrank_set(uint64_t r, int k) {
  uint32_t set = 0;
  int s = 31;
  for (; k > 0; --k) {
    while (BINOM.c[s][k] > r) --s;
    r -= BINOM.c[s][k];
    set |= 1u << s;
    --s;
  }
  return set;
}

// Inverse of squeeze(): spread rank-space bits over the squares not taken.
uint32_t spread(uint32_t set, uint32_t taken) {
  uint32_t out = 0;
  uint32_t free_squares = ~taken;
  while (set) {
    uint32_t square = free_squares & (0u - free_squares);
    if (set & 1) out |= square;
    set >>= 1;
    free_squares &= free_squares - 1;
  }
  return out;
}

}  // namespace

Shape shape_of(const Material& m) {
  Shape sh{m, BINOM.c[28][m.bm], BINOM.c[28][m.wm], 0, 0, 0};
  int free_for_kings = 32 - m.bm - m.wm;
  sh.black_kings = BINOM.c[free_for_kings][m.bk];
  sh.white_kings = BINOM.c[free_for_kings - m.bk][m.wk];
  sh.size = sh.black_men * sh.white_men * sh.black_kings * sh.white_kings;
  return sh;
}

bool position_at(uint64_t index, const Shape& sh, qb::Position& out) {
  const Material& m = sh.m;
  uint64_t wk_rank = index % sh.white_kings;
  index /= sh.white_kings;
  uint64_t bk_rank = index % sh.black_kings;
  index /= sh.black_kings;
  uint64_t wm_rank = index % sh.white_men;
  uint64_t bm_rank = index / sh.white_men;
  uint32_t bm = unrank_set(bm_rank, m.bm);
  uint32_t wm = unrank_set(wm_rank, m.wm) << 4;
  if (bm & wm) return false;
  uint32_t bk = spread(unrank_set(bk_rank, m.bk), bm | wm);
  uint32_t wk = spread(unrank_set(wk_rank, m.wk), bm | wm | bk);
  out = qb::Position{{bm | bk, wm | wk}, bk | wk};
  return true;
}

}  // namespace tb
