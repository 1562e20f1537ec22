// command: sends one enginecommand line to the engine and prints its reply
// and return value, for users and scripts ("get hashsize", "set book 2").
#include <cstdio>

#include "command_line.h"
#include "commands.h"
#include "engine_process.h"
#include "one_engine.h"

int run_command(const Args& args) {
  using namespace host;
  std::string library, line;
  CLI::App app{"Prints the engine's reply, then its return value (1 understood, 0 not).", "quillbar command"};
  cli::describe(app, "usage: quillbar command [--engine LIBRARY] \"COMMAND LINE\"");
  app.add_option("line", line, "one enginecommand line, e.g. \"get hashsize\"");
  app.add_option("--engine", library, "engine library (default engines/libquillbar.so)")
      ->type_name("LIBRARY");
  if (std::optional<int> status = cli::parse(app, args)) return *status;
  if (line.empty()) return cli::refuse("command", "a command line is needed, e.g. \"get hashsize\"");

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
