// The builder's subcommands.
#pragma once

#include <string>

namespace tb {

struct BuildOptions {
  int pieces = 0;
  std::string wld_dir, dtw_dir, mtc_dir;  // empty: that kind is not built
  int threads = 1;
  bool wide_values = false;    // 16-bit distances even where 8 bits would do
  uint64_t memory_budget = 0;  // bytes of loaded slices kept; 0: as suits the kind read
};

int run_build(const BuildOptions& options);
int run_verify(const std::string& dir, int threads);
int run_bench(const std::string& dir, long count, int cache_mb, int threads);

}  // namespace tb
