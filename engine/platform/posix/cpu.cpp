// The processor's identification data on POSIX, read once with CPUID
// where the processor is x86.
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "platform/shared.h"

namespace qb::platform {
namespace {

CpuInfo read_cpu_info() {
  CpuInfo info{};
#if defined(__x86_64__) || defined(__i386__)
  unsigned a, b, c, d;
  if (!__get_cpuid(0, &a, &b, &c, &d)) return info;
  unsigned max_leaf = a;
  std::memcpy(info.vendor + 0, &b, 4);
  std::memcpy(info.vendor + 4, &d, 4);
  std::memcpy(info.vendor + 8, &c, 4);
  if (__get_cpuid(1, &a, &b, &c, &d)) info.popcnt = (c >> 23) & 1;
  if (max_leaf >= 7) {
    __cpuid_count(7, 0, a, b, c, d);
    info.bmi2 = (b >> 8) & 1;
  }
#endif
  return info;
}

}  // namespace

const CpuInfo& cpu_info() {
  static const CpuInfo info = read_cpu_info();
  return info;
}

}  // namespace qb::platform
