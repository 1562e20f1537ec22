// The searching exports run one at a time: they share the engine's search
// state, so a second call waits until the first has finished.
#pragma once

#include <atomic>

namespace qb {

extern std::atomic_flag g_search_busy;

struct SearchBusyGuard {
  SearchBusyGuard();
  ~SearchBusyGuard() { g_search_busy.clear(std::memory_order_release); }
  SearchBusyGuard(const SearchBusyGuard&) = delete;
  SearchBusyGuard& operator=(const SearchBusyGuard&) = delete;
};

}  // namespace qb
