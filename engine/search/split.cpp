// Split points: creating them, recruiting a helper, the worker that both
// threads run, and the refutation that cancels the work below a split point.
//
// Hand-overs between threads, and what orders them:
// - A split point's fields and the helper's copied killers are written under
//   the global split lock before the helper's `work_assigned` is stored with
//   release; the helper reads them after loading that flag with acquire.
// - A thread that finishes its work stores `idle` with release; a recruiter
//   loads it with acquire, so the thread's earlier writes (its killers among
//   them) come before the recruiter's.
// - Moves are handed out and results published under the split point's
//   lock; the owner reads the final result under that lock too, after the
//   worker count has dropped to 0.
// - Cancel flags and cutoff marks are relaxed: a thread that sees one late
//   only searches a little longer, and its result is then discarded.
// - A helper that refutes a split point sets its partners' cancel flags
//   before it goes idle, so a partner that finds it idle (acquire) also
//   finds its own flag set, and does not split: opening a split point clears
//   the owner's flag, which would lose the refutation. With two threads this
//   is what lets the cancel check trust the flag alone: while the recruiter
//   holds the global lock, the only other thread is idle and refutes
//   nothing, and later refutations come from within the new split point.
#include "search/split.h"

#include <algorithm>
#include <mutex>

#include "interface/base/stop.h"
#include "search/move_loop.h"
#include "search/poll.h"
#include "search/search_state.h"

