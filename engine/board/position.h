// The board as the whole engine sees it: three 32-bit masks over the 32
// playable squares. Square n (1-32) is bit n-1. Black men move toward higher
// square numbers and crown on 29-32; white men move down and crown on 1-4.
#pragma once

#include <cstdint>

namespace qb {

enum Side : int { BLACK = 0, WHITE = 1 };
constexpr Side opponent_of(Side side) { return Side(side ^ 1); }

// Layout is shared with hosts (build_movelist, qsearch): black, white, kings.
struct Position {
  uint32_t pieces[2];  // indexed by Side
  uint32_t kings;      // kings of either colour

  uint32_t black() const { return pieces[BLACK]; }
  uint32_t white() const { return pieces[WHITE]; }
  uint32_t occupied() const { return pieces[BLACK] | pieces[WHITE]; }
  uint32_t empty() const { return ~occupied(); }
  uint32_t men(Side side) const { return pieces[side] & ~kings; }
  uint32_t kings_of(Side side) const { return pieces[side] & kings; }

  friend bool operator==(const Position&, const Position&) = default;
};
static_assert(sizeof(Position) == 12);

// Rows: row r holds bits 4r..4r+3. Even rows are 0,2,4,6.
constexpr uint32_t EVEN_ROWS = 0x0F0F0F0F;
constexpr uint32_t ODD_ROWS = 0xF0F0F0F0;
constexpr uint32_t BLACK_CROWN_ROW = 0xF0000000;  // squares 29-32
constexpr uint32_t WHITE_CROWN_ROW = 0x0000000F;  // squares 1-4
constexpr uint32_t CROWN_ROW[2] = {BLACK_CROWN_ROW, WHITE_CROWN_ROW};

// Step masks: which sources (or destinations) a shift may use without
// wrapping into the wrong row.
constexpr uint32_t STEP3_SQUARES = 0x00E0E0E0;            // +3 sources, -3 destinations
constexpr uint32_t STEP5_UP_SOURCES = ~0x00F8F8F8u;       // +5 sources (row 7 shifts out)
constexpr uint32_t ODD_ROWS_135 = 0x00F0F0F0;             // +4 from odd rows; -4 onto odd rows
constexpr uint32_t STEP4_UP_EVEN_SOURCES = ~0x00F0F0F0u;  // +4 from even rows (and row 7)
constexpr uint32_t STEP5_DOWN_TARGETS = 0x07070707;       // -5 destinations

// Jump sources by direction and row parity of the source.
constexpr uint32_t UP9_EVEN = 0x00070707, UP9_ODD = 0x00707070;
constexpr uint32_t UP7_EVEN = 0x000E0E0E, UP7_ODD = 0x00E0E0E0;
constexpr uint32_t DOWN7_EVEN = 0x07070700, DOWN7_ODD = 0x70707000;
constexpr uint32_t DOWN9_EVEN = 0x0E0E0E00, DOWN9_ODD = 0xE0E0E000;

// A position searched by the engine, linked to the one before it. The chain
// runs from the search tree back into the game history.
struct SearchNode {
  uint32_t black, white, kings;
  Side side;
  int32_t reversible;  // consecutive king moves without capture
  const SearchNode* parent;

  Position position() const { return Position{{black, white}, kings}; }
};

SearchNode make_root(const Position& p, Side side, const SearchNode* parent);
SearchNode make_child(const SearchNode& parent, const Position& child, bool capture);

// The host's 8x8 board, indexed board[x][y].
using HostBoard = int32_t[8][8];
enum HostPiece : int32_t {
  HOST_EMPTY = 0,
  HOST_WHITE_MAN = 5,
  HOST_BLACK_MAN = 6,
  HOST_WHITE_KING = 9,
  HOST_BLACK_KING = 10
};

struct HostCell {
  int x, y;
};
HostCell square_to_host(int square);  // square 1-32
Position from_host_board(const int32_t board[8][8]);
void to_host_board(const Position& p, int32_t board[8][8]);
inline Side host_color_to_side(int color) { return color == 1 ? WHITE : BLACK; }

// A man on its own crowning row cannot arise in play.
inline bool has_man_on_crown_row(const Position& p) {
  return ((p.pieces[BLACK] & BLACK_CROWN_ROW) | (p.pieces[WHITE] & WHITE_CROWN_ROW)) & ~p.kings;
}

inline bool men_changed(const Position& before, const Position& after, Side side) {
  return before.men(side) != after.men(side);
}

// The moved piece was a man and arrived as a king.
inline bool is_promotion(const Position& before, const Position& after, Side side) {
  uint32_t moved_man = before.pieces[side] & ~(before.kings | after.pieces[side]);
  uint32_t new_king = after.pieces[side] & after.kings & ~before.pieces[side];
  return moved_man && new_king;
}

// Square indices (0-31) of the lowest vacated and occupied squares of the
// mover's word; 0 when there is none.
struct FromTo {
  int from, to;
};
FromTo move_from_to(uint32_t before, uint32_t after);

}  // namespace qb
