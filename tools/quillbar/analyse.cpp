// analyse: every legal move of a position with the engine's score, best
// first, the moves outside the margin marked (get_best_moves).
#include <cstdio>

#include "command_line.h"
#include "commands.h"
#include "engine_process.h"
#include "game.h"
#include "notation.h"
#include "one_engine.h"
#include "progress.h"
#include "search/score.h"  // the mark get_best_moves gives a move outside the margin

namespace host {
namespace {

constexpr int DEFAULT_MARGIN = 10;

}  // namespace
}  // namespace host

int run_analyse(const Args& args) {
  using namespace host;
  std::string fen, library;
  double seconds = 1;
  int margin = DEFAULT_MARGIN, min_depth = 0;
  CLI::App app{"Every legal move of a position with the engine's score, best first.", "quillbar analyse"};
  cli::describe(app, "usage: quillbar analyse [--fen FEN] [options]");
  app.add_option("--fen", fen, "position to analyse (default the start)")->type_name("FEN");
  cli::add_double(app, "--time", seconds, 0.001, 86400, "--time wants seconds", "seconds (default 1)")
      ->type_name("S");
  cli::add_int(app, "--margin", margin, 0, 10000, "--margin wants a number from 0 to 10000",
               "moves within M of the best count as good (default 10)")
      ->type_name("M");
  cli::add_int(app, "--min-depth", min_depth, 0, 10000, "--min-depth wants a number from 0 to 10000",
               "search at least D plies (default 0)")
      ->type_name("D");
  app.add_option("--engine", library, "engine library (default engines/libquillbar.so)")
      ->type_name("LIBRARY");
  if (std::optional<int> status = cli::parse(app, args)) return *status;
  std::optional<qb::FenPosition> parsed = root_position(fen);
  if (!parsed) return cli::refuse("analyse", "cannot read the position '" + fen + "'");
  const qb::FenPosition root = *parsed;

  EngineProcess engine;
  if (!start_one_engine("analyse", library, engine)) return 1;
  std::printf("%s\n", qb::position_text(root.position, root.side).c_str());
  BestMoves best = engine.best_moves(root.position, root.side, seconds, margin, min_depth);
  if (!best.ok) {
    std::fprintf(stderr, "analyse: %s\n", best.failure.c_str());
    return 1;
  }
  // The engine scores from Black's side; the list shows them from the side
  // to move's, so that the best move has the highest score for either colour.
  const char* mover = side_name(root.side);
  std::printf("Scores from %s's side (%s to move): higher is better for %s.\n", mover, mover, mover);
  std::vector<LegalMove> moves = legal_moves(root.position, root.side);
  for (const auto& [after, score] : best.moves) {
    std::string text = "?";
    for (const LegalMove& m : moves)
      if (m.after == after) text = move_notation(m);
    int own = value_for(score, root.side);
    if (own == -qb::EXCLUDED_SCORE) std::printf("  %-10s outside the margin\n", text.c_str());
    else std::printf("  %-10s %+d\n", text.c_str(), own);
  }
  std::printf("%s\n", best.text.c_str());
  return best.result == 0 ? 0 : 1;
}
