// match: two engines (or one engine under two sets of settings) play each
// opening of a deck with both colours. Every game runs in engine processes
// of its worker's own, as many workers as cores; every finished game goes to
// the PDN file at once, so an interrupted match loses nothing played.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "board/fen.h"
#include "command_line.h"
#include "commands.h"
#include "elo.h"
#include "engine_game.h"
#include "os.h"
#include "paths.h"
#include "pdn.h"

namespace host {
namespace {

namespace fs = std::filesystem;

constexpr int DEFAULT_MAX_MOVES = 200;
constexpr double DEFAULT_HANG_TIMEOUT = 30;
constexpr double WARM_UP_TIME = 0.01;

struct MatchConfig {
  EngineConfig engines[2];
  std::string labels[2];
  std::vector<Opening> openings;
  int games = 0;
  int concurrency = 1;
  GameSetup setup;
  std::string pdn_path;
};

// Shared by the workers: which game comes next, and everything reported.
struct Match {
  const MatchConfig& config;
  std::atomic<int> next_game{0};
  std::mutex mutex;
  MatchScore score;  // engine A's view
  int finished = 0;
  std::FILE* pdn = nullptr;
  bool live_line = false;  // progress rewritten in place on a terminal
};

// Games 2k and 2k+1 play opening k, with the colours swapped.
const Opening& opening_for(const MatchConfig& c, int index) {
  return c.openings[size_t(index / 2) % c.openings.size()];
}

std::string today() {
  std::tm tm = os::local_time(std::time(nullptr));
  char buf[16];
  std::strftime(buf, sizeof buf, "%Y.%m.%d", &tm);
  return buf;
}

std::string default_pdn_name() {
  std::tm tm = os::local_time(std::time(nullptr));
  char buf[64];
  std::strftime(buf, sizeof buf, "match-%Y%m%d-%H%M%S.pdn", &tm);
  return buf;
}

std::string elo_line(const MatchScore& s) {
  EloEstimate e = elo_estimate(s);
  return "Elo " + elo_text(e.elo) + " [" + elo_text(e.low) + ", " + elo_text(e.high) + "]";
}

// Starts engine `which` if it is not running, and lets it do its one-time
// start-up (weights, book, databases, hash table) before any clock runs.
bool ready_engine(EngineProcess& engine, const EngineConfig& config, std::string& error) {
  if (engine.running()) return true;
  if (!engine.start(config, error)) return false;
  MoveRequest warm_up;
  warm_up.position = qb::start_position();
  warm_up.maxtime = WARM_UP_TIME;
  warm_up.info = INFO_NEW_GAME;
  warm_up.give_up_after = EngineProcess::START_TIMEOUT;
  MoveReply reply = engine.getmove(warm_up);
  if (!reply.ok) error = reply.failure;
  return reply.ok;
}

void record_game(Match& m, int index, int black, const GameRecord& record, const Outcome& outcome) {
  const MatchConfig& c = m.config;
  PdnGame game;
  game.record = record;
  game.result = outcome.result;
  game.set_tag("Event", "Quillbar match");
  game.set_tag("Site", os::host_name());
  game.set_tag("Date", today());
  game.set_tag("Round", std::to_string(index + 1));
  game.set_tag("Black", c.labels[black]);
  game.set_tag("White", c.labels[black ^ 1]);
  game.set_tag("Result", "");
  game.set_tag("Opening", opening_for(c, index).moves);
  game.set_tag("TimeControl", c.setup.time.text());
  game.set_tag("Termination", outcome.reason);

  std::lock_guard<std::mutex> lock(m.mutex);
  if (m.pdn) {
    std::fputs(write_pdn(game).c_str(), m.pdn);
    std::fflush(m.pdn);
  }
  int a_side = black == 0 ? qb::BLACK : qb::WHITE;
  if (outcome.result == GameResult::DRAW) ++m.score.draws;
  else if (outcome.result == win_for(a_side)) ++m.score.wins;
  else if (outcome.result == win_for(a_side ^ 1)) ++m.score.losses;
  ++m.finished;

  if (m.live_line) std::printf("\r\033[K");
  if (outcome.engine_fault || !m.live_line)
    std::printf("game %d (%s vs %s): %s, %s\n", index + 1, c.labels[black].c_str(),
                c.labels[black ^ 1].c_str(), result_text(outcome.result), outcome.reason.c_str());
  std::printf("%d/%d  %s %.1f - %.1f %s  (+%d -%d =%d)  %s", m.finished, c.games, c.labels[0].c_str(),
              m.score.points(), m.score.games() - m.score.points(), c.labels[1].c_str(), m.score.wins,
              m.score.losses, m.score.draws, elo_line(m.score).c_str());
  std::printf(m.live_line ? "" : "\n");
  std::fflush(stdout);
}

void worker(Match& m) {
  const MatchConfig& c = m.config;
  EngineProcess engines[2];  // A and B
  while (true) {
    int index = m.next_game.fetch_add(1);
    if (index >= c.games) return;
    int black = index % 2;  // engine A has Black in the first game of each opening
    GameSetup setup = c.setup;
    setup.opening = &opening_for(c, index);
    GameRecord record = new_game();
    Outcome outcome;
    for (int e = 0; e < 2 && !outcome.over(); ++e) {
      std::string error;
      if (!ready_engine(engines[e], c.engines[e], error)) {
        int side = e == black ? qb::BLACK : qb::WHITE;
        outcome = {win_for(side ^ 1), std::string(side_name(side)) + " engine could not start: " + error,
                   true};
      }
    }
    if (!outcome.over()) {
      EngineProcess* by_side[2] = {&engines[black], &engines[black ^ 1]};
      outcome = play_engine_game(by_side, setup, record);
    }
    record_game(m, index, black, record, outcome);
  }
}

// Checks that an engine starts and answers, and learns its name.
bool probe(const EngineConfig& config, std::string& name, std::string& error) {
  EngineProcess engine;
  if (!engine.start(config, error)) return false;
  name = engine.name();
  return true;
}

// Reads the command line into `c`; returns the status to end with when the
// match is not to be played (help asked for, or a mistake).
std::optional<int> parse(const Args& args, MatchConfig& c, bool& user_settings) {
  std::vector<std::string> libraries;
  std::string deck;
  int games = 0, max_moves = DEFAULT_MAX_MOVES;
  c.setup.time = *fixed_time("1");
  c.setup.hang_timeout = DEFAULT_HANG_TIMEOUT;
  c.concurrency = int(std::max(1u, std::thread::hardware_concurrency()));

  CLI::App app{"Two engines play each opening of a deck with both colours.", "quillbar match"};
  cli::describe(app, "usage: quillbar match [LIBRARY_A [LIBRARY_B]] [options]");
  app.add_option("libraries", libraries,
                 "engine libraries A and B; both default to engines/libquillbar.so, and one "
                 "library plays itself")
      ->type_name("LIBRARY");
  // The command options and the two clocks share their targets, so they
  // take effect in the order given.
  auto commands_for = [&c](bool a, bool b) {
    return [&c, a, b](const std::string& line) {
      if (a) c.engines[0].commands.push_back(line);
      if (b) c.engines[1].commands.push_back(line);
    };
  };
  cli::add_each(app, "--cmd-a", commands_for(true, false),
                "enginecommand line for engine A (repeatable), e.g. \"set book 0\"");
  cli::add_each(app, "--cmd-b", commands_for(false, true), "enginecommand line for engine B (repeatable)");
  cli::add_each(app, "--cmd", commands_for(true, true), "enginecommand line for both (repeatable)")
      ->type_name("TEXT");
  auto clock = [&c](std::optional<TimeControl> (*read)(const std::string&)) {
    return [&c, read](const std::string& text) {
      std::optional<TimeControl> tc = read(text);
      if (!tc) throw CLI::ValidationError("cannot read the time '" + text + "'");
      c.setup.time = *tc;
    };
  };
  cli::add_each(app, "--time", clock(fixed_time), "fixed seconds per move (default 1)")->type_name("S");
  cli::add_each(app, "--tc", clock(incremental_clock), "incremental clock in seconds, e.g. 60+0.5")
      ->type_name("BASE+INC");
  app.add_option("--openings", deck, "opening deck (default openings/three-move-deck.txt)")
      ->type_name("FILE");
  CLI::Option* games_given = cli::add_int(app, "--games", games, 1, 1000000,
                                          "--games wants a positive number", "play only the first N games");
  cli::add_int(app, "--concurrency", c.concurrency, 1, 1000000, "--concurrency wants a positive number",
               "games at once (default: the number of cores)");
  cli::add_int(app, "--max-moves", max_moves, 1, 1000000, "--max-moves wants a positive number",
               "a game reaching N moves is drawn (default 200)");
  cli::add_double(app, "--hang-timeout", c.setup.hang_timeout, 0.1, 86400, "--hang-timeout wants seconds",
                  "seconds past its time before an engine is hung (30)")
      ->type_name("S");
  app.add_option("--pdn", c.pdn_path, "where the games go (default match-DATE-TIME.pdn)")->type_name("FILE");
  app.add_flag("--user-settings", user_settings,
               "let the engines read and change the user's stored settings (by default each gets "
               "a private folder)");
  if (std::optional<int> status = cli::parse(app, args)) return status;
  c.setup.max_plies = 2 * max_moves;
  if (libraries.size() > 2) return cli::refuse("match", "at most two engine libraries");
  for (int e = 0; e < 2; ++e) {
    std::string wanted = libraries.empty() ? "" : libraries[std::min<size_t>(e, libraries.size() - 1)];
    EngineLocation where = locate_engine(wanted);
    c.engines[e].library = where.library;
    c.engines[e].workdir = where.workdir;
  }
  std::string error;
  if (deck.empty()) deck = find_data_file(DEFAULT_DECK);
  if (!load_openings(deck, c.openings, error)) return cli::refuse("match", error);
  int all = int(c.openings.size()) * 2;
  c.games = games_given->count() ? std::min(games, all) : all;
  c.concurrency = std::min(c.concurrency, c.games);
  if (c.pdn_path.empty()) c.pdn_path = default_pdn_name();
  return std::nullopt;
}

}  // namespace
}  // namespace host

