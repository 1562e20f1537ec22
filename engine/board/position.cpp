#include "board/position.h"

#include "board/bitops.h"

namespace qb {

bool g_use_hw_popcount = true;
uint8_t g_popcount16[65536];

void init_popcount(bool hardware) {
  // Counted bit by bit: the processor may lack the counting instruction.
  for (uint32_t i = 1; i < 65536; ++i) g_popcount16[i] = uint8_t((i & 1) + g_popcount16[i >> 1]);
  g_use_hw_popcount = hardware;
}

SearchNode make_root(const Position& p, Side side, const SearchNode* parent) {
  return SearchNode{p.pieces[BLACK], p.pieces[WHITE], p.kings, side, 0, parent};
}

SearchNode make_child(const SearchNode& parent, const Position& child, bool capture) {
  Position before = parent.position();
  bool reversible = !capture && !men_changed(before, child, parent.side);
  return SearchNode{child.pieces[BLACK],
                    child.pieces[WHITE],
                    child.kings,
                    opponent_of(parent.side),
                    reversible ? parent.reversible + 1 : 0,
                    &parent};
}

HostCell square_to_host(int square) {
  int y = (square - 1) / 4;
  int c = (square - 1) % 4;
  return HostCell{(3 - c) * 2 + (y & 1), y};
}

Position from_host_board(const int32_t board[8][8]) {
  Position p{{0, 0}, 0};
  for (int n = 1; n <= 32; ++n) {
    HostCell cell = square_to_host(n);
    uint32_t bit = 1u << (n - 1);
    switch (board[cell.x][cell.y]) {
      case HOST_WHITE_MAN:
        p.pieces[WHITE] |= bit;
        break;
      case HOST_BLACK_MAN:
        p.pieces[BLACK] |= bit;
        break;
      case HOST_WHITE_KING:
        p.pieces[WHITE] |= bit;
        p.kings |= bit;
        break;
      case HOST_BLACK_KING:
        p.pieces[BLACK] |= bit;
        p.kings |= bit;
        break;
      default:
        break;  // unknown codes read as empty squares
    }
  }
  return p;
}

void to_host_board(const Position& p, int32_t board[8][8]) {
  for (int n = 1; n <= 32; ++n) {
    HostCell cell = square_to_host(n);
    uint32_t bit = 1u << (n - 1);
    bool king = p.kings & bit;
    int32_t code = HOST_EMPTY;
    if (p.pieces[BLACK] & bit) code = king ? HOST_BLACK_KING : HOST_BLACK_MAN;
    else if (p.pieces[WHITE] & bit) code = king ? HOST_WHITE_KING : HOST_WHITE_MAN;
    board[cell.x][cell.y] = code;
  }
}

FromTo move_from_to(uint32_t before, uint32_t after) {
  uint32_t vacated = before & ~after;
  uint32_t occupied = after & ~before;
  return FromTo{vacated ? lsb_index(vacated) : 0, occupied ? lsb_index(occupied) : 0};
}

}  // namespace qb
