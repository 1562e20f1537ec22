// tbgen: builds, checks and times endgame databases.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <limits>
#include <string>
#include <thread>

#include "board/bitops.h"
#include "command_line.h"
#include "gen/commands.h"
#ifdef QB_MPI
#include "gen/mpi_build.h"
#endif
#include "material.h"
#include "platform/shared.h"

namespace {

constexpr int DEFAULT_LOOKUPS = 5000000;
constexpr int DEFAULT_CACHE_MB = 512;
constexpr int MAX_THREADS = 1024;

void add_threads(CLI::App& command, int& threads) {
  cli::add_int(command, "-j", threads, 1, MAX_THREADS,
               "-j wants 1 to " + std::to_string(MAX_THREADS) + " threads",
               "threads (default: the number of cores)")
      ->type_name("THREADS");
}

}  // namespace

int main(int argc, char** argv) {
  qb::init_popcount(qb::platform::cpu_info().popcnt);
  tb::BuildOptions build;
  build.threads = int(std::max(1u, std::thread::hardware_concurrency()));
  std::string dir;
  int lookups = DEFAULT_LOOKUPS;
  int cache_mb = DEFAULT_CACHE_MB;
  int keep_mb = 0;  // as suits the kind read

  CLI::App app{"Builds, checks and times endgame databases.", "tbgen"};
  cli::describe(app, "usage: tbgen <command> [options]");
  app.footer("'tbgen <command> --help' shows a command's options.");
  app.require_subcommand(1);

  CLI::App* build_command =
      app.add_subcommand("build", "builds every slice of up to PIECES pieces (resumes an interrupted build)");
  cli::describe(
      *build_command,
      "usage: tbgen build -n PIECES [--wld DIR] [--dtw DIR] [--mtc DIR] [-j THREADS] [--wide] [--keep MB]");
  cli::add_int(*build_command, "-n", build.pieces, 2, tb::MAX_PIECES,
               "-n wants 2 to " + std::to_string(tb::MAX_PIECES) + " pieces", "pieces at most")
      ->type_name("PIECES")
      ->required();
  build_command->add_option("--wld", build.wld_dir, "win/loss/draw tables go here")->type_name("DIR");
  build_command->add_option("--dtw", build.dtw_dir, "distance-to-win tables go here")->type_name("DIR");
  build_command->add_option("--mtc", build.mtc_dir, "moves-to-conversion tables go here")->type_name("DIR");
  add_threads(*build_command, build.threads);
  build_command->add_flag("--wide", build.wide_values, "store distances in 16 bits even where 8 would do");
  cli::add_int(*build_command, "--keep", keep_mb, 1, std::numeric_limits<int>::max(),
               "--keep wants a positive number of megabytes",
               "megabytes of finished tables kept loaded for later units (default 1024, 4096 when "
               "distances are read)")
      ->type_name("MB");

  CLI::App* verify_command = app.add_subcommand(
      "verify", "checks every table file and that every stored value follows from its moves");
  cli::describe(*verify_command, "usage: tbgen verify DIR [-j THREADS]");
  verify_command->footer("Names each table file missing or damaged, and counts the values of each slice.");
  verify_command->add_option("DIR", dir, "database folder")->required();
  add_threads(*verify_command, build.threads);

  CLI::App* bench_command = app.add_subcommand("bench", "lookups per second with a cold and a warm cache");
  cli::describe(*bench_command, "usage: tbgen bench DIR [-n LOOKUPS] [--cache MB] [-j THREADS]");
  bench_command->add_option("DIR", dir, "database folder")->required();
  cli::add_int(*bench_command, "-n", lookups, 1, std::numeric_limits<int>::max(),
               "-n wants a positive number of lookups", "lookups (default 5000000)")
      ->type_name("LOOKUPS");
  cli::add_int(*bench_command, "--cache", cache_mb, 1, std::numeric_limits<int>::max(),
               "--cache wants a positive number of megabytes", "cache size (default 512)")
      ->type_name("MB");
  add_threads(*bench_command, build.threads);

  if (std::optional<int> status = cli::parse(app, argc, argv)) return *status;
  try {
    if (build_command->parsed()) {
      build.memory_budget = uint64_t(keep_mb) << 20;
#ifdef QB_MPI
      return tb::run_build_mpi(build);
#else
      return tb::run_build(build);
#endif
    }
    if (verify_command->parsed()) return tb::run_verify(dir, build.threads);
    return tb::run_bench(dir, lookups, cache_mb, build.threads);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "\ntbgen: %s\n", e.what());
    return 1;
  }
}
