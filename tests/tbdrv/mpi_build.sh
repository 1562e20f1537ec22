#!/usr/bin/env bash
# The MPI build against the one-process build, 4 pieces, all three kinds:
#   1. mpirun -n 3 writes exactly the same files;
#   2. a builder rank killed mid-build (under --enable-recovery) loses only
#      its unit: the same job builds it again and ends with the same files;
#   3. the lead killed mid-build ends the job, and running it again resumes
#      and finishes the same files.
# Under --enable-recovery mpirun answers 0 whatever its ranks did, so the
# checks read the ranks' own words and the files instead.
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
mpi_build() {  # DIR
  build "$1" "$mpiexec" --enable-recovery -n 3 --oversubscribe
}
fail() { echo "FAIL: $*" >&2; exit 1; }

# The pid of the given rank of the tbgen started in this folder.
rank_pid() {  # RANK
  local pid env
  for pid in $(pgrep -x tbgen || true); do
    env=$({ tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null || true)
    if grep -qx "OMPI_COMM_WORLD_RANK=$1" <<<"$env" && grep -qx "PWD=$scratch" <<<"$env"; then
      echo "$pid"
      return
    fi
  done
}

# Starts an MPI build into DIR and kills RANK once the first tables are
# written, well before the end.
build_and_kill() {  # DIR RANK
  local dir=$1 rank=$2 pid=""
  mpi_build "$dir" >"$dir.log" 2>&1 &
  local launcher=$!
  for _ in $(seq 1 1000); do
    [ -z "$pid" ] && pid=$(rank_pid "$rank")
    [ -n "$pid" ] && [ "$(ls "$dir/wld" 2>/dev/null | wc -l)" -ge 6 ] && break
    sleep 0.01
  done
  [ -n "$pid" ] || fail "rank $rank never started"
  kill -9 "$pid"
  left=$(ls "$dir/wld" | grep -vc part || true)
  echo "killed rank $rank with $left of $(ls one/wld | wc -l) tables written"
  wait "$launcher"
}

build one >/dev/null 2>&1 || fail "one-process build"
mpi_build mpi >/dev/null 2>&1 || fail "MPI build"
diff -r one mpi >/dev/null || fail "MPI build differs from the one-process build"
echo "MPI build: identical"

build_and_kill builder-killed 1
grep -q "rank 1 stopped answering" builder-killed.log || fail "the kill came too late to test anything"
diff -r one builder-killed >/dev/null || fail "the build that lost a builder differs from the one-process build"
echo "MPI build that lost a builder rank: identical"

build_and_kill lead-killed 0
grep -q "the lead rank stopped answering" lead-killed.log || fail "the builders did not notice their lead had gone"
mpi_build lead-killed >/dev/null 2>&1 || fail "resumed MPI build"
diff -r one lead-killed >/dev/null || fail "resumed build differs from the one-process build"
echo "MPI build that lost its lead, resumed: identical"
