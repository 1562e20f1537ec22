// selfplay: plays engine games at a fixed depth and writes their quiet
// positions with the game results and the search's values, for the trainer.
//
// The search keeps its state in engine-wide tables, so games run in forked
// worker processes, one search thread each. The games are played in chunks
// (selfplay_chunks.h), each written when it is finished, so that a run of
// many hours resumes where it stopped; every game draws its random moves
// from its own number, so a resumed run writes the same file. Workers report
// each finished game through a pipe; the parent draws the progress bar and
// joins the chunks into one file at the end.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "board/fen.h"
#include "command_line.h"
#include "endgame/databases.h"
#include "eval/weights.h"
#include "interface/base/setting_text.h"
#include "interface/base/settings.h"
#include "notation.h"
#include "openings.h"
#include "search/fixed_depth.h"
#include "train/progress.h"
#include "train/selfplay_chunks.h"
#include "train/selfplay_game.h"
#include "train/training_data.h"

namespace {

using namespace qb::train;

constexpr uint32_t WORKER_HASH_MB = 16;
constexpr int WORKER_DB_CACHE_MB = 64;

struct Options {
  std::string out, weights = "engines/", deck = "openings/three-move-deck.txt", databases;
  int games = 1000, chunk_games = 100, workers = int(std::max(1u, std::thread::hardware_concurrency()));
  uint32_t seed = 1;
  SelfPlaySettings play;
};

// Reads the command line into `o`; returns the status to end with when
// there is nothing to play (help asked for, or a mistake).
std::optional<int> parse(int argc, char** argv, Options& o) {
  constexpr int MOST = std::numeric_limits<int>::max();
  CLI::App app{"Plays engine games at a fixed depth and writes their positions as training data.",
               "selfplay"};
  cli::describe(app, "usage: selfplay --out FILE [options]");
  app.add_option("--out", o.out, "the training data file")->type_name("FILE")->required();
  cli::add_int(app, "--games", o.games, 1, MOST, "--games wants a positive number",
               "games to play (default 1000)");
  cli::add_int(app, "--depth", o.play.depth, 1, MOST, "--depth wants a positive number",
               "plies searched per move (default 6)")
      ->type_name("D");
  cli::add_int(app, "--random-plies", o.play.random_plies, 0, MOST, "--random-plies wants 0 or more",
               "up to R random moves after the opening (default 4)")
      ->type_name("R");
  cli::add_int(app, "--workers", o.workers, 1, MOST, "--workers wants a positive number",
               "worker processes (default: the number of cores)")
      ->type_name("W");
  app.add_option("--weights", o.weights, "weights directory (default engines/)")->type_name("DIR");
  app.add_option("--openings", o.deck, "opening deck (default openings/three-move-deck.txt)")
      ->type_name("FILE");
  app.add_option("--seed", o.seed, "random seed (default 1)")->type_name("S");
  cli::add_int(app, "--chunk", o.chunk_games, 1, MOST, "--chunk wants a positive number",
               "games per chunk, the unit a resumed run skips (default 100)");
  app.add_option("--databases", o.databases,
                 "win/loss/draw endgame databases: games end at the first position they cover, with "
                 "its proven result (default: none)")
      ->type_name("DIR");
  if (std::optional<int> status = cli::parse(app, argc, argv)) return status;
  if (o.out.empty()) return cli::refuse("selfplay", "--out needs a file name");
  if (!o.weights.empty() && o.weights.back() != '/') o.weights += '/';
  return std::nullopt;
}

// What a resumed run must share with the run it continues.
ChunkPlan chunk_plan(const Options& o) {
  std::string shape = "depth " + std::to_string(o.play.depth) + "\nrandom-plies " +
                      std::to_string(o.play.random_plies) + "\nseed " + std::to_string(o.seed) +
                      "\nweights " + o.weights + "\nopenings " + o.deck + "\ndatabases " + o.databases;
  return ChunkPlan{o.out, o.games, o.chunk_games, shape};
}

// The position an opening leads to; its moves were checked when the deck was read.
qb::Position opening_position(const host::Opening& opening, qb::Side& side) {
  qb::Position p = qb::start_position();
  side = qb::BLACK;
  for (const std::string& move : opening.notation) {
    auto legal = host::legal_moves(p, side);
    p = legal[host::find_move(move, legal).index].after;
    side = qb::opponent_of(side);
  }
  return p;
}

// The databases' verdict on a quiet position they cover, as a game result.
bool database_label(const qb::Position& p, qb::Side side, Result& result) {
  if (!qb::within_wld_limits(p)) return false;
  int mover_wins = side == qb::BLACK ? BLACK_WINS : WHITE_WINS;
  switch (qb::driver_lookup(qb::g_wld.handle, p, side, false)) {
    case qb::WLD_WIN:
      result = Result(mover_wins);
      return true;
    case qb::WLD_LOSS:
      result = Result(BLACK_WINS - mover_wins);
      return true;
    case qb::WLD_DRAW:
      result = DRAWN;
      return true;
    default:
      return false;
  }
}

// Opens the databases the way the engine does, so that the searches probe
// them too; the engine allocates its hash table anew on the way, of the
// same size.
bool open_worker_databases(const std::string& dir) {
  qb::g_settings.hashsize.store(WORKER_HASH_MB);
  qb::g_settings.dbmbytes.store(WORKER_DB_CACHE_MB);
  qb::set_text_setting(qb::g_settings.dbpath, dir);
  qb::g_database_waits = qb::DatabaseWaits{0, 0, 0};
  char status[1024] = "";
  qb::init_databases(status);
  return qb::g_wld.handle != nullptr;
}

// Plays the chunks `todo[worker]`, `todo[worker + W]`, ...; after each game
// writes the number of positions it gave to `report`.
int run_worker(const Options& o, const std::vector<host::Opening>& deck, const ChunkPlan& plan,
               const std::vector<int>& todo, int worker, int report) {
  qb::g_settings.searchthreads.store(1);
  qb::start_unhosted_searches(WORKER_HASH_MB);
  if (!o.databases.empty() && !open_worker_databases(o.databases)) {
    std::fprintf(stderr, "selfplay: cannot open the databases in %s\n", o.databases.c_str());
    return 1;
  }
  if (!qb::load_weights(o.weights.c_str())) {
    std::fprintf(stderr, "selfplay: cannot load weights from %s\n", o.weights.c_str());
    return 1;
  }
  SelfPlaySettings play = o.play;
  if (!o.databases.empty()) play.exact_label = database_label;
  for (size_t i = size_t(worker); i < todo.size(); i += size_t(o.workers)) {
    const int chunk = todo[i];
    std::vector<TrainingPosition> positions;
    for (int g = plan.first_game(chunk); g < plan.end_game(chunk); ++g) {
      std::mt19937 random(o.seed * 7919u + uint32_t(g));
      qb::Side side;
      qb::Position start = opening_position(deck[size_t(g) % deck.size()], side);
      size_t before = positions.size();
      play_selfplay_game(start, side, play, random, positions);
      int32_t gave = int32_t(positions.size() - before);
      if (write(report, &gave, sizeof gave) != sizeof gave) return 1;
    }
    std::string error;
    if (!write_training_file(plan.chunk_path(chunk), positions, &error)) {
      std::fprintf(stderr, "selfplay: %s\n", error.c_str());
      return 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (std::optional<int> status = parse(argc, argv, o)) return *status;
  std::vector<host::Opening> deck;
  std::string error;
  if (!host::load_openings(o.deck, deck, error) || deck.empty()) {
    std::fprintf(stderr, "selfplay: %s\n", error.empty() ? "empty deck" : error.c_str());
    return 1;
  }
  ChunkPlan plan = chunk_plan(o);
  if (!start_or_resume(plan, error)) {
    std::fprintf(stderr, "selfplay: %s\n", error.c_str());
    return 1;
  }
  const std::vector<int> todo = missing_chunks(plan);
  long already = 0;
  for (int c = 0; c < plan.chunks(); ++c) already += plan.end_game(c) - plan.first_game(c);
  for (int c : todo) already -= plan.end_game(c) - plan.first_game(c);
  if (already > 0) std::fprintf(stderr, "selfplay: resuming, %ld of %d games done\n", already, o.games);

  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return 1;
  std::vector<pid_t> children;
  for (int w = 0; w < o.workers; ++w) {
    pid_t pid = fork();
    if (pid == 0) {
      close(pipe_ends[0]);
      _exit(run_worker(o, deck, plan, todo, w, pipe_ends[1]));
    }
    if (pid > 0) children.push_back(pid);
  }
  close(pipe_ends[1]);
  const auto start = std::chrono::steady_clock::now();
  ProgressBar bar("games", o.games, already);
  long positions_now = 0, games_now = 0;
  int32_t gave;
  while (read(pipe_ends[0], &gave, sizeof gave) == sizeof gave) {
    positions_now += gave;
    ++games_now;
    bar.advance();
  }
  bar.finish();
  bool failed = false;
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    failed |= !WIFEXITED(status) || WEXITSTATUS(status) != 0;
  }
  long total = failed ? -1 : join_chunks(plan, error);
  if (total < 0) {
    std::fprintf(stderr, "selfplay: %s\n",
                 error.empty() ? "a worker failed; run again to resume" : error.c_str());
    return 1;
  }
  double hours = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / 3600;
  std::printf(
      "%ld positions from %d games in %s; this run: %ld games, %ld positions, %.0f positions an hour\n",
      total, o.games, o.out.c_str(), games_now, positions_now, hours > 0 ? positions_now / hours : 0.0);
  return 0;
}
