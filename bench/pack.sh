#!/usr/bin/env bash
# The packing benchmark: how long brondale-pack takes to build an installer
# of the two benchmark payloads on every core, next to single-threaded
# `gzip -6` of the same files, at the same compression level. Prints times,
# sizes and the ratio; it fails only when something does not work.
#
#   bench/pack.sh [RUNS]     (RUNS: repetitions per measurement, default 3)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
runs="${1:-3}"
jobs="$(nproc)"
out="$here/build/bench"
work="/dev/shm/brondale-pack-bench"
level=6

"$here/scripts/setup.sh"
cmake --no-warn-unused-cli -S . -B build/bench-native -DCMAKE_BUILD_TYPE=Release -DBRONDALE_SANITIZE=OFF >/dev/null
cmake --build build/bench-native -j "$jobs" --target brondale-pack >/dev/null
pack="$here/build/bench-native/brondale-pack"
python3 bench/make_payloads.py "$out" >/dev/null

rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
stub="$work/stub.exe"
head -c 4096 /dev/zero > "$stub"  # the installer program's size does not matter here

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N); echo "$e - $s" | bc -l; }

printf '%-8s %-22s %-22s %-8s %-14s %-14s\n' payload "brondale-pack s" "gzip -6 s" ratio "pack bytes" "gzip bytes"
for payload in big small; do
  product="$out/payload-$payload"
  files=$(cd "$product/program" && find . -type f | sort)
  pt=(); gt=()
  for _ in $(seq 1 "$runs"); do
    pt+=("$(seconds "$pack" build "$product" -o "$work/setup.exe" --stub "$stub" --level "$level")")
    gt+=("$(seconds bash -c "cd '$product/program' && find . -type f -print0 | sort -z | xargs -0 -n 200 sh -c 'for f; do gzip -$level -n -c \"\$f\"; done' sh > '$work/all.gz'")")
  done
  p=$(printf '%s\n' "${pt[@]}" | median)
  g=$(printf '%s\n' "${gt[@]}" | median)
  packBytes=$(stat -c %s "$work/setup.exe")
  gzipBytes=$(stat -c %s "$work/all.gz")
  printf '%-8s %-22.3f %-22.3f %-8.2f %-14s %-14s\n' "$payload" "$p" "$g" "$(echo "$g / $p" | bc -l)" "$packBytes" "$gzipBytes"
done
echo
echo "ratio = gzip time / packing time on $jobs cores; target: at least 1.7 on the big payload,"
echo "with the installer no larger than the gzip output plus the installer program and headers."
