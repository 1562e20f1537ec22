#!/usr/bin/env bash
# The MPI build against the one-process build, 4 pieces, all three kinds:
#   1. mpirun -n 3 writes exactly the same files;
#   2. a builder rank killed mid-build stops the job (OpenMPI ends a job
#      whose rank dies), and running it again finishes the same files.
# usage: mpi_build.sh TBGEN MPIEXEC SCRATCH
set -euo pipefail
tbgen=$(realpath "$1") mpiexec=$2 scratch=$(realpath -m "$3")
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1  # CI runs as root
export OMPI_MCA_rmaps_base_oversubscribe=1
rm -rf "$scratch" && mkdir -p "$scratch"
cd "$scratch"

build() {  # DIR [launcher...]
  local dir=$1; shift
  "$@" "$tbgen" build -n 4 --wld "$dir/wld" --dtw "$dir/dtw" --mtc "$dir/mtc" -j 1
}
fail() { echo "FAIL: $*" >&2; exit 1; }

build one >/dev/null 2>&1 || fail "one-process build"
build mpi "$mpiexec" -n 3 --oversubscribe >/dev/null 2>&1 || fail "MPI build"
diff -r one mpi >/dev/null || fail "MPI build differs from the one-process build"
echo "MPI build: identical"

# Kill rank 1 once the first tables are written, well before the end.
build killed "$mpiexec" -n 3 --oversubscribe >killed.log 2>&1 &
launcher=$!
rank1=""
for _ in $(seq 1 1000); do
  if [ -z "$rank1" ]; then
    for pid in $(pgrep -x tbgen || true); do
      env=$({ tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null || true)
      if grep -qx OMPI_COMM_WORLD_RANK=1 <<<"$env" && grep -qx "PWD=$scratch" <<<"$env"; then
        rank1=$pid
        break
      fi
    done
  fi
  [ -n "$rank1" ] && [ "$(ls killed/wld 2>/dev/null | wc -l)" -ge 6 ] && break
  sleep 0.01
done
[ -n "$rank1" ] || fail "rank 1 never started"
kill -9 "$rank1"
if wait "$launcher"; then fail "the build ended normally: the kill came too late to test anything"; fi
left=$(ls killed/wld | grep -vc part || true)
echo "killed rank 1 with $left of $(ls one/wld | wc -l) tables written"
build killed "$mpiexec" -n 3 --oversubscribe >/dev/null 2>&1 || fail "resumed MPI build"
diff -r one killed >/dev/null || fail "resumed build differs from the one-process build"
echo "killed and resumed MPI build: identical"
