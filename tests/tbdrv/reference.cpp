#include "reference.h"

#include <algorithm>

namespace ref {
namespace {

// Row r holds squares 4r+1 .. 4r+4; on even rows they sit on the odd
// columns, on odd rows on the even columns. Black men go up the rows.
int square_at(int row, int col) {
  if (row < 0 || row > 7 || col < 0 || col > 7 || (row + col) % 2 == 0) return -1;
  return row * 4 + (row % 2 == 0 ? (col - 1) / 2 : col / 2);  // 0-based
}
int row_of(int sq) { return sq / 4; }
int col_of(int sq) { return row_of(sq) % 2 == 0 ? (sq % 4) * 2 + 1 : (sq % 4) * 2; }

enum Cell { EMPTY, BLACK_MAN, BLACK_KING, WHITE_MAN, WHITE_KING };

struct Board {
  Cell cell[32];
};

Board board_of(const Pos& p) {
  Board b;
  for (int s = 0; s < 32; ++s) {
    uint32_t bit = 1u << s;
    bool king = p.kings & bit;
    b.cell[s] = p.black & bit   ? (king ? BLACK_KING : BLACK_MAN)
                : p.white & bit ? (king ? WHITE_KING : WHITE_MAN)
                                : EMPTY;
  }
  return b;
}

Pos pos_of(const Board& b, int side) {
  Pos p{0, 0, 0, side};
  for (int s = 0; s < 32; ++s) {
    uint32_t bit = 1u << s;
    if (b.cell[s] == BLACK_MAN || b.cell[s] == BLACK_KING) p.black |= bit;
    if (b.cell[s] == WHITE_MAN || b.cell[s] == WHITE_KING) p.white |= bit;
    if (b.cell[s] == BLACK_KING || b.cell[s] == WHITE_KING) p.kings |= bit;
  }
  return p;
}

bool own(Cell c, int side) {
  return side == 0 ? (c == BLACK_MAN || c == BLACK_KING) : (c == WHITE_MAN || c == WHITE_KING);
}
bool is_king(Cell c) { return c == BLACK_KING || c == WHITE_KING; }

// Row steps a piece may take: men forward only.
std::vector<int> row_steps(Cell c) {
  if (is_king(c)) return {1, -1};
  return c == BLACK_MAN ? std::vector<int>{1} : std::vector<int>{-1};
}

int crown_row(int side) { return side == 0 ? 7 : 0; }

// Continues a capture from `at`; the captured pieces stay on the board
// until the move is over, so they can be neither jumped again nor landed on.
void jump_on(const Board& start, int side, int from, int at, Cell piece, std::vector<int>& captured,
             std::vector<Child>& out) {
  bool more = false;
  for (int dr : row_steps(piece)) {
    for (int dc : {-1, 1}) {
      int over = square_at(row_of(at) + dr, col_of(at) + dc);
      int land = square_at(row_of(at) + 2 * dr, col_of(at) + 2 * dc);
      if (over < 0 || land < 0) continue;
      if (start.cell[over] == EMPTY || own(start.cell[over], side)) continue;
      if (std::find(captured.begin(), captured.end(), over) != captured.end()) continue;
      if (start.cell[land] != EMPTY && land != from) continue;
      more = true;
      captured.push_back(over);
      bool crowned = !is_king(piece) && row_of(land) == crown_row(side);
      if (crowned) {
        Board b = start;
        for (int c : captured) b.cell[c] = EMPTY;
        b.cell[from] = EMPTY;
        b.cell[land] = side == 0 ? BLACK_KING : WHITE_KING;
        out.push_back({pos_of(b, 1 - side), true});
      } else {
        jump_on(start, side, from, land, piece, captured, out);
      }
      captured.pop_back();
    }
  }
  if (!more && at != from) {
    Board b = start;
    for (int c : captured) b.cell[c] = EMPTY;
    b.cell[from] = EMPTY;
    b.cell[at] = piece;
    out.push_back({pos_of(b, 1 - side), true});
  }
}

}  // namespace

std::vector<Child> moves(const Pos& p) {
  Board b = board_of(p);
  std::vector<Child> out;
  for (int s = 0; s < 32; ++s) {
    if (!own(b.cell[s], p.side)) continue;
    std::vector<int> captured;
    jump_on(b, p.side, s, s, b.cell[s], captured, out);
  }
  if (!out.empty()) {  // the same result by two routes is one move
    std::vector<Child> unique;
    for (const Child& c : out)
      if (std::none_of(unique.begin(), unique.end(), [&](const Child& u) { return u.pos == c.pos; }))
        unique.push_back(c);
    return unique;
  }
  for (int s = 0; s < 32; ++s) {
    Cell piece = b.cell[s];
    if (!own(piece, p.side)) continue;
    for (int dr : row_steps(piece)) {
      for (int dc : {-1, 1}) {
        int to = square_at(row_of(s) + dr, col_of(s) + dc);
        if (to < 0 || b.cell[to] != EMPTY) continue;
        Board n = b;
        n.cell[s] = EMPTY;
        n.cell[to] = !is_king(piece) && row_of(to) == crown_row(p.side)
                         ? (p.side == 0 ? BLACK_KING : WHITE_KING)
                         : piece;
        out.push_back({pos_of(n, 1 - p.side), !is_king(piece)});
      }
    }
  }
  return out;
}

namespace {

uint64_t key_of(const Pos& p) {
  return (uint64_t(p.black) * 0x9E3779B97F4A7C15ull) ^ (uint64_t(p.white) << 1) ^
         (uint64_t(p.kings) * 0xC2B2AE3D27D4EB4Full) ^ uint64_t(p.side) << 63;
}

void enumerate(int pieces, std::vector<Pos>& out) {
  // Each square: empty, black man, black king, white man, white king.
  std::vector<int> squares;
  auto place = [&](auto&& self, int next, Pos p) -> void {
    if (int(squares.size()) >= 2 && p.black && p.white)
      for (int side = 0; side < 2; ++side) out.push_back({p.black, p.white, p.kings, side});
    if (int(squares.size()) == pieces) return;
    for (int s = next; s < 32; ++s) {
      uint32_t bit = 1u << s;
      squares.push_back(s);
      if (row_of(s) != 7) self(self, s + 1, Pos{p.black | bit, p.white, p.kings, 0});
      self(self, s + 1, Pos{p.black | bit, p.white, p.kings | bit, 0});
      if (row_of(s) != 0) self(self, s + 1, Pos{p.black, p.white | bit, p.kings, 0});
      self(self, s + 1, Pos{p.black, p.white | bit, p.kings | bit, 0});
      squares.pop_back();
    }
  };
  place(place, 0, Pos{0, 0, 0, 0});
}

constexpr int LOST_AT_ONCE = -2;  // a successor whose side to move has no pieces

}  // namespace

Solved solve(int pieces) {
  Solved r;
  enumerate(pieces, r.positions);
  size_t n = r.positions.size();
  std::unordered_map<uint64_t, std::vector<int>> where;
  for (size_t i = 0; i < n; ++i) where[key_of(r.positions[i])].push_back(int(i));
  auto find = [&](const Pos& p) {
    if ((p.side == 0 ? p.black : p.white) == 0) return LOST_AT_ONCE;
    for (int i : where.at(key_of(p)))
      if (r.positions[i] == p) return i;
    return -1;
  };
  std::vector<std::vector<int>> next(n);
  std::vector<std::vector<bool>> converts(n);
  for (size_t i = 0; i < n; ++i) {
    for (const Child& c : moves(r.positions[i])) {
      next[i].push_back(find(c.pos));
      converts[i].push_back(c.conversion);
    }
  }

  // Distance to win: round p decides the losses in p plies (p even: every
  // move leads to a win, the longest in p - 1) and the wins in p (p odd: a
  // move leads to a loss in p - 1).
  r.dtw.assign(n, -1);
  auto dtw_of = [&](int c) { return c == LOST_AT_ONCE ? 0 : r.dtw[c]; };
  for (int p = 0, last = 0; p <= last + 2; ++p) {
    for (size_t i = 0; i < n; ++i) {
      if (r.dtw[i] >= 0) continue;
      bool decide;
      if (p % 2) {
        decide = std::any_of(next[i].begin(), next[i].end(), [&](int c) { return dtw_of(c) == p - 1; });
      } else {
        int longest = -1;
        bool all_won = true;
        for (int c : next[i]) {
          int d = dtw_of(c);
          all_won = all_won && d >= 0 && d % 2 == 1 && d < p;
          longest = std::max(longest, d);
        }
        decide = all_won && longest + 1 == p;
      }
      if (decide) r.dtw[i] = p, last = p;
    }
  }

  // Moves to conversion, over the decided positions only: the winner plays
  // winning moves, the loser anything; a conversion ends the count.
  r.mtc.assign(n, -1);
  auto won = [&](int c) { return c != LOST_AT_ONCE && r.dtw[c] >= 0 && r.dtw[c] % 2 == 1; };
  auto lost = [&](int c) { return c == LOST_AT_ONCE || (r.dtw[c] >= 0 && r.dtw[c] % 2 == 0); };
  for (int p = 0, last = 1; p <= last + 2; ++p) {
    for (size_t i = 0; i < n; ++i) {
      if (r.mtc[i] >= 0 || r.dtw[i] < 0) continue;
      bool winner = r.dtw[i] % 2 == 1;
      bool decide = false;
      int longest = 0;
      bool all_known = true;
      for (size_t k = 0; k < next[i].size(); ++k) {
        int c = next[i][k];
        int plies = converts[i][k] ? 1 : (r.mtc[c] >= 0 ? r.mtc[c] + 1 : -1);
        if (winner) {
          decide = decide || (lost(c) && plies == p);
        } else {
          all_known = all_known && won(c) && plies >= 0 && plies <= p;
          longest = std::max(longest, plies);
        }
      }
      if (!winner) decide = all_known && longest == p;
      if (decide) r.mtc[i] = p, last = std::max(last, p);
    }
  }
  return r;
}

}  // namespace ref
