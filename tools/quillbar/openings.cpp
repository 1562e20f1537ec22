#include "openings.h"

#include <fstream>
#include <sstream>

#include "game.h"

namespace host {

bool parse_openings(const std::string& text, std::vector<Opening>& out, std::string& error) {
  out.clear();
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::string word;
    if (!(words >> word) || word[0] == '#') continue;
    Opening opening;
    GameRecord game = new_game();
    do {
      std::vector<LegalMove> moves = legal_moves(game.position(), game.side_to_move());
      MoveMatch match = find_move(word, moves);
      if (match.status != MoveLookup::FOUND) {
        error = "line " + std::to_string(number) + ": '" + word + "' is not a legal move there";
        out.clear();
        return false;
      }
      game.play(moves[match.index]);
      opening.notation.push_back(game.moves.back().text);
      if (!opening.moves.empty()) opening.moves += ' ';
      opening.moves += word;
    } while (words >> word);
    out.push_back(opening);
  }
  if (out.empty()) error = "no openings found";
  return !out.empty();
}

bool load_openings(const std::string& path, std::vector<Opening>& out, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  if (!parse_openings(text.str(), out, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace host
