#include "search/threads.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "platform/platform.h"
#include "search/search_state.h"
#include "search/spin_lock.h"
#include "search/split.h"

namespace qb {

namespace {

platform::Event* g_wake[MAX_SEARCH_THREADS];
platform::Thread* g_handle[MAX_SEARCH_THREADS];
std::atomic<bool> g_quit{false};

// A search thread sleeps while parked and otherwise runs whatever split
// point it is handed. It ends when asked to quit, which is only ever done
// while it is parked.
void search_thread_main(void* arg) {
  const int index = int(reinterpret_cast<intptr_t>(arg));
  SearchThread& t = g_search.threads[index];
  t.parked.store(true, std::memory_order_release);  // it runs: see start_search_threads
  for (;;) {
    while (t.parked.load(std::memory_order_acquire)) {
      if (g_quit.load(std::memory_order_acquire)) return;
      platform::event_wait(g_wake[index]);
    }
    if (!run_assigned_work(index)) spin_pause();
  }
}

}  // namespace

int start_search_threads(int processors) {
  if (g_search.threads_created > 1) return g_search.threads_created;
  const int wanted = std::clamp(processors, 1, MAX_SEARCH_THREADS);
  reset_split_points();
  int created = 1;
  for (; created < wanted; ++created) {
    SearchThread& t = g_search.threads[created];
    t.parked.store(false, std::memory_order_relaxed);
    t.cancel.store(0, std::memory_order_relaxed);
    g_wake[created] = platform::event_create();
    if (!g_wake[created]) break;
    void* index = reinterpret_cast<void*>(intptr_t(created));
    g_handle[created] = platform::thread_create(search_thread_main, index);
    if (!g_handle[created]) {  // the engine searches with the threads it has
      platform::event_destroy(g_wake[created]);
      g_wake[created] = nullptr;
      t.parked.store(true, std::memory_order_relaxed);
      break;
    }
    // The thread must be running before start-up goes on: on Windows a new
    // thread first needs the loader lock, which an unload that followed at
    // once would hold while waiting for the thread to end.
    while (!t.parked.load(std::memory_order_acquire)) spin_pause();
  }
  g_search.threads_created = created;
  g_search.threads_in_use = std::min(g_search.threads_in_use, created);
  return created;
}

void stop_search_threads() {
  const int created = g_search.threads_created;
  g_quit.store(true, std::memory_order_release);
  for (int i = 1; i < created; ++i) {
    g_search.threads[i].parked.store(true, std::memory_order_release);
    platform::event_set(g_wake[i]);
  }
  for (int i = 1; i < created; ++i) {
    platform::thread_join(g_handle[i]);
    platform::event_destroy(g_wake[i]);
    g_handle[i] = nullptr;
    g_wake[i] = nullptr;
  }
  g_quit.store(false, std::memory_order_relaxed);
  g_search.threads_created = 1;
  g_search.threads_in_use = 1;
}

void wake_search_threads() {
  reset_split_points();
  for (int i = 1; i < g_search.threads_in_use; ++i) {
    SearchThread& t = g_search.threads[i];
    t.idle.store(true, std::memory_order_relaxed);
    t.parked.store(false, std::memory_order_release);
    platform::event_set(g_wake[i]);
  }
}

void park_search_threads() {
  for (int i = 1; i < g_search.threads_in_use; ++i)
    g_search.threads[i].parked.store(true, std::memory_order_relaxed);
}

}  // namespace qb
