// The processor's identification data on Windows, read once with CPUID.
#include <intrin.h>

#include <cstring>

#include "platform/shared.h"

namespace qb::platform {
namespace {

CpuInfo read_cpu_info() {
  CpuInfo info{};
  int regs[4];  // eax, ebx, ecx, edx
  __cpuid(regs, 0);
  int highest_leaf = regs[0];
  std::memcpy(info.vendor + 0, &regs[1], 4);
  std::memcpy(info.vendor + 4, &regs[3], 4);
  std::memcpy(info.vendor + 8, &regs[2], 4);
  info.vendor[12] = '\0';
  if (highest_leaf >= 1) {
    __cpuid(regs, 1);
    info.popcnt = (regs[2] >> 23) & 1;
  }
  if (highest_leaf >= 7) {
    __cpuidex(regs, 7, 0);
    info.bmi2 = (regs[1] >> 8) & 1;
  }
  return info;
}

}  // namespace

const CpuInfo& cpu_info() {
  static const CpuInfo info = read_cpu_info();
  return info;
}

}  // namespace qb::platform
