// move: one getmove through the engine's exports, as a host makes it; prints
// the move, the result code and the status text.
#include <cstdio>

#include "command_line.h"
#include "commands.h"
#include "engine_process.h"
#include "notation.h"
#include "one_engine.h"

namespace host {
namespace {

const char* const RESULT_NAMES[] = {"draw", "win", "loss", "unknown"};

const char* result_name(int code) { return code >= 0 && code <= 3 ? RESULT_NAMES[code] : "?"; }

}  // namespace
}  // namespace host

int run_move(const Args& args) {
  using namespace host;
  std::string fen, library;
  double seconds = 1;
  CLI::App app{"One getmove through the engine's exports: the move, the result code and the status text.",
               "quillbar move"};
  cli::describe(app, "usage: quillbar move [--fen FEN] [options]");
  app.add_option("--fen", fen, "position to move from (default the start)")->type_name("FEN");
  cli::add_double(app, "--time", seconds, 0.001, 86400, "--time wants seconds", "seconds (default 1)")
      ->type_name("S");
  app.add_option("--engine", library, "engine library (default engines/libquillbar.so)")
      ->type_name("LIBRARY");
  if (std::optional<int> status = cli::parse(app, args)) return *status;
  std::optional<qb::FenPosition> parsed = root_position(fen);
  if (!parsed) return cli::refuse("move", "cannot read the position '" + fen + "'");
  const qb::FenPosition root = *parsed;

  EngineProcess engine;
  if (!start_one_engine("move", library, engine)) return 1;
  MoveRequest request;
  request.position = root.position;
  request.side = root.side;
  request.maxtime = seconds;
  limit_fixed_time_move(request, ONE_MOVE_HANG_TIMEOUT);
  MoveReply reply = engine.getmove(request);
  if (!reply.ok) {
    std::fprintf(stderr, "move: %s\n", reply.failure.c_str());
    return 1;
  }
  std::string text;
  for (const LegalMove& m : legal_moves(root.position, root.side))
    if (m.after == reply.after) text = move_notation(m);
  if (text.empty() && !(reply.after == root.position)) {
    std::fprintf(stderr, "move: the engine returned a board no legal move reaches\n");
    return 1;
  }
  std::printf("move %s\nresult %d (%s)\n%s\n", text.empty() ? "none" : text.c_str(), reply.result,
              result_name(reply.result), reply.status.c_str());
  return 0;
}
