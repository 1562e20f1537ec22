// Instance numbers: each engine loaded at the same time, in any process,
// holds the named semaphore of its number for as long as it is loaded. The
// system closes the handle when the process ends, which frees the number
// even after a crash.
#include <cstdio>

#include "platform/platform.h"
#include "platform/windows/win.h"

namespace qb::platform {

namespace {
constexpr const char* SEMAPHORE_NAME_FORMAT = "%s_sem%d";
constexpr const char* SEMAPHORE_BASE_NAME = "Quillbar-English";
HANDLE g_instance_semaphore = nullptr;
int g_instance = -1;
}  // namespace

int claim_instance(int limit) {
  if (g_instance_semaphore) return g_instance;
  for (int n = 0; n < limit; ++n) {
    char name[64];
    std::snprintf(name, sizeof name, SEMAPHORE_NAME_FORMAT, SEMAPHORE_BASE_NAME, n);
    HANDLE semaphore = CreateSemaphoreA(nullptr, 1, 1, name);
    if (semaphore == nullptr) return -1;  // no semaphores at all: give up
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
      CloseHandle(semaphore);
      continue;
    }
    g_instance_semaphore = semaphore;
    g_instance = n;
    return n;
  }
  return -1;
}

void release_instance() {
  if (g_instance_semaphore == nullptr) return;
  CloseHandle(g_instance_semaphore);
  g_instance_semaphore = nullptr;
  g_instance = -1;
}

}  // namespace qb::platform
