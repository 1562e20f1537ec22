#include "web_game.h"

#include <cctype>
#include <cstdio>

#include "board/fen.h"
#include "pdn.h"

namespace host::web {
namespace {

const char* side_word(int side) { return side == qb::WHITE ? "white" : "black"; }

Json move_json(const LegalMove& m) {
  return {{"text", move_notation(m)}, {"squares", m.squares}, {"capture", m.capture}};
}

GameResult result_from_text(const std::string& text) {
  for (GameResult r : {GameResult::BLACK_WINS, GameResult::WHITE_WINS, GameResult::DRAW})
    if (text == result_text(r)) return r;
  return GameResult::ONGOING;
}

// A tag name is one word; anything else would break the record's framing.
bool is_tag_name(const std::string& name) {
  if (name.empty() || name.size() > 40) return false;
  for (char c : name)
    if (!std::isalnum((unsigned char)c) && c != '_') return false;
  return true;
}

}  // namespace

std::string board_squares(const qb::Position& p) {
  std::string out(32, '-');
  for (int n = 0; n < 32; ++n) {
    uint32_t bit = 1u << n;
    bool king = p.kings & bit;
    if (p.black() & bit) out[n] = king ? 'B' : 'b';
    if (p.white() & bit) out[n] = king ? 'W' : 'w';
  }
  return out;
}

bool replay_game(const std::string& fen, const std::vector<std::string>& moves, GameRecord& game,
                 std::string& error) {
  game = new_game();
  if (!fen.empty()) {
    auto parsed = qb::parse_fen(fen);
    if (!parsed) {
      error = "cannot read the position '" + fen + "'";
      return false;
    }
    if (qb::has_man_on_crown_row(parsed->position)) {
      error = "a man stands on its own crowning row in '" + fen + "'";
      return false;
    }
    game = GameRecord{parsed->position, parsed->side, {}};
  }
  for (size_t i = 0; i < moves.size(); ++i) {
    if (rules_outcome(game, 0).over()) {
      error = "move " + std::to_string(i + 1) + " comes after the game has ended";
      return false;
    }
    std::vector<LegalMove> legal = legal_moves(game.position(), game.side_to_move());
    MoveMatch m = find_move(moves[i], legal);
    if (m.status != MoveLookup::FOUND) {
      error = "move " + std::to_string(i + 1) + " '" + moves[i] + "' is " +
              (m.status == MoveLookup::AMBIGUOUS ? "ambiguous" : "not a legal move") + " for " +
              side_name(game.side_to_move()) + "; legal: " + move_list_text(legal);
      return false;
    }
    game.play(legal[m.index]);
  }
  return true;
}

Json game_state(const GameRecord& game) {
  Json positions = Json::array(), played = Json::array();
  positions.push_back({{"fen", qb::position_text(game.start, qb::Side(game.start_side))},
                       {"board", board_squares(game.start)}});
  for (size_t i = 0; i < game.moves.size(); ++i) {
    int side = game.start_side ^ int(i & 1);
    played.push_back(game.moves[i].text);
    positions.push_back({{"fen", qb::position_text(game.moves[i].after, qb::Side(side ^ 1))},
                         {"board", board_squares(game.moves[i].after)}});
  }
  Json legal = Json::array();
  for (const LegalMove& m : legal_moves(game.position(), game.side_to_move())) legal.push_back(move_json(m));
  Outcome outcome = rules_outcome(game, 0);
  return {
      {"start", positions[0]["fen"]}, {"start_side", side_word(game.start_side)}, {"moves", played},
      {"positions", positions},       {"side", side_word(game.side_to_move())},   {"legal", legal},
      {"over", outcome.over()},       {"result", result_text(outcome.result)},    {"reason", outcome.reason}};
}

Json status_json(const std::string& status) {
  Json out = {{"text", status.substr(0, status.find('\n'))}};
  if (auto p = parse_progress(status)) {
    out["depth"] = p->depth;
    out["value"] = p->value;
    out["bound"] = std::string(1, p->bound);
    out["seconds"] = p->seconds;
    out["knps"] = p->knps;
    out["pv"] = p->pv;
  }
  return out;
}

std::string game_pdn(const GameRecord& game, const Json& tags, const std::string& result) {
  PdnGame pdn;
  pdn.record = game;
  pdn.result = result_from_text(result);
  if (tags.is_array())
    for (const Json& tag : tags)
      if (tag.is_array() && tag.size() == 2 && tag[0].is_string() && tag[1].is_string() &&
          is_tag_name(tag[0]))
        pdn.set_tag(tag[0], tag[1]);
  pdn.set_tag("Result", "");
  return write_pdn(pdn);
}

bool read_one_pdn(const std::string& text, Json& out, std::string& error) {
  std::vector<PdnGame> games;
  if (!read_pdn(text, games, error)) return false;
  if (games.empty()) {
    error = "no game found in the PDN text";
    return false;
  }
  const PdnGame& g = games.front();
  Json moves = Json::array(), tags = Json::object();
  for (const PlayedMove& m : g.record.moves) moves.push_back(m.text);
  for (const PdnTag& t : g.tags) tags[t.name] = t.value;
  out = {{"fen", qb::position_text(g.record.start, qb::Side(g.record.start_side))},
         {"moves", moves},
         {"tags", tags},
         {"result", result_text(g.result)}};
  return true;
}

}  // namespace host::web
