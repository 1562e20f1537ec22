#include "board/movegen.h"

#include "board/bitops.h"

namespace qb {
namespace {

// ---------------------------------------------------------------- steps

// Shift a mask by a signed step: positive steps go up the board.
template <int Step>
constexpr uint32_t shift(uint32_t x) {
  if constexpr (Step > 0) return x << Step;
  else return x >> -Step;
}

// Append one successor per destination bit; the source is the destination
// shifted back by the step.
template <int Step>
inline void add_steps(const Position& p, Side side, uint32_t dests, MoveList& list) {
  while (dests) {
    uint32_t to = lowest_bit(dests);
    uint32_t from = shift<-Step>(to);
    uint32_t king_move = (0u - uint32_t((p.kings & from) != 0)) & (from | to);
    Position& n = list.moves[list.count++];
    n = p;
    n.pieces[side] ^= from | to;
    n.kings = (p.kings ^ king_move) | (to & CROWN_ROW[side]);
    dests = clear_lowest(dests);
  }
}

// Moves toward higher squares, in emission order: +5, +4 from odd rows,
// +4 from even rows, +3.
inline void add_up_steps(const Position& p, Side side, uint32_t movers, MoveList& list) {
  uint32_t e = p.empty();
  add_steps<5>(p, side, ((movers & STEP5_UP_SOURCES) << 5) & e, list);
  add_steps<4>(p, side, ((movers & ODD_ROWS_135) << 4) & e, list);
  add_steps<4>(p, side, ((movers & STEP4_UP_EVEN_SOURCES) << 4) & e, list);
  add_steps<3>(p, side, ((movers & STEP3_SQUARES) << 3) & e, list);
}

// Moves toward lower squares, in emission order: -3, -4 onto even rows,
// -4 onto odd rows, -5.
inline void add_down_steps(const Position& p, Side side, uint32_t movers, MoveList& list) {
  uint32_t e = p.empty();
  add_steps<-3>(p, side, (movers >> 3) & STEP3_SQUARES & e, list);
  add_steps<-4>(p, side, (movers >> 4) & EVEN_ROWS & e, list);
  add_steps<-4>(p, side, (movers >> 4) & ODD_ROWS_135 & e, list);
  add_steps<-5>(p, side, (movers >> 5) & STEP5_DOWN_TARGETS & e, list);
}

// ---------------------------------------------------------------- jumps

enum Dir { UP9, UP7, DOWN7, DOWN9 };
enum Piece { BLACK_MAN, WHITE_MAN, KING };

// A jump crosses two rows, so the landing square has the row parity of the
// source; the jumped square's offset depends on that parity.
template <Dir D, bool Even>
constexpr uint32_t jump_sources() {
  if constexpr (D == UP9) return Even ? UP9_EVEN : UP9_ODD;
  else if constexpr (D == UP7) return Even ? UP7_EVEN : UP7_ODD;
  else if constexpr (D == DOWN7) return Even ? DOWN7_EVEN : DOWN7_ODD;
  else return Even ? DOWN9_EVEN : DOWN9_ODD;
}

template <Dir D, bool Even>
constexpr uint32_t jumped_square(uint32_t s) {
  if constexpr (D == UP9) return Even ? s << 5 : s << 4;
  else if constexpr (D == UP7) return Even ? s << 4 : s << 3;
  else if constexpr (D == DOWN7) return Even ? s >> 3 : s >> 4;
  else return Even ? s >> 4 : s >> 5;
}

template <Dir D>
constexpr uint32_t landing_square(uint32_t s) {
  if constexpr (D == UP9) return s << 9;
  else if constexpr (D == UP7) return s << 7;
  else if constexpr (D == DOWN7) return s >> 7;
  else return s >> 9;
}

// The source square of a jump that lands on `l`.
template <Dir D>
constexpr uint32_t source_square(uint32_t l) {
  if constexpr (D == UP9) return l >> 9;
  else if constexpr (D == UP7) return l >> 7;
  else if constexpr (D == DOWN7) return l << 7;
  else return l << 9;
}

// The squares from which a jump in direction D would cross a square of `targets`.
template <Dir D, bool Even>
constexpr uint32_t jumping_over(uint32_t targets) {
  if constexpr (D == UP9) return Even ? targets >> 5 : targets >> 4;
  else if constexpr (D == UP7) return Even ? targets >> 4 : targets >> 3;
  else if constexpr (D == DOWN7) return Even ? targets << 3 : targets << 4;
  else return Even ? targets << 4 : targets << 5;
}

// Landing squares of every jump in direction D from `sources` over `opp`,
// before the landing squares are checked for being empty.
template <Dir D, bool Even>
constexpr uint32_t jump_landings(uint32_t sources, uint32_t opp) {
  return landing_square<D>(sources & jump_sources<D, Even>() & jumping_over<D, Even>(opp));
}

struct NoPaths {
  void start(const Position&) {}
  void jump(int, const Position&) {}
  void complete(int, int) {}
};

// Records the position after every jump of the sequence being built; a
// finished sequence copies the working path into its own slot, so siblings
// that branch deeper start from the shared prefix.
struct RecordPaths {
  CapturePath* out;
  Position work[32 + 1];

