#include <windows.h>

#include "platform/platform.h"

namespace qb::platform {

// Committed pages are page-aligned; large pages would need a privilege that
// ordinary users lack, so plain pages serve.
void* allocate_large(std::size_t bytes) {
  return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void free_large(void* p, std::size_t) {
  if (p) VirtualFree(p, 0, MEM_RELEASE);
}

}  // namespace qb::platform
