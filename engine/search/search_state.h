// State shared by the searches of one move: scores and depth constants, the
// move-history table, and one record per search thread. Values that several
// threads touch are relaxed atomics: updates may be lost (the searches
// tolerate that) but never race in the language's sense.
#pragma once

#include <atomic>
#include <cstdint>

#include "interface/settings.h"

namespace qb {

// Scores, from the side to move's view in the searches. A side without
// pieces or moves at ply p scores p - MATE.
constexpr int MATE = 4000;
constexpr int REPETITION_DRAW = -3;
constexpr int DATABASE_DRAW = -1;

// Depth is in eighths of a ply inside the searches.
constexpr int ONE_PLY = 8;
constexpr int PLY_LIMIT = 97;     // static evaluation from this ply on
constexpr int KILLER_PLIES = 99;  // plies 0-98
constexpr int STOP_MIN_DEPTH = 5; // stop requests wait until this iteration

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

struct SearchThread {
  ThreadCounter nodes;       // children visited
  ThreadCounter leaves;      // terminal returns
  ThreadCounter leaf_plies;  // sum of their plies
  std::atomic<uint8_t> cancel{0};  // work above this thread was refuted
  Killer killers[KILLER_PLIES];
};

struct SearchState {
  std::atomic<int32_t> iteration_depth{0};  // plies; stop honoured from 5
  std::atomic<int32_t> selective_depth{0};
  double hard_limit = 0;  // seconds; written before the threads wake
  int32_t poll_counter = 0;  // thread 0 only
  std::atomic<uint32_t> db_probes{0};
  // Only the calling thread exists until the thread pool starts more.
  int32_t threads_created = 1;
  int32_t threads_in_use = 1;
  std::atomic<int16_t> history[HISTORY_SIZE];
  SearchThread threads[MAX_SEARCH_THREADS];
};
extern SearchState g_search;

// Per move: history to its start value, the main thread's killers, the
// probe counter and the clock poll cleared.
void reset_move_tables();
// Per move, once the threads in use are known: their counters and flags.
void reset_thread_counters();
// Per iteration: leaf statistics and selective depth.
void reset_iteration_statistics();

struct SearchTotals {
  uint64_t nodes, leaves, leaf_plies;
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

// Has the work above this thread been refuted? With split points the
// parallel search also walks the thread's chain of them here.
inline bool cancel_check(int thread) {
  return g_search.threads[thread].cancel.load(std::memory_order_relaxed) != 0;
}

inline int iteration_depth() { return g_search.iteration_depth.load(std::memory_order_relaxed); }

}  // namespace qb
