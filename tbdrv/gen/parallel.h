// Splitting a range of work over threads. Small ranges run on the calling
// thread: starting threads costs more than they would save.
#pragma once

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

namespace tb {

constexpr uint64_t MIN_PARALLEL_WORK = 20000;

// fn(begin, end, thread) over [0, count) in `threads` contiguous chunks
// whose boundaries are multiples of `align`; fewer than `min_work` items
// (of work per position, by default) run on the calling thread.
template <class Fn>
void parallel_for(uint64_t count, int threads, Fn&& fn, uint64_t align = 64,
                  uint64_t min_work = MIN_PARALLEL_WORK) {
  if (threads <= 1 || count < min_work) {
    fn(uint64_t(0), count, 0);
    return;
  }
  uint64_t chunk = ((count + threads - 1) / threads + align - 1) / align * align;
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) {
    uint64_t begin = std::min(count, chunk * t), end = std::min(count, chunk * (t + 1));
    pool.emplace_back([&fn, begin, end, t] { fn(begin, end, t); });
  }
  fn(uint64_t(0), std::min(count, chunk), 0);
  for (auto& th : pool) th.join();
}

}  // namespace tb
