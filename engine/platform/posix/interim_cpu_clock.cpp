// Interim processor query and process clock, defined weak so that the full
// platform layer replaces them without a clash. Delete this file once it has.
#include <chrono>
#include <cstring>

#include "platform/platform.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace qb::platform {

[[gnu::weak]] const CpuInfo& cpu_info() {
  static const CpuInfo info = [] {
    CpuInfo c{};
#if defined(__x86_64__) || defined(__i386__)
    unsigned a, b, cx, d;
    if (__get_cpuid(0, &a, &b, &cx, &d)) {
      unsigned highest = a;
      std::memcpy(c.vendor + 0, &b, 4);
      std::memcpy(c.vendor + 4, &d, 4);
      std::memcpy(c.vendor + 8, &cx, 4);
      if (__get_cpuid(1, &a, &b, &cx, &d)) c.popcnt = cx & (1u << 23);
      if (highest >= 7) {
        __cpuid_count(7, 0, a, b, cx, d);
        c.bmi2 = b & (1u << 8);
      }
    }
#endif
    return c;
  }();
  return info;
}

[[gnu::weak]] uint32_t process_clock_ms() {
  static const auto start = std::chrono::steady_clock::now();
  auto elapsed = std::chrono::steady_clock::now() - start;
  return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

}  // namespace qb::platform
