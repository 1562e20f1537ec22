#include "interface/busy.h"

#include "interface/base/stop.h"
#include "platform/platform.h"

namespace qb {

namespace {
constexpr int BUSY_POLL_MS = 100;
constexpr int CLOSE_POLL_MS = 10;
// After the export let go of the flag it still has its own return to run.
constexpr int RETURN_GRACE_MS = 50;
}  // namespace

std::atomic_flag g_search_busy = ATOMIC_FLAG_INIT;

SearchBusyGuard::SearchBusyGuard() {
  while (g_search_busy.test_and_set(std::memory_order_acquire)) platform::sleep_ms(BUSY_POLL_MS);
}

bool close_searching_exports(int timeout_ms) {
  bool waited = false;
  for (int elapsed = 0; g_search_busy.test_and_set(std::memory_order_acquire); elapsed += CLOSE_POLL_MS) {
    if (elapsed >= timeout_ms) return false;
    set_stop_flag(1);  // again each time: a getmove just starting clears it
    platform::sleep_ms(CLOSE_POLL_MS);
    waited = true;
  }
  if (waited) platform::sleep_ms(RETURN_GRACE_MS);
  return true;
}

void reopen_searching_exports() { g_search_busy.clear(std::memory_order_release); }

}  // namespace qb
