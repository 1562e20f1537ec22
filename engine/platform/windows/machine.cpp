// The machine: processors, installed memory, the process clock and sleeping;
// the processor's identification is in cpu.cpp.
#include <bit>
#include <climits>

#include "platform/platform.h"
#include "platform/windows/win.h"

namespace qb::platform {

namespace {

// Logical processors summed over the processor masks of all NUMA nodes.
int numa_processor_count() {
  ULONG highest_node = 0;
  if (!GetNumaHighestNodeNumber(&highest_node)) return 0;
  int count = 0;
  for (ULONG node = 0; node <= highest_node; ++node) {
    GROUP_AFFINITY affinity{};
    if (GetNumaNodeProcessorMaskEx(USHORT(node), &affinity))
      count += std::popcount(static_cast<unsigned long long>(affinity.Mask));
  }
  return count;
}

// The clock wraps at 2^31 - 1, as the runtime clock the search was measured
// with does; the search's elapsed-time correction relies on exactly that.
constexpr uint64_t CLOCK_WRAP = 2147483647;

uint64_t filetime_100ns(const FILETIME& t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

// The clock runs on the performance counter from a base taken on first use,
// offset by how long the process had already run then: steady even when the
// wall clock is set, and still counted from the start of the process.
struct ProcessClock {
  LARGE_INTEGER frequency{};
  LARGE_INTEGER base{};
  uint64_t ms_at_base = 0;

  ProcessClock() {
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&base);
    FILETIME created, exited, kernel, user, now;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
      GetSystemTimeAsFileTime(&now);
      uint64_t start = filetime_100ns(created), current = filetime_100ns(now);
      if (current > start) ms_at_base = (current - start) / 10000;
    }
  }

  uint32_t elapsed_ms() const {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    uint64_t ticks = uint64_t(now.QuadPart - base.QuadPart);
    uint64_t per_second = uint64_t(frequency.QuadPart);
    uint64_t since_base = ticks / per_second * 1000 + ticks % per_second * 1000 / per_second;
    return uint32_t((ms_at_base + since_base) % CLOCK_WRAP);
  }
};

}  // namespace

int processor_count() {
  int count = numa_processor_count();
  // Some systems (and Wine) do not answer the NUMA queries: count the active
  // processors instead rather than run on one.
  if (count <= 0) count = int(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS));
  return count > 0 ? count : 1;
}

int installed_ram_mb() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return 0;
  unsigned long long mb = status.ullTotalPhys / (1024 * 1024);
  return mb > INT_MAX ? INT_MAX : int(mb);
}

uint32_t process_clock_ms() {
  static const ProcessClock clock;
  return clock.elapsed_ms();
}

void sleep_ms(int ms) { Sleep(ms > 0 ? DWORD(ms) : 0); }

}  // namespace qb::platform
