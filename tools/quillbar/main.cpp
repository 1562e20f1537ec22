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
    {"bench", run_bench, "search fixed positions to a fixed depth: bench [--depth N] [--verbose]"},
};

int usage() {
  std::fprintf(stderr, "usage: quillbar <command> [options]\n\ncommands:\n");
  for (const Command& c : COMMANDS) std::fprintf(stderr, "  %-8s %s\n", c.name, c.summary);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  for (const Command& c : COMMANDS) {
    if (std::strcmp(argv[1], c.name) == 0) return c.run(Args(argv + 2, argv + argc));
  }
  std::fprintf(stderr, "quillbar: unknown command '%s'\n", argv[1]);
  return usage();
}