  void start(const Position& p) { work[0] = p; }
  void jump(int depth, const Position& p) {
    if (depth <= 32) work[depth] = p;
  }
  void complete(int index, int jumps) {
    CapturePath& rec = out[index];
    int kept = jumps <= MAX_PATH_JUMPS ? jumps : MAX_PATH_JUMPS;
    rec.jumps = kept;
    for (int k = 0; k < kept; ++k) rec.path[k] = work[k];
    // Longer sequences than the record holds keep their first jumps and end
    // on the final position, so path[jumps] is always the move itself.
    rec.path[kept] = work[jumps <= 32 ? jumps : 32];
  }
};

// One capture context per first jump: the board as it stands when the
// sequence starts. Captured pieces stay in place until the sequence ends, so
// nothing can land on them or jump them twice.
template <class Paths>
struct CaptureGen {
  const Position& start;
  Side side;
  MoveList& list;
  Paths& paths;
  uint32_t empty = 0;  // empty squares plus the starting square
  uint32_t opp = 0;
  uint32_t own_rest = 0;    // mover's word without the starting square
  uint32_t kings_rest = 0;  // kings word without the starting square

  Position after(uint32_t s, uint32_t captured, bool king) const {
    Position n;
    n.pieces[side] = own_rest | s;
    n.pieces[opponent_of(side)] = opp & ~captured;
    n.kings = (kings_rest | (king ? s : 0)) & ~captured;
    return n;
  }

  void emit(uint32_t s, uint32_t captured, bool king, int jumps) {
    if (list.count >= MAX_MOVES) return;
    Position n = after(s, captured, king);
    paths.jump(jumps, n);
    paths.complete(list.count, jumps);
    list.moves[list.count++] = n;
  }

  template <Piece K, bool Even, Dir D>
  bool step(uint32_t s, uint32_t captured, int jumps) {
    if (!(s & jump_sources<D, Even>())) return false;
    uint32_t j = jumped_square<D, Even>(s);
    uint32_t l = landing_square<D>(s);
    if (!(j & opp & ~captured) || !(l & empty)) return false;
    continue_from<K, Even>(l, captured | j, jumps + 1);
    return true;
  }

  // The piece has just landed on s after `jumps` jumps: jump on while it can.
  template <Piece K, bool Even>
  void continue_from(uint32_t s, uint32_t captured, int jumps) {
    if constexpr (K == BLACK_MAN && !Even) {
      if (s & BLACK_CROWN_ROW) return emit(s, captured, true, jumps);  // crowning ends the move
    }
    if constexpr (K == WHITE_MAN && Even) {
      if (s & WHITE_CROWN_ROW) return emit(s, captured, true, jumps);
    }
    paths.jump(jumps, after(s, captured, K == KING));
    bool more;
    if constexpr (K == BLACK_MAN) {
      more = step<K, Even, UP9>(s, captured, jumps) | step<K, Even, UP7>(s, captured, jumps);
    } else if constexpr (K == WHITE_MAN) {
      more = step<K, Even, DOWN7>(s, captured, jumps) | step<K, Even, DOWN9>(s, captured, jumps);
    } else {
      more = step<K, Even, UP9>(s, captured, jumps) | step<K, Even, UP7>(s, captured, jumps) |
             step<K, Even, DOWN7>(s, captured, jumps) | step<K, Even, DOWN9>(s, captured, jumps);
    }
    if (!more) emit(s, captured, K == KING, jumps);
  }