int run_match(const Args& args) {
  using namespace host;
  MatchConfig config;
  bool user_settings = false;
  if (std::optional<int> status = parse(args, config, user_settings)) return *status;

  // Private settings folders: a match neither reads nor changes the user's
  // stored engine settings, and A's "set" commands never reach B's start-up.
  fs::path settings_root;
  if (!user_settings) {
    settings_root = os::make_private_temp_dir("quillbar-match-");
    if (settings_root.empty()) {
      std::perror("match: cannot make a settings folder");
      return 1;
    }
    for (int e = 0; e < 2; ++e) config.engines[e].settings_dir = (settings_root / (e ? "b" : "a")).string();
  }
  struct Cleanup {
    fs::path dir;
    ~Cleanup() {
      std::error_code ec;
      if (!dir.empty()) fs::remove_all(dir, ec);
    }
  } cleanup{settings_root};

  for (int e = 0; e < 2; ++e) {
    std::string error;
    if (!probe(config.engines[e], config.labels[e], error)) {
      std::fprintf(stderr, "match: engine %c (%s) does not start: %s\n", 'A' + e,
                   config.engines[e].library.c_str(), error.c_str());
      return 1;
    }
  }
  if (config.labels[0] == config.labels[1]) {
    config.labels[0] += " A";
    config.labels[1] += " B";
  }

  Match match{config};
  match.pdn = std::fopen(config.pdn_path.c_str(), "a");
  if (!match.pdn) {
    std::fprintf(stderr, "match: cannot write %s\n", config.pdn_path.c_str());
    return 1;
  }
  match.live_line = os::is_terminal(stdout);
  std::printf("%s vs %s: %d games, %s, %d at once, games to %s\n", config.labels[0].c_str(),
              config.labels[1].c_str(), config.games, config.setup.time.text().c_str(), config.concurrency,
              config.pdn_path.c_str());
  std::fflush(stdout);

  std::vector<std::thread> workers;
  for (int i = 0; i < config.concurrency; ++i) workers.emplace_back(worker, std::ref(match));
  for (std::thread& t : workers) t.join();
  std::fclose(match.pdn);

  const MatchScore& s = match.score;
  EloEstimate e = elo_estimate(s);
  if (match.live_line) std::printf("\n");
  std::printf("Score of %s vs %s: %.1f - %.1f (+%d -%d =%d), %.1f%%\n", config.labels[0].c_str(),
              config.labels[1].c_str(), s.points(), s.games() - s.points(), s.wins, s.losses, s.draws,
              s.games() ? 100.0 * s.points() / s.games() : 0.0);
  std::printf("Elo difference: %s (95%% interval %s to %s)\n", elo_text(e.elo).c_str(),
              elo_text(e.low).c_str(), elo_text(e.high).c_str());
  // The record is checked the way a reader would take it: every game parsed
  // and replayed under the rules.
  std::ifstream written(config.pdn_path, std::ios::binary);
  std::stringstream text;
  text << written.rdbuf();
  std::vector<PdnGame> games;
  std::string error;
  if (!read_pdn(text.str(), games, error)) {
    std::printf("Games written to %s, which does not read back: %s\n", config.pdn_path.c_str(),
                error.c_str());
    return 1;
  }
  std::printf("Games written to %s (%zu games read back)\n", config.pdn_path.c_str(), games.size());
  return 0;
}
