#include "board_text.h"

#include <cstdio>
#include <cstdlib>

#include "os.h"

namespace host {
namespace {

constexpr const char* RESET = "\033[0m";
constexpr const char* LIGHT_SQUARE = "\033[47m";
constexpr const char* DARK_SQUARE = "\033[42m";
constexpr const char* LAST_MOVE_SQUARE = "\033[43m";
constexpr const char* BLACK_PIECE = "\033[1;30m";
constexpr const char* WHITE_PIECE = "\033[1;97m";

// Square n sits in display row (n-1)/4 counted from Black's side; rows
// nearest Black start with a light square.
int square_at(int row, int column) {
  bool playing = (row % 2 == 0) ? column % 2 == 1 : column % 2 == 0;
  return playing ? row * 4 + column / 2 + 1 : 0;
}

}  // namespace

// Each row: the board, then the same row of the numbering key, so that a
// move can be read off without counting squares.
std::string board_text(const qb::Position& p, const BoardStyle& style) {
  std::string out;
  for (int r = 0; r < 8; ++r) {
    int row = style.black_at_bottom ? 7 - r : r;
    out += "  ";
    std::string key = "    ";
    for (int c = 0; c < 8; ++c) {
      int column = style.black_at_bottom ? 7 - c : c;
      int n = square_at(row, column);
      char number[8] = "   ";
      if (n) std::snprintf(number, sizeof number, "%3d", n);
      key += number;
      std::string cell = "   ";
      const char* ink = "";
      if (n) {
        uint32_t bit = 1u << (n - 1);
        bool king = p.kings & bit;
        if (p.black() & bit) {
          cell = king ? " B " : " b ";
          ink = BLACK_PIECE;
        } else if (p.white() & bit) {
          cell = king ? " W " : " w ";
          ink = WHITE_PIECE;
        } else if (!style.colour) {
          cell = " . ";
        }
      }
      if (style.colour) {
        bool lit = n && (style.highlight & (1u << (n - 1)));
        out += n ? (lit ? LAST_MOVE_SQUARE : DARK_SQUARE) : LIGHT_SQUARE;
        out += ink;
        out += cell;
        out += RESET;
      } else {
        out += cell;
      }
    }
    out += key;
    out += '\n';
  }
  return out;
}

bool terminal_wants_colour(std::FILE* stream) {
  const char* no_colour = std::getenv("NO_COLOR");
  if (no_colour && *no_colour) return false;
  const char* term = std::getenv("TERM");
  if (term && std::string(term) == "dumb") return false;
  return os::enable_colour(stream);
}

}  // namespace host
