// The parallel search: thread start, split points, refutations that cross
// threads, and searches that end at random moments.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "board/fen.h"
#include "board/movegen.h"
#include "eval/weights.h"
#include "interface/base/settings.h"
#include "interface/base/stop.h"
#include "search/db_probe.h"
#include "search/deepening.h"
#include "search/game_history.h"
#include "search/move_order.h"
#include "search/search.h"
#include "search/search_state.h"
#include "search/split.h"
#include "search/threads.h"
#include "search/time_control.h"
#include "search/tt.h"
#include "search/search_support.h"

namespace {
using namespace qb;
using searchtest::fen;
using searchtest::is_successor;
using searchtest::search_to_depth;

const char* const MIDDLE_GAMES[] = {
    "B:W21-32:B1-12",
    "W:W18,21,23,24,26-32:B1-9,12,16",
    "B:W11,18,21,23,26-32:B1-5,7-10,12",
    "W:W20,22,23,27-29,31:B1,5-8,11-13,16,K30",
    "B:W19,21-26,28-30,32:B1-7,9,10,12,15",
    "B:W17,19,20,23,25-27,29,30,32:B1-3,5,6,8,11,12,14,18",
};

// Starts the pool for a machine of `processors` and puts `in_use` threads
// to work on the searches that follow; the pool ends with the test.
// The searches use the engine's weights, as in play: with material alone
// most subtrees are too small to be worth sharing.
class Threads : public testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(load_weights(QB_ENGINE_DIR "/")); }
  void use_threads(int processors, int in_use) {
    stop_search_threads();
    start_search_threads(processors);
    g_settings.searchthreads = in_use;
  }
  void TearDown() override {
    stop_search_threads();
    g_settings.searchthreads = 1;
    publish_stop_flag(nullptr);
    game_history_clear();
  }
};

TEST_F(Threads, AtMostEightThreadsAndNeverMoreThanTheProcessors) {
  struct Case {
    int processors, threads;
  };
  for (Case c : {Case{1, 1}, Case{2, 2}, Case{12, 8}}) {
    use_threads(c.processors, c.processors);
    EXPECT_EQ(g_search.threads_created, c.threads) << c.processors << " processors";
    searchtest::Searched s = search_to_depth(MIDDLE_GAMES[1], 9);
    EXPECT_TRUE(is_successor(s.root, s.side, s.best));
    EXPECT_EQ(g_search.threads_in_use, c.threads);
  }
}

// The host may change the setting at any time; each search reads it once,
// within the threads that exist.
TEST_F(Threads, TheSettingTakesEffectAtTheNextSearch) {
  use_threads(2, 2);
  struct Case {
    int setting, in_use;
  };
  for (Case c : {Case{2, 2}, Case{1, 1}, Case{8, 2}, Case{0, 1}}) {
    g_settings.searchthreads = c.setting;
    search_to_depth(MIDDLE_GAMES[0], 5);
    EXPECT_EQ(g_search.threads_in_use, c.in_use) << "setting " << c.setting;
  }
}

// With one thread in use the started pool changes nothing: no other thread
// searches and the node count is the one of a search without a pool.
TEST_F(Threads, OneThreadNeverSplits) {
  for (const char* position : MIDDLE_GAMES) {
    SCOPED_TRACE(position);
    stop_search_threads();
    search_to_depth(position, 11);
    const uint64_t alone = sum_thread_counters().nodes;
    use_threads(2, 1);
    g_search.threads[1].nodes.reset();
    search_to_depth(position, 11);
    EXPECT_EQ(sum_thread_counters().nodes, alone);
    EXPECT_EQ(g_search.threads[1].nodes.get(), 0u);
  }
}

// Each thread counts its own database probes, and the sum holds every one:
// a stand-in database that knows nothing counts the lookups it answers.
std::atomic<uint64_t> g_lookups{0};
int count_lookup(const Position&, Side, bool) {
  g_lookups.fetch_add(1, std::memory_order_relaxed);
  return DB_UNKNOWN;
}

TEST_F(Threads, TheProbesOfEveryThreadAreCounted) {
  use_threads(2, 2);
  g_lookups = 0;
  g_search_db = SearchDatabase{32, 16, count_lookup, nullptr};
  search_to_depth(MIDDLE_GAMES[1], 13);
  g_search_db = SearchDatabase{};
  EXPECT_GT(g_lookups.load(), 0u);
  EXPECT_EQ(sum_thread_counters().db_probes, g_lookups.load());
  const SearchThread& helper = g_search.threads[1];
  EXPECT_TRUE(helper.nodes.get() == 0 || helper.db_probes.get() > 0) << "the helper's probes went uncounted";
}

// A node of an opening position searched directly by thread 0, with the
// other thread awake: the split happens at its first move.
struct SplitNode {
  FenPosition root = fen("B:W21-32:B1-12");
  SearchNode node = make_root(root.position, root.side, nullptr);
  MoveList moves;
  int count = generate_moves(root.position, moves, root.side);

