// The build spread over the ranks of an MPI job.
#pragma once

#include "gen/commands.h"

namespace tb {

// Under mpirun with two ranks or more: rank 0 hands out units in dependency
// order to the other ranks as they become free, and each writes its finished
// unit's tables to the shared folders. Started any other way, or with one
// rank, it is the one-process build.
int run_build_mpi(const BuildOptions& options);

}  // namespace tb
