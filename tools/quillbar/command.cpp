// command: sends one enginecommand line to the engine and prints its reply
// and return value, for users and scripts ("get hashsize", "set book 2").
#include <cstdio>

#include "commands.h"
#include "engine_process.h"
#include "one_engine.h"
#include "options.h"

int run_command(const Args& args) {
  using namespace host;
  OptionCursor opt("command", args);
  std::string library, line;
  while (opt.next()) {
    if (opt.is("--help") || opt.is("-h")) {
      std::fputs("usage: quillbar command [--engine LIBRARY] \"COMMAND LINE\"\n"
                 "  prints the engine's reply, then its return value (1 understood, 0 not)\n",
                 stdout);
      return 0;
    } else if (opt.is("--engine")) {
      if (!opt.value(library)) return 2;
    } else if (line.empty() && !opt.word().empty() && opt.word()[0] != '-') {
      line = opt.word();
    } else {
      return opt.fail("unknown option '" + opt.word() + "' (see quillbar command --help)");
    }
  }
  if (line.empty()) return opt.fail("a command line is needed, e.g. \"get hashsize\"");

  EngineProcess engine;
  if (!start_one_engine("command", library, engine)) return 1;
  CommandReply reply = engine.command(line);
  if (!reply.ok) {
    std::fprintf(stderr, "command: %s\n", reply.text.c_str());
    return 1;
  }
  std::printf("%s\n%d\n", reply.text.c_str(), reply.result);
  return reply.result ? 0 : 1;
}
