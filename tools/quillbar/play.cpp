// play: a game against the engine in the terminal, or the engine against
// itself (--self). The host referees: it checks every move, keeps the game,
// and ends it on the rules or on the engine's own verdict.
#include <cstdio>
#include <iostream>

#include "board/fen.h"
#include "board_text.h"
#include "command_line.h"
#include "commands.h"
#include "engine_game.h"
#include "os.h"
#include "paths.h"
#include "pdn.h"
#include "progress.h"

namespace host {
namespace {

constexpr int SELF_PLAY_MAX_MOVES = 200;

const char* const HELP =
    "Moves: 11-15, 22x15, a multi-jump as 1x10x19 (or 1x19 when that is unique).\n"
    "Commands: moves (legal moves), undo (take back your last move), board,\n"
    "          new (new game), help, quit.\n";

struct Session {
  EngineProcess engine;
  GameRecord game;
  qb::Position start;
  int start_side = qb::BLACK;
  int user = qb::BLACK;  // -1: engine against itself
  double move_time = 1.0;
  int max_plies = 0;
  bool tty = false;
  bool colour = false;
  bool new_game = true;  // the engine's next move starts a game
  Outcome outcome;
};

int terminal_width() {
  int width = os::terminal_width();
  return width > 10 ? width : 80;
}

// The squares the last move touched, for the highlight.
uint32_t last_move_squares(const GameRecord& game) {
  if (game.moves.empty()) return 0;
  qb::Position before = game.moves.size() > 1 ? game.moves[game.moves.size() - 2].after : game.start;
  qb::Position after = game.moves.back().after;
  int mover = game.side_to_move() ^ 1;
  return before.pieces[mover] ^ after.pieces[mover];
}

void show_board(const Session& s) {
  BoardStyle style;
  style.colour = s.colour;
  style.black_at_bottom = s.user == qb::BLACK;
  style.highlight = last_move_squares(s.game);
  std::printf("\n%s", board_text(s.game.position(), style).c_str());
  std::printf("  %s to move\n", side_name(s.game.side_to_move()));
}

std::string engine_label(const Session& s) {
  std::string name = s.engine.name();
  size_t paren = name.find('(');
  return paren != std::string::npos && paren > 0 ? name.substr(0, paren) : name;
}

// The engine's score from the player's side, labelled: its own line gives
// it from Black's side whoever plays. Engine against itself: Black's side.
std::string score_label(const Session& s, const std::string& status) {
  auto progress = parse_progress(status);
  if (!progress) return "";
  int viewer = s.user == qb::WHITE ? qb::WHITE : qb::BLACK;
  char text[64];
  std::snprintf(text, sizeof text, "  score %+d for %s", value_for(progress->value, viewer),
                side_name(viewer));
  return text;
}

// One engine move. Returns false when the engine failed; the reason is in
// the session's outcome.
bool engine_move(Session& s) {
  qb::Position position = s.game.position();
  int side = s.game.side_to_move();
  MoveRequest request;
  request.position = position;
  request.side = side;
  request.maxtime = s.move_time;
  request.info = s.new_game ? INFO_NEW_GAME : 0;
  limit_fixed_time_move(request, ONE_MOVE_HANG_TIMEOUT);
  s.new_game = false;

  int width = terminal_width() - 1;
  auto thinking = [&](const std::string& text) {
    if (!s.tty) return;
    std::string line = "  " + text.substr(0, text.find('\n'));
    if (int(line.size()) > width) line.resize(size_t(width));
    std::printf("\r\033[K%s", line.c_str());
    std::fflush(stdout);
  };
  MoveReply reply = s.engine.getmove(request, thinking);
  if (s.tty) std::printf("\r\033[K");

  std::string who = engine_label(s);
  if (!reply.ok) {
    s.outcome = {win_for(side ^ 1), who + " " + reply.failure, true};
    return false;
  }
  std::vector<LegalMove> moves = legal_moves(position, side);
  for (const LegalMove& m : moves) {
    if (!(m.after == reply.after)) continue;
    s.game.play(m, clean_comment(reply.status));
    std::printf("%s plays %s  (%.1fs)%s  %s\n", who.c_str(), move_notation(m).c_str(), reply.seconds,
                score_label(s, reply.status).c_str(), clean_comment(reply.status).c_str());
    GameResult claim = claimed_result(reply.result, side);
    if (claim != GameResult::ONGOING) {
      const char* what = reply.result == 0   ? " claims a draw"
                         : reply.result == 1 ? " claims a win"
                                             : " resigns";
      s.outcome = {claim, who + what};
    }
    return true;
  }
  s.outcome = {win_for(side ^ 1),
               who + " played an illegal move, to " + qb::position_text(reply.after, qb::Side(side ^ 1)),
               true};
  return false;
}

void take_back(Session& s) {
  int user_moves = 0;
  for (size_t i = 0; i < s.game.moves.size(); ++i)
    if (((s.game.start_side + int(i)) & 1) == s.user) ++user_moves;
  if (user_moves == 0) {
    std::printf("Nothing to take back.\n");
    return;
  }
  do s.game.moves.pop_back();
  while (s.game.side_to_move() != s.user);
  s.outcome = {};
  show_board(s);
}

void restart(Session& s) {
  s.game = GameRecord{s.start, s.start_side, {}};
  s.new_game = true;
  s.outcome = {};
  show_board(s);
}

void announce(const Session& s) {
  std::printf("\nResult: %s (%s): %s\n", result_words(s.outcome.result), result_text(s.outcome.result),
              s.outcome.reason.c_str());
}

// Handles one line typed by the player. Returns false to leave.
bool user_input(Session& s, const std::string& raw) {
  std::string line = clean_comment(raw);  // trims and collapses spaces
  if (line.empty()) return true;
  if (line == "quit" || line == "exit" || line == "q") return false;
  if (line == "help" || line == "?") {
    std::fputs(HELP, stdout);
  } else if (line == "board") {
    show_board(s);
  } else if (line == "moves") {
    std::printf("Legal moves: %s\n",
                move_list_text(legal_moves(s.game.position(), s.game.side_to_move())).c_str());
  } else if (line == "undo" || line == "takeback") {
    take_back(s);
  } else if (line == "new") {
    restart(s);
  } else if (s.outcome.over()) {
    std::printf("The game is over: undo, new or quit.\n");
  } else {
    std::vector<LegalMove> moves = legal_moves(s.game.position(), s.game.side_to_move());
    MoveMatch m = find_move(line, moves);
    if (m.status == MoveLookup::FOUND) {
      s.game.play(moves[m.index]);
      show_board(s);
    } else if (m.status == MoveLookup::AMBIGUOUS) {
      std::printf("'%s' fits several jumps; give the whole path:", line.c_str());
      for (int i : m.candidates) std::printf(" %s", move_notation(moves[i]).c_str());
      std::printf("\n");
    } else {
      std::printf("%s '%s'. Legal moves: %s\n",
                  m.status == MoveLookup::ILLEGAL ? "Not a legal move:" : "Not understood:", line.c_str(),
                  move_list_text(moves).c_str());
    }
  }
  return true;
}

void save_game(const Session& s, const std::string& path) {
  if (path.empty() || s.game.moves.empty()) return;
  PdnGame game;
  game.record = s.game;
  game.result = s.outcome.result;
  game.set_tag("Event", s.user < 0 ? "Quillbar self-play" : "Quillbar game");
  std::string engine = s.engine.name(), you = "Player";
  game.set_tag("Black", s.user == qb::BLACK ? you : engine);
  game.set_tag("White", s.user == qb::WHITE ? you : engine);
  game.set_tag("Result", "");
  if (s.outcome.over()) game.set_tag("Termination", s.outcome.reason);
  std::FILE* f = std::fopen(path.c_str(), "a");
  if (!f) {
    std::fprintf(stderr, "play: cannot write %s\n", path.c_str());
    return;
  }
  std::fputs(write_pdn(game).c_str(), f);
  std::fclose(f);
  std::printf("Game saved to %s\n", path.c_str());
}

int play_session(Session& s, const std::string& pdn_path) {
  show_board(s);
  bool engine_failed = false;
  while (true) {
    if (!s.outcome.over()) s.outcome = rules_outcome(s.game, s.max_plies);
    bool over = s.outcome.over();
    if (over) announce(s);
    if (over && s.user < 0) break;
    if (!over && s.game.side_to_move() != s.user) {
      if (!engine_move(s)) {
        engine_failed = true;
        std::printf("\nThe engine failed: %s\n", s.outcome.reason.c_str());
        break;
      }
      if (s.tty || s.outcome.over()) show_board(s);
      continue;
    }
    std::printf("%s> ", over ? "game over" : side_name(s.user));
    std::fflush(stdout);
    std::string line;
    if (!std::getline(std::cin, line) || !user_input(s, line)) break;
  }
  save_game(s, pdn_path);
  return engine_failed ? 1 : 0;
}

}  // namespace
}  // namespace host