  // Every first jump in direction D from `sources`, landings ascending; each
  // landing's whole tree of continuations comes before the next landing.
  template <Dir D, bool Even>
  void first_jumps(uint32_t sources) {
    constexpr Piece man = D == UP9 || D == UP7 ? BLACK_MAN : WHITE_MAN;
    uint32_t landings = jump_landings<D, Even>(sources, start.pieces[opponent_of(side)]) & start.empty();
    while (landings) {
      uint32_t l = lowest_bit(landings);
      uint32_t from = source_square<D>(l);
      bool king = start.kings & from;
      empty = start.empty() | from;
      opp = start.pieces[opponent_of(side)];
      own_rest = start.pieces[side] & ~from;
      kings_rest = start.kings & ~from;
      paths.start(start);
      uint32_t j = jumped_square<D, Even>(from);
      // The men of a side only ever jump in its own forward directions, so
      // `man` matches the mover whenever the piece is not a king.
      if (king) continue_from<KING, Even>(l, j, 1);
      else continue_from<man, Even>(l, j, 1);
      landings = clear_lowest(landings);
    }
  }

  int run() {
    list.count = 0;
    uint32_t own = start.pieces[side];
    uint32_t own_kings = own & start.kings;
    if (side == BLACK) {
      first_jumps<UP9, true>(own);
      first_jumps<UP7, true>(own);
      first_jumps<UP9, false>(own);
      first_jumps<UP7, false>(own);
      if (own_kings) {
        first_jumps<DOWN7, true>(own_kings);
        first_jumps<DOWN9, true>(own_kings);
        first_jumps<DOWN7, false>(own_kings);
        first_jumps<DOWN9, false>(own_kings);
      }
    } else {
      first_jumps<DOWN7, true>(own);
      first_jumps<DOWN9, true>(own);
      first_jumps<DOWN7, false>(own);
      first_jumps<DOWN9, false>(own);
      if (own_kings) {
        first_jumps<UP9, true>(own_kings);
        first_jumps<UP7, true>(own_kings);
        first_jumps<UP9, false>(own_kings);
        first_jumps<UP7, false>(own_kings);
      }
    }
    return list.count;
  }
};

}  // namespace

int generate_noncaptures(const Position& p, MoveList& list, Side side) {
  list.count = 0;
  uint32_t own = p.pieces[side];
  uint32_t own_kings = own & p.kings;
  if (side == BLACK) {
    add_up_steps(p, side, own, list);
    if (own_kings) add_down_steps(p, side, own_kings, list);
  } else {
    add_down_steps(p, side, own, list);
    if (own_kings) add_up_steps(p, side, own_kings, list);
  }
  return list.count;
}

bool has_capture(const Position& p, Side side) {
  uint32_t own = p.pieces[side];
  uint32_t opp = p.pieces[opponent_of(side)];
  uint32_t up = side == BLACK ? own : own & p.kings;
  uint32_t down = side == WHITE ? own : own & p.kings;
  uint32_t landings = 0;
  if (up) {
    landings |= jump_landings<UP9, true>(up, opp) | jump_landings<UP7, true>(up, opp) |
                jump_landings<UP9, false>(up, opp) | jump_landings<UP7, false>(up, opp);
  }
  if (down) {
    landings |= jump_landings<DOWN7, true>(down, opp) | jump_landings<DOWN9, true>(down, opp) |
                jump_landings<DOWN7, false>(down, opp) | jump_landings<DOWN9, false>(down, opp);
  }
  return landings & p.empty();
}

int generate_captures(const Position& p, MoveList& list, Side side) {
  NoPaths none;
  return CaptureGen<NoPaths>{p, side, list, none}.run();
}

int generate_captures_with_paths(const Position& p, MoveList& list, Side side, CapturePath* out) {
  RecordPaths rec{out, {}};
  return CaptureGen<RecordPaths>{p, side, list, rec}.run();
}

}  // namespace qb
