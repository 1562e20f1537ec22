// Material slices: the piece counts of both sides. Tables store only
// positions with Black to move; White to move is the colour-flipped position
// in the mirrored slice, which halves both the files and the work.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/position.h"

namespace tb {

// At most 8 pieces in all, so one side has at most 7 (the other has one).
constexpr int MAX_PIECES = 8;
constexpr int SLICE_KEYS = 1 << 12;  // 3 bits per count

struct Material {
  int bm = 0, bk = 0, wm = 0, wk = 0;  // black men, black kings, white men, white kings

  int pieces() const { return bm + bk + wm + wk; }
  int men() const { return bm + wm; }
  int key() const { return bm | bk << 3 | wm << 6 | wk << 9; }
  Material mirror() const { return {wm, wk, bm, bk}; }
  friend bool operator==(const Material&, const Material&) = default;
};

Material material_of(const qb::Position& p);

// "b<men><kings>w<men><kings>", e.g. b12w01 = one black man and two black
// kings against one white king.
std::string slice_name(const Material& m);

// Every slice with both sides present and at most `pieces` pieces, in an
// order where every slice comes after all slices its moves lead into:
// captures lower the piece count, promotions lower the count of men.
std::vector<Material> slices_up_to(int pieces);

// A slice and its mirror are solved together because the moves of one lead
// into the other. Units in build order; `first` is the slice listed first.
struct Unit {
  Material first, second;  // equal when the slice is its own mirror
  bool symmetric() const { return first == second; }
};
std::vector<Unit> units_up_to(int pieces);

// True when a position of `to` can follow from `from` through moves
// (captures remove pieces, men only ever become kings).
bool reachable(const Material& from, const Material& to);

// Board turned half a turn with colours exchanged: square s becomes 33 - s.
inline uint32_t reverse_bits(uint32_t x) {
  x = ((x >> 1) & 0x55555555u) | ((x & 0x55555555u) << 1);
  x = ((x >> 2) & 0x33333333u) | ((x & 0x33333333u) << 2);
  x = ((x >> 4) & 0x0F0F0F0Fu) | ((x & 0x0F0F0F0Fu) << 4);
  x = ((x >> 8) & 0x00FF00FFu) | ((x & 0x00FF00FFu) << 8);
  return (x >> 16) | (x << 16);
}
inline qb::Position flip(const qb::Position& p) {
  return qb::Position{{reverse_bits(p.pieces[qb::WHITE]), reverse_bits(p.pieces[qb::BLACK])},
                      reverse_bits(p.kings)};
}

}  // namespace tb
