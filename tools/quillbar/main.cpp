// quillbar: play, test and compare checkers engines from the terminal.
#include <cstdio>
#include <cstring>

#include "commands.h"

namespace {

struct Command {
  const char* name;
  int (*run)(const Args&);
  const char* summary;
};

const Command COMMANDS[] = {
    {"perft", run_perft, "count leaf positions: perft [--fen FEN] [--depth N] [--divide]"},
    {"play", run_play, "play the engine in the terminal: play [--white] [--self] [--time S]"},
    {"match", run_match, "engine against engine over an opening deck: match [LIB_A [LIB_B]]"},
#ifdef QB_WEB_SERVER
    {"serve", run_serve, "the board in the browser: serve [--port N] [--open] [--time S]"},
#endif
    {"analyse", run_analyse, "score every move of a position: analyse --fen FEN [--time S] [--margin M]"},
    {"move", run_move, "one getmove through the exports: move [--fen FEN] [--time S]"},
    {"command", run_command, "send one enginecommand line: command \"get hashsize\""},
    {"engine-server", run_engine_server, "serve one engine library on stdin/stdout (internal)"},
    {"bench", run_bench, "search fixed positions to a fixed depth: bench [--depth N] [--threads N] [--verbose]"},
};

// Asked for, the usage goes to standard output and is no error; after a
// mistake it goes to standard error with status 2.
int usage(std::FILE* out, int status) {
  std::fprintf(out, "usage: quillbar <command> [options]\n\ncommands:\n");
  for (const Command& c : COMMANDS) std::fprintf(out, "  %-14s %s\n", c.name, c.summary);
  std::fprintf(out, "\n'quillbar <command> --help' shows a command's options.\n");
  return status;
}

bool asks_for_help(const char* word) {
  return std::strcmp(word, "--help") == 0 || std::strcmp(word, "-h") == 0 ||
         std::strcmp(word, "help") == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage(stderr, 2);
  if (asks_for_help(argv[1])) return usage(stdout, 0);
  for (const Command& c : COMMANDS) {
    if (std::strcmp(argv[1], c.name) == 0) return c.run(Args(argv + 2, argv + argc));
  }
  std::fprintf(stderr, "quillbar: unknown command '%s'\n", argv[1]);
  return usage(stderr, 2);
}
