// Command-line parsing shared by the programs. Every program and command
// answers --help (or -h) with its usage on standard output and status 0,
// and refuses a mistake the same way: one line naming what is wrong, a
// hint at --help, and status USAGE_ERROR.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// The status of a refused command line, the same in every program.
constexpr int USAGE_ERROR = 2;

std::optional<int> read_int(const std::string& text, int min, int max);
std::optional<double> read_double(const std::string& text, double min, double max);

// A program or command named as its user types it ("tbgen", "quillbar
// play"), whose help starts with `usage` instead of the generated line.
void describe(CLI::App& app, const std::string& usage);

// Parses the arguments after the program's or command's name. Returns the
// status to end with when there is nothing more to do (help was asked for:
// 0; a mistake, already reported: USAGE_ERROR), otherwise nothing.
std::optional<int> parse(CLI::App& app, std::vector<std::string> args);
std::optional<int> parse(CLI::App& app, int argc, char** argv);

// Reports a mistake found after parsing ("play: cannot read ...").
int refuse(const std::string& who, const std::string& message);

// Number options that must lie in [min, max]; any other value is refused
// with `complaint` ("--time wants seconds").
CLI::Option* add_int(CLI::App& app, const std::string& name, int& target, int min, int max,
                     const std::string& complaint, const std::string& help);
CLI::Option* add_double(CLI::App& app, const std::string& name, double& target, double min, double max,
                        const std::string& complaint, const std::string& help);

// An option that may be given again, each time with one value: `take`
// gets each value in command-line order, so options that share a target
// (--time and --tc, --cmd and --cmd-a) keep their order.
CLI::Option* add_each(CLI::App& app, const std::string& name, std::function<void(const std::string&)> take,
                      const std::string& help);

}  // namespace cli
