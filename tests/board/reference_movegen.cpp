#include "reference_movegen.h"

namespace reference {
namespace {

// Board cells hold 0 empty, +1/+2 black man/king, -1/-2 white man/king.
// Rows and columns as on a diagram: square n sits in row (n-1)/4; the dark
// squares of even rows are the odd columns counted from the right.
struct Grid {
  int cell[8][8];
};

struct Coord {
  int row, col;
};

Coord coord_of(int square) {
  int row = (square - 1) / 4;
  int c = (square - 1) % 4;
  return Coord{row, (3 - c) * 2 + (row & 1)};
}

int square_of(int row, int col) {
  if (row < 0 || row > 7 || col < 0 || col > 7) return 0;
  if (((row & 1) ^ (col & 1)) != 0) return 0;  // light square
  int c = 3 - (col - (row & 1)) / 2;
  return row * 4 + c + 1;
}

Grid to_grid(const qb::Position& p) {
  Grid g{};
  for (int n = 1; n <= 32; ++n) {
    uint32_t bit = 1u << (n - 1);
    Coord c = coord_of(n);
    int v = 0;
    if (p.black() & bit) v = (p.kings & bit) ? 2 : 1;
    if (p.white() & bit) v = (p.kings & bit) ? -2 : -1;
    g.cell[c.row][c.col] = v;
  }
  return g;
}

qb::Position to_position(const Grid& g) {
  qb::Position p{{0, 0}, 0};
  for (int n = 1; n <= 32; ++n) {
    Coord c = coord_of(n);
    int v = g.cell[c.row][c.col];
    uint32_t bit = 1u << (n - 1);
    if (v > 0) p.pieces[qb::BLACK] |= bit;
    if (v < 0) p.pieces[qb::WHITE] |= bit;
    if (v == 2 || v == -2) p.kings |= bit;
  }
  return p;
}

const int DR[4] = {1, 1, -1, -1};
const int DC[4] = {1, -1, 1, -1};

bool mine(int v, int side) { return side == qb::BLACK ? v > 0 : v < 0; }
bool theirs(int v, int side) { return side == qb::BLACK ? v < 0 : v > 0; }
bool forward(int side, int dr) { return side == qb::BLACK ? dr > 0 : dr < 0; }
int crown_row(int side) { return side == qb::BLACK ? 7 : 0; }

// Captured pieces stay on the board (marked) until the sequence ends.
void jumps_from(Grid& g, int side, int row, int col, bool king, std::vector<qb::Position>& out,
                bool taken[8][8], int piece) {
  bool any = false;
  for (int d = 0; d < 4; ++d) {
    if (!king && !forward(side, DR[d])) continue;
    int mr = row + DR[d], mc = col + DC[d], lr = row + 2 * DR[d], lc = col + 2 * DC[d];
    if (!square_of(lr, lc)) continue;
    if (!theirs(g.cell[mr][mc], side) || taken[mr][mc] || g.cell[lr][lc] != 0) continue;
    any = true;
    taken[mr][mc] = true;
    g.cell[row][col] = 0;
    bool crowned = !king && lr == crown_row(side);
    g.cell[lr][lc] = piece;
    if (crowned) {
      Grid done = g;
      done.cell[lr][lc] = piece * 2;
      for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
          if (taken[r][c]) done.cell[r][c] = 0;
      out.push_back(to_position(done));
    } else {
      jumps_from(g, side, lr, lc, king, out, taken, piece);
    }
    g.cell[lr][lc] = 0;
    g.cell[row][col] = piece;
    taken[mr][mc] = false;
  }
  if (!any) {
    Grid done = g;
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 8; ++c)
        if (taken[r][c]) done.cell[r][c] = 0;
    out.push_back(to_position(done));
  }
}

}  // namespace

std::vector<qb::Position> legal_moves(const qb::Position& p, int side) {
  Grid g = to_grid(p);
  std::vector<qb::Position> captures, quiet;
  for (int row = 0; row < 8; ++row) {
    for (int col = 0; col < 8; ++col) {
      int piece = g.cell[row][col];
      if (!mine(piece, side)) continue;
      bool king = piece == 2 || piece == -2;
      // Captures: only if a first jump exists from here.
      bool can_jump = false;
      for (int d = 0; d < 4; ++d) {
        if (!king && !forward(side, DR[d])) continue;
        int mr = row + DR[d], mc = col + DC[d], lr = row + 2 * DR[d], lc = col + 2 * DC[d];
        if (square_of(lr, lc) && theirs(g.cell[mr][mc], side) && g.cell[lr][lc] == 0) can_jump = true;
      }
      if (can_jump) {
        bool taken[8][8] = {};
        jumps_from(g, side, row, col, king, captures, taken, piece);
      }
      for (int d = 0; d < 4; ++d) {
        if (!king && !forward(side, DR[d])) continue;
        int tr = row + DR[d], tc = col + DC[d];
        if (!square_of(tr, tc) || g.cell[tr][tc] != 0) continue;
        Grid next = g;
        next.cell[row][col] = 0;
        next.cell[tr][tc] = (!king && tr == crown_row(side)) ? piece * 2 : piece;
        quiet.push_back(to_position(next));
      }
    }
  }
  return captures.empty() ? quiet : captures;
}

}  // namespace reference
