#include "reference.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "eval/patterns.h"

namespace evaltest {
using namespace qb;

namespace {

int power(int base, int e) {
  int r = 1;
  while (e-- > 0) r *= base;
  return r;
}

// The pattern's squares, lowest first.
int pattern_squares(int block, int pattern, int* squares) {
  int n = 0;
  for (int s = 1; s <= 32; ++s)
    if (PATTERN_MASKS[block][pattern] & (1u << (s - 1))) squares[n++] = s;
  return n;
}

int row(int s) { return (s - 1) / 4; }

int column_weight(int s) { return 2 * square_to_host(s).x - 7; }

int32_t round_half_away(int64_t raw, int64_t d) {
  int64_t q = (raw < 0 ? -raw : raw) * 2 + d;  // |raw| / d + 1/2, doubled
  int64_t r = q / (2 * d);
  return int32_t(raw < 0 ? -r : r);
}

}  // namespace

int square_value(const Position& p, int n) {
  uint32_t bit = 1u << (n - 1);
  int v = 0;
  if (p.pieces[BLACK] & bit) v = 1;
  if (p.pieces[WHITE] & bit) v = -1;
  if (p.kings & bit) v *= 2;
  return v;
}

int32_t reference_index(const Position& p, int block, int pattern) {
  int squares[12];
  int n = pattern_squares(block, pattern, squares);
  int32_t index = PATTERN_HALF[block];
  for (int i = 0; i < n; ++i) index += square_value(p, squares[i]) * power(PATTERN_BASE[block], n - 1 - i);
  return index;
}

int32_t reference_mirror_index(const Position& p, int block, int pattern) {
  int squares[12];
  int n = pattern_squares(block, pattern, squares);
  int32_t index = PATTERN_HALF[block];
  for (int i = 0; i < n; ++i)
    index -= square_value(p, 33 - squares[i]) * power(PATTERN_BASE[block], n - 1 - i);
  return index;
}

int reference_evaluate(const Position& p, int side, const EvalWeights& w, const WeightPair* scalars,
                       bool patterns) {
  int64_t og = 0, eg = 0;
  auto add = [&](WeightPair pair, int times) {
    og += pair.og * times;
    eg += pair.eg * times;
  };
  bool kings = p.kings != 0;
  int block = kings ? KINGS_BLOCK : NO_KINGS_BLOCK;
  if (patterns) {
    for (int k = 0; k < PATTERNS_PER_BLOCK; ++k) {
      int32_t own = reference_index(p, block, k), other = reference_mirror_index(p, block, k);
      WeightPair a = kings ? w.kings.patterns[k][own] : w.no_kings.patterns[k][own];
      WeightPair b = kings ? w.kings.patterns[k][other] : w.no_kings.patterns[k][other];
      og += a.og - b.og;
      eg += a.eg - b.eg;
    }
  }
  int black_men = 0, white_men = 0, black_kings = 0, white_kings = 0;
  int lean_black = 0, lean_white = 0, tempo = 0, phase = 0;
  for (int s = 1; s <= 32; ++s) {
    switch (square_value(p, s)) {
      case 2:
        ++black_kings;
        break;
      case -2:
        ++white_kings;
        break;
      case 1:
        ++black_men;
        lean_black += column_weight(s);
        tempo += row(s);
        phase += s <= 8 ? 13 : s <= 16 ? 9 : s <= 28 ? 6 : 0;
        break;
      case -1:
        ++white_men;
        lean_white += column_weight(s);
        tempo -= 7 - row(s);
        phase += s >= 25 ? 13 : s >= 17 ? 9 : s >= 5 ? 6 : 0;
        break;
    }
  }
  if (kings) {
    add(scalars[FIRST_KING], (black_kings > 0) - (white_kings > 0));
    add(scalars[MULTI_KINGS],
        (black_kings > 1 ? black_kings - 1 : 0) - (white_kings > 1 ? white_kings - 1 : 0));
  }
  add(scalars[LR_BAL], std::abs(lean_white) - std::abs(lean_black));
  add(scalars[TEMPO], tempo);
  add(scalars[MEN], black_men - white_men);
  int32_t s = round_half_away(og * phase + eg * (280 - phase), 14000);
  if (s > 1500) s = 1500 + s / 8;
  if (s < -1500) s = -1500 + s / 8;
  s -= s % 2;
  return side == WHITE ? -s : s;
}

Position mirrored(const Position& p) {
  auto turn = [](uint32_t x) {
    uint32_t r = 0;
    for (int i = 0; i < 32; ++i)
      if (x & (1u << i)) r |= 1u << (31 - i);
    return r;
  };
  return Position{{turn(p.pieces[WHITE]), turn(p.pieces[BLACK])}, turn(p.kings)};
}

Position random_position(std::mt19937& rng, int max_pieces, bool kings) {
  Position p{{0, 0}, 0};
  int pieces = std::uniform_int_distribution<int>(0, max_pieces)(rng);
  for (int i = 0; i < pieces; ++i) {
    uint32_t bit = 1u << std::uniform_int_distribution<int>(0, 31)(rng);
    if (p.occupied() & bit) continue;
    int side = rng() & 1;
    bool king = kings && rng() % 3 == 0;
    if (!king && (bit & CROWN_ROW[side])) continue;
    p.pieces[side] |= bit;
    if (king) p.kings |= bit;
  }
  return p;
}

void fill_random_weights(EvalWeights& w, std::mt19937& rng) {
  std::uniform_int_distribution<int> value(-3000, 3000);
  auto fill = [&](WeightPair* pairs, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) pairs[i] = WeightPair{int16_t(value(rng)), int16_t(value(rng))};
  };
  fill(&w.kings.patterns[0][0], sizeof w.kings / sizeof(WeightPair));
  fill(&w.no_kings.patterns[0][0], sizeof w.no_kings / sizeof(WeightPair));
  // 3 * 4000 + 8000 = 20000: a man value of exactly 100.
  w.kings.scalars[MEN] = w.no_kings.scalars[MEN] = WeightPair{4000, 8000};
}

std::string read_text_file(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace evaltest
