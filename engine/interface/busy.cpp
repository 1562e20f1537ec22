#include "interface/busy.h"

#include "platform/platform.h"

namespace qb {

namespace {
constexpr int BUSY_POLL_MS = 100;
}

std::atomic_flag g_search_busy = ATOMIC_FLAG_INIT;

SearchBusyGuard::SearchBusyGuard() {
  while (g_search_busy.test_and_set(std::memory_order_acquire)) platform::sleep_ms(BUSY_POLL_MS);
}

}  // namespace qb
