#!/usr/bin/env bash
# selfplay killed part-way and run again writes the same file as a run that
# was never stopped; a rerun with other options is refused while the
# stopped run's chunks wait.
# usage: selfplay_resume.sh SELFPLAY SCRATCH   (run in the build folder)
set -euo pipefail
selfplay=$(realpath "$1") scratch=$(realpath -m "$2")
rm -rf "$scratch" && mkdir -p "$scratch"
fail() { echo "FAIL: $*" >&2; exit 1; }
run() {  # OUT [options...]
  local out=$1; shift
  "$selfplay" --out "$out" --games 2000 --chunk 10 --depth 2 --workers 2 "$@"
}

run "$scratch/whole.bin" >/dev/null 2>&1 || fail "uninterrupted run"

setsid "$selfplay" --out "$scratch/cut.bin" --games 2000 --chunk 10 --depth 2 --workers 2 >/dev/null 2>&1 &
group=$!
for _ in $(seq 1 500); do
  [ -e "$scratch/cut.bin.chunk0" ] && break
  sleep 0.01
done
{ kill -9 -- "-$group" && wait "$group"; } 2>/dev/null || true
[ -e "$scratch/cut.bin" ] && fail "the run ended before the kill: nothing tested"
chunks=$(ls "$scratch" | grep -c '^cut\.bin\.chunk' || true)
[ "$chunks" -ge 1 ] || fail "no chunk written before the kill"
echo "killed with $chunks of 200 chunks written"

if run "$scratch/cut.bin" --depth 3 >"$scratch/other.log" 2>&1; then fail "a rerun with another depth was accepted"; fi
grep -q "other options" "$scratch/other.log" || fail "the refusal does not say why: $(cat "$scratch/other.log")"

run "$scratch/cut.bin" >"$scratch/resumed.log" 2>&1 || fail "resumed run: $(cat "$scratch/resumed.log")"
grep -q "resuming" "$scratch/resumed.log" || fail "the rerun did not resume"
cmp "$scratch/whole.bin" "$scratch/cut.bin" || fail "the resumed run wrote another file"
[ -z "$(ls "$scratch" | grep '^cut\.bin\.' || true)" ] || fail "chunks or plan left behind"
echo "resumed run: identical"
