// tbgen: builds, checks and times endgame databases.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <thread>

#include "gen/commands.h"
#ifdef QB_MPI
#include "gen/mpi_build.h"
#endif
#include "material.h"

namespace {

const char* USAGE =
    "usage:\n"
    "  tbgen build -n PIECES [--wld DIR] [--dtw DIR] [--mtc DIR] [-j THREADS] [--wide]\n"
    "      builds every slice of up to PIECES pieces (resumes an interrupted build);\n"
    "      --wide stores distances in 16 bits even where 8 would do\n"
    "  tbgen verify DIR [-j THREADS]\n"
    "      checks every table file whole, naming each one missing or damaged, and\n"
    "      that every stored value follows from its moves; counts per slice\n"
    "  tbgen bench DIR [-n LOOKUPS] [--cache MB] [-j THREADS]\n"
    "      lookups per second with a cold and a warm cache\n";

int usage() {
  std::fputs(USAGE, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  std::string command = argv[1];
  tb::BuildOptions build;
  build.threads = int(std::thread::hardware_concurrency());
  if (build.threads < 1) build.threads = 1;
  std::string dir;
  long count = 5000000;
  int cache_mb = 512;
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    bool has_value = i + 1 < argc;
    if (a == "-n" && has_value) {
      count = std::atol(argv[++i]);
      build.pieces = int(count);
    } else if (a == "-j" && has_value) {
      build.threads = std::atoi(argv[++i]);
    } else if (a == "--wld" && has_value) {
      build.wld_dir = argv[++i];
    } else if (a == "--dtw" && has_value) {
      build.dtw_dir = argv[++i];
    } else if (a == "--mtc" && has_value) {
      build.mtc_dir = argv[++i];
    } else if (a == "--wide") {
      build.wide_values = true;
    } else if (a == "--cache" && has_value) {
      cache_mb = std::atoi(argv[++i]);
    } else if (a[0] != '-' && dir.empty()) {
      dir = a;
    } else {
      return usage();
    }
  }
  if (build.threads < 1) build.threads = 1;
  try {
    if (command == "build") {
      if (build.pieces < 2 || build.pieces > tb::MAX_PIECES || !dir.empty()) return usage();
#ifdef QB_MPI
      return tb::run_build_mpi(build);
#else
      return tb::run_build(build);
#endif
    }
    if (command == "verify" && !dir.empty()) return tb::run_verify(dir, build.threads);
    if (command == "bench" && !dir.empty() && count > 0)
      return tb::run_bench(dir, count, cache_mb, build.threads);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "\ntbgen: %s\n", e.what());
    return 1;
  }
  return usage();
}
