// Rank 0 keeps the list of units and what each depends on; every other rank
// asks for a unit, builds it with its own store (loading what it needs from
// the shared folders) and reports back. Tables are written atomically and a
// unit counts as done only once its rank has reported it, so a job that
// stops part-way leaves only whole tables, and the next run resumes from
// them. Builders also send a heartbeat while they work: under
// `mpirun --enable-recovery` a builder that dies does not end the job, and
// the lead hands the unit of a rank gone silent to another one.
#include "gen/mpi_build.h"

#include <mpi.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "gen/build.h"

namespace tb {
namespace {

constexpr int LEAD = 0;
constexpr int TAG_UNIT = 1;    // lead to builder: a unit's index, STOP or STOP_AFTER_LOSS
constexpr int TAG_RESULT = 2;  // builder to lead: READY, a finished unit's index, or FAILED
constexpr int TAG_ALIVE = 3;   // either way: still here
constexpr int STOP = -1;
constexpr int STOP_AFTER_LOSS = -3;  // a rank was lost: leave without MPI_Finalize
constexpr int READY = -1;
constexpr int FAILED = -2;
// A waiting rank checks for its message this often; OpenMPI's blocking
// receive polls without pause and would take a core from the builders.
constexpr auto POLL = std::chrono::milliseconds(5);
constexpr auto HEARTBEAT = std::chrono::seconds(1);
// Long enough that a loaded machine never misses it, short enough that a
// lost unit is soon built again.
constexpr auto SILENCE_LIMIT = std::chrono::seconds(10);
// Before its first word the lead checks every table on disk, which on a
// shared file system of many tables takes a while.
constexpr auto PLANNING_LIMIT = std::chrono::minutes(10);
using Clock = std::chrono::steady_clock;

bool launched_by_mpirun() {
  return std::getenv("OMPI_COMM_WORLD_SIZE") || std::getenv("PMIX_RANK") || std::getenv("PMI_SIZE");
}

void send(int value, int to, int tag) { MPI_Send(&value, 1, MPI_INT, to, tag, MPI_COMM_WORLD); }

struct Message {
  int value = 0, sender = 0, tag = 0;
};

// Waits for a message, at most `limit`; false when none came.
bool receive(int from, int tag, Message& m, Clock::duration limit = Clock::duration::max()) {
  MPI_Request request;
  MPI_Irecv(&m.value, 1, MPI_INT, from, tag, MPI_COMM_WORLD, &request);
  MPI_Status status;
  const auto start = Clock::now();
  for (int arrived = 0;;) {
    MPI_Test(&request, &arrived, &status);
    if (arrived) break;
    if (Clock::now() - start >= limit) {
      MPI_Cancel(&request);
      MPI_Wait(&request, MPI_STATUS_IGNORE);
      return false;
    }
    std::this_thread::sleep_for(POLL);
  }
  m.sender = status.MPI_SOURCE;
  m.tag = status.MPI_TAG;
  return true;
}

// A builder's "still here", sent from its own thread while the builder's
// main thread solves a unit (which can take hours at 7 pieces).
class Heartbeat {
 public:
  Heartbeat() : thread_([this] { beat(); }) {}
  ~Heartbeat() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

 private:
  void beat() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, HEARTBEAT, [this] { return stop_; })) send(0, LEAD, TAG_ALIVE);
  }
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

// A rank killed while writing leaves its temporary file behind; no rank
// writes before the lead hands out the first unit.
void remove_partial_files(const std::vector<Target>& targets) {
  for (const Target& t : targets)
    for (const auto& entry : std::filesystem::directory_iterator(t.dir)) {
      std::error_code ignored;  // gone already: nothing to clear
      if (entry.path().filename().string().find(".part") != std::string::npos)
        std::filesystem::remove(entry.path(), ignored);
    }
}

struct Plan {
  std::vector<Unit> units;              // dependency order
  std::vector<std::vector<int>> needs;  // units each one reads
  std::vector<char> done, started;

  int next_ready() const {
    for (size_t i = 0; i < units.size(); ++i) {
      if (done[i] || started[i]) continue;
      bool ready = true;
      for (int n : needs[i]) ready = ready && done[n];
      if (ready) return int(i);
    }
    return -1;
  }
};

