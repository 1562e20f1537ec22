// quillbar: play, test and compare checkers engines from the terminal.
#include <cstdio>

#include "command_line.h"
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
    {"bench", run_bench,
     "search fixed positions to a fixed depth: bench [--depth N] [--threads N] [--verbose]"},
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"", "quillbar"};
  cli::describe(app, "usage: quillbar <command> [options]");
  app.footer("'quillbar <command> --help' shows a command's options.");
  app.require_subcommand(0, 1);
  // Each command reads its own options: everything after its name goes to it,
  // --help included.
  for (const Command& c : COMMANDS) app.add_subcommand(c.name, c.summary)->prefix_command()->set_help_flag();
  CLI::App* help = app.add_subcommand("help", "show this list");
  if (std::optional<int> status = cli::parse(app, argc, argv)) return *status;
  if (app.get_subcommands().empty()) {
    std::fputs(app.help().c_str(), stderr);
    return cli::USAGE_ERROR;
  }
  CLI::App* chosen = app.get_subcommands().front();
  if (chosen == help) {
    // The whole list: help() would describe the chosen "help" command alone.
    std::fputs(app.get_formatter()->make_help(&app, "quillbar", CLI::AppFormatMode::Normal).c_str(), stdout);
    return 0;
  }
  for (const Command& c : COMMANDS)
    if (chosen->get_name() == c.name) return c.run(chosen->remaining());
  return cli::USAGE_ERROR;
}