  SplitNode() {
    game_history_clear();
    tt_free();
    tt_allocate(4);
    tt_new_search();
    reset_move_tables();
    g_search.threads_in_use = g_search.threads_created;
    reset_thread_counters();
    g_search.iteration_depth = 11;
    g_search.hard_limit = searchtest::NO_LIMIT;
    wake_search_threads();
  }
  ~SplitNode() { park_search_threads(); }

  // The whole list, in generation order, offered for splitting at once.
  SplitWork all_moves() {
    for (int i = 0; i < count; ++i) order[i] = uint8_t(i);
    const NodeLoop loop{&node, &moves, order, count, 0, 32, -MATE, MATE, true, false, false};
    return SplitWork{.loop = loop, .next = 0, .alpha = -MATE};
  }
  uint8_t order[MAX_MOVES];
};

TEST_F(Threads, NoMoreThanSixteenNestedSplitPoints) {
  use_threads(2, 2);
  SplitNode n;
  const SplitWork work = n.all_moves();
  std::atomic<int32_t>& owned = g_search.threads[0].split_count;

  owned = MAX_SPLIT_POINTS - 1;  // as if nested fifteen deep: one more is allowed
  int best = -MATE, best_index = 0;
  EXPECT_TRUE(split(work, 0, best, best_index));
  EXPECT_EQ(owned, MAX_SPLIT_POINTS - 1);
  EXPECT_GT(best, -MATE);
  EXPECT_LT(best_index, n.count);

  owned = MAX_SPLIT_POINTS;
  best = -MATE;
  EXPECT_FALSE(split(work, 0, best, best_index));
  EXPECT_EQ(best, -MATE);
  owned = 0;
}

// A thread whose work above was refuted just before it came to split does
// not split: opening the split point would clear its cancel flag, and the
// refutation would be lost.
TEST_F(Threads, ARefutedThreadDoesNotSplit) {
  use_threads(2, 2);
  SplitNode n;
  SearchThread& owner = g_search.threads[0];
  owner.cancel = 1;
  int best = -MATE, best_index = 0;
  EXPECT_FALSE(split(n.all_moves(), 0, best, best_index));
  EXPECT_EQ(owner.cancel, 1);
  EXPECT_EQ(owner.split_count, 0);
  owner.cancel = 0;
}

// At a node searched by thread 0, the table's hash move is searched first
// and the split comes at the next move: thread 0 takes generator move 0, a
// long search, and the recruited thread the next, move 1, which the table
// says refutes the node at once. The refutation cancels thread 0's work,
// and thread 0 still returns the fail-high value, stores it and records the
// killer, just as if it had found the refutation itself.
TEST_F(Threads, RefutationByTheHelperReturnsThroughTheOwnersFailHigh) {
  use_threads(2, 2);
  constexpr int DEPTH = 8 * 16;  // move 0 keeps thread 0 busy for a while
  constexpr int BETA = 1;
  constexpr int REFUTATION = 500;  // even: the fail-high value is BETA + 1
  constexpr int HASH_MOVE = 2;
  int helper_refuted = 0;
  for (int attempt = 0; attempt < 10 && helper_refuted < 3; ++attempt) {
    SplitNode n;
    const Side child_side = opponent_of(n.root.side);
    auto child_key = [&](int i) { return hash_key(n.moves.moves[i], child_side); };
    tt_store(hash_key(n.node), 0, 0, 8, BOUND_UPPER, HASH_MOVE);  // too shallow to answer
    tt_store(child_key(HASH_MOVE), 0, 1, 8 * 40, BOUND_EXACT, 0);
    tt_store(child_key(1), -REFUTATION, 1, 8 * 40, BOUND_EXACT, 0);

    int v = node_search(n.node, 0, DEPTH, BETA - 1, BETA, false, 0);
    ASSERT_EQ(v, BETA + 1);
    HashProbe stored;
    ASSERT_TRUE(tt_probe(hash_key(n.node), stored));
    EXPECT_EQ(stored.entry.bound(), BOUND_LOWER);
    EXPECT_EQ(stored.entry.raw_score(), BETA + 1);
    EXPECT_EQ(stored.entry.move_index(), 1);
    EXPECT_EQ(g_search.threads[0].killers[0], killer_of(n.root.position.black(), n.moves.moves[1].black()));
    EXPECT_EQ(g_search.threads[0].cancel, 0);
    EXPECT_EQ(g_search.threads[0].split_count, 0);
    // The helper searched exactly one move: the refutation.
    if (g_search.threads[1].nodes.get() == 1) ++helper_refuted;
  }
  EXPECT_GT(helper_refuted, 0) << "the recruited thread never took the refuting move";
}

