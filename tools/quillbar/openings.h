// Opening decks: one opening per line, its moves in square notation from the
// standard start ("9-13 22-17 13x22"); '#' starts a comment line.
#pragma once

#include <string>
#include <vector>

namespace host {

struct Opening {
  std::string moves;                  // as written in the deck, spaces normalised
  std::vector<std::string> notation;  // each move in full notation
};

// Reads a deck, checking every move against the rules. On a bad line returns
// nothing useful and names the line in `error`.
bool parse_openings(const std::string& text, std::vector<Opening>& out, std::string& error);

bool load_openings(const std::string& path, std::vector<Opening>& out, std::string& error);

}  // namespace host
