#include "indexer.h"

#include <vector>

namespace tb {
namespace {

// The set of `k` rank-space squares whose colex rank is r: the highest
// square is the largest s with C(s, k) <= r, found by binary search.
uint32_t search_set(uint64_t r, int k) {
  uint32_t set = 0;
  int high = 32;
  for (; k > 0; --k) {
    int lo = k - 1;  // C(k-1, k) = 0 <= r always
    while (high - lo > 1) {
      int mid = (lo + high) / 2;
      if (BINOM.c[mid][k] <= r) lo = mid;
      else high = mid;
    }
    r -= BINOM.c[lo][k];
    set |= 1u << lo;
    high = lo;
  }
  return set;
}

// Sets of few squares straight from a table: the search above costs more
// than the rest of position_at together, and the builder unranks every
// position. Colex ranks do not depend on the number of squares, so one
// table per count serves men and kings alike.
constexpr int TABLED_COUNT = 4;
struct SetTables {
  std::vector<uint32_t> sets[TABLED_COUNT + 1];
  SetTables() {
    for (int k = 0; k <= TABLED_COUNT; ++k) {
      sets[k].resize(BINOM.c[32][k]);
      for (uint32_t r = 0; r < sets[k].size(); ++r) sets[k][r] = search_set(r, k);
    }
  }
};
const SetTables SET_TABLES;

uint32_t unrank_set(uint64_t r, int k) {
  return k <= TABLED_COUNT && r < SET_TABLES.sets[k].size() ? SET_TABLES.sets[k][r] : search_set(r, k);
}

// Inverse of squeeze(): the rank-r free square is the smallest s with
// s = r + (taken squares up to s), reached by iterating from s = r.
uint32_t spread(uint32_t set, uint32_t taken) {
  uint32_t out = 0;
  for (; set; set &= set - 1) {
    int r = std::countr_zero(set), s = r;
    for (int next; (next = r + qb::pop_count(taken & ((2u << s) - 1))) != s;) s = next;
    out |= 1u << s;
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
  sh.by_white_men = Divisor(sh.white_men);
  sh.by_black_kings = Divisor(sh.black_kings);
  sh.by_white_kings = Divisor(sh.white_kings);
  return sh;
}

// Splits an index into its parts: by multiplication where the index fits
// 32 bits (every slice up to 7 pieces), else by division.
void split_index(uint32_t index, const Shape& sh, uint64_t rank[4]) {
  uint32_t rest = sh.by_white_kings.quotient(index);
  rank[3] = index - rest * uint32_t(sh.white_kings);
  index = rest;
  rest = sh.by_black_kings.quotient(index);
  rank[2] = index - rest * uint32_t(sh.black_kings);
  index = rest;
  rest = sh.by_white_men.quotient(index);
  rank[1] = index - rest * uint32_t(sh.white_men);
  rank[0] = rest;
}

void split_index(uint64_t index, const Shape& sh, uint64_t rank[4]) {
  rank[3] = index % sh.white_kings;
  index /= sh.white_kings;
  rank[2] = index % sh.black_kings;
  index /= sh.black_kings;
  rank[1] = index % sh.white_men;
  rank[0] = index / sh.white_men;
}

bool position_at(uint64_t index, const Shape& sh, qb::Position& out) {
  const Material& m = sh.m;
  uint64_t rank[4];
  if (sh.size <= UINT32_MAX) split_index(uint32_t(index), sh, rank);
  else split_index(index, sh, rank);
  uint64_t bm_rank = rank[0], wm_rank = rank[1], bk_rank = rank[2], wk_rank = rank[3];
  uint32_t bm = unrank_set(bm_rank, m.bm);
  uint32_t wm = unrank_set(wm_rank, m.wm) << 4;
  if (bm & wm) return false;
  uint32_t bk = spread(unrank_set(bk_rank, m.bk), bm | wm);
  uint32_t wk = spread(unrank_set(wk_rank, m.wk), bm | wm | bk);
  out = qb::Position{{bm | bk, wm | wk}, bk | wk};
  return true;
}

}  // namespace tb
