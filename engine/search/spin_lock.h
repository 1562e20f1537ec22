// A test-and-test-and-set spin lock for the parallel search's short critical
// sections. Waiters read until the lock looks free and only then try the
// exchange, so they spin in their own cache. Taking the lock acquires and
// releasing it releases: the next holder sees everything the last one wrote.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace qb {

// Spinning threads give way to others, which matters when the machine has
// fewer cores than search threads or is busy with other work.
inline void spin_pause() { std::this_thread::yield(); }

struct SpinLock {
  std::atomic<uint32_t> held{0};

  void lock() {
    for (;;) {
      while (held.load(std::memory_order_relaxed)) spin_pause();
      if (held.exchange(1, std::memory_order_acquire) == 0) return;
    }
  }
  void unlock() { held.store(0, std::memory_order_release); }
};

}  // namespace qb
