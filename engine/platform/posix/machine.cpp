// The machine on POSIX: processors, memory, clock, sleep and the about box
// (which has no window here); the processor's identification is in cpu.cpp.
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/platform.h"

namespace qb::platform {
namespace {

// The clock counts from the moment the library is loaded, which for a host
// that links the engine is the process start.
const auto g_clock_origin = std::chrono::steady_clock::now();

// The search measures a move as now - start and adds 2^31 - 1 when that is
// negative, so the clock wraps at exactly that value and the correction holds.
constexpr int64_t CLOCK_WRAP = 2147483647;

long memory_total_kb_from_proc() {
  FILE* f = std::fopen("/proc/meminfo", "r");
  if (!f) return 0;
  char line[256];
  long kb = 0;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "MemTotal: %ld kB", &kb) == 1) break;
  std::fclose(f);
  return kb;
}

}  // namespace

int processor_count() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
  long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? int(online < INT_MAX ? online : INT_MAX) : 1;
}

int installed_ram_mb() {
  long pages = sysconf(_SC_PHYS_PAGES);
  long page_size = sysconf(_SC_PAGESIZE);
  long long mb = 0;
  if (pages > 0 && page_size > 0) mb = (long long)pages * page_size / (1024 * 1024);
  else mb = memory_total_kb_from_proc() / 1024;
  // A process held to less address space than the machine has can use no
  // more than that: the memory sizes must fit it.
  struct rlimit limit {};
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
    mb = std::min<long long>(mb, (long long)(limit.rlim_cur / (1024 * 1024)));
  return int(mb < INT_MAX ? mb : INT_MAX);
}

uint32_t process_clock_ms() {
  auto since = std::chrono::steady_clock::now() - g_clock_origin;
  int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
  return uint32_t(ms % CLOCK_WRAP);
}

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void message_box(void*, const char* caption, const char* text) {
  std::fprintf(stderr, "%s\n%s\n", caption, text);
  std::fflush(stderr);
}

}  // namespace qb::platform
