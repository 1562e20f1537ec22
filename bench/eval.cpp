// Evaluations per second over a fixed set of positions from random games,
// for each gather path the processor can run. Weights are random (the speed
// does not depend on their values), written to a temporary folder and loaded
// as the engine loads them.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

#include "board/fen.h"
#include "board/movegen.h"
#include "eval/gather.h"
#include "eval/weights.h"
#include "weights/weights_writer.h"

namespace {
using namespace qb;

struct Sample {
  Position p;
  Side side;
};

std::vector<Sample> random_game_positions(int games, std::mt19937& rng) {
  std::vector<Sample> out;
  for (int g = 0; g < games; ++g) {
    Position p = start_position();
    Side side = BLACK;
    for (int ply = 0; ply < 150; ++ply) {
      MoveList list;
      if (generate_moves(p, list, side) == 0) break;
      out.push_back({p, side});
      p = list.moves[rng() % list.count];
      side = opponent_of(side);
    }
  }
  return out;
}

bool load_random_weights(std::mt19937& rng) {
  auto w = std::make_unique<EvalWeights>();
  std::uniform_int_distribution<int> value(-2000, 2000);
  auto* pairs = reinterpret_cast<WeightPair*>(w.get());
  for (std::size_t i = 0; i < sizeof *w / sizeof(WeightPair); ++i)
    pairs[i] = {int16_t(value(rng)), int16_t(value(rng))};
  w->kings.scalars[MEN] = w->no_kings.scalars[MEN] = BUILTIN_SCALARS[MEN];
  std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("qb-bench-" + std::to_string(rng()));
  std::error_code made;
  if (!std::filesystem::create_directory(folder, made)) return false;  // new, or none
  std::string dir = (folder / "").string();
  bool ok = weights::write_weights_files(dir, *w, nullptr) && load_weights(dir.c_str());
  std::filesystem::remove_all(dir);
  return ok;
}

void run(const char* name, GatherPath path, const std::vector<Sample>& samples, int rounds) {
  long long sum = 0;
  auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < rounds; ++r)
    for (const Sample& s : samples) {
      PieceSummary summary = make_piece_summary(s.p);
      sum += evaluate_by(path, s.p, s.side, summary);
    }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  double evals = double(rounds) * double(samples.size());
  std::printf("%-9s %10.0f evaluations/s (%.0f in %.2f s, checksum %lld)\n", name, evals / seconds, evals,
              seconds, sum);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 100;
  std::mt19937 rng(12345);
  if (!load_random_weights(rng)) {
    std::fprintf(stderr, "bench_eval: cannot write or load weights\n");
    return 1;
  }
  std::vector<Sample> samples = random_game_positions(1000, rng);
  std::printf("%zu positions x %d rounds (summary and evaluation)\n", samples.size(), rounds);
  run("portable", GatherPath::PORTABLE, samples, rounds);
  if (platform::cpu_info().bmi2) run("pext", GatherPath::PEXT, samples, rounds);
  else std::printf("pext      not available on this processor\n");
  return 0;
}
