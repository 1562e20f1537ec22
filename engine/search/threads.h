// The search threads: thread 0 is the host's calling thread; up to seven
// more are started once and live until the engine shuts down. Between
// searches they sleep on their own wake event; during a search they spin,
// waiting to be recruited at a split point (split.h).
#pragma once

namespace qb {

// Starts the threads for a machine with `processors` logical processors:
// min(processors, 8) in all, thread 0 included. Does nothing when they run
// already. Returns the number of threads that exist afterwards.
int start_search_threads(int processors);

// Ends and joins every search thread, so that none runs engine code after
// this returns (the library may be unloaded next). Call it between searches.
void stop_search_threads();

// Before a search: the threads in use other than thread 0 leave their events
// and spin, ready to be recruited.
void wake_search_threads();
// After a search: they go back to sleep.
void park_search_threads();

// The threads in use are awake for the life of one of these: the iterations
// of a search.
struct AwakeSearchThreads {
  AwakeSearchThreads() { wake_search_threads(); }
  ~AwakeSearchThreads() { park_search_threads(); }
  AwakeSearchThreads(const AwakeSearchThreads&) = delete;
  AwakeSearchThreads& operator=(const AwakeSearchThreads&) = delete;
};

}  // namespace qb
