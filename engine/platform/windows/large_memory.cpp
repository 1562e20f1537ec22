// Large tables on large pages when the user holds the "Lock pages in memory"
// right (granted by an administrator); otherwise, as for most users, on
// ordinary pages. Both are page-aligned, which covers the 64-byte promise.
#include "platform/shared.h"
#include "platform/windows/win.h"

namespace qb::platform {

namespace {

// Turns on the right for this process, which an account holding it still
// has switched off. False when the account does not hold it.
bool enable_lock_memory_privilege() {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  bool enabled = LookupPrivilegeValueA(nullptr, "SeLockMemoryPrivilege", &privileges.Privileges[0].Luid) &&
                 AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
                 GetLastError() == ERROR_SUCCESS;  // not ERROR_NOT_ALL_ASSIGNED
  CloseHandle(token);
  return enabled;
}

void* allocate_on_large_pages(std::size_t bytes) {
  SIZE_T page = GetLargePageMinimum();
  if (page == 0 || bytes < page || !enable_lock_memory_privilege()) return nullptr;
  SIZE_T rounded = (bytes + page - 1) / page * page;
  return VirtualAlloc(nullptr, rounded, MEM_RESERVE | MEM_COMMIT | MEM_LARGE_PAGES, PAGE_READWRITE);
}

}  // namespace

void* allocate_large(std::size_t bytes) {
  if (void* p = allocate_on_large_pages(bytes)) return p;
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void free_large(void* p, std::size_t) {
  if (p) VirtualFree(p, 0, MEM_RELEASE);
}

}  // namespace qb::platform
