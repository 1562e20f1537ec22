// analyse: every legal move of a position with the engine's score, best
// first, the moves outside the margin marked (get_best_moves).
#include <cstdio>

#include "commands.h"
#include "engine_process.h"
#include "game.h"
#include "notation.h"
#include "one_engine.h"
#include "options.h"
#include "progress.h"

namespace host {
namespace {

// get_best_moves lists a move that failed the margin with this score, the
// worst for the side to move.
constexpr int EXCLUDED_SCORE = 11000;
constexpr int DEFAULT_MARGIN = 10;

const char* const USAGE =
    "usage: quillbar analyse [--fen FEN] [options]\n"
    "  --fen FEN          position to analyse (default the start)\n"
    "  --time S           seconds (default 1)\n"
    "  --margin M         moves within M of the best count as good (default 10)\n"
    "  --min-depth D      search at least D plies (default 0)\n"
    "  --engine LIBRARY   engine library (default engines/libquillbar.so)\n";

}  // namespace
}  // namespace host

int run_analyse(const Args& args) {
  using namespace host;
  OptionCursor opt("analyse", args);
  std::string value, fen, library;
  double seconds = 1;
  int margin = DEFAULT_MARGIN, min_depth = 0;
  while (opt.next()) {
    if (opt.is("--help") || opt.is("-h")) {
      std::fputs(USAGE, stdout);
      return 0;
    } else if (opt.is("--fen")) {
      if (!opt.value(fen)) return 2;
    } else if (opt.is("--engine")) {
      if (!opt.value(library)) return 2;
    } else if (opt.is("--time")) {
      if (!opt.value(value)) return 2;
      auto t = read_double(value, 0.001, 86400);
      if (!t) return opt.fail("--time wants seconds");
      seconds = *t;
    } else if (opt.is("--margin") || opt.is("--min-depth")) {
      bool is_margin = opt.is("--margin");
      if (!opt.value(value)) return 2;
      auto n = read_int(value, 0, 10000);
      if (!n) return opt.fail("wants a number from 0 to 10000");
      (is_margin ? margin : min_depth) = *n;
    } else {
      return opt.fail("unknown option '" + opt.word() + "' (see quillbar analyse --help)");
    }
  }
  std::optional<qb::FenPosition> parsed = root_position(fen);
  if (!parsed) return opt.fail("cannot read the position '" + fen + "'");
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
    if (own == -EXCLUDED_SCORE) std::printf("  %-10s outside the margin\n", text.c_str());
    else std::printf("  %-10s %+d\n", text.c_str(), own);
  }
  std::printf("%s\n", best.text.c_str());
  return best.result == 0 ? 0 : 1;
}
