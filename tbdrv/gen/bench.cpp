// Lookup speed through the driver's C interface, on random positions of the
// largest slices where the side to move has no capture (the positions the
// engine probes). Cold: every lookup finds an empty cache, so it reads a
// block (from the file system's cache, when the files were read lately).
// Warm: a set of positions whose blocks all fit in the cache, looked up
// again and again from every thread; with random positions nearly every
// lookup then waits for one block's line from main memory.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <thread>

#include "board/movegen.h"
#include "database.h"
#include "gen/commands.h"
#include "tbdrv.h"

namespace tb {
namespace {

struct Probe {
  tbdrv_position p;
  int side;
};

std::vector<Probe> sample(int pieces, size_t count, uint64_t seed) {
  std::vector<Material> top;
  std::vector<double> weights;
  for (const Material& m : slices_up_to(pieces))
    if (m.pieces() == pieces) top.push_back(m), weights.push_back(double(shape_of(m).size));
  std::mt19937_64 rng(seed);
  std::discrete_distribution<size_t> pick(weights.begin(), weights.end());
  std::vector<Probe> out;
  while (out.size() < count) {
    Shape sh = shape_of(top[pick(rng)]);
    qb::Position p;
    if (!position_at(rng() % sh.size, sh, p) || qb::has_capture(p, qb::BLACK)) continue;
    int side = int(rng() & 1);
    if (side == qb::WHITE) p = flip(p);
    out.push_back({{p.black(), p.white(), p.kings}, side});
  }
  return out;
}

double seconds_since(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

double cpu_seconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

struct Rate {
  double wall, cpu;  // lookups per second of wall-clock time and of processor time
};

// Lookups per second over `rounds` passes of `probes` from each thread. On
// a shared machine the processor-time figure is the one to compare.
Rate measure(tbdrv_handle* h, const std::vector<Probe>& probes, int rounds, int threads, long& bad) {
  std::vector<long> failures(threads, 0);
  auto start = std::chrono::steady_clock::now();
  double cpu_start = cpu_seconds();
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) {
    pool.emplace_back([&, t] {
      for (int r = 0; r < rounds; ++r)
        for (size_t i = t; i < probes.size() + t; ++i) {
          const Probe& pr = probes[i % probes.size()];
          if (h->ops->lookup(h, &pr.p, pr.side, 0) <= 0 && h->ops->type(h) == TBDRV_TYPE_WLD) ++failures[t];
        }
    });
  }
  for (auto& th : pool) th.join();
  bad = 0;
  for (long f : failures) bad += f;
  double lookups = double(probes.size()) * rounds * threads;
  return {lookups / seconds_since(start), lookups / (cpu_seconds() - cpu_start)};
}

}  // namespace

int run_bench(const std::string& dir, long count, int cache_mb, int threads) {
  int type, pieces;
  if (tbdrv_identify(dir.c_str(), &type, &pieces) != 0) {
    std::fprintf(stderr, "tbgen: no database in %s\n", dir.c_str());
    return 1;
  }
  std::printf("%s: type %d, %d pieces, cache %d MB, %d threads\n", dir.c_str(), type, pieces, cache_mb,
              threads);
  auto message = [](const char* text) { std::fputs(text, stderr); };

  // Cold: a fresh handle with a cache too small to be filled at opening or
  // to keep much, so nearly every probe reads a block.
  tbdrv_handle* h = tbdrv_open(0, pieces, 1, dir.c_str(), message);
  if (!h) return 1;
  std::vector<Probe> cold = sample(pieces, size_t(count < 20000 ? count : 20000), 1);
  long bad = 0;
  Rate cold_rate = measure(h, cold, 1, 1, bad);
  tbdrv_stats st{};
  h->ops->stats(h, &st);
  std::printf(
      "cold cache: %10.0f lookups/s (%10.0f per processor second), %llu block reads for %zu lookups\n",
      cold_rate.wall, cold_rate.cpu, (unsigned long long)st.block_reads, cold.size());
  h->ops->close(h);

  // Warm: as many positions as the cache can hold blocks for, read once first.
  h = tbdrv_open(0, pieces, cache_mb, dir.c_str(), message);
  h->ops->stats(h, &st);
  std::vector<Probe> warm = sample(pieces, size_t(std::min<uint64_t>(st.cache_blocks / 4, 100000)), 2);
  measure(h, warm, 1, 1, bad);
  int rounds = int(count / long(warm.size())) + 1;
  // Hot: few enough positions that their blocks stay in the processor's
  // own caches, which shows the cost of the lookup itself rather than of
  // fetching a block from main memory.
  std::vector<Probe> hot(warm.begin(), warm.begin() + std::min<size_t>(warm.size(), 256));
  Rate hot_rate = measure(h, hot, int(count / long(hot.size())) + 1, 1, bad);
  std::printf("hot blocks: %10.0f lookups/s (%10.0f per processor second) with 1 thread over %zu positions\n",
              hot_rate.wall, hot_rate.cpu, hot.size());
  for (int t = 1; t <= threads; t *= 2) {
    Rate rate = measure(h, warm, rounds, t, bad);
    std::printf(
        "warm cache: %10.0f lookups/s (%10.0f per processor second) with %d thread%s over %zu positions%s\n",
        rate.wall, rate.cpu, t, t > 1 ? "s" : "", warm.size(), bad ? "  (some without an answer!)" : "");
  }
  h->ops->stats(h, &st);
  std::printf("block reads %llu, bad blocks %llu\n", (unsigned long long)st.block_reads,
              (unsigned long long)st.bad_blocks);
  h->ops->close(h);
  return 0;
}

}  // namespace tb
