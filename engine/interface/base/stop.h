// The stop flag of the running search: the host's playnow integer, published
// by getmove. The host asks for a move now through it, the main search thread
// sets it when the time is up, the driver clears it after the search, and
// every search thread polls it. The integer belongs to the host and is a
// plain int32_t, so every access goes through an atomic_ref; relaxed order is
// enough because only the value itself matters.
#pragma once

#include <atomic>
#include <cstdint>

namespace qb {

extern std::atomic<int32_t*> g_stop_flag;

inline void publish_stop_flag(int32_t* flag) { g_stop_flag.store(flag, std::memory_order_relaxed); }

inline bool stop_requested() {
  int32_t* flag = g_stop_flag.load(std::memory_order_relaxed);
  return flag && std::atomic_ref<int32_t>(*flag).load(std::memory_order_relaxed) != 0;
}

inline void set_stop_flag(int32_t value) {
  if (int32_t* flag = g_stop_flag.load(std::memory_order_relaxed))
    std::atomic_ref<int32_t>(*flag).store(value, std::memory_order_relaxed);
}

}  // namespace qb
