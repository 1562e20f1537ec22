// move: one getmove through the engine's exports, as a host makes it; prints
// the move, the result code and the status text.
#include <cstdio>

#include "commands.h"
#include "engine_process.h"
#include "notation.h"
#include "one_engine.h"
#include "options.h"

namespace host {
namespace {

const char* const USAGE =
    "usage: quillbar move [--fen FEN] [options]\n"
    "  --fen FEN          position to move from (default the start)\n"
    "  --time S           seconds (default 1)\n"
    "  --engine LIBRARY   engine library (default engines/libquillbar.so)\n";

const char* const RESULT_NAMES[] = {"draw", "win", "loss", "unknown"};

const char* result_name(int code) { return code >= 0 && code <= 3 ? RESULT_NAMES[code] : "?"; }

}  // namespace
}  // namespace host

int run_move(const Args& args) {
  using namespace host;
  OptionCursor opt("move", args);
  std::string value, fen, library;
  double seconds = 1;
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
    } else {
      return opt.fail("unknown option '" + opt.word() + "' (see quillbar move --help)");
    }
  }
  std::optional<qb::FenPosition> parsed = root_position(fen);
  if (!parsed) return opt.fail("cannot read the position '" + fen + "'");
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
