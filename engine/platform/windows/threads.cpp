// Threads and auto-reset events on the kernel's own objects.
#include <new>

#include "platform/platform.h"
#include "platform/windows/win.h"

namespace qb::platform {

// An Event is the kernel event's handle itself.
Event* event_create() {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);  // auto-reset, clear
  return reinterpret_cast<Event*>(event);
}

void event_set(Event* e) { SetEvent(reinterpret_cast<HANDLE>(e)); }

void event_wait(Event* e) { WaitForSingleObject(reinterpret_cast<HANDLE>(e), INFINITE); }

void event_destroy(Event* e) {
  if (e) CloseHandle(reinterpret_cast<HANDLE>(e));
}

namespace {

// The same stack on every host: without a size the thread would get the
// host program's default, as small as 1 MB. Only address space is reserved.
constexpr SIZE_T THREAD_STACK_RESERVE = 8 * 1024 * 1024;

struct ThreadStart {
  void (*entry)(void*);
  void* arg;
};

DWORD WINAPI run_thread(void* start_record) {
  ThreadStart start = *static_cast<ThreadStart*>(start_record);
  delete static_cast<ThreadStart*>(start_record);
  start.entry(start.arg);
  return 0;
}

}  // namespace

bool thread_start(void (*entry)(void*), void* arg) {
  auto* start = new (std::nothrow) ThreadStart{entry, arg};
  if (!start) return false;
  HANDLE thread = CreateThread(nullptr, THREAD_STACK_RESERVE, run_thread, start,
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (!thread) {
    delete start;
    return false;
  }
  CloseHandle(thread);  // detached: nobody joins it
  return true;
}

}  // namespace qb::platform