int run_play(const Args& args) {
  using namespace host;
  Session s;
  std::string library, fen, pdn_path;
  std::vector<std::string> commands;
  bool self = false;
  int max_moves = SELF_PLAY_MAX_MOVES;
  CLI::App app{"A game against the engine in the terminal.", "quillbar play"};
  cli::describe(app, "usage: quillbar play [options]");
  // The colour flags share one setting: the last one given counts.
  app.add_flag_callback(
         "--black", [&] { s.user = qb::BLACK; }, "you play Black, who moves first (the default)")
      ->trigger_on_parse();
  app.add_flag_callback(
         "--white", [&] { s.user = qb::WHITE; }, "you play White")
      ->trigger_on_parse();
  app.add_flag("--self", self, "watch the engine play itself");
  cli::add_double(app, "--time", s.move_time, 0.001, 86400, "--time wants seconds, e.g. 0.5",
                  "engine's seconds per move (default 1)")
      ->type_name("S");
  app.add_option("--engine", library, "engine library (default engines/libquillbar.so)")
      ->type_name("LIBRARY");
  cli::add_each(
      app, "--cmd", [&](const std::string& line) { commands.push_back(line); },
      "enginecommand line sent at start (repeatable), e.g. \"set book 0\"")
      ->type_name("TEXT");
  app.add_option("--fen", fen, "start from this position, e.g. \"W:W21-24,K30:B1-4\"")->type_name("FEN");
  cli::add_int(app, "--max-moves", max_moves, 1, 100000, "--max-moves wants a positive number",
               "self-play: draw after N moves (default 200)");
  app.add_option("--pdn", pdn_path, "append the game to FILE when it ends")->type_name("FILE");
  if (std::optional<int> status = cli::parse(app, args)) return *status;
  s.start = qb::start_position();
  if (!fen.empty()) {
    auto parsed = qb::parse_fen(fen);
    if (!parsed) return cli::refuse("play", "cannot read the position '" + fen + "'");
    if (qb::has_man_on_crown_row(parsed->position))
      return cli::refuse("play", "a man stands on its own crowning row in '" + fen + "'");
    s.start = parsed->position;
    s.start_side = parsed->side;
  }
  s.game = GameRecord{s.start, s.start_side, {}};
  if (self) s.user = -1;
  s.max_plies = self ? 2 * max_moves : 0;
  s.tty = os::is_terminal(stdout);
  s.colour = terminal_wants_colour(stdout);

  EngineLocation where = locate_engine(library);
  EngineConfig config{where.library, "", where.workdir, "", commands};
  std::string error;
  if (!s.engine.start(config, error)) {
    std::fprintf(stderr, "play: the engine %s does not start: %s\n", where.library.c_str(), error.c_str());
    return 1;
  }
  std::printf("%s, %g s per move. ", s.engine.name().c_str(), s.move_time);
  if (self) std::printf("The engine plays itself.\n");
  else std::printf("You play %s. Type a move such as 11-15, or help.\n", side_name(s.user));
  return play_session(s, pdn_path);
}
