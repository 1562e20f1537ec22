// bench: searches a fixed set of positions to a fixed depth. On one thread
// the total node count is a signature of the search: it changes only when
// the search, the evaluation or its weights change, so a refactoring that
// keeps it is one that kept the engine's behaviour. With more threads the
// count varies from run to run; the time to reach each depth, summed over
// the positions, shows what the threads gain.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "board/fen.h"
#include "board/movetext.h"
#include "command_line.h"
#include "commands.h"
#include "eval/weights.h"
#include "interface/base/settings.h"
#include "paths.h"
#include "search/fixed_depth.h"
#include "search/threads.h"

namespace {

constexpr int DEFAULT_DEPTH = 15;
constexpr uint32_t BENCH_HASH_MB = 64;

// Openings, middle games and endings, with and without kings and captures.
const char* const BENCH_POSITIONS[] = {
    "B:W21-32:B1-12",
    "W:W14,15,22,26,28-31:B1,4,5,7-9,12",
    "W:W10,16,26:B1,4,22",
    "W:W18,21,23,24,26-32:B1-9,12,16",
    "B:W11,18,21,23,26-32:B1-5,7-10,12",
    "W:W18,21,26-32:B1-5,8-10,12,23",
    "B:W21,23,25,26,32:B1,3-5,9,13",
    "B:W8,12,21,25,28-32:B1-6,9",
    "W:WK10,23,25,28-31:B1,14",
    "W:W20,22,23,27-29,31:B1,5-8,11-13,16,K30",
    "W:WK4,13,K18,22:BK28",
    "W:W21,22,24-32:B1-6,8,11-14",
    "B:W9,21,24,26-32:B1-6,8,11,12",
    "W:W21,23,24,27-32:B1-4,6,8,11,12,18",
    "B:W19,21,27-30,32:B4,8,11,12,14,16",
    "B:W6,17,19,23,29,30:B8,11,12",
    "B:W14,18,21,25-29,31,32:B1,3-7,12,15,16,20",
    "W:W21,23,29:B1,3,8,12,14,16",
    "W:WK4,21,22,24,26,28-30,32:B1,3,5,7,9,10,16",
    "W:W6,K20,24,28,29:B14,21",
    "W:W19,21,22,24,25,27-32:B1-7,9-12",
    "B:W19,21-26,28-30,32:B1-7,9,10,12,15",
    "W:W19,21-30:B1-3,5-10,15,16",
    "B:WK3,12,17,22,25-30:B1,2,6,9,10,14-16",
    "B:W8,22,24,25,29,30:B1,9,15,16,21,K32",
    "B:W17,19,20,23,25-27,29,30,32:B1-3,5,6,8,11,12,14,18",
    "W:WK4,5,19,21,22,24,26,27,29:B1,2,10,12,14",
    "W:WK10,K12,24:B23,K26,K29",
    "W:W18,21,22,27-31:B1-4,6,13,16,19,20",
    "W:W18,29:B8,17,24",
    "W:W17,23-32:B1-9,12,16,21",
    "B:W15,17,22,23,25,27-32:B1-9,12,21",
    "W:W17,22,23,25,27-32:B1-3,5-7,9,11,12,21",
    "B:W19,22,25,28-31:B1,3,5,9,10,16,21",
    "B:W17,25,28:B3,5,6,14,19,K23",
    "B:W13,19-22,25,28,29,31,32:B1,2,4,6-10,12",
    "W:W13,15,22,23,25,29:B2,4,5,7,9",
    "W:WK3,5,13,15,21:BK31",
    "B:WK27:BK1,K5",
    "W:W28,32:B9,K14",
    "B:W25,26,30:B5,6,K15",
};

// The weights the engine would use: engines/ in the current directory, as
// the engine looks for them, else engines/ beside this program.
std::string load_engine_weights() {
  namespace fs = std::filesystem;
  std::error_code ec;
  std::string dirs[] = {"engines/", (fs::path(host::executable_dir()) / "engines/").string()};
  for (const std::string& dir : dirs)
    if (fs::exists(dir + qb::KINGS_WEIGHTS_FILE, ec) && qb::load_weights(dir.c_str())) return dir;
  return "";
}

struct BenchLine {
  uint64_t nodes;
  int value;
  std::string move;
};

using Clock = std::chrono::steady_clock;

// Seconds from the start of a position's search to the end of each
// iteration, summed over the positions.
struct DepthTimes {
  double seconds[qb::DEPTH_CAP + 1] = {};
  bool reached[qb::DEPTH_CAP + 1] = {};
};

BenchLine search_one(const qb::FenPosition& root, int depth, DepthTimes& times) {
  const auto start = Clock::now();
  const qb::FixedDepthResult r = qb::search_fixed_depth(
      qb::FixedDepthRequest{.root = root.position, .side = root.side, .depth = depth},
      [&](const qb::DeepeningResult& done) {
        times.seconds[done.depth] += std::chrono::duration<double>(Clock::now() - start).count();
        times.reached[done.depth] = true;
      });
  if (r.move_count == 0) return BenchLine{0, 0, "none"};
  char text[qb::MOVE_TEXT_SIZE];
  qb::move_text(text, root.position, r.best);
  return BenchLine{r.nodes, r.value, text};
}

}  // namespace

