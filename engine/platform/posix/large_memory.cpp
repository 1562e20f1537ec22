#include <sys/mman.h>

#include <cstdlib>

#include "platform/shared.h"

namespace qb::platform {

namespace {
constexpr std::size_t LARGE_PAGE = std::size_t(1) << 21;  // 2 MB transparent huge pages
}

void* allocate_large(std::size_t bytes) {
  std::size_t rounded = (bytes + LARGE_PAGE - 1) / LARGE_PAGE * LARGE_PAGE;
  void* p = std::aligned_alloc(LARGE_PAGE, rounded);
#ifdef MADV_HUGEPAGE
  if (p) madvise(p, rounded, MADV_HUGEPAGE);  // only advice: failure costs speed alone
#endif
  return p;
}

void free_large(void* p, std::size_t) { std::free(p); }

}  // namespace qb::platform
