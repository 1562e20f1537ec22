#include "search/result.h"

#include "board/bitops.h"
#include "interface/base/settings.h"
#include "search/game_history.h"

namespace qb {

namespace {

constexpr int DRAW_RUN = 6;                 // consecutive drawn values that end the game
constexpr int REPEATS_FOR_DRAW = 3;         // earlier occurrences of the position
constexpr int PLAYED_OUT_VALUE = MATE - 2;  // the game ends within two plies
constexpr int DEEP_DECIDED_VALUE = 200;

int setting(const Setting& s) { return s.load(std::memory_order_relaxed); }

}  // namespace

const SearchNode& record_move(const Position& after, Side side) {
  history_update(after, opponent_of(side));
  return *history_last();
}

int result_code(const MoveDecision& decision, Side side, const SearchNode& after) {
  const int value = decision.value;
  const bool deep = decision.deep;
  int good = side == BLACK ? QB_WIN : QB_LOSS;
  int bad = side == BLACK ? QB_LOSS : QB_WIN;
  if (setting(g_settings.play_to_end)) {
    if (value >= PLAYED_OUT_VALUE) return good;
    if (value <= -PLAYED_OUT_VALUE) return bad;
  } else {
    if (value > DECIDED_SCORE) return good;
    if (value < -DECIDED_SCORE) return bad;
    if (deep && value >= DEEP_DECIDED_VALUE) return good;
    if (deep && value <= -DEEP_DECIDED_VALUE) return bad;
  }
  if (pop_count(decision.position.occupied()) <= setting(g_settings.drawpieces)) {
    if (deep) g_game.draw_counter = is_draw_value(value) ? g_game.draw_counter + 1 : 0;
  } else {
    g_game.draw_counter = 0;
  }
  if (g_game.draw_counter >= DRAW_RUN) return QB_DRAW;
  if (repetition_count(after) >= REPEATS_FOR_DRAW) return QB_DRAW;
  return QB_UNKNOWN;
}

int finish_move(const MoveDecision& decision, Side side) {
  if (decision.source == MoveSource::NO_MOVES) return QB_LOSS;
  const SearchNode& after = record_move(decision.position, side);
  if (!decision.judged) return QB_UNKNOWN;
  return result_code(decision, side, after);
}

}  // namespace qb