// Only thread 0 reads the clock, and it must do so while it waits at a split
// point for a helper deep in a long subtree. The test plays the helper: it
// takes on the work while thread 0 searches its own share, then keeps the
// split point open until thread 0 has stopped the search (or ten seconds
// have passed). Stops count only from iteration depth 5, and the helper
// raises the depth to that only once thread 0 is waiting, so thread 0's own
// searches cannot be what stops it.
TEST_F(Threads, ThreadZeroStopsTheSearchWhileWaitingForItsHelper) {
  stop_search_threads();
  SearchThread& owner = g_search.threads[0];
  SearchThread& helper = g_search.threads[1];
  int waits_seen = 0;
  for (int attempt = 0; attempt < 5 && waits_seen == 0; ++attempt) {
    SplitNode n;
    g_search.threads_in_use = 2;
    helper.idle = true;
    helper.parked = false;
    g_search.iteration_depth = 1;
    int32_t playnow = 0;
    publish_stop_flag(&playnow);
    start_move_clock();
    g_search.hard_limit = 0;

    bool took_work = false;
    std::thread long_search([&] {
      auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      auto wait_for = [&](auto done) {
        for (;;) {
          if (done()) return true;
          if (std::chrono::steady_clock::now() > give_up) return false;
          std::this_thread::yield();
        }
      };
      took_work = wait_for([&] { return helper.work_assigned.exchange(false); });
      if (!took_work) return;  // thread 0 finished its share first and took the work back
      wait_for([&] { return owner.idle.load(); });
      g_search.iteration_depth = 11;
      wait_for([&] { return std::atomic_ref<int32_t>(playnow).load() != 0; });
      helper.work_assigned = true;
      run_assigned_work(1);
    });
    uint8_t order[MAX_MOVES];
    for (int i = 0; i < n.count; ++i) order[i] = uint8_t(i);
    const NodeLoop loop{&n.node, &n.moves, order, n.count, 0, 8 * 14, 0, 1, false, false, false};
    const SplitWork work{.loop = loop, .next = 0, .alpha = 0};
    int best = -MATE, best_index = 0;
    EXPECT_TRUE(split(work, 0, best, best_index));
    long_search.join();
    if (!took_work) continue;
    ++waits_seen;
    EXPECT_EQ(std::atomic_ref<int32_t>(playnow).load(), 1);
  }
  EXPECT_GT(waits_seen, 0) << "the helper never started before thread 0 was done";
  helper.parked = true;
  helper.idle = false;
}

// Plays a game from `start` at a fixed depth; the side left without a move
// loses. Returns 1 for a black win, -1 for a white win, 0 for a game that
// reaches the move cap.
int play_game(const char* start, int depth, int max_plies) {
  FenPosition p = fen(start);
  for (int ply = 0; ply < max_plies; ++ply) {
    MoveList moves;
    if (generate_moves(p.position, moves, p.side) == 0) return p.side == BLACK ? -1 : 1;
    const std::string text = position_text(p.position, p.side);
    searchtest::Searched s = search_to_depth(text.c_str(), depth);
    EXPECT_TRUE(is_successor(p.position, p.side, s.best)) << text;
    p.position = s.best;
    p.side = opponent_of(p.side);
  }
  return 0;
}

// Endings whose outcome a fixed-depth search gets right whatever the order
// in which it meets the moves: wins well inside the move cap, and draws.
TEST_F(Threads, TwoThreadsPlayTheSameGamesAsOne) {
  const char* const starts[] = {
      "B:WK7:BK19,K32",             // won in 5 plies
      "B:WK14:BK5,K7,K31",          // in 19
      "B:W28,32:B9,K14,K15",        // in 19
      "W:WK10,K12,24:B23,K26,K29",  // even: drawn
      "W:WK10:BK23",                // king against king
  };
  constexpr int DEPTH = 9, MAX_PLIES = 40;
  std::vector<int> one, two;
  for (const char* s : starts) one.push_back(play_game(s, DEPTH, MAX_PLIES));
  use_threads(2, 2);
  for (const char* s : starts) two.push_back(play_game(s, DEPTH, MAX_PLIES));
  EXPECT_EQ(one, two);
}

// Many short searches, each stopped at a random moment by another thread as
// a host would; every one must end and play a legal move.
TEST_F(Threads, SearchesStoppedAtRandomMomentsEndWithALegalMove) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> delay_us(0, 4000);
  int32_t playnow = 0;
  start_unhosted_searches(searchtest::TABLE_MB);
  struct Round {
    int threads, searches;
  };
  for (Round round : {Round{2, 1000}, Round{4, 100}}) {
    use_threads(round.threads, round.threads);
    for (int i = 0; i < round.searches; ++i) {
      FenPosition p = fen(MIDDLE_GAMES[i % std::size(MIDDLE_GAMES)]);
      std::atomic_ref<int32_t>(playnow).store(0);
      publish_stop_flag(&playnow);
      std::thread host([&playnow, wait = delay_us(random)] {
        std::this_thread::sleep_for(std::chrono::microseconds(wait));
        std::atomic_ref<int32_t>(playnow).store(1);
      });
      FixedDepthResult r =
          search_fixed_depth(FixedDepthRequest{.root = p.position, .side = p.side, .depth = 9});
      host.join();
      ASSERT_LT(r.best_index, r.move_count);
      ASSERT_GE(r.depth, 3);
      for (int t = 0; t < round.threads; ++t) ASSERT_EQ(g_search.threads[t].split_count, 0) << "thread " << t;
    }
  }
}

}  // namespace
