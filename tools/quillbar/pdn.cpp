#include "pdn.h"

#include <cctype>

#include "board/fen.h"

namespace host {
namespace {

constexpr size_t LINE_WIDTH = 79;
constexpr const char* GAME_TYPE = "21";

std::string quoted(const std::string& value) {
  std::string out = "\"";
  for (char c : value) {
    if (c == '"' || c == '\\') out += '\\';
    out += (c == '\n' || c == '\r') ? ' ' : c;
  }
  return out + "\"";
}

// Fills lines up to LINE_WIDTH with the given words.
struct LineFiller {
  std::string out, line;
  void add(const std::string& word) {
    if (!line.empty() && line.size() + 1 + word.size() > LINE_WIDTH) {
      out += line + "\n";
      line.clear();
    }
    if (!line.empty()) line += ' ';
    line += word;
  }
  std::string finish() {
    if (!line.empty()) out += line + "\n";
    return out;
  }
};

bool is_result_token(const std::string& word, GameResult& result) {
  if (word == "1-0" || word == "2-0") result = GameResult::BLACK_WINS;
  else if (word == "0-1" || word == "0-2") result = GameResult::WHITE_WINS;
  else if (word == "1/2-1/2" || word == "1-1") result = GameResult::DRAW;
  else if (word == "*") result = GameResult::ONGOING;
  else return false;
  return true;
}

// Reads the game text token by token, one game at a time.
class Reader {
 public:
  Reader(const std::string& text, std::vector<PdnGame>& games) : text_(text), games_(games) {}

  bool run(std::string& error) {
    while (true) {
      skip_space();
      if (i_ >= text_.size()) break;
      char c = text_[i_];
      bool ok = c == '['                      ? read_tag()
                : c == '{'                    ? read_comment()
                : c == '('                    ? skip_variation()
                : c == ';'                    ? skip_line()
                : c == '%' && at_line_start() ? skip_line()
                                              : read_word();
      if (!ok) {
        error = "game " + std::to_string(games_.size() + 1) + ": " + error_;
        return false;
      }
    }
    if (started_) finish_game();
    return true;
  }

 private:
  const std::string& text_;
  std::vector<PdnGame>& games_;
  size_t i_ = 0;
  PdnGame game_;
  bool started_ = false;   // something of the current game has been read
  bool in_moves_ = false;  // its moves have begun
  bool result_seen_ = false;
  std::string error_;

  void skip_space() {
    while (i_ < text_.size() && std::isspace((unsigned char)text_[i_])) ++i_;
  }
  bool at_line_start() const { return i_ == 0 || text_[i_ - 1] == '\n'; }
  bool skip_line() {
    while (i_ < text_.size() && text_[i_] != '\n') ++i_;
    return true;
  }

  void begin_game() {
    game_ = PdnGame{};
    game_.record = new_game();
    started_ = true;
    in_moves_ = false;
    result_seen_ = false;
  }

  void finish_game() {
    if (!result_seen_) {
      GameResult r;
      if (is_result_token(game_.tag("Result"), r)) game_.result = r;
    }
    games_.push_back(game_);
    started_ = false;
  }

  bool read_tag() {
    if (started_ && (in_moves_ || result_seen_)) finish_game();
    if (!started_) begin_game();
    ++i_;  // '['
    skip_space();
    size_t begin = i_;
    while (i_ < text_.size() && (std::isalnum((unsigned char)text_[i_]) || text_[i_] == '_')) ++i_;
    std::string name = text_.substr(begin, i_ - begin);
    skip_space();
    if (name.empty() || i_ >= text_.size() || text_[i_] != '"') return fail("malformed tag");
    ++i_;
    std::string value;
    while (i_ < text_.size() && text_[i_] != '"') {
      if (text_[i_] == '\\' && i_ + 1 < text_.size()) ++i_;
      value += text_[i_++];
    }
    if (i_ >= text_.size()) return fail("unterminated tag value");
    ++i_;
    skip_space();
    if (i_ >= text_.size() || text_[i_] != ']') return fail("tag without ']'");
    ++i_;
    if (name == "FEN") {
      auto fen = qb::parse_fen(value);
      if (!fen) return fail("cannot read the FEN tag '" + value + "'");
      game_.record = GameRecord{fen->position, fen->side, {}};
    }
    game_.tags.push_back({name, value});
    return true;
  }

  bool read_comment() {
    size_t end = text_.find('}', i_);
    if (end == std::string::npos) return fail("unterminated comment");
    std::string comment = clean_comment(text_.substr(i_ + 1, end - i_ - 1));
    i_ = end + 1;
    if (started_ && !game_.record.moves.empty() && !comment.empty()) {
      std::string& c = game_.record.moves.back().comment;
      c = c.empty() ? comment : c + " " + comment;
    }
    return true;
  }

  bool skip_variation() {
    int depth = 0;
    for (; i_ < text_.size(); ++i_) {
      if (text_[i_] == '(') ++depth;
      else if (text_[i_] == ')' && --depth == 0) {
        ++i_;
        return true;
      }
    }
    return fail("unterminated variation");
  }