Plan make_plan(const BuildOptions& opt, const std::vector<Target>& targets) {
  Plan plan;
  plan.units = units_up_to(opt.pieces);
  std::vector<int> unit_of(SLICE_KEYS, -1);
  for (size_t i = 0; i < plan.units.size(); ++i) {
    unit_of[plan.units[i].first.key()] = int(i);
    unit_of[plan.units[i].second.key()] = int(i);
  }
  for (size_t i = 0; i < plan.units.size(); ++i) {
    const Unit& u = plan.units[i];
    std::vector<int> needs;
    for (const Material& m : dependencies(u.first, u.second, opt.pieces))
      if (unit_of[m.key()] >= 0 && unit_of[m.key()] != int(i)) needs.push_back(unit_of[m.key()]);
    plan.needs.push_back(needs);
    plan.done.push_back(unit_done(u, targets));
  }
  plan.started = plan.done;
  return plan;
}

// What the lead knows of one builder rank.
struct Builder {
  int unit = -1;      // the unit it builds
  bool idle = false;  // waiting for a unit
  bool lost = false;  // fell silent; its unit went back to the plan
  Clock::time_point heard = Clock::now();
};

// A rank silent past the limit is taken for dead: its unit goes back to the
// plan for the next free rank. Should it still be alive after all, its
// tables are the same bytes and replace each other atomically.
void drop_silent_builders(std::vector<Builder>& builders, Plan& plan, Clock::duration limit) {
  for (size_t rank = 1; rank < builders.size(); ++rank) {
    Builder& b = builders[rank];
    if (b.lost || Clock::now() - b.heard < limit) continue;
    b.lost = true;
    std::string what =
        b.unit >= 0 ? "; its unit " + unit_name(plan.units[b.unit]) + " goes to another rank" : "";
    std::fprintf(stderr, "\ntbgen: rank %zu stopped answering%s\n", rank, what.c_str());
    if (b.unit >= 0) plan.started[b.unit] = 0;
  }
}

// Gives every idle rank the next unit whose dependencies are done.
void hand_out_units(std::vector<Builder>& builders, Plan& plan) {
  for (size_t rank = 1; rank < builders.size(); ++rank) {
    Builder& b = builders[rank];
    if (b.lost || !b.idle) continue;
    int unit = plan.next_ready();
    if (unit < 0) return;
    plan.started[unit] = 1;
    b.unit = unit;
    b.idle = false;
    send(unit, int(rank), TAG_UNIT);
  }
}

// Ranks waiting for a unit give up on a lead that has gone quiet, so a
// dead lead does not leave them waiting for ever.
void tell_waiting_builders_alive(const std::vector<Builder>& builders) {
  for (size_t rank = 1; rank < builders.size(); ++rank)
    if (!builders[rank].lost && builders[rank].idle) send(0, int(rank), TAG_ALIVE);
}

bool all_waiting(const std::vector<Builder>& builders) {
  for (size_t rank = 1; rank < builders.size(); ++rank)
    if (!builders[rank].lost && !builders[rank].idle) return false;
  return true;
}

// How a rank's part of the job ended.
struct RankEnd {
  int status = 0;
  bool rank_lost = false;  // some rank died (or went silent) on the way
};

bool any_lost(const std::vector<Builder>& builders) {
  for (const Builder& b : builders)
    if (b.lost) return true;
  return false;
}

