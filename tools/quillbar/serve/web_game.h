// What the browser page and the server say to each other about a game, as
// JSON: the page sends the start position and the moves in notation, the
// server replays them under the rules and answers with everything the page
// draws. The server keeps no game state of its own, so a reload, an undo or
// a loaded PDN is just another list of moves.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "game.h"
#include "progress.h"

namespace host::web {

using Json = nlohmann::json;

// Replays `moves` from `fen` (the standard start when empty). False with a
// message naming the first bad item.
bool replay_game(const std::string& fen, const std::vector<std::string>& moves, GameRecord& game,
                 std::string& error);

// The game's positions, moves, the legal moves now and the rules' verdict.
Json game_state(const GameRecord& game);

// "bbbb...----...wwww": square 1 first; b/w men, B/W kings, '-' empty.
std::string board_squares(const qb::Position& p);

// A status line for the page: the parsed fields when it is a progress line,
// and always the text itself (a book move or a database verdict reads best
// as the engine wrote it).
Json status_json(const std::string& status);

// The game, with its tags ([name, value] pairs, in order) and result, as
// PDN; and back.
std::string game_pdn(const GameRecord& game, const Json& tags, const std::string& result);
bool read_one_pdn(const std::string& text, Json& out, std::string& error);

}  // namespace host::web