namespace qb {

namespace {

// Serialises creating and closing split points and recruiting threads.
SpinLock g_split_lock;
// Each thread uses its own split points last in, first out.
SplitPoint g_split_points[MAX_SEARCH_THREADS][MAX_SPLIT_POINTS];

SearchThread& thread_record(int index) { return g_search.threads[index]; }

// The latest split point `thread` owns, or null.
const SplitPoint* latest_owned(int thread) {
  int owned = thread_record(thread).split_count.load(std::memory_order_relaxed);
  return owned > 0 ? &g_split_points[thread][owned - 1] : nullptr;
}

// A thread waiting at its own split point helps only the threads that are
// helping it, so that it is free again as soon as its own work is done. With
// two threads the only possible recruiter is its helper anyway.
bool can_recruit(int t, int owner) {
  const SearchThread& helper = thread_record(t);
  if (t == owner || !helper.idle.load(std::memory_order_acquire) ||
      helper.parked.load(std::memory_order_relaxed))
    return false;
  const SplitPoint* waiting_at = latest_owned(t);
  return !waiting_at || g_search.threads_in_use == 2 ||
         waiting_at->workers[owner].load(std::memory_order_relaxed);
}

// A cheap look before the lock: is anyone free at all?
bool some_thread_idle(int owner) {
  for (int t = 0; t < g_search.threads_in_use; ++t)
    if (t != owner && thread_record(t).idle.load(std::memory_order_relaxed)) return true;
  return false;
}

bool some_thread_recruitable(int owner) {
  for (int t = 0; t < g_search.threads_in_use; ++t)
    if (can_recruit(t, owner)) return true;
  return false;
}

void cancel(int thread) { thread_record(thread).cancel.store(1, std::memory_order_relaxed); }

// Fills the owner's next split point and makes it the owner's current one.
SplitPoint& open_split_point(const SplitWork& work, int owner, int best, int best_index) {
  SearchThread& o = thread_record(owner);
  const int owned = o.split_count.load(std::memory_order_relaxed);
  SplitPoint& s = g_split_points[owner][owned];
  s.parent = o.split_point.load(std::memory_order_relaxed);
  s.work = work;
  s.owner = owner;
  s.next = work.next;
  s.best_index = best_index;
  s.alpha.store(work.alpha, std::memory_order_relaxed);
  s.best.store(best, std::memory_order_relaxed);
  for (auto& w : s.workers) w.store(false, std::memory_order_relaxed);
  s.worker_count.store(1, std::memory_order_relaxed);
  s.cutoff.store(false, std::memory_order_relaxed);
  o.split_count.store(owned + 1, std::memory_order_relaxed);
  o.split_point.store(&s, std::memory_order_relaxed);
  return s;
}

// Hands the split point to idle threads, up to the worker limit. The helper
// starts with the owner's killers: the same tree, the same good moves.
void recruit(SplitPoint& s, int owner) {
  const int moves_left = s.work.loop.count - s.work.next;
  const SearchThread& o = thread_record(owner);
  for (int t = 0; t < g_search.threads_in_use; ++t) {
    int workers = s.worker_count.load(std::memory_order_relaxed);
    if (workers >= MAX_SPLIT_WORKERS || workers >= moves_left) break;
    if (!can_recruit(t, owner)) continue;
    SearchThread& helper = thread_record(t);
    s.workers[t].store(true, std::memory_order_relaxed);
    s.worker_count.store(workers + 1, std::memory_order_relaxed);
    helper.split_point.store(&s, std::memory_order_relaxed);
    std::copy(std::begin(o.killers), std::end(o.killers), helper.killers);
    helper.idle.store(false, std::memory_order_relaxed);
    helper.cancel.store(0, std::memory_order_relaxed);
    helper.work_assigned.store(true, std::memory_order_release);
  }
}

// The next move's position in the order, or -1 when the list is used up.
int take_move(SplitPoint& s) {
  std::lock_guard<SpinLock> guard(s.lock);
  return s.next < s.work.loop.count ? s.next++ : -1;
}

// A refutation cancels everyone else on the split point: their work below
// it no longer matters.
void publish(SplitPoint& s, int w, int value, int index) {
  std::lock_guard<SpinLock> guard(s.lock);
  if (value <= s.best.load(std::memory_order_relaxed) || cancel_check(w)) return;
  s.best.store(value, std::memory_order_relaxed);
  s.best_index = index;
  if (value > s.alpha.load(std::memory_order_relaxed)) s.alpha.store(value, std::memory_order_relaxed);
  if (value < s.work.loop.beta) return;
  for (int t = 0; t < MAX_SEARCH_THREADS; ++t)
    if (t != w && (t == s.owner || s.workers[t].load(std::memory_order_relaxed))) cancel(t);
  s.cutoff.store(true, std::memory_order_relaxed);
}

// After its last move. An owner whose own work was refuted from above passes
// the cancel on to its helpers. Once the count has dropped the owner may close
// and reuse `s`; it reads the result under the same lock, so it does so only
// after this release.
void leave(SplitPoint& s, int w) {
  std::lock_guard<SpinLock> guard(s.lock);
  if (w == s.owner && cancel_check(w))
    for (int t = 0; t < MAX_SEARCH_THREADS; ++t)
      if (s.workers[t].load(std::memory_order_relaxed)) cancel(t);
  s.workers[w].store(false, std::memory_order_relaxed);
  s.worker_count.fetch_sub(1, std::memory_order_release);
}

// Thread w searches moves of s, each as the node search would at the same
// position in its loop, until the list is used up or the node refuted.
void run_worker(SplitPoint& s, int w) {
  const NodeLoop& loop = s.work.loop;
  const auto shared_alpha = [&s] { return s.alpha.load(std::memory_order_relaxed); };
  while (s.best.load(std::memory_order_relaxed) < loop.beta && !cancel_check(w)) {
    const int number = take_move(s);
    if (number < 0) break;
    int value;
    if (!search_move(loop, number, w, shared_alpha, value)) break;
    publish(s, w, value, loop.order[number]);
  }
  leave(s, w);
}

// Once the owner's own share is done, every move has been handed out (or the
// node is refuted), so a helper that has not yet started (it may be waiting
// for a processor on a busy machine) has nothing left to do: the owner takes
// the work back rather than wait for it. Under the global lock nobody recruits, so a helper whose
// current split point is still this one has not been handed other work; the
// exchange decides the race with the helper taking it.
void withdraw_unstarted_helpers(SplitPoint& s) {
  std::lock_guard<SpinLock> guard(g_split_lock);
  for (int t = 0; t < MAX_SEARCH_THREADS; ++t) {
    SearchThread& helper = thread_record(t);
    if (!s.workers[t].load(std::memory_order_relaxed) ||
        helper.split_point.load(std::memory_order_relaxed) != &s ||
        !helper.work_assigned.exchange(false, std::memory_order_relaxed))
      continue;
    std::lock_guard<SpinLock> point_guard(s.lock);
    s.workers[t].store(false, std::memory_order_relaxed);
    s.worker_count.fetch_sub(1, std::memory_order_relaxed);
    helper.idle.store(true, std::memory_order_release);
  }
}

// With every worker gone and no new work for the owner: the result goes back
// to the node search, and the owner's chain and flags are as before the split.
void close_split_point(SplitPoint& s, int owner, int& best, int& best_index) {
  {
    std::lock_guard<SpinLock> guard(s.lock);
    best = s.best.load(std::memory_order_relaxed);
    best_index = s.best_index;
  }
  SearchThread& o = thread_record(owner);
  o.split_count.store(o.split_count.load(std::memory_order_relaxed) - 1, std::memory_order_relaxed);
  o.cancel.store(0, std::memory_order_relaxed);
  o.split_point.store(s.parent, std::memory_order_relaxed);
  o.idle.store(false, std::memory_order_relaxed);
}

}  // namespace

bool split_chain_refuted(int thread) {
  SearchThread& t = thread_record(thread);
  for (const SplitPoint* s = t.split_point.load(std::memory_order_relaxed); s; s = s->parent) {
    if (s->cutoff.load(std::memory_order_relaxed)) {
      t.cancel.store(1, std::memory_order_relaxed);
      return true;
    }
  }
  return false;
}

bool run_assigned_work(int thread) {
  SearchThread& t = thread_record(thread);
  // The exchange decides a race with an owner withdrawing the work.
  if (!t.work_assigned.load(std::memory_order_relaxed) ||
      !t.work_assigned.exchange(false, std::memory_order_acquire))
    return false;
  run_worker(*t.split_point.load(std::memory_order_relaxed), thread);
  t.idle.store(true, std::memory_order_release);
  return true;
}

bool split(const SplitWork& work, int thread, int& best, int& best_index) {
  if (stop_requested() || !some_thread_idle(thread)) return false;
  SearchThread& owner = thread_record(thread);
  SplitPoint* s;
  {
    std::lock_guard<SpinLock> guard(g_split_lock);
    if (owner.split_count.load(std::memory_order_relaxed) >= MAX_SPLIT_POINTS ||
        !some_thread_recruitable(thread) || owner.cancel.load(std::memory_order_relaxed))
      return false;
    s = &open_split_point(work, thread, best, best_index);
    recruit(*s, thread);
    owner.idle.store(false, std::memory_order_relaxed);
    owner.cancel.store(0, std::memory_order_relaxed);
    owner.work_assigned.store(true, std::memory_order_relaxed);
  }

  // The owner works on its own split point first; once idle it may help the
  // thread it recruited, which can split below it. It leaves only when no
  // worker is left and, under the lock that recruiting takes, nobody has
  // just handed it new work. Thread 0 keeps an eye on the clock meanwhile:
  // its helper may be deep in a long subtree, and only thread 0 stops the
  // search when the time is up. (A spin round takes long enough for a clock
  // read, and on a busy machine may give the processor away for a while.)
  run_assigned_work(thread);
  withdraw_unstarted_helpers(*s);
  for (;;) {
    if (run_assigned_work(thread)) continue;
    if (thread == 0) hard_limit_reached();
    if (s->worker_count.load(std::memory_order_acquire) == 0) {
      std::lock_guard<SpinLock> guard(g_split_lock);
      if (!owner.work_assigned.load(std::memory_order_acquire)) {
        close_split_point(*s, thread, best, best_index);
        return true;
      }
    }
    spin_pause();
  }
}

void reset_split_points() {
  for (int t = 0; t < MAX_SEARCH_THREADS; ++t) {
    SearchThread& record = thread_record(t);
    record.split_count.store(0, std::memory_order_relaxed);
    record.split_point.store(nullptr, std::memory_order_relaxed);
    record.work_assigned.store(false, std::memory_order_relaxed);
    record.idle.store(false, std::memory_order_relaxed);
  }
}

}  // namespace qb
