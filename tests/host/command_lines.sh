#!/usr/bin/env bash
# Every program and command answers --help and -h with its usage on standard
# output and status 0, and refuses a mistake the same way everywhere: nothing
# on standard output, a message naming the culprit and a hint at --help on
# standard error, and status 2.
#
# usage: command_lines.sh BINARY_DIR
set -uo pipefail
bin=$1
refused=2
failures=0

commands=("quillbar" "quillbar perft" "quillbar play" "quillbar match" "quillbar analyse"
          "quillbar move" "quillbar command" "quillbar engine-server" "quillbar bench"
          "tbgen" "tbgen build" "tbgen verify" "tbgen bench" "bookgen" "selfplay" "train")
[ -n "$(cd "$bin" && ./quillbar --help | grep -w serve)" ] && commands+=("quillbar serve")

# Bad command lines, each with the word its message must name.
mistakes=(
  "quillbar nonsense|nonsense"
  "quillbar play --time never|--time"
  "quillbar match --games|--games"
  "quillbar bench --depth 0|--depth"
  "quillbar perft --depth 31|--depth"
  "tbgen build|-n"
  "tbgen build -n 99|-n"
  "tbgen build -n 3 --wld db --keep 0|--keep"
  "tbgen verify|DIR"
  "bookgen --depth x|--depth"
  "selfplay --out data.bin --games 0|--games"
  "train --out dir|--data"
  "train --data a.bin --out dir --batch 0|--batch"
)
for c in "${commands[@]}"; do mistakes+=("$c --no-such-option|--no-such-option"); done

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Runs a command line in BINARY_DIR; sets status, out and err.
run() {
  local scratch
  scratch=$(mktemp -d)
  (cd "$bin" && eval "./$1") >"$scratch/out" 2>"$scratch/err" </dev/null
  status=$?
  out=$(cat "$scratch/out") err=$(cat "$scratch/err")
  rm -rf "$scratch"
}

for c in "${commands[@]}"; do
  for flag in --help -h; do
    run "$c $flag"
    [ "$status" = 0 ] || fail "'$c $flag' ends with status $status"
    grep -qi "^usage:" <<<"$out" || fail "'$c $flag' prints no usage on standard output: $out"
    [ -z "$err" ] || fail "'$c $flag' writes to standard error: $err"
  done
done

for m in "${mistakes[@]}"; do
  line=${m%|*} culprit=${m##*|}
  run "$line"
  [ "$status" = $refused ] || fail "'$line' ends with status $status, not $refused"
  [ -z "$out" ] || fail "'$line' writes to standard output: $out"
  grep -qe "$culprit" <<<"$(head -n 1 <<<"$err")" || fail "'$line' does not name $culprit first: $err"
  grep -q -- "--help" <<<"$err" || fail "'$line' gives no hint at --help: $err"
done

[ $failures = 0 ] && echo "every command answers --help and refuses mistakes alike"
exit $((failures > 0))