int run_bench(const Args& args) {
  int depth = DEFAULT_DEPTH;
  int threads = 1;
  bool verbose = false;
  CLI::App app{
      "Searches fixed positions to a fixed depth; prints the time to each depth, the speed "
      "and the node signature.",
      "quillbar bench"};
  cli::describe(app, "usage: quillbar bench [--depth N] [--threads N] [--verbose]");
  const std::string most_depth = std::to_string(qb::DEPTH_CAP);
  const std::string most_threads = std::to_string(qb::MAX_SEARCH_THREADS);
  cli::add_int(app, "--depth", depth, 1, qb::DEPTH_CAP, "--depth wants a number from 1 to " + most_depth,
               "plies searched (default " + std::to_string(DEFAULT_DEPTH) + ")");
  cli::add_int(app, "--threads", threads, 1, qb::MAX_SEARCH_THREADS,
               "--threads wants a number from 1 to " + most_threads,
               "search threads (default 1; only one repeats the signature)");
  app.add_flag("--verbose", verbose, "a line for each position: its move, value and nodes");
  if (std::optional<int> status = cli::parse(app, args)) return *status;
  // A fresh table of a fixed size and one thread make the count repeatable.
  threads = qb::start_search_threads(threads);
  qb::g_settings.searchthreads.store(threads);
  qb::start_unhosted_searches(BENCH_HASH_MB);
  std::string weights = load_engine_weights();
  std::printf("Weights: %s\n", weights.empty() ? "none found, material only" : weights.c_str());

  uint64_t total = 0;
  DepthTimes times;
  auto start = Clock::now();
  for (const char* text : BENCH_POSITIONS) {
    auto root = qb::parse_fen(text);
    if (!root) {
      std::fprintf(stderr, "bench: bad position '%s'\n", text);
      return 1;
    }
    BenchLine line = search_one(*root, depth, times);
    total += line.nodes;
    if (verbose)
      std::printf("%-40s %-6s %6d %12" PRIu64 "\n", text, line.move.c_str(), line.value, line.nodes);
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  qb::stop_search_threads();
  std::printf("Positions: %zu, depth %d, threads %d\n", std::size(BENCH_POSITIONS), depth, threads);
  // Seconds from each search's start to the end of the iteration, summed.
  for (int d = 1; d <= depth; ++d)
    if (times.reached[d]) std::printf("Depth %2d: %.3f s\n", d, times.seconds[d]);
  std::printf("Time: %.3f s\n", seconds);
  std::printf("Nodes/second: %.0f\n", seconds > 0 ? total / seconds : 0.0);
  std::printf("Bench: %" PRIu64 "\n", total);
  return 0;
}
