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

// A joinable thread tells it is done through an event, and the event is the
// last thing it does in the library's code. The library may be unloading
// (its entry routine holding the loader lock, waiting for the event), and a
// thread's exit waits for that lock, so its handle cannot be waited for
// there. Once the event is set, the unloading may unmap the library at any
// moment: a thread that came back from SetEvent into the library's code, if
// only to call ExitThread, would run on in unmapped memory. So the thread's
// start routine ends with a jump to SetEvent, whose return goes straight to
// the system's thread start-up code, which ends the thread.
struct Thread {
  void (*entry)(void*);
  void* arg;
  HANDLE done;
};

}  // namespace qb::platform

// Runs the thread's work; returns the event that tells it is done.
extern "C" HANDLE qb_joinable_thread_work(qb::platform::Thread* t) {
  t->entry(t->arg);
  return t->done;
}

// The start routine (x86-64, Windows calling convention): it calls the work
// with the record in rcx, then leaves its frame and jumps to SetEvent with the
// event in rcx, so that SetEvent returns to the routine's own caller.
extern "C" DWORD WINAPI qb_joinable_thread_start(void* record);
#if !defined(__x86_64__)
#error "The joinable thread's start routine is written for x86-64"
#endif
asm(R"(
  .text
  .p2align 4
  .def qb_joinable_thread_start; .scl 3; .type 32; .endef
  .seh_proc qb_joinable_thread_start
qb_joinable_thread_start:
  subq $40, %rsp
  .seh_stackalloc 40
  .seh_endprologue
  call qb_joinable_thread_work
  movq %rax, %rcx
  addq $40, %rsp
  jmp *__imp_SetEvent(%rip)
  .seh_endproc
)");

namespace qb::platform {

Thread* thread_create(void (*entry)(void*), void* arg) {
  auto* t = new (std::nothrow) Thread{entry, arg, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  if (!t) return nullptr;
  HANDLE thread = t->done ? CreateThread(nullptr, THREAD_STACK_RESERVE, qb_joinable_thread_start, t,
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
