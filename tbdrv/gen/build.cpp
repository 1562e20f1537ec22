// The build: units in dependency order, each solved, written and kept in
// memory for the units after it. A unit whose tables all exist is skipped,
// so an interrupted build resumes where it stopped.
#include <cstdio>
#include <filesystem>

#include "gen/build.h"
#include "gen/commands.h"
#include "gen/progress.h"
#include "gen/solve.h"
#include "gen/store.h"
#include "gen/writer.h"

namespace tb {

bool unit_done(const Unit& u, const std::vector<Target>& targets) {
  for (const Target& t : targets)
    if (!table_complete(t.dir, u.first, t.kind) || !table_complete(t.dir, u.second, t.kind)) return false;
  return true;
}

double unit_work(const Unit& u) {
  return double(shape_of(u.first).size) + (u.symmetric() ? 0.0 : double(shape_of(u.second).size));
}

std::string unit_name(const Unit& u) { return slice_name(u.first); }

// Slices kept loaded for later units: loading one decodes it and works out
// every capture position it leaves out, which cost a fifth of a 6-piece
// build's processor time while only 256 MB were kept. Win/loss/draw slices
// take 2 bits a position, so 1 GB holds all of 6 pieces (680 MB) beside the
// largest 6-piece unit's working data (550 MB). Distances take 16 bits.
static uint64_t store_budget(const BuildOptions& opt, Kind read) {
  if (opt.memory_budget) return opt.memory_budget;
  return read == Kind::WLD ? uint64_t(1) << 30 : uint64_t(4) << 30;
}

bool build_unit(const Unit& u, const std::vector<Target>& targets, ValueStore& store, const BuildOptions& opt,
                Progress& progress, double done_before, std::string& why) {
  std::vector<Material> deps = dependencies(u.first, u.second, opt.pieces);
  store.trim(deps, store_budget(opt, store.kind()));
  if (!store.require(deps, why)) return false;

  UnitTables unit(u);
  double work = unit_work(u);
  solve_unit(unit, store, opt.threads,
             [&](double share) { progress.show(done_before + 0.9 * share * work, unit_name(u)); });
  std::vector<Code> conversions[2];
  for (const Target& t : targets)
    if (t.kind == Kind::MTC) solve_conversions(unit, store, opt.threads, conversions);

  Material slices[2] = {u.first, u.second};
  for (int part = 0; part < unit.parts; ++part) {
    for (const Target& t : targets) {
      const std::vector<Code>& codes = t.kind == Kind::MTC ? conversions[part] : unit.codes[part];
      if (!write_table(t.dir, slices[part], t.kind, codes, unit.skipped[part], opt.wide_values, opt.threads,
                       why))
        return false;
    }
    store.adopt(slices[part], std::move(unit.codes[part]));
  }
  return true;
}

bool open_targets(const BuildOptions& opt, std::vector<Target>& targets) {
  if (!opt.wld_dir.empty()) targets.push_back({Kind::WLD, opt.wld_dir});
  if (!opt.dtw_dir.empty()) targets.push_back({Kind::DTW, opt.dtw_dir});
  if (!opt.mtc_dir.empty()) targets.push_back({Kind::MTC, opt.mtc_dir});
  if (opt.wld_dir.empty() && opt.dtw_dir.empty()) {
    std::fprintf(stderr, "tbgen: building needs --wld or --dtw (the values later slices read)\n");
    return false;
  }
  for (const Target& t : targets) {
    std::error_code ec;
    std::filesystem::create_directories(t.dir, ec);
    if (!std::filesystem::is_directory(t.dir)) {
      std::fprintf(stderr, "tbgen: cannot create %s\n", t.dir.c_str());
      return false;
    }
  }
  return true;
}

ValueStore open_store(const BuildOptions& opt) {
  // Later slices read exact distances when they are built, else win/loss/draw.
  bool distances = !opt.dtw_dir.empty();
  return ValueStore(distances ? opt.dtw_dir : opt.wld_dir, distances ? Kind::DTW : Kind::WLD, opt.threads);
}

int run_build(const BuildOptions& opt) {
  std::vector<Target> targets;
  if (!open_targets(opt, targets)) return opt.wld_dir.empty() && opt.dtw_dir.empty() ? 2 : 1;
  ValueStore store = open_store(opt);

  std::vector<Unit> todo;
  double total = 0;
  for (const Unit& u : units_up_to(opt.pieces)) {
    if (unit_done(u, targets)) continue;
    todo.push_back(u);
    total += unit_work(u);
  }
  Progress progress(total);
  double done = 0;
  for (const Unit& u : todo) {
    std::string why;
    if (!build_unit(u, targets, store, opt, progress, done, why)) {
      std::fprintf(stderr, "\ntbgen: %s\n", why.c_str());
      return 1;
    }
    done += unit_work(u);
    progress.step_done(done, unit_name(u));
  }
  char summary[160];
  std::snprintf(summary, sizeof summary, "tbgen: %d pieces ready, %zu units built (%.0f positions) in %s",
                opt.pieces, todo.size(), total, format_seconds(progress.seconds()).c_str());
  progress.finish(summary);
  return 0;
}

}  // namespace tb
