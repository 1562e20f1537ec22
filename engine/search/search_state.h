// State shared by the searches of one move: depth constants, the
// move-history table, and one record per search thread. Values that several
// threads touch are relaxed atomics: updates may be lost (the searches
// tolerate that) but never race in the language's sense.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "interface/base/settings.h"
#include "search/depth.h"
#include "search/score.h"

namespace qb {

constexpr int PLY_LIMIT = 97;        // static evaluation from this ply on
constexpr int KILLER_PLIES = 99;     // plies 0-98
constexpr Plies STOP_MIN_DEPTH = 5;  // stop requests wait until this iteration

constexpr int HISTORY_SIZE = 1024;  // from * 32 + to
constexpr int HISTORY_START = 4096;
constexpr int HISTORY_MAX = 8192;

// A counter written by its own thread only and read by the main thread for
// reports; a relaxed load and store is an ordinary increment.
struct ThreadCounter {
  std::atomic<uint64_t> value{0};
  void add(uint64_t n) { value.store(value.load(std::memory_order_relaxed) + n, std::memory_order_relaxed); }
  uint64_t get() const { return value.load(std::memory_order_relaxed); }
  void reset() { value.store(0, std::memory_order_relaxed); }
};

// The last non-capture that caused a cutoff at a ply: the mover's vacated
// and newly occupied squares.
struct Killer {
  uint32_t vacated, occupied;
  friend bool operator==(const Killer&, const Killer&) = default;
};

struct SplitPoint;

// Data written at every node by one thread must not share a cache line with
// data other threads read at every node: each write would take the line away
// from the readers.
constexpr std::size_t CACHE_LINE = 64;

// One search thread. The flags are written by other threads too (the one
// that recruits this thread, the one that refutes its work), so they are
// atomics; see split.cpp for what each hand-over orders.
struct alignas(CACHE_LINE) SearchThread {
  // Written by this thread at every node, read only for reports.
  ThreadCounter nodes;       // children visited
  ThreadCounter leaves;      // terminal returns
  ThreadCounter leaf_plies;  // sum of their plies
  ThreadCounter db_probes;   // endgame database lookups
  // Read by the other threads whenever they look for help.
  alignas(CACHE_LINE) std::atomic<uint8_t> cancel{0};  // work above this thread was refuted
  std::atomic<bool> idle{false};                       // free to be recruited
  std::atomic<bool> work_assigned{false};              // a split point was handed over
  std::atomic<bool> parked{true};                      // sleeps on its wake event
  // The split point this thread works on (its own latest one, or the one it
  // was recruited into); each links to the one before, forming a chain.
  std::atomic<SplitPoint*> split_point{nullptr};
  std::atomic<int32_t> split_count{0};  // split points it owns, nested
  // Written by this thread at cutoffs: apart from the flags above, which the
  // other threads poll.
  alignas(CACHE_LINE) Killer killers[KILLER_PLIES];
};

struct SearchState {
  // Read by every thread at every node, written between searches or rarely.
  std::atomic<int32_t> iteration_depth{0};  // plies; stop honoured from 5
  std::atomic<int32_t> selective_depth{0};
  double hard_limit = 0;  // seconds; written before the threads wake
  // Only the calling thread exists until the thread pool starts more.
  int32_t threads_created = 1;
  int32_t threads_in_use = 1;
  // Written often: each on a line of its own.
  alignas(CACHE_LINE) int32_t poll_counter = 0;  // thread 0 only
  alignas(CACHE_LINE) std::atomic<int16_t> history[HISTORY_SIZE];
  SearchThread threads[MAX_SEARCH_THREADS];
};
extern SearchState g_search;

// Per move: history to its start value, the main thread's killers and the
// clock poll cleared.
void reset_move_tables();
// Per move, once the threads in use are known: their counters and flags.
void reset_thread_counters();
// Per iteration: leaf statistics and selective depth.
void reset_iteration_statistics();

struct SearchTotals {
  uint64_t nodes, leaves, leaf_plies, db_probes;
};
SearchTotals sum_thread_counters();

inline int history_get(int index) { return g_search.history[index].load(std::memory_order_relaxed); }
inline void history_set(int index, int value) {
  g_search.history[index].store(int16_t(value), std::memory_order_relaxed);
}
// A cutoff move's entry moves toward the maximum; the moves tried before it
// decay, all by 1/128 of the distance.
inline void history_reward(int index) {
  int h = history_get(index);
  history_set(index, h + (HISTORY_MAX - h) / 128);
}
inline void history_penalise(int index) {
  int h = history_get(index);
  history_set(index, h - h / 128);
}

inline void count_leaf(SearchThread& t, int ply) {
  t.leaves.add(1);
  t.leaf_plies.add(uint64_t(ply));
}

inline void raise_selective_depth(int ply) {
  if (ply > g_search.selective_depth.load(std::memory_order_relaxed))
    g_search.selective_depth.store(ply, std::memory_order_relaxed);
}

// True when a split point on the thread's chain has been refuted; the
// thread's cancel flag is then set (split.cpp).
bool split_chain_refuted(int thread);

// Has the work above this thread been refuted? Its searches then return 0.
// With two threads the cancel flag tells it all: the only other thread
// sets it when it refutes a split point they share (split.cpp). With more,
// a thread recruited below a split point that a third thread refutes hears
// of it only through the cutoff mark on its chain. The walk up the chain
// at every node is thus saved where it cannot find anything.
inline bool cancel_check(int thread) {
  const SearchThread& t = g_search.threads[thread];
  if (t.cancel.load(std::memory_order_relaxed)) return true;
  return g_search.threads_in_use > 2 && t.split_point.load(std::memory_order_relaxed) &&
         split_chain_refuted(thread);
}

inline int iteration_depth() { return g_search.iteration_depth.load(std::memory_order_relaxed); }

}  // namespace qb
