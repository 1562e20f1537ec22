#include "train/selfplay_game.h"

#include <algorithm>
#include <cstdlib>

#include "board/bitops.h"
#include "board/movegen.h"
#include "search/fixed_depth.h"

namespace qb::train {
namespace {

// A game the engines could not finish at this depth goes to the side with
// more pieces: with kings on the board a piece more nearly always wins, and
// without the endgame databases a shallow search often cannot show how.
Result adjudicate_by_pieces(const Position& p) {
  int black = pop_count(p.black()), white = pop_count(p.white());
  return black > white ? BLACK_WINS : white > black ? WHITE_WINS : DRAWN;
}

bool quiet(const Position& p) { return !has_capture(p, BLACK) && !has_capture(p, WHITE); }

// The search's value joins the record it chose a move for. A lone legal move
// is played unsearched (depth 0) and its value of 0 says nothing.
void keep_search_score(TrainingPosition& t, const FixedDepthResult& r) {
  if (r.depth <= 0) return;
  t.score = int16_t(r.value);
  t.depth = uint8_t(std::min(r.depth, 255));
}

}  // namespace

Result play_selfplay_game(const Position& start, Side side, const SelfPlaySettings& settings,
                          std::mt19937& random, std::vector<TrainingPosition>& out) {
  std::size_t first = out.size();
  Position p = start;
  int random_left = std::uniform_int_distribution<int>(0, settings.random_plies)(random);
  int reversible = 0, decisive_run = 0, last_sign = 0;
  Result result = DRAWN;
  std::vector<Position> since_irreversible{p};
  bool searched = false;  // the game's first search starts the engine's game too
  for (int ply = 0;; ++ply) {
    MoveList moves;
    int count = generate_moves(p, moves, side);
    if (count == 0) {  // no pieces or no moves: the side to move has lost
      result = side == BLACK ? WHITE_WINS : BLACK_WINS;
      break;
    }
    if (ply >= settings.max_plies || reversible >= settings.quiet_draw_plies) {
      result = adjudicate_by_pieces(p);
      break;
    }
    bool kept = false;  // this ply's position went to `out`, waiting for its score
    if (quiet(p) && random_left == 0) {
      TrainingPosition t{
          p.black(), p.white(), p.kings, DRAWN, uint8_t(side), 0, uint8_t(ply < 255 ? ply : 255)};
      Result exact;
      if (settings.exact_label && settings.exact_label(p, side, exact)) {
        // The databases know how this game ends with best play: that is a
        // truer label for every position before it than a shallow finish.
        t.result = exact;
        t.exact = 1;
        out.push_back(t);
        result = exact;
        break;
      }
      out.push_back(t);
      kept = true;
    }
    Position next;
    if (random_left > 0) {
      next = moves.moves[std::uniform_int_distribution<int>(0, count - 1)(random)];
      --random_left;
    } else {
      const FixedDepthResult r = search_fixed_depth(FixedDepthRequest{.root = p,
                                                                      .side = side,
                                                                      .depth = settings.depth,
                                                                      .continues_game = searched,
                                                                      .play_forced_move = true});
      searched = true;
      if (kept) keep_search_score(out.back(), r);
      next = r.best;
      const int value = r.value;
      int sign = value >= settings.decisive_score ? 1 : value <= -settings.decisive_score ? -1 : 0;
      decisive_run = sign != 0 && sign == last_sign ? decisive_run + 1 : (sign != 0);
      last_sign = sign;
      if (decisive_run >= settings.decisive_plies) {
        result = sign > 0 ? BLACK_WINS : WHITE_WINS;
        break;
      }
    }
    bool irreversible = pop_count(next.occupied()) != pop_count(p.occupied()) || men_changed(p, next, side);
    reversible = irreversible ? 0 : reversible + 1;
    if (irreversible) since_irreversible.clear();
    p = next;
    side = opponent_of(side);
    since_irreversible.push_back(p);
    int seen = 0;  // the same placement with the same side to move: every other ply
    for (std::size_t i = since_irreversible.size(); i >= 3; i -= 2) seen += since_irreversible[i - 3] == p;
    if (seen >= 2) {  // third occurrence
      result = adjudicate_by_pieces(p);
      break;
    }
  }
  for (std::size_t i = first; i < out.size(); ++i)
    if (!out[i].exact) out[i].result = result;
  return result;
}

}  // namespace qb::train
