#!/usr/bin/env bash
# One generation of the learned evaluation: self-play with the previous
# weights, training on all data so far, and a match of the new weights
# against the previous ones at a fixed time per move over the 3-move deck.
#
#   tools/train/generation.sh WORK N [GAMES]
#
# WORK/gen<N-1>/engines/ must hold the previous engine and weights (for N=1:
# a copy of build/engines/ with the baseline weights). Writes WORK/data<N-1>.bin,
# WORK/w<N>/ (weights, loss table and plot), WORK/gen<N>/engines/ and
# WORK/match<N>.pdn. Run from the source tree with the build in build/ (and
# its endgame databases in build/engines/db, which end the games they reach).
set -euo pipefail
work=$(realpath "$1"); n=$2; games=${3:-12000}
prev=$work/gen$((n - 1)); next=$work/gen$n
build=$(realpath build); deck=$(realpath data/openings/three-move-deck.txt)

"$build/selfplay" --out "$work/data$((n - 1)).bin" --games "$games" --depth 6 \
  --random-plies 8 --seed "$n" --weights "$prev/engines/" --openings "$deck" \
  --databases "$build/engines/db"
data=()
for f in "$work"/data*.bin; do data+=(--data "$f"); done
"$build/train" "${data[@]}" --out "$work/w$n" --lr 10 --decay 0.8 --epochs 12
mkdir -p "$next/engines"
cp "$prev/engines/libquillbar.so" "$next/engines/"
cp "$work/w$n"/weights*_v3.bin "$next/engines/"
cd "$work"
"$build/quillbar" match "gen$n/engines/libquillbar.so" "gen$((n - 1))/engines/libquillbar.so" \
  --time 0.05 --openings "$deck" --concurrency 2 --pdn "match$n.pdn"
