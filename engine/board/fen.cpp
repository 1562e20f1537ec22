#include "board/fen.h"

#include <cctype>
#include <cstdio>

namespace qb {
namespace {

// One colour's list, kings and men kept apart so runs never mix them.
void append_list(std::string& out, uint32_t pieces, uint32_t kings) {
  bool first = true;
  int n = 1;
  while (n <= 32) {
    uint32_t bit = 1u << (n - 1);
    if (!(pieces & bit)) {
      ++n;
      continue;
    }
    bool king = kings & bit;
    int last = n;
    while (last < 32) {
      uint32_t next = 1u << last;
      if (!(pieces & next) || bool(kings & next) != king) break;
      ++last;
    }
    if (!first) out += ',';
    first = false;
    if (king) out += 'K';
    out += std::to_string(n);
    if (last - n >= 2) {
      out += '-';
      out += std::to_string(last);
      n = last + 1;
    } else {
      n = n + 1;  // pairs are written one square at a time
    }
  }
}

// Parses "K12", "12", "5-8" or "K5-8" entries separated by commas.
bool parse_list(const std::string& text, uint32_t& pieces, uint32_t& kings) {
  size_t i = 0;
  auto skip_space = [&] {
    while (i < text.size() && std::isspace((unsigned char)text[i])) ++i;
  };
  auto read_number = [&](int& value) {
    skip_space();
    size_t begin = i;
    value = 0;
    while (i < text.size() && std::isdigit((unsigned char)text[i]) && i - begin < 3)
      value = value * 10 + (text[i++] - '0');
    return i > begin && value >= 1 && value <= 32;
  };
  skip_space();
  if (i == text.size()) return true;  // a side without pieces
  while (true) {
    skip_space();
    bool king = i < text.size() && (text[i] == 'K' || text[i] == 'k');
    if (king) ++i;
    int from, to;
    if (!read_number(from)) return false;
    to = from;
    skip_space();
    if (i < text.size() && text[i] == '-') {
      ++i;
      if (!read_number(to) || to < from) return false;
    }
    for (int n = from; n <= to; ++n) {
      uint32_t bit = 1u << (n - 1);
      if (pieces & bit) return false;
      pieces |= bit;
      if (king) kings |= bit;
    }
    skip_space();
    if (i == text.size()) return true;
    if (text[i] != ',') return false;
    ++i;
  }
}

std::string trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (std::isspace((unsigned char)s[b]) || s[b] == '"')) ++b;
  while (e > b && (std::isspace((unsigned char)s[e - 1]) || s[e - 1] == '"' || s[e - 1] == '.')) --e;
  return s.substr(b, e - b);
}

}  // namespace

std::string position_text(const Position& p, Side side) {
  std::string out = side == WHITE ? "W" : "B";
  out += ":W";
  append_list(out, p.white(), p.kings);
  out += ":B";
  append_list(out, p.black(), p.kings);
  return out;
}

std::optional<FenPosition> parse_fen(const std::string& raw) {
  std::string text = trim(raw);
  if (text.empty()) return std::nullopt;
  FenPosition result{Position{{0, 0}, 0}, BLACK};
  char side = char(std::toupper((unsigned char)text[0]));
  if (side != 'B' && side != 'W') return std::nullopt;
  result.side = side == 'W' ? WHITE : BLACK;
  bool seen[2] = {false, false};
  size_t pos = 1;
  while (pos < text.size()) {
    if (text[pos] != ':') return std::nullopt;
    size_t end = text.find(':', pos + 1);
    std::string field = text.substr(pos + 1, end == std::string::npos ? std::string::npos : end - pos - 1);
    pos = end == std::string::npos ? text.size() : end;
    field = trim(field);
    if (field.empty()) return std::nullopt;
    char colour = char(std::toupper((unsigned char)field[0]));
    int who = colour == 'W' ? WHITE : colour == 'B' ? BLACK : -1;
    if (who < 0 || seen[who]) return std::nullopt;
    seen[who] = true;
    uint32_t kings = 0;
    if (!parse_list(field.substr(1), result.position.pieces[who], kings)) return std::nullopt;
    result.position.kings |= kings;
  }
  if (!seen[WHITE] || !seen[BLACK]) return std::nullopt;
  if (result.position.black() & result.position.white()) return std::nullopt;
  return result;
}

Position start_position() { return Position{{0x00000FFF, 0xFFF00000}, 0}; }

}  // namespace qb