  bool read_word() {
    size_t begin = i_;
    while (i_ < text_.size() && !std::isspace((unsigned char)text_[i_]) &&
           std::string("[]{}();").find(text_[i_]) == std::string::npos)
      ++i_;
    std::string word = text_.substr(begin, i_ - begin);
    if (word.empty()) {  // a stray ']' or ')'
      ++i_;
      return true;
    }
    if (!started_ || result_seen_) begin_game();
    GameResult result;
    if (is_result_token(word, result)) {
      game_.result = result;
      result_seen_ = true;
      finish_game();
      return true;
    }
    // Move numbers ("12." or "12...", also glued to the move), annotation
    // glyphs and NAGs carry nothing the record keeps.
    size_t k = 0;
    while (k < word.size() && std::isdigit((unsigned char)word[k])) ++k;
    if (k > 0 && k < word.size() && word[k] == '.') {
      while (k < word.size() && word[k] == '.') ++k;
      word = word.substr(k);
    }
    while (!word.empty() && (word.back() == '!' || word.back() == '?')) word.pop_back();
    if (word.empty() || word[0] == '$') return true;
    return play(word);
  }

  bool play(const std::string& word) {
    in_moves_ = true;
    GameRecord& r = game_.record;
    std::vector<LegalMove> moves = legal_moves(r.position(), r.side_to_move());
    MoveMatch match = find_move(word, moves);
    if (match.status != MoveLookup::FOUND) {
      return fail("move " + std::to_string(r.moves.size() / 2 + 1) + ": '" + word + "' " +
                  (match.status == MoveLookup::AMBIGUOUS ? "is ambiguous" : "is not legal"));
    }
    r.play(moves[match.index]);
    return true;
  }

  bool fail(const std::string& message) {
    error_ = message;
    return false;
  }
};

}  // namespace

void PdnGame::set_tag(const std::string& name, const std::string& value) {
  for (PdnTag& t : tags) {
    if (t.name == name) {
      t.value = value;
      return;
    }
  }
  tags.push_back({name, value});
}

std::string PdnGame::tag(const std::string& name) const {
  for (const PdnTag& t : tags)
    if (t.name == name) return t.value;
  return "";
}

const char* result_text(GameResult result) {
  switch (result) {
    case GameResult::BLACK_WINS:
      return "1-0";
    case GameResult::WHITE_WINS:
      return "0-1";
    case GameResult::DRAW:
      return "1/2-1/2";
    default:
      return "*";
  }
}

std::string clean_comment(const std::string& text) {
  std::string out;
  bool space = false;
  for (char c : text) {
    if (c == '{') c = '(';
    if (c == '}') c = ')';
    if (std::isspace((unsigned char)c)) {
      space = !out.empty();
      continue;
    }
    if (space) out += ' ';
    space = false;
    out += c;
  }
  return out;
}

std::string write_pdn(const PdnGame& game) {
  const GameRecord& r = game.record;
  bool standard = r.start == qb::start_position() && r.start_side == qb::BLACK;
  std::string out;
  auto tag_line = [&](const std::string& name, const std::string& value) {
    out += "[" + name + " " + quoted(value) + "]\n";
  };
  auto result_block = [&] {
    tag_line("Result", result_text(game.result));
    tag_line("GameType", GAME_TYPE);
    if (!standard) tag_line("FEN", qb::position_text(r.start, qb::Side(r.start_side)));
  };
  bool result_written = false;
  for (const PdnTag& t : game.tags) {
    if (t.name == "GameType" || t.name == "FEN") continue;
    if (t.name == "Result") {
      result_block();
      result_written = true;
    } else {
      tag_line(t.name, t.value);
    }
  }
  if (!result_written) result_block();
  out += "\n";

  LineFiller body;
  for (size_t i = 0; i < r.moves.size(); ++i) {
    int ply = int(i) + (r.start_side == qb::WHITE ? 1 : 0);
    bool black_move = ply % 2 == 0;
    if (black_move) body.add(std::to_string(ply / 2 + 1) + ".");
    else if (i == 0) body.add(std::to_string(ply / 2 + 1) + "...");
    body.add(r.moves[i].text);
    std::string comment = clean_comment(r.moves[i].comment);
    if (comment.empty()) continue;
    // Comments are split into words so long ones wrap like the moves.
    size_t start = 0;
    std::vector<std::string> words;
    while (start < comment.size()) {
      size_t space = comment.find(' ', start);
      if (space == std::string::npos) space = comment.size();
      words.push_back(comment.substr(start, space - start));
      start = space + 1;
    }
    words.front() = "{" + words.front();
    words.back() += "}";
    for (const std::string& w : words) body.add(w);
  }
  body.add(result_text(game.result));
  return out + body.finish() + "\n";
}

bool read_pdn(const std::string& text, std::vector<PdnGame>& games, std::string& error) {
  games.clear();
  Reader reader(text, games);
  return reader.run(error);
}

}  // namespace host
