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

// A joinable thread tells it is done through an event and then ends at once,
// without returning into the library: the library may be unloading (its
// entry routine holding the loader lock), and a thread's exit waits for that
// lock, so its handle cannot be waited for there. What is left of the thread
// runs only in the system's code.
struct Thread {
  void (*entry)(void*);
  void* arg;
  HANDLE done;
};

namespace {

DWORD WINAPI run_joinable(void* record) {
  auto* t = static_cast<Thread*>(record);
  t->entry(t->arg);
  SetEvent(t->done);
  ExitThread(0);
}

}  // namespace

Thread* thread_create(void (*entry)(void*), void* arg) {
  auto* t = new (std::nothrow) Thread{entry, arg, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  if (!t) return nullptr;
  HANDLE thread = t->done ? CreateThread(nullptr, THREAD_STACK_RESERVE, run_joinable, t,
                                         STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr)
                          : nullptr;
  if (!thread) {
    if (t->done) CloseHandle(t->done);
    delete t;
    return nullptr;
  }
  CloseHandle(thread);
  return t;
}

void thread_join(Thread* t) {
  if (!t) return;
  WaitForSingleObject(t->done, INFINITE);
  CloseHandle(t->done);
  delete t;
}

}  // namespace qb::platform
