// The parallel search. A thread deep in the tree that still has several
// moves to search at a node publishes the node as a split point and recruits
// one idle thread; both take moves from the node's list until it is used up
// or a move refutes the node.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/movegen.h"
#include "board/position.h"
#include "interface/base/settings.h"
#include "search/depth.h"
#include "search/move_loop.h"
#include "search/spin_lock.h"

namespace qb {

constexpr Eighths SPLIT_MIN_DEPTH = 4 * ONE_PLY;  // shallower work is cheaper alone
constexpr int SPLIT_MIN_MOVES_LEFT = 3;           // counting the move about to be searched
constexpr int MAX_SPLIT_POINTS = 16;              // nested split points per owner
constexpr int MAX_SPLIT_WORKERS = 2;              // the owner and one recruited thread

// What a node hands over: its loop, the position in the order of the next
// move to search, and its running alpha.
struct SplitWork {
  NodeLoop loop;
  int next;
  int alpha;
};

struct SplitPoint {
  // Written by the owner before any worker can see the split point.
  SplitPoint* parent;  // the owner's split point before this one
  SplitWork work;
  int owner;
  // Shared by the workers. `next` and `best_index` change only under the
  // lock; alpha and best are also read without it, between moves.
  SpinLock lock;
  int next;
  int best_index;
  std::atomic<int> alpha;
  std::atomic<int> best;
  std::atomic<bool> workers[MAX_SEARCH_THREADS];  // recruited threads (not the owner)
  std::atomic<int> worker_count;                  // still working, owner included
  std::atomic<bool> cutoff;                       // best reached beta
};

// Offers the rest of a node's list (from `work.next` on) to an idle thread.
// Returns false when no split was made. Otherwise the remaining moves have
// been searched by `thread` and its helper, and best and best_index hold the
// node's result.
bool split(const SplitWork& work, int thread, int& best, int& best_index);

// Runs the split point handed to `thread`, if one was; true when it did.
// Search threads call this while they wait for work, owners while they
// wait for their helpers.
bool run_assigned_work(int thread);

// No split point in use: every thread owns none and works on none.
void reset_split_points();

}  // namespace qb
