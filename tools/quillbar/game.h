// One game as the host keeps it: the starting position and every move with
// its notation and comment, plus the rules the host itself applies to end a
// game (no moves left, threefold repetition, a move cap).
#pragma once

#include <string>
#include <vector>

#include "board/position.h"
#include "notation.h"

namespace host {

enum class GameResult { ONGOING, BLACK_WINS, WHITE_WINS, DRAW };

struct Outcome {
  GameResult result = GameResult::ONGOING;
  std::string reason;         // "White has no moves", "threefold repetition", ...
  bool engine_fault = false;  // an engine died, hung or broke the rules

  bool over() const { return result != GameResult::ONGOING; }
};

inline GameResult win_for(int side) {
  return side == qb::WHITE ? GameResult::WHITE_WINS : GameResult::BLACK_WINS;
}
inline const char* side_name(int side) { return side == qb::WHITE ? "White" : "Black"; }

// "Black wins", "White wins", "Draw", "Game not finished".
const char* result_words(GameResult result);

struct PlayedMove {
  qb::Position after;
  std::string text;     // full notation, "1x10x19"
  std::string comment;  // engine's remark, empty for none
};

struct GameRecord {
  qb::Position start;
  int start_side = qb::BLACK;
  std::vector<PlayedMove> moves;

  qb::Position position() const { return moves.empty() ? start : moves.back().after; }
  int side_to_move() const { return start_side ^ int(moves.size() & 1); }
  void play(const LegalMove& m, const std::string& comment = "") {
    moves.push_back(PlayedMove{m.after, move_notation(m), comment});
  }
};

GameRecord new_game();  // the standard start, Black to move

// How often the current position, with the same side to move, has stood on
// the board in this game (1 when it is new).
int occurrences(const GameRecord& game);

constexpr int REPETITION_DRAW = 3;

// The host's own verdict on the current position: the side to move without
// a move loses, the third occurrence of a position draws, and so does
// reaching `max_plies` (0 for no cap).
Outcome rules_outcome(const GameRecord& game, int max_plies);

}  // namespace host
