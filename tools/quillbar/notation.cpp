#include "notation.h"

#include <algorithm>
#include <bit>
#include <cctype>

#include "board/movegen.h"

namespace host {
namespace {

int square_of(uint32_t bit) { return std::countr_zero(bit) + 1; }

// The squares a capture visits, read off the position after each jump: the
// mover's word gains the landing square at every step.
std::vector<int> capture_squares(const qb::CapturePath& path, int side) {
  std::vector<int> squares;
  if (path.jumps < 1) return squares;
  uint32_t start = path.path[0].pieces[side] & ~path.path[1].pieces[side];
  if (!start) return squares;
  squares.push_back(square_of(start));
  for (int k = 1; k <= path.jumps; ++k) {
    // The mover's word is the rest of its pieces plus the jumping piece, so
    // the new bit is this jump's landing square (the start square included,
    // for a king that comes round to where it began).
    uint32_t landing = path.path[k].pieces[side] & ~path.path[k - 1].pieces[side];
    if (!landing) return {};
    squares.push_back(square_of(landing));
  }
  return squares;
}

std::vector<int> simple_squares(const qb::Position& before, const qb::Position& after, int side) {
  uint32_t from = before.pieces[side] & ~after.pieces[side];
  uint32_t to = after.pieces[side] & ~before.pieces[side];
  if (!from || !to) return {};
  return {square_of(from), square_of(to)};
}

// Squares and separators only; spaces around them are allowed.
bool read_squares(const std::string& text, std::vector<int>& squares) {
  size_t i = 0;
  auto skip = [&] {
    while (i < text.size() && std::isspace((unsigned char)text[i])) ++i;
  };
  while (true) {
    skip();
    int value = 0, digits = 0;
    while (i < text.size() && std::isdigit((unsigned char)text[i]) && digits < 3) {
      value = value * 10 + (text[i++] - '0');
      ++digits;
    }
    if (digits == 0 || value < 1 || value > 32) return false;
    squares.push_back(value);
    skip();
    if (i == text.size()) return squares.size() >= 2;
    char c = text[i++];
    if (c != '-' && c != 'x' && c != 'X') return false;
  }
}

}  // namespace

std::vector<LegalMove> legal_moves(const qb::Position& p, int side) {
  std::vector<LegalMove> out;
  qb::MoveList list;
  if (qb::has_capture(p, qb::Side(side))) {
    static thread_local qb::CapturePath paths[qb::MAX_MOVES];
    int n = qb::generate_captures_with_paths(p, list, qb::Side(side), paths);
    for (int i = 0; i < n; ++i) {
      std::vector<int> squares = capture_squares(paths[i], side);
      if (squares.size() < 2) squares = simple_squares(p, list.moves[i], side);
      out.push_back(LegalMove{list.moves[i], squares, true});
    }
  } else {
    int n = qb::generate_noncaptures(p, list, qb::Side(side));
    for (int i = 0; i < n; ++i)
      out.push_back(LegalMove{list.moves[i], simple_squares(p, list.moves[i], side), false});
  }
  // In numeric order, as a player reads a list of moves.
  std::stable_sort(out.begin(), out.end(),
                   [](const LegalMove& a, const LegalMove& b) { return a.squares < b.squares; });
  return out;
}

std::string move_notation(const LegalMove& m) {
  std::string text;
  for (size_t i = 0; i < m.squares.size(); ++i) {
    if (i) text += m.capture ? 'x' : '-';
    text += std::to_string(m.squares[i]);
  }
  return text.empty() ? "?" : text;
}

std::string move_list_text(const std::vector<LegalMove>& moves) {
  std::string text;
  for (const LegalMove& m : moves) {
    if (!text.empty()) text += ' ';
    text += move_notation(m);
  }
  return text;
}

MoveMatch find_move(const std::string& text, const std::vector<LegalMove>& moves) {
  MoveMatch match;
  std::vector<int> squares;
  if (!read_squares(text, squares)) return match;
  for (size_t i = 0; i < moves.size(); ++i)
    if (moves[i].squares == squares) match.candidates.push_back(int(i));
  if (match.candidates.empty() && squares.size() == 2) {
    for (size_t i = 0; i < moves.size(); ++i) {
      const std::vector<int>& s = moves[i].squares;
      if (s.size() >= 2 && s.front() == squares[0] && s.back() == squares[1])
        match.candidates.push_back(int(i));
    }
  }
  if (match.candidates.empty()) {
    match.status = MoveLookup::ILLEGAL;
    return match;
  }
  // Routes that capture the same pieces in another order end in the same
  // position: any of them will do.
  const qb::Position& first = moves[match.candidates[0]].after;
  for (int i : match.candidates) {
    if (!(moves[i].after == first)) {
      match.status = MoveLookup::AMBIGUOUS;
      return match;
    }
  }
  match.status = MoveLookup::FOUND;
  match.index = match.candidates[0];
  match.candidates.clear();
  return match;
}

}  // namespace host
