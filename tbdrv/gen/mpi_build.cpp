// Rank 0 keeps the list of units and what each depends on; every other rank
// asks for a unit, builds it with its own store (loading what it needs from
// the shared folders) and reports back. Tables are written atomically and a
// unit counts as done only once its rank has reported it, so a job that
// stops part-way (a rank killed takes the whole job down with it) leaves only
// whole tables, and the next run resumes from them.
#include "gen/mpi_build.h"

#include <mpi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "gen/build.h"

namespace tb {
namespace {

constexpr int LEAD = 0;
constexpr int TAG_UNIT = 1;    // lead to builder: a unit's index, or STOP
constexpr int TAG_RESULT = 2;  // builder to lead: READY, a finished unit's index, or FAILED
constexpr int STOP = -1;
constexpr int READY = -1;
constexpr int FAILED = -2;
// A waiting rank checks for its message this often; OpenMPI's blocking
// receive polls without pause and would take a core from the builders.
constexpr auto POLL = std::chrono::milliseconds(5);

bool launched_by_mpirun() {
  return std::getenv("OMPI_COMM_WORLD_SIZE") || std::getenv("PMIX_RANK") || std::getenv("PMI_SIZE");
}

void send(int value, int to, int tag) { MPI_Send(&value, 1, MPI_INT, to, tag, MPI_COMM_WORLD); }

int receive(int from, int tag, int& sender) {
  int value = 0;
  MPI_Request request;
  MPI_Irecv(&value, 1, MPI_INT, from, tag, MPI_COMM_WORLD, &request);
  MPI_Status status;
  for (int arrived = 0;;) {
    MPI_Test(&request, &arrived, &status);
    if (arrived) break;
    std::this_thread::sleep_for(POLL);
  }
  sender = status.MPI_SOURCE;
  return value;
}

// A rank killed while writing leaves its temporary file behind; no rank
// writes before the lead hands out the first unit.
void remove_partial_files(const std::vector<Target>& targets) {
  for (const Target& t : targets)
    for (const auto& entry : std::filesystem::directory_iterator(t.dir))
      if (entry.path().filename().string().find(".part") != std::string::npos)
        std::filesystem::remove(entry.path());
}

struct Plan {
  std::vector<Unit> units;               // dependency order
  std::vector<std::vector<int>> needs;   // units each one reads
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

int lead(const BuildOptions& opt, const std::vector<Target>& targets, int ranks) {
  remove_partial_files(targets);
  Plan plan = make_plan(opt, targets);
  double total = 0;
  size_t todo = 0;
  for (size_t i = 0; i < plan.units.size(); ++i)
    if (!plan.done[i]) total += unit_work(plan.units[i]), ++todo;

  Progress progress(total);
  double finished = 0;
  int builders = ranks - 1, busy = 0;
  bool failed = false;
  std::vector<int> idle;
  for (;;) {
    while (!failed && !idle.empty()) {
      int unit = plan.next_ready();
      if (unit < 0) break;
      plan.started[unit] = 1;
      send(unit, idle.back(), TAG_UNIT);
      idle.pop_back();
      ++busy;
    }
    if (busy == 0 && int(idle.size()) == builders) break;
    int rank = 0;
    int result = receive(MPI_ANY_SOURCE, TAG_RESULT, rank);
    if (result >= 0) {
      plan.done[result] = 1;
      finished += unit_work(plan.units[result]);
      progress.step_done(finished, unit_name(plan.units[result]) + " (rank " + std::to_string(rank) + ")");
    }
    if (result != READY) --busy;
    failed = failed || result == FAILED;
    idle.push_back(rank);
  }
  for (int rank : idle) send(STOP, rank, TAG_UNIT);

  for (char d : plan.done) failed = failed || !d;
  if (failed) {
    std::fprintf(stderr, "\ntbgen: the build stopped with units left (see above); run it again to resume\n");
    return 1;
  }
  char summary[160];
  std::snprintf(summary, sizeof summary, "tbgen: %d pieces ready, %zu units built (%.0f positions) on %d ranks in %s",
                opt.pieces, todo, total, builders, format_seconds(progress.seconds()).c_str());
  progress.finish(summary);
  return 0;
}

int build_units(const BuildOptions& opt, const std::vector<Target>& targets) {
  ValueStore store = open_store(opt);
  std::vector<Unit> units = units_up_to(opt.pieces);
  int result = READY, status = 0;
  for (;;) {
    send(result, LEAD, TAG_RESULT);
    int sender = 0;
    int unit = receive(LEAD, TAG_UNIT, sender);
    if (unit == STOP) return status;
    Progress progress(unit_work(units[unit]));
    std::string why;
    result = unit;
    if (!build_unit(units[unit], targets, store, opt, progress, 0, why)) {
      std::fprintf(stderr, "tbgen: %s\n", why.c_str());
      result = FAILED;
      status = 1;
    }
  }
}

}  // namespace

int run_build_mpi(const BuildOptions& opt) {
  if (!launched_by_mpirun()) return run_build(opt);
  MPI_Init(nullptr, nullptr);
  int rank = 0, ranks = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &ranks);
  int status;
  std::vector<Target> targets;
  if (ranks == 1) {
    status = run_build(opt);
  } else if (!open_targets(opt, targets)) {
    status = 2;  // every rank sees the same options and says so
  } else {
    status = rank == LEAD ? lead(opt, targets, ranks) : build_units(opt, targets);
  }
  MPI_Finalize();
  return status;
}

}  // namespace tb
