// The solver's arrays of codes and counters are reached at random, one
// predecessor after another, so on large units most lookups miss the
// address-translation cache as well as the data cache. Backing them with
// huge pages (2 MB on x86-64 Linux) removes most of those misses. The
// advice must come before the memory is first written; elsewhere it is a
// no-op.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace tb {

inline void advise_huge_pages([[maybe_unused]] void* data, [[maybe_unused]] size_t bytes) {
#ifdef __linux__
  constexpr uintptr_t HUGE_PAGE = uintptr_t(2) << 20;
  uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
  uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(HUGE_PAGE - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

// v = `count` copies of `value`, in memory advised before it is written.
template <class T>
void assign_on_huge_pages(std::vector<T>& v, size_t count, T value) {
  std::vector<T>().swap(v);
  v.reserve(count);
  advise_huge_pages(v.data(), count * sizeof(T));
  v.assign(count, value);
}

}  // namespace tb