RankEnd lead(const BuildOptions& opt, const std::vector<Target>& targets, int ranks, bool heartbeats) {
  remove_partial_files(targets);
  Plan plan = make_plan(opt, targets);
  for (int rank = 1; rank < ranks; ++rank) send(0, rank, TAG_ALIVE);  // planned: from now on it beats
  double total = 0;
  size_t todo = 0;
  for (size_t i = 0; i < plan.units.size(); ++i)
    if (!plan.done[i]) total += unit_work(plan.units[i]), ++todo;

  Progress progress(total);
  double finished = 0;
  bool failed = false;
  std::vector<Builder> builders(ranks);
  const auto silence_limit = heartbeats ? Clock::duration(SILENCE_LIMIT) : Clock::duration::max();
  auto last_beat = Clock::now();
  for (;;) {
    if (!failed) hand_out_units(builders, plan);
    if (all_waiting(builders)) break;
    if (Clock::now() - last_beat >= HEARTBEAT) {
      tell_waiting_builders_alive(builders);
      last_beat = Clock::now();
    }
    Message m;
    if (receive(MPI_ANY_SOURCE, MPI_ANY_TAG, m, HEARTBEAT)) {
      Builder& b = builders[m.sender];
      b.heard = Clock::now();
      if (m.tag == TAG_RESULT && !b.lost) {
        if (m.value >= 0 && !plan.done[m.value]) {
          plan.done[m.value] = 1;
          finished += unit_work(plan.units[m.value]);
          progress.step_done(finished,
                             unit_name(plan.units[m.value]) + " (rank " + std::to_string(m.sender) + ")");
        }
        failed = failed || m.value == FAILED;
        b.idle = true;
        b.unit = -1;
      }
    }
    drop_silent_builders(builders, plan, silence_limit);
  }
  // Lost ranks too: one that was only slow ends once its unit is written.
  const bool lost = any_lost(builders);
  for (int rank = 1; rank < ranks; ++rank) send(lost ? STOP_AFTER_LOSS : STOP, rank, TAG_UNIT);

  for (char d : plan.done) failed = failed || !d;
  if (failed) {
    std::fprintf(stderr, "\ntbgen: the build stopped with units left (see above); run it again to resume\n");
    return {1, lost};
  }
  char summary[160];
  std::snprintf(summary, sizeof summary,
                "tbgen: %d pieces ready, %zu units built (%.0f positions) on %d ranks in %s", opt.pieces,
                todo, total, ranks - 1, format_seconds(progress.seconds()).c_str());
  progress.finish(summary);
  return {0, lost};
}

RankEnd build_units(const BuildOptions& opt, const std::vector<Target>& targets, bool heartbeats) {
  std::optional<Heartbeat> heartbeat;
  if (heartbeats) heartbeat.emplace();
  ValueStore store = open_store(opt);
  std::vector<Unit> units = units_up_to(opt.pieces);
  int result = READY, status = 0;
  bool heard_lead = false;
  for (;;) {
    send(result, LEAD, TAG_RESULT);
    Message m;
    do {
      if (!receive(LEAD, MPI_ANY_TAG, m, heard_lead ? Clock::duration(SILENCE_LIMIT) : PLANNING_LIMIT)) {
        std::fprintf(stderr, "tbgen: the lead rank stopped answering; run the build again to resume\n");
        return {1, true};
      }
      heard_lead = true;
    } while (m.tag == TAG_ALIVE);
    if (m.value == STOP || m.value == STOP_AFTER_LOSS) return {status, m.value == STOP_AFTER_LOSS};
    const Unit& unit = units[m.value];
    Progress progress(unit_work(unit));
    std::string why;
    result = m.value;
    if (!build_unit(unit, targets, store, opt, progress, 0, why)) {
      std::fprintf(stderr, "tbgen: %s\n", why.c_str());
      result = FAILED;
      status = 1;
    }
  }
}

}  // namespace

int run_build_mpi(const BuildOptions& opt) {
  if (!launched_by_mpirun()) return run_build(opt);
  int threads = 0;
  MPI_Init_thread(nullptr, nullptr, MPI_THREAD_MULTIPLE, &threads);
  // Without heartbeats (an MPI without thread support) a lost rank is
  // never noticed, so the lead does not watch for silence.
  const bool heartbeats = threads >= MPI_THREAD_MULTIPLE;
  // A dead rank must not make sends to it or the final STOPs fail the job.
  MPI_Comm_set_errhandler(MPI_COMM_WORLD, MPI_ERRORS_RETURN);
  int rank = 0, ranks = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &ranks);
  RankEnd end;
  std::vector<Target> targets;
  if (ranks == 1) {
    end.status = run_build(opt);
  } else if (!open_targets(opt, targets)) {
    end.status = 2;  // every rank sees the same options and says so
  } else {
    end = rank == LEAD ? lead(opt, targets, ranks, heartbeats) : build_units(opt, targets, heartbeats);
  }
  // A rank that died while writing left its temporary file behind.
  if (rank == LEAD && end.status == 0) remove_partial_files(targets);
  if (end.rank_lost) {
    // OpenMPI's finalize can wait for ever on a dead rank; under
    // --enable-recovery a rank may leave without it.
    std::fflush(nullptr);
    std::_Exit(end.status);
  }
  MPI_Finalize();
  return end.status;
}

}  // namespace tb
