// Game records in Portable Draughts Notation: tag pairs, then the moves with
// their comments and the result. English draughts is GameType 21. Results
// follow the order of play: "1-0" is a win for Black, who moves first.
#pragma once

#include <string>
#include <vector>

#include "game.h"

namespace host {

struct PdnTag {
  std::string name, value;
};

struct PdnGame {
  std::vector<PdnTag> tags;  // in the order they are written
  GameRecord record;
  GameResult result = GameResult::ONGOING;

  void set_tag(const std::string& name, const std::string& value);
  std::string tag(const std::string& name) const;  // empty when absent
};

const char* result_text(GameResult result);  // "1-0", "0-1", "1/2-1/2", "*"

// One game, ending in a blank line. The Result tag and the closing token
// always agree with `result`; GameType 21 follows the Result tag, and a FEN
// tag when the game does not start from the standard position.
std::string write_pdn(const PdnGame& game);

// Every game in `text`, each replayed and checked against the rules.
// Returns false with a message naming the game and move on the first fault.
bool read_pdn(const std::string& text, std::vector<PdnGame>& games, std::string& error);

// Comments as they are written: braces cannot appear inside, and runs of
// white space become one space.
std::string clean_comment(const std::string& text);

}  // namespace host
