// The stop flag: the host's play-now integer, published by getmove. The host
// sets it to ask for a move at once, the main search thread sets it when the
// hard time limit passes, and every search thread polls it. It is read and
// written as a relaxed atomic so that several threads may touch it without a
// data race; the searches only react to non-zero.
#pragma once

#include <atomic>
#include <cstdint>

namespace qb {

namespace detail {
extern int32_t* g_stop_flag;  // never null: an internal flag stands in
}

// Publishes the host's integer; nullptr returns to the engine's own flag
// (tools and tests that search without a host).
void set_stop_flag(int32_t* flag);

inline bool stop_requested() {
  return std::atomic_ref<int32_t>(*detail::g_stop_flag).load(std::memory_order_relaxed) != 0;
}

inline void request_stop() {
  std::atomic_ref<int32_t>(*detail::g_stop_flag).store(1, std::memory_order_relaxed);
}

inline void clear_stop() {
  std::atomic_ref<int32_t>(*detail::g_stop_flag).store(0, std::memory_order_relaxed);
}

}  // namespace qb
