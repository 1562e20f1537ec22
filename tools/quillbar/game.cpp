#include "game.h"

#include "board/fen.h"
#include "board/movegen.h"

namespace host {

const char* result_words(GameResult result) {
  switch (result) {
    case GameResult::BLACK_WINS:
      return "Black wins";
    case GameResult::WHITE_WINS:
      return "White wins";
    case GameResult::DRAW:
      return "Draw";
    default:
      return "Game not finished";
  }
}

GameRecord new_game() { return GameRecord{qb::start_position(), qb::BLACK, {}}; }

int occurrences(const GameRecord& game) {
  qb::Position now = game.position();
  int count = 0;
  // Same side to move means an even number of plies back.
  for (int ply = int(game.moves.size()); ply >= 0; ply -= 2) {
    qb::Position p = ply == 0 ? game.start : game.moves[ply - 1].after;
    if (p == now) ++count;
  }
  return count;
}

Outcome rules_outcome(const GameRecord& game, int max_plies) {
  int side = game.side_to_move();
  qb::MoveList list;
  if (qb::generate_moves(game.position(), list, qb::Side(side)) == 0)
    return {win_for(side ^ 1), std::string(side_name(side)) + " has no moves"};
  if (occurrences(game) >= REPETITION_DRAW) return {GameResult::DRAW, "threefold repetition"};
  if (max_plies > 0 && int(game.moves.size()) >= max_plies)
    return {GameResult::DRAW, "move cap of " + std::to_string((max_plies + 1) / 2) + " moves reached"};
  return {};
}

}  // namespace host
