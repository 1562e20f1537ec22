// Splitting a range of work over threads. The range is cut into chunks that
// the threads take in turn as they become free: positions of one slice
// differ in cost (captures, the positions a level decides cluster by index),
// and halves fixed in advance left one thread idle for up to a sixth of a
// build. Ranges of one chunk run on the calling thread: starting threads
// would cost more than they save.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace tb {

// Positions a chunk: a multiple of 64, so that no two threads write to the
// same word of a bit set or byte of packed values.
constexpr uint64_t POSITION_CHUNK = 1 << 14;

// fn(begin, end, thread) over [0, count), on `threads` threads, in chunks of
// `chunk` items (each call's range is one chunk, or the end of the range);
// a thread may be called many times.
template <class Fn>
void parallel_for(uint64_t count, int threads, Fn&& fn, uint64_t chunk = POSITION_CHUNK) {
  if (threads <= 1 || count <= chunk) {
    fn(uint64_t(0), count, 0);
    return;
  }
  std::atomic<uint64_t> next{0};
  auto work = [&](int t) {
    for (uint64_t begin; (begin = next.fetch_add(chunk, std::memory_order_relaxed)) < count;)
      fn(begin, std::min(count, begin + chunk), t);
  };
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(work, t);
  work(0);
  for (auto& th : pool) th.join();
}

}  // namespace tb
