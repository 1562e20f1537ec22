// selfplay: plays engine games at a fixed depth and writes their quiet
// positions with the game results, for the trainer.
//
// The search keeps its state in engine-wide tables, so games run in forked
// worker processes, one search thread each. Workers write their own part
// files and report each finished game through a pipe; the parent draws the
// progress bar and joins the parts into one file at the end.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "board/fen.h"
#include "endgame/databases.h"
#include "eval/weights.h"
#include "interface/base/setting_text.h"
#include "interface/base/settings.h"
#include "interface/base/stop.h"
#include "notation.h"
#include "openings.h"
#include "search/tt.h"
#include "train/progress.h"
#include "train/selfplay_game.h"
#include "train/training_data.h"

namespace {

using namespace qb::train;

constexpr uint32_t WORKER_HASH_MB = 16;
constexpr int WORKER_DB_CACHE_MB = 64;

const char* const USAGE =
    "usage: selfplay --out FILE [options]\n"
    "  --games N          games to play (default 1000)\n"
    "  --depth D          plies searched per move (default 6)\n"
    "  --random-plies R   up to R random moves after the opening (default 4)\n"
    "  --workers W        worker processes (default: the number of cores)\n"
    "  --weights DIR      weights directory (default engines/)\n"
    "  --openings FILE    opening deck (default openings/three-move-deck.txt)\n"
    "  --seed S           random seed (default 1)\n"
    "  --databases DIR    win/loss/draw endgame databases: games end at the first\n"
    "                     position they cover, with its proven result (default: none)\n";

struct Options {
  std::string out, weights = "engines/", deck = "openings/three-move-deck.txt", databases;
  int games = 1000, workers = int(std::max(1u, std::thread::hardware_concurrency()));
  uint32_t seed = 1;
  SelfPlaySettings play;
};

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (i + 1 >= argc) return false;
    std::string v = argv[++i];
    if (a == "--out") o.out = v;
    else if (a == "--games") o.games = std::atoi(v.c_str());
    else if (a == "--depth") o.play.depth = std::atoi(v.c_str());
    else if (a == "--random-plies") o.play.random_plies = std::atoi(v.c_str());
    else if (a == "--workers") o.workers = std::atoi(v.c_str());
    else if (a == "--weights") o.weights = v.back() == '/' ? v : v + "/";
    else if (a == "--openings") o.deck = v;
    else if (a == "--seed") o.seed = uint32_t(std::strtoul(v.c_str(), nullptr, 10));
    else if (a == "--databases") o.databases = v;
    else return false;
  }
  return !o.out.empty() && o.games > 0 && o.workers > 0 && o.play.depth > 0 &&
         o.play.random_plies >= 0;
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
    case qb::WLD_WIN: result = Result(mover_wins); return true;
    case qb::WLD_LOSS: result = Result(BLACK_WINS - mover_wins); return true;
    case qb::WLD_DRAW: result = DRAWN; return true;
    default: return false;
  }
}

// Opens the databases the way the engine does, so that the searches probe
// them too; the hash table is allocated on the way.
bool open_worker_databases(const std::string& dir) {
  qb::g_settings.hashsize.store(WORKER_HASH_MB);
  qb::g_settings.dbmbytes.store(WORKER_DB_CACHE_MB);
  qb::set_text_setting(qb::g_settings.dbpath, dir);
  qb::g_database_waits = qb::DatabaseWaits{0, 0, 0};
  char status[1024] = "";
  qb::init_databases(status);
  return qb::g_wld.handle != nullptr;
}

std::string part_path(const Options& o, int worker) { return o.out + ".part" + std::to_string(worker); }

// Plays games worker, worker + W, worker + 2W, ...; writes a byte to `report`
// after each.
int run_worker(const Options& o, const std::vector<host::Opening>& deck, int worker, int report) {
  qb::g_settings.searchthreads.store(1);
  qb::publish_stop_flag(nullptr);
  qb::tt_free();
  if (o.databases.empty()) {
    qb::tt_allocate(WORKER_HASH_MB);
  } else if (!open_worker_databases(o.databases)) {
    std::fprintf(stderr, "selfplay: cannot open the databases in %s\n", o.databases.c_str());
    return 1;
  }
  if (!qb::load_weights(o.weights.c_str())) {
    std::fprintf(stderr, "selfplay: cannot load weights from %s\n", o.weights.c_str());
    return 1;
  }
  SelfPlaySettings play = o.play;
  if (!o.databases.empty()) play.exact_label = database_label;
  std::mt19937 random(o.seed * 7919u + uint32_t(worker));
  std::vector<TrainingPosition> positions;
  for (int g = worker; g < o.games; g += o.workers) {
    qb::Side side;
    qb::Position start = opening_position(deck[size_t(g) % deck.size()], side);
    play_selfplay_game(start, side, play, random, positions);
    char done = 1;
    if (write(report, &done, 1) != 1) return 1;
  }
  std::string error;
  if (!write_training_file(part_path(o, worker), positions, &error)) {
    std::fprintf(stderr, "selfplay: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, o)) {
    std::fputs(USAGE, stderr);
    return 2;
  }
  std::vector<host::Opening> deck;
  std::string error;
  if (!host::load_openings(o.deck, deck, error) || deck.empty()) {
    std::fprintf(stderr, "selfplay: %s\n", error.empty() ? "empty deck" : error.c_str());
    return 1;
  }
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return 1;
  std::vector<pid_t> children;
  for (int w = 0; w < o.workers; ++w) {
    pid_t pid = fork();
    if (pid == 0) {
      close(pipe_ends[0]);
      _exit(run_worker(o, deck, w, pipe_ends[1]));
    }
    if (pid > 0) children.push_back(pid);
  }
  close(pipe_ends[1]);
  ProgressBar bar("games", o.games);
  char byte;
  while (read(pipe_ends[0], &byte, 1) == 1) bar.advance();
  bar.finish();
  bool failed = false;
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    failed |= !WIFEXITED(status) || WEXITSTATUS(status) != 0;
  }
  std::vector<TrainingPosition> all;
  for (int w = 0; w < o.workers && !failed; ++w) {
    failed |= !read_training_file(part_path(o, w), all, &error);
    std::remove(part_path(o, w).c_str());
  }
  if (failed || !write_training_file(o.out, all, &error)) {
    std::fprintf(stderr, "selfplay: %s\n", error.empty() ? "a worker failed" : error.c_str());
    return 1;
  }
  std::printf("%zu positions from %d games in %s\n", all.size(), o.games, o.out.c_str());
  return 0;
}
