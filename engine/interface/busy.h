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

// For the unload: asks a running search to stop (through its stop flag) and
// waits for the export to return, at most `timeout_ms`. True when none runs
// any more; the searching exports then stay closed until
// reopen_searching_exports().
bool close_searching_exports(int timeout_ms);
void reopen_searching_exports();

}  // namespace qb
