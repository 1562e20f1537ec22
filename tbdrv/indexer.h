// Numbering of the positions of one slice (Black to move), dense apart from
// men placed on the same square:
//   index = ((black men * W + white men) * K + black kings) * V + white kings
// Men are ranked among the 28 squares they can stand on; kings among the
// squares the men leave free, so the king part has no holes. Ranks are
// combinatorial (colex): a set s1 < s2 < ... ranks as C(s1,1) + C(s2,2) + ...
#pragma once

#include <bit>
#include <cstdint>

#include "board/bitops.h"
#include "material.h"

namespace tb {

struct Binomials {
  uint32_t c[33][9];  // c[n][k] = n choose k, k <= 8
  constexpr Binomials() : c{} {
    for (int n = 0; n <= 32; ++n) {
      c[n][0] = 1;
      for (int k = 1; k <= 8; ++k) c[n][k] = n == 0 ? 0 : c[n - 1][k - 1] + c[n - 1][k];
    }
  }
};
inline constexpr Binomials BINOM{};

// Division of 32-bit numbers by a fixed divisor as a multiplication: with
// magic = ceil(2^64 / d), the high half of magic * n is n / d exactly for
// every 32-bit n. A divide instruction costs several times as much, and
// unranking a position takes three.
struct Divisor {
  uint32_t d = 1;
  uint64_t magic = 0;  // unused for d = 1, where it would not fit

  Divisor() = default;
  explicit Divisor(uint64_t divisor) : d(uint32_t(divisor)), magic(d > 1 ? ~uint64_t(0) / d + 1 : 0) {}
  uint32_t quotient(uint32_t n) const { return d == 1 ? n : uint32_t((unsigned __int128)magic * n >> 64); }
};

struct Shape {
  Material m;
  uint64_t black_men, white_men, black_kings, white_kings;  // counts of each part
  uint64_t size;                                            // positions in the slice
  Divisor by_white_men, by_black_kings, by_white_kings;     // for slices of up to 2^32 positions
};

Shape shape_of(const Material& m);

// Colex rank of a set of squares given as a mask (bit i = rank-space square i).
inline uint64_t rank_set(uint32_t set) {
  uint64_t r = 0;
  for (int k = 1; set; ++k, set &= set - 1) r += BINOM.c[std::countr_zero(set)][k];
  return r;
}

// Rank of the bits of `set` within the squares not in `taken`: each square
// moves down by the number of taken squares below it.
inline uint32_t squeeze(uint32_t set, uint32_t taken) {
  uint32_t out = 0;
  for (; set; set &= set - 1) {
    int s = std::countr_zero(set);
    out |= 1u << (s - qb::pop_count(taken & ((1u << s) - 1)));
  }
  return out;
}

// The position must be of the slice, Black to move, with no man on its
// crowning row.
inline uint64_t index_of(const qb::Position& p, const Shape& sh) {
  uint32_t bm = p.men(qb::BLACK), wm = p.men(qb::WHITE);
  uint32_t bk = p.kings_of(qb::BLACK), wk = p.kings_of(qb::WHITE);
  uint32_t men = bm | wm;
  uint64_t i = rank_set(bm);
  i = i * sh.white_men + rank_set(wm >> 4);
  i = i * sh.black_kings + rank_set(squeeze(bk, men));
  i = i * sh.white_kings + rank_set(squeeze(wk, men | bk));
  return i;
}

// The inverse; false for the holes where men of both sides share a square.
bool position_at(uint64_t index, const Shape& sh, qb::Position& out);

}  // namespace tb
