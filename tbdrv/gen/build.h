// The steps of a build, shared by the one-process build and the MPI build.
#pragma once

#include <string>
#include <vector>

#include "gen/commands.h"
#include "gen/progress.h"
#include "gen/store.h"
#include "material.h"

namespace tb {

struct Target {
  Kind kind;
  std::string dir;
};

// The kinds to build and their folders, created when missing. False, with
// the reason printed, when the options name no values to build or a folder
// cannot be made.
bool open_targets(const BuildOptions& opt, std::vector<Target>& targets);

// The store later slices read their successors' values from.
ValueStore open_store(const BuildOptions& opt);

// True when every table of the unit exists whole.
bool unit_done(const Unit& u, const std::vector<Target>& targets);

// Positions in the unit, for progress.
double unit_work(const Unit& u);
std::string unit_name(const Unit& u);

// Solves the unit and writes its tables, each atomically; the store must be
// able to load every slice the unit depends on.
bool build_unit(const Unit& u, const std::vector<Target>& targets, ValueStore& store, const BuildOptions& opt,
                Progress& progress, double done_before, std::string& why);

}  // namespace tb
