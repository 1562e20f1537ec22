// Sub-commands of the quillbar host program. Each takes the arguments after
// its own name and returns the process exit code.
#pragma once

#include <string>
#include <vector>

using Args = std::vector<std::string>;

int run_perft(const Args& args);
int run_play(const Args& args);
int run_match(const Args& args);
int run_analyse(const Args& args);
int run_move(const Args& args);
int run_command(const Args& args);
int run_engine_server(const Args& args);
int run_bench(const Args& args);
int run_serve(const Args& args);  // only where the web server is built
