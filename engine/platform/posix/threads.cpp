// Threads and auto-reset events on POSIX, from the standard library.
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "platform/platform.h"

namespace qb::platform {

struct Event {
  std::mutex mutex;
  std::condition_variable signal;
  bool set = false;
};

Event* event_create() { return new (std::nothrow) Event; }

// Notifying under the lock means a waiter cannot return (and perhaps destroy
// the event) while the setter still touches it.
void event_set(Event* e) {
  std::lock_guard<std::mutex> lock(e->mutex);
  e->set = true;
  e->signal.notify_one();
}

void event_wait(Event* e) {
  std::unique_lock<std::mutex> lock(e->mutex);
  e->signal.wait(lock, [e] { return e->set; });
  e->set = false;  // auto-reset: one wait consumes one set
}

void event_destroy(Event* e) { delete e; }

bool thread_start(void (*entry)(void*), void* arg) {
  try {
    std::thread(entry, arg).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

struct Thread {
  std::thread thread;
};

Thread* thread_create(void (*entry)(void*), void* arg) {
  try {
    return new Thread{std::thread(entry, arg)};
  } catch (const std::exception&) {
    return nullptr;
  }
}

void thread_join(Thread* t) {
  if (!t) return;
  t->thread.join();
  delete t;
}

}  // namespace qb::platform
